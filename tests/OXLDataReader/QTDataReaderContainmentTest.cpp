// Failure containment of the QuickTime reader: every raw reading and
// positioning operation, called from every state a host can reach, answers a
// result code; damaged tables and a missing file reader never escape as an
// exception, a crash or a walk as long as a count the file claims.
#include <gtest/gtest.h>

#include <functional>
#include <set>
#include <string>
#include <vector>

#include "OXLDataReader/OXL_QuickTime/QTUtils.h"
#include "OXLDataReader/QTDatareader.h"
#include "support/CapturingLogger.h"
#include "support/FFmpegTools.h"
#include "support/MediaFixtureCache.h"
#include "support/QtMovieAtoms.h"
#include "support/QtMovieWriter.h"
#include "support/TempDir.h"

using namespace oxltest;

namespace {

const unsigned int kBufferSize = 4 << 20;

const MediaFixture& Fixture(const std::string& name, const std::string& arguments) {
  return GetMediaFixture(name, {arguments});
}

// 64 KiB+ intra frames (read straight into the caller's buffer), PCM sound.
const MediaFixture& LargeFrameMovie() {
  return Fixture("contain_mjpeg_large.mov",
                 "-f lavfi -i testsrc2=size=1280x720:rate=25:duration=0.4 -f lavfi -i sine=duration=0.4 "
                 "-c:v mjpeg -q:v 1 -c:a pcm_s16le");
}
// Long GOP with B-frames and AAC sound.
const MediaFixture& LongGopMovie() {
  return Fixture("contain_h264_aac.mp4",
                 "-f lavfi -i testsrc2=size=160x120:rate=25:duration=1 -f lavfi -i sine=duration=1 "
                 "-c:v libx264 -g 10 -bf 2 -c:a aac");
}
// Fragmented with an empty movie atom: every track has no sample in "moov".
const MediaFixture& EmptyMoovMovie() {
  return Fixture("contain_empty_moov.mp4",
                 "-f lavfi -i testsrc2=size=160x120:rate=25:duration=1 -f lavfi -i sine=duration=1 "
                 "-c:v libx264 -g 10 -c:a aac -movflags frag_keyframe+empty_moov");
}

const std::set<int> kResultCodes = {0, 1, 100, 101, 102, 104, -1};

struct Outcome {
  int result;
  unsigned int size;
};

class Host {
 public:
  explicit Host(OXLDataReader::DataType type) : reader(type, "contain"), buffer(kBufferSize) {}
  int Next(unsigned int capacity = kBufferSize) {
    unsigned char* data = buffer.data();
    return reader.GetNextData(data, capacity, &size, &time);
  }
  int Prev(unsigned int capacity = kBufferSize) {
    unsigned char* data = buffer.data();
    return reader.GetPrevData(data, capacity, &size, &time);
  }
  CQTDataReader reader;
  std::vector<unsigned char> buffer;
  unsigned int size = 0;
  double time = 0;
};

// Every raw operation once; each must answer a documented code and throw nothing.
void CallEveryOperation(Host& host, const std::string& state) {
  CQTDataReader& r = host.reader;
  unsigned char* none = nullptr;
  unsigned int in = 0, out = 0, system = 0, reached = 0, first = 0, second = 0;
  unsigned char flag = 0;
  double seconds = 0.3, far = 1e9, negative = -5;
  const std::vector<std::pair<const char*, std::function<int()>>> operations = {
      {"GetNextData", [&] { return host.Next(); }},
      {"GetNextData small", [&] { return host.Next(1); }},
      {"GetNextData null", [&] { return r.GetNextData(none, kBufferSize, &host.size, &host.time); }},
      {"GetPrevData", [&] { return host.Prev(); }},
      {"SkipNextData", [&] { return r.SkipNextData(); }},
      {"SkipPrevData", [&] { return r.SkipPrevData(); }},
      {"SkipPrevData twice", [&] { return r.SkipPrevData(); }},
      {"GetNextData after skips", [&] { return host.Next(); }},
      {"GoToTimeOffset", [&] { return r.GoToTimeOffset(seconds); }},
      {"GoToTimeOffset far", [&] { return r.GoToTimeOffset(far); }},
      {"GoToTimeOffset negative", [&] { return r.GoToTimeOffset(negative); }},
      {"GoToFieldOffset", [&] { return r.GoToFieldOffset(7, &reached); }},
      {"GoToDataEnd", [&] { return r.GoToDataEnd(); }},
      {"GetPrevData at end", [&] { return host.Prev(); }},
      {"GoToDataStart", [&] { return r.GoToDataStart(); }},
      {"GetInOut", [&] { return r.GetInOut(&in, &out, &system); }},
      {"GetSampleInfos", [&] { return r.GetSampleInfos(&first, &second, &flag); }},
      {"SelectDataStream", [&] { return r.SelectDataStream(0); }},
  };
  for (const auto& operation : operations) {
    int result = 0;
    EXPECT_NO_THROW(result = operation.second()) << state << ": " << operation.first;
    EXPECT_TRUE(kResultCodes.count(result)) << state << ": " << operation.first << " answered " << result;
  }
  OXLDataReader::VIDEO_INFO info{};
  EXPECT_NO_THROW(r.GetVideoInfo(info)) << state;
  std::vector<MediaTool::AudioStream<const char*>> streams;
  EXPECT_NO_THROW(r.GetAudioInfos(streams)) << state;
}

// Brings a fresh host into `state` on `path`. A movie whose track of that
// kind cannot be opened (fragmented sound whose runs carry per-sample
// durations) leaves the reader in the state after a failed Open, which the
// operations must survive as well.
void Enter(Host& host, const std::string& path, const std::string& state) {
  if (state == "fresh") return;
  const int opened = host.reader.Open(path.c_str(), false);
  EXPECT_TRUE(opened == 0 || opened == -5) << path << " opened with " << opened;
  if (state == "at start") host.reader.GoToDataStart();
  if (state == "at end") host.reader.GoToDataEnd();
  if (state == "after a failed read") host.Next(1);
  if (state == "after Close") host.reader.Close();
}

class CallSequenceTest : public testing::TestWithParam<OXLDataReader::DataType> {
 protected:
  CapturingLogger log;
};

}  // namespace

