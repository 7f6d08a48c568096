// oxlprobe on the frames of MXF files with constant-size edit units: what it
// lists and delivers is what ffprobe finds in the same file.
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <thread>

#include "ProbeRun.h"
#include "support/GrowingFile.h"
#include "support/ImxFixtures.h"
#include "support/TempDir.h"

namespace oxltest {
namespace {

std::vector<nlohmann::json> Lines(const std::string& options, const std::string& path) {
  const CommandResult r = RunProbe(options + " " + ShellQuote(path));
  EXPECT_EQ(r.exitCode, 0) << r.errors;
  EXPECT_EQ(r.errors, "");
  return JsonLines(r.output);
}

class ProbeMxfFrames : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!HasFFmpegTools()) GTEST_SKIP() << "ffmpeg is not installed";
    fixture = &D10Fixture();
    packets = VideoPackets(*fixture);
    ASSERT_FALSE(packets.empty());
  }

  // Deliveries agree with ffprobe's packets from `first` on, in `step` direction.
  void ExpectPackets(const std::vector<nlohmann::json>& lines, size_t first, int step) {
    for (size_t i = 0; i < lines.size(); ++i) {
      const size_t p = first + step * static_cast<long>(i);
      SCOPED_TRACE("delivery " + std::to_string(i));
      EXPECT_EQ(lines[i]["index"], i);
      EXPECT_EQ("MD5:" + lines[i]["md5"].get<std::string>(), packets[p].first);
      EXPECT_NEAR(lines[i]["time"].get<double>(), packets[p].second, 0.02);  // half a frame at 25 fps
    }
  }

  const MediaFixture* fixture = nullptr;
  std::vector<std::pair<std::string, double>> packets;
};

TEST_F(ProbeMxfFrames, ReadDeliversFFprobesPacketsForwardsBackwardsAndFromATime) {
  const std::vector<nlohmann::json> forwards = Lines("--read --md5 --json", fixture->path);
  ASSERT_EQ(forwards.size(), packets.size());
  ExpectPackets(forwards, 0, 1);

  const std::vector<nlohmann::json> backwards = Lines("--read --reverse --md5 --json", fixture->path);
  ASSERT_EQ(backwards.size(), packets.size());
  ExpectPackets(backwards, packets.size() - 1, -1);

  // 0.41 s at 25 frames/s: field 20.5 rounds to 20 -> frame 10, 0.4 s.
  const std::vector<nlohmann::json> sought = Lines("--read --seek 0.41 --md5 --json", fixture->path);
  ASSERT_EQ(sought.size(), packets.size() - 10);
  ExpectPackets(sought, 10, 1);
}

// An edit unit's offset is its picture's key, where ffprobe places the packet.
TEST_F(ProbeMxfFrames, SamplesListEditUnitsAtFFprobesPositions) {
  const std::vector<nlohmann::json> units = Lines("--samples --md5 --json", fixture->path);
  const std::vector<ProbePacket>& probed = fixture->probe.Packets("v:0");
  ASSERT_EQ(units.size(), packets.size());
  ExpectPackets(units, 0, 1);
  for (size_t i = 0; i < units.size(); ++i) {
    EXPECT_EQ(units[i]["offset"], probed[i].pos.value_or(0)) << i;
    EXPECT_EQ(units[i]["size"], probed[i].size) << i;
    EXPECT_EQ(units[i]["sync"], true);
  }
}

TEST_F(ProbeMxfFrames, ExtractWritesFFprobesPacketsOneAfterAnother) {
  TempDir dir;
  const std::string out = dir.file("pictures.m2v");
  const CommandResult r = RunProbe("--extract " + ShellQuote(out) + " " + ShellQuote(fixture->path));
  ASSERT_EQ(r.exitCode, 0) << r.errors;
  const std::string bytes = ReadWholeFile(out);
  size_t at = 0;
  for (size_t i = 0; i < packets.size(); ++i) {
    const size_t size = fixture->probe.Packets("v:0")[i].size;
    ASSERT_LE(at + size, bytes.size());
    EXPECT_EQ(Md5Hash(bytes.substr(at, size)), packets[i].first) << i;
    at += size;
  }
  EXPECT_EQ(at, bytes.size());
}

TEST_F(ProbeMxfFrames, AudioHasNoReader) {
  const CommandResult r = RunProbe("--read --audio " + ShellQuote(fixture->path));
  EXPECT_EQ(r.exitCode, 7);
  EXPECT_NE(r.errors.find("no reader delivers MXF audio"), std::string::npos) << r.errors;
}

// A recorder writes the header, then two edit units every 0.2 s, the footer
// last; oxlprobe starts on the header alone and lists every frame once.
TEST_F(ProbeMxfFrames, FollowListsEveryFrameOfAGrowingFileOnce) {
  const Recording recording = CutRecording(*fixture);
  TempDir dir;
  const GrowingFile live(dir.file("live.mxf"), recording.header);
  std::string writeError;
  std::thread recorder([&] {
    try {
      for (size_t i = 0; i < recording.units.size(); i += 2) {
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        live.Append(recording.units[i] + (i + 1 < recording.units.size() ? recording.units[i + 1] : ""));
      }
      live.Append(recording.footer);
    } catch (const std::exception& e) {
      writeError = e.what();
    }
  });
  const CommandResult r = RunProbe("--read --json --md5 --follow 1.5 " + ShellQuote(live.path()));
  recorder.join();
  ASSERT_EQ(writeError, "");
  EXPECT_EQ(r.exitCode, 0) << r.errors;
  const std::vector<nlohmann::json> lines = JsonLines(r.output);
  ASSERT_EQ(lines.size(), packets.size()) << r.output;
  ExpectPackets(lines, 0, 1);
}

}  // namespace
}  // namespace oxltest
