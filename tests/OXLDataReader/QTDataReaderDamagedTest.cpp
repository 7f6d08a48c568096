// Every raw operation of the QuickTime reader answers a result code from every
// state; damaged, truncated and lying files end in clear codes, never in an
// exception, a crash, a hang or an allocation sized by a corrupt field.
#include <gtest/gtest.h>

#include <functional>
#include <set>
#include <tuple>

#include "OXLDataReader/QTDatareader.h"
#include "QTFileCases.h"
#include "support/ByteBuilder.h"
#include "support/CapturingLogger.h"
#include "support/FFmpegTools.h"
#include "support/MediaFixtureCache.h"
#include "support/QtMovieAtoms.h"
#include "support/QtMovieWriter.h"

using namespace oxltest;
using qtfiles::Get32;
using qtfiles::Put32;

namespace {

const unsigned int kBufferSize = 4 << 20;

// Offset of the first atom of `type` from `from` (its size field).
size_t AtomAt(const std::string& bytes, const char* type, size_t from = 0) {
  const size_t found = bytes.find(type, from);
  if (found == std::string::npos || found < 4) throw std::runtime_error(std::string("no atom ") + type);
  return found - 4;
}

class Host {
 public:
  explicit Host(OXLDataReader::DataType type) : reader(type, "contain"), buffer(kBufferSize) {}
  int Next(unsigned int capacity = kBufferSize) {
    unsigned char* data = buffer.data();
    return reader.GetNextData(data, capacity, &size, &time);
  }
  int Prev() {
    unsigned char* data = buffer.data();
    return reader.GetPrevData(data, kBufferSize, &size, &time);
  }
  CQTDataReader reader;
  std::vector<unsigned char> buffer;
  unsigned int size = 0;
  double time = 0;
};

void CallEveryOperation(Host& host, const std::string& state) {
  static const std::set<int> codes = {0, 1, 100, 101, 102, 104, -1};
  CQTDataReader& r = host.reader;
  unsigned char* none = nullptr;
  unsigned int in = 0, out = 0, system = 0, reached = 0;
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
      {"GetSampleInfos", [&] { return r.GetSampleInfos(&in, &out, &flag); }},
      {"SelectDataStream", [&] { return r.SelectDataStream(0); }},
  };
  for (const auto& operation : operations) {
    int result = 0;
    EXPECT_NO_THROW(result = operation.second()) << state << ": " << operation.first;
    EXPECT_TRUE(codes.count(result)) << state << ": " << operation.first << " answered " << result;
  }
  OXLDataReader::VIDEO_INFO info{};
  EXPECT_NO_THROW(r.GetVideoInfo(info)) << state;
  std::vector<MediaTool::AudioStream<const char*>> streams;
  EXPECT_NO_THROW(r.GetAudioInfos(streams)) << state;
}

}  // namespace

