// Far jumps in long time tables (random seeks in hour-long tracks) must give
// the same answers as walking entry by entry.
#include <gtest/gtest.h>

#include <random>

#include "OXLDataReader/OXL_QuickTime/SampleTimeTable.h"
#include "support/ByteBuilder.h"
#include "support/QtSampleTables.h"

using namespace oxltest;

namespace {

// 5,000 runs of 1 to 3 samples with deltas 1000 to 1010, as an H.264 track's
// "ctts"-like irregular table would give; the expected values are summed here.
struct LongTable {
  SampleRuns runs;
  std::vector<uint64_t> sampleStart;  // decode start of every sample
  std::vector<uint32_t> sampleValue;
  LongTable() {
    std::mt19937 random(7);
    uint64_t time = 0;
    for (int i = 0; i < 5000; ++i) {
      const uint32_t count = 1 + random() % 3, value = 1000 + random() % 11;
      runs.emplace_back(count, value);
      for (uint32_t k = 0; k < count; ++k) {
        sampleStart.push_back(time);
        sampleValue.push_back(value);
        time += value;
      }
    }
  }
};

class TimeTableJumps : public ::testing::Test {
 protected:
  void SetUp() override { stts.SetTableData(sttsBytes.data(), sttsBytes.size(), qel::EditRate(30000, 1)); }
  const LongTable table;
  const ExactBuffer sttsBytes{RunTableAtom("stts", table.runs)};
  CSampleTimeTable stts;
};

}  // namespace

TEST_F(TimeTableJumps, RandomDecodeTimesMatchTheSums) {
  std::mt19937 random(11);
  for (int i = 0; i < 3000; ++i) {
    const uint64_t n = random() % table.sampleStart.size();
    const qel::TimeLimits limits = stts.GetSampleTime(n);
    ASSERT_EQ(static_cast<uint64_t>(limits.start.GetTimeNumber()), table.sampleStart[n]) << "sample " << n;
    ASSERT_EQ(limits.duration, table.sampleValue[n]);
  }
}

TEST_F(TimeTableJumps, RandomTimesFindTheNearestSampleStart) {
  std::mt19937 random(13);
  for (int i = 0; i < 3000; ++i) {
    const uint64_t n = random() % (table.sampleStart.size() - 1);
    // A quarter into the sample: nearest start is its own.
    const double seconds = (table.sampleStart[n] + table.sampleValue[n] / 4.0) / 30000.0;
    ASSERT_EQ(stts.FindTimeSample(seconds), n) << "at " << seconds;
  }
}

TEST_F(TimeTableJumps, RandomCompositionOffsetsMatchTheRuns) {
  const std::string atom = RunTableAtom("ctts", table.runs);
  const ExactBuffer bytes(atom);
  CompositionTimeToSampleTable ctts;
  ctts.SetTableData(bytes.data(), bytes.size());
  std::mt19937 random(17);
  for (int i = 0; i < 3000; ++i) {
    const uint64_t n = random() % table.sampleValue.size();
    ASSERT_EQ(static_cast<uint32_t>(ctts.GetCompositionToTimeOffset(n)), table.sampleValue[n]) << "sample " << n;
  }
  EXPECT_FALSE(ctts.FindSample(table.sampleValue.size()));  // one past the last
  EXPECT_TRUE(ctts.FindSample(0));
}
