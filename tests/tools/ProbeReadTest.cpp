// oxlprobe --samples, --read and --extract against ffprobe's packets of the
// same FFmpeg-made files, and against FFmpeg decoding the original.
#include <gtest/gtest.h>

#include <algorithm>

#include "ProbeRun.h"
#include "support/AvcIntraFixtures.h"
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

// --read: intra frames forwards, backwards and from a time, long-GOP video as
// a group per sync frame, and the played audio packets (the AAC priming
// packet lies before the start the edit list plays).
TEST(ProbeRead, FramesGroupsAndPlayedAudioAgreeWithFFprobe) {
  if (!HasEncoder("mjpeg") || !HasEncoder("libx264") || !HasEncoder("aac")) GTEST_SKIP() << "ffmpeg lacks an encoder";
  TempDir dir;
  const std::string intra = dir.file("intra.mp4"), gop = dir.file("gop.mp4");
  MakeMediaFixture("-f lavfi -i testsrc=size=64x48:rate=25:duration=0.8 -f lavfi -i sine=duration=0.8 -ac 2 "
                   "-c:v mjpeg -c:a aac", intra);
  MakeMediaFixture("-f lavfi -i testsrc=size=64x48:rate=25:duration=0.8 -c:v libx264 -bf 0 -g 5", gop);
  const ProbeResult probe = ProbeFile(intra, true);
  const std::vector<ProbePacket>& packets = probe.Packets("v:0");
  const auto md5 = [&](size_t i) { return packets[i].dataHash; };
  const std::vector<nlohmann::json> reads = ProbeLines("--read --json --md5", intra);
  ASSERT_EQ(reads.size(), packets.size());
  ExpectMd5s(reads, 0, 1, md5);
  for (size_t i = 0; i < reads.size(); ++i)
    EXPECT_NEAR(reads[i]["time"].get<double>(), InSeconds(*packets[i].pts, probe.Stream("v:0")), 0.02);
  ExpectMd5s(ProbeLines("--read --json --md5 --reverse", intra), packets.size() - 1, -1, md5);
  const std::vector<nlohmann::json> sought = ProbeLines("--read --json --md5 --seek 0.4", intra);
  ASSERT_EQ(sought.size(), packets.size() - 10);  // frames 10 to 19 at 25 fps
  ExpectMd5s(sought, 10, 1, md5);
  std::vector<std::string> played;
  for (const ProbePacket& p : probe.Packets("a:0"))
    if (p.pts.value_or(0) >= 0) played.push_back(p.dataHash);
  const std::vector<nlohmann::json> sound = ProbeLines("--read --json --audio --md5", intra);
  ASSERT_EQ(sound.size(), played.size());
  ExpectMd5s(sound, 0, 1, [&](size_t i) { return played[i]; });
  std::vector<uint64_t> groups;
  const ProbeResult gopProbe = ProbeFile(gop);
  for (const ProbePacket& p : gopProbe.Packets("v:0")) {
    if (p.IsKey() || groups.empty()) groups.push_back(0);
    groups.back() += p.size;
  }
  const std::vector<nlohmann::json> gops = ProbeLines("--read --json", gop);
  ASSERT_EQ(gops.size(), groups.size());
  for (size_t i = 0; i < gops.size(); ++i) EXPECT_EQ(gops[i]["size"], groups[i]) << "group " << i;
}

// Piped (MJPEG) or written (DV) frames decode to what FFmpeg decodes from the movie.
TEST(ProbeExtract, PipedOrWrittenDecodesToTheSameFrames) {
  if (!HasEncoder("mjpeg") || !HasEncoder("dvvideo")) GTEST_SKIP() << "ffmpeg without mjpeg or dvvideo";
  TempDir dir;
  const std::string mjpeg = dir.file("intra.mov"), dv = dir.file("dv.mov"), out = dir.file("frames.dv");
  MakeMediaFixture("-f lavfi -i testsrc=size=64x48:rate=25:duration=0.4 -c:v mjpeg", mjpeg);
  const CommandResult piped = RunProbe("--extract -", mjpeg);
  ASSERT_EQ(piped.exitCode, 0) << piped.errors;
  const std::vector<std::string> frames = DecodedFrameMd5s("-f mjpeg -i " + ShellQuote(dir.write("p.mjpeg", piped.output)));
  EXPECT_EQ(frames.size(), 10u);
  EXPECT_EQ(frames, DecodedFrameMd5s("-i " + ShellQuote(mjpeg)));
  MakeMediaFixture("-f lavfi -i testsrc=size=720x576:rate=25:duration=0.12 -c:v dvvideo -pix_fmt yuv420p", dv);
  const CommandResult r = RunProbe("--extract " + ShellQuote(out), dv);
  ASSERT_EQ(r.exitCode, 0) << r.errors;
  EXPECT_EQ(r.output, "");
  const std::vector<std::string> written = DecodedFrameMd5s("-f dv -i " + ShellQuote(out));
  EXPECT_EQ(written.size(), 3u);
  EXPECT_EQ(written, DecodedFrameMd5s("-i " + ShellQuote(dv)));
}

// A reference movie: its three frames lie in media.bin after a 100-byte
// header; media.bin is the first file of the clip.
TEST(ProbeRead, ReferenceMovieFramesComeFromTheMediaFile) {
  TempDir dir;
  const std::string frames[] = {std::string(300, 'a'), std::string(200, 'b') + "end", std::string(150, 'c')};
  std::string media(100, '\0');
  QtWriterTrack track;
  track.stsd = VideoStsd("apcn", 64, 48);
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
  const std::vector<nlohmann::json> lines = ProbeLines("--read --md5 --json", movie);
  ASSERT_EQ(lines.size(), 3u);
  ExpectMd5s(lines, 0, 1, [&](size_t i) { return Md5Hash(frames[i]); });
  std::remove(dir.file("media.bin").c_str());
  const CommandResult r = RunProbe("--read", movie);
  EXPECT_EQ(r.exitCode, 3);
  EXPECT_EQ(r.errors.rfind("oxlprobe: " + dir.file("media.bin") + ": ", 0), 0u) << r.errors;
}

}  // namespace
}  // namespace oxltest
