// Fragmented movies made by FFmpeg: how fragments are found (random-access table
// or a scan), positioning among them, damaged fragments. Reading: the file table.
#include <gtest/gtest.h>

#include <deque>
#include <tuple>

#include "QTFileCases.h"
#include "support/ByteBuilder.h"
#include "support/CapturingLogger.h"
#include "support/ErrorText.h"
#include "support/GrowingFile.h"
#include "support/TempDir.h"

using namespace oxltest;
using namespace qtfiles;

namespace {

// Offset and size of every top-level atom of `type`.
std::vector<std::pair<size_t, uint32_t>> TopLevel(const std::string& bytes, const char* type) {
  std::vector<std::pair<size_t, uint32_t>> found;
  for (size_t at = 0; at + 8 <= bytes.size() && Get32(bytes, at) >= 8; at += Get32(bytes, at))
    if (bytes.compare(at + 4, 4, type) == 0) found.emplace_back(at, Get32(bytes, at));
  return found;
}

class FragmentedMovieTest : public testing::Test {
 protected:
  void SetUp() override {
    if (!HasFFmpegTools() || !HasEncoder("libx264")) GTEST_SKIP() << "no ffmpeg with libx264";
    for (const auto& c : AllCases()) {
      if (c.name == "h264_25_frag_mfra") withTable = CaseFixture(c);
      if (c.name == "h264_25_frag_scan_base_moof") withoutTable = CaseFixture(c);
      if (c.name == "h264_25_aac") twoTracks = CaseFixture(c);
    }
    ASSERT_TRUE(withTable && withoutTable && twoTracks);
    listed = ReadWholeFile(withTable->path);
    mfra = TopLevel(listed, "mfra").at(0).first;
    tfra = listed.find("tfra", mfra) - 4;
  }
  std::vector<Delivery> ReadAll(const std::string& bytes, int* openResult = nullptr) {
    int opened = 0;
    auto reader = OpenBytes(bytes, &opened);
    if (openResult) *openResult = opened;
    return opened == 0 ? ReadForward(*reader, 100000) : std::vector<Delivery>{};
  }
  // The movie delivers what the intact movie with a table does.
  void ExpectWholeMovie(const std::string& bytes) {
    int opened = -1;
    const auto read = ReadAll(bytes, &opened);
    EXPECT_EQ(opened, 0);
    const auto whole = ReadAll(listed);
    ASSERT_EQ(read.size(), whole.size());
    for (size_t i = 0; i < read.size(); ++i) EXPECT_EQ(read[i].bytes, whole[i].bytes) << i;
  }

  const MediaFixture *withTable = nullptr, *withoutTable = nullptr, *twoTracks = nullptr;
  std::string listed;
  size_t mfra = 0, tfra = 0;
  CapturingLogger log;
};

}  // namespace

// Whichever way fragments are found.
TEST_F(FragmentedMovieTest, TimesLandOnTheSyncSampleOfTheirFragment) {
  for (const MediaFixture* movie : {withTable, withoutTable}) {
    const auto expected = ExpectedVideoDeliveries(*movie, true, true);
    const auto& packets = movie->probe.Packets("v:0");
    CQTDataReader reader(OXLDataReader::Video_Data, "seek");
    ASSERT_EQ(reader.Open(movie->path.c_str(), false), 0);
    for (const auto& group : expected) {
      const double start = Seconds(packets[group.first].dts.value_or(0), movie->probe.Stream("v:0"));
      for (double into : {0.0, 0.3 / 25, (group.count - 0.7) / 25}) {
        double t = start + into;
        SCOPED_TRACE(movie->path + " at " + std::to_string(t));
        ASSERT_EQ(reader.GoToTimeOffset(t), 0);
        EXPECT_NEAR(t, start, 1e-6);
        const auto next = ReadForward(reader, 0);
        ASSERT_EQ(next.size(), 1u);
        EXPECT_EQ(next[0].bytes, group.bytes);
      }
    }
    double end = 1e6;
    ASSERT_EQ(reader.GoToTimeOffset(end), 0);
    const auto last = ReadBackward(reader, 0);
    ASSERT_EQ(last.size(), 1u);
    EXPECT_EQ(last[0].bytes, expected.back().bytes);
  }
}

