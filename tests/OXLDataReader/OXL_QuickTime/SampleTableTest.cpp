// The sample table cursors on shapes FFmpeg never writes: thousands of runs
// (some empty) visited in any order, empty and backward "stsc" runs, zeros in "stss".
#include <gtest/gtest.h>

#include <optional>
#include <random>

#include "OXLDataReader/OXL_QuickTime/SampleChunkTable.h"
#include "OXLDataReader/OXL_QuickTime/SampleSyncTable.h"
#include "OXLDataReader/OXL_QuickTime/SampleTimeTable.h"
#include "qelCore/QELRuntimeError.h"
#include "support/ByteBuilder.h"
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

// Decode times, nearest starts and composition offsets, as in seeks in an hour-long track.
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
    if (s + 1 < start.size()) {
      ASSERT_EQ(table.FindTimeSample((start[s] + value[s] / 4.0) / 30000.0), s);
    }
    ASSERT_EQ(uint32_t(offsets.GetCompositionToTimeOffset(s)), value[s]) << s;
  }
  EXPECT_FALSE(offsets.FindSample(value.size()));
}

// Half a sample rounds up; times past the table are not bounded by it.
TEST(SampleTimeTables, NearestStartsAndSamplesPastTheTable) {
  const ExactBuffer stts(RunTableAtom("stts", {{3, 10}, {2, 20}}));
  CSampleTimeTable table;
  table.SetTableData(stts.data(), stts.size(), qel::EditRate(10, 1));  // 10 units per second
  const std::pair<double, uint64_t> nearest[] = {{1.5, 2}, {1.49, 1}, {4.0, 4}, {0.3, 0}, {-1.0, 0}, {9.0, 6}};
  for (auto [seconds, sample] : nearest) EXPECT_EQ(table.FindTimeSample(seconds), sample) << seconds;
  EXPECT_THROW(table.GetSampleTime(5), qel::QELRuntimeError);
}

// A run not starting after the one before ends the table.
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
    EXPECT_EQ(std::make_pair(table.GetChunkSize(40), table.GetChunkToSample(2)), std::make_pair(5u, uint64_t(4)));
    EXPECT_EQ(std::make_pair(table.CountSamples(10), table.CountSamples(2)), std::make_pair(uint64_t(2 * 2 + 8 * 5), uint64_t(4)));
  }
  EXPECT_EQ(chunkOf(StscAtom({{1, 0, 1}, {3, 4, 1}}), 0), std::make_pair(int64_t(2), 0u));
  EXPECT_EQ(chunkOf(StscAtom({{1, 2, 1}, {2, 0, 1}}), 1), std::make_pair(int64_t(0), 1u));
  EXPECT_EQ(chunkOf(StscAtom({{1, 2, 1}, {2, 0, 1}}), 5).first, -1);
  EXPECT_EQ(chunkOf(StscAtom({}), 0).first, -1);
  EXPECT_THROW(CSampleChunkTable().GetChunkSize(0), qel::QELRuntimeError);
}

// 0 is no sample number; a table listing none makes no sample sync, no
// table every sample unless told otherwise; the size must match the count.
TEST(SampleSyncTables, ZerosEmptyOrMissingTablesAndExactSize) {
  const ExactBuffer zeros(WordTableAtom("stss", {0, 0, 3})), empty(WordTableAtom("stss", {}));
  SampleSyncTable table;
  table.SetTableData(zeros.data(), zeros.size());
  EXPECT_EQ(std::make_pair(table.FindListedUpTo(1), table.FindListedUpTo(2)), std::make_pair(std::optional<uint64_t>(), std::optional<uint64_t>(2)));
  table.SetTableData(empty.data(), empty.size());
  EXPECT_FALSE(table.IsSyncSample(0));
  SampleSyncTable none;
  EXPECT_TRUE(none.IsSyncSample(3));
  EXPECT_THROW(none.SetTableData(Data(WordTableAtom("stss", {1, 5})), 20), qel::QELRuntimeError);
  none.SetDefaultBehaviorToNotSync();
  EXPECT_FALSE(none.IsSyncSample(3));
}

}  // namespace