TEST_P(CallSequenceTest, EveryOperationFromEveryStateAnswersACode) {
  if (!HasFFmpegTools()) GTEST_SKIP() << "no ffmpeg";
  const std::vector<std::string> paths = {LargeFrameMovie().path, LongGopMovie().path, EmptyMoovMovie().path};
  for (const std::string& path : paths) {
    for (const char* state : {"fresh", "opened", "at start", "at end", "after a failed read", "after Close"}) {
      Host host(GetParam());
      Enter(host, path, state);
      CallEveryOperation(host, path + " " + state);
    }
    // A context reader's owner detaches the file reader and keeps it.
    Host host(GetParam());
    host.reader.Open(path.c_str(), false);
    std::unique_ptr<COXLFileReader> detached(host.reader.GetFileReader());
    EXPECT_EQ(host.reader.UseFileReader(nullptr), 0);
    CallEveryOperation(host, path + " after UseFileReader(nullptr)");
  }
}

INSTANTIATE_TEST_SUITE_P(VideoAndSound, CallSequenceTest,
                         testing::Values(OXLDataReader::Video_Data, OXLDataReader::Audio_Data),
                         [](const testing::TestParamInfo<OXLDataReader::DataType>& info) {
                           return info.param == OXLDataReader::Video_Data ? std::string("Video") : std::string("Sound");
                         });

TEST(ReaderWithoutFileReader, ReadingOnAfterContiguousLargeFramesAnswersOne) {
  if (!HasFFmpegTools()) GTEST_SKIP() << "no ffmpeg";
  const MediaFixture& movie = LargeFrameMovie();
  const auto packets = movie.probe.Packets("v:0");
  ASSERT_GE(packets.size(), 3u);
  ASSERT_GE(packets[0].size, 64u << 10) << "the frames must be read past the window";
  for (bool close : {true, false}) {
    Host host(OXLDataReader::Video_Data);
    ASSERT_EQ(host.reader.Open(movie.path.c_str(), false), 0);
    ASSERT_EQ(host.Next(), 0);
    ASSERT_EQ(host.Next(), 0);  // contiguous: the next frame starts where this read ended
    std::unique_ptr<COXLFileReader> detached;
    if (close) {
      EXPECT_EQ(host.reader.Close(), 0);
    } else {
      detached.reset(host.reader.GetFileReader());
      EXPECT_EQ(host.reader.UseFileReader(nullptr), 0);
    }
    EXPECT_EQ(host.Next(), 1);
    EXPECT_EQ(host.Prev(), 1);
    // The position did not move: a reattached file reader delivers the third frame.
    if (!close) {
      host.reader.UseFileReader(detached.release());
      host.reader.GoToFieldOffset(4, nullptr);  // frame 2 of 25 fps, two fields a frame
      ASSERT_EQ(host.Next(), 0);
      EXPECT_EQ(Md5Hash(std::string(host.buffer.begin(), host.buffer.begin() + host.size)), packets[2].dataHash);
      delete host.reader.GetFileReader();
      host.reader.UseFileReader(nullptr);
    }
  }
}