// A movie whose track of that kind cannot be opened (fragmented sound whose
// runs carry per-sample durations) leaves the reader in the state after a
// failed Open, which the operations must survive as well; so must a reader
// whose owner detached its file reader (as a context reader's owner does).
TEST(ContainedFailures, EveryOperationFromEveryStateAnswersACode) {
  if (!HasFFmpegTools()) GTEST_SKIP() << "no ffmpeg";
  CapturingLogger log;
  // 64 KiB+ intra frames (read straight into the caller's buffer) and PCM
  // sound; fragmented with an empty movie atom, no track with a sample in "moov".
  const MediaFixture* movies[] = {
      &GetMediaFixture("contain_mjpeg_large.mov", {"-f lavfi -i testsrc2=size=1280x720:rate=25:duration=0.4 -f lavfi "
                                                   "-i sine=duration=0.4 -c:v mjpeg -q:v 1 -c:a pcm_s16le"}),
      &GetMediaFixture("contain_empty_moov.mp4", {"-f lavfi -i testsrc2=size=160x120:rate=25:duration=1 -f lavfi -i "
                                                  "sine=duration=1 -c:v libx264 -g 10 -c:a aac -movflags frag_keyframe+empty_moov"})};
  for (auto type : {OXLDataReader::Video_Data, OXLDataReader::Audio_Data})
    for (const std::string& path : {movies[0]->path, movies[1]->path})
      for (const std::string state : {"fresh", "opened", "at end", "after a failed read", "after Close", "detached"}) {
        Host host(type);
        std::unique_ptr<COXLFileReader> detached;
        if (state != "fresh") {
          const int opened = host.reader.Open(path.c_str(), false);
          EXPECT_TRUE(opened == 0 || opened == -5) << path << " opened with " << opened;
        }
        if (state == "at end") host.reader.GoToDataEnd();
        if (state == "after a failed read") host.Next(1);
        if (state == "after Close") host.reader.Close();
        if (state == "detached") {
          detached.reset(host.reader.GetFileReader());
          EXPECT_EQ(host.reader.UseFileReader(nullptr), 0);
        }
        CallEveryOperation(host, path + " " + state);
      }
}

namespace {

class DamagedMovie : public testing::Test {
 protected:
  void SetUp() override {
    if (!HasFFmpegTools()) GTEST_SKIP() << "no ffmpeg";
    // Ten small frames, the movie atom before the media data.
    original = ReadFileBytes(GetMediaFixture("damaged_clip.mov", {"-f lavfi -i testsrc=size=64x48:rate=25:duration=0.4 "
                                     "-f lavfi -i sine=sample_rate=8000:duration=0.4 -c:v mjpeg -c:a pcm_s16be "
                                     "-movflags +faststart"}).path, 0, 1 << 24);
  }
  struct Outcome {
    int open = 0, frames = 0, last = 0;  // last: the result that ended the reading
  };
  // Opens and reads forwards, then backwards; bounded so that a reader that
  // never ends fails the test instead of hanging it. No window is sized by a
  // damaged field.
  Outcome OpenAndRead(const std::string& bytes, OXLDataReader::DataType type = OXLDataReader::Video_Data) {
    Outcome outcome;
    auto reader = qtfiles::OpenBytes(bytes, &outcome.open, type);
    if (outcome.open != 0) return outcome;
    EXPECT_LE(reader->GetBufferSize(), 64u << 20);
    outcome.frames = int(qtfiles::ReadForward(*reader, 10000, &outcome.last).size());
    int ignored = 0;
    EXPECT_LE(qtfiles::ReadBackward(*reader, 10000, &ignored).size(), 10000u);
    double t = 1e9;
    reader->GoToTimeOffset(t);
    return outcome;
  }
  std::string original;
  CapturingLogger log;  // keeps the expected error lines out of the test output
};

// A long-GOP track written by our writer: `count` samples of `size` bytes, only the first one sync.
std::string OneSyncMovie(uint32_t count, uint32_t size, bool allSync = false) {
  QtWriterTrack t;
  t.stsd = VideoStsd("avc1", 64, 48);
  for (uint32_t i = 0; i < count; ++i) t.sizes.push_back(size), t.offsets.push_back(uint64_t(i) * size);
  if (!allSync) t.syncSamples = {1};
  return QtFile(std::string(size_t(count) * size, 'x'), {t}, true);
}

}  // namespace

