// oxlprobe's summary: the bundled clip as its making script describes it,
// FFmpeg-made files as ffprobe describes them, identification and the
// factory's reader, and MXF files.
#include <gtest/gtest.h>

#include "ProbeRun.h"
#include "support/GrowingFile.h"
#include "support/MediaFixtureCache.h"
#include "support/MxfWriter.h"
#include "support/TempDir.h"

namespace oxltest {
namespace {

using nlohmann::json;

const json& TrackOf(const json& summary, const std::string& handler) {
  for (const json& t : summary["tracks"])
    if (t["handler"] == handler) return t;
  throw std::runtime_error("no " + handler + " track");
}

void ExpectFacts(const std::string& path, std::initializer_list<const char*> facts) {
  const CommandResult r = RunProbe("", path);
  ASSERT_EQ(r.exitCode, 0) << r.errors;
  for (const char* fact : facts) EXPECT_NE(r.output.find(fact), std::string::npos) << fact << " missing from\n" << r.output;
}

// samples/make_sample.sh: 2 s of 320x180 ProRes Proxy at 25 fps, 48 kHz
// stereo 16-bit PCM, timecode 10:00:00:00.
TEST(ProbeSummary, BundledClipShowsWhatItWasMadeOf) {
  const json s = ProbeSummary(BundledSample());
  EXPECT_EQ(s["container"], (json{{"file_type", 42}, {"name", "QTProRes_File"}}));  // ProRes family
  EXPECT_EQ(s["video_data_type"], (json{{"value", 41}, {"name", "ProRes Proxy Video"}}));
  EXPECT_EQ(TrackOf(s, "vide")["sample_count"], 50);
  EXPECT_NEAR(TrackOf(s, "vide")["duration_seconds"].get<double>(), 2.0, 1e-9);
  EXPECT_EQ(TrackOf(s, "soun")["format"], "twos");
  EXPECT_EQ(TrackOf(s, "tmcd")["reference"], false);
  EXPECT_EQ(s["reader"]["class"], "CQTDataReader");
  EXPECT_EQ(s["video"]["resolution"]["class"], 17);  // fewer than 288 lines
  EXPECT_EQ(s["video"]["height"], 180);
  EXPECT_EQ(s["video_system"], (json{{"value", 3}, {"name", "PAL"}}));
  EXPECT_EQ(s["in_out"]["out_timecode"], "10:00:02:00");
  EXPECT_EQ(s["in_out"]["out"].get<int>() - s["in_out"]["in"].get<int>(), 100);  // 2 s of PAL fields
  ExpectFacts(BundledSample(), {"42 QTProRes_File", "CQTDataReader (video)", "apco", "320x180",
                                "10:00:00:00 / 10:00:02:00", "48000 Hz, 2 channels, PCM"});
}

// Unbranded audio-only -> 24, which the factory knows but has no reader for.
TEST(ProbeSummary, AudioOnlyCountsInAndOutInMillisecondsWithoutReader) {
  TempDir dir;
  const std::string path = dir.file("sound.mov");
  MakeMediaFixture("-f lavfi -i sine=duration=0.5:sample_rate=48000 -ac 2 -c:a pcm_s16le", path);
  const json s = ProbeSummary(path);
  EXPECT_TRUE(s["video"].is_null());
  EXPECT_EQ(s["in_out"]["unit"], "milliseconds");
  EXPECT_EQ(s["in_out"]["out"].get<int>() - s["in_out"]["in"].get<int>(), 500);
  EXPECT_EQ(s["audio"][0]["rate"], 48000);
  EXPECT_EQ(s["audio"][0]["channels"], 2);
  ExpectFacts(path, {"24 QTUnknown_File", "0 Unknown_Video", "none on this platform: no reader for this file type"});
}

const char kRefused[] = "[Not implemented on Linux or Mac OS X]";

TEST(ProbeSummary, MxfAgreesWithFFprobeAndHasNoFactoryReader) {
  if (!HasFFmpegTools()) GTEST_SKIP() << "ffmpeg is not installed";
  const MediaFixture& f = GetMediaFixture(
      "probe_dv25.mxf", {"-f lavfi -i testsrc=size=720x576:rate=25 -f lavfi -i sine=sample_rate=48000 -t 0.12 "
                         "-c:v dvvideo -pix_fmt yuv420p -c:a pcm_s16le -timecode 10:00:00:12 -f mxf"});
  const json s = ProbeSummary(f.path);
  EXPECT_EQ(s["operational_pattern"], (json{{"code", 257}, {"name", "OP1a"}}));
  EXPECT_EQ(s["container"]["file_type"], 20);  // DV-DIF label row
  EXPECT_EQ(s["reader"]["none_because"], kRefused);
  std::vector<uint64_t> offsets;
  for (const auto& p : s["partitions"]) offsets.push_back(p["offset"].get<uint64_t>());
  EXPECT_EQ(offsets, mxf::PartitionPackOffsets(ReadWholeFile(f.path)));
  EXPECT_EQ(s["partitions"].back()["kind"], "footer");
  EXPECT_EQ(s["duration"], f.probe.Packets("v:0").size());
  EXPECT_EQ(s["start_timecode"], "10:00:00:12");
  EXPECT_EQ(s["video"]["video_data_type"]["value"], 3);  // DV25 by its picture coding label
}

// A written file with an AS-11 core framework whose titles use dynamic tags.
std::string WrittenAs11File() {
  using namespace mxf;
  FileLayout layout;
  layout.timecode = {25 * 3600, 25, false};
  const std::string label = Bytes({0x06, 0x0e, 0x2b, 0x34, 0x01, 0x01, 0x01, 0x01, 0x0d, 0x01, 0x07, 0x01, 0x0b, 0x01, 0x01});
  layout.primer = {{0x8101, label + U8(1)}, {0x8102, label + U8(2)}, {0x8105, label + U8(5)}};
  layout.dmSchemes = {Bytes({0x06, 0x0e, 0x2b, 0x34, 0x04, 0x01, 0x01, 0x01, 0x0d, 0x01, 0x07, 0x01, 0x0b, 0x01, 0x00, 0x00})};
  layout.extraSets = {Klv(Bytes({0x06, 0x0e, 0x2b, 0x34, 0x02, 0x53, 0x01, 0x01, 0x0d, 0x01, 0x07, 0x01, 0x0b, 0x01, 0x01, 0x00}),
                          LocalSet().item(0x3C0A, Uid(9)).item(0x8101, Utf16(L"Series One")).item(0x8102, Utf16(L"Pilot"))
                              .item(0x8105, U8(4)).str())};
  return BuildFile(layout).bytes;
}

TEST(ProbeSummary, MxfDescriptiveMetadataWithEveryStoredProperty) {
  TempDir dir;
  const std::string path = dir.write("as11.mxf", WrittenAs11File());
  const json s = ProbeSummary(path);
  ASSERT_EQ(s["descriptive_metadata"].size(), 1u);
  EXPECT_EQ(s["descriptive_metadata"][0]["family"], (json{{"value", 2}, {"name", "AS-11 core"}}));
  EXPECT_EQ(s["descriptive_metadata"][0]["properties"],
            (json{{"SeriesTitle", "Series One"}, {"ProgrammeTitle", "Pilot"}, {"AudioTrackLayout", "4"}}));
  ExpectFacts(path, {"257 OP1a", "2 AS-11 core", "SeriesTitle: Series One", "01:00:00:00 / 01:00:00:10"});
}

}  // namespace

// Shared with the error tests.
std::string ProbeTestAs11File() { return WrittenAs11File(); }

}  // namespace oxltest
