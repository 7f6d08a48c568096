// The MXF reader on files of our writer: how partitions are found, what
// the index segments and descriptors give, and every kind of damage.
#include <gtest/gtest.h>

#include <algorithm>

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
  oxltest::TempDir dir;
  CMXFDataReader reader{OXLDataReader::Video_Data, 16384, "mxf-structure"};
};

// Replaces `count` bytes at `offset`.
std::string Patched(std::string bytes, size_t offset, const std::string& with) {
  return bytes.replace(offset, with.size(), with);
}

TEST_F(MxfStructureTest, TimingIndexAndClipsOfAWrittenFile) {
  FileLayout layout;
  layout.timecode = {90000, 25, false};
  const File file = BuildFile(layout);
  ASSERT_EQ(Open(file.bytes), 0);
  EXPECT_EQ(PartitionOffsets(), file.partitionOffsets);
  EXPECT_EQ(reader.GetEditRate(), 25.0);
  EXPECT_EQ(reader.GetVideoSystem(), OxlTbx::VS_PAL);
  EXPECT_EQ(reader.GetDuration(), 10);
  EXPECT_EQ(reader.GetStart(), 90000);
  EXPECT_EQ(reader.GetTimecodeSystem(), OxlTbx::VS_PAL);
  EXPECT_EQ(reader.GetEditByteCount(), layout.frameSize + 20);  // the index segment's edit unit byte count
  ASSERT_EQ(reader.GetDataClips().size(), 1u);
  EXPECT_EQ(reader.GetDataClips()[0].start, file.partitionOffsets[1] + 16 + 4 + 88 + 16);
  EXPECT_EQ(reader.GetDataClips()[0].end, file.partitionOffsets[2]);
  EXPECT_EQ(reader.GetMaterialPackage().m_Name, L"material");
  EXPECT_EQ(reader.GetFilePackage().m_Name, L"file");
  ASSERT_EQ(reader.GetMaterialPackage().m_Tracks.size(), 2u);
  EXPECT_EQ(reader.GetMaterialPackage().m_Tracks[0].m_Kind, Oxl_Mxf::Track_Picture);
  EXPECT_EQ(reader.GetMaterialPackage().m_Tracks[1].m_Kind, Oxl_Mxf::Track_Timecode);
  unsigned int in = 0, out = 0, system = 0;
  ASSERT_EQ(reader.GetInOut(&in, &out, &system), 0);
  EXPECT_EQ(in, 180000u);
  EXPECT_EQ(out, 180020u);
  EXPECT_EQ(reader.GoToDataEnd(), 0);
}

TEST_F(MxfStructureTest, PartitionsThroughTheRandomIndexPack) {
  FileLayout layout;
  layout.footerOffsetInHeader = false;
  const File file = BuildFile(layout);
  ASSERT_EQ(Open(file.bytes), 0);
  EXPECT_EQ(reader.GetPartitionOffsets(), file.partitionOffsets);
  EXPECT_EQ(PartitionOffsets(), file.partitionOffsets);
  EXPECT_EQ(reader.GetPartitions()[1]->m_NextPartition, static_cast<int64_t>(file.partitionOffsets[2]));
}

TEST_F(MxfStructureTest, FooterFoundFromTheEndWithoutRandomIndexPack) {
  FileLayout layout;
  layout.footerOffsetInHeader = false;
  layout.withRip = false;
  const File file = BuildFile(layout);
  ASSERT_EQ(Open(file.bytes), 0);
  EXPECT_TRUE(reader.GetPartitionOffsets().empty());
  EXPECT_EQ(reader.GetHeaderPartition()->m_FooterPartition, file.partitionOffsets[2]);
  EXPECT_EQ(PartitionOffsets(), file.partitionOffsets);
}

TEST_F(MxfStructureTest, WithoutFooterPartitionsThatFollowTheHeaderAreWalked) {
  FileLayout layout;
  layout.footerOffsetInHeader = false;
  layout.withRip = false;
  const File file = BuildFile(layout);
  ASSERT_EQ(Open(file.bytes.substr(0, file.partitionOffsets[2])), 0);
  EXPECT_EQ(PartitionOffsets(), std::vector<uint64_t>(file.partitionOffsets.begin(), file.partitionOffsets.begin() + 2));
  EXPECT_EQ(reader.GetDuration(), 10);
}

