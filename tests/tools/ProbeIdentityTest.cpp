// What oxlprobe shows of a file before reading it: the file type and video
// data type identification gives, the reader class the factory builds, and
// the files of the clip; and the status of a file that nothing on this
// platform reads as asked.
#include <gtest/gtest.h>

#include "../OXLDataReader/QTFileCases.h"
#include "ProbeRun.h"
#include "support/FFmpegTools.h"
#include "support/QtMovieWriter.h"
#include "support/TempDir.h"

namespace oxltest {
namespace {

nlohmann::json Summary(const std::string& path) {
  const CommandResult r = RunProbe("--json " + ShellQuote(path));
  EXPECT_EQ(r.exitCode, 0) << r.errors;
  return nlohmann::json::parse(r.output.empty() ? "null" : r.output);
}

const char kRefused[] = "[Not implemented on Linux or Mac OS X]";

struct Expected {
  unsigned int fileType;
  const char* readerClass;  // null: the factory builds none
  const char* noReader;     // its answer then
};

// File types by the QuickTime tester's codec-family mapping; readers by the
// factory's dispatch on the file type (video requested).
TEST(ProbeIdentity, FileTypeAndFactoryReaderOfMovies) {
  if (!HasFFmpegTools()) GTEST_SKIP() << "no ffmpeg";
  const std::map<std::string, Expected> expected = {
      {"prores_proxy_25_twos", {42, "CQTDataReader", nullptr}},              // ProRes -> 42, plain reader
      {"imx50_25", {30, "CQTIMXDataReader", nullptr}},                        // IMX -> 30, unwrapping reader
      {"avcintra100_1080p25", {64, "AvcIntraFormaterDataReader", nullptr}},  // AVC-Intra -> 64, formatter
      {"h264_25_aac", {62, nullptr, kRefused}},                              // H.264, "qt  " brand -> 62: refused
      {"h264_50_aac_mp4", {76, nullptr, kRefused}},                          // H.264, MP4 brand -> 76: refused
  };
  size_t seen = 0;
  for (const qtfiles::QtFileCase& c : qtfiles::AllCases()) {
    const auto want = expected.find(c.name);
    if (want == expected.end()) continue;
    const MediaFixture* fixture = qtfiles::CaseFixture(c);
    if (!fixture) continue;
    ++seen;
    SCOPED_TRACE(c.name);
    const nlohmann::json s = Summary(fixture->path);
    EXPECT_EQ(s["container"]["file_type"], want->second.fileType);
    EXPECT_EQ(s["video_data_type"]["value"], unsigned(c.videoType));
    const nlohmann::json& reader = s["reader"];
    if (want->second.readerClass) {
      EXPECT_EQ(reader["class"], want->second.readerClass);
      EXPECT_EQ(reader["data"], "video");
    } else {
      EXPECT_TRUE(reader["class"].is_null());
      EXPECT_EQ(reader["none_because"], want->second.noReader);
      EXPECT_FALSE(s["tracks"].empty());  // read with the QuickTime reader all the same
    }
    EXPECT_EQ(s["companion_files"], nlohmann::json::array({fixture->path}));
  }
  EXPECT_GE(seen, expected.size() - 1);
}

// Audio-only movies: unbranded -> 24, which the factory knows but has no
// reader for (request error 2); the text says so on the Reader line.
TEST(ProbeIdentity, AudioOnlyMovieHasNoFactoryReaderButASummary) {
  if (!HasFFmpegTools()) GTEST_SKIP() << "no ffmpeg";
  TempDir dir;
  const std::string path = dir.file("sound.mov");
  MakeMediaFixture("-f lavfi -i sine=duration=0.2:sample_rate=48000 -c:a pcm_s16le", path);
  const CommandResult text = RunProbe(ShellQuote(path));
  ASSERT_EQ(text.exitCode, 0) << text.errors;
  for (const char* fact : {"24 QTUnknown_File", "0 Unknown_Video", "none on this platform: no reader for this file type",
                           "48000 Hz"}) {
    EXPECT_NE(text.output.find(fact), std::string::npos) << fact << " missing from\n" << text.output;
  }
}

TEST(ProbeIdentity, ReferenceMovieListsItsMediaFileFirst) {
  TempDir dir;
  QtWriterTrack track;
  track.stsd = VideoStsd("apcn", 64, 48);
  track.drefEntry = AliasDrefEntry("Media:clips:media.bin", "/clips/media.bin");
  track.offsets = {0};
  track.sizes = {10};
  dir.write("media.bin", std::string(10, 'm'));
  const std::string movie = dir.write("ref.mov", QtFile("", {track}, false));
  const nlohmann::json s = Summary(movie);
  EXPECT_EQ(s["companion_files"], nlohmann::json::array({dir.file("media.bin"), movie}));
}

// MXF: the factory refuses every MXF type here; oxlprobe reads the file
// with the MXF readers itself.
TEST(ProbeIdentity, MxfHasNoFactoryReader) {
  if (!HasFFmpegTools()) GTEST_SKIP() << "no ffmpeg";
  const MediaFixture& f = GetMediaFixture(
      "identity_dv25.mxf",
      {"-f lavfi -i testsrc=size=720x576:rate=25 -t 0.08 -c:v dvvideo -pix_fmt yuv420p -f mxf"});
  const nlohmann::json s = Summary(f.path);
  EXPECT_EQ(s["container"]["file_type"], 20);     // DV-DIF clip-wrapped label row -> 20
  EXPECT_EQ(s["video_data_type"]["value"], 3);    // DV25
  EXPECT_EQ(s["reader"]["none_because"], kRefused);
}

}  // namespace
}  // namespace oxltest
