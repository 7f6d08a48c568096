// oxlprobe's summary: the bundled clip as its making script describes it, and
// FFmpeg-made files as ffprobe describes them.
#include <gtest/gtest.h>

#include "ProbeRun.h"
#include "support/FFmpegTools.h"
#include "support/TempDir.h"

namespace oxltest {
namespace {

nlohmann::json Summary(const std::string& path) {
  const CommandResult r = RunProbe("--json " + ShellQuote(path));
  EXPECT_EQ(r.exitCode, 0) << r.errors;
  EXPECT_EQ(r.errors, "");
  return nlohmann::json::parse(r.output);
}

const nlohmann::json& TrackOf(const nlohmann::json& summary, const std::string& handler) {
  for (const nlohmann::json& t : summary["tracks"]) {
    if (t["handler"] == handler) return t;
  }
  throw std::runtime_error("no " + handler + " track");
}

// samples/make_sample.sh: 2 s of 320x180 ProRes Proxy at 25 fps, 48 kHz
// stereo 16-bit PCM, timecode 10:00:00:00.
TEST(BundledClipSummary, ShowsWhatTheClipWasMadeOf) {
  const nlohmann::json s = Summary(BundledSample());
  // Identification: ProRes Proxy (41) belongs to the ProRes family, file type 42.
  EXPECT_EQ(s["container"], (nlohmann::json{{"file_type", 42}, {"name", "QTProRes_File"}}));
  EXPECT_EQ(s["video_data_type"], (nlohmann::json{{"value", 41}, {"name", "ProRes Proxy Video"}}));
  EXPECT_EQ(TrackOf(s, "vide")["format"], "apco");
  EXPECT_EQ(TrackOf(s, "vide")["sample_count"], 50);
  EXPECT_NEAR(TrackOf(s, "vide")["duration_seconds"].get<double>(), 2.0, 1e-9);
  EXPECT_EQ(TrackOf(s, "soun")["format"], "twos");
  EXPECT_EQ(TrackOf(s, "tmcd")["reference"], false);
  EXPECT_EQ(s["video"]["width"], 320);
  EXPECT_EQ(s["video"]["height"], 180);
  EXPECT_EQ(s["video"]["frame_rate"], 25.0);
  EXPECT_EQ(s["video"]["resolution"]["class"], 17);  // fewer than 288 lines
  EXPECT_EQ(s["video_system"], (nlohmann::json{{"value", 3}, {"name", "PAL"}}));
  EXPECT_EQ(s["start_timecode"], "10:00:00:00");
  EXPECT_EQ(s["timecode_track"], true);
  EXPECT_EQ(s["in_out"]["unit"], "fields");
  EXPECT_EQ(s["in_out"]["in_timecode"], "10:00:00:00");
  EXPECT_EQ(s["in_out"]["out_timecode"], "10:00:02:00");
  EXPECT_EQ(s["in_out"]["out"].get<int>() - s["in_out"]["in"].get<int>(), 100);  // 2 s of PAL fields
  ASSERT_EQ(s["audio"].size(), 1u);
  EXPECT_EQ(s["audio"][0]["rate"], 48000);
  EXPECT_EQ(s["audio"][0]["channels"], 2);
  EXPECT_EQ(s["audio"][0]["codec"]["name"], "PCM");
}

TEST(BundledClipSummary, TextShowsTheSameFacts) {
  const CommandResult r = RunProbe(ShellQuote(BundledSample()));
  ASSERT_EQ(r.exitCode, 0) << r.errors;
  for (const char* fact : {"42 QTProRes_File", "41 ProRes Proxy Video", "CQTDataReader (video)", "apco", "320x180", "3 PAL",
                           "10:00:00:00 / 10:00:02:00", "48000 Hz, 2 channels, PCM"}) {
    EXPECT_NE(r.output.find(fact), std::string::npos) << fact << " missing from\n" << r.output;
  }
}

TEST(Mp4Summary, TracksAgreeWithFFprobe) {
  if (!HasEncoder("libx264") || !HasEncoder("aac")) GTEST_SKIP() << "ffmpeg without libx264 or aac";
  TempDir dir;
  const std::string path = dir.file("clip.mp4");
  MakeMediaFixture("-f lavfi -i testsrc=size=96x64:rate=25:duration=0.6 -f lavfi -i sine=duration=0.6 -ac 2 "
                   "-ar 32000 -c:v libx264 -c:a aac",
                   path);
  const ProbeResult probe = ProbeFile(path);
  const nlohmann::json s = Summary(path);
  EXPECT_EQ(s["container"], (nlohmann::json{{"file_type", 76}, {"name", "Mp4 File"}}));
  EXPECT_EQ(s["video_data_type"]["value"], 28);  // avc1
  for (const char* kind : {"v:0", "a:0"}) {
    const ProbeStream& stream = probe.Stream(kind);
    const nlohmann::json& track = TrackOf(s, kind[0] == 'v' ? "vide" : "soun");
    SCOPED_TRACE(kind);
    EXPECT_EQ(track["format"], stream.codecTag);
    EXPECT_EQ(track["timescale"], stream.timeBaseDen);
    EXPECT_EQ(track["sample_count"], probe.Packets(kind).size());
  }
  EXPECT_EQ(s["video"]["width"], probe.Stream("v:0").width);
  EXPECT_EQ(s["video"]["height"], probe.Stream("v:0").height);
  ASSERT_EQ(s["audio"].size(), 1u);
  EXPECT_EQ(s["audio"][0]["rate"], probe.Stream("a:0").sampleRate);
  EXPECT_EQ(s["audio"][0]["channels"], probe.Stream("a:0").channels);
  EXPECT_EQ(s["audio"][0]["codec"]["name"], "AAC");
}

TEST(TimecodeSummary, DropFrameTimecodeUsesASemicolon) {
  if (!HasEncoder("mjpeg")) GTEST_SKIP() << "ffmpeg without mjpeg";
  TempDir dir;
  const std::string path = dir.file("ntsc.mov");
  MakeMediaFixture("-f lavfi -i testsrc=size=64x48:rate=30000/1001:duration=0.5 -c:v mjpeg -timecode 01:00:00\\;00",
                   path);
  const nlohmann::json s = Summary(path);
  EXPECT_EQ(s["start_timecode"], "01:00:00;00");
  EXPECT_EQ(s["video_system"]["name"], "NTSC Drop");
  EXPECT_EQ(s["in_out"]["in_timecode"], "01:00:00;00");
}

TEST(AudioOnlySummary, HasNoVideoAndCountsInAndOutInMilliseconds) {
  TempDir dir;
  const std::string path = dir.file("sound.mov");
  MakeMediaFixture("-f lavfi -i sine=duration=0.5:sample_rate=48000 -ac 2 -c:a pcm_s16le", path);
  const nlohmann::json s = Summary(path);
  EXPECT_TRUE(s["video"].is_null());
  EXPECT_TRUE(s["video_system"].is_null());
  EXPECT_EQ(s["video_data_type"]["value"], 0);
  EXPECT_EQ(s["in_out"]["unit"], "milliseconds");
  EXPECT_EQ(s["in_out"]["out"].get<int>() - s["in_out"]["in"].get<int>(), 500);
  ASSERT_EQ(s["audio"].size(), 1u);
  EXPECT_EQ(s["audio"][0]["channels"], 2);
}

}  // namespace
}  // namespace oxltest
