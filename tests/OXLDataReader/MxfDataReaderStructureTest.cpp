// The MXF reader on files of our writer: partitions, timecode, index, descriptor,
// descriptive metadata, damaged structures. (Truncation: the IMX reader's sweep.)
#include <gtest/gtest.h>

#include <map>
#include <tuple>

#include "OXLDataReader/MXFDataReader.h"
#include "qelCore/DescriptiveMetadata.h"
#include "support/CapturingLogger.h"
#include "support/ErrorText.h"
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

// One item of each way a UK DPP item is read. The ident clock at 250 frames
// from 09:59:30:00 at 25 fps is 10 s after the start, 20 s before 10:00:00:00.
const std::vector<Item> kDppItems = {
    {0x01, Utf16(L"PROD/001"), "ProductionNumber", "PROD/001"}, {0x04, U16(2014), "CopyrightYear", "2014"},
    {0x09, Rational(16, 9), "PictureRatioNumerator", "16"}, {0x0a, U8(1), "3D", "true"}, {0x0b, U8(2), "3DType", "2"},
    {0x15, U64(100)},  // line-up start
    {0x16, U64(250), "IdentClockStartSeconds", "10"}, {0x17, U16(3)}, {0x18, U64(90000)},
    {0x1b, U8(0), "OpenCaptionsPresent", "false"}, {0x1e, U8(2), "SigningPresent", "2"},
    {0x1f, U8(5)},  // SignLanguage: no label maps a tag to it
    {0x20, U16(2015) + U8(6) + U8(30) + U8(12) + U8(0) + U8(0) + U8(0), "CompletionYear", "2015"},
    {0x25, Utf16(L"+44 20"), "ContactTelephoneNumber", "+44 20"}};
const Properties kDppDerived = {{"PictureRatioDenominator", "9"}, {"IdentClockDurationSeconds", "20"},
                                {"CompletionMonth", "6"}, {"CompletionDay", "30"}};  // from the items above

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

class MxfStructureTest : public ::testing::Test {
 protected:
  int Open(const std::string& bytes) { return reader.Open(dir.write("test.mxf", bytes).c_str(), false); }
  oxltest::TempDir dir;
  CMXFDataReader reader{OXLDataReader::Video_Data, 16384, "mxf-structure"};
};

std::string Patched(std::string bytes, size_t offset, const std::string& with) {
  return bytes.replace(offset, with.size(), with);
}

// The timecode track's start (at 50 fps one counted at 25 starts at twice its
// frames), the duration from the tracks when the picture track has none, in
// and out in milliseconds without a video system (15 fps), the edit unit from
// the index segment or, without one, from the descriptor.
TEST_F(MxfStructureTest, TimingIndexAndClipsOfWrittenFiles) {
  FileLayout layout;
  layout.timecode = {90000, 25, false};
  const File file = BuildFile(layout);
  ASSERT_EQ(Open(file.bytes), 0);
  ASSERT_EQ(reader.GetDataClips().size(), 1u);
  EXPECT_EQ(std::make_tuple(reader.GetStart(), reader.GetEditByteCount(), reader.GetDataClips()[0].end),
            std::make_tuple(int64_t(90000), layout.frameSize + 20, file.partitionOffsets[2]));

  layout.pictureDuration = false;
  layout.rateNum = 50;
  ASSERT_EQ(Open(BuildFile(layout).bytes), 0);
  EXPECT_EQ(std::make_tuple(reader.GetDuration(), reader.GetVideoSystem(), reader.GetTimecodeSystem(), reader.GetStart()),
            std::make_tuple(int64_t(10), OxlTbx::VS_FieldPAL, OxlTbx::VS_PAL, int64_t(180000)));

  layout.rateNum = 15;
  layout.pictureDuration = true;
  layout.withTimecode = false;
  layout.withIndex = false;
  layout.extraSets = {Klv(SetKey(0x4A), LocalSet().item(0x3C0A, Uid(500)).item(0xFFF1, U32(1234)).str())};
  ASSERT_EQ(Open(BuildFile(layout).bytes), 0);
  unsigned int in = 0, out = 0, system = 0;
  ASSERT_EQ(reader.GetInOut(&in, &out, &system), 0);
  EXPECT_EQ(std::make_tuple(system, in, out, reader.GetEditByteCount()), std::make_tuple(0xFFFFFFFFu, 0u, 666u, 1234u));
}

