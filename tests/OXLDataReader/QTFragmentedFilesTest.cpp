// Fragmented movies made by FFmpeg: how fragments are found (random-access
// table read lazily, or a scan), positioning among fragments, and damaged
// fragment structures. Byte-exact reading forwards and backwards is checked
// with every other movie in the file table (QTDataReaderFilesTest).
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <utility>
#include <vector>

#include "OXLDataReader/OXL_QuickTime/QTUtils.h"
#include "OXLDataReader/QTDatareader.h"
#include "OXLFileAccess/SimpleFileReader.h"
#include "QTFileCases.h"
#include "support/ByteBuilder.h"
#include "support/CapturingLogger.h"
#include "support/ErrorText.h"
#include "support/QtMovieAtoms.h"
#include "support/TempDir.h"

using namespace oxltest;
using namespace qtfiles;

namespace {

const char* kPicture = "-f lavfi -i testsrc=size=64x48:rate=25 -t 1.5 -c:v libx264 -bf 2 -g 12 -pix_fmt yuv420p ";
// Frames of some kilobytes, so that fragments lie beyond the first window the reader loads.
const char* kLargerPicture =
    "-f lavfi -i testsrc2=size=320x240:rate=25 -t 1.5 -c:v libx264 -crf 5 -bf 2 -g 12 -pix_fmt yuv420p ";

const MediaFixture& Fragmented(const std::string& name, const std::string& flags) {
  return GetMediaFixture(name, {kPicture + flags});
}
const MediaFixture& WithTable() { return Fragmented("frag_table.mp4", "-movflags frag_keyframe+empty_moov"); }
const MediaFixture& WithoutTable() {
  return Fragmented("frag_scan.mp4", "-movflags frag_keyframe+empty_moov+skip_trailer");
}

uint32_t Get32(const std::string& bytes, size_t at) { return QTUtils::Read32(Data(bytes) + at); }
void Put32(std::string& bytes, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) bytes[at + i] = char(v >> (24 - 8 * i));
}

// Offset and size of every top-level atom of `type`.
std::vector<std::pair<size_t, uint32_t>> TopLevel(const std::string& bytes, const char* type) {
  std::vector<std::pair<size_t, uint32_t>> found;
  for (size_t at = 0; at + 8 <= bytes.size();) {
    const uint32_t size = Get32(bytes, at);
    if (size < 8) break;
    if (bytes.compare(at + 4, 4, type) == 0) found.emplace_back(at, size);
    at += size;
  }
  return found;
}

// Remembers every byte range read.
class RecordingReader : public SimpleFileReader {
 public:
  int ReadFile(void* buffer, unsigned int count, unsigned int* read) override {
    const unsigned long at = GetFilePointer();
    const int result = SimpleFileReader::ReadFile(buffer, count, read);
    if (read && *read) ranges.emplace_back(at, at + *read);
    return result;
  }
  bool Touched(size_t begin, size_t end) const {
    return std::any_of(ranges.begin(), ranges.end(), [&](auto r) { return r.first < end && begin < r.second; });
  }
  std::vector<std::pair<unsigned long, unsigned long>> ranges;
};

class FragmentedMovieTest : public testing::Test {
 protected:
  void SetUp() override {
    if (!HasFFmpegTools() || !HasEncoder("libx264")) GTEST_SKIP() << "no ffmpeg with libx264";
  }
  std::string Write(const std::string& name, const std::string& bytes) { return dir.write(name, bytes); }
  // Every video delivery from the start, of the movie at `path`.
  std::vector<Delivery> ReadAll(const std::string& path, int* openResult = nullptr) {
    CQTDataReader reader(OXLDataReader::Video_Data, "fragments");
    const int opened = reader.Open(path.c_str(), false);
    if (openResult) *openResult = opened;
    if (opened != 0) return {};
    return ReadForward(reader, 100000);
  }
  // The movie at `path` delivers what the intact movie with a table does.
  void ExpectWholeMovie(const std::string& path) {
    int opened = -1;
    const auto read = ReadAll(path, &opened);
    EXPECT_EQ(opened, 0);
    const auto whole = ReadAll(WithTable().path);
    ASSERT_EQ(read.size(), whole.size());
    for (size_t i = 0; i < read.size(); ++i) EXPECT_EQ(read[i].bytes, whole[i].bytes) << i;
  }
  bool Logged(const std::string& text) const {
    for (const LogLine& line : log.lines())
      if (line.text.find(text) != std::string::npos) return true;
    return false;
  }

  TempDir dir;
  CapturingLogger log;
};

}  // namespace

