// Positioning the QuickTime reader by time and by field on movies made by
// FFmpeg, checked against ffprobe's packet times.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "QTFileCases.h"

using namespace qtfiles;

namespace {

class QtFileTimeSeek : public QtFileTest {
 protected:
  void SetUp() override {
    QtFileTest::SetUp();
    if (IsSkipped() || HasFatalFailure()) return;
    m_Sync = SyncDeliveries(Fixture(), ExpectedVideoDeliveries(Fixture(), GetParam().longGop));
    m_Partial = PartialSyncPackets(Fixture());
    m_FrameSeconds = 1.0 / FrameRate(Video());
    int64_t total = 0;
    for (const auto& p : VideoPackets()) total += p.duration.value_or(0);
    m_ContentSeconds = Seconds(total, Video());
  }

  struct Landing {
    size_t sync = 0;       // index into m_Sync
    bool partial = false;  // on a partial sync sample
  };

  // Where a time lookup lands. The reader looks the time up among the
  // decode times of the sample table, rounding to the nearest sample start
  // (half-way goes up); decode times count from the first sample, and the
  // lookup time is shifted by the earliest presentation time among the first
  // ten samples (the edit list starts the movie there). From that sample it
  // steps back to a full sync sample, or to a partial sync sample that is
  // presented no later than the time.
  Landing ExpectedLanding(double t) const {
    const auto& packets = VideoPackets();
    double earliest = Seconds(packets.front().pts.value_or(0), Video());
    for (size_t i = 1; i < std::min<size_t>(10, packets.size()); ++i)
      earliest = std::min(earliest, Seconds(packets[i].pts.value_or(0), Video()));
    t = std::max(t, 0.0);
    const double lookup = t - earliest;
    const int64_t dts0 = packets.front().dts.value_or(0);
    size_t n = 0;
    while (n + 1 < packets.size()) {
      const double start = Seconds(packets[n].dts.value_or(0) - dts0, Video());
      const double next = Seconds(packets[n + 1].dts.value_or(0) - dts0, Video());
      if (lookup < (start + next) / 2) break;
      ++n;
    }
    for (; n > 0; --n) {
      if (!packets[n].IsKey()) continue;
      if (!m_Partial[n] || Seconds(packets[n].pts.value_or(0), Video()) <= t) break;
    }
    return Landing{DeliveryAtOrBefore(m_Sync, n), m_Partial[n]};
  }

  // A full sync sample reports its decode time, a partial one its presentation time.
  double LandingTime(const Landing& landing) const {
    return landing.partial ? m_Sync[landing.sync].pts : m_Sync[landing.sync].dts;
  }

  // The packet whose presentation starts nearest `t` (half-way goes up):
  // the frame that plays at `t` after rounding to whole frames.
  size_t PresentedNearest(double t) const {
    const auto& packets = VideoPackets();
    size_t best = 0;
    double bestDistance = INFINITY;
    for (size_t i = 0; i < packets.size(); ++i) {
      const double start = Seconds(packets[i].pts.value_or(0), Video());
      const double distance = std::fabs(start - t);
      if (distance < bestDistance || (distance == bestDistance && start > t)) {
        best = i;
        bestDistance = distance;
      }
    }
    return best;
  }

  // Lookup times: each frame's start (of up to 100 frames of a long movie)
  // and points 0.3 and 0.7 of a frame after it, short of the end, and two
  // times before the start.
  std::vector<double> LookupTimes() const {
    std::vector<double> times = {-1.0, -0.01};
    for (size_t i : SpreadIndexes(VideoPackets().size(), 100)) {
      for (double part : {0.0, 0.3, 0.7}) {
        const double t = Seconds(VideoPackets()[i].pts.value_or(0), Video()) + part * m_FrameSeconds;
        if (t >= 0 && t + 1e-3 < m_ContentSeconds) times.push_back(t);
      }
    }
    return times;
  }

  void ExpectNextDelivery(CQTDataReader& reader, const ExpectedDelivery& want) const {
    const auto next = ReadForward(reader, 0);
    ASSERT_EQ(next.size(), 1u);
    EXPECT_EQ(next.front().bytes, want.bytes);
    EXPECT_NEAR(next.front().time, want.pts, 1e-6);
  }

  std::vector<ExpectedDelivery> m_Sync;  // what positioning lands on
  std::vector<bool> m_Partial;          // per video packet
  double m_FrameSeconds = 0;
  double m_ContentSeconds = 0;
};

class QtFileFieldSeek : public QtFileTimeSeek {};

// The reached field of a landing: its time (see LandingTime) in fields, truncated
// towards zero after a nudge of 0.01 away from it, as an unsigned count
// (a negative time wraps).
unsigned int ReachedField(double seconds, double fieldSeconds) {
  const double fields = seconds / fieldSeconds;
  return static_cast<unsigned int>(static_cast<int64_t>(fields + (seconds < 0 ? -0.01 : 0.01)));
}

}  // namespace