TEST(ContainedFailures, SkipPrevAtTheFirstSampleThenReadDeliversTheFirstSample) {
  if (!HasFFmpegTools()) GTEST_SKIP() << "no ffmpeg";
  const MediaFixture& movie = LongGopMovie();
  const auto packets = movie.probe.Packets("a:0");
  Host host(OXLDataReader::Audio_Data);
  ASSERT_EQ(host.reader.Open(movie.path.c_str(), false), 0);
  // The edit list starts playing after the encoder's priming samples: step
  // back over them and once more, past the first sample.
  int skips = 0;
  while (host.reader.SkipPrevData() == 0 && skips < 10) ++skips;
  EXPECT_LT(skips, 10);
  EXPECT_EQ(host.reader.SkipPrevData(), 100);
  ASSERT_EQ(host.Next(), 0);
  EXPECT_EQ(Md5Hash(std::string(host.buffer.begin(), host.buffer.begin() + host.size)), packets[0].dataHash);
}

TEST(ContainedFailures, EmptyMovieAtomOpensAsEmptyTracks) {
  if (!HasFFmpegTools()) GTEST_SKIP() << "no ffmpeg";
  CapturingLogger log;
  // The fragmented movie cut before its first fragment: tracks without samples.
  const std::string bytes = ReadFileBytes(EmptyMoovMovie().path, 0, 1 << 20);
  const size_t moof = bytes.find("moof");
  ASSERT_NE(moof, std::string::npos);
  TempDir dir;
  const std::string path = dir.write("empty.mp4", bytes.substr(0, moof - 4));
  for (auto type : {OXLDataReader::Video_Data, OXLDataReader::Audio_Data}) {
    Host host(type);
    ASSERT_EQ(host.reader.Open(path.c_str(), false), 0);
    EXPECT_EQ(host.Next(), 100);
    EXPECT_EQ(host.reader.GoToDataEnd(), 0);
    EXPECT_EQ(host.Prev(), 100);
  }
}

namespace {

// A long-GOP movie written by our writer: `count` samples of `size` bytes,
// only the first one sync.
QtWriterTrack OneSyncTrack(uint32_t count, uint32_t size) {
  QtWriterTrack t;
  t.stsd = VideoStsd("avc1", 64, 48);
  t.width = 64;
  t.height = 48;
  for (uint32_t i = 0; i < count; ++i) {
    t.sizes.push_back(size);
    t.offsets.push_back(uint64_t(i) * size);
  }
  t.syncSamples = {1};
  return t;
}

size_t AtomAt(const std::string& bytes, const char* type) {
  const size_t found = bytes.find(type);
  if (found == std::string::npos || found < 4) throw std::runtime_error(std::string("no atom ") + type);
  return found - 4;
}

void Put32(std::string& bytes, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) bytes[at + i] = char(v >> (24 - 8 * i));
}

class DamagedTablesTest : public testing::Test {
 protected:
  std::string Write(const std::string& bytes) { return dir.write("movie.mov", bytes); }
  TempDir dir;
  CapturingLogger log;
};

}  // namespace

TEST_F(DamagedTablesTest, SizeTableClaimingBillionsOfSamplesIsBoundedByTheOtherTables) {
  std::string bytes = QtFile(std::string(100 * 10, 'x'), {OneSyncTrack(100, 10)}, true);
  const size_t stsz = AtomAt(bytes, "stsz");
  Put32(bytes, stsz + 12, 10);           // one size for all samples...
  Put32(bytes, stsz + 16, 1986228324u);  // ...and a count no other table describes
  Host host(OXLDataReader::Video_Data);
  ASSERT_EQ(host.reader.Open(Write(bytes).c_str(), false), 0);
  EXPECT_EQ(host.reader.GoToDataEnd(), 0);
  ASSERT_EQ(host.Prev(), 0);
  EXPECT_EQ(host.size, 1000u);  // the one group: the sync sample and the 99 after it
  EXPECT_EQ(host.Prev(), 100);
  double t = 2.0;  // sample 50 of 25 per second
  EXPECT_EQ(host.reader.GoToTimeOffset(t), 0);
  EXPECT_EQ(t, 0.0);  // back to the only sync sample
}

