// The MXF reader on files of our writer: how partitions are found, what
// the timecode, index and descriptor give, and every kind of damage.
#include <gtest/gtest.h>

#include <algorithm>
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

TEST_F(MxfStructureTest, TimingIndexAndClipsOfAWrittenFile) {
  FileLayout layout;
  layout.timecode = {90000, 25, false};
  const File file = BuildFile(layout);
  ASSERT_EQ(Open(file.bytes), 0);
  EXPECT_EQ(std::make_tuple(reader.GetEditRate(), reader.GetVideoSystem(), reader.GetDuration(), reader.GetStart()),
            std::make_tuple(25.0, OxlTbx::VS_PAL, int64_t(10), int64_t(90000)));
  EXPECT_EQ(reader.GetEditByteCount(), layout.frameSize + 20);  // the index segment's edit unit byte count
  ASSERT_EQ(reader.GetDataClips().size(), 1u);
  EXPECT_EQ(reader.GetDataClips()[0].start, file.essenceStart);
  EXPECT_EQ(reader.GetDataClips()[0].end, file.partitionOffsets[2]);
  EXPECT_EQ(reader.GetMaterialPackage().m_Name + L"/" + reader.GetFilePackage().m_Name, L"material/file");
  unsigned int in = 0, out = 0, system = 0;
  ASSERT_EQ(reader.GetInOut(&in, &out, &system), 0);
  EXPECT_EQ(std::make_pair(in, out), std::make_pair(180000u, 180020u));

  // A picture track without a duration: the tracks after it give one. At 50
  // frames per second a timecode counted at 25 starts at twice its frames.
  layout.pictureDuration = false;
  layout.rateNum = 50;
  ASSERT_EQ(Open(BuildFile(layout).bytes), 0);
  EXPECT_EQ(std::make_tuple(reader.GetDuration(), reader.GetVideoSystem(), reader.GetTimecodeSystem(), reader.GetStart()),
            std::make_tuple(int64_t(10), OxlTbx::VS_FieldPAL, OxlTbx::VS_PAL, int64_t(180000)));

  // Without a video system (15 fps) in and out are milliseconds; without an
  // index the descriptor's byte count is the edit unit.
  layout.rateNum = 15;
  layout.pictureDuration = true;
  layout.withTimecode = false;
  layout.withIndex = false;
  layout.extraSets = {Klv(SetKey(0x4A), LocalSet().item(0x3C0A, Uid(500)).item(0xFFF1, U32(1234)).str())};
  ASSERT_EQ(Open(BuildFile(layout).bytes), 0);
  ASSERT_EQ(reader.GetInOut(&in, &out, &system), 0);
  EXPECT_EQ(std::make_tuple(system, in, out), std::make_tuple(0xFFFFFFFFu, 0u, 666u));
  EXPECT_EQ(reader.GetEditByteCount(), 1234u);
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
    if (!c.footerOffsetOff && c.runIn == 0) {
      EXPECT_EQ(reader.GetPartitionOffsets(), c.rip ? file.partitionOffsets : std::vector<uint64_t>());
    }
    if (c.footerOffsetOff || (!c.rip && !c.withoutFooter)) {
      EXPECT_EQ(reader.GetHeaderPartition()->m_FooterPartition, c.footerOffsetOff ? 0u : file.partitionOffsets[2]);
    }
    if (c.rip && c.runIn == 0 && !c.footerOffsetOff) {
      EXPECT_EQ(reader.GetPartitions()[1]->m_NextPartition, static_cast<int64_t>(expected[2]));
    }
  }
}

