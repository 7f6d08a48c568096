// Movies whose samples lie in another file, time-code tracks and version-1
// headers, built by our own writer since FFmpeg makes none of them.
#include <gtest/gtest.h>

#include <vector>

#include "OXLDataReader/QTDatareader.h"
#include "QTFileCases.h"
#include "support/CapturingLogger.h"
#include "support/QtMovieWriter.h"
#include "support/TempDir.h"

using namespace oxltest;

namespace {

class ReferenceMovieTest : public ::testing::Test {
 protected:
  // Five frames of different sizes and contents, back to back.
  void SetUp() override {
    for (uint32_t size : {1000, 1500, 700, 2500, 900}) {
      track.offsets.push_back(media.size());
      track.sizes.push_back(size);
      for (uint32_t k = 0; k < size; ++k) media.push_back(static_cast<char>('A' + track.sizes.size() + k % 7));
    }
    track.stsd = VideoStsd("apcn", 720, 576);
    dir.write("media.bin", media);
  }
  std::string WriteMovie(const std::string& drefEntry) {
    track.drefEntry = drefEntry;
    return dir.write("ref.mov", QtFile("", {track}, false));
  }
  TempDir dir;
  std::string media;
  QtWriterTrack track;
};

}  // namespace

// An alias's POSIX path wins over its HFS path; either alone, or a path
// without separators, names the file beside the movie; so does a "url ".
// Read forwards and backwards from the referenced file.
TEST_F(ReferenceMovieTest, EveryWayOfNamingTheFileReadsIt) {
  for (const std::string& entry : {AliasDrefEntry("Macintosh HD:Clips:old.bin", "/Volumes/Clips/media.bin"),
                                   AliasDrefEntry("Macintosh HD:Clips:media.bin", ""), AliasDrefEntry("", "media.bin"),
                                   UrlDrefEntry("media.bin")}) {
    CQTDataReader reader(OXLDataReader::Video_Data, "ref");
    ASSERT_EQ(reader.Open(WriteMovie(entry).c_str(), true), 0);
    ASSERT_NE(reader.GetActiveTrack(), nullptr);
    EXPECT_TRUE(reader.GetActiveTrack()->IsReference());
    EXPECT_EQ(reader.GetActiveTrack()->GetReferenceFileName(), L"media.bin");
    EXPECT_EQ(reader.GetActiveTrackFileSize(), media.size());
    const auto forward = qtfiles::ReadForward(reader, 10);
    ASSERT_EQ(forward.size(), track.sizes.size());
    for (size_t i = 0; i < forward.size(); ++i) {
      EXPECT_EQ(forward[i].bytes, media.substr(track.offsets[i], track.sizes[i])) << "frame " << i;
      EXPECT_NEAR(forward[i].time, i * 0.04, 1e-9);
    }
    const auto backward = qtfiles::ReadBackward(reader, 10);
    ASSERT_EQ(backward.size(), track.sizes.size());
    for (size_t i = 0; i < backward.size(); ++i) EXPECT_EQ(backward[i].bytes, forward[forward.size() - 1 - i].bytes);
  }
}

// A movie with one video frame and a local time-code sample holding frame
// `frame`: the in point in fields and the video system, or no timecode for a
// description too short (49 bytes, logged) or of an unsupported frame count.
// Movie and media headers of version 1 (64-bit times) give the same time
// scales as those of version 0.
TEST(TimecodeTrack, LocalSampleGivesTheStart) {
  struct Case {
    uint8_t fps;
    bool drop;
    uint32_t size, timescale, duration, frame, in, system;
    bool version1 = false;
  };
  const Case cases[] = {
      {25, false, 50, 25, 1, 0x19, 50, 3},
      {30, true, 50, 30000, 1001, 1800, 3600, 4},  // 00:01:00;02 at 29.97 drop frame
      {30, true, 50, 30000, 1001, 1800, 3600, 4, true},
      {25, false, 50, 90000, 3600, 0x19, 50, 3, true},
      {25, false, 49, 25, 1, 0x19, 0, 3},
      {29, false, 50, 25, 1, 0x19, 0, 3},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.fps) + " fps, " + std::to_string(c.size) + " bytes, version " +
                 std::to_string(c.version1));
    TempDir dir;
    CapturingLogger log;
    std::string payload(100, 'v');
    payload += std::string{char(c.frame >> 24), char(c.frame >> 16), char(c.frame >> 8), char(c.frame)};
    QtWriterTrack video, tc;
    video.timescale = tc.timescale = c.timescale;
    video.sampleDuration = tc.sampleDuration = c.duration;
    video.sizes = {100};
    video.offsets = {0};
    video.stsd = VideoStsd("apcn", 1920, 1080);
    tc.trackId = 2;
    tc.handler = "tmcd";
    tc.sizes = {4};
    tc.offsets = {100};
    tc.stsd = TimecodeStsd(c.fps, c.drop, c.size);
    CQTDataReader reader(OXLDataReader::Video_Data, "tc");
    ASSERT_EQ(reader.Open(dir.write("tc.mov", QtFile(payload, {video, tc}, true, c.version1)).c_str(), false), 0);
    EXPECT_EQ(reader.GetMovieTimescale(), 600u);
    unsigned int in = 1, out = 0, system = 0;
    EXPECT_EQ(reader.GetInOut(&in, &out, &system), 0);
    EXPECT_EQ(in, c.in);
    EXPECT_EQ(system, c.system);
    EXPECT_NEAR(reader.GetFieldDuration(), double(c.duration) / c.timescale / 2, 1e-7);
    bool reported = false;
    for (const auto& line : log.lines()) reported |= line.text.find("Invalid tmcd atom size") != std::string::npos;
    EXPECT_EQ(reported, c.size != 50);
  }
}