TEST_F(DamagedTablesTest, DistantSyncSampleIsFoundWithoutWalkingTheSamples) {
  // Two billion one-byte samples that every table agrees on, one sync sample:
  // legal, and every search for a sync sample crosses them all.
  std::string bytes = QtFile(std::string(64, 'x'), {OneSyncTrack(1, 1)}, true);
  const uint32_t count = 2000000000u;
  Put32(bytes, AtomAt(bytes, "stts") + 16, count);
  Put32(bytes, AtomAt(bytes, "stsc") + 20, count);
  const size_t stsz = AtomAt(bytes, "stsz");
  Put32(bytes, stsz + 12, 1);
  Put32(bytes, stsz + 16, count);
  Put32(bytes, AtomAt(bytes, "mdhd") + 24, count);  // the media lasts as long
  Host host(OXLDataReader::Video_Data);
  ASSERT_EQ(host.reader.Open(Write(bytes).c_str(), false), 0);
  double t = 1e7;  // sample 250,000,000
  EXPECT_EQ(host.reader.GoToTimeOffset(t), 0);
  EXPECT_EQ(t, 0.0);
  EXPECT_EQ(host.reader.GoToDataEnd(), 0);
  EXPECT_EQ(host.Prev(), 100);  // the group from sample 0 runs past the end of the file
  t = 0;
  EXPECT_EQ(host.reader.GoToTimeOffset(t), 0);
  EXPECT_EQ(host.reader.SkipNextData(), 0);
  EXPECT_EQ(host.Next(), 100);  // no sync sample after the first
}

TEST_F(DamagedTablesTest, TimeTableShorterThanTheSizeTableEndsTheTrackEarly) {
  std::string bytes = QtFile(std::string(20 * 10, 'x'), {OneSyncTrack(20, 10)}, true);
  Put32(bytes, AtomAt(bytes, "stts") + 16, 5);  // times for 5 of the 20 samples
  Host host(OXLDataReader::Video_Data);
  ASSERT_EQ(host.reader.Open(Write(bytes).c_str(), false), 0);
  ASSERT_EQ(host.Next(), 0);
  EXPECT_EQ(host.size, 50u);
  EXPECT_EQ(host.Next(), 100);
}

TEST_F(DamagedTablesTest, CompositionTableShorterThanTheSamplesIsContained) {
  QtWriterTrack track = OneSyncTrack(20, 10);
  track.syncSamples.clear();  // every sample is sync: one sample a delivery
  std::string bytes = QtFile(std::string(20 * 10, 'x'), {track}, true);
  // A one-entry "ctts" for 5 samples, in place of a free atom the size of it.
  const std::string ctts = std::string("\0\0\0\x18" "ctts", 8) + std::string(4, '\0') + std::string("\0\0\0\x01", 4) +
                           std::string("\0\0\0\x05\0\0\0\0", 8);
  const size_t stsz = AtomAt(bytes, "stsz");
  bytes.insert(stsz, ctts);
  for (const char* parent : {"moov", "trak", "mdia", "minf", "stbl"}) {
    const size_t at = AtomAt(bytes, parent);
    Put32(bytes, at, QTUtils::Read32(reinterpret_cast<const unsigned char*>(bytes.data()) + at) + 24);
  }
  Host host(OXLDataReader::Video_Data);
  ASSERT_EQ(host.reader.Open(Write(bytes).c_str(), false), 0);
  int delivered = 0, result = 0;
  for (int i = 0; i < 30 && (result = host.Next()) == 0; ++i) ++delivered;
  EXPECT_EQ(delivered, 5);
  EXPECT_EQ(result, 100);
  EXPECT_EQ(host.Next(), 100);  // the position stayed on the sample it could not read
}

TEST_F(DamagedTablesTest, MovieAtomUnderstatingItsLastTrackStillOpens) {
  std::string bytes = QtFile(std::string(10 * 10, 'x'), {OneSyncTrack(10, 10)}, true);
  const size_t moov = AtomAt(bytes, "moov");
  ASSERT_EQ(bytes.rfind("trak") > bytes.rfind("mvhd"), true) << "the writer puts the track last";
  Put32(bytes, moov, QTUtils::Read32(reinterpret_cast<const unsigned char*>(bytes.data()) + moov) - 6);
  Host host(OXLDataReader::Video_Data);
  ASSERT_EQ(host.reader.Open(Write(bytes).c_str(), false), 0);
  ASSERT_EQ(host.Next(), 0);
  EXPECT_EQ(host.size, 100u);
}

TEST_F(DamagedTablesTest, UnreadableSampleDescriptionMakesTheMovieUnreadable) {
  QtWriterTrack track = OneSyncTrack(10, 10);
  Put32(track.stsd, 12, 2);  // two entries, one written
  Host host(OXLDataReader::Video_Data);
  EXPECT_EQ(host.reader.Open(Write(QtFile(std::string(100, 'x'), {track}, true)).c_str(), false), 3);
  bool logged = false;
  for (const LogLine& line : log.lines()) logged = logged || line.text.find("movie atom of") != std::string::npos;
  EXPECT_TRUE(logged);
}
