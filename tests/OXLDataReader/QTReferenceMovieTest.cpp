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

// Five frames of different sizes and contents, back to back.
struct MediaFile {
  std::string bytes;
  std::vector<uint32_t> sizes{1000, 1500, 700, 2500, 900};
  std::vector<uint64_t> offsets;
  MediaFile() {
    for (size_t i = 0; i < sizes.size(); ++i) {
      offsets.push_back(bytes.size());
      for (uint32_t k = 0; k < sizes[i]; ++k) bytes.push_back(static_cast<char>('A' + i + k % 7));
    }
  }
  std::string Frame(size_t i) const { return bytes.substr(offsets[i], sizes[i]); }
};

QtWriterTrack VideoTrack(const MediaFile& media, const std::string& drefEntry) {
  QtWriterTrack t;
  t.sizes = media.sizes;
  t.offsets = media.offsets;
  t.stsd = VideoStsd("apcn", 720, 576);
  t.drefEntry = drefEntry;
  t.width = 720;
  t.height = 576;
  return t;
}

std::vector<std::string> ReadAll(CQTDataReader& reader, std::vector<double>* times = nullptr) {
  std::vector<std::string> frames;
  std::vector<unsigned char> buffer(1 << 16);
  unsigned char* data = buffer.data();
  unsigned int size = 0;
  double time = 0;
  while (reader.GetNextData(data, static_cast<unsigned int>(buffer.size()), &size, &time) == 0) {
    frames.emplace_back(reinterpret_cast<const char*>(data), size);
    if (times) times->push_back(time);
  }
  return frames;
}

class ReferenceMovieTest : public ::testing::Test {
 protected:
  void SetUp() override { mediaPath = dir.write("media.bin", media.bytes); }
  std::string WriteMovie(const std::string& drefEntry) {
    return dir.write("ref.mov", QtFile("", {VideoTrack(media, drefEntry)}, false));
  }
  void ExpectReadsMedia(const std::string& moviePath) {
    CQTDataReader reader(OXLDataReader::Video_Data, "ref");
    ASSERT_EQ(reader.Open(moviePath.c_str(), true), 0);
    ASSERT_NE(reader.GetActiveTrack(), nullptr);
    EXPECT_TRUE(reader.GetActiveTrack()->IsReference());
    EXPECT_EQ(reader.GetActiveTrack()->GetReferenceFileName(), L"media.bin");
    EXPECT_EQ(reader.GetActiveTrackFileSize(), media.bytes.size());
    std::vector<double> times;
    const auto frames = ReadAll(reader, &times);
    ASSERT_EQ(frames.size(), media.sizes.size());
    for (size_t i = 0; i < frames.size(); ++i) {
      EXPECT_EQ(frames[i], media.Frame(i)) << "frame " << i;
      EXPECT_NEAR(times[i], i * 0.04, 1e-9);
    }
  }
  TempDir dir;
  MediaFile media;
  std::string mediaPath;
};

}  // namespace

TEST_F(ReferenceMovieTest, AliasPosixPathWinsOverHfsPath) {
  ExpectReadsMedia(WriteMovie(AliasDrefEntry("Macintosh HD:Clips:old.bin", "/Volumes/Clips/media.bin")));
}

TEST_F(ReferenceMovieTest, AliasHfsPathAloneAndPathWithoutSeparators) {
  ExpectReadsMedia(WriteMovie(AliasDrefEntry("Macintosh HD:Clips:media.bin", "")));
  ExpectReadsMedia(WriteMovie(AliasDrefEntry("", "media.bin")));
}

TEST_F(ReferenceMovieTest, UrlEntryNamesTheFile) { ExpectReadsMedia(WriteMovie(UrlDrefEntry("media.bin"))); }

TEST_F(ReferenceMovieTest, BackwardReadingFromTheReferencedFile) {
  CQTDataReader reader(OXLDataReader::Video_Data, "ref");
  ASSERT_EQ(reader.Open(WriteMovie(UrlDrefEntry("media.bin")).c_str(), true), 0);
  ASSERT_EQ(reader.GoToDataEnd(), 0);
  std::vector<unsigned char> buffer(1 << 16);
  unsigned char* data = buffer.data();
  unsigned int size = 0;
  double time = 0;
  for (size_t i = media.sizes.size(); i-- > 0;) {
    ASSERT_EQ(reader.GetPrevData(data, static_cast<unsigned int>(buffer.size()), &size, &time), 0) << i;
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(data), size), media.Frame(i));
  }
  EXPECT_EQ(reader.GetPrevData(data, static_cast<unsigned int>(buffer.size()), &size, &time), 100);
}