TEST_F(FragmentedMovieTest, WithATableOpeningReadsNoFragment) {
  const MediaFixture& withTable = GetMediaFixture("frag_table_large.mp4", {kLargerPicture + std::string("-movflags frag_keyframe+empty_moov")});
  const MediaFixture& withoutTable = GetMediaFixture(
      "frag_scan_large.mp4", {kLargerPicture + std::string("-movflags frag_keyframe+empty_moov+skip_trailer")});
  const auto moofs = TopLevel(ReadFileBytes(withTable.path, 0, 1 << 24), "moof");
  ASSERT_GE(moofs.size(), 3u);
  ASSERT_GT(moofs[1].first, 8192u) << "the later fragments must lie beyond the reader's first window";
  for (const MediaFixture* movie : {&withTable, &withoutTable}) {
    auto* file = new RecordingReader();
    ASSERT_EQ(file->OpenFile(movie->path.c_str(), 0), 0);
    CQTDataReader reader(OXLDataReader::Video_Data, "lazy");
    ASSERT_EQ(reader.Open(file, false), 0);
    const std::string own = ReadFileBytes(movie->path, 0, 1 << 24);
    size_t touched = 0;
    const auto ownMoofs = TopLevel(own, "moof");
    for (size_t i = 1; i < ownMoofs.size(); ++i)
      touched += file->Touched(ownMoofs[i].first, ownMoofs[i].first + ownMoofs[i].second) ? 1 : 0;
    if (movie == &withTable)
      EXPECT_EQ(touched, 0u) << "the table lists the fragments; each is read when first needed";
    else
      EXPECT_EQ(touched, ownMoofs.size() - 1) << "without a table every fragment is scanned";
  }
}

// A time lands on the sync sample of the fragment that decodes it, and the
// next delivery is that fragment's group, whichever way fragments are found.
TEST_F(FragmentedMovieTest, TimesLandOnTheSyncSampleOfTheirFragment) {
  for (const MediaFixture* movie : {&WithTable(), &WithoutTable()}) {
    const auto expected = SyncDeliveries(*movie, ExpectedVideoDeliveries(*movie, true));
    const auto& packets = movie->probe.Packets("v:0");
    const auto& stream = movie->probe.Stream("v:0");
    CQTDataReader reader(OXLDataReader::Video_Data, "seek");
    ASSERT_EQ(reader.Open(movie->path.c_str(), false), 0);
    for (size_t g = 0; g < expected.size(); ++g) {
      const double start = Seconds(packets[expected[g].first].dts.value_or(0), stream);
      const double frames = double(expected[g].count);
      for (double into : {0.0, 0.3 / 25, (frames - 0.7) / 25}) {
        double t = start + into;
        SCOPED_TRACE(movie->path + " at " + std::to_string(t));
        ASSERT_EQ(reader.GoToTimeOffset(t), 0);
        EXPECT_NEAR(t, start, 1e-6);
        const auto next = ReadForward(reader, 0);
        ASSERT_EQ(next.size(), 1u);
        EXPECT_EQ(next[0].bytes, expected[g].bytes);
      }
    }
    double end = 1e6;
    ASSERT_EQ(reader.GoToTimeOffset(end), 0);
    const auto last = ReadBackward(reader, 0);
    ASSERT_EQ(last.size(), 1u);
    EXPECT_EQ(last[0].bytes, expected.back().bytes);
  }
}

TEST_F(FragmentedMovieTest, DamagedRandomAccessTablesLeaveTheScanInCharge) {
  const std::string original = ReadFileBytes(WithTable().path, 0, 1 << 24);
  ExpectWholeMovie(WithoutTable().path);  // table and scan deliver the same frames
  const size_t mfra = TopLevel(original, "mfra").at(0).first;
  const size_t tfra = original.find("tfra", mfra) - 4;
  struct Damage {
    const char* name;
    size_t at;
    uint32_t value;
    const char* logged;
  };
  const Damage damages[] = {
      {"mfro past the start", original.size() - 4, uint32_t(original.size() + 100), "The file is too small ("},
      {"mfro not at an mfra", original.size() - 4, uint32_t(original.size() - mfra + 8),
       "No MovieFragmentRandomAccessBox found"},
      {"tfra size against its count", tfra + 20, Get32(original, tfra + 20) + 1, "invalid tfra atom"},
      {"no mfro", original.size() - 12, 0x6D667278u /* "mfrx" */, "No MovieFragmentRandomAccessOffsetBox found"},
  };
  for (const Damage& d : damages) {
    SCOPED_TRACE(d.name);
    std::string bytes = original;
    Put32(bytes, d.at, d.value);
    ExpectWholeMovie(Write("damaged.mp4", bytes));
    EXPECT_TRUE(Logged(d.logged));
  }
}