TEST_F(MxfStructureTest, FooterOffsetPointingAtNoPartitionIsDropped) {
  FileLayout layout;
  const File file = BuildFile(layout);
  // The header's footer offset (pack value offset 24) moved one byte on.
  const std::string footer = U64(file.partitionOffsets[2] + 1);
  ASSERT_EQ(Open(Patched(file.bytes, 16 + 4 + 24, footer)), 0);
  EXPECT_EQ(reader.GetHeaderPartition()->m_FooterPartition, 0u);
  EXPECT_EQ(PartitionOffsets(), std::vector<uint64_t>(file.partitionOffsets.begin(), file.partitionOffsets.begin() + 2));
}

TEST_F(MxfStructureTest, RunInShiftsEveryOffset) {
  FileLayout layout;
  layout.runIn = std::string(100, '\0');
  layout.footerOffsetInHeader = false;
  const File file = BuildFile(layout);
  ASSERT_EQ(Open(file.bytes), 0);
  EXPECT_EQ(reader.GetRunInLength(), 100u);
  std::vector<uint64_t> expected;
  for (uint64_t offset : file.partitionOffsets) expected.push_back(offset + 100);
  EXPECT_EQ(PartitionOffsets(), expected);
}

TEST_F(MxfStructureTest, TimecodeInAnotherSystemIsConverted) {
  FileLayout layout;
  layout.rateNum = 50;
  layout.timecode = {25 * 3600, 25, false};  // 01:00:00:00 counted at 25
  ASSERT_EQ(Open(BuildFile(layout).bytes), 0);
  EXPECT_EQ(reader.GetVideoSystem(), OxlTbx::VS_FieldPAL);
  EXPECT_EQ(reader.GetTimecodeSystem(), OxlTbx::VS_PAL);
  EXPECT_EQ(reader.GetStart(), 50 * 3600);
}

TEST_F(MxfStructureTest, RateWithoutVideoSystemGivesMilliseconds) {
  FileLayout layout;
  layout.rateNum = 15;
  layout.withTimecode = false;
  ASSERT_EQ(Open(BuildFile(layout).bytes), 0);
  unsigned int in = 1, out = 0, system = 0;
  ASSERT_EQ(reader.GetInOut(&in, &out, &system), 0);
  EXPECT_EQ(system, 0xFFFFFFFFu);
  EXPECT_EQ(in, 0u);
  EXPECT_EQ(out, 666u);  // 10 frames at 15 per second
}

TEST_F(MxfStructureTest, EditByteCountFromTheDescriptorWithoutIndex) {
  FileLayout layout;
  layout.withIndex = false;
  layout.extraSets = {Klv(SetKey(0x4A), LocalSet().item(0x3C0A, Uid(500)).item(0xFFF1, U32(1234)).str())};
  ASSERT_EQ(Open(BuildFile(layout).bytes), 0);
  EXPECT_EQ(reader.GetEditByteCount(), 1234u);
}

TEST_F(MxfStructureTest, PictureDescriptorCodingAndLayout) {
  FileLayout layout;
  layout.pictureCoding = Bytes({0x06, 0x0e, 0x2b, 0x34, 0x04, 0x01, 0x01, 0x01, 0x04, 0x01, 0x02, 0x02, 0x01, 0x02, 0x01, 0x01});
  layout.width = 720;
  layout.height = 304;
  ASSERT_EQ(Open(BuildFile(layout).bytes), 0);
  std::string descriptor = reader.GetPictureDescriptor();
  OXLDataReader::VIDEO_INFO info{};
  ASSERT_TRUE(reader.GetCDCIVideoInfo(reinterpret_cast<unsigned char*>(descriptor.data()),
                                      static_cast<unsigned int>(descriptor.size()), info));
  EXPECT_EQ(info.VideoType, OXLDataReader::IMX50_Video);
  EXPECT_EQ(info.Width, 720u);
  EXPECT_EQ(info.Height, 608u);  // two fields of 304 lines
  EXPECT_FALSE(info.Progressive);
  EXPECT_EQ(info.AspectRatio, 2);
  EXPECT_EQ(info.Resolution, OXLDataReader::SD_625);
  EXPECT_EQ(info.EditRate, qel::EditRate(25, 1));
}

