// The IMX video reader on damaged files and a footer that arrives late:
// result codes, never a crash or a frame that is not the file's. Files come
// from the test MXF writer (1020-byte edit units: a 1000-byte picture element
// with a 4-byte length) and from FFmpeg (a truncation sweep over a D-10 file).
#include <gtest/gtest.h>

#include "OXLDataReader/IMXVideoReader.h"
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

std::string IndexEntries(const std::vector<uint64_t>& offsets) {
  std::vector<std::string> items;
  for (uint64_t offset : offsets) items.push_back(Bytes({0, 0, 0x80}) + U64(offset));
  return Batch(items, 11);
}

class ImxDamagedTest : public ::testing::Test {
 protected:
  int Open(const std::string& bytes) { return reader.Open(dir.write("damaged.mxf", bytes).c_str(), false); }
  int Next(std::string* frame = nullptr) {
    std::string buffer(kUnit, '\0');
    auto* data = reinterpret_cast<unsigned char*>(buffer.data());
    unsigned int size = 0;
    const int result = reader.GetNextData(data, kUnit, &size, nullptr);
    if (frame) *frame = buffer.substr(0, size);
    return result;
  }

  oxltest::TempDir dir;
  CIMXVideoReader reader{"damaged"};
};

TEST_F(ImxDamagedTest, MissingPictureKeyGives111AndASkipStepsOverIt) {
  File file = BuildFile(ImxLayout());
  file.bytes[file.essenceStart + 2 * kUnit + 10] = 0x7F;  // the third unit's key
  ASSERT_EQ(Open(file.bytes), 0);
  EXPECT_EQ(reader.GetEditByteCount(), kUnit);
  EXPECT_EQ(reader.GetEssenceStart(), file.essenceStart);
  std::string frame;
  for (int i = 0; i < 2; ++i) {
    ASSERT_EQ(Next(&frame), 0);
    EXPECT_EQ(frame, std::string(kFrame, char(i)));
  }
  EXPECT_EQ(Next(), 111);
  EXPECT_EQ(Next(), 111);  // the position stays on it
  ASSERT_EQ(reader.SkipNextData(), 0);
  ASSERT_EQ(Next(&frame), 0);
  EXPECT_EQ(frame, std::string(kFrame, char(3)));
}

TEST_F(ImxDamagedTest, PictureLengthBeyondTheEditUnitGives110) {
  File file = BuildFile(ImxLayout());
  const uint64_t length = file.essenceStart + 3 * kUnit + 16;  // the fourth unit's 4-byte length
  for (const std::string& bad : {Bytes({0x83, 0xFF, 0xFF, 0xFF}), Bytes({0x83, 0x00, 0x03, 0xF9}), Bytes({0xFF, 0, 0, 0})}) {
    file.bytes.replace(length, 4, bad);
    ASSERT_EQ(Open(file.bytes), 0);
    ASSERT_EQ(reader.GoToFieldOffset(6, nullptr), 0);
    EXPECT_EQ(Next(), 110);
    unsigned char* data = nullptr;
    unsigned int size = 0;
    EXPECT_EQ(reader.GetPrevData(data, 0, &size, nullptr), 0);  // the third is intact
    EXPECT_EQ(size, kFrame);
  }
}

// Without an index the edit unit is measured from one picture key to the
// next, over the other elements of the unit; 123 when the key never comes again.
TEST_F(ImxDamagedTest, EditUnitMeasuredWithoutAnIndexAnd123AtTheEndOfTheFile) {
  FileLayout layout = ImxLayout();
  layout.withIndex = false;
  layout.unitExtra = Klv(Label("06.0e.2b.34.01.02.01.01.0d.01.03.01.16.01.01.01"), std::string(50, 'a')) +
                     Klv(Label("06.0e.2b.34.01.02.01.01.0d.01.03.01.16.01.02.01"), std::string(30, 'b'));
  ASSERT_EQ(Open(BuildFile(layout).bytes), 0);
  EXPECT_EQ(reader.GetEditByteCount(), kUnit + layout.unitExtra.size());
  const auto frames = oxltest::ReadAll(reader, 4096, false);
  ASSERT_EQ(frames.size(), 6u);
  EXPECT_EQ(frames[5].bytes, std::string(kFrame, char(5)));

  layout.duration = 1;  // the key never comes again
  EXPECT_EQ(Open(BuildFile(layout).bytes), 123);
}

