// oxlprobe --samples, --read and --extract against ffprobe's packets of the
// same FFmpeg-made files, and against FFmpeg decoding the original.
#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>

#include "ProbeRun.h"
#include "support/GrowingFile.h"
#include "support/ImxFixtures.h"
#include "support/QtMovieAtoms.h"
#include "support/QtMovieWriter.h"
#include "support/TempDir.h"

namespace oxltest {
namespace {

struct PacketCase {
  const char* name;
  const char* file;
  const char* encoder;
  const char* arguments;
  const char* stream;
};

const PacketCase kCases[] = {
    {"H264Mp4BFrames", "h264.mp4", "libx264", "-f lavfi -i testsrc=size=64x48:rate=25:duration=0.8 -c:v libx264 -bf 2 -g 8", "v:0"},
    {"AacMp4", "aac.mp4", "aac", "-f lavfi -i sine=duration=0.8:sample_rate=48000 -ac 2 -c:a aac", "a:0"},
    {"H264Mov2997", "h264.mov", "libx264",
     "-f lavfi -i testsrc=size=64x48:rate=30000/1001:duration=0.6 -c:v libx264 -bf 3 -g 6", "v:0"},
    {"MjpegMov", "mjpeg.mov", "mjpeg", "-f lavfi -i testsrc=size=64x48:rate=25:duration=0.8 -c:v mjpeg", "v:0"},
    {"Mpeg4Mp4", "mpeg4.mp4", "mpeg4", "-f lavfi -i testsrc=size=64x48:rate=25:duration=0.8 -c:v mpeg4 -bf 1 -g 5", "v:0"},
    {"ProResMovWithAudio", "prores.mov", "prores_ks",
     "-f lavfi -i testsrc=size=64x48:rate=25:duration=0.4 -f lavfi -i sine=duration=0.4 -c:v prores_ks -profile:v 0 "
     "-c:a pcm_s16le", "v:0"},
};

class SamplesAgreeWithFFprobe : public ::testing::TestWithParam<PacketCase> {};

TEST_P(SamplesAgreeWithFFprobe, PacketForPacketForwardsAndBackwards) {
  const PacketCase& c = GetParam();
  if (!HasEncoder(c.encoder)) GTEST_SKIP() << "ffmpeg without " << c.encoder;
  TempDir dir;
  const std::string path = dir.file(c.file);
  MakeMediaFixture(c.arguments, path);
  const std::string options = std::string("--samples --json --md5 ") + (c.stream[0] == 'a' ? "--audio" : "");
  const ProbeResult probe = ProbeFile(path, true);
  const ProbeStream& stream = probe.Stream(c.stream);
  const std::vector<ProbePacket>& packets = probe.Packets(c.stream);
  const std::vector<nlohmann::json> samples = ProbeLines(options, path);
  ASSERT_EQ(samples.size(), packets.size());
  ExpectMd5s(samples, 0, 1, [&](size_t i) { return packets[i].dataHash; });
  for (size_t i = 0; i < samples.size(); ++i) {
    const ProbePacket& p = packets[i];
    const double halfFrame = InSeconds(p.duration.value_or(0), stream) / 2;
    EXPECT_EQ(samples[i]["size"], p.size) << i;
    EXPECT_EQ(samples[i]["offset"], p.pos.value_or(0)) << i;
    EXPECT_EQ(samples[i]["sync"], p.IsKey()) << i;
    EXPECT_NEAR(samples[i]["time"].get<double>(), InSeconds(p.pts.value_or(0), stream), halfFrame) << i;
    EXPECT_NEAR(samples[i]["decode_time"].get<double>(), InSeconds(p.dts.value_or(0), stream), halfFrame) << i;
  }
  std::vector<nlohmann::json> backwards = ProbeLines(options + " --reverse", path);
  std::reverse(backwards.begin(), backwards.end());
  EXPECT_EQ(backwards, samples);
}

INSTANTIATE_TEST_SUITE_P(FFmpegFiles, SamplesAgreeWithFFprobe, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<PacketCase>& info) { return info.param.name; });

TEST(ProbeRead, IntraFramesForwardsBackwardsAndFromATime) {
  if (!HasEncoder("mjpeg")) GTEST_SKIP() << "ffmpeg without mjpeg";
  TempDir dir;
  const std::string path = dir.file("intra.mov");
  MakeMediaFixture("-f lavfi -i testsrc=size=64x48:rate=25:duration=0.8 -c:v mjpeg", path);
  const ProbeResult probe = ProbeFile(path, true);
  const std::vector<ProbePacket>& packets = probe.Packets("v:0");
  const auto md5 = [&](size_t i) { return packets[i].dataHash; };
  const std::vector<nlohmann::json> reads = ProbeLines("--read --json --md5", path);
  ASSERT_EQ(reads.size(), packets.size());
  ExpectMd5s(reads, 0, 1, md5);
  for (size_t i = 0; i < reads.size(); ++i)
    EXPECT_NEAR(reads[i]["time"].get<double>(), InSeconds(*packets[i].pts, probe.Stream("v:0")), 0.02);
  const std::vector<nlohmann::json> backwards = ProbeLines("--read --json --md5 --reverse", path);
  ASSERT_EQ(backwards.size(), packets.size());
  ExpectMd5s(backwards, packets.size() - 1, -1, md5);
  const std::vector<nlohmann::json> sought = ProbeLines("--read --json --md5 --seek 0.4", path);
  ASSERT_EQ(sought.size(), packets.size() - 10);  // frames 10 to 19 at 25 fps
  ExpectMd5s(sought, 10, 1, md5);
  EXPECT_NEAR(sought.front()["time"].get<double>(), 0.4, 1e-6);
}

TEST(ProbeRead, LongGopVideoComesAsAGroupPerSyncFrame) {
  if (!HasEncoder("libx264")) GTEST_SKIP() << "ffmpeg without libx264";
  TempDir dir;
  const std::string path = dir.file("gop.mp4");
  MakeMediaFixture("-f lavfi -i testsrc=size=64x48:rate=25:duration=0.8 -c:v libx264 -bf 0 -g 5", path);
  std::vector<uint64_t> groups;
  const ProbeResult probe = ProbeFile(path);
  for (const ProbePacket& p : probe.Packets("v:0")) {
    if (p.IsKey() || groups.empty()) groups.push_back(0);
    groups.back() += p.size;
  }
  const std::vector<nlohmann::json> reads = ProbeLines("--read --json", path);
  ASSERT_EQ(reads.size(), groups.size());
  for (size_t i = 0; i < reads.size(); ++i) EXPECT_EQ(reads[i]["size"], groups[i]) << "group " << i;
}

TEST(ProbeRead, AudioDeliversThePlayedPackets) {
  if (!HasEncoder("aac")) GTEST_SKIP() << "ffmpeg without aac";
  TempDir dir;
  const std::string path = dir.file("sound.mp4");
  MakeMediaFixture("-f lavfi -i testsrc=size=64x48:rate=25:duration=0.5 -f lavfi -i sine=duration=0.5 -ac 2 "
                   "-c:v mjpeg -c:a aac", path);
  // The encoder's priming packet lies before the start the edit list plays.
  std::vector<std::string> played;
  const ProbeResult probe = ProbeFile(path, true);
  for (const ProbePacket& p : probe.Packets("a:0"))
    if (p.pts.value_or(0) >= 0) played.push_back(p.dataHash);
  const std::vector<nlohmann::json> reads = ProbeLines("--read --json --audio --md5", path);
  ASSERT_EQ(reads.size(), played.size());
  ExpectMd5s(reads, 0, 1, [&](size_t i) { return played[i]; });
}

// What `source` (a shell command writing the stream, or empty) decodes to, one hash per frame.
std::vector<std::string> DecodedFrames(const std::string& source, const std::string& input) {
  const std::string ffmpeg = "ffmpeg -nostdin -v error " + input + " -f framemd5 -";
  const CommandResult r = RunCommand(source.empty() ? ffmpeg : source + " | " + ffmpeg);
  EXPECT_EQ(r.exitCode, 0) << r.errors;
  std::vector<std::string> hashes;
  std::istringstream lines(r.output);
  for (std::string line; std::getline(lines, line);)
    if (!line.empty() && line[0] != '#') hashes.push_back(line.substr(line.find_last_of(", ") + 1));
  return hashes;
}

TEST(ProbeExtract, PipedOrWrittenDecodesToTheSameFrames) {
  if (!HasEncoder("mjpeg") || !HasEncoder("dvvideo")) GTEST_SKIP() << "ffmpeg without mjpeg or dvvideo";
  TempDir dir;
  const std::string mjpeg = dir.file("intra.mov");
  MakeMediaFixture("-f lavfi -i testsrc=size=64x48:rate=25:duration=0.4 -c:v mjpeg", mjpeg);
  const std::vector<std::string> piped =
      DecodedFrames(ShellQuote(OXLPROBE_PATH) + " --extract - " + ShellQuote(mjpeg), "-f mjpeg -i -");
  EXPECT_EQ(piped.size(), 10u);
  EXPECT_EQ(piped, DecodedFrames("", "-i " + ShellQuote(mjpeg)));

  const std::string dv = dir.file("dv.mov"), out = dir.file("frames.dv");
  MakeMediaFixture("-f lavfi -i testsrc=size=720x576:rate=25:duration=0.12 -c:v dvvideo -pix_fmt yuv420p", dv);
  const CommandResult r = RunProbe("--extract " + ShellQuote(out), dv);
  ASSERT_EQ(r.exitCode, 0) << r.errors;
  EXPECT_EQ(r.output, "");
  const std::vector<std::string> written = DecodedFrames("", "-f dv -i " + ShellQuote(out));
  EXPECT_EQ(written.size(), 3u);
  EXPECT_EQ(written, DecodedFrames("", "-i " + ShellQuote(dv)));
}

// A reference movie: its three frames lie in media.bin after a 100-byte header; media.bin is
// the first file of the clip.
TEST(ProbeRead, ReferenceMovieSamplesAndFramesComeFromTheMediaFile) {
  TempDir dir;
  const std::string frames[] = {std::string(300, 'a'), std::string(200, 'b') + "end", std::string(150, 'c')};
  std::string media(100, '\0');
  QtWriterTrack track;
  track.stsd = VideoStsd("apcn", 64, 48);
  track.width = 64;
  track.height = 48;
  track.drefEntry = AliasDrefEntry("Media:clips:media.bin", "/clips/media.bin");
  for (const std::string& frame : frames) {
    track.offsets.push_back(media.size());
    track.sizes.push_back(static_cast<uint32_t>(frame.size()));
    media += frame;
  }
  dir.write("media.bin", media);
  const std::string movie = dir.write("ref.mov", QtFile("", {track}, false));
  const nlohmann::json summary = ProbeSummary(movie);
  EXPECT_EQ(summary["companion_files"], nlohmann::json::array({dir.file("media.bin"), movie}));
  EXPECT_EQ(summary["tracks"][0]["referenced_file"], "media.bin");
  for (const char* options : {"--samples --md5 --json", "--read --md5 --json"}) {
    const std::vector<nlohmann::json> lines = ProbeLines(options, movie);
    ASSERT_EQ(lines.size(), 3u) << options;
    ExpectMd5s(lines, 0, 1, [&](size_t i) { return Md5Hash(frames[i]); });
  }
  std::remove(dir.file("media.bin").c_str());
  const CommandResult r = RunProbe("--read", movie);
  EXPECT_EQ(r.exitCode, 3);
  EXPECT_EQ(r.errors.rfind("oxlprobe: " + dir.file("media.bin") + ": ", 0), 0u) << r.errors;
}

// MXF with constant-size edit units: an edit unit's offset is its picture's key.
TEST(ProbeRead, MxfFramesAgreeWithFFprobe) {
  if (!HasFFmpegTools()) GTEST_SKIP() << "ffmpeg is not installed";
  const MediaFixture& f = D10Fixture();
  const std::vector<std::pair<std::string, double>> packets = VideoPackets(f);
  const std::vector<ProbePacket>& probed = f.probe.Packets("v:0");
  const auto md5 = [&](size_t i) { return packets.at(i).first; };
  const std::vector<nlohmann::json> forwards = ProbeLines("--read --md5 --json", f.path);
  ASSERT_EQ(forwards.size(), packets.size());
  ExpectMd5s(forwards, 0, 1, md5);
  for (size_t i = 0; i < forwards.size(); ++i) EXPECT_NEAR(forwards[i]["time"].get<double>(), packets[i].second, 0.02);
  ExpectMd5s(ProbeLines("--read --reverse --md5 --json", f.path), packets.size() - 1, -1, md5);
  // 0.41 s at 25 frames/s: field 20.5 rounds to 20 -> frame 10.
  const std::vector<nlohmann::json> sought = ProbeLines("--read --seek 0.41 --md5 --json", f.path);
  ASSERT_EQ(sought.size(), packets.size() - 10);
  ExpectMd5s(sought, 10, 1, md5);
  const std::vector<nlohmann::json> units = ProbeLines("--samples --md5 --json", f.path);
  ASSERT_EQ(units.size(), packets.size());
  ExpectMd5s(units, 0, 1, md5);
  for (size_t i = 0; i < units.size(); ++i) {
    EXPECT_EQ(units[i]["offset"], probed[i].pos.value_or(0)) << i;
    EXPECT_EQ(units[i]["size"], probed[i].size) << i;
  }
  TempDir dir;
  const std::string out = dir.file("pictures.m2v");
  ASSERT_EQ(RunProbe("--extract " + ShellQuote(out), f.path).exitCode, 0);
  const std::string bytes = ReadWholeFile(out);  // the pictures one after another
  size_t at = 0;
  for (size_t i = 0; i < probed.size(); at += probed[i].size, ++i)
    EXPECT_EQ(Md5Hash(bytes.substr(std::min(at, bytes.size()), probed[i].size)), packets[i].first) << i;
  EXPECT_EQ(at, bytes.size());
}

}  // namespace
}  // namespace oxltest
