// The MXF reader on files of our writer: how partitions are found, what
// the timecode, index and descriptor give, and damaged structures. (Its
// truncation sweep is the IMX reader's, over a D-10 file.)
#include <gtest/gtest.h>

#include <tuple>

#include "OXLDataReader/MXFDataReader.h"
#include "support/CapturingLogger.h"
#include "support/ErrorText.h"
#include "support/MxfWriter.h"
#include "support/TempDir.h"

using namespace oxltest::mxf;

namespace {

class MxfStructureTest : public ::testing::Test {
 protected:
  int Open(const std::string& bytes) { return reader.Open(dir.write("test.mxf", bytes).c_str(), false); }
  std::vector<uint64_t> PartitionOffsets() const {
    std::vector<uint64_t> offsets;
    for (const auto& partition : reader.GetPartitions()) offsets.push_back(partition->m_KeyOffset);
    return offsets;
  }
  OXLDataReader::VIDEO_INFO VideoInfo() {
    std::string descriptor = reader.GetPictureDescriptor();
    OXLDataReader::VIDEO_INFO info{};
    EXPECT_TRUE(reader.GetCDCIVideoInfo(reinterpret_cast<unsigned char*>(descriptor.data()),
                                        static_cast<unsigned int>(descriptor.size()), info));
    return info;
  }
  oxltest::TempDir dir;
  CMXFDataReader reader{OXLDataReader::Video_Data, 16384, "mxf-structure"};
};

std::string Patched(std::string bytes, size_t offset, const std::string& with) {
  return bytes.replace(offset, with.size(), with);
}

// The start of the timecode track (at 50 frames per second a timecode
// counted at 25 starts at twice its frames), the duration from the tracks
// after a picture track without one, in and out in milliseconds without a
// video system (15 fps), and the edit unit from the index segment or,
// without one, from the descriptor.
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
    std::vector<uint64_t> expected;
    for (uint64_t offset : file.partitionOffsets) expected.push_back(offset + c.runIn);
    if (c.withoutFooter || c.footerOffsetOff) expected.pop_back();
    EXPECT_EQ(PartitionOffsets(), expected);
    EXPECT_EQ(reader.GetRunInLength(), c.runIn);
    EXPECT_EQ(reader.GetDuration(), 10);
  }
}

// Picture essence coding labels of the SMPTE registers (any registry version
// byte) and what they are; the sample rate gives the edit rate. DVCPRO HD is
// high definition whatever its stored lines.
TEST_F(MxfStructureTest, PictureCodingLabelsSampleRatesAndLayout) {
  using namespace OXLDataReader;
  const struct {
    const char* tail;
    VideoDataType type;
    uint32_t rateNum, rateDen;
  } rows[] = {{"01.02.01.05", IMX30_Video, 24000, 1001},  {"01.02.01.04", IMX40_Video, 30000, 1001},
              {"02.01.02.00", DV25_Video, 60000, 1001},   {"02.02.02.00", DVCPro25_Video, 24, 1},
              {"02.02.04.00", DVCPro50_Video, 50, 1},     {"02.02.06.00", DVCPro100_Video, 25, 1},
              {"02.02.08.00", DVCPro720P_Video, 24000, 1001}, {"71.09.00.00", DNxHDHigh_Video, 30000, 1001},
              {"71.01.00.00", DNxHD10bits_Video, 60000, 1001}, {"01.32.21.01", AVC_I_50_1080i_Video, 24, 1},
              {"01.32.31.03", AVC_I_100, 50, 1},          {"01.02.02.01", MPEGFrame_Video, 25, 1}};
  for (const auto& row : rows) {
    FileLayout layout;
    layout.pictureCoding = Label("06.0e.2b.34.04.01.01.0a.04.01.02.02") + Label(row.tail);
    layout.rateNum = row.rateNum;
    layout.rateDen = row.rateDen;
    layout.frameLayout = 0;
    ASSERT_EQ(Open(BuildFile(layout).bytes), 0);
    const VIDEO_INFO info = VideoInfo();
    const bool hd = row.type == DVCPro100_Video || row.type == DVCPro720P_Video;
    EXPECT_EQ(std::make_tuple(info.VideoType, info.EditRate, info.Progressive, info.Height, info.Resolution),
              std::make_tuple(row.type, qel::EditRate(row.rateNum, row.rateDen), true, 288u, hd ? HD_720 : SD_525))
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

}  // namespace
