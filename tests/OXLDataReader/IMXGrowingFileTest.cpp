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
#include "support/TempDir.h"

namespace {

unsigned int Fields(CIMXVideoReader& reader) {
  unsigned int in = 0, out = 0, system = 0;
  EXPECT_EQ(reader.GetInOut(&in, &out, &system), 0);
  return out - in;
}

// A reader that keeps asking while a writer appends one edit unit at a
// time: each frame comes exactly once and in order, in and out follow the
// growth, moves past what is written give 100, and reading stops at the footer.
TEST(ImxGrowingFileTest, EveryFrameOnceAndInOrderWhileTheWriterAppends) {
  if (!oxltest::HasFFmpegTools()) GTEST_SKIP() << "ffmpeg is not installed";
  const oxltest::Recording recording = oxltest::CutRecording(oxltest::D10Fixture());
  ASSERT_EQ(recording.units.size(), recording.packets.size());
  oxltest::TempDir dir;
  for (bool readAhead : {true, false}) {
    oxltest::GrowingFile file(dir.file(readAhead ? "ahead.mxf" : "plain.mxf"),
                              recording.header + recording.units[0] + recording.units[1]);
    CIMXVideoReader reader("growing");
    reader.SetReadAhead(readAhead);
    ASSERT_EQ(reader.Open(file.path().c_str(), false), 0);
    EXPECT_TRUE(reader.IsGrowing());
    EXPECT_EQ(Fields(reader), 2u * 2);
    EXPECT_EQ(reader.GoToFieldOffset(6, nullptr), 100);  // frame 3 is not there yet
    ASSERT_EQ(reader.GoToDataEnd(), 0);
    std::string buffer(recording.units[0].size(), '\0');
    auto* data = reinterpret_cast<unsigned char*>(buffer.data());
    unsigned int size = 0;
    double time = 0;
    ASSERT_EQ(reader.GetPrevData(data, buffer.size(), &size, &time), 0);
    EXPECT_EQ(oxltest::Md5Hash(buffer.substr(0, size)), recording.packets[1].first);
    EXPECT_DOUBLE_EQ(time, recording.packets[1].second);
    ASSERT_EQ(reader.GoToDataStart(), 0);

    std::atomic<bool> written{false};
    std::thread writer([&] {
      for (size_t i = 2; i < recording.units.size(); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(3));
        file.Append(recording.units[i]);
      }
      file.Append(recording.footer);
      written = true;
    });
    std::vector<std::string> seen;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (std::chrono::steady_clock::now() < deadline) {
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
    EXPECT_FALSE(reader.IsGrowing());  // the footer is recognised
    EXPECT_EQ(Fields(reader), recording.units.size() * 2);
    EXPECT_EQ(reader.GoToFieldOffset(static_cast<unsigned int>(recording.units.size() * 2 + 2), nullptr), 1);
  }
}

}  // namespace