TEST_F(ReferenceMovieTest, SelfReferenceIsLocal) {
  CQTDataReader reader(OXLDataReader::Video_Data, "ref");
  const std::string path = WriteMovie(AliasDrefEntry("", "/x/media.bin", true));
  ASSERT_EQ(reader.Open(path.c_str(), true), 0);
  EXPECT_FALSE(reader.GetActiveTrack()->IsReference());
  std::wstring name = L"unchanged";
  EXPECT_FALSE(reader.IsReferenceTrack(OXLDataReader::Video_Data, 0, name));
}

TEST_F(ReferenceMovieTest, ShortAliasFallsBackToTheRecordName) {
  CQTDataReader reader(OXLDataReader::Video_Data, "ref");
  const std::string path = WriteMovie(AliasDrefEntry("", ""));
  EXPECT_NE(reader.Open(path.c_str(), true), 0);  // "fixed.mov" does not exist beside the movie
  std::string name;
  EXPECT_TRUE(reader.IsReferenceTrack(OXLDataReader::Video_Data, 0, name));
  EXPECT_EQ(name, "fixed.mov");
}

TEST_F(ReferenceMovieTest, MissingReferencedFileFailsToOpen) {
  CQTDataReader reader(OXLDataReader::Video_Data, "ref");
  EXPECT_EQ(reader.Open(WriteMovie(UrlDrefEntry("gone.bin")).c_str(), true), 1);
}

TEST_F(ReferenceMovieTest, WithoutOpeningTheReferenceTheMovieStillDescribesIt) {
  CQTDataReader reader(OXLDataReader::Video_Data, "ref");
  ASSERT_EQ(reader.Open(WriteMovie(UrlDrefEntry("media.bin")).c_str(), false), 0);
  std::wstring name;
  EXPECT_TRUE(reader.IsReferenceTrack(OXLDataReader::Video_Data, 0, name));
  EXPECT_EQ(name, L"media.bin");
  EXPECT_EQ(reader.GetActiveTrackFileSize(), media.bytes.size());
}

namespace {

// A movie with one video frame and a local time-code sample holding `frame`.
std::string TimecodeMovie(TempDir& dir, uint32_t frame, const std::string& stsd, uint32_t videoTimescale,
                          uint32_t videoDuration) {
  std::string payload(100, 'v');
  payload += std::string{char(frame >> 24), char(frame >> 16), char(frame >> 8), char(frame)};
  QtWriterTrack video;
  video.timescale = videoTimescale;
  video.sampleDuration = videoDuration;
  video.sizes = {100};
  video.offsets = {0};
  video.stsd = VideoStsd("apcn", 1920, 1080);
  QtWriterTrack tc;
  tc.trackId = 2;
  tc.handler = "tmcd";
  tc.timescale = videoTimescale;
  tc.sampleDuration = videoDuration;
  tc.sizes = {4};
  tc.offsets = {100};
  tc.stsd = stsd;
  return dir.write("tc.mov", QtFile(payload, {video, tc}, true));
}

unsigned int StartTimecode(const std::string& path, unsigned int* system = nullptr) {
  CQTDataReader reader(OXLDataReader::Video_Data, "tc");
  EXPECT_EQ(reader.Open(path.c_str(), false), 0);
  unsigned int in = 0, out = 0, s = 0;
  EXPECT_EQ(reader.GetInOut(&in, &out, &s), 0);
  if (system) *system = s;
  return in;
}

}  // namespace

TEST(TimecodeTrack, LocalSampleInPal) {
  TempDir dir;
  unsigned int system = 0;
  EXPECT_EQ(StartTimecode(TimecodeMovie(dir, 0x19, TimecodeStsd(25, false), 25, 1), &system), 50u);
  EXPECT_EQ(system, 3u);
}

TEST(TimecodeTrack, DropFrameAtNtsc) {
  TempDir dir;
  unsigned int system = 0;
  // Frame 1800 at 29.97 drop frame is 00:01:00;02: 3600 fields.
  EXPECT_EQ(StartTimecode(TimecodeMovie(dir, 1800, TimecodeStsd(30, true), 30000, 1001), &system), 3600u);
  EXPECT_EQ(system, 4u);
}

TEST(TimecodeTrack, DescriptionTooShortLeavesNoTimecode) {
  TempDir dir;
  CapturingLogger log;
  EXPECT_EQ(StartTimecode(TimecodeMovie(dir, 0x19, TimecodeStsd(25, false, 49), 25, 1)), 0u);
  bool reported = false;
  for (const auto& line : log.lines()) reported |= line.text.find("Invalid tmcd atom size") != std::string::npos;
  EXPECT_TRUE(reported);
}

TEST(TimecodeTrack, UnsupportedFrameCountLeavesNoTimecode) {
  TempDir dir;
  EXPECT_EQ(StartTimecode(TimecodeMovie(dir, 0x19, TimecodeStsd(29, false), 25, 1)), 0u);
}
