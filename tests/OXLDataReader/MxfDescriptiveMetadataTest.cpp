// MXF descriptive metadata in whole files: DM scheme keys and the AS-11
// core, UK DPP and text-based framework sets, read with tags declared by a
// primer pack.
#include <gtest/gtest.h>

#include <map>

#include "OXLDataReader/MXFDataReader.h"
#include "qelCore/DescriptiveMetadata.h"
#include "support/MxfWriter.h"
#include "support/TempDir.h"

using namespace oxltest::mxf;
using Properties = std::map<std::string, std::string>;
using PrimerEntries = std::vector<std::pair<uint16_t, std::string>>;

namespace {

// A property item: dynamic tag base + xx, its value, and the stored property
// (none for what is read and not kept).
struct Item {
  int xx;
  std::string value;
  const char* name = nullptr;
  const char* text = nullptr;
};

// AS-11 core labels end in xx, UK DPP labels have xx in byte 15.
std::string As11Label(int xx) { return Label("06.0e.2b.34.01.01.01.01.0d.01.07.01.0b.01.01") + U8(xx); }
std::string DppLabel(int xx) { return Label("06.0e.2b.34.01.01.01.01.0d.0c.01.01.01.01") + U8(xx) + U8(0); }
const std::string kTextLabel = Label("06.0e.2b.34.01.01.01.0d.03.01.02.20.03.01.00.00");

const std::vector<Item> kAs11Items = {
    {1, Utf16(L"Series \u00E9"), "SeriesTitle", "Series \xC3\xA9"}, {2, Utf16(L"Programme"), "ProgrammeTitle", "Programme"},
    {3, Utf16(L"Episode 12"), "EpisodeTitleNumber", "Episode 12"}, {4, Utf16(L"UK DPP HD")},  // shim name
    {0x0a, U16(0x0102)}, {5, U8(3), "AudioTrackLayout", "3"}, {6, Utf16(L"eng"), "PrimaryAudioLanguage", "eng"},
    {7, U8(1), "ClosedCaptionsPresent", "true"}, {8, U8(2), "ClosedCaptionsType", "2"},
    {9, Utf16(L"fra"), "ClosedCaptionsLanguage", "fra"}};

// Ident clock at 250 frames; with a start of 09:59:30:00 at 25 frames per
// second that is 10 s after the start and 20 s before 10:00:00:00.
// One item of each way a UK DPP item is read (the other items of the same
// kind take the same path through the framework's table).
const std::vector<Item> kDppItems = {
    {0x01, Utf16(L"PROD/001"), "ProductionNumber", "PROD/001"}, {0x04, U16(2014), "CopyrightYear", "2014"},
    {0x09, Rational(16, 9), "PictureRatioNumerator", "16"}, {0x0a, U8(1), "3D", "true"}, {0x0b, U8(2), "3DType", "2"},
    {0x15, U64(100)},  // line-up start
    {0x16, U64(250), "IdentClockStartSeconds", "10"}, {0x17, U16(3)}, {0x18, U64(90000)},
    {0x1b, U8(0), "OpenCaptionsPresent", "false"}, {0x1e, U8(2), "SigningPresent", "2"},
    {0x1f, U8(5)},  // SignLanguage: no label maps a tag to it
    {0x20, U16(2015) + U8(6) + U8(30) + U8(12) + U8(0) + U8(0) + U8(0), "CompletionYear", "2015"},
    {0x25, Utf16(L"+44 20"), "ContactTelephoneNumber", "+44 20"}};
// Stored from the same items as the ones above.
const Properties kDppDerived = {{"PictureRatioDenominator", "9"}, {"IdentClockDurationSeconds", "20"},
                                {"CompletionMonth", "6"}, {"CompletionDay", "30"}};

std::string SetOf(const std::vector<Item>& items, uint16_t base, int uid) {
  LocalSet set;
  set.item(0x3C0A, Uid(uid));
  for (const Item& item : items) set.item(static_cast<uint16_t>(base + item.xx), item.value);
  return set.str();
}

Properties PropertiesOf(const std::vector<Item>& items, const Properties& derived = {}) {
  Properties properties = derived;
  for (const Item& item : items)
    if (item.name) properties[item.name] = item.text;
  return properties;
}

// The stored properties of `metadata`, by name.
template <typename Metadata>
Properties StoredOf(const Metadata& metadata) {
  const auto properties = metadata->GetProperties();
  return Properties(properties.begin(), properties.end());
}

PrimerEntries PrimerOf(const std::vector<Item>& items, uint16_t base, std::string (*label)(int)) {
  PrimerEntries primer;
  for (const Item& item : items) primer.emplace_back(static_cast<uint16_t>(base + item.xx), label(item.xx));
  return primer;
}
const PrimerEntries kAs11Primer = PrimerOf(kAs11Items, 0x8100, As11Label);
const PrimerEntries kDppPrimer = PrimerOf(kDppItems, 0x8200, DppLabel);

std::string TextSet(const std::string& text) { return LocalSet().item(0x3C0A, Uid(9)).item(0x8301, text).str(); }
const std::string kXavcXml =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<NonRealTimeMeta xmlns=\"urn:x\"><Duration value=\"250\"/>"
    "<VideoFormat><VideoRecPort port=\"DIRECT\"/><VideoFrame videoCodec=\"AVC100CBG_1920_1080_H422IP@L41\" "
    "captureFps=\"25p\"/></VideoFormat></NonRealTimeMeta>";

const std::string kCoreScheme = Label("06.0e.2b.34.04.01.01.01.0d.01.07.01.0b.01.00.00");
const std::string kDppScheme = Label("06.0e.2b.34.04.01.01.01.0d.0c.01.01.01.00.00.00");
const std::string kTextScheme = Label("06.0e.2b.34.04.01.01.0c.0d.01.04.01.04.01.01.00");
const std::string kCoreFramework = Label("06.0e.2b.34.02.53.01.01.0d.01.07.01.0b.01.01.00");
const std::string kDppFramework = Label("06.0e.2b.34.02.53.01.01.0d.0c.01.01.01.01.00.00");
const std::string kTextFramework = Label("06.0e.2b.34.02.53.01.01.0d.01.04.01.04.02.02.00");

class MxfDmInFile : public ::testing::Test {
 protected:
  // An OP1a file at 25 frames per second starting at 09:59:30:00.
  MxfDmInFile() {
    layout.timecode = {(9 * 3600 + 59 * 60 + 30) * 25, 25, false};
    layout.primer = kAs11Primer;
    layout.primer.insert(layout.primer.end(), kDppPrimer.begin(), kDppPrimer.end());
    layout.primer.emplace_back(0x8301, kTextLabel);
  }
  int Open(const std::string& bytes) { return reader.Open(dir.write("dm.mxf", bytes).c_str(), false); }
  FileLayout layout;
  oxltest::TempDir dir;
  CMXFDataReader reader{OXLDataReader::Video_Data, 16384, "mxf-dm"};
};

TEST_F(MxfDmInFile, EverySchemeOfThePrefaceGivesItsObject) {
  const std::string segmentation = Label("06.0e.2b.34.04.01.01.01.0d.01.07.01.0b.02.00.00");
  layout.dmSchemes = {kCoreScheme, segmentation, kDppScheme, kTextScheme, std::string(16, '\x33')};
  layout.extraSets = {Klv(Label("06.0e.2b.34.02.53.01.01.0d.01.07.01.0b.02.01.00"), LocalSet().item(0x3C0A, Uid(600)).str()),
                      Klv(kCoreFramework, SetOf(kAs11Items, 0x8100, 7)), Klv(kDppFramework, SetOf(kDppItems, 0x8200, 8)),
                      Klv(kTextFramework, TextSet(kXavcXml))};
  ASSERT_EQ(Open(BuildFile(layout).bytes), 0);
  const auto list = reader.GetMetadataList();
  ASSERT_EQ(list.size(), 3u);  // the segmentation and unknown schemes have no framework reader
  ASSERT_TRUE(std::dynamic_pointer_cast<const qel::IMetadata_As11Core>(list[0]));
  EXPECT_EQ(StoredOf(list[0]), PropertiesOf(kAs11Items));
  ASSERT_TRUE(std::dynamic_pointer_cast<const qel::IMetadata_As11UkDpp>(list[1]));
  EXPECT_EQ(StoredOf(list[1]), PropertiesOf(kDppItems, kDppDerived));
  const auto sony = std::dynamic_pointer_cast<const qel::IMetadata_SonyNonRealTimeMetaData>(list[2]);
  ASSERT_TRUE(sony);
  EXPECT_EQ(sony->GetVideoCodec(), "AVC100CBG_1920_1080_H422IP@L41");
  OXLDataReader::VideoDataType type = OXLDataReader::AVC_I_100;
  EXPECT_TRUE(CMXFDataReader::MetadataAnalysisIsRequired(type));
  EXPECT_EQ(reader.AnalyzeMetadata(type), 0);
  EXPECT_EQ(type, OXLDataReader::XAVC_Intra_4k_Class300);
}

}  // namespace
