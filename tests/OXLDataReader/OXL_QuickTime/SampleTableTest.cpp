// The sample table cursors on shapes FFmpeg never writes: thousands of runs
// (some empty) visited in any order, empty and backward "stsc" runs, zeros
// in "stss". Tables claiming more entries than they hold are checked on
// damaged movies (QTDataReaderDamagedTest), 64-bit offsets with the
// movie-header sub-index.
#include <gtest/gtest.h>

#include <optional>
#include <random>
#include <tuple>

#include "OXLDataReader/OXL_QuickTime/SampleChunkTable.h"
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

TEST(SampleTimeTables, NearestStartsAndSamplesPastTheTable) {
  const ExactBuffer stts(RunTableAtom("stts", {{3, 10}, {2, 20}}));
  CSampleTimeTable table;
  table.SetTableData(stts.data(), stts.size(), qel::EditRate(10, 1));  // 10 units per second
  const std::pair<double, uint64_t> nearest[] = {{1.5, 2}, {1.49, 1}, {4.0, 4}, {0.3, 0}, {-1.0, 0}, {9.0, 6}};
  for (auto [seconds, sample] : nearest) EXPECT_EQ(table.FindTimeSample(seconds), sample) << seconds;  // 9 s: not bounded
  EXPECT_EQ(ErrorText([&] { table.GetSampleTime(5); }), "[sample 5 not found]");
  const ExactBuffer empty(RunTableAtom("stts", {}));
  table.SetTableData(empty.data(), empty.size(), qel::EditRate(1, 1));
  EXPECT_EQ(std::make_pair(table.FindSample(0), table.FindTimeSample(5.0)), std::make_pair(false, uint64_t(0)));
}

// The last run goes on for ever; a run not starting after the one before
// ends the table; empty runs hold no sample.
TEST(SampleChunkTables, LastRunGoesOnAndBackwardOrEmptyRunsEndTheTable) {
  const auto chunkOf = [](const std::string& stsc, uint64_t sample) {
    const ExactBuffer b(stsc);
    CSampleChunkTable table;
    table.SetTableData(b.data(), b.size());
    uint32_t chunk = 0, place = 0;
    return table.GetSampleChunkData(sample, chunk, place) ? std::make_pair(int64_t(chunk), place) : std::make_pair(int64_t(-1), 0u);
  };
  for (uint32_t badFirst : {2u, 3u}) {
    const std::string stsc = StscAtom({{1, 2, 1}, {3, 5, 1}, {badFirst, 7, 1}, {9, 1, 1}});
    EXPECT_EQ(chunkOf(stsc, 100), std::make_pair(int64_t(2 + (100 - 4) / 5), (100u - 4) % 5)) << badFirst;
    const ExactBuffer b(stsc);
    CSampleChunkTable table;
    table.SetTableData(b.data(), b.size());
    EXPECT_EQ(std::make_pair(table.GetChunkSize(40), table.GetChunkSize(1)), std::make_pair(5u, 2u));
    EXPECT_EQ(table.GetChunkToSample(2), 4u);
    EXPECT_EQ(std::make_pair(table.CountSamples(10), table.CountSamples(2)), std::make_pair(uint64_t(2 * 2 + 8 * 5), uint64_t(4)));
  }
  EXPECT_EQ(chunkOf(StscAtom({{1, 0, 1}, {3, 4, 1}}), 0), std::make_pair(int64_t(2), 0u));
  EXPECT_EQ(chunkOf(StscAtom({{1, 2, 1}, {2, 0, 1}}), 1), std::make_pair(int64_t(0), 1u));
  EXPECT_EQ(chunkOf(StscAtom({{1, 2, 1}, {2, 0, 1}}), 5).first, -1);
  EXPECT_EQ(chunkOf(StscAtom({}), 0).first, -1);
  EXPECT_THROW(CSampleChunkTable().GetChunkSize(0), qel::QELRuntimeError);
}

// Numbers are one-based; 0 is no sample number. Without a table every
// sample is sync, unless told otherwise; the table's size must match its count.
TEST(SampleSyncTables, NearestListedSamplesAndExactSize) {
  const ExactBuffer stss(WordTableAtom("stss", {0, 2, 13, 13, 40}));
  SampleSyncTable table;
  EXPECT_TRUE(table.IsSyncSample(999));
  table.SetTableData(stss.data(), stss.size());
  const std::tuple<uint64_t, bool, std::optional<uint64_t>, std::optional<uint64_t>> samples[] = {
      {0, false, 1, std::nullopt}, {1, true, 1, 1}, {5, false, 12, 1}, {12, true, 12, 12}, {39, true, 39, 39},
      {50, false, std::nullopt, 39}};
  for (auto [sample, sync, from, upTo] : samples) {
    EXPECT_EQ(table.IsSyncSample(sample), sync) << sample;
    EXPECT_EQ(std::make_pair(table.FindListedFrom(sample), table.FindListedUpTo(sample)), std::make_pair(from, upTo)) << sample;
  }
  const ExactBuffer empty(WordTableAtom("stss", {}));
  table.SetTableData(empty.data(), empty.size());
  EXPECT_FALSE(table.IsSyncSample(0));  // a table listing no sample
  SampleSyncTable refused;
  const std::string twoListed = WordTableAtom("stss", {1, 5});
  EXPECT_EQ(ErrorText([&] { refused.SetTableData(Data(twoListed), 20); }),
            "[sample sync table too small] [ value1 (20) is not == value2 (24) ]");
  EXPECT_THROW(refused.SetTableData(Data(twoListed), 12), qel::QELRuntimeError);
  EXPECT_TRUE(refused.IsSyncSample(3));  // still without table
  refused.SetDefaultBehaviorToNotSync();
  EXPECT_FALSE(refused.IsSyncSample(3));
}

}  // namespace