// A table of 4-byte fragment, run and sample numbers: 28-byte version-1
// entries in place of FFmpeg's 19-byte ones.
TEST_F(FragmentedMovieTest, RandomAccessEntriesOfEveryWidth) {
  const std::string original = ReadFileBytes(WithTable().path, 0, 1 << 24);
  const size_t mfra = TopLevel(original, "mfra").at(0).first;
  const size_t tfra = original.find("tfra", mfra) - 4;
  const uint32_t count = Get32(original, tfra + 20);
  ByteBuilder entries;
  for (uint32_t i = 0; i < count; ++i) {
    const size_t entry = tfra + 24 + 19 * i;
    entries.bytes(original.substr(entry, 16)).u32(i + 1).u32(1).u32(1);
  }
  const std::string newTfra =
      FullAtom("tfra", 1, 0, ByteBuilder().u32(Get32(original, tfra + 12)).u32(0x3F).u32(count).bytes(entries));
  ASSERT_EQ(newTfra.size(), 24 + 28 * count);
  const std::string mfro = FullAtom("mfro", 0, 0, ByteBuilder().u32(uint32_t(8 + newTfra.size() + 16)));
  ExpectWholeMovie(Write("wide.mp4", original.substr(0, mfra) + Atom("mfra", newTfra + mfro)));
  EXPECT_FALSE(Logged("invalid tfra atom"));
}

TEST_F(FragmentedMovieTest, DamagedFragmentsEndTheReadingWithACode) {
  const std::string scanned = ReadFileBytes(WithoutTable().path, 0, 1 << 24);
  const std::string listed = ReadFileBytes(WithTable().path, 0, 1 << 24);
  const auto whole = ReadAll(WithTable().path);
  const auto firstGroupOnly = [&](const std::vector<Delivery>& read) {
    return read.size() == 1 && read[0].bytes == whole[0].bytes;
  };
  // Cut inside the second fragment: the scan stops before it, as it would
  // while the fragment is still being written.
  const auto moofs = TopLevel(scanned, "moof");
  int opened = -1;
  auto read = ReadAll(Write("cut.mp4", scanned.substr(0, moofs[1].first + moofs[1].second / 2)), &opened);
  EXPECT_EQ(opened, 0);
  EXPECT_TRUE(firstGroupOnly(read)) << read.size();

  // A run claiming more samples than its atom holds: the scan fails at open;
  // through the table, the fragment fails when it is first read.
  for (const std::string* original : {&scanned, &listed}) {
    std::string bytes = *original;
    const size_t secondMoof = TopLevel(bytes, "moof")[1].first;
    const size_t trun = bytes.find("trun", secondMoof) - 4;
    Put32(bytes, trun + 12, 100000);
    read = ReadAll(Write("trun.mp4", bytes), &opened);
    if (original == &scanned) {
      EXPECT_EQ(opened, 5);
    } else {
      EXPECT_EQ(opened, 0);
      EXPECT_TRUE(firstGroupOnly(read)) << read.size();
    }
  }

  // A table entry pointing at the media data instead of a fragment.
  std::string bytes = listed;
  const size_t mfra = TopLevel(bytes, "mfra").at(0).first;
  const size_t tfra = bytes.find("tfra", mfra) - 4;
  const size_t mdat = TopLevel(bytes, "mdat").at(0).first;
  bytes.replace(tfra + 24 + 19 + 8, 8, std::string(4, '\0') + std::string("\0\0\0\0", 4));
  Put32(bytes, tfra + 24 + 19 + 12, uint32_t(mdat + 20));
  read = ReadAll(Write("noise.mp4", bytes), &opened);
  EXPECT_EQ(opened, 0);
  EXPECT_TRUE(firstGroupOnly(read)) << read.size();
}

TEST_F(FragmentedMovieTest, ReferenceFragmentsOnlyForSingleTrackMovies) {
  const MediaFixture& twoTracks = GetMediaFixture(
      "frag_av.mp4", {"-f lavfi -i sine " + std::string(kPicture) + "-c:a aac -movflags frag_keyframe+empty_moov"});
  CQTDataReader reader(OXLDataReader::Video_Data, "informer");
  ASSERT_EQ(reader.Open(twoTracks.path.c_str(), false), 0);
  CQTDataReader::MoofInfo info;
  EXPECT_EQ(QelFailure([&] { reader.AppendReferenceFragment(info); }), "[Avaiable only for mono track files]");
}