// Picture essence coding labels of the SMPTE registers (any registry version
// byte) and what they are; the sample rate gives the edit rate.
TEST_F(MxfStructureTest, PictureCodingLabelsAndSampleRates) {
  const std::string prefix = Bytes({0x06, 0x0e, 0x2b, 0x34, 0x04, 0x01, 0x01, 0x0a});
  const struct {
    std::string tail;
    OXLDataReader::VideoDataType type;
  } labels[] = {
      {Bytes({0x04, 0x01, 0x02, 0x02, 0x01, 0x02, 0x01, 0x05}), OXLDataReader::IMX30_Video},   // D-10 30 Mb/s 625
      {Bytes({0x04, 0x01, 0x02, 0x02, 0x01, 0x02, 0x01, 0x04}), OXLDataReader::IMX40_Video},   // D-10 40 Mb/s 525
      {Bytes({0x04, 0x01, 0x02, 0x02, 0x02, 0x01, 0x02, 0x00}), OXLDataReader::DV25_Video},    // IEC DV 625/50
      {Bytes({0x04, 0x01, 0x02, 0x02, 0x02, 0x02, 0x02, 0x00}), OXLDataReader::DVCPro25_Video}, // DV-based 25 625
      {Bytes({0x04, 0x01, 0x02, 0x02, 0x02, 0x02, 0x04, 0x00}), OXLDataReader::DVCPro50_Video}, // DV-based 50 625
      {Bytes({0x04, 0x01, 0x02, 0x02, 0x02, 0x02, 0x06, 0x00}), OXLDataReader::DVCPro100_Video}, // 1080i50
      {Bytes({0x04, 0x01, 0x02, 0x02, 0x02, 0x02, 0x08, 0x00}), OXLDataReader::DVCPro720P_Video}, // 720p50
      {Bytes({0x04, 0x01, 0x02, 0x02, 0x71, 0x09, 0x00, 0x00}), OXLDataReader::DNxHDHigh_Video},  // DNxHD CID 1243
      {Bytes({0x04, 0x01, 0x02, 0x02, 0x71, 0x01, 0x00, 0x00}), OXLDataReader::DNxHD10bits_Video}, // CID 1235
      {Bytes({0x04, 0x01, 0x02, 0x02, 0x01, 0x32, 0x21, 0x01}), OXLDataReader::AVC_I_50_1080i_Video},
      {Bytes({0x04, 0x01, 0x02, 0x02, 0x01, 0x32, 0x31, 0x03}), OXLDataReader::AVC_I_100},
      {Bytes({0x04, 0x01, 0x02, 0x02, 0x01, 0x02, 0x02, 0x01}), OXLDataReader::MPEGFrame_Video},   // 422P@ML
  };
  const struct {
    uint32_t num, den;
    qel::EditRate rate;
  } rates[] = {{24000, 1001, {24000, 1001}}, {30000, 1001, {30000, 1001}}, {60000, 1001, {60000, 1001}},
               {24, 1, {24, 1}}, {50, 1, {50, 1}}, {25, 1, {25, 1}}};
  for (size_t i = 0; i < std::size(labels); ++i) {
    FileLayout layout;
    layout.pictureCoding = prefix + labels[i].tail;
    layout.rateNum = rates[i % std::size(rates)].num;
    layout.rateDen = rates[i % std::size(rates)].den;
    layout.frameLayout = 0;
    ASSERT_EQ(Open(BuildFile(layout).bytes), 0);
    std::string descriptor = reader.GetPictureDescriptor();
    OXLDataReader::VIDEO_INFO info{};
    EXPECT_TRUE(reader.GetCDCIVideoInfo(reinterpret_cast<unsigned char*>(descriptor.data()),
                                        static_cast<unsigned int>(descriptor.size()), info));
    EXPECT_EQ(info.VideoType, labels[i].type) << i;
    EXPECT_EQ(info.EditRate, rates[i % std::size(rates)].rate) << i;
    EXPECT_TRUE(info.Progressive);
    EXPECT_EQ(info.Height, 288u);
  }
}

TEST_F(MxfStructureTest, OperationalPattern1bIsRefused) {
  FileLayout layout;
  layout.packageComplexity = 2;
  EXPECT_EQ(Open(BuildFile(layout).bytes), -16);
}

TEST_F(MxfStructureTest, MissingMaterialPackageIsRefused) {
  FileLayout layout;
  std::string bytes = BuildFile(layout).bytes;
  const std::string material = SetKey(0x36);
  const size_t at = bytes.find(material);
  ASSERT_NE(at, std::string::npos);
  bytes[at + 14] = 0x7E;  // no longer a package set
  EXPECT_EQ(Open(bytes), -16);
}

