// The sample table cursors on shapes FFmpeg never writes: thousands of runs
// (some empty) visited in any order, tables claiming more entries than they
// hold, empty and backward "stsc" runs, 64-bit offsets, zeros in "stss".
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
  for (uint64_t i = 0, at = 0; i < 3000; ++i, order.push_back(at)) {
    const int move = random() % 10;
    if (move < 4 && at + 1 < count) ++at;
    else if (move < 8 && at > 0) --at;
    else at = random() % count;
  }
  return order;
}

// Far jumps in a long, irregular table (random seeks in an hour-long track)
// give what summing the runs gives: decode times, nearest sample starts,
// and the same runs read as composition offsets.
TEST(SampleTimeTables, VisitsInAnyOrderOfALongTableAgreeWithTheSums) {
  std::mt19937 random(7);
  SampleRuns runs;
  std::vector<uint64_t> start;
  std::vector<uint32_t> value;
  for (uint64_t i = 0, time = 0; i < 5000; ++i) {
    const uint32_t count = random() % 4, delta = 1000 + random() % 11;  // some runs hold no sample
    runs.emplace_back(count, delta);
    for (uint32_t k = 0; k < count; ++k, time += delta) start.push_back(time), value.push_back(delta);
  }
  const ExactBuffer stts(RunTableAtom("stts", runs)), ctts(RunTableAtom("ctts", runs));
  CSampleTimeTable table;
  table.SetTableData(stts.data(), stts.size(), qel::EditRate(30000, 1));
  CompositionTimeToSampleTable offsets;
  offsets.SetTableData(ctts.data(), ctts.size());
  for (uint64_t s : WanderingOrder(start.size(), 3)) {
    const qel::TimeLimits t = table.GetSampleTime(s);
    ASSERT_EQ(uint64_t(t.start.GetTimeNumber()), start[s]) << s;
    ASSERT_EQ(t.duration, value[s]) << s;
    if (s + 1 < start.size()) ASSERT_EQ(table.FindTimeSample((start[s] + value[s] / 4.0) / 30000.0), s);
    ASSERT_EQ(uint32_t(offsets.GetCompositionToTimeOffset(s)), value[s]) << s;
  }
  EXPECT_FALSE(offsets.FindSample(value.size()));
}

TEST(SampleTimeTables, NearestStartsSignedOffsetsAndSamplesPastTheTable) {
  const ExactBuffer stts(RunTableAtom("stts", {{3, 10}, {2, 20}}, 9));  // claims 9 entries, holds 2
  CSampleTimeTable table;
  table.SetTableData(stts.data(), stts.size(), qel::EditRate(10, 1));  // 10 units per second
  EXPECT_EQ(table.GetSampleCount(), 5u);  // the runs held
  const std::pair<double, uint64_t> nearest[] = {{1.5, 2}, {1.49, 1}, {4.0, 4}, {0.3, 0}, {-1.0, 0}, {9.0, 6}};
  for (auto [seconds, sample] : nearest) EXPECT_EQ(table.FindTimeSample(seconds), sample) << seconds;  // 9 s: not bounded
  EXPECT_EQ(table.GetSampleTime(4).start.GetTimeNumber(), 50);
  EXPECT_EQ(table.GetSampleTime(1).start.GetTimeNumber(), 10);
  EXPECT_EQ(ErrorText([&] { table.GetSampleTime(5); }), "[sample 5 not found]");
  const ExactBuffer empty(RunTableAtom("stts", {}));
  table.SetTableData(empty.data(), empty.size(), qel::EditRate(1, 1));
  EXPECT_FALSE(table.FindSample(0));
  EXPECT_EQ(table.FindTimeSample(5.0), 0u);

  CompositionTimeToSampleTable offsets;
  EXPECT_EQ(offsets.GetCompositionToTimeOffset(123456), 0);  // no table
  const ExactBuffer ctts(RunTableAtom("ctts", {{1, 1024}, {2, 0xFFFFFFF6}, {1, 512}}));
  offsets.SetTableData(ctts.data(), ctts.size());
  const std::pair<uint64_t, int32_t> signedOffsets[] = {{3, 512}, {1, -10}, {0, 1024}};
  for (auto [sample, offset] : signedOffsets) EXPECT_EQ(offsets.GetCompositionToTimeOffset(sample), offset) << sample;
  EXPECT_FALSE(offsets.CoversSample(4));
  EXPECT_THROW(offsets.GetCompositionToTimeOffset(9), qel::QELRuntimeError);
}