// A table of version-1 entries (4-byte fragment, run and sample numbers: 28
// bytes in place of FFmpeg's 19) is read like FFmpeg's, without a complaint.
TEST_F(FragmentedMovieTest, DamagedRandomAccessTablesLeaveTheScanInCharge) {
  ExpectWholeMovie(ReadWholeFile(withoutTable->path));  // table and scan deliver the same frames
  using Damage = std::tuple<const char*, size_t, uint32_t>;  // what, where, the value written
  const Damage damages[] = {
      {"mfro past the start", listed.size() - 4, uint32_t(listed.size() + 100)},
      {"mfro not at an mfra", listed.size() - 4, uint32_t(listed.size() - mfra + 8)},
      {"tfra size against its count", tfra + 20, Get32(listed, tfra + 20) + 1},
      {"no mfro", listed.size() - 12, 0x6D667278u /* "mfrx" */},
  };
  for (const auto& [name, at, value] : damages) {
    SCOPED_TRACE(name);
    std::string bytes = listed;
    Put32(bytes, at, value);
    ExpectWholeMovie(bytes);
  }
  const uint32_t count = Get32(listed, tfra + 20);
  ByteBuilder entries;
  for (uint32_t i = 0; i < count; ++i) entries.bytes(listed.substr(tfra + 24 + 19 * i, 16)).u32(i + 1).u32(1).u32(1);
  const std::string wide =
      FullAtom("tfra", 1, 0, ByteBuilder().u32(Get32(listed, tfra + 12)).u32(0x3F).u32(count).bytes(entries));
  const std::string mfro = FullAtom("mfro", 0, 0, ByteBuilder().u32(uint32_t(8 + wide.size() + 16)));
  const size_t logged = log.lines().size();
  ExpectWholeMovie(listed.substr(0, mfra) + Atom("mfra", wide + mfro));
  for (size_t i = logged; i < log.lines().size(); ++i) EXPECT_EQ(log.lines()[i].text.find("tfra"), std::string::npos);
}

TEST_F(FragmentedMovieTest, DamagedFragmentsEndTheReadingWithACode) {
  const std::string scanned = ReadWholeFile(withoutTable->path);
  const auto whole = ReadAll(listed);
  const auto expectFirstGroupOnly = [&](const std::string& bytes, int open) {
    int opened = -1;
    const auto read = ReadAll(bytes, &opened);
    EXPECT_EQ(opened, open);
    EXPECT_TRUE(open != 0 || (read.size() == 1 && read[0].bytes == whole[0].bytes)) << read.size();
  };
  // Cut inside the second fragment: the scan stops before it, as it would
  // while the fragment is still being written.
  const auto moofs = TopLevel(scanned, "moof");
  expectFirstGroupOnly(scanned.substr(0, moofs[1].first + moofs[1].second / 2), 0);
  // A run claiming more samples than its atom holds: the scan fails at open;
  // through the table, the fragment fails when it is first read.
  for (const std::string* original : {&scanned, static_cast<const std::string*>(&listed)}) {
    std::string bytes = *original;
    Put32(bytes, bytes.find("trun", TopLevel(bytes, "moof")[1].first) - 4 + 12, 100000);
    expectFirstGroupOnly(bytes, original == &scanned ? 5 : 0);
  }
  // A table entry pointing at the media data instead of a fragment.
  std::string bytes = listed;
  bytes.replace(tfra + 24 + 19 + 8, 8, std::string(8, '\0'));
  Put32(bytes, tfra + 24 + 19 + 12, uint32_t(TopLevel(bytes, "mdat").at(0).first + 20));
  expectFirstGroupOnly(bytes, 0);
}

// A recording's host tells the fragments in place of the table and the scan.
TEST_F(FragmentedMovieTest, HostToldFragmentsOnlyForSingleTrackMovies) {
  struct Host : CQTDataReader::IFragmentIndexInformer {
    std::deque<CQTDataReader::MoofInfo> known;
    bool HasNextFragment() override { return !known.empty(); }
    CQTDataReader::MoofInfo GetNextFragment() override {
      const CQTDataReader::MoofInfo info = known.front();
      known.pop_front();
      return info;
    }
  };
  auto host = std::make_shared<Host>();
  const qel::EditRate rate(uint32_t(withTable->probe.Stream("v:0").timeBaseDen), 1);
  const auto get64 = [&](size_t at) { return uint64_t(Get32(listed, at)) << 32 | Get32(listed, at + 4); };
  for (uint32_t i = 0; i < Get32(listed, tfra + 20); ++i)  // version-1 entries: time, offset, three 1-byte numbers
    host->known.push_back({qel::MediaTime(rate, int64_t(get64(tfra + 24 + 19 * i))), get64(tfra + 32 + 19 * i)});
  TempDir dir;
  CQTDataReader told(OXLDataReader::Video_Data, "told");
  told.SetExternalIndexInformer(host);
  ASSERT_EQ(told.Open(dir.write("untabled.mp4", listed.substr(0, mfra)).c_str(), false), 0);
  EXPECT_EQ(Joined(ReadForward(told, 100000)), Joined(ReadAll(listed)));
  CQTDataReader reader(OXLDataReader::Video_Data, "informer");
  ASSERT_EQ(reader.Open(twoTracks->path.c_str(), false), 0);
  CQTDataReader::MoofInfo info;
  EXPECT_EQ(QelFailure([&] { reader.AppendReferenceFragment(info); }), "[Avaiable only for mono track files]");
}