// Cut in the movie atom before its user data: no movie (2) or a damaged one
// (3); in the user data it may open; after it, the frames that are whole.
// Noise is no movie either.
TEST_F(DamagedMovie, EveryTruncationEndsCleanly) {
  const size_t moov = AtomAt(original, "moov");
  const size_t moovEnd = moov + Get32(original, moov);
  const size_t tracksEnd = AtomAt(original, "udta", moov);  // FFmpeg writes its user data after the tracks
  for (size_t cut = 0; cut <= original.size(); cut += (cut < moovEnd + 64 ? 7 : 997)) {
    const Outcome outcome = OpenAndRead(original.substr(0, cut));
    if (cut < tracksEnd) {
      EXPECT_TRUE(outcome.open == 2 || outcome.open == 3) << "cut at " << cut << ": " << outcome.open;
    } else if (cut >= moovEnd || outcome.open == 0) {
      EXPECT_EQ(outcome.open, 0) << "cut at " << cut;
      EXPECT_LE(outcome.frames, 10);
      EXPECT_EQ(outcome.last, 100) << "cut at " << cut;
    }
  }
  EXPECT_EQ(OpenAndRead(original).frames, 10);
  std::string noise(100000, '\0');
  for (size_t i = 0; i < noise.size(); ++i) noise[i] = static_cast<char>((i * 2654435761u) >> 13);
  EXPECT_EQ(OpenAndRead(noise).open, 2);
}

// One field set to a lying value: the open result (kAny: whatever code), and
// for readers that open, the frames delivered (-1: not checked) and the
// result that ended the reading.
TEST_F(DamagedMovie, LyingFieldsGiveClearResults) {
  const int kAny = -99;
  struct Damage {
    const char* name;
    const char* atom;
    size_t at;  // from the atom's start
    uint32_t value;
    int open, frames, last = 100;
    OXLDataReader::DataType type = OXLDataReader::Video_Data;
  };
  const Damage damages[] = {
      {"movie atom larger than the file", "moov", 0, 0x7FFFFFFFu, 3, 0},
      {"track larger than its movie", "trak", 0, 0x7FFFFFF0u, 3, 0},
      {"zero-sized child ends the movie atom", "mvhd", 0, 0, 3, 0},
      {"two descriptions, one written", "stsd", 12, 2, 3, 0},
      {"first chunk past the end of the file", "stco", 16, 0x7FFFFFF0u, 0, 0},
      {"sample count beyond the table", "stsz", 16, 0x40000000u, kAny, -1},
      {"time entries beyond the table", "stts", 12, 0x40000000u, kAny, -1},
      {"chunk entries beyond the table", "stsc", 12, 0x40000000u, kAny, -1},
      {"a frame of no bytes is delivered empty", "stsz", 20, 0, 0, 10},
      {"a frame claiming 4 GiB is not read", "stsz", 20, 0xFFFFFFF0u, 0, 0, 101},
      {"unknown handler: no video track", "hdlr", 16, 0x78787878u, -5, 0},
      {"unknown handler: the sound track stays", "hdlr", 16, 0x78787878u, 0, -1, 100, OXLDataReader::Audio_Data},
  };
  for (const Damage& d : damages) {
    SCOPED_TRACE(d.name);
    std::string bytes = original;
    const size_t at = AtomAt(bytes, d.atom, std::string(d.atom) == "hdlr" ? AtomAt(bytes, "trak") : 0) + d.at;
    if (std::string(d.atom) == "stco")
      for (uint32_t i = 0; i < Get32(bytes, at - 4); ++i) Put32(bytes, at + 4 * i, d.value);
    else
      Put32(bytes, at, d.value);
    const Outcome outcome = OpenAndRead(bytes, d.type);
    EXPECT_EQ(outcome.open, d.open == kAny ? outcome.open : d.open);
    if (outcome.open != 0) continue;
    EXPECT_EQ(outcome.last, d.last);
    EXPECT_LE(outcome.frames, 10);
    EXPECT_EQ(outcome.frames, d.frames >= 0 ? d.frames : outcome.frames);
  }
}