// Picture essence coding labels of the SMPTE registers (any registry version
// byte) and what they are; the sample rate gives the edit rate.
TEST_F(MxfStructureTest, PictureCodingLabelsSampleRatesAndLayout) {
  const std::string prefix = Label("06.0e.2b.34.04.01.01.0a.04.01.02.02");
  const struct {
    const char* tail;
    OXLDataReader::VideoDataType type;
  } labels[] = {
      {"01.02.01.05", OXLDataReader::IMX30_Video},     {"01.02.01.04", OXLDataReader::IMX40_Video},
      {"02.01.02.00", OXLDataReader::DV25_Video},      {"02.02.02.00", OXLDataReader::DVCPro25_Video},
      {"02.02.04.00", OXLDataReader::DVCPro50_Video},  {"02.02.06.00", OXLDataReader::DVCPro100_Video},
      {"02.02.08.00", OXLDataReader::DVCPro720P_Video}, {"71.09.00.00", OXLDataReader::DNxHDHigh_Video},
      {"71.01.00.00", OXLDataReader::DNxHD10bits_Video}, {"01.32.21.01", OXLDataReader::AVC_I_50_1080i_Video},
      {"01.32.31.03", OXLDataReader::AVC_I_100},       {"01.02.02.01", OXLDataReader::MPEGFrame_Video},
  };
  const std::pair<uint32_t, uint32_t> rates[] = {{24000, 1001}, {30000, 1001}, {60000, 1001}, {24, 1}, {50, 1}, {25, 1}};
  for (size_t i = 0; i < std::size(labels); ++i) {
    FileLayout layout;
    layout.pictureCoding = prefix + Label(labels[i].tail);
    std::tie(layout.rateNum, layout.rateDen) = rates[i % std::size(rates)];
    layout.frameLayout = 0;
    ASSERT_EQ(Open(BuildFile(layout).bytes), 0);
    const OXLDataReader::VIDEO_INFO info = VideoInfo();
    EXPECT_EQ(info.VideoType, labels[i].type) << i;
    EXPECT_EQ(info.EditRate, qel::EditRate(layout.rateNum, layout.rateDen)) << i;
    EXPECT_TRUE(info.Progressive);
    EXPECT_EQ(info.Height, 288u);
    // DVCPRO HD is high definition whatever its stored lines.
    const bool hd = labels[i].type == OXLDataReader::DVCPro100_Video || labels[i].type == OXLDataReader::DVCPro720P_Video;
    EXPECT_EQ(info.Resolution, hd ? OXLDataReader::HD_720 : OXLDataReader::SD_525) << i;
  }
}

TEST_F(MxfStructureTest, DamagedStructuresGiveTheirCodes) {
  FileLayout op1b;
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
  };
  for (const auto& [bytes, code] : cases) EXPECT_EQ(Open(bytes), code) << &bytes - &cases[0].first;
}

// Every cut of the file: at each KLV boundary, one byte either side, and a
// spread of other offsets. The reader answers a code or the documented
// framework error, and refuses every cut inside the header metadata.
TEST_F(MxfStructureTest, EveryTruncationAnswersACode) {
  oxltest::CapturingLogger log;
  FileLayout layout;
  layout.footerOffsetInHeader = false;
  layout.duration = 3;
  const File file = BuildFile(layout);
  std::vector<uint64_t> cuts;
  for (uint64_t offset : file.klvOffsets)
    for (int delta : {-1, 0, 1, 17, 20}) cuts.push_back(offset + delta);
  for (uint64_t offset = 0; offset < file.bytes.size(); offset += 37) cuts.push_back(offset);
  const std::vector<int> codes = {0, -1, -2, -15, -16, 1, 2};
  for (uint64_t cut : cuts) {
    if (cut >= file.bytes.size()) continue;
    int result = 99;
    const std::string failure = oxltest::QelFailure([&] { result = Open(file.bytes.substr(0, cut)); });
    if (failure != "<no failure>") continue;
    EXPECT_NE(std::find(codes.begin(), codes.end(), result), codes.end()) << cut;
    EXPECT_FALSE(cut < file.headerMetadataStart + file.headerByteCount && result == 0) << cut;
  }
}

}  // namespace
