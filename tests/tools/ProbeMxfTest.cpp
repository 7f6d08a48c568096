// oxlprobe on MXF files: the summary of FFmpeg-made files against ffprobe and
// a walk of their partition packs, descriptive metadata of written files,
// and the refusals.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "ProbeRun.h"
#include "support/FFmpegTools.h"
#include "support/MediaFixtureCache.h"
#include "support/MxfWriter.h"
#include "support/TempDir.h"

namespace oxltest {
namespace {

using namespace mxf;

std::string FileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

nlohmann::json MxfSummary(const std::string& path) {
  const CommandResult r = RunProbe("--json " + ShellQuote(path));
  EXPECT_EQ(r.exitCode, 0) << r.errors;
  return nlohmann::json::parse(r.output.empty() ? "null" : r.output);
}

TEST(ProbeMxf, SummaryOfAnFFmpegFileAgreesWithFFprobe) {
  if (!HasFFmpegTools()) GTEST_SKIP() << "ffmpeg is not installed";
  const MediaFixture& f = GetMediaFixture(
      "probe_dv25.mxf", {"-f lavfi -i testsrc=size=720x576:rate=25 -f lavfi -i sine=sample_rate=48000 -t 0.12 "
                         "-c:v dvvideo "
                         "-pix_fmt yuv420p -c:a pcm_s16le -timecode 10:00:00:12 -f mxf"});
  const nlohmann::json s = MxfSummary(f.path);
  const ProbeStream& video = f.probe.Stream("v:0");
  EXPECT_EQ(s["operational_pattern"], (nlohmann::json{{"code", 257}, {"name", "OP1a"}}));
  EXPECT_EQ(s["container"]["file_type"], 20);  // identification: the DV-DIF label row gives 20
  std::vector<uint64_t> offsets;
  for (const auto& p : s["partitions"]) offsets.push_back(p["offset"].get<uint64_t>());
  EXPECT_EQ(offsets, PartitionPackOffsets(FileBytes(f.path)));
  EXPECT_EQ(s["partitions"][0]["kind"], "header");
  EXPECT_EQ(s["partitions"].back()["kind"], "footer");
  EXPECT_EQ(s["edit_rate"], 25.0);
  EXPECT_EQ(video.frameRate, "25/1");
  EXPECT_EQ(s["video_system"]["value"], 3);
  EXPECT_EQ(s["duration"], f.probe.Packets("v:0").size());
  const std::string timecode =
      RunCommand("ffprobe -v error -show_entries format_tags=timecode -of default=nw=1:nk=1 " + ShellQuote(f.path)).output;
  EXPECT_EQ(s["start_timecode"].get<std::string>() + "\n", timecode);
  EXPECT_EQ(s["in_out"]["in_timecode"], s["start_timecode"]);
  EXPECT_EQ(s["in_out"]["out"].get<int>() - s["in_out"]["in"].get<int>(), 2 * 3);
  EXPECT_EQ(s["video"]["width"], video.width);
  EXPECT_EQ(s["video"]["height"], video.height);
  EXPECT_EQ(s["video"]["video_data_type"]["value"], 3);  // DV25 by its picture coding label
  EXPECT_EQ(s["descriptive_metadata"], nlohmann::json::array());
  bool sound = false;
  for (const auto& track : s["packages"][0]["tracks"]) sound = sound || track["kind"] == "sound";
  EXPECT_TRUE(sound);
}

// A written file with an AS-11 core framework whose titles use dynamic tags.
std::string WrittenAs11File() {
  FileLayout layout;
  layout.timecode = {25 * 3600, 25, false};
  const std::string label = Bytes({0x06, 0x0e, 0x2b, 0x34, 0x01, 0x01, 0x01, 0x01, 0x0d, 0x01, 0x07, 0x01, 0x0b, 0x01, 0x01});
  layout.primer = {{0x8101, label + U8(1)}, {0x8102, label + U8(2)}, {0x8105, label + U8(5)}};
  layout.dmSchemes = {Bytes({0x06, 0x0e, 0x2b, 0x34, 0x04, 0x01, 0x01, 0x01, 0x0d, 0x01, 0x07, 0x01, 0x0b, 0x01, 0x00, 0x00})};
  layout.extraSets = {Klv(Bytes({0x06, 0x0e, 0x2b, 0x34, 0x02, 0x53, 0x01, 0x01, 0x0d, 0x01, 0x07, 0x01, 0x0b, 0x01, 0x01, 0x00}),
                        LocalSet()
                            .item(0x3C0A, Uid(9))
                            .item(0x8101, Utf16(L"Series One"))
                            .item(0x8102, Utf16(L"Pilot"))
                            .item(0x8105, U8(4))
                            .str())};
  return BuildFile(layout).bytes;
}

TEST(ProbeMxf, DescriptiveMetadataWithEveryStoredProperty) {
  TempDir dir;
  const std::string path = dir.write("as11.mxf", WrittenAs11File());
  const nlohmann::json s = MxfSummary(path);
  ASSERT_EQ(s["descriptive_metadata"].size(), 1u);
  const auto& m = s["descriptive_metadata"][0];
  EXPECT_EQ(m["family"], (nlohmann::json{{"value", 2}, {"name", "AS-11 core"}}));
  EXPECT_EQ(m["properties"],
            (nlohmann::json{{"SeriesTitle", "Series One"}, {"ProgrammeTitle", "Pilot"}, {"AudioTrackLayout", "4"}}));
  EXPECT_EQ(s["start_timecode"], "01:00:00:00");

  const CommandResult text = RunProbe(ShellQuote(path));
  ASSERT_EQ(text.exitCode, 0) << text.errors;
  for (const char* fact : {"257 OP1a", "2 AS-11 core", "SeriesTitle: Series One", "ProgrammeTitle: Pilot",
                           "3 PAL", "01:00:00:00 / 01:00:00:10"}) {
    EXPECT_NE(text.output.find(fact), std::string::npos) << fact << " missing from\n" << text.output;
  }
}

TEST(ProbeMxf, Refusals) {
  TempDir dir;
  const std::string good = WrittenAs11File();
  const CommandResult samples = RunProbe("--samples " + ShellQuote(dir.write("a.mxf", good)));
  EXPECT_EQ(samples.exitCode, 7);
  EXPECT_NE(samples.errors.find("the IMX reader cannot read its frames"), std::string::npos) << samples.errors;

  const CommandResult notMxf = RunProbe(ShellQuote(dir.write("b.mxf", std::string(3000, 'x'))));
  EXPECT_EQ(notMxf.exitCode, 4);
  EXPECT_NE(notMxf.errors.find("no header partition"), std::string::npos) << notMxf.errors;

  const CommandResult cut = RunProbe(ShellQuote(dir.write("c.mxf", good.substr(0, 700))));
  EXPECT_EQ(cut.exitCode, 5);
  EXPECT_NE(cut.errors.find("truncated"), std::string::npos) << cut.errors;
}

}  // namespace
}  // namespace oxltest
