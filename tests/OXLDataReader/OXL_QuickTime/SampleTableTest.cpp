// The sample table cursors: decode times, composition offsets, sample to
// chunk, sizes, chunk offsets, sync samples. Expected values come from the
// table contents, recomputed here the plain way (a full scan).
#include <gtest/gtest.h>

#include <optional>

#include <random>
#include <set>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "OXLDataReader/OXL_QuickTime/ChunkOffsetTable.h"
#include "OXLDataReader/OXL_QuickTime/SampleChunkTable.h"
#include "OXLDataReader/OXL_QuickTime/SampleSizeTable.h"
#include "OXLDataReader/OXL_QuickTime/SampleSyncTable.h"
#include "OXLDataReader/OXL_QuickTime/SampleTimeTable.h"
#include "qelCore/QELRuntimeError.h"
#include "support/ByteBuilder.h"
#include "support/ErrorText.h"
#include "support/QtSampleTables.h"

using namespace oxltest;

namespace {

using Pairs = SampleRuns;
using Triples = ChunkRuns;

// Decode time and duration of every sample, by a full scan of the entries.
std::vector<std::pair<uint64_t, uint32_t>> ScanTimes(const Pairs& entries) {
  std::vector<std::pair<uint64_t, uint32_t>> times;
  uint64_t t = 0;
  for (auto [count, delta] : entries)
    for (uint32_t i = 0; i < count; ++i, t += delta) times.emplace_back(t, delta);
  return times;
}

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

TEST(DecodeTimes, WalkForwardAndBackAcrossEntries) {
  const ExactBuffer stts(RunTableAtom("stts", {{3, 10}, {2, 20}}));
  CSampleTimeTable table;
  table.SetTableData(stts.data(), stts.size(), qel::EditRate(1, 1));
  const qel::TimeLimits fourth = table.GetSampleTime(4);
  EXPECT_EQ(fourth.start.GetTimeNumber(), 50);
  EXPECT_EQ(fourth.duration, 20);
  EXPECT_EQ(table.GetSampleTime(1).start.GetTimeNumber(), 10);
  EXPECT_EQ(table.GetSampleTime(1).duration, 10);
}

TEST(DecodeTimes, RandomVisitsAgreeWithAFullScan) {
  std::mt19937 random(7);
  Pairs entries;
  for (int i = 0; i < 200; ++i) entries.emplace_back(random() % 5, 1 + random() % 1000);
  const auto expected = ScanTimes(entries);
  const ExactBuffer stts(RunTableAtom("stts", entries));
  CSampleTimeTable table;
  table.SetTableData(stts.data(), stts.size(), qel::EditRate(1000, 1));
  for (uint64_t s : WanderingOrder(expected.size(), 3)) {
    const qel::TimeLimits t = table.GetSampleTime(s);
    ASSERT_EQ(t.start.GetTimeNumber(), int64_t(expected[s].first)) << s;
    ASSERT_EQ(t.duration, expected[s].second) << s;
  }
}

TEST(DecodeTimes, SampleOutsideTheTableIsAnError) {
  const ExactBuffer stts(RunTableAtom("stts", {{3, 10}}));
  CSampleTimeTable table;
  table.SetTableData(stts.data(), stts.size(), qel::EditRate(1, 1));
  EXPECT_FALSE(table.FindSample(3));
  EXPECT_EQ(ErrorText([&] { table.GetSampleTime(3); }), "[sample 3 not found]");
  EXPECT_EQ(table.GetSampleTime(2).start.GetTimeNumber(), 20);
}

TEST(DecodeTimes, EntryCountBeyondTheAtomAndEmptyTables) {
  const ExactBuffer claimsMore(RunTableAtom("stts", {{2, 10}, {2, 20}}, 1000));
  CSampleTimeTable table;
  table.SetTableData(claimsMore.data(), claimsMore.size(), qel::EditRate(1, 1));
  EXPECT_EQ(table.GetSampleTime(3).start.GetTimeNumber(), 40);
  EXPECT_FALSE(table.FindSample(4));
  const ExactBuffer empty(RunTableAtom("stts", {}));
  table.SetTableData(empty.data(), empty.size(), qel::EditRate(1, 1));
  EXPECT_FALSE(table.FindSample(0));
  EXPECT_EQ(table.FindTimeSample(5.0), 0u);
  CSampleTimeTable never;
  EXPECT_FALSE(never.FindSample(0));
}

TEST(TimeToSample, RoundsToTheNearestSampleStart) {
  const ExactBuffer stts(RunTableAtom("stts", {{3, 10}, {2, 20}}));
  CSampleTimeTable table;
  table.SetTableData(stts.data(), stts.size(), qel::EditRate(10, 1));  // 10 units per second
  EXPECT_EQ(table.FindTimeSample(0.0), 0u);
  EXPECT_EQ(table.FindTimeSample(1.5), 2u);     // half a delta after sample 1's start
  EXPECT_EQ(table.FindTimeSample(1.49), 1u);
  EXPECT_EQ(table.FindTimeSample(4.0), 4u);     // second entry: 30 + 1 x 20
  EXPECT_EQ(table.FindTimeSample(0.3), 0u);     // back into the first entry
  EXPECT_EQ(table.FindTimeSample(-1.0), 0u);
  EXPECT_EQ(table.FindTimeSample(9.0), 6u);     // 3 + (90 - 30) / 20: not bounded by the table
}

TEST(CompositionOffsets, NoTableMeansZero) {
  CompositionTimeToSampleTable table;
  EXPECT_EQ(table.GetCompositionToTimeOffset(123456), 0);
  EXPECT_TRUE(table.CoversSample(5));
}

TEST(CompositionOffsets, PerRunSignedOffsets) {
  const ExactBuffer ctts(RunTableAtom("ctts", {{1, 1024}, {2, 0xFFFFFFF6}, {1, 512}}));
  CompositionTimeToSampleTable table;
  table.SetTableData(ctts.data(), ctts.size());
  EXPECT_EQ(table.GetCompositionToTimeOffset(3), 512);
  EXPECT_EQ(table.GetCompositionToTimeOffset(1), -10);
  EXPECT_EQ(table.GetCompositionToTimeOffset(0), 1024);
  EXPECT_EQ(table.GetCompositionToTimeOffset(2), -10);
  EXPECT_FALSE(table.CoversSample(4));
  EXPECT_EQ(ErrorText([&] { table.GetCompositionToTimeOffset(9); }), "[CompositionToTimeOffset for sample 9 not found]");
}

// Chunk and place of every sample of the first `chunks` chunks, by a full scan.
std::vector<std::pair<uint32_t, uint32_t>> ScanChunks(const Triples& entries, uint32_t chunks) {
  std::vector<std::pair<uint32_t, uint32_t>> samples;
  for (uint32_t c = 0; c < chunks; ++c) {
    uint32_t perChunk = 0;
    for (auto [first, n, d] : entries)
      if (first - 1 <= c) perChunk = n;
    for (uint32_t i = 0; i < perChunk; ++i) samples.emplace_back(c, i);
  }
  return samples;
}

TEST(SampleToChunk, SampleChunkAndPlace) {
  const ExactBuffer stsc(StscAtom({{1, 2, 1}, {3, 5, 1}}));
  CSampleChunkTable table;
  table.SetTableData(stsc.data(), stsc.size());
  uint32_t chunk = 0, place = 0;
  ASSERT_TRUE(table.GetSampleChunkData(5, chunk, place));
  EXPECT_EQ(chunk, 2u);
  EXPECT_EQ(place, 1u);
  EXPECT_EQ(table.GetChunkToSample(2), 4u);
  EXPECT_EQ(table.GetChunkToSample(1), 2u);  // steps back one entry
  EXPECT_EQ(table.GetChunkSize(1), 2u);
  EXPECT_EQ(table.GetChunkSize(40), 5u);     // the last run goes on
  ASSERT_TRUE(table.GetSampleChunkData(1000, chunk, place));
  EXPECT_EQ(chunk, 2 + (1000 - 4) / 5);
}

TEST(SampleToChunk, RandomVisitsAgreeWithAFullScan) {
  std::mt19937 random(11);
  Triples entries;
  uint32_t first = 1;
  for (int i = 0; i < 100; ++i) {
    entries.emplace_back(first, random() % 4, 1);  // some runs hold no sample
    first += 1 + random() % 3;
  }
  const auto expected = ScanChunks(entries, first + 2);
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

TEST(SampleToChunk, FirstChunksGoingBackwardsEndTheTable) {
  for (uint32_t badFirst : {2u, 3u}) {
    const ExactBuffer stsc(StscAtom({{1, 2, 1}, {3, 5, 1}, {badFirst, 7, 1}, {9, 1, 1}}));
    CSampleChunkTable table;
    table.SetTableData(stsc.data(), stsc.size());
    uint32_t chunk = 0, place = 0;
    ASSERT_TRUE(table.GetSampleChunkData(100, chunk, place));
    EXPECT_EQ(chunk, 2 + (100 - 4) / 5) << badFirst;
    EXPECT_EQ(table.GetChunkSize(20), 5u);
    EXPECT_EQ(table.GetChunkToSample(0), 0u);
  }
}

TEST(SampleToChunk, RunsWithoutSamplesHoldNone) {
  const ExactBuffer stsc(StscAtom({{1, 0, 1}, {3, 4, 1}}));
  CSampleChunkTable table;
  table.SetTableData(stsc.data(), stsc.size());
  uint32_t chunk = 0, place = 0;
  ASSERT_TRUE(table.GetSampleChunkData(0, chunk, place));
  EXPECT_EQ(chunk, 2u);
  EXPECT_EQ(table.GetChunkSize(1), 0u);
  const ExactBuffer lastEmpty(StscAtom({{1, 2, 1}, {2, 0, 1}}));
  table.SetTableData(lastEmpty.data(), lastEmpty.size());
  EXPECT_FALSE(table.GetSampleChunkData(5, chunk, place));
  EXPECT_TRUE(table.GetSampleChunkData(1, chunk, place));
}

TEST(SampleToChunk, EmptyOrCutTables) {
  CSampleChunkTable table;
  uint32_t chunk = 0, place = 0;
  EXPECT_FALSE(table.GetSampleChunkData(0, chunk, place));
  EXPECT_EQ(ErrorText([&] { table.GetChunkSize(0); }), "[Chunk not found : 0]");
  std::string cut = StscAtom({{1, 2, 1}, {3, 5, 1}}, 3);
  const ExactBuffer claimsMore(cut);
  table.SetTableData(claimsMore.data(), claimsMore.size());
  EXPECT_EQ(table.GetChunkSize(1000), 5u);
  cut.resize(cut.size() - 4);  // the second entry loses its last field
  const ExactBuffer halfEntry(cut);
  table.SetTableData(halfEntry.data(), halfEntry.size());
  EXPECT_EQ(table.GetChunkSize(1000), 2u);
}

TEST(SampleSizes, UniformSizeAnswersEverySample) {
  const ExactBuffer stsz(StszAtom(1000, {}, 5));
  CSampleSizeTable table;
  table.SetTableData(stsz.data(), stsz.size());
  EXPECT_EQ(table.GetSampleSizeCount(), 5u);
  EXPECT_EQ(table.GetSampleSize(0), 1000u);
  EXPECT_EQ(table.GetSampleSize(1u << 31), 1000u);
}

TEST(SampleSizes, PerSampleSizesBoundedByTheAtom) {
  const std::string full = StszAtom(0, {11, 22, 33}, 100);
  const ExactBuffer stsz(full);
  CSampleSizeTable table;
  table.SetTableData(stsz.data(), stsz.size());
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

TEST(ChunkOffsets, ThirtyTwoAndSixtyFourBitOffsets) {
  const ExactBuffer stco(WordTableAtom("stco", {100, 0xFFFFFFF0}, 2));
  CChunkOffsetTable table;
  table.SetTableData(stco.data(), stco.size());
  EXPECT_EQ(table.GetChunkOffset(1), 0xFFFFFFF0u);
  EXPECT_EQ(table.GetChunkOffset(2), 0u);
  const ExactBuffer co64(Co64Atom({8, 0x123456789ull}, 2));
  table.SetTableData(co64.data(), co64.size());
  EXPECT_EQ(table.GetNumberOfChunk(), 2u);
  EXPECT_EQ(table.GetChunkOffset(1), 0x123456789ull);
}

TEST(ChunkOffsets, Co64CutInTheMiddleKeepsItsWholeOffsets) {
  const std::string full = Co64Atom({8, 0x100000000ull, 0x200000000ull}, 3);
  for (size_t cut = 16; cut < full.size(); ++cut) {
    const ExactBuffer b(full.substr(0, cut));
    CChunkOffsetTable table;
    table.SetTableData(b.data(), b.size());
    EXPECT_EQ(table.GetNumberOfChunk(), (cut - 16) / 8) << cut;
    EXPECT_EQ(table.GetChunkOffset(table.GetNumberOfChunk()), 0u);
  }
}

TEST(ChunkAtOffset, LastChunkStartingAtOrBeforeTheOffset) {
  std::mt19937 random(3);
  std::vector<uint32_t> offsets;
  uint32_t at = 1000;
  for (int i = 0; i < 300; ++i) offsets.push_back(at += 1 + (i % 50 == 0 ? 100000 : random() % 3000));
  const ExactBuffer stco(WordTableAtom("stco", offsets, static_cast<uint32_t>(offsets.size())));
  CChunkOffsetTable table;
  table.SetTableData(stco.data(), stco.size());
  for (uint64_t x = 0; x < uint64_t(at) + 5000; x += 1 + random() % 997) {
    uint32_t expected = 0;
    for (uint32_t c = 0; c < offsets.size(); ++c)
      if (offsets[c] <= x) expected = c;
    ASSERT_EQ(table.FindChunkAtOffset(x), expected) << x;
  }
  for (uint32_t c = 0; c < offsets.size(); ++c) ASSERT_EQ(table.FindChunkAtOffset(offsets[c]), c);
}

TEST(ChunkAtOffset, DegenerateTables) {
  CChunkOffsetTable none;
  EXPECT_EQ(none.FindChunkAtOffset(500), 0u);
  const ExactBuffer same(WordTableAtom("stco", {100, 100, 100}, 3));
  CChunkOffsetTable table;
  table.SetTableData(same.data(), same.size());
  EXPECT_EQ(table.FindChunkAtOffset(100), 2u);
  EXPECT_EQ(table.FindChunkAtOffset(99), 0u);
}

TEST(SyncSamples, WithoutTableEverySampleIsSyncUntilToldOtherwise) {
  SampleSyncTable table;
  EXPECT_TRUE(table.IsSyncSample(0));
  EXPECT_TRUE(table.IsSyncSample(999));
  table.SetDefaultBehaviorToNotSync();
  EXPECT_FALSE(table.IsSyncSample(0));
  const ExactBuffer empty(WordTableAtom("stss", {}));
  SampleSyncTable none;
  none.SetTableData(empty.data(), empty.size());
  EXPECT_FALSE(none.IsSyncSample(0));  // a table listing no sample
}

TEST(SyncSamples, ListedOneBasedNumbersInAnyVisitingOrder) {
  const std::set<uint32_t> listed = {1, 2, 13, 25, 26, 40, 77};
  const ExactBuffer stss(WordTableAtom("stss", std::vector<uint32_t>(listed.begin(), listed.end()), 7));
  SampleSyncTable table;
  table.SetTableData(stss.data(), stss.size());
  for (uint64_t s : WanderingOrder(90, 9)) ASSERT_EQ(table.IsSyncSample(s), listed.count(uint32_t(s + 1)) == 1) << s;
}

TEST(SyncSamples, NearestListedSampleAgreesWithAScan) {
  const std::set<uint32_t> listed = {1, 2, 13, 25, 26, 40, 77};
  const ExactBuffer stss(WordTableAtom("stss", std::vector<uint32_t>(listed.begin(), listed.end()), 7));
  SampleSyncTable table;
  table.SetTableData(stss.data(), stss.size());
  for (uint64_t s = 0; s < 90; ++s) {
    const auto from = listed.lower_bound(uint32_t(s + 1));
    auto upTo = listed.upper_bound(uint32_t(s + 1));
    EXPECT_EQ(table.FindListedFrom(s), from == listed.end() ? std::nullopt : std::optional<uint64_t>(*from - 1)) << s;
    EXPECT_EQ(table.FindListedUpTo(s), upTo == listed.begin() ? std::nullopt : std::optional<uint64_t>(*--upTo - 1)) << s;
  }
  SampleSyncTable none;
  EXPECT_EQ(none.FindListedFrom(0), std::nullopt);
  const ExactBuffer zero(WordTableAtom("stss", {0, 0}, 2));  // 0 is no sample number
  none.SetTableData(zero.data(), zero.size());
  EXPECT_EQ(none.FindListedUpTo(5), std::nullopt);
}

TEST(SampleCounts, TablesCountWhatTheyDescribe) {
  const ExactBuffer stts(RunTableAtom("stts", {{3, 10}, {2, 20}, {4, 1}}, 9));  // claims 9 entries, holds 3
  CSampleTimeTable times;
  times.SetTableData(stts.data(), stts.size(), qel::EditRate(25, 1));
  EXPECT_EQ(times.GetSampleCount(), 9u);
  const ExactBuffer stsc(StscAtom({{1, 2, 1}, {3, 5, 1}, {2, 7, 1}}));  // the third entry goes backwards
  CSampleChunkTable chunks;
  chunks.SetTableData(stsc.data(), stsc.size());
  EXPECT_EQ(chunks.CountSamples(10), 2u * 2 + 8 * 5);
  EXPECT_EQ(chunks.CountSamples(2), 4u);
  EXPECT_EQ(chunks.CountSamples(0), 0u);
}

TEST(SyncSamples, SizeMustMatchTheCountExactly) {
  const std::string twoListed = WordTableAtom("stss", {1, 5}, 2);
  SampleSyncTable table;
  EXPECT_EQ(ErrorText([&] { table.SetTableData(Data(twoListed), 20); }),
            "[sample sync table too small] [ value1 (20) is not == value2 (24) ]");
  EXPECT_EQ(ErrorText([&] { table.SetTableData(Data(twoListed), 12); }),
            "[sample sync table too small] [ value1 (12) is not >= value2 (16) ]");
  const std::string huge = WordTableAtom("stss", {}, 0xFFFFFFFF);
  EXPECT_EQ(ErrorText([&] { table.SetTableData(Data(huge), huge.size()); }),
            "[sample sync table too small] [ value1 (16) is not == value2 (17179869196) ]");
  EXPECT_TRUE(table.IsSyncSample(3));  // still without table
}

}  // namespace
