#include "OXLDataReader/MXFDescriptiveMetadata.h"

#include <cmath>
#include <exception>

#include "OXLDataReader/MXFUtils.h"
#include "OxlTbx/TimeCodeConversions.h"
#include "qelCore/DescriptiveMetadata.h"
#include "xmlpp/Element.h"
#include "xmlpp/domparser.h"

namespace MxfDM {

namespace {

using Oxl_Mxf::mxf_local_tag;

std::string Label(std::initializer_list<unsigned char> bytes) { return std::string(bytes.begin(), bytes.end()); }

// How one property is read and stored: a row of a framework's table.
template <typename Target>
struct PropertyReader {
  mxf_local_tag tag;
  void (*read)(Target& target, const unsigned char* value, unsigned int size, const CTimeCode& start);
};

// Walks the set and hands every item of a tag the table knows to its reader.
template <typename Target, size_t N>
bool ReadProperties(const PropertyReader<Target> (&table)[N], Target& target, const unsigned char* value,
                    unsigned int size, const Oxl_Mxf::LocalKeyTable& tags, const CTimeCode& start) {
  try {
    Oxl_Mxf::ForEachLocalItem(value, size, [&](const unsigned char* item, const unsigned char* p, unsigned int length) {
      const mxf_local_tag tag = tags.GetLocalTag(item);
      for (const PropertyReader<Target>& row : table) {
        if (row.tag != tag) continue;
        row.read(target, p, length, start);
        return;
      }
    });
  } catch (const std::exception&) {
    return false;
  }
  return true;
}

// Reads a value and hands it to the setter.
template <typename Target, auto Set, auto Read>
void Store(Target& target, const unsigned char* p, unsigned int n, const CTimeCode&) {
  (target.*Set)(Read(p, n));
}

// Reads a value that is checked but not kept.
template <typename Target, auto Read>
void Skip(Target&, const unsigned char* p, unsigned int n, const CTimeCode&) {
  (void)Read(p, n);
}

using Core = qel::IMetadata_As11Core;
using Dpp = qel::IMetadata_As11UkDpp;
using namespace MxfUtils;


const PropertyReader<Core> kCoreProperties[] = {
    {Oxl_Mxf::Tag_SeriesTitle, Store<Core, &Core::SetSeriesTitle, ReadUtf16>},
    {Oxl_Mxf::Tag_ProgrammeTitle, Store<Core, &Core::SetProgrammeTitle, ReadUtf16>},
    {Oxl_Mxf::Tag_EpisodeTitleNumber, Store<Core, &Core::SetEpisodeTitleNumber, ReadUtf16>},
    {Oxl_Mxf::Tag_ShimName, Skip<Core, ReadUtf16>},
    {Oxl_Mxf::Tag_ShimVersion, Skip<Core, ReadVersionType>},
    {Oxl_Mxf::Tag_AudioTrackLayout, Store<Core, &Core::SetAudioTrackLayout, ReadUint8>},
    {Oxl_Mxf::Tag_PrimaryAudioLanguage, Store<Core, &Core::SetPrimaryAudioLanguage, ReadUtf16>},
    {Oxl_Mxf::Tag_ClosedCaptionsPresent, Store<Core, &Core::SetClosedCaptionsPresent, ReadBool>},
    {Oxl_Mxf::Tag_ClosedCaptionsType, Store<Core, &Core::SetClosedCaptionsType, ReadUint8>},
    {Oxl_Mxf::Tag_ClosedCaptionsLanguage, Store<Core, &Core::SetClosedCaptionsLanguage, ReadUtf16>},
};


// The ident clock's position p (frames) as whole seconds, and the whole
// seconds from it to the programme start at 10:00:00:00.
void StoreIdentClock(Dpp& m, const unsigned char* p, unsigned int n, const CTimeCode& start) {
  const int64_t frames = ReadPosition(p, n);
  const OxlTbx::VideoSystem system = start.GetSystem();
  const double seconds = static_cast<double>(frames) * CTimeCode::GetFrameTime(system);
  const CTimeCode ten(10, 0, 0, 0, false, system);
  const double toTen = TC2sec(ten - start);
  const int64_t wholeSeconds = static_cast<int64_t>(std::floor(seconds));
  m.SetIdentClockStartSeconds(static_cast<uint32_t>(wholeSeconds));
  m.SetIdentClockDurationSeconds(static_cast<uint32_t>(static_cast<int64_t>(std::floor(toTen)) - wholeSeconds));
}


const PropertyReader<Dpp> kDppProperties[] = {
    {Oxl_Mxf::Tag_ProductionNumber, Store<Dpp, &Dpp::SetProductionNumber, ReadUtf16>},
    {Oxl_Mxf::Tag_Synopsis, Store<Dpp, &Dpp::SetSynopsis, ReadUtf16>},
    {Oxl_Mxf::Tag_Originator, Store<Dpp, &Dpp::SetOriginator, ReadUtf16>},
    {Oxl_Mxf::Tag_CopyrightYear, Store<Dpp, &Dpp::SetCopyrightYear, ReadUint16>},
    {Oxl_Mxf::Tag_OtherIdentifier, Store<Dpp, &Dpp::SetOtherIdentifier, ReadUtf16>},
    {Oxl_Mxf::Tag_OtherIdentifierType, Store<Dpp, &Dpp::SetOtherIdentifierType, ReadUtf16>},
    {Oxl_Mxf::Tag_Genre, Store<Dpp, &Dpp::SetGenre, ReadUtf16>},
    {Oxl_Mxf::Tag_Distributor, Store<Dpp, &Dpp::SetDistributor, ReadUtf16>},
    {Oxl_Mxf::Tag_PictureRatio, [](Dpp& m, const unsigned char* p, unsigned int n, const CTimeCode&) {
       const Rational r = ReadRational(p, n);
       m.SetPictureRatioNumerator(r.numerator);
       m.SetPictureRatioDenominator(r.denominator);
     }},
    {Oxl_Mxf::Tag_3D, Store<Dpp, &Dpp::Set3D, ReadBool>},
    {Oxl_Mxf::Tag_3DType, Store<Dpp, &Dpp::Set3DType, ReadUint8>},
    {Oxl_Mxf::Tag_ProductPlacement, Store<Dpp, &Dpp::SetProductPlacement, ReadBool>},
    {Oxl_Mxf::Tag_FPAPass, Store<Dpp, &Dpp::SetFPAPass, ReadUint8>},
    {Oxl_Mxf::Tag_FPAManufacturer, Store<Dpp, &Dpp::SetFPAManufacturer, ReadUtf16>},
    {Oxl_Mxf::Tag_FPAVersion, Store<Dpp, &Dpp::SetFPAVersion, ReadUtf16>},
    {Oxl_Mxf::Tag_VideoComments, Store<Dpp, &Dpp::SetVideoComments, ReadUtf16>},
    {Oxl_Mxf::Tag_SecondaryAudioLanguage, Store<Dpp, &Dpp::SetSecondaryAudioLanguage, ReadUtf16>},
    {Oxl_Mxf::Tag_TertiaryAudioLanguage, Store<Dpp, &Dpp::SetTertiaryAudioLanguage, ReadUtf16>},
    {Oxl_Mxf::Tag_AudioLoudnessStandard, Store<Dpp, &Dpp::SetAudioLoudnessStandard, ReadUint8>},
    {Oxl_Mxf::Tag_AudioComments, Store<Dpp, &Dpp::SetAudioComments, ReadUtf16>},
    {Oxl_Mxf::Tag_LineUpStart, Skip<Dpp, ReadPosition>},
    {Oxl_Mxf::Tag_IdentClockStart, StoreIdentClock},
    {Oxl_Mxf::Tag_TotalNumberOfParts, Skip<Dpp, ReadUint16>},
    {Oxl_Mxf::Tag_TotalProgrammeDuration, Skip<Dpp, Readlength>},
    {Oxl_Mxf::Tag_AudioDescriptionPresent, Store<Dpp, &Dpp::SetAudioDescriptionPresent, ReadBool>},
    {Oxl_Mxf::Tag_AudioDescriptionType, Store<Dpp, &Dpp::SetAudioDescriptionType, ReadUint8>},
    {Oxl_Mxf::Tag_OpenCaptionsPresent, Store<Dpp, &Dpp::SetOpenCaptionsPresent, ReadBool>},
    {Oxl_Mxf::Tag_OpenCaptionsType, Store<Dpp, &Dpp::SetOpenCaptionsType, ReadUint8>},
    {Oxl_Mxf::Tag_OpenCaptionsLanguage, Store<Dpp, &Dpp::SetOpenCaptionsLanguage, ReadUtf16>},
    {Oxl_Mxf::Tag_SigningPresent, Store<Dpp, &Dpp::SetSigningPresent, ReadUint8>},
    {Oxl_Mxf::Tag_SignLanguage, Store<Dpp, &Dpp::SetSignLanguage, ReadUint8>},
    {Oxl_Mxf::Tag_CompletionDate, [](Dpp& m, const unsigned char* p, unsigned int n, const CTimeCode&) {
       const TimeStamp t = ReadTimeStamp(p, n);
       m.SetCompletionYear(t.year);
       m.SetCompletionMonth(t.month);
       m.SetCompletionDay(t.day);
     }},
    {Oxl_Mxf::Tag_TextlessElementsExist, Store<Dpp, &Dpp::SetTextlessElementsExist, ReadBool>},
    {Oxl_Mxf::Tag_ProgrammeHasText, Store<Dpp, &Dpp::SetProgrammeHasText, ReadBool>},
    {Oxl_Mxf::Tag_ProgrammeTextLanguage, Store<Dpp, &Dpp::SetProgrammeTextLanguage, ReadUtf16>},
    {Oxl_Mxf::Tag_ContactEmail, Store<Dpp, &Dpp::SetContactEmail, ReadUtf16>},
    {Oxl_Mxf::Tag_ContactTelephoneNumber, Store<Dpp, &Dpp::SetContactTelephoneNumber, ReadUtf16>},
};


// The metadata object of `family`, as the typed view T.
template <typename T>
std::shared_ptr<T> CreateTyped(qel::MetadataFamily family) {
  return std::dynamic_pointer_cast<T>(qel::CreateMetadata(family));
}

// The videoCodec of the NonRealTimeMeta document in `text`, when the text is
// one and names its video frame.
bool FindVideoCodec(const std::string& text, std::string& codec) {
  if (text.find("<NonRealTimeMeta") == std::string::npos) return false;
  xmlpp::DomParser parser;
  if (!parser.parse_memory(text) || !parser.get_document()) return false;
  const xmlpp::Element* root = parser.get_document()->get_root_node();
  if (!root) return false;
  const auto* frame = dynamic_cast<const xmlpp::Element*>(root->find_first("/NonRealTimeMeta/VideoFormat/VideoFrame"));
  if (!frame) return false;
  codec = frame->get_attribute_value("videoCodec");
  return true;
}

}  // namespace

std::string MxfDMKeyAs11Core::GetSchemeKey() const {
  return Label({0x06, 0x0e, 0x2b, 0x34, 0x04, 0x01, 0x01, 0x01, 0x0d, 0x01, 0x07, 0x01, 0x0b, 0x01, 0x00, 0x00});
}
std::string MxfDMKeyAs11Core::GetFrameworkKey() const {
  return Label({0x06, 0x0e, 0x2b, 0x34, 0x02, 0x53, 0x01, 0x01, 0x0d, 0x01, 0x07, 0x01, 0x0b, 0x01, 0x01, 0x00});
}
std::string MxfDMKeyAs11Segmentation::GetSchemeKey() const {
  return Label({0x06, 0x0e, 0x2b, 0x34, 0x04, 0x01, 0x01, 0x01, 0x0d, 0x01, 0x07, 0x01, 0x0b, 0x02, 0x00, 0x00});
}
std::string MxfDMKeyAs11Segmentation::GetFrameworkKey() const {
  return Label({0x06, 0x0e, 0x2b, 0x34, 0x02, 0x53, 0x01, 0x01, 0x0d, 0x01, 0x07, 0x01, 0x0b, 0x02, 0x01, 0x00});
}
std::string MxfDMKeyAs11Ukdpp::GetSchemeKey() const {
  return Label({0x06, 0x0e, 0x2b, 0x34, 0x04, 0x01, 0x01, 0x01, 0x0d, 0x0c, 0x01, 0x01, 0x01, 0x00, 0x00, 0x00});
}
std::string MxfDMKeyAs11Ukdpp::GetFrameworkKey() const {
  return Label({0x06, 0x0e, 0x2b, 0x34, 0x02, 0x53, 0x01, 0x01, 0x0d, 0x0c, 0x01, 0x01, 0x01, 0x01, 0x00, 0x00});
}
std::string MxfDMKeyTextBased::GetSchemeKey() const {
  return Label({0x06, 0x0e, 0x2b, 0x34, 0x04, 0x01, 0x01, 0x0c, 0x0d, 0x01, 0x04, 0x01, 0x04, 0x01, 0x01, 0x00});
}
std::string MxfDMKeyTextBased::GetFrameworkKey() const {
  return Label({0x06, 0x0e, 0x2b, 0x34, 0x02, 0x53, 0x01, 0x01, 0x0d, 0x01, 0x04, 0x01, 0x04, 0x02, 0x02, 0x00});
}

bool DmFrameworkAs11Core::InitFromBuffer(const unsigned char* value, unsigned int size,
                                         const Oxl_Mxf::LocalKeyTable& tags, const CTimeCode& start) {
  auto metadata = CreateTyped<Core>(qel::MetadataFamily_As11Core);
  m_Metadata = metadata;
  return ReadProperties(kCoreProperties, *metadata, value, size, tags, start);
}

bool DmFrameworkAs11Ukdpp::InitFromBuffer(const unsigned char* value, unsigned int size,
                                          const Oxl_Mxf::LocalKeyTable& tags, const CTimeCode& start) {
  auto metadata = CreateTyped<Dpp>(qel::MetadataFamily_As11UkDpp);
  m_Metadata = metadata;
  return ReadProperties(kDppProperties, *metadata, value, size, tags, start);
}

bool DmFrameworkTextBased::InitFromBuffer(const unsigned char* value, unsigned int size,
                                          const Oxl_Mxf::LocalKeyTable& tags, const CTimeCode&) {
  try {
    Oxl_Mxf::ForEachLocalItem(value, size, [&](const unsigned char* item, const unsigned char* p, unsigned int length) {
      std::string codec;
      if (tags.GetLocalTag(item) != Oxl_Mxf::Tag_DescriptiveText) return;
      if (!FindVideoCodec(std::string(reinterpret_cast<const char*>(p), length), codec)) return;
      auto metadata = CreateTyped<qel::IMetadata_SonyNonRealTimeMetaData>(qel::MetadataFamily_SonyNonRealTimeMetaData);
      metadata->SetVideoCodec(codec);
      m_Metadata = metadata;
    });
  } catch (const std::exception&) {
    return false;
  }
  return true;
}

std::shared_ptr<const IMxfDMKey> GetMxfDMKeyFromSchemeKey(std::string schemeKey) {
  const std::shared_ptr<const IMxfDMKey> keys[] = {
      std::make_shared<MxfDMKeyAs11Core>(), std::make_shared<MxfDMKeyAs11Segmentation>(),
      std::make_shared<MxfDMKeyAs11Ukdpp>(), std::make_shared<MxfDMKeyTextBased>()};
  for (const auto& key : keys)
    if (key->GetSchemeKey() == schemeKey) return key;
  return nullptr;
}

std::shared_ptr<IDmFramework> GetFrameworkFromKey(std::shared_ptr<const IMxfDMKey> key) {
  if (!key) return nullptr;
  switch (key->GetType()) {
    case DM_As11Core:
      return std::make_shared<DmFrameworkAs11Core>();
    case DM_As11Ukdpp:
      return std::make_shared<DmFrameworkAs11Ukdpp>();
    case DM_TextBased:
      return std::make_shared<DmFrameworkTextBased>();
    default:
      return nullptr;
  }
}

}  // namespace MxfDM
