// The IMX video reader on damaged files of our writer (1020-byte edit units)
// and FFmpeg (a truncation sweep, through the MXF reader too): result codes,
// never a crash or a frame that is not the file's.
#include <gtest/gtest.h>

#include <algorithm>

#include "OXLDataReader/IMXVideoReader.h"
#include "support/CapturingLogger.h"
#include "support/ErrorText.h"
#include "support/GrowingFile.h"
#include "support/ImxFixtures.h"
#include "support/MxfWriter.h"
#include "support/TempDir.h"

namespace {

using namespace oxltest::mxf;

const uint32_t kFrame = 1000, kUnit = kFrame + 20;

FileLayout ImxLayout() {
  FileLayout layout;
  layout.duration = 6;
  layout.frameSize = kFrame;
  layout.pictureCoding = Label("06.0e.2b.34.04.01.01.01.04.01.02.02.01.02.01.01");
  return layout;
}

class ImxDamagedTest : public ::testing::Test {
 protected:
  int Open(const std::string& bytes) { return reader.Open(dir.write("damaged.mxf", bytes).c_str(), false); }
  // The frames read on from the position, each as the byte our writer fills
  // it with (-1: not one of its frames); `last` receives the final result.
  std::vector<int> Frames(int* last = nullptr, bool backwards = false) {
    std::vector<int> values;
    for (const auto& frame : oxltest::ReadAll(reader, kUnit, backwards, last))
      values.push_back(frame.bytes == std::string(kFrame, frame.bytes[0]) ? frame.bytes[0] : -1);
    return values;
  }

