// oxlprobe --samples, --read and --extract against ffprobe's packets of the
// same FFmpeg-made files.
#include <gtest/gtest.h>

#include <algorithm>

#include "ProbeRun.h"
#include "support/GrowingFile.h"
#include "support/QtMovieAtoms.h"
#include "support/QtMovieWriter.h"
#include "support/TempDir.h"

namespace oxltest {
namespace {

// The JSON lines oxlprobe prints for `options` on `path`, expecting success.
std::vector<nlohmann::json> ProbeLines(const std::string& options, const std::string& path) {
  const CommandResult r = RunProbe(options, path);
  EXPECT_EQ(r.exitCode, 0) << r.errors;
  EXPECT_EQ(r.errors, "");
  return JsonLines(r.output);
}

double InSeconds(int64_t time, const ProbeStream& stream) {
  return double(time) * double(stream.timeBaseNum) / double(stream.timeBaseDen);
}

// x264 with B frames: times and decode times differ, and sync frames are few.
TEST(ProbeSamples, PacketForPacketAgreeWithFFprobeForwardsAndBackwards) {
  if (!HasEncoder("libx264")) GTEST_SKIP() << "ffmpeg without libx264";
  TempDir dir;
  const std::string path = dir.file("h264.mp4");
  MakeMediaFixture("-f lavfi -i testsrc=size=64x48:rate=25:duration=0.8 -c:v libx264 -bf 2 -g 8", path);
  const ProbeResult probe = ProbeFile(path, true);
  const ProbeStream& stream = probe.Stream("v:0");
  const std::vector<ProbePacket>& packets = probe.Packets("v:0");
  const std::vector<nlohmann::json> samples = ProbeLines("--samples --json --md5", path);
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
  std::vector<nlohmann::json> backwards = ProbeLines("--samples --json --md5 --reverse", path);
  std::reverse(backwards.begin(), backwards.end());
  EXPECT_EQ(backwards, samples);
}

// --read: intra frames forwards, backwards and from a time, and the played
// audio packets (the AAC priming packet lies before the start the edit list
// plays); --extract: the frames' bytes. The follow test reads long-GOP video
// as a group per sync frame.
TEST(ProbeRead, FramesPlayedAudioAndExtractedBytesAgreeWithFFprobe) {
  if (!HasEncoder("mjpeg") || !HasEncoder("aac")) GTEST_SKIP() << "ffmpeg lacks an encoder";
  TempDir dir;
  const std::string intra = dir.file("intra.mp4");
  MakeMediaFixture("-f lavfi -i testsrc=size=64x48:rate=25:duration=0.8 -f lavfi -i sine=duration=0.8 -ac 2 "
                   "-c:v mjpeg -c:a aac", intra);
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
  // --extract writes the frames one after another, to a pipe or to a file.
  std::string frames;
  for (const ProbePacket& p : packets) frames += ReadFileBytes(intra, p.pos.value_or(0), p.size);
  const std::string out = dir.file("frames.mjpeg");
  const CommandResult piped = RunProbe("--extract -", intra), written = RunProbe("--extract " + ShellQuote(out), intra);
  EXPECT_EQ(piped.exitCode, 0) << piped.errors;
  EXPECT_TRUE(piped.output == frames);
  EXPECT_EQ(written.exitCode, 0) << written.errors;
  EXPECT_EQ(written.output, "");
  EXPECT_TRUE(ReadWholeFile(out) == frames);
}

// A reference movie: its three frames lie in media.bin after a 100-byte
// header; media.bin is the first file of the clip, and reading fails naming it
// once it is gone (the reader tests compare the frames).
TEST(ProbeRead, ReferenceMovieNamesItsMediaFile) {
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
  std::remove(dir.file("media.bin").c_str());
  const CommandResult r = RunProbe("--read", movie);
  EXPECT_EQ(r.exitCode, 3);
  EXPECT_EQ(r.errors.rfind("oxlprobe: " + dir.file("media.bin") + ": ", 0), 0u) << r.errors;
}

}  // namespace
}  // namespace oxltest
