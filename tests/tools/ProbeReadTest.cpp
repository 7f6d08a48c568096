// oxlprobe --read and --extract: what the reader delivers, checked against
// ffprobe's packets and against FFmpeg decoding the original file.
#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>

#include "ProbeRun.h"
#include "support/FFmpegTools.h"
#include "support/TempDir.h"

namespace oxltest {
namespace {

class ReadDeliveries : public ::testing::Test {
 protected:
  // 20 intra frames at 25 fps: one delivery per frame.
  std::string MakeMjpeg() {
    if (!HasEncoder("mjpeg")) return {};
    const std::string path = m_Dir.file("intra.mov");
    MakeMediaFixture("-f lavfi -i testsrc=size=64x48:rate=25:duration=0.8 -c:v mjpeg", path);
    return path;
  }

  std::vector<nlohmann::json> Read(const std::string& options, const std::string& path) {
    const CommandResult r = RunProbe("--read --json " + options + " " + ShellQuote(path));
    EXPECT_EQ(r.exitCode, 0) << r.errors;
    EXPECT_EQ(r.errors, "");
    return JsonLines(r.output);
  }

  TempDir m_Dir;
};

TEST_F(ReadDeliveries, IntraFramesComeOneByOneAsFFprobeSeesThem) {
  const std::string path = MakeMjpeg();
  if (path.empty()) GTEST_SKIP() << "ffmpeg without mjpeg";
  const ProbeResult probe = ProbeFile(path, true);
  const std::vector<ProbePacket>& packets = probe.Packets("v:0");
  const std::vector<nlohmann::json> reads = Read("--md5", path);
  ASSERT_EQ(reads.size(), packets.size());
  for (size_t i = 0; i < reads.size(); ++i) {
    EXPECT_EQ(reads[i]["index"], i);
    EXPECT_EQ(reads[i]["size"], packets[i].size);
    EXPECT_EQ("MD5:" + reads[i]["md5"].get<std::string>(), packets[i].dataHash);
    EXPECT_NEAR(reads[i]["time"].get<double>(), InSeconds(*packets[i].pts, probe.Stream("v:0")), 0.02);
  }
}

TEST_F(ReadDeliveries, ReverseDeliversTheFramesLastToFirst) {
  const std::string path = MakeMjpeg();
  if (path.empty()) GTEST_SKIP() << "ffmpeg without mjpeg";
  std::vector<ProbePacket> packets = ProbePackets(path, "v:0", true);
  std::reverse(packets.begin(), packets.end());
  const std::vector<nlohmann::json> reads = Read("--reverse --md5", path);
  ASSERT_EQ(reads.size(), packets.size());
  for (size_t i = 0; i < reads.size(); ++i) {
    EXPECT_EQ("MD5:" + reads[i]["md5"].get<std::string>(), packets[i].dataHash) << "delivery " << i;
  }
}

TEST_F(ReadDeliveries, SeekStartsAtTheFrameOfThatTime) {
  const std::string path = MakeMjpeg();
  if (path.empty()) GTEST_SKIP() << "ffmpeg without mjpeg";
  const std::vector<ProbePacket> packets = ProbePackets(path, "v:0", true);
  const std::vector<nlohmann::json> reads = Read("--seek 0.4 --md5", path);
  ASSERT_EQ(reads.size(), packets.size() - 10);  // frames 10 to 19 at 25 fps
  EXPECT_NEAR(reads.front()["time"].get<double>(), 0.4, 1e-6);
  EXPECT_EQ("MD5:" + reads.front()["md5"].get<std::string>(), packets[10].dataHash);
}

TEST_F(ReadDeliveries, LongGopVideoComesAsAGroupPerSyncFrame) {
  if (!HasEncoder("libx264")) GTEST_SKIP() << "ffmpeg without libx264";
  const std::string path = m_Dir.file("gop.mp4");
  MakeMediaFixture("-f lavfi -i testsrc=size=64x48:rate=25:duration=0.8 -c:v libx264 -bf 0 -g 5", path);
  // A group is a key frame and the frames up to the next key frame.
  std::vector<uint64_t> groups;
  for (const ProbePacket& p : ProbePackets(path, "v:0")) {
    if (p.IsKey() || groups.empty()) groups.push_back(0);
    groups.back() += p.size;
  }
  const std::vector<nlohmann::json> reads = Read("", path);
  ASSERT_EQ(reads.size(), groups.size());
  for (size_t i = 0; i < reads.size(); ++i) EXPECT_EQ(reads[i]["size"], groups[i]) << "group " << i;
}

TEST_F(ReadDeliveries, AudioDeliversThePlayedPacketsOfTheAudioTrack) {
  if (!HasEncoder("aac")) GTEST_SKIP() << "ffmpeg without aac";
  const std::string path = m_Dir.file("sound.mp4");
  MakeMediaFixture("-f lavfi -i testsrc=size=64x48:rate=25:duration=0.5 -f lavfi -i sine=duration=0.5 -ac 2 "
                   "-c:v mjpeg -c:a aac",
                   path);
  // The encoder's priming packet lies before the start the edit list plays (negative time).
  std::vector<ProbePacket> played;
  for (const ProbePacket& p : ProbePackets(path, "a:0", true)) {
    if (p.pts.value_or(0) >= 0) played.push_back(p);
  }
  const std::vector<nlohmann::json> reads = Read("--audio --md5", path);
  ASSERT_EQ(reads.size(), played.size());
  for (size_t i = 0; i < reads.size(); ++i) {
    EXPECT_EQ("MD5:" + reads[i]["md5"].get<std::string>(), played[i].dataHash) << "delivery " << i;
  }
}

// The frame hashes of an ffmpeg framemd5 listing, without its header and times.
std::vector<std::string> FrameHashes(const std::string& framemd5) {
  std::vector<std::string> hashes;
  std::istringstream lines(framemd5);
  std::string line;
  while (std::getline(lines, line)) {
    if (!line.empty() && line[0] != '#') hashes.push_back(line.substr(line.find_last_of(", ") + 1));
  }
  return hashes;
}

// What `source` (a shell command writing the stream to standard output, or
// empty to decode `input` as a file) decodes to.
std::vector<std::string> DecodedFrames(const std::string& source, const std::string& input) {
  const std::string ffmpeg = "ffmpeg -nostdin -v error " + input + " -f framemd5 -";
  const CommandResult r = RunCommand(source.empty() ? ffmpeg : source + " | " + ffmpeg);
  EXPECT_EQ(r.exitCode, 0) << r.errors;
  return FrameHashes(r.output);
}

TEST(ExtractDeliveries, PipedIntoFFmpegDecodesToTheSameFrames) {
  if (!HasEncoder("mjpeg")) GTEST_SKIP() << "ffmpeg without mjpeg";
  TempDir dir;
  const std::string path = dir.file("intra.mov");
  MakeMediaFixture("-f lavfi -i testsrc=size=64x48:rate=25:duration=0.4 -c:v mjpeg", path);
  const std::string probe = ShellQuote(OXLPROBE_PATH) + " --extract - " + ShellQuote(path);
  const std::vector<std::string> extracted = DecodedFrames(probe, "-f mjpeg -i -");
  EXPECT_EQ(extracted.size(), 10u);
  EXPECT_EQ(extracted, DecodedFrames("", "-i " + ShellQuote(path)));
}

TEST(ExtractDeliveries, WrittenToAFileDecodesToTheSameFrames) {
  if (!HasEncoder("dvvideo")) GTEST_SKIP() << "ffmpeg without dvvideo";
  TempDir dir;
  const std::string path = dir.file("dv.mov");
  MakeMediaFixture("-f lavfi -i testsrc=size=720x576:rate=25:duration=0.12 -c:v dvvideo -pix_fmt yuv420p", path);
  const std::string out = dir.file("frames.dv");
  const CommandResult r = RunProbe("--extract " + ShellQuote(out) + " " + ShellQuote(path));
  ASSERT_EQ(r.exitCode, 0) << r.errors;
  EXPECT_EQ(r.output, "");
  const std::vector<std::string> extracted = DecodedFrames("", "-f dv -i " + ShellQuote(out));
  EXPECT_EQ(extracted.size(), 3u);
  EXPECT_EQ(extracted, DecodedFrames("", "-i " + ShellQuote(path)));
}

}  // namespace
}  // namespace oxltest