  oxltest::TempDir dir;
  CIMXVideoReader reader{"damaged"};
};

// A missing picture key: 111, the position stays on it and a skip steps
// over it. A picture length beyond the edit unit: 110, the units before are intact.
TEST_F(ImxDamagedTest, DamagedPictureElementsGiveTheirCodes) {
  File file = BuildFile(ImxLayout());
  file.bytes[file.essenceStart + 2 * kUnit + 10] = 0x7F;  // the third unit's key
  ASSERT_EQ(Open(file.bytes), 0);
  unsigned char aspect = 0;  // from the 4:3 item that ends the descriptor
  ASSERT_EQ(reader.GetSampleInfos(nullptr, nullptr, &aspect), 0);
  EXPECT_EQ(aspect, 2);
  int last = 0;
  EXPECT_EQ(Frames(&last), (std::vector<int>{0, 1}));
  EXPECT_EQ(last, 111);
  EXPECT_TRUE(Frames(&last).empty());
  EXPECT_EQ(last, 111);
  ASSERT_EQ(reader.SkipNextData(), 0);
  EXPECT_EQ(Frames(), (std::vector<int>{3, 4, 5}));

  file = BuildFile(ImxLayout());
  const uint64_t length = file.essenceStart + 3 * kUnit + 16;  // the fourth unit's 4-byte length
  for (const std::string& bad : {Bytes({0x83, 0xFF, 0xFF, 0xFF}), Bytes({0x83, 0x00, 0x03, 0xF9}), Bytes({0xFF, 0, 0, 0})}) {
    file.bytes.replace(length, 4, bad);
    ASSERT_EQ(Open(file.bytes), 0);
    ASSERT_EQ(reader.GoToFieldOffset(6, nullptr), 0);
    EXPECT_TRUE(Frames(&last).empty());
    EXPECT_EQ(last, 110);
    EXPECT_EQ(Frames(nullptr, true), (std::vector<int>{2, 1, 0}));
  }
}

// A segment without a constant byte count: its first two entries give the
// edit unit (entries out of order: measured from one picture key to the
// next, over the unit's other elements, one of them empty; too far apart: refused). Without an
// index it is measured too: 123 when the key never comes again.
TEST_F(ImxDamagedTest, EditUnitFromIndexEntriesOrMeasured) {
  FileLayout layout = ImxLayout();
  layout.unitExtra = Klv(Label("06.0e.2b.34.01.02.01.01.0d.01.03.01.16.01.01.01"), std::string(50, 'a')) +
                     Klv(Label("06.0e.2b.34.01.02.01.01.0d.01.03.01.16.01.02.01"), "");
  const uint64_t far = uint64_t(1) << 40, unit = kUnit + layout.unitExtra.size();
  const std::pair<std::vector<uint64_t>, int> entries[] = {{{far, far + unit}, 0}, {{far, 0}, 0}, {{0, 50000000}, 100}};
  for (const auto& [offsets, code] : entries) {
    std::vector<std::string> items;  // index entries: temporal and key-frame offsets, flags, stream offset
    for (uint64_t offset : offsets) items.push_back(Bytes({0, 0, 0x80}) + U64(offset));
    layout.indexItems = LocalSet().item(0x3F05, U32(0)).item(0x3F0A, Batch(items, 11)).str();
    ASSERT_EQ(Open(BuildFile(layout).bytes), code);
    if (code == 0) {
      EXPECT_EQ(reader.GetEditByteCount(), unit);
      EXPECT_EQ(Frames(), (std::vector<int>{0, 1, 2, 3, 4, 5}));
    }
  }
  layout.indexItems = LocalSet().item(0x3F05, U32(0x7FFFFFFF)).str();
  EXPECT_EQ(Open(BuildFile(layout).bytes), 110);
  layout.withIndex = false;
  layout.duration = 1;  // the key never comes again
  EXPECT_EQ(Open(BuildFile(layout).bytes), 123);
}

// Cuts at and around every KLV start and a spread between: the MXF reader gives
// a code or a framework error and refuses cuts in the header metadata; the IMX
// reader gives codes, and every frame it delivers is the file's.
TEST(MxfTruncation, EveryCutGivesCodesAndOnlyTheFilesFrames) {
  if (!oxltest::HasFFmpegTools()) GTEST_SKIP() << "ffmpeg is not installed";
  oxltest::CapturingLogger log;
  const oxltest::MediaFixture& fixture =
      oxltest::GetMediaFixture("imx30_cut.mxf", {oxltest::D10Args(30, false, false, 0.12)});
  const auto packets = oxltest::VideoPackets(fixture);
  const std::string bytes = oxltest::ReadWholeFile(fixture.path);
  CMXFDataReader whole(OXLDataReader::Video_Data, 65536, "whole");
  ASSERT_EQ(whole.Open(fixture.path.c_str(), false), 0);
  const uint64_t headerEnd = whole.GetHeaderPartition()->m_HeaderMetadataStart + whole.GetHeaderPartition()->m_HeaderByteCount;
  std::vector<size_t> cuts;
  for (uint64_t p : KlvOffsets(bytes))
    for (int d : {-1, 0, 1, 16, 17, 20}) cuts.push_back(p + d);
  for (size_t i = 1; i < 40; ++i) cuts.push_back(bytes.size() * i / 40);
  const std::vector<int> codes = {0, -1, -2, -15, -16, 1, 2};
  oxltest::TempDir dir;
  std::string v1 = bytes;  // the fill after the header partition pack, keyed as version 1: skipped too
  const size_t fill = KlvOffsets(bytes).at(1);
  ASSERT_EQ(v1.substr(fill + 7, 5), std::string("\x02\x03\x01\x02\x10", 5));
  v1[fill + 7] = 0x01;
  CMXFDataReader older(OXLDataReader::Video_Data, 65536, "v1");
  ASSERT_EQ(older.Open(dir.write("v1.mxf", v1).c_str(), false), 0);
  EXPECT_EQ(older.GetHeaderPartition()->m_HeaderMetadataStart, whole.GetHeaderPartition()->m_HeaderMetadataStart);
  int opened = 0;
  for (size_t cut : cuts) {
    if (cut >= bytes.size()) continue;
    const std::string path = dir.write("cut.mxf", bytes.substr(0, cut));
    CMXFDataReader mxf(OXLDataReader::Video_Data, 65536, "cut");
    int result = 99;
    if (oxltest::QelFailure([&] { result = mxf.Open(path.c_str(), false); }) == "<no failure>") {
      EXPECT_NE(std::find(codes.begin(), codes.end(), result), codes.end()) << cut;
      EXPECT_FALSE(cut < headerEnd && result == 0) << cut;
    }
    CIMXVideoReader reader("cut");
    if (reader.Open(path.c_str(), false) != 0) continue;
    ++opened;
    int last = 0;
    const auto forwards = oxltest::ReadAll(reader, 1 << 20, false, &last);
    EXPECT_NE(last, 0) << "cut " << cut;
    ASSERT_LE(forwards.size(), packets.size()) << "cut " << cut;
    for (size_t f = 0; f < forwards.size(); ++f) EXPECT_EQ(oxltest::Md5Hash(forwards[f].bytes), packets[f].first);
    EXPECT_EQ(oxltest::ReadAll(reader, 1 << 20, true, &last).size(), forwards.size()) << "cut " << cut;
    ASSERT_EQ(reader.GoToDataEnd(), 0);
    (void)oxltest::ReadAll(reader, 1 << 20, true);
  }
  EXPECT_GT(opened, 0);
}

}  // namespace