TEST_F(MxfStructureTest, FirstPartitionMustBeAClosedCompleteHeaderKey) {
  const File file = BuildFile(FileLayout());
  EXPECT_EQ(Open(Patched(file.bytes, 15, U8(1))), -15);
  EXPECT_EQ(Open(std::string(5000, 'x')), -2);
  EXPECT_EQ(Open("tiny"), -1);
}

TEST_F(MxfStructureTest, RandomIndexPackPointingOutsideTheFile) {
  FileLayout layout;
  layout.footerOffsetInHeader = false;
  const File file = BuildFile(layout);
  // The last RIP entry (footer) points far beyond the end.
  const size_t entry = file.bytes.size() - 4 - 8;
  EXPECT_EQ(Open(Patched(file.bytes, entry, U64(1ULL << 40))), 1);
  EXPECT_EQ(Open(Patched(file.bytes, entry, U64(file.bytes.size() - 8))), 1);
}

TEST_F(MxfStructureTest, LengthsOfNineBytesAndBeyondTheFile) {
  const File file = BuildFile(FileLayout());
  // Header partition pack length as a 9-byte BER form.
  EXPECT_EQ(Open(Patched(file.bytes, 16, U8(0x89))), 1);
  // A pack longer than the reader's window, and one longer than the file.
  EXPECT_EQ(Open(Patched(file.bytes, 16, Bytes({0x83, 0x7F, 0xFF, 0xFF}))), 2);
  FileLayout layout;
  const File small = BuildFile(layout);
  // Header byte count far beyond the file: the header metadata cannot be loaded.
  EXPECT_EQ(Open(Patched(small.bytes, 16 + 4 + 32, U64(1ULL << 50))), 2);
}

TEST_F(MxfStructureTest, PrimerBatchClaimingMoreThanItHolds) {
  oxltest::CapturingLogger log;
  FileLayout layout;
  layout.primer = {{0x8001, std::string(16, 'a')}};
  std::string bytes = BuildFile(layout).bytes;
  const size_t primer = bytes.find(kPrimerKey);
  ASSERT_NE(primer, std::string::npos);
  EXPECT_EQ(oxltest::QelFailure([&] { Open(Patched(bytes, primer + 20, U32(1000))); }),
            "[buffer is too small to correspond with mxf array description] [ Condition is not true ]");
}

TEST_F(MxfStructureTest, IndexSegmentWithAbsurdCounts) {
  FileLayout layout;
  layout.indexItems = LocalSet()
                        .item(0x3F0A, U32(0x7FFFFFFF) + U32(11) + std::string(22, '\1'))
                        .item(0x3F09, U32(0xFFFFFFFF) + U32(0) + std::string(12, '\2'))
                        .str();
  ASSERT_EQ(Open(BuildFile(layout).bytes), 0);
  const auto& segments = reader.GetPartitions().back()->m_IndexSegments;
  ASSERT_EQ(segments.size(), 1u);
  EXPECT_TRUE(segments.begin()->second.indexEntries.empty());
  EXPECT_TRUE(segments.begin()->second.deltaEntries.empty());
  EXPECT_EQ(segments.begin()->second.editUnitByteCount, layout.frameSize + 20);
}

TEST_F(MxfStructureTest, IndexEntriesAreRead) {
  FileLayout layout;
  layout.indexItems = LocalSet()
                        .item(0x3F0A, U32(2) + U32(11) + Bytes({0, 0, 0x80}) + U64(0) + Bytes({0xFF, 0xFE, 0x22}) + U64(4096))
                        .item(0x3F09, U32(1) + U32(6) + Bytes({0, 0}) + U32(0))
                        .str();
  ASSERT_EQ(Open(BuildFile(layout).bytes), 0);
  const auto& segment = reader.GetPartitions().back()->m_IndexSegments.begin()->second;
  ASSERT_EQ(segment.indexEntries.size(), 2u);
  EXPECT_EQ(segment.indexEntries[1].temporalOffset, -1);
  EXPECT_EQ(segment.indexEntries[1].keyFrameOffset, -2);
  EXPECT_EQ(segment.indexEntries[1].flags, 0x22);
  EXPECT_EQ(segment.indexEntries[1].streamOffset, 4096u);
  EXPECT_EQ(segment.deltaEntries.size(), 1u);
  EXPECT_EQ(segment.duration, 10);
  EXPECT_EQ(segment.bodySID, 1u);
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
    if (cut < file.headerMetadataStart + file.headerByteCount) {
      EXPECT_NE(result, 0) << cut;
    }
  }
}

}  // namespace