// The partitions are found through the header's footer offset, the Random
// Index Pack, a search from the end, or a walk from the header; a run-in
// shifts them all. A footer offset one byte off points at no partition.
TEST_F(MxfStructureTest, PartitionsAreFoundEveryWay) {
  const struct {
    bool footerInHeader, rip;
    size_t runIn;
    bool withoutFooter, footerOffsetOff;
  } cases[] = {{false, true, 0, false, false},  {false, false, 0, false, false}, {false, false, 0, true, false},
               {true, true, 0, false, true},    {false, true, 100, false, false}};
  for (const auto& c : cases) {
    SCOPED_TRACE(&c - cases);
    FileLayout layout;
    layout.footerOffsetInHeader = c.footerInHeader;
    layout.withRip = c.rip;
    layout.runIn = std::string(c.runIn, '\0');
    const File file = BuildFile(layout);
    std::string bytes = file.bytes;
    if (c.withoutFooter) bytes.resize(file.partitionOffsets[2]);
    if (c.footerOffsetOff) bytes = Patched(bytes, 16 + 4 + 24, U64(file.partitionOffsets[2] + 1));
    ASSERT_EQ(Open(bytes), 0);
    std::vector<uint64_t> expected, found;
    for (uint64_t offset : file.partitionOffsets) expected.push_back(offset + c.runIn);
    if (c.withoutFooter || c.footerOffsetOff) expected.pop_back();
    for (const auto& partition : reader.GetPartitions()) found.push_back(partition->m_KeyOffset);
    EXPECT_EQ(std::make_tuple(found, reader.GetRunInLength(), reader.GetDuration()),
              std::make_tuple(expected, c.runIn, int64_t(10)));
  }
  // A partition pack whose length takes the longest BER form, 8 bytes.
  const File file = BuildFile(FileLayout());
  const size_t length = file.partitionOffsets[2] + 16;
  ASSERT_EQ(file.bytes[length], '\x83');
  ASSERT_EQ(Open(file.bytes.substr(0, length) + Bytes({0x88, 0, 0, 0, 0, 0}) + file.bytes.substr(length + 1)), 0);
  EXPECT_EQ(reader.GetPartitions().size(), 3u);
  EXPECT_EQ(reader.GetPartitions()[0]->m_KagSize, 1u);  // as our writer's packs give it
}

// A reader whose opening reads nothing: its cursor stays at the file's start.
class KlvWindow : public CMXFDataReader {
 public:
  KlvWindow() : CMXFDataReader(OXLDataReader::Video_Data, 4096, "klv") {}

 protected:
  int Initialize(bool) override { return 0; }
};

// The key search steps byte by byte over stray bytes and jumps whole KLVs, so
// a key inside a value is not found.
TEST(MxfKlvSearch, StrayBytesAreSearchedAndKlvsJumped) {
  const std::string prefix = Label("06.0e.2b.34.02.05.01.01.0d.01.02.01.01.02.04.00");
  const std::string bytes = "abc" + Klv(Label("06.0e.2b.34.01.01.01.01.0f.0f.0f.0f.0f.0f.0f.0f"), prefix + U8(1) + "x") +
                            Klv(prefix, "1234567");
  oxltest::TempDir dir;
  KlvWindow reader;
  ASSERT_EQ(reader.Open(dir.write("klv.mxf", bytes).c_str(), false), 0);
  long length = 0;
  ASSERT_TRUE(reader.FindMXFKey(reinterpret_cast<const unsigned char*>(prefix.data()), &length, 13));
  EXPECT_EQ(length, 7);
}

// Picture coding labels FFmpeg does not write, with a registry version byte of
// their own; the sample rate gives the edit rate; DVCPRO HD is HD at any height;
// the bit rate tells the IMX type of an MPEG frame label; only H.264 intra is UHD at 2160 lines.
TEST_F(MxfStructureTest, PictureCodingLabelsSampleRatesAndLayout) {
  using namespace OXLDataReader;
  const struct {
    const char* tail;
    VideoDataType type;
    uint32_t rateNum, rateDen, bitRate = 0, height = 288;
    VideoResolution resolution = SD_525;
  } rows[] = {{"04.01.02.02.02.02.02.00", DVCPro25_Video, 24, 1},    {"04.01.02.02.02.02.04.00", DVCPro50_Video, 50, 1},
              {"04.01.02.02.02.02.06.00", DVCPro100_Video, 25, 1, 0, 288, HD_720},
              {"04.01.02.02.02.02.08.00", DVCPro720P_Video, 24000, 1001, 0, 288, HD_720},
              {"04.01.02.02.71.09.00.00", DNxHDHigh_Video, 30000, 1001}, {"04.01.02.02.71.01.00.00", DNxHD10bits_Video, 60000, 1001},
              {"0d.01.03.01.02.02.50.00", DVCPro50_Video, 25, 1},    {"04.01.02.02.01.01.00.00", HDV_Video, 25, 1, 0, 2160, HD_1080},
              {"04.01.02.02.01.02.02.01", MPEGFrame_Video, 25, 1},   {"04.01.02.02.01.02.02.01", IMX30_Video, 25, 1, 30000000},
              {"04.01.02.02.01.32.30.01", H264_Intra, 25, 1, 0, 2160, UHD_2160}, {"04.01.02.02.01.32.30.01", H264_Intra, 25, 1, 0, 1080, HD_1080}};
  for (const auto& row : rows) {
    FileLayout layout;
    layout.pictureCoding = Label("06.0e.2b.34.04.01.01.0a") + Label(row.tail);
    if (row.bitRate) layout.pictureItems += LocalSet().item(0x8002, U32(row.bitRate)).str();
    if (row.height != 288) layout.pictureItems += LocalSet().item(0x3202, U32(row.height)).str();  // read last, it wins
    layout.rateNum = row.rateNum;
    layout.rateDen = row.rateDen;
    layout.frameLayout = 0;
    ASSERT_EQ(Open(BuildFile(layout).bytes), 0);
    std::string descriptor = reader.GetPictureDescriptor();
    VIDEO_INFO info{};
    ASSERT_TRUE(reader.GetCDCIVideoInfo(reinterpret_cast<unsigned char*>(descriptor.data()),
                                        static_cast<unsigned int>(descriptor.size()), info));
    EXPECT_EQ(std::make_tuple(info.VideoType, info.EditRate, info.Progressive, info.Height, info.Resolution),
              std::make_tuple(row.type, qel::EditRate(row.rateNum, row.rateDen), true, row.height, row.resolution))
        << row.tail;
  }
}

