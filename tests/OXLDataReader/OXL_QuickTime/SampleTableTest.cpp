// The sample table cursors: decode times, composition offsets, sample to
// chunk, sizes, chunk offsets, sync samples. Expected values come from the
// table contents, recomputed here the plain way (a full scan).
#include <gtest/gtest.h>

#include <optional>
#include <random>
#include <set>

#include "OXLDataReader/OXL_QuickTime/ChunkOffsetTable.h"
#include "OXLDataReader/OXL_QuickTime/SampleChunkTable.h"
#include "OXLDataReader/OXL_QuickTime/SampleSizeTable.h"
#include "OXLDataReader/OXL_QuickTime/SampleSyncTable.h"
#include "OXLDataReader/OXL_QuickTime/SampleTimeTable.h"
#include "support/ByteBuilder.h"
#include "support/ErrorText.h"
#include "support/QtSampleTables.h"

using namespace oxltest;

namespace {

// A random visiting order that mixes single steps in both directions with jumps.
std::vector<uint64_t> WanderingOrder(uint64_t count, unsigned seed) {
  std::mt19937 random(seed);
  std::vector<uint64_t> order;
  uint64_t at = 0;
  for (int i = 0; i < 3000; ++i) {
    const int move = random() % 10;
    if (move < 4 && at + 1 < count) ++at;
    else if (move < 8 && at > 0) --at;
    else at = random() % count;
    order.push_back(at);
  }
  return order;
}

// Far jumps in a long, irregular table (random seeks in an hour-long track)
// give what summing the runs gives: decode times, nearest sample starts,
// and the same runs read as composition offsets.
TEST(DecodeTimes, VisitsInAnyOrderOfALongTableAgreeWithTheSums) {
  std::mt19937 random(7);
  SampleRuns runs;
  std::vector<uint64_t> start;
  std::vector<uint32_t> value;
  uint64_t time = 0;
  for (int i = 0; i < 5000; ++i) {
    const uint32_t count = random() % 4, delta = 1000 + random() % 11;  // some runs hold no sample
    runs.emplace_back(count, delta);
    for (uint32_t k = 0; k < count; ++k, time += delta) start.push_back(time), value.push_back(delta);
  }
  const ExactBuffer stts(RunTableAtom("stts", runs));
  CSampleTimeTable table;
  table.SetTableData(stts.data(), stts.size(), qel::EditRate(30000, 1));
  for (uint64_t s : WanderingOrder(start.size(), 3)) {
    const qel::TimeLimits t = table.GetSampleTime(s);
    ASSERT_EQ(uint64_t(t.start.GetTimeNumber()), start[s]) << s;
    ASSERT_EQ(t.duration, value[s]) << s;
    if (s + 1 < start.size()) {
      ASSERT_EQ(table.FindTimeSample((start[s] + value[s] / 4.0) / 30000.0), s);
    }
  }
  const ExactBuffer ctts(RunTableAtom("ctts", runs));
  CompositionTimeToSampleTable offsets;
  offsets.SetTableData(ctts.data(), ctts.size());
  for (uint64_t s : WanderingOrder(start.size(), 5))
    ASSERT_EQ(uint32_t(offsets.GetCompositionToTimeOffset(s)), value[s]) << s;
  EXPECT_FALSE(offsets.FindSample(value.size()));
}

TEST(DecodeTimes, SamplesOutsideTheTableAndTablesClaimingMore) {
  const ExactBuffer stts(RunTableAtom("stts", {{2, 10}, {2, 20}}, 1000));
  CSampleTimeTable table;
  table.SetTableData(stts.data(), stts.size(), qel::EditRate(1, 1));
  EXPECT_EQ(table.GetSampleTime(3).start.GetTimeNumber(), 40);
  EXPECT_EQ(table.GetSampleTime(1).start.GetTimeNumber(), 10);
  EXPECT_FALSE(table.FindSample(4));
  EXPECT_EQ(ErrorText([&] { table.GetSampleTime(4); }), "[sample 4 not found]");
  const ExactBuffer empty(RunTableAtom("stts", {}));
  table.SetTableData(empty.data(), empty.size(), qel::EditRate(1, 1));
  EXPECT_FALSE(table.FindSample(0));
  EXPECT_EQ(table.FindTimeSample(5.0), 0u);
}

TEST(DecodeTimes, TimeRoundsToTheNearestSampleStart) {
  const ExactBuffer stts(RunTableAtom("stts", {{3, 10}, {2, 20}}));
  CSampleTimeTable table;
  table.SetTableData(stts.data(), stts.size(), qel::EditRate(10, 1));  // 10 units per second
  EXPECT_EQ(table.FindTimeSample(1.5), 2u);  // half a delta after sample 1's start
  EXPECT_EQ(table.FindTimeSample(1.49), 1u);
  EXPECT_EQ(table.FindTimeSample(4.0), 4u);  // second entry: 30 + 1 x 20
  EXPECT_EQ(table.FindTimeSample(0.3), 0u);  // back into the first entry
  EXPECT_EQ(table.FindTimeSample(-1.0), 0u);
  EXPECT_EQ(table.FindTimeSample(9.0), 6u);  // 3 + (90 - 30) / 20: not bounded by the table
}

TEST(CompositionOffsets, SignedPerRunAndZeroWithoutTable) {
  CompositionTimeToSampleTable none;
  EXPECT_EQ(none.GetCompositionToTimeOffset(123456), 0);
  EXPECT_TRUE(none.CoversSample(5));
  const ExactBuffer ctts(RunTableAtom("ctts", {{1, 1024}, {2, 0xFFFFFFF6}, {1, 512}}));
  CompositionTimeToSampleTable table;
  table.SetTableData(ctts.data(), ctts.size());
  EXPECT_EQ(table.GetCompositionToTimeOffset(3), 512);
  EXPECT_EQ(table.GetCompositionToTimeOffset(1), -10);
  EXPECT_EQ(table.GetCompositionToTimeOffset(0), 1024);
  EXPECT_FALSE(table.CoversSample(4));
  EXPECT_EQ(ErrorText([&] { table.GetCompositionToTimeOffset(9); }), "[CompositionToTimeOffset for sample 9 not found]");
}

TEST(SampleToChunk, RandomVisitsAgreeWithAFullScan) {
  std::mt19937 random(11);
  ChunkRuns entries;
  uint32_t first = 1;
  for (int i = 0; i < 100; ++i) {
    entries.emplace_back(first, random() % 4, 1);  // some runs hold no sample
    first += 1 + random() % 3;
  }
  std::vector<std::pair<uint32_t, uint32_t>> expected;  // chunk and place of every sample
  for (uint32_t c = 0; c < first + 2; ++c) {
    uint32_t perChunk = 0;
    for (auto [f, n, d] : entries)
      if (f - 1 <= c) perChunk = n;
    for (uint32_t i = 0; i < perChunk; ++i) expected.emplace_back(c, i);
  }
  const ExactBuffer stsc(StscAtom(entries));
  CSampleChunkTable table;
  table.SetTableData(stsc.data(), stsc.size());
  for (uint64_t s : WanderingOrder(expected.size(), 5)) {
    uint32_t chunk = 0, place = 0;
    ASSERT_TRUE(table.GetSampleChunkData(s, chunk, place)) << s;
    ASSERT_EQ(std::make_pair(chunk, place), expected[s]) << s;
    ASSERT_EQ(table.GetChunkToSample(chunk) + place, s);
  }
}

TEST(SampleToChunk, LastRunGoesOnAndBackwardRunsEndTheTable) {
  for (uint32_t badFirst : {2u, 3u}) {
    const ExactBuffer stsc(StscAtom({{1, 2, 1}, {3, 5, 1}, {badFirst, 7, 1}, {9, 1, 1}}));
    CSampleChunkTable table;
    table.SetTableData(stsc.data(), stsc.size());
    uint32_t chunk = 0, place = 0;
    ASSERT_TRUE(table.GetSampleChunkData(100, chunk, place));
    EXPECT_EQ(chunk, 2 + (100 - 4) / 5) << badFirst;
    EXPECT_EQ(place, (100 - 4) % 5);
    EXPECT_EQ(table.GetChunkSize(40), 5u);
    EXPECT_EQ(table.GetChunkSize(1), 2u);
    EXPECT_EQ(table.GetChunkToSample(2), 4u);
    EXPECT_EQ(table.CountSamples(10), 2u * 2 + 8 * 5);
    EXPECT_EQ(table.CountSamples(2), 4u);
  }
}

TEST(SampleToChunk, EmptyRunsAndCutTables) {
  CSampleChunkTable table;
  uint32_t chunk = 0, place = 0;
  EXPECT_FALSE(table.GetSampleChunkData(0, chunk, place));
  EXPECT_EQ(ErrorText([&] { table.GetChunkSize(0); }), "[Chunk not found : 0]");
  const ExactBuffer emptyFirst(StscAtom({{1, 0, 1}, {3, 4, 1}}));
  table.SetTableData(emptyFirst.data(), emptyFirst.size());
  ASSERT_TRUE(table.GetSampleChunkData(0, chunk, place));
  EXPECT_EQ(chunk, 2u);
  const ExactBuffer lastEmpty(StscAtom({{1, 2, 1}, {2, 0, 1}}));
  table.SetTableData(lastEmpty.data(), lastEmpty.size());
  EXPECT_FALSE(table.GetSampleChunkData(5, chunk, place));
  EXPECT_TRUE(table.GetSampleChunkData(1, chunk, place));
  std::string cut = StscAtom({{1, 2, 1}, {3, 5, 1}}, 3);
  cut.resize(cut.size() - 4);  // claims three entries; the second loses its last field
  const ExactBuffer halfEntry(cut);
  table.SetTableData(halfEntry.data(), halfEntry.size());
  EXPECT_EQ(table.GetChunkSize(1000), 2u);
}

TEST(SampleSizes, UniformOrPerSampleBoundedByTheAtom) {
  const ExactBuffer uniform(StszAtom(1000, {}, 5));
  CSampleSizeTable table;
  table.SetTableData(uniform.data(), uniform.size());
  EXPECT_EQ(table.GetSampleSizeCount(), 5u);
  EXPECT_EQ(table.GetSampleSize(1u << 31), 1000u);
  const std::string full = StszAtom(0, {11, 22, 33}, 100);
  const ExactBuffer listed(full);
  table.SetTableData(listed.data(), listed.size());
  EXPECT_EQ(table.GetSampleSizeCount(), 3u);
  EXPECT_EQ(table.GetSampleSize(2), 33u);
  EXPECT_EQ(table.GetSampleSize(3), 0u);
  const ExactBuffer cut(full.substr(0, full.size() - 1));
  table.SetTableData(cut.data(), cut.size());
  EXPECT_EQ(table.GetSampleSizeCount(), 2u);
  const ExactBuffer headerOnly(full.substr(0, 19));
  table.SetTableData(headerOnly.data(), headerOnly.size());
  EXPECT_EQ(table.GetSampleSizeCount(), 0u);
}

TEST(ChunkOffsets, ThirtyTwoAndSixtyFourBitsAndCutTables) {
  const ExactBuffer stco(WordTableAtom("stco", {100, 0xFFFFFFF0}, 2));
  CChunkOffsetTable table;
  table.SetTableData(stco.data(), stco.size());
  EXPECT_EQ(table.GetChunkOffset(1), 0xFFFFFFF0u);
  EXPECT_EQ(table.GetChunkOffset(2), 0u);
  const std::string co64 = Co64Atom({8, 0x100000000ull, 0x200000000ull}, 3);
  for (size_t cut : {size_t(16), size_t(23), size_t(24), size_t(39), co64.size()}) {
    const ExactBuffer b(co64.substr(0, cut));
    table.SetTableData(b.data(), b.size());
    EXPECT_EQ(table.GetNumberOfChunk(), (cut - 16) / 8) << cut;
    if (cut > 24) {
      EXPECT_EQ(table.GetChunkOffset(1), 0x100000000ull);
    }
  }
}

TEST(ChunkOffsets, ChunkAtAnOffsetIsTheLastStartingAtOrBeforeIt) {
  std::mt19937 random(3);
  std::vector<uint32_t> offsets;
  uint32_t at = 1000;
  for (int i = 0; i < 300; ++i) offsets.push_back(at += 1 + (i % 50 == 0 ? 100000 : random() % 3000));
  offsets.push_back(at);  // two chunks at one offset: the later
  const ExactBuffer stco(WordTableAtom("stco", offsets));
  CChunkOffsetTable table;
  table.SetTableData(stco.data(), stco.size());
  for (uint64_t x = 0; x < uint64_t(at) + 5000; x += 1 + random() % 997) {
    uint32_t expected = 0;
    for (uint32_t c = 0; c < offsets.size(); ++c)
      if (offsets[c] <= x) expected = c;
    ASSERT_EQ(table.FindChunkAtOffset(x), expected) << x;
  }
  for (uint32_t c = 0; c + 2 < offsets.size(); ++c) ASSERT_EQ(table.FindChunkAtOffset(offsets[c]), c);
  EXPECT_EQ(CChunkOffsetTable().FindChunkAtOffset(500), 0u);
}

TEST(SyncSamples, ListedOneBasedNumbersAndTheNearestOnes) {
  const std::set<uint32_t> listed = {1, 2, 13, 25, 26, 40, 77};
  const ExactBuffer stss(WordTableAtom("stss", std::vector<uint32_t>(listed.begin(), listed.end())));
  SampleSyncTable table;
  table.SetTableData(stss.data(), stss.size());
  for (uint64_t s : WanderingOrder(90, 9)) ASSERT_EQ(table.IsSyncSample(s), listed.count(uint32_t(s + 1)) == 1) << s;
  for (uint64_t s = 0; s < 90; ++s) {
    const auto from = listed.lower_bound(uint32_t(s + 1));
    auto upTo = listed.upper_bound(uint32_t(s + 1));
    EXPECT_EQ(table.FindListedFrom(s), from == listed.end() ? std::nullopt : std::optional<uint64_t>(*from - 1)) << s;
    EXPECT_EQ(table.FindListedUpTo(s), upTo == listed.begin() ? std::nullopt : std::optional<uint64_t>(*--upTo - 1)) << s;
  }
  SampleSyncTable zero;
  const ExactBuffer zeros(WordTableAtom("stss", {0, 0}));  // 0 is no sample number
  zero.SetTableData(zeros.data(), zeros.size());
  EXPECT_EQ(zero.FindListedUpTo(5), std::nullopt);
}

TEST(SyncSamples, WithoutTableEverySampleIsSyncUntilToldOtherwise) {
  SampleSyncTable table;
  EXPECT_TRUE(table.IsSyncSample(999));
  EXPECT_EQ(table.FindListedFrom(0), std::nullopt);
  table.SetDefaultBehaviorToNotSync();
  EXPECT_FALSE(table.IsSyncSample(0));
  const ExactBuffer empty(WordTableAtom("stss", {}));
  SampleSyncTable none;
  none.SetTableData(empty.data(), empty.size());
  EXPECT_FALSE(none.IsSyncSample(0));  // a table listing no sample
}

TEST(SyncSamples, SizeMustMatchTheCountExactly) {
  const std::string twoListed = WordTableAtom("stss", {1, 5});
  SampleSyncTable table;
  EXPECT_EQ(ErrorText([&] { table.SetTableData(Data(twoListed), 20); }),
            "[sample sync table too small] [ value1 (20) is not == value2 (24) ]");
  EXPECT_THROW(table.SetTableData(Data(twoListed), 12), qel::QELRuntimeError);
  const std::string huge = WordTableAtom("stss", {}, 0xFFFFFFFF);
  EXPECT_THROW(table.SetTableData(Data(huge), huge.size()), qel::QELRuntimeError);
  EXPECT_TRUE(table.IsSyncSample(3));  // still without table
}

TEST(SampleCounts, TimeTableCountsWhatItClaims) {
  const ExactBuffer stts(RunTableAtom("stts", {{3, 10}, {2, 20}, {4, 1}}, 9));  // claims 9 entries, holds 3
  CSampleTimeTable times;
  times.SetTableData(stts.data(), stts.size(), qel::EditRate(25, 1));
  EXPECT_EQ(times.GetSampleCount(), 9u);
}

}  // namespace