TEST_F(DamagedMovie, SizeTableClaimingBillionsOfSamplesIsBoundedByTheOtherTables) {
  std::string bytes = OneSyncMovie(100, 10);
  Put32(bytes, AtomAt(bytes, "stsz") + 12, 10);           // one size for all samples...
  Put32(bytes, AtomAt(bytes, "stsz") + 16, 1986228324u);  // ...and a count no other table describes
  auto reader = qtfiles::OpenBytes(bytes);
  EXPECT_EQ(reader->GoToDataEnd(), 0);
  const auto last = qtfiles::ReadBackward(*reader, 5);
  ASSERT_EQ(last.size(), 1u);
  EXPECT_EQ(last[0].bytes.size(), 1000u);  // the one group: the sync sample and the 99 after it
  double t = 2.0;  // sample 50 of 25 per second
  EXPECT_EQ(reader->GoToTimeOffset(t), 0);
  EXPECT_EQ(t, 0.0);  // back to the only sync sample
}

// Two billion one-byte samples that every table agrees on, one sync sample:
// legal, and every search for a sync sample crosses them all.
TEST_F(DamagedMovie, DistantSyncSampleIsFoundWithoutWalkingTheSamples) {
  std::string bytes = OneSyncMovie(1, 64);
  const uint32_t count = 2000000000u;
  using Edit = std::tuple<const char*, size_t, uint32_t>;
  for (auto [atom, at, value] : {Edit{"stts", 16, count}, Edit{"stsc", 20, count}, Edit{"stsz", 12, 1u},
                                 Edit{"stsz", 16, count}, Edit{"mdhd", 24, count} /* the media lasts as long */})
    Put32(bytes, AtomAt(bytes, atom) + at, value);
  auto reader = qtfiles::OpenBytes(bytes);
  double t = 1e7;  // sample 250,000,000
  EXPECT_EQ(reader->GoToTimeOffset(t), 0);
  EXPECT_EQ(t, 0.0);
  EXPECT_EQ(reader->GoToDataEnd(), 0);
  EXPECT_TRUE(qtfiles::ReadBackward(*reader, 0).empty());  // the group from sample 0 runs past the end of the file
  t = 0;
  EXPECT_EQ(reader->GoToTimeOffset(t), 0);
  EXPECT_EQ(reader->SkipNextData(), 0);
  EXPECT_TRUE(qtfiles::ReadForward(*reader, 0).empty());  // no sync sample after the first
}

TEST_F(DamagedMovie, ShortTimeOrCompositionTableOrUnderstatedMovieAtomEndsTheTrack) {
  std::string shortTimes = OneSyncMovie(20, 10);
  Put32(shortTimes, AtomAt(shortTimes, "stts") + 16, 5);  // times for 5 of the 20 samples
  std::string understated = OneSyncMovie(10, 10);
  Put32(understated, AtomAt(understated, "moov"), Get32(understated, AtomAt(understated, "moov")) - 6);
  std::string shortCtts = OneSyncMovie(20, 10, true);  // every sample sync: one sample a delivery
  // A one-entry "ctts" for 5 samples, the parents grown by its size.
  const std::string ctts = FullAtom("ctts", 0, 0, std::string("\0\0\0\1\0\0\0\5\0\0\0\0", 12));
  shortCtts.insert(AtomAt(shortCtts, "stsz"), ctts);
  for (const char* parent : {"moov", "trak", "mdia", "minf", "stbl"})
    Put32(shortCtts, AtomAt(shortCtts, parent), Get32(shortCtts, AtomAt(shortCtts, parent)) + uint32_t(ctts.size()));
  using Case = std::tuple<std::string, uint32_t, size_t>;  // the movie, its deliveries' size and count
  for (auto [bytes, size, count] : {Case{shortTimes, 50, 1}, Case{understated, 100, 1}, Case{shortCtts, 10, 5}}) {
    auto reader = qtfiles::OpenBytes(bytes);
    const auto read = qtfiles::ReadForward(*reader, 10);
    ASSERT_EQ(read.size(), count);
    for (const auto& d : read) EXPECT_EQ(d.bytes.size(), size);
    EXPECT_TRUE(qtfiles::ReadForward(*reader, 0).empty());  // the position stayed on the sample it could not read
  }
}
