// oxlprobe on a reference movie: its samples lie in another file beside it.
#include <gtest/gtest.h>

#include "ProbeRun.h"
#include "support/FFmpegTools.h"
#include "support/QtMovieWriter.h"
#include "support/TempDir.h"

namespace oxltest {
namespace {

class ReferenceMovie : public ::testing::Test {
 protected:
  void SetUp() override {
    // Three frames of distinct bytes in the media file, after a 100-byte header.
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
      m_Hashes.push_back(Md5Hash(frame));
      media += frame;
    }
    m_Dir.write("media.bin", media);
    m_Path = m_Dir.write("ref.mov", QtFile("", {track}, false));
  }

  std::vector<nlohmann::json> Lines(const std::string& options) {
    const CommandResult r = RunProbe(options + " " + ShellQuote(m_Path));
    EXPECT_EQ(r.exitCode, 0) << r.errors;
    return JsonLines(r.output);
  }

  TempDir m_Dir;
  std::string m_Path;
  std::vector<std::string> m_Hashes;
};

TEST_F(ReferenceMovie, SummaryNamesTheReferencedFile) {
  const CommandResult r = RunProbe("--json " + ShellQuote(m_Path));
  ASSERT_EQ(r.exitCode, 0) << r.errors;
  const nlohmann::json track = nlohmann::json::parse(r.output)["tracks"][0];
  EXPECT_EQ(track["reference"], true);
  EXPECT_EQ(track["referenced_file"], "media.bin");
  EXPECT_EQ(track["format"], "apcn");
  EXPECT_EQ(track["sample_count"], 3);
}

TEST_F(ReferenceMovie, SamplesAreHashedFromTheReferencedFile) {
  const std::vector<nlohmann::json> samples = Lines("--samples --md5 --json");
  ASSERT_EQ(samples.size(), m_Hashes.size());
  for (size_t i = 0; i < samples.size(); ++i) EXPECT_EQ("MD5:" + samples[i]["md5"].get<std::string>(), m_Hashes[i]);
}

TEST_F(ReferenceMovie, TheReaderDeliversTheReferencedBytes) {
  const std::vector<nlohmann::json> reads = Lines("--read --md5 --json");
  ASSERT_EQ(reads.size(), m_Hashes.size());
  for (size_t i = 0; i < reads.size(); ++i) EXPECT_EQ("MD5:" + reads[i]["md5"].get<std::string>(), m_Hashes[i]);
}

TEST_F(ReferenceMovie, AMissingReferencedFileIsNamed) {
  std::remove(m_Dir.file("media.bin").c_str());
  for (const char* options : {"--samples --md5", "--read"}) {
    const CommandResult r = RunProbe(std::string(options) + " " + ShellQuote(m_Path));
    EXPECT_EQ(r.exitCode, 3) << options;
    EXPECT_EQ(r.errors.rfind("oxlprobe: " + m_Dir.file("media.bin") + ": ", 0), 0u) << r.errors;
  }
}

}  // namespace
}  // namespace oxltest
