// A D-10 file read while it is being written: a writer copies a finished
// FFmpeg file's header partition and then appends its edit units to a new
// file at intervals, the footer last.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "OXLDataReader/IMXVideoReader.h"
#include "support/GrowingFile.h"
#include "support/ImxFixtures.h"
#include "support/MxfWriter.h"
#include "support/TempDir.h"

namespace {

using oxltest::Recording;

class ImxGrowingFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!oxltest::HasFFmpegTools()) GTEST_SKIP() << "ffmpeg is not installed";
    recording = oxltest::CutRecording(oxltest::D10Fixture());
    ASSERT_EQ(recording.units.size(), recording.packets.size());
  }

  unsigned int Out(CIMXVideoReader& reader) {
    unsigned int in = 0, out = 0, system = 0;
    EXPECT_EQ(reader.GetInOut(&in, &out, &system), 0);
    return out - in;
  }

  oxltest::TempDir dir;
  Recording recording;
};

TEST_F(ImxGrowingFileTest, InOutAndDataEndFollowTheGrowthUntilTheFooter) {
  oxltest::GrowingFile file(dir.file("live.mxf"), recording.header + recording.units[0] + recording.units[1]);
  CIMXVideoReader reader("growing");
  ASSERT_EQ(reader.Open(file.path().c_str(), false), 0);
  EXPECT_TRUE(reader.IsGrowing());
  EXPECT_EQ(reader.GetDuration(), 2);
  EXPECT_EQ(Out(reader), 2u * 2);

  file.Append(recording.units[2] + recording.units[3] + recording.units[4]);
  EXPECT_EQ(Out(reader), 5u * 2);
  ASSERT_EQ(reader.GoToDataEnd(), 0);
  std::string buffer(recording.units[0].size(), '\0');
  auto* data = reinterpret_cast<unsigned char*>(buffer.data());
  unsigned int size = 0;
  double time = 0;
  ASSERT_EQ(reader.GetPrevData(data, buffer.size(), &size, &time), 0);
  EXPECT_EQ(oxltest::Md5Hash(buffer.substr(0, size)), recording.packets[4].first);
  EXPECT_DOUBLE_EQ(time, recording.packets[4].second);
  ASSERT_EQ(reader.SkipNextData(), 0);
  EXPECT_EQ(reader.GetNextData(data, buffer.size(), &size, &time), 100);  // nothing written yet
  EXPECT_EQ(reader.GoToFieldOffset(12, nullptr), 100);                       // frame 6 is not there yet

  for (size_t i = 5; i < recording.units.size(); ++i) file.Append(recording.units[i]);
  file.Append(recording.footer);
  EXPECT_EQ(Out(reader), recording.units.size() * 2);
  EXPECT_FALSE(reader.IsGrowing());  // the footer is recognised
  ASSERT_EQ(reader.GetNextData(data, buffer.size(), &size, &time), 0);
  EXPECT_EQ(oxltest::Md5Hash(buffer.substr(0, size)), recording.packets[5].first);
  EXPECT_EQ(reader.GoToFieldOffset(static_cast<unsigned int>(recording.units.size() * 2 + 2), nullptr), 1);
  ASSERT_EQ(reader.GoToDataEnd(), 0);
  ASSERT_EQ(reader.GetPrevData(data, buffer.size(), &size, &time), 0);
  EXPECT_EQ(oxltest::Md5Hash(buffer.substr(0, size)), recording.packets.back().first);
}