// The last run goes on for ever; a run not starting after the one before
// ends the table; an empty last run ends the samples.
TEST(SampleChunkTables, LastRunGoesOnAndBackwardEmptyOrCutRunsEndTheTable) {
  for (uint32_t badFirst : {2u, 3u}) {
    const ExactBuffer stsc(StscAtom({{1, 2, 1}, {3, 5, 1}, {badFirst, 7, 1}, {9, 1, 1}}));
    CSampleChunkTable table;
    table.SetTableData(stsc.data(), stsc.size());
    uint32_t chunk = 0, place = 0;
    ASSERT_TRUE(table.GetSampleChunkData(100, chunk, place));
    EXPECT_EQ(std::make_pair(chunk, place), std::make_pair(2u + (100 - 4) / 5, (100u - 4) % 5)) << badFirst;
    EXPECT_EQ(table.GetChunkSize(40), 5u);
    EXPECT_EQ(table.GetChunkSize(1), 2u);
    EXPECT_EQ(table.GetChunkToSample(2), 4u);
    EXPECT_EQ(table.CountSamples(10), 2u * 2 + 8 * 5);
    EXPECT_EQ(table.CountSamples(2), 4u);
  }
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

TEST(SampleSizeAndChunkOffsetTables, UniformOrListedCountedUpToTheAtomsEnd) {
  const ExactBuffer uniform(StszAtom(1000, {}, 5));
  CSampleSizeTable sizes;
  sizes.SetTableData(uniform.data(), uniform.size());
  EXPECT_EQ(sizes.GetSampleSizeCount(), 5u);
  EXPECT_EQ(sizes.GetSampleSize(1u << 31), 1000u);
  const std::string listed = StszAtom(0, {11, 22, 33}, 100);
  for (auto [cut, count] : {std::pair(listed.size(), 3u), std::pair(listed.size() - 1, 2u), std::pair(size_t(19), 0u)}) {
    const ExactBuffer b(listed.substr(0, cut));
    sizes.SetTableData(b.data(), b.size());
    EXPECT_EQ(sizes.GetSampleSizeCount(), count) << cut;
  }
  sizes.SetTableData(Data(listed), listed.size());
  EXPECT_EQ(sizes.GetSampleSize(2), 33u);
  EXPECT_EQ(sizes.GetSampleSize(3), 0u);

  const ExactBuffer stco(WordTableAtom("stco", {100, 0xFFFFFFF0}, 2));
  CChunkOffsetTable offsets;
  offsets.SetTableData(stco.data(), stco.size());
  EXPECT_EQ(offsets.GetChunkOffset(1), 0xFFFFFFF0u);
  EXPECT_EQ(offsets.GetChunkOffset(2), 0u);
  const std::string co64 = Co64Atom({8, 0x100000000ull, 0x200000000ull}, 3);
  for (size_t cut : {size_t(16), size_t(23), size_t(24), size_t(39), co64.size()}) {
    const ExactBuffer b(co64.substr(0, cut));
    offsets.SetTableData(b.data(), b.size());
    EXPECT_EQ(offsets.GetNumberOfChunk(), (cut - 16) / 8) << cut;
    if (cut > 24) EXPECT_EQ(offsets.GetChunkOffset(1), 0x100000000ull);
  }
  // The chunk at an offset: the last starting at or before it (of two at one offset, the later).
  const ExactBuffer stcoEqual(WordTableAtom("stco", {1000, 2000, 2000, 5000}));
  offsets.SetTableData(stcoEqual.data(), stcoEqual.size());
  const std::pair<uint64_t, uint32_t> chunkAt[] = {{0, 0}, {1999, 0}, {2000, 2}, {4999, 2}, {5000, 3}, {1u << 31, 3}};
  for (auto [offset, chunk] : chunkAt) EXPECT_EQ(offsets.FindChunkAtOffset(offset), chunk) << offset;
  EXPECT_EQ(CChunkOffsetTable().FindChunkAtOffset(500), 0u);
}

TEST(SampleSyncTables, ListedOneBasedNumbersTheNearestOnesAndExactSize) {
  const std::set<uint32_t> listed = {1, 2, 13, 25, 26, 40, 77};
  const ExactBuffer stss(WordTableAtom("stss", std::vector<uint32_t>(listed.begin(), listed.end())));
  SampleSyncTable table;
  EXPECT_TRUE(table.IsSyncSample(999));  // without table every sample is sync
  EXPECT_EQ(table.FindListedFrom(0), std::nullopt);
  table.SetTableData(stss.data(), stss.size());
  for (uint64_t s = 0; s < 90; ++s) {
    EXPECT_EQ(table.IsSyncSample(s), listed.count(uint32_t(s + 1)) == 1) << s;
    const auto from = listed.lower_bound(uint32_t(s + 1));
    auto upTo = listed.upper_bound(uint32_t(s + 1));
    EXPECT_EQ(table.FindListedFrom(s), from == listed.end() ? std::nullopt : std::optional<uint64_t>(*from - 1)) << s;
    EXPECT_EQ(table.FindListedUpTo(s), upTo == listed.begin() ? std::nullopt : std::optional<uint64_t>(*--upTo - 1)) << s;
  }
  const ExactBuffer zeros(WordTableAtom("stss", {0, 0}));  // 0 is no sample number
  table.SetTableData(zeros.data(), zeros.size());
  EXPECT_EQ(table.FindListedUpTo(5), std::nullopt);
  const ExactBuffer empty(WordTableAtom("stss", {}));
  table.SetTableData(empty.data(), empty.size());
  EXPECT_FALSE(table.IsSyncSample(0));  // a table listing no sample
  SampleSyncTable notSync;
  notSync.SetDefaultBehaviorToNotSync();
  EXPECT_FALSE(notSync.IsSyncSample(0));

  const std::string twoListed = WordTableAtom("stss", {1, 5});
  SampleSyncTable refused;
  EXPECT_EQ(ErrorText([&] { refused.SetTableData(Data(twoListed), 20); }),
            "[sample sync table too small] [ value1 (20) is not == value2 (24) ]");
  EXPECT_THROW(refused.SetTableData(Data(twoListed), 12), qel::QELRuntimeError);
  const std::string huge = WordTableAtom("stss", {}, 0xFFFFFFFF);
  EXPECT_THROW(refused.SetTableData(Data(huge), huge.size()), qel::QELRuntimeError);
  EXPECT_TRUE(refused.IsSyncSample(3));  // still without table
}

}  // namespace