// Landing on a sync sample: without partial sync samples, the frame that
// plays at the time is the sync sample itself or one of those decoded after
// it before the next one.
TEST_P(QtFileTimeSeek, LandsOnTheSyncSampleBeforeTheFramePlayingAtThatTime) {
  const bool anyPartial = std::find(m_Partial.begin(), m_Partial.end(), true) != m_Partial.end();
  auto reader = OpenReader(OXLDataReader::Video_Data);
  for (double t : LookupTimes()) {
    SCOPED_TRACE("time " + std::to_string(t));
    const Landing landing = ExpectedLanding(t);
    if (!anyPartial) {
      EXPECT_EQ(landing.sync, DeliveryAtOrBefore(m_Sync, PresentedNearest(t)));
    }
    double seconds = t;
    ASSERT_EQ(reader->GoToTimeOffset(seconds), 0);
    EXPECT_NEAR(seconds, LandingTime(landing), 1e-6);
    ExpectNextDelivery(*reader, m_Sync[landing.sync]);
  }
}

TEST_P(QtFileTimeSeek, ReadingBackwardsAfterASeekStartsBeforeTheLanding) {
  auto reader = OpenReader(OXLDataReader::Video_Data);
  for (size_t i : SpreadIndexes(m_Sync.size(), 100)) {
    SCOPED_TRACE("delivery " + std::to_string(i));
    double seconds = m_Sync[i].pts;
    ASSERT_EQ(reader->GoToTimeOffset(seconds), 0);
    const auto previous = ReadBackward(*reader, 0);
    if (i == 0) {
      EXPECT_TRUE(previous.empty());
      continue;
    }
    ASSERT_EQ(previous.size(), 1u);
    EXPECT_EQ(previous.front().bytes, m_Sync[i - 1].bytes);
    EXPECT_NEAR(previous.front().time, m_Sync[i - 1].pts, 1e-6);
  }
}

TEST_P(QtFileTimeSeek, TimesAtOrPastTheEndPositionAfterTheLastFrame) {
  auto reader = OpenReader(OXLDataReader::Video_Data);
  for (double t : {m_ContentSeconds, m_ContentSeconds + 1.0, 1e6}) {
    SCOPED_TRACE("time " + std::to_string(t));
    double seconds = t;
    ASSERT_EQ(reader->GoToTimeOffset(seconds), 0);
    EXPECT_NEAR(seconds, m_ContentSeconds, 1e-6);
    EXPECT_TRUE(ReadForward(*reader, 0).empty());
    const auto last = ReadBackward(*reader, 0);
    ASSERT_EQ(last.size(), 1u);
    EXPECT_EQ(last.front().bytes, m_Sync.back().bytes);
  }
}

TEST_P(QtFileTimeSeek, DataStartIsTheFirstDelivery) {
  auto reader = OpenReader(OXLDataReader::Video_Data);
  ReadForward(*reader, 2);
  ASSERT_EQ(reader->GoToDataStart(), 0);
  ExpectNextDelivery(*reader, m_Sync.front());
}

INSTANTIATE_TEST_SUITE_P(Movies, QtFileTimeSeek, testing::ValuesIn(MovieHeaderCases()), CaseName);

// Field f is the time f x field duration: frame starts fall on fields
// 0, 2, 4 ... at 25 and 29.97 frames/s and on every field at 50 and 59.94.
TEST_P(QtFileFieldSeek, FrameStartFieldsLandOnTheirFrames) {
  auto reader = OpenReader(OXLDataReader::Video_Data);
  const unsigned int fieldsPerFrame = FieldsPerFrame(Video());
  const double fieldSeconds = reader->GetFieldDuration();
  ASSERT_NEAR(fieldSeconds, m_FrameSeconds / fieldsPerFrame, 1e-6);
  const unsigned int frames = static_cast<unsigned int>(std::lround(m_ContentSeconds / m_FrameSeconds));
  for (size_t frame : SpreadIndexes(frames, 100)) {
    const unsigned int field = static_cast<unsigned int>(frame) * fieldsPerFrame;
    SCOPED_TRACE("field " + std::to_string(field));
    const Landing landing = ExpectedLanding(field * m_FrameSeconds / fieldsPerFrame);
    unsigned int reached = 0;
    ASSERT_EQ(reader->GoToFieldOffset(field, &reached), 0);
    EXPECT_EQ(reached, ReachedField(LandingTime(landing), fieldSeconds));
    ExpectNextDelivery(*reader, m_Sync[landing.sync]);
  }
}

TEST_P(QtFileFieldSeek, FieldsPastTheEndReachTheEnd) {
  auto reader = OpenReader(OXLDataReader::Video_Data);
  const unsigned int fieldsPerFrame = FieldsPerFrame(Video());
  const unsigned int frames = static_cast<unsigned int>(std::lround(m_ContentSeconds / m_FrameSeconds));
  unsigned int reached = 0;
  ASSERT_EQ(reader->GoToFieldOffset((frames + 3) * fieldsPerFrame, &reached), 0);
  EXPECT_EQ(reached, frames * fieldsPerFrame);
  EXPECT_TRUE(ReadForward(*reader, 0).empty());
}

INSTANTIATE_TEST_SUITE_P(Movies, QtFileFieldSeek, testing::ValuesIn(MovieHeaderCases()), CaseName);