// A reader that keeps asking while a writer appends one edit unit at a time:
// each frame comes exactly once and in order, and reading stops at the footer.
TEST_F(ImxGrowingFileTest, EveryFrameOnceAndInOrderWhileTheWriterAppends) {
  for (bool readAhead : {true, false}) {
    oxltest::GrowingFile file(dir.file(readAhead ? "ahead.mxf" : "plain.mxf"), recording.header + recording.units[0]);
    CIMXVideoReader reader("growing");
    reader.SetReadAhead(readAhead);
    ASSERT_EQ(reader.Open(file.path().c_str(), false), 0);
    std::atomic<bool> written{false};
    std::thread writer([&] {
      for (size_t i = 1; i < recording.units.size(); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(3));
        file.Append(recording.units[i]);
      }
      file.Append(recording.footer);
      written = true;
    });
    std::vector<std::string> seen;
    std::string buffer(recording.units[0].size(), '\0');
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (std::chrono::steady_clock::now() < deadline) {
      auto* data = reinterpret_cast<unsigned char*>(buffer.data());
      unsigned int size = 0;
      const int result = reader.GetNextData(data, buffer.size(), &size, nullptr);
      if (result == 0) {
        seen.push_back(oxltest::Md5Hash(buffer.substr(0, size)));
        continue;
      }
      ASSERT_EQ(result, 100);
      if (written && !reader.IsGrowing()) break;
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    writer.join();
    ASSERT_EQ(seen.size(), recording.packets.size()) << "read-ahead " << readAhead;
    for (size_t i = 0; i < seen.size(); ++i) EXPECT_EQ(seen[i], recording.packets[i].first) << "frame " << i;
    EXPECT_FALSE(reader.IsGrowing());
  }
}

// A footer larger than several edit units (its index table lists every
// edit unit) arrives with the last edit units: the whole edit units the file
// size counts include footer bytes, and the essence ends where the footer's
// partition pack stands.
TEST(ImxGrowingFooter, AFooterLargerThanEditUnitsIsNotTakenForEssence) {
  using namespace oxltest::mxf;
  const uint32_t frame = 1000, unit = frame + 20;
  FileLayout layout;
  layout.duration = 6;
  layout.frameSize = frame;
  layout.pictureCoding = Bytes({0x06, 0x0e, 0x2b, 0x34, 0x04, 0x01, 0x01, 0x01, 0x04, 0x01, 0x02, 0x02, 0x01, 0x02, 0x01, 0x01});
  std::vector<std::string> entries;
  for (uint64_t i = 0; i < 400; ++i) entries.push_back(Bytes({0, 0, 0x80}) + U64(i * unit));
  layout.indexItems = LocalSet().item(0x3F0A, Batch(entries, 11)).str();
  const File built = BuildFile(layout);
  size_t first = 0;  // the first edit unit: the KLV after the body partition pack
  while (built.klvOffsets[first] != built.partitionOffsets[1]) ++first;
  const uint64_t essence = built.klvOffsets[first + 1];
  ASSERT_GT(built.bytes.size() - (essence + 6 * unit), 3u * unit);

  oxltest::TempDir dir;
  oxltest::GrowingFile file(dir.file("footer.mxf"), built.bytes.substr(0, essence + 3 * unit));
  CIMXVideoReader reader("footer");
  ASSERT_EQ(reader.Open(file.path().c_str(), false), 0);
  EXPECT_TRUE(reader.IsGrowing());
  EXPECT_EQ(reader.GetDuration(), 3);
  file.Append(built.bytes.substr(essence + 3 * unit));
  unsigned int in = 0, out = 0, system = 0;
  ASSERT_EQ(reader.GetInOut(&in, &out, &system), 0);
  EXPECT_EQ(out - in, 6u * 2);
  EXPECT_FALSE(reader.IsGrowing());
  const auto frames = oxltest::ReadAll(reader, unit, false);
  ASSERT_EQ(frames.size(), 6u);
  EXPECT_EQ(frames.back().bytes, std::string(frame, char(5)));
  // The writer's descriptor says 4:3.
  unsigned int rate = 0, bytes = 0;
  unsigned char aspect = 0xAA;
  ASSERT_EQ(reader.GetSampleInfos(&rate, &bytes, &aspect), 0);
  EXPECT_EQ(aspect, 2);
  EXPECT_EQ(rate, 50u);
  EXPECT_EQ(bytes, unit);
}

}  // namespace
