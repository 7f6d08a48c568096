// Movies whose samples lie in another file, time-code tracks and version-1
// headers, built by our own writer since FFmpeg makes none of them.
#include <gtest/gtest.h>

#include <vector>

#include "OXLDataReader/QTDatareader.h"
#include "QTFileCases.h"
#include "support/CapturingLogger.h"
#include "support/GrowingFile.h"
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

// A missing file fails the opening (1); an alias without paths falls back on
// its record's name ("fixed.mov", which does not exist); a self-reference,
// even one naming a file, is local.
TEST_F(ReferenceMovieTest, MissingFileAliasRecordNameAndSelfReference) {
  CQTDataReader gone(OXLDataReader::Video_Data, "ref"), alias(OXLDataReader::Video_Data, "ref"),
      self(OXLDataReader::Video_Data, "ref");
  EXPECT_EQ(gone.Open(WriteMovie(UrlDrefEntry("gone.bin")).c_str(), true), 1);
  EXPECT_EQ(alias.Open(WriteMovie(AliasDrefEntry("", "")).c_str(), true), 1);
  std::string fallback;
  EXPECT_TRUE(alias.IsReferenceTrack(OXLDataReader::Video_Data, 0, fallback));
  EXPECT_EQ(fallback, "fixed.mov");
  ASSERT_EQ(self.Open(WriteMovie(AliasDrefEntry("", "/x/media.bin", true)).c_str(), true), 0);
  EXPECT_FALSE(self.GetActiveTrack()->IsReference());
}

// The media file of a recording, written frame by frame (each step stops in
// the middle of the next frame) while the reference movie, which already
// describes all of its frames, is read: each step delivers the frame it
// completed, and the media counts as growing until its last frame is whole.
TEST_F(ReferenceMovieTest, GrowingMediaDeliversEachFrameOnceItIsWhole) {
  const auto stepEnd = [&](size_t k) {
    return k + 1 < track.sizes.size() ? track.offsets[k + 1] + track.sizes[k + 1] / 2 : media.size();
  };
  GrowingFile file(dir.file("growing.bin"), media.substr(0, stepEnd(0)));
  CQTDataReader reader(OXLDataReader::Video_Data, "growing-ref");
  ASSERT_EQ(reader.Open(WriteMovie(UrlDrefEntry("growing.bin")).c_str(), true), 0);
  for (size_t step = 0; step < track.sizes.size(); ++step) {
    SCOPED_TRACE("after growth step " + std::to_string(step));
    if (step > 0) file.Append(media.substr(stepEnd(step - 1), stepEnd(step) - stepEnd(step - 1)));
    const auto round = qtfiles::ReadForward(reader, 10);
    ASSERT_EQ(round.size(), 1u) << "each step completes one frame";
    EXPECT_EQ(round[0].bytes, media.substr(track.offsets[step], track.sizes[step]));
    EXPECT_NEAR(round[0].time, step * 0.04, 1e-9);
    EXPECT_EQ(reader.UpdateReferenceDuration(), step + 1 < track.sizes.size()) << "growing while the file lacks frames";
  }
}

// A movie with one video (or sound) sample and a local time-code sample
// holding frame `frame`: the in point (in fields; without video in
// milliseconds) and the video system, or no timecode for a description too
// short (49 bytes) or of an unsupported frame count. Movie and media
// headers of version 1 (64-bit times) give the same time scales as those of
// version 0. In milliseconds a start of 2^28 frames (a fuzz finding) does not
// fit 32 bits: in and out saturate rather than overflowing.
TEST(TimecodeTrack, LocalSampleGivesTheStart) {
  struct Case {
    uint8_t fps;
    bool drop;
    uint32_t size, timescale, duration, frame, in, system;
    bool version1 = false, sound = false;
  };
  const Case cases[] = {
      {25, false, 50, 25, 1, 0x19, 50, 3},
      {30, true, 50, 30000, 1001, 1800, 3600, 4},  // 00:01:00;02 at 29.97 drop frame
      {30, true, 50, 30000, 1001, 1800, 3600, 4, true},
      {25, false, 50, 90000, 3600, 0x19, 50, 3, true},
      {25, false, 49, 25, 1, 0x19, 0, 3},
      {29, false, 50, 25, 1, 0x19, 0, 3},
      {25, false, 50, 25, 1, 1u << 28, 0xFFFFFFFFu, 0xFFFFFFFFu, false, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.fps) + " fps, " + std::to_string(c.size) + " bytes, version " +
                 std::to_string(c.version1) + (c.sound ? ", sound" : ""));
    CapturingLogger log;  // keeps the refused descriptions' lines out of the test output
    std::string payload(100, 'v');
    payload += std::string{char(c.frame >> 24), char(c.frame >> 16), char(c.frame >> 8), char(c.frame)};
    QtWriterTrack main, tc;
    main.timescale = tc.timescale = c.timescale;
    main.sampleDuration = tc.sampleDuration = c.duration;
    main.sizes = {100};
    main.offsets = {0};
    main.handler = c.sound ? "soun" : "vide";
    main.stsd = c.sound ? SoundStsd("twos", 1, 16, 48000) : VideoStsd("apcn", 1920, 1080);
    tc.trackId = 2;
    tc.handler = "tmcd";
    tc.sizes = {4};
    tc.offsets = {100};
    tc.stsd = TimecodeStsd(c.fps, c.drop, c.size);
    auto reader = qtfiles::OpenBytes(QtFile(payload, {main, tc}, true, c.version1), nullptr,
                                     c.sound ? OXLDataReader::Audio_Data : OXLDataReader::Video_Data);
    EXPECT_EQ(reader->GetMovieTimescale(), 600u);
    unsigned int in = 1, out = 0, system = 0;
    EXPECT_EQ(reader->GetInOut(&in, &out, &system), 0);
    EXPECT_EQ(in, c.in);
    EXPECT_EQ(system, c.system);
    if (c.sound) {
      EXPECT_EQ(out, c.in);
      continue;
    }
    EXPECT_NEAR(reader->GetFieldDuration(), double(c.duration) / c.timescale / 2, 1e-7);
    EXPECT_NEAR(reader->GetActiveTrackDuration(), double(c.duration) / c.timescale, 1.0 / 600);  // the track header's
  }
}
