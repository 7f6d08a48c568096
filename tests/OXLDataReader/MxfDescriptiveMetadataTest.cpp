// MXF descriptive metadata: DM scheme keys and the AS-11 core, UK DPP and
// text-based framework sets, read with tags declared by a primer pack.
#include <gtest/gtest.h>

#include <cctype>
#include <cstdio>
#include <map>
#include <sstream>

#include "OXLDataReader/MXFDataReader.h"
#include "OXLDataReader/MXFDescriptiveMetadata.h"
#include "OXLDataReader/MXFUtils.h"
#include "qelCore/DescriptiveMetadata.h"
#include "support/ByteBuilder.h"
#include "support/CapturingLogger.h"
#include "support/ErrorText.h"
#include "support/FFmpegTools.h"
#include "support/MxfWriter.h"
#include "support/TempDir.h"

using namespace oxltest::mxf;
using oxltest::ExactBuffer;

namespace {

std::string As11Label(int xx) { return Bytes({0x06, 0x0e, 0x2b, 0x34, 0x01, 0x01, 0x01, 0x01, 0x0d, 0x01, 0x07, 0x01, 0x0b, 0x01, 0x01, xx}); }
std::string DppLabel(int xx) { return Bytes({0x06, 0x0e, 0x2b, 0x34, 0x01, 0x01, 0x01, 0x01, 0x0d, 0x0c, 0x01, 0x01, 0x01, 0x01, xx, 0x00}); }
const std::string kTextLabel =
    Bytes({0x06, 0x0e, 0x2b, 0x34, 0x01, 0x01, 0x01, 0x0d, 0x03, 0x01, 0x02, 0x20, 0x03, 0x01, 0x00, 0x00});

// Dynamic tags: 0x8000 + the label's last distinguishing byte.
uint16_t As11Tag(int xx) { return static_cast<uint16_t>(0x8100 + xx); }
uint16_t DppTag(int xx) { return static_cast<uint16_t>(0x8200 + xx); }

// A local-tag table with the static tags and what `primer` declares.
Oxl_Mxf::LocalKeyTable TagsFrom(const std::vector<std::pair<uint16_t, std::string>>& primer) {
  Oxl_Mxf::LocalKeyTable table;
  Oxl_Mxf::InitializeLocalMap(table);
  const std::string klv = Primer(primer);
  const ExactBuffer value(klv.substr(20));
  Oxl_Mxf::ReadPrimerPack(value.data(), value.size(), table);
  return table;
}

std::vector<std::pair<uint16_t, std::string>> As11Primer() {
  std::vector<std::pair<uint16_t, std::string>> primer;
  for (int xx = 1; xx <= 10; ++xx) primer.emplace_back(As11Tag(xx), As11Label(xx));
  return primer;
}

std::vector<std::pair<uint16_t, std::string>> DppPrimer() {
  std::vector<std::pair<uint16_t, std::string>> primer;
  for (int xx = 1; xx <= 0x25; ++xx) primer.emplace_back(DppTag(xx), DppLabel(xx));
  return primer;
}

std::string As11CoreSet() {
  return LocalSet()
      .item(0x3C0A, Uid(7))
      .item(As11Tag(1), Utf16(L"Series \u00E9"))
      .item(As11Tag(2), Utf16(L"Programme"))
      .item(As11Tag(3), Utf16(L"Episode 12"))
      .item(As11Tag(4), Utf16(L"UK DPP HD"))
      .item(As11Tag(0x0a), U16(0x0102))
      .item(As11Tag(5), U8(3))
      .item(As11Tag(6), Utf16(L"eng"))
      .item(As11Tag(7), U8(1))
      .item(As11Tag(8), U8(2))
      .item(As11Tag(9), Utf16(L"fra"))
      .str();
}

template <typename T>
std::shared_ptr<T> ReadFramework(MxfDM::IDmFramework& framework, const std::string& set, const Oxl_Mxf::LocalKeyTable& tags,
                       const CTimeCode& start, bool expected = true) {
  const ExactBuffer value(set);
  EXPECT_EQ(framework.InitFromBuffer(value.data(), value.size(), tags, start), expected);
  return std::dynamic_pointer_cast<T>(framework.GetMetadata());
}

const CTimeCode kTenHours(10, 0, 0, 0, false, OxlTbx::VS_PAL);

TEST(MxfDmKeys, SchemesFindTheirKeysAndFrameworks) {
  const struct {
    std::string scheme;
    int type;
    bool hasFramework;
  } cases[] = {
      {Bytes({0x06, 0x0e, 0x2b, 0x34, 0x04, 0x01, 0x01, 0x01, 0x0d, 0x01, 0x07, 0x01, 0x0b, 0x01, 0x00, 0x00}), 0, true},
      {Bytes({0x06, 0x0e, 0x2b, 0x34, 0x04, 0x01, 0x01, 0x01, 0x0d, 0x01, 0x07, 0x01, 0x0b, 0x02, 0x00, 0x00}), 1, false},
      {Bytes({0x06, 0x0e, 0x2b, 0x34, 0x04, 0x01, 0x01, 0x01, 0x0d, 0x0c, 0x01, 0x01, 0x01, 0x00, 0x00, 0x00}), 2, true},
      {Bytes({0x06, 0x0e, 0x2b, 0x34, 0x04, 0x01, 0x01, 0x0c, 0x0d, 0x01, 0x04, 0x01, 0x04, 0x01, 0x01, 0x00}), 3, true},
  };
  for (const auto& c : cases) {
    const auto key = MxfDM::GetMxfDMKeyFromSchemeKey(c.scheme);
    ASSERT_TRUE(key);
    EXPECT_EQ(key->GetType(), c.type);
    EXPECT_EQ(key->GetFrameworkKey().size(), 16u);
    EXPECT_EQ(key->GetFrameworkKey().substr(4, 2), Bytes({0x02, 0x53}));
    const auto framework = MxfDM::GetFrameworkFromKey(key);
    EXPECT_EQ(static_cast<bool>(framework), c.hasFramework) << c.type;
    if (framework) {
      EXPECT_EQ(framework->GetType(), c.type);
    }
  }
  std::string other = cases[0].scheme;
  other[7] = 0x02;
  EXPECT_FALSE(MxfDM::GetMxfDMKeyFromSchemeKey(other));
  EXPECT_FALSE(MxfDM::GetFrameworkFromKey(nullptr));
}

TEST(MxfDmAs11Core, EveryStoredPropertyComesBack) {
  MxfDM::DmFrameworkAs11Core framework;
  EXPECT_FALSE(framework.GetMetadata());
  const auto core = ReadFramework<qel::IMetadata_As11Core>(framework, As11CoreSet(), TagsFrom(As11Primer()), kTenHours);
  ASSERT_TRUE(core);
  EXPECT_EQ(core->GetFamily(), qel::MetadataFamily_As11Core);
  EXPECT_EQ(core->GetSeriesTitle(), L"Series \u00E9");
  EXPECT_EQ(core->GetProgrammeTitle(), L"Programme");
  EXPECT_EQ(core->GetEpisodeTitleNumber(), L"Episode 12");
  EXPECT_EQ(core->GetAudioTrackLayout(), 3);
  EXPECT_EQ(core->GetPrimaryAudioLanguage(), L"eng");
  EXPECT_TRUE(core->GetClosedCaptionsPresent());
  EXPECT_EQ(core->GetClosedCaptionsType(), 2);
  EXPECT_EQ(core->GetClosedCaptionsLanguage(), L"fra");
  // Shim name and version are read but not kept.
  EXPECT_FALSE(core->HasProperty("ShimName"));
  EXPECT_EQ(core->GetProperties().size(), 8u);
  EXPECT_EQ(core->GetProperty("SeriesTitle"), "Series \xC3\xA9");
}

TEST(MxfDmAs11Core, TagsWithoutPrimerEntryArePassedOver) {
  MxfDM::DmFrameworkAs11Core framework;
  const auto core = ReadFramework<qel::IMetadata_As11Core>(framework, As11CoreSet(), TagsFrom({}), kTenHours);
  ASSERT_TRUE(core);  // the object exists even with nothing in it
  EXPECT_TRUE(core->GetProperties().empty());
}

TEST(MxfDmAs11Core, MalformedShimNameKeepsWhatWasReadBefore) {
  oxltest::CapturingLogger log;
  // The shim name's length says 1 but its value has 2 bytes: the walk lands
  // one byte before the end, where no item header fits.
  const std::string set = LocalSet()
                              .item(As11Tag(1), Utf16(L"Series"))
                              .item(As11Tag(2), Utf16(L"Title"))
                              .str() +
                          U16(As11Tag(4)) + U16(1) + Utf16(L"S");
  MxfDM::DmFrameworkAs11Core framework;
  const auto core = ReadFramework<qel::IMetadata_As11Core>(framework, set, TagsFrom(As11Primer()), kTenHours, false);
  ASSERT_TRUE(core);
  EXPECT_EQ(core->GetSeriesTitle(), L"Series");
  EXPECT_EQ(core->GetProgrammeTitle(), L"Title");
}

TEST(MxfDmAs11Core, ShortValuesFailTheRead) {
  oxltest::CapturingLogger log;
  const std::string set = LocalSet().item(As11Tag(1), Utf16(L"S")).item(As11Tag(0x0a), U8(1)).str();
  MxfDM::DmFrameworkAs11Core framework;
  const auto core = ReadFramework<qel::IMetadata_As11Core>(framework, set, TagsFrom(As11Primer()), kTenHours, false);
  ASSERT_TRUE(core);
  EXPECT_EQ(core->GetSeriesTitle(), L"S");
}

TEST(MxfDmAs11Core, EveryTruncationIsSafe) {
  oxltest::CapturingLogger log;
  const std::string set = As11CoreSet();
  const auto tags = TagsFrom(As11Primer());
  size_t itemEnd = 0;
  for (size_t cut = 0; cut <= set.size(); ++cut) {
    MxfDM::DmFrameworkAs11Core framework;
    const ExactBuffer value(set.substr(0, cut));
    const bool ok = framework.InitFromBuffer(value.data(), value.size(), tags, kTenHours);
    // At an item boundary the read succeeds; one to three bytes into an item
    // header it fails; further in, the cut item is longer than what remains.
    const size_t into = cut - itemEnd;
    if (cut < set.size() && into >= 4) {
      const size_t length = static_cast<unsigned char>(set[itemEnd + 2]) << 8 | static_cast<unsigned char>(set[itemEnd + 3]);
      if (into == length + 4) itemEnd = cut;
    }
    const bool atBoundary = cut == itemEnd || cut == set.size();
    if (atBoundary) {
      EXPECT_TRUE(ok) << cut;
    }
    if (into > 0 && into < 4) {
      EXPECT_FALSE(ok) << cut;
    }
    EXPECT_TRUE(framework.GetMetadata());
  }
}

std::string DppSet(int64_t identClock) {
  return LocalSet()
      .item(0x3C0A, Uid(8))
      .item(DppTag(0x01), Utf16(L"PROD/001"))
      .item(DppTag(0x02), Utf16(L"A synopsis"))
      .item(DppTag(0x03), Utf16(L"Originator"))
      .item(DppTag(0x04), U16(2014))
      .item(DppTag(0x05), Utf16(L"ID-9"))
      .item(DppTag(0x06), Utf16(L"ISAN"))
      .item(DppTag(0x07), Utf16(L"Drama"))
      .item(DppTag(0x08), Utf16(L"Distributor"))
      .item(DppTag(0x09), Rational(16, 9))
      .item(DppTag(0x0a), U8(1))
      .item(DppTag(0x0b), U8(2))
      .item(DppTag(0x0c), U8(1))
      .item(DppTag(0x0d), U8(3))
      .item(DppTag(0x0e), Utf16(L"Harding"))
      .item(DppTag(0x0f), Utf16(L"2.0"))
      .item(DppTag(0x10), Utf16(L"video note"))
      .item(DppTag(0x11), Utf16(L"deu"))
      .item(DppTag(0x12), Utf16(L"ita"))
      .item(DppTag(0x13), U8(1))
      .item(DppTag(0x14), Utf16(L"audio note"))
      .item(DppTag(0x15), U64(100))
      .item(DppTag(0x16), U64(identClock))
      .item(DppTag(0x17), U16(3))
      .item(DppTag(0x18), U64(90000))
      .item(DppTag(0x19), U8(1))
      .item(DppTag(0x1a), U8(2))
      .item(DppTag(0x1b), U8(0))
      .item(DppTag(0x1c), U8(1))
      .item(DppTag(0x1d), Utf16(L"spa"))
      .item(DppTag(0x1e), U8(2))
      .item(DppTag(0x1f), U8(5))  // SignLanguage: no label maps a tag to it
      .item(DppTag(0x20), U16(2015) + U8(6) + U8(30) + U8(12) + U8(0) + U8(0) + U8(0))
      .item(DppTag(0x21), U8(1))
      .item(DppTag(0x22), U8(0))
      .item(DppTag(0x23), Utf16(L"cym"))
      .item(DppTag(0x24), Utf16(L"a@b.uk"))
      .item(DppTag(0x25), Utf16(L"+44 20"))
      .str();
}

TEST(MxfDmUkDpp, EveryStoredPropertyComesBack) {
  MxfDM::DmFrameworkAs11Ukdpp framework;
  const CTimeCode start(9, 59, 30, 0, false, OxlTbx::VS_PAL);
  const auto dpp = ReadFramework<qel::IMetadata_As11UkDpp>(framework, DppSet(250), TagsFrom(DppPrimer()), start);
  ASSERT_TRUE(dpp);
  EXPECT_EQ(dpp->GetFamily(), qel::MetadataFamily_As11UkDpp);
  EXPECT_EQ(dpp->GetProductionNumber(), L"PROD/001");
  EXPECT_EQ(dpp->GetSynopsis(), L"A synopsis");
  EXPECT_EQ(dpp->GetOriginator(), L"Originator");
  EXPECT_EQ(dpp->GetCopyrightYear(), 2014);
  EXPECT_EQ(dpp->GetOtherIdentifier(), L"ID-9");
  EXPECT_EQ(dpp->GetOtherIdentifierType(), L"ISAN");
  EXPECT_EQ(dpp->GetGenre(), L"Drama");
  EXPECT_EQ(dpp->GetDistributor(), L"Distributor");
  EXPECT_EQ(dpp->GetPictureRatioNumerator(), 16u);
  EXPECT_EQ(dpp->GetPictureRatioDenominator(), 9u);
  EXPECT_TRUE(dpp->Get3D());
  EXPECT_EQ(dpp->Get3DType(), 2);
  EXPECT_TRUE(dpp->GetProductPlacement());
  EXPECT_EQ(dpp->GetFPAPass(), 3);
  EXPECT_EQ(dpp->GetFPAManufacturer(), L"Harding");
  EXPECT_EQ(dpp->GetFPAVersion(), L"2.0");
  EXPECT_EQ(dpp->GetVideoComments(), L"video note");
  EXPECT_EQ(dpp->GetSecondaryAudioLanguage(), L"deu");
  EXPECT_EQ(dpp->GetTertiaryAudioLanguage(), L"ita");
  EXPECT_EQ(dpp->GetAudioLoudnessStandard(), 1);
  EXPECT_EQ(dpp->GetAudioComments(), L"audio note");
  EXPECT_EQ(dpp->GetIdentClockStartSeconds(), 10u);
  EXPECT_EQ(dpp->GetIdentClockDurationSeconds(), 20u);
  EXPECT_TRUE(dpp->GetAudioDescriptionPresent());
  EXPECT_EQ(dpp->GetAudioDescriptionType(), 2);
  EXPECT_FALSE(dpp->GetOpenCaptionsPresent());
  EXPECT_TRUE(dpp->HasProperty("OpenCaptionsPresent"));
  EXPECT_EQ(dpp->GetOpenCaptionsType(), 1);
  EXPECT_EQ(dpp->GetOpenCaptionsLanguage(), L"spa");
  EXPECT_EQ(dpp->GetSigningPresent(), 2);
  EXPECT_FALSE(dpp->HasProperty("SignLanguage"));
  EXPECT_EQ(dpp->GetCompletionYear(), 2015);
  EXPECT_EQ(dpp->GetCompletionMonth(), 6);
  EXPECT_EQ(dpp->GetCompletionDay(), 30);
  EXPECT_TRUE(dpp->GetTextlessElementsExist());
  EXPECT_FALSE(dpp->GetProgrammeHasText());
  EXPECT_EQ(dpp->GetProgrammeTextLanguage(), L"cym");
  EXPECT_EQ(dpp->GetContactEmail(), L"a@b.uk");
  EXPECT_EQ(dpp->GetContactTelephoneNumber(), L"+44 20");
  EXPECT_EQ(dpp->GetProperties().size(), 37u);  // all but SignLanguage
}

TEST(MxfDmUkDpp, IdentClockFollowsTheVideoSystem) {
  MxfDM::DmFrameworkAs11Ukdpp framework;
  // 59.94 progressive: 600 frames are 10.01 s; 09:59:00:00 is 60 s before ten.
  const CTimeCode start(9, 59, 0, 0, false, OxlTbx::VS_FieldNTSCNoDrop);
  const auto dpp = ReadFramework<qel::IMetadata_As11UkDpp>(framework, LocalSet().item(DppTag(0x16), U64(600)).str(),
                                                 TagsFrom(DppPrimer()), start);
  ASSERT_TRUE(dpp);
  EXPECT_EQ(dpp->GetIdentClockStartSeconds(), 10u);
  EXPECT_EQ(dpp->GetIdentClockDurationSeconds(), 50u);
}

std::string TextSet(const std::string& text) { return LocalSet().item(0x3C0A, Uid(9)).item(0x8301, text).str(); }

TEST(MxfDmTextBased, NonRealTimeMetaGivesTheVideoCodec) {
  const std::string xml =
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
      "<NonRealTimeMeta xmlns=\"urn:schemas-professionalDisc:nonRealTimeMeta:ver.2.00\" lastUpdate=\"2015-01-01\">"
      "<Duration value=\"250\"/><VideoFormat><VideoRecPort port=\"DIRECT\"/>"
      "<VideoFrame videoCodec=\"AVC100CBG_1920_1080_H422IP@L41\" captureFps=\"25p\" formatFps=\"25p\"/>"
      "</VideoFormat></NonRealTimeMeta>";
  MxfDM::DmFrameworkTextBased framework;
  const auto sony = ReadFramework<qel::IMetadata_SonyNonRealTimeMetaData>(framework, TextSet(xml),
                                                                TagsFrom({{0x8301, kTextLabel}}), kTenHours);
  ASSERT_TRUE(sony);
  EXPECT_EQ(sony->GetFamily(), qel::MetadataFamily_SonyNonRealTimeMetaData);
  EXPECT_EQ(sony->GetVideoCodec(), "AVC100CBG_1920_1080_H422IP@L41");
}

TEST(MxfDmTextBased, OtherTextGivesNoObject) {
  const auto tags = TagsFrom({{0x8301, kTextLabel}});
  for (const std::string& text : {std::string("plain text, no XML"), std::string("<NonRealTimeMeta><Other/></NonRealTimeMeta>"),
                                 std::string("<NonRealTimeMeta><VideoFormat><VideoFrame"),
                                 std::string("<NonRealTimeMeta><VideoFormat><VideoFrame videoCodec=\"X\"/></VideoFormat>"
                                             "<Broken></NonRealTimeMeta>")}) {
    MxfDM::DmFrameworkTextBased framework;
    const ExactBuffer value(TextSet(text));
    EXPECT_TRUE(framework.InitFromBuffer(value.data(), value.size(), tags, kTenHours));
    EXPECT_FALSE(framework.GetMetadata()) << text;
  }
  // Without the primer entry the text property is not recognised at all.
  const std::string xml = "<NonRealTimeMeta><VideoFormat><VideoFrame videoCodec=\"x\"/></VideoFormat></NonRealTimeMeta>";
  MxfDM::DmFrameworkTextBased framework;
  const ExactBuffer value(TextSet(xml));
  EXPECT_TRUE(framework.InitFromBuffer(value.data(), value.size(), TagsFrom({}), kTenHours));
  EXPECT_FALSE(framework.GetMetadata());
}

TEST(MxfDmMetadataObjects, GettersReadBackWhatSettersStored) {
  const auto dpp = std::dynamic_pointer_cast<qel::IMetadata_As11UkDpp>(qel::CreateMetadata(qel::MetadataFamily_As11UkDpp));
  ASSERT_TRUE(dpp);
  EXPECT_EQ(dpp->GetCopyrightYear(), 0);
  EXPECT_EQ(dpp->GetGenre(), L"");
  dpp->SetPictureRatioNumerator(0xFFFFFFFF);
  EXPECT_EQ(dpp->GetPictureRatioNumerator(), 0xFFFFFFFFu);
  dpp->Set3D(true);
  EXPECT_EQ(dpp->GetProperty("3D"), "true");
  EXPECT_FALSE(std::dynamic_pointer_cast<qel::IMetadata_As11Core>(qel::CreateMetadata(qel::MetadataFamily_As11UkDpp)));
  EXPECT_FALSE(std::dynamic_pointer_cast<qel::IMetadata_As11Core>(qel::CreateMetadata(qel::MetadataFamily_Generic)));
}

// --- Descriptive metadata in a whole file, found through the preface ---

const std::string kCoreScheme =
    Bytes({0x06, 0x0e, 0x2b, 0x34, 0x04, 0x01, 0x01, 0x01, 0x0d, 0x01, 0x07, 0x01, 0x0b, 0x01, 0x00, 0x00});
const std::string kSegmentationScheme =
    Bytes({0x06, 0x0e, 0x2b, 0x34, 0x04, 0x01, 0x01, 0x01, 0x0d, 0x01, 0x07, 0x01, 0x0b, 0x02, 0x00, 0x00});
const std::string kDppScheme =
    Bytes({0x06, 0x0e, 0x2b, 0x34, 0x04, 0x01, 0x01, 0x01, 0x0d, 0x0c, 0x01, 0x01, 0x01, 0x00, 0x00, 0x00});
const std::string kTextScheme =
    Bytes({0x06, 0x0e, 0x2b, 0x34, 0x04, 0x01, 0x01, 0x0c, 0x0d, 0x01, 0x04, 0x01, 0x04, 0x01, 0x01, 0x00});
const std::string kCoreFramework =
    Bytes({0x06, 0x0e, 0x2b, 0x34, 0x02, 0x53, 0x01, 0x01, 0x0d, 0x01, 0x07, 0x01, 0x0b, 0x01, 0x01, 0x00});
const std::string kSegmentationFramework =
    Bytes({0x06, 0x0e, 0x2b, 0x34, 0x02, 0x53, 0x01, 0x01, 0x0d, 0x01, 0x07, 0x01, 0x0b, 0x02, 0x01, 0x00});
const std::string kDppFramework =
    Bytes({0x06, 0x0e, 0x2b, 0x34, 0x02, 0x53, 0x01, 0x01, 0x0d, 0x0c, 0x01, 0x01, 0x01, 0x01, 0x00, 0x00});
const std::string kTextFramework =
    Bytes({0x06, 0x0e, 0x2b, 0x34, 0x02, 0x53, 0x01, 0x01, 0x0d, 0x01, 0x04, 0x01, 0x04, 0x02, 0x02, 0x00});

class MxfDmInFile : public ::testing::Test {
 protected:
  // An OP1a file at 25 frames per second starting at 09:59:30:00.
  FileLayout BaseLayout() const {
    FileLayout layout;
    layout.timecode = {(9 * 3600 + 59 * 60 + 30) * 25, 25, false};
    layout.primer = As11Primer();
    for (const auto& entry : DppPrimer()) layout.primer.push_back(entry);
    layout.primer.emplace_back(0x8301, kTextLabel);
    return layout;
  }
  int Open(const FileLayout& layout) { return reader.Open(dir.write("dm.mxf", BuildFile(layout).bytes).c_str(), false); }
  oxltest::TempDir dir;
  CMXFDataReader reader{OXLDataReader::Video_Data, 16384, "mxf-dm"};
};

TEST_F(MxfDmInFile, EverySchemeOfThePrefaceGivesItsObject) {
  FileLayout layout = BaseLayout();
  layout.dmSchemes = {kCoreScheme, kSegmentationScheme, kDppScheme, kTextScheme};
  const std::string xml =
      "<NonRealTimeMeta><VideoFormat><VideoFrame videoCodec=\"AVC100CBG_1920_1080_H422IP@L41\"/></VideoFormat>"
      "</NonRealTimeMeta>";
  layout.extraSets = {Klv(kSegmentationFramework, LocalSet().item(0x3C0A, Uid(600)).str()),
                    Klv(kCoreFramework, As11CoreSet()), Klv(kDppFramework, DppSet(250)),
                    Klv(kTextFramework, TextSet(xml))};
  ASSERT_EQ(Open(layout), 0);
  const auto list = reader.GetMetadataList();
  ASSERT_EQ(list.size(), 3u);  // the segmentation scheme has no framework reader
  const auto core = std::dynamic_pointer_cast<const qel::IMetadata_As11Core>(list[0]);
  ASSERT_TRUE(core);
  EXPECT_EQ(core->GetProgrammeTitle(), L"Programme");
  EXPECT_EQ(core->GetClosedCaptionsLanguage(), L"fra");
  const auto dpp = std::dynamic_pointer_cast<const qel::IMetadata_As11UkDpp>(list[1]);
  ASSERT_TRUE(dpp);
  EXPECT_EQ(dpp->GetContactTelephoneNumber(), L"+44 20");
  EXPECT_EQ(dpp->GetIdentClockStartSeconds(), 10u);
  EXPECT_EQ(dpp->GetIdentClockDurationSeconds(), 20u);
  const auto sony = std::dynamic_pointer_cast<const qel::IMetadata_SonyNonRealTimeMetaData>(list[2]);
  ASSERT_TRUE(sony);
  OXLDataReader::VideoDataType type = OXLDataReader::AVC_I_100;
  EXPECT_TRUE(CMXFDataReader::MetadataAnalysisIsRequired(type));
  EXPECT_EQ(reader.AnalyzeMetadata(type), 0);
  EXPECT_EQ(type, OXLDataReader::XAVC_Intra_4k_Class300);
}

TEST_F(MxfDmInFile, SchemesWithoutFrameworkSetsOrKnownCodecs) {
  FileLayout layout = BaseLayout();
  layout.dmSchemes = {kCoreScheme, kTextScheme, std::string(16, '\x33')};
  layout.extraSets = {Klv(kTextFramework, TextSet("<NonRealTimeMeta><VideoFormat><VideoFrame videoCodec=\"MPEG2\"/>"
                                                "</VideoFormat></NonRealTimeMeta>"))};
  ASSERT_EQ(Open(layout), 0);
  ASSERT_EQ(reader.GetMetadataList().size(), 1u);
  OXLDataReader::VideoDataType type = OXLDataReader::H264_Intra;
  EXPECT_EQ(reader.AnalyzeMetadata(type), -1);
  EXPECT_EQ(type, OXLDataReader::H264_Intra);
  EXPECT_FALSE(CMXFDataReader::MetadataAnalysisIsRequired(OXLDataReader::DV25_Video));
}

TEST_F(MxfDmInFile, MalformedSchemeListIsTheFrameworkError) {
  oxltest::CapturingLogger log;
  FileLayout layout = BaseLayout();
  layout.dmSchemes = {kCoreScheme};
  std::string bytes = BuildFile(layout).bytes;
  // The DMSchemes batch count (after tag 3B 0B and its length) says 5.
  const size_t at = bytes.find(Bytes({0x3B, 0x0B, 0x00, 0x18}));
  ASSERT_NE(at, std::string::npos);
  bytes.replace(at + 4, 4, U32(5));
  EXPECT_EQ(oxltest::QelFailure([&] { reader.Open(dir.write("bad.mxf", bytes).c_str(), false); }),
            "[buffer is too small to correspond with mxf array description] [ Condition is not true ]");
}

// MediaInfo's "Other" sections of the AS-11 frameworks: name without blanks -> value.
std::map<std::string, std::string> MediaInfoFields(const std::string& path) {
  const auto result = oxltest::RunCommand("mediainfo " + oxltest::ShellQuote(path));
  std::map<std::string, std::string> fields;
  bool inFramework = false;
  std::istringstream lines(result.output);
  for (std::string line; std::getline(lines, line);) {
    const auto colon = line.find(" : ");
    if (colon == std::string::npos) {
      inFramework = false;
      continue;
    }
    std::string name, value = line.substr(colon + 3);
    for (char c : line.substr(0, colon))
      if (!std::isspace(static_cast<unsigned char>(c))) name += c;
    if (name == "Format") inFramework = value.rfind("AS-11", 0) == 0;
    if (inFramework) fields[name] = value;
  }
  return fields;
}

// Our text form of a property in MediaInfo's: booleans as Yes/No.
std::string AsMediaInfo(const std::string& value) {
  if (value == "true") return "Yes";
  if (value == "false") return "No";
  return value;
}

TEST_F(MxfDmInFile, MediaInfoReadsTheSameValues) {
  if (oxltest::RunCommand("mediainfo --Version").exitCode != 0) GTEST_SKIP() << "mediainfo is not installed";
  FileLayout layout = BaseLayout();
  layout.dmSchemes = {kCoreScheme, kDppScheme};
  layout.extraSets = {Klv(kCoreFramework, As11CoreSet()), Klv(kDppFramework, DppSet(250))};
  layout.dmFrameworks = {Uid(7), Uid(8)};
  const std::string path = dir.write("mediainfo.mxf", BuildFile(layout).bytes);
  ASSERT_EQ(reader.Open(path.c_str(), false), 0);
  const auto fields = MediaInfoFields(path);
  size_t compared = 0;
  for (const auto& metadata : reader.GetMetadataList()) {
    for (const auto& [name, value] : metadata->GetProperties()) {
      const auto it = fields.find(name);
      if (it == fields.end()) continue;
      // MediaInfo names some codes (layouts, caption types); text, years and flags compare as they are.
      const bool code = !value.empty() && std::isdigit(static_cast<unsigned char>(value[0])) &&
                        !std::isdigit(static_cast<unsigned char>(it->second[0]));
      if (code) continue;
      EXPECT_EQ(it->second, AsMediaInfo(value)) << name;
      ++compared;
    }
  }
  EXPECT_GE(compared, 30u);
  // Values we store derived: the ratio's halves, and the ident clock as
  // seconds after the start (09:59:30:00) and before 10:00:00:00.
  const auto dpp = std::dynamic_pointer_cast<const qel::IMetadata_As11UkDpp>(reader.GetMetadataList().at(1));
  ASSERT_TRUE(dpp);
  EXPECT_EQ(fields.at("PictureRatio"),
            std::to_string(dpp->GetPictureRatioNumerator()) + ":" + std::to_string(dpp->GetPictureRatioDenominator()));
  const unsigned int clock = 9 * 3600 + 59 * 60 + 30 + dpp->GetIdentClockStartSeconds();
  char text[40];
  std::snprintf(text, sizeof text, "%02u:%02u:%02u:00", clock / 3600, clock / 60 % 60, clock % 60);
  EXPECT_EQ(fields.at("IdentClockStart"), text);
  EXPECT_EQ(clock + dpp->GetIdentClockDurationSeconds(), 10u * 3600);
}

}  // namespace