// A segment without a constant byte count: its first two entries give the
// edit unit (entries out of order: measured; too far apart: refused).
TEST_F(ImxDamagedTest, EditUnitFromIndexEntries) {
  FileLayout layout = ImxLayout();
  const uint64_t far = uint64_t(1) << 40;
  const std::pair<std::vector<uint64_t>, int> entries[] = {{{far, far + kUnit}, 0}, {{far, 0}, 0}, {{0, 50000000}, 100}};
  for (const auto& [offsets, code] : entries) {
    layout.indexItems = LocalSet().item(0x3F05, U32(0)).item(0x3F0A, IndexEntries(offsets)).str();
    ASSERT_EQ(Open(BuildFile(layout).bytes), code);
    if (code == 0) {
      EXPECT_EQ(oxltest::ReadAll(reader, kUnit, false).size(), 6u);
    }
  }
  layout.indexItems = LocalSet().item(0x3F05, U32(0x7FFFFFFF)).str();
  EXPECT_EQ(Open(BuildFile(layout).bytes), 110);
}

// Cut points where the structures change (every KLV start and the bytes
// around it) and a spread between them: a code from Open or from reading,
// and every frame delivered is the file's.
TEST(ImxTruncation, EveryCutGivesCodesAndOnlyTheFilesFrames) {
  if (!oxltest::HasFFmpegTools()) GTEST_SKIP() << "ffmpeg is not installed";
  const oxltest::MediaFixture& fixture =
      oxltest::GetMediaFixture("imx30_cut.mxf", {oxltest::D10Args(30, false, false, 0.12)});
  const auto packets = oxltest::VideoPackets(fixture);
  const std::string bytes = oxltest::ReadWholeFile(fixture.path);
  std::vector<size_t> cuts;
  for (uint64_t p : KlvOffsets(bytes))
    for (size_t d : {0, 1, 16, 17}) cuts.push_back(p + d);
  for (size_t i = 1; i < 40; ++i) cuts.push_back(bytes.size() * i / 40);
  oxltest::TempDir dir;
  int opened = 0;
  for (size_t cut : cuts) {
    if (cut >= bytes.size()) continue;
    const std::string path = dir.write("cut.mxf", bytes.substr(0, cut));
    CIMXVideoReader reader("cut");
    if (reader.Open(path.c_str(), false) != 0) continue;
    ++opened;
    int last = 0;
    const auto forwards = oxltest::ReadAll(reader, 1 << 20, false, &last);
    EXPECT_NE(last, 0) << "cut " << cut;
    ASSERT_LE(forwards.size(), packets.size()) << "cut " << cut;
    for (size_t f = 0; f < forwards.size(); ++f) EXPECT_EQ(oxltest::Md5Hash(forwards[f].bytes), packets[f].first);
    const auto backwards = oxltest::ReadAll(reader, 1 << 20, true, &last);
    EXPECT_EQ(backwards.size(), forwards.size()) << "cut " << cut;
    ASSERT_EQ(reader.GoToDataEnd(), 0);
    (void)oxltest::ReadAll(reader, 1 << 20, true);
  }
  EXPECT_GT(opened, 0);
}

// A footer larger than several edit units (its index table lists every
// edit unit) arrives with the last edit units: the whole edit units the file
// size counts include footer bytes, and the essence ends where the footer's
// partition pack stands.
TEST_F(ImxDamagedTest, AFooterLargerThanEditUnitsIsNotTakenForEssence) {
  FileLayout layout = ImxLayout();
  std::vector<uint64_t> offsets;
  for (uint64_t i = 0; i < 400; ++i) offsets.push_back(i * kUnit);
  layout.indexItems = LocalSet().item(0x3F0A, IndexEntries(offsets)).str();
  const File built = BuildFile(layout);
  const uint64_t essence = built.essenceStart;
  ASSERT_GT(built.bytes.size() - (essence + 6 * kUnit), 3u * kUnit);
  oxltest::GrowingFile file(dir.file("footer.mxf"), built.bytes.substr(0, essence + 3 * kUnit));
  ASSERT_EQ(reader.Open(file.path().c_str(), false), 0);
  EXPECT_TRUE(reader.IsGrowing());
  EXPECT_EQ(reader.GetDuration(), 3);
  file.Append(built.bytes.substr(essence + 3 * kUnit));
  unsigned int in = 0, out = 0, system = 0;
  ASSERT_EQ(reader.GetInOut(&in, &out, &system), 0);
  EXPECT_EQ(out - in, 6u * 2);
  EXPECT_FALSE(reader.IsGrowing());
  const auto frames = oxltest::ReadAll(reader, kUnit, false);
  ASSERT_EQ(frames.size(), 6u);
  EXPECT_EQ(frames.back().bytes, std::string(kFrame, char(5)));
}

}  // namespace
