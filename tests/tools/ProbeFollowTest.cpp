// oxlprobe --follow: a fragmented file that a recorder is still writing.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "ProbeRun.h"
#include "support/FFmpegTools.h"
#include "support/GrowingFile.h"
#include "support/QtMovieAtoms.h"
#include "support/QtMovieWriter.h"
#include "support/TempDir.h"

namespace oxltest {
namespace {

// One delivery of long-GOP video: a key frame and the frames up to the next.
struct Group {
  std::string md5;  // without "MD5:"
  double time = 0;
};

std::vector<Group> Groups(const std::string& path) {
  const ProbeResult probe = ProbeFile(path);
  const ProbeStream& video = probe.Stream("v:0");
  std::vector<Group> groups;
  std::vector<std::string> bytes;
  for (const ProbePacket& p : probe.Packets("v:0")) {
    if (p.IsKey() || groups.empty()) {
      groups.push_back({"", InSeconds(p.pts.value_or(0), video)});
      bytes.emplace_back();
    }
    bytes.back() += ReadFileBytes(path, p.pos.value_or(0), p.size);
  }
  for (size_t i = 0; i < groups.size(); ++i) groups[i].md5 = Md5Hash(bytes[i]).substr(4);
  return groups;
}

}  // namespace

// The recorder writes the movie atom, then each fragment in two writes, a
// fragment every 0.3 s; oxlprobe starts on the movie atom alone, lists each
// group once as it arrives, and stops 2 s after the last write.
TEST(ProbeFollow, ListsEveryDeliveryOfAGrowingFileOnceAndStops) {
  if (!HasEncoder("libx264")) GTEST_SKIP() << "ffmpeg without libx264";
  TempDir dir;
  const std::string source = dir.file("recorded.mp4");
  MakeMediaFixture("-f lavfi -i testsrc=size=64x48:rate=25 -t 1.2 -c:v libx264 -bf 2 -g 10 -pix_fmt yuv420p "
                   "-movflags frag_keyframe+empty_moov",
                   source);
  const std::vector<Group> groups = Groups(source);
  const FragmentedLayout layout = SplitFragments(ReadWholeFile(source));
  const GrowingFile live(dir.file("live.mp4"), layout.head);
  std::string writeError;
  std::thread recorder([&] {
    try {
      for (const auto& fragment : layout.fragments) {
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        const size_t half = fragment.bytes.size() / 2;
        live.Append(fragment.bytes.substr(0, half));
        std::this_thread::sleep_for(std::chrono::milliseconds(150));
        live.Append(fragment.bytes.substr(half));
      }
    } catch (const std::exception& e) {
      writeError = e.what();
    }
  });
  const auto start = std::chrono::steady_clock::now();
  const CommandResult r = RunProbe("--read --json --md5 --follow 2 " + ShellQuote(live.path()));
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  recorder.join();
  ASSERT_EQ(writeError, "");
  EXPECT_EQ(r.exitCode, 0) << r.errors;
  EXPECT_EQ(r.errors, "");
  EXPECT_GE(seconds, 2.0) << "stops only after 2 s without growth";
  const std::vector<nlohmann::json> lines = JsonLines(r.output);
  ASSERT_EQ(lines.size(), groups.size()) << r.output;
  for (size_t i = 0; i < lines.size(); ++i) {
    SCOPED_TRACE("delivery " + std::to_string(i));
    EXPECT_EQ(lines[i]["index"], i);
    EXPECT_EQ(lines[i]["md5"], groups[i].md5);
    EXPECT_NEAR(lines[i]["time"].get<double>(), groups[i].time, 0.02);
  }
}

// A reference movie that describes every frame of a media file still being
// written: each frame is listed once it is whole.
TEST(ProbeFollow, ListsTheFramesOfAGrowingReferencedMediaFile) {
  TempDir dir;
  QtWriterTrack track;
  std::string media;
  for (uint32_t i = 0; i < 5; ++i) {
    track.offsets.push_back(media.size());
    track.sizes.push_back(1000 + 100 * i);
    for (uint32_t k = 0; k < track.sizes.back(); ++k) media.push_back(static_cast<char>(i * 13 + k));
  }
  track.stsd = VideoStsd("apcn", 720, 576);
  track.drefEntry = UrlDrefEntry("media.bin");
  track.width = 720;
  track.height = 576;
  const std::string movie = dir.write("ref.mov", QtFile("", {track}, false));
  // The movie opens only once the first frame is whole.
  const GrowingFile live(dir.file("media.bin"), media.substr(0, 1500));
  std::string writeError;
  std::thread recorder([&] {
    try {
      for (size_t at = 1500; at < media.size(); at += 700) {
        std::this_thread::sleep_for(std::chrono::milliseconds(150));
        live.Append(media.substr(at, 700));
      }
    } catch (const std::exception& e) {
      writeError = e.what();
    }
  });
  const CommandResult r = RunProbe("--read --json --md5 --follow 1 " + ShellQuote(movie));
  recorder.join();
  ASSERT_EQ(writeError, "");
  EXPECT_EQ(r.exitCode, 0) << r.errors;
  const std::vector<nlohmann::json> lines = JsonLines(r.output);
  ASSERT_EQ(lines.size(), track.sizes.size()) << r.output;
  for (size_t i = 0; i < lines.size(); ++i) {
    EXPECT_EQ(lines[i]["index"], i);
    EXPECT_EQ(lines[i]["md5"], Md5Hash(media.substr(track.offsets[i], track.sizes[i])).substr(4)) << "frame " << i;
    EXPECT_NEAR(lines[i]["time"].get<double>(), i * 0.04, 1e-6);
  }
}

TEST(ProbeFollow, NeedsAForwardReadOrExtract) {
  const std::string sample = ShellQuote(BundledSample());
  EXPECT_EQ(RunProbe("--follow 1 " + sample).exitCode, 2);
  EXPECT_EQ(RunProbe("--samples --follow 1 " + sample).exitCode, 2);
  EXPECT_EQ(RunProbe("--read --reverse --follow 1 " + sample).exitCode, 2);
  EXPECT_EQ(RunProbe("--read --follow -1 " + sample).exitCode, 2);
  EXPECT_EQ(RunProbe("--read --follow soon " + sample).exitCode, 2);
}

}  // namespace oxltest
