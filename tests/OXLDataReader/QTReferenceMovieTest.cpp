// Movies whose samples lie in another file, and time-code tracks, built by
// our own writer since FFmpeg makes neither.
#include <gtest/gtest.h>

#include <vector>

#include "OXLDataReader/QTDatareader.h"
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
  std::string Frame(size_t i) const { return media.substr(track.offsets[i], track.sizes[i]); }
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
    std::vector<unsigned char> buffer(1 << 16);
    unsigned char* data = buffer.data();
    unsigned int size = 0;
    double time = 0;
    for (size_t i = 0; i < track.sizes.size(); ++i) {
      ASSERT_EQ(reader.GetNextData(data, static_cast<unsigned int>(buffer.size()), &size, &time), 0) << i;
      EXPECT_EQ(std::string(reinterpret_cast<const char*>(data), size), Frame(i)) << "frame " << i;
      EXPECT_NEAR(time, i * 0.04, 1e-9);
    }
    EXPECT_EQ(reader.GetNextData(data, static_cast<unsigned int>(buffer.size()), &size, &time), 100);
    for (size_t i = track.sizes.size(); i-- > 0;) {
      ASSERT_EQ(reader.GetPrevData(data, static_cast<unsigned int>(buffer.size()), &size, &time), 0) << i;
      EXPECT_EQ(std::string(reinterpret_cast<const char*>(data), size), Frame(i));
    }
    EXPECT_EQ(reader.GetPrevData(data, static_cast<unsigned int>(buffer.size()), &size, &time), 100);
  }
}

TEST_F(ReferenceMovieTest, SelfReferenceIsLocal) {
  CQTDataReader reader(OXLDataReader::Video_Data, "ref");
  ASSERT_EQ(reader.Open(WriteMovie(AliasDrefEntry("", "/x/media.bin", true)).c_str(), true), 0);
  EXPECT_FALSE(reader.GetActiveTrack()->IsReference());
  std::wstring name = L"unchanged";
  EXPECT_FALSE(reader.IsReferenceTrack(OXLDataReader::Video_Data, 0, name));
}

// Unopened, the movie still names its reference and its size; a missing
// file fails the opening (1), and a short alias falls back on its record's
// name ("fixed.mov", which does not exist).
TEST_F(ReferenceMovieTest, NamesWithoutOpeningAndMissingFiles) {
  CQTDataReader reader(OXLDataReader::Video_Data, "ref");
  ASSERT_EQ(reader.Open(WriteMovie(UrlDrefEntry("media.bin")).c_str(), false), 0);
  std::wstring name;
  EXPECT_TRUE(reader.IsReferenceTrack(OXLDataReader::Video_Data, 0, name));
  EXPECT_EQ(name, L"media.bin");
  EXPECT_EQ(reader.GetActiveTrackFileSize(), media.size());
  CQTDataReader gone(OXLDataReader::Video_Data, "ref");
  EXPECT_EQ(gone.Open(WriteMovie(UrlDrefEntry("gone.bin")).c_str(), true), 1);
  CQTDataReader alias(OXLDataReader::Video_Data, "ref");
  EXPECT_NE(alias.Open(WriteMovie(AliasDrefEntry("", "")).c_str(), true), 0);
  std::string fallback;
  EXPECT_TRUE(alias.IsReferenceTrack(OXLDataReader::Video_Data, 0, fallback));
  EXPECT_EQ(fallback, "fixed.mov");
}

// A movie with one video frame and a local time-code sample holding frame
// `frame`: the in point in fields and the video system, or no timecode for a
// description too short (49 bytes, logged) or of an unsupported frame count.
TEST(TimecodeTrack, LocalSampleGivesTheStart) {
  struct Case {
    uint8_t fps;
    bool drop;
    uint32_t size, timescale, duration, frame, in, system;
  };
  const Case cases[] = {
      {25, false, 50, 25, 1, 0x19, 50, 3},
      {30, true, 50, 30000, 1001, 1800, 3600, 4},  // 00:01:00;02 at 29.97 drop frame
      {25, false, 49, 25, 1, 0x19, 0, 3},
      {29, false, 50, 25, 1, 0x19, 0, 3},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.fps) + " fps, " + std::to_string(c.size) + " bytes");
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
    ASSERT_EQ(reader.Open(dir.write("tc.mov", QtFile(payload, {video, tc}, true)).c_str(), false), 0);
    unsigned int in = 1, out = 0, system = 0;
    EXPECT_EQ(reader.GetInOut(&in, &out, &system), 0);
    EXPECT_EQ(in, c.in);
    EXPECT_EQ(system, c.system);
    bool reported = false;
    for (const auto& line : log.lines()) reported |= line.text.find("Invalid tmcd atom size") != std::string::npos;
    EXPECT_EQ(reported, c.size != 50);
  }
}