// Codes of Open; kFails: a framework error.
TEST_F(MxfStructureTest, DamagedStructuresGiveTheirCodes) {
  oxltest::CapturingLogger log;
  const int kFails = 99;
  FileLayout op1b, withScheme;
  withScheme.dmSchemes = {Uid(7)};
  const std::string schemed = BuildFile(withScheme).bytes;
  const size_t schemes = schemed.find(Bytes({0x3B, 0x0B, 0x00, 0x18})) + 4;  // the DM scheme batch
  op1b.packageComplexity = 2;
  FileLayout noFooterOffset;
  noFooterOffset.footerOffsetInHeader = false;
  const File file = BuildFile(FileLayout()), ripped = BuildFile(noFooterOffset);
  std::string noMaterial = file.bytes;
  noMaterial[noMaterial.find(SetKey(0x36)) + 14] = 0x7E;  // no longer a package set
  const size_t lastRipEntry = ripped.bytes.size() - 4 - 8;
  FileLayout absurd;  // index and delta entry counts far beyond their items' bytes: dropped
  absurd.indexItems = LocalSet().item(0x3F0A, U32(0x7FFFFFFF) + U32(11) + std::string(22, '\1'))
                          .item(0x3F09, U32(0xFFFFFFFF) + U32(0) + std::string(12, '\2')).str();
  const std::pair<std::string, int> cases[] = {
      {BuildFile(absurd).bytes, 0},
      {BuildFile(op1b).bytes, -16},
      {noMaterial, -16},
      {Patched(file.bytes, 15, U8(1)), -15},  // not a closed complete header partition
      {std::string(5000, 'x'), -2},
      {"tiny", -1},
      {Patched(ripped.bytes, lastRipEntry, U64(1ULL << 40)), 1},  // the RIP's footer beyond the file
      {Patched(ripped.bytes, lastRipEntry, U64(ripped.bytes.size() - 8)), 1},
      {Patched(file.bytes, 16, U8(0x89)), 1},  // a 9-byte BER length
      {Patched(file.bytes, 16, Bytes({0x83, 0x7F, 0xFF, 0xFF})), 2},  // longer than the reader's window
      {Patched(file.bytes, 16 + 4 + 32, U64(1ULL << 50)), 2},  // header byte count beyond the file
      // DM scheme counts beyond the batch's bytes: 5, one whose 32-bit product
      // with the item size wraps, four billion empty items.
      {Patched(schemed, schemes, U32(5) + U32(16)), kFails},
      {Patched(schemed, schemes, U32(0x10000001) + U32(16)), kFails},
      {Patched(schemed, schemes, U32(0xFFFFFFFF) + U32(0)), kFails},
  };
  for (const auto& c : cases) {
    int result = kFails;
    const std::string failure = oxltest::QelFailure([&] { result = Open(c.first); });
    EXPECT_EQ(result, c.second) << &c - &cases[0] << failure;
  }
}

// DM scheme keys of the preface and the AS-11 core, UK DPP and text-based
// framework sets, read with tags declared by a primer pack, in an OP1a file
// at 25 frames per second starting at 09:59:30:00.
TEST_F(MxfStructureTest, EveryDescriptiveSchemeOfThePrefaceGivesItsObject) {
  FileLayout layout;
  layout.timecode = {(9 * 3600 + 59 * 60 + 30) * 25, 25, false};
  layout.primer = kAs11Primer;
  layout.primer.insert(layout.primer.end(), kDppPrimer.begin(), kDppPrimer.end());
  layout.primer.emplace_back(0x8301, kTextLabel);
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
