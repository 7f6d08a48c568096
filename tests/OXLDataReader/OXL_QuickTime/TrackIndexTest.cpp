// The track index: time lookup across sub-indexes whose starts are chained
// lazily (FFmpeg's fragments all state theirs), and cursors re-anchored after a new movie header.
#include <gtest/gtest.h>

#include <optional>
#include <stdexcept>

#include "OXLDataReader/OXL_QuickTime/MoovTrackSubIndex.h"
#include "OXLDataReader/OXL_QuickTime/TrackIndex.h"
#include "qelCore/QELRuntimeError.h"
#include "support/ByteBuilder.h"
#include "support/ErrorText.h"
#include "support/QtSampleTables.h"

using namespace oxltest;

namespace {

const qel::EditRate kRate(100, 1);

// A fragment-like piece of `count` samples of `duration` units, whose start
// is known or set later.
class FakeSubIndex : public ITrackSubIndex {
 public:
  FakeSubIndex(int count, int64_t duration, std::optional<int64_t> start = std::nullopt, const char* type = "moof")
      : m_Type(type), m_Count(count), m_Duration(duration) {
    if (start) m_Start = qel::MediaTime(kRate, *start);
  }
  // A cursor, and a copy of it the sample it stands on.
  class Cursor : public IQtSampleIndex, public IQtSample {
   public:
    Cursor(FakeSubIndex& owner, int position) : m_Owner(owner), m_Position(position) {}
    std::shared_ptr<IQtSample> GetSample() override { return std::make_shared<Cursor>(m_Owner, m_Position); }
    void Next() override { ++m_Position; }
    void Prev() override { --m_Position; }
    bool IsBeforeFirstIndex() override { return m_Position < 0; }
    bool IsFirstIndex() override { return m_Position == 0; }
    bool IsAfterLastIndex() override { return m_Position >= m_Owner.m_Count; }
    bool IsOutOfBounds() override { return IsBeforeFirstIndex() || IsAfterLastIndex(); }
    std::shared_ptr<IQtSampleIndex> Copy() const override { return std::make_shared<Cursor>(m_Owner, m_Position); }
    bool IsSyncOrPartialSync() const override { return true; }
    bool IsPartialSync() const override { return false; }
    qel::TimeLimits GetTimeStamp() const override {
      return {m_Owner.GetStartTimestamp() + m_Position * m_Owner.m_Duration, m_Owner.m_Duration};
    }
    qel::TimeLimits GetReferenceTimeStamp() const override { return GetTimeStamp(); }
    double GetSampleDuration() const override { return m_Owner.m_Duration / 100.0; }
    unsigned int GetSampleSize() const override { return 10; }
    uint64_t GetSampleOffset() const override { return 1000u * m_Position; }
    std::wstring GetSampleFile() const override { return L""; }

   private:
    FakeSubIndex& m_Owner;
    int m_Position;
  };

  const char* GetSubIndexType() const override { return m_Type; }
  std::shared_ptr<IQtSampleIndex> GetFirstSampleIndex() override { return std::make_shared<Cursor>(*this, 0); }
  std::shared_ptr<IQtSampleIndex> FindSampleIndex(double seconds) override {
    if (!m_Start) throw std::logic_error("asked before its start was set");
    const double units = seconds * 100 - m_Start->GetTimeNumber();
    if (units < -0.8 || units >= m_Count * m_Duration) return nullptr;
    return std::make_shared<Cursor>(*this, units < 0 ? 0 : int(units / m_Duration));
  }
  std::shared_ptr<IQtSampleIndex> FindSampleIndex(unsigned long) override { throw std::logic_error("not here"); }
  std::shared_ptr<IQtSampleIndex> GetLastSampleIndex() override { return std::make_shared<Cursor>(*this, m_Count - 1); }
  bool IsKnownTimestamp() const override { return m_Start.has_value(); }
  void SetStartTimestamp(qel::MediaTime start) override { m_Start = start; }
  qel::MediaTime GetStartTimestamp() const override {
    if (!m_Start) throw std::logic_error("start asked before it was set");
    return *m_Start;
  }
  qel::MediaTime GetDuration() const override { return qel::MediaTime(kRate, m_Count * m_Duration); }
  qel::MediaTime GetMediaContentDuration() const override { return qel::MediaTime(kRate, m_Count * m_Duration - 1); }
  uint64_t GetBaseDataOffset() const override { return 0; }
  qel::MediaTime GetTrackMediaTimeOffset() const override { return qel::MediaTime(kRate, 0); }

 private:
  const char* m_Type;
  int m_Count;
  int64_t m_Duration;
  std::optional<qel::MediaTime> m_Start;
};

// A movie header of `samples` samples of 10 units, one chunk, 100 bytes each.
std::shared_ptr<ITrackSubIndex> Moov(uint32_t samples) {
  const std::string stbl = Atom("stbl", RunTableAtom("stts", {{samples, 10}}) + StscAtom({{1, samples, 1}}) +
                                            StszAtom(100, {}, samples) + WordTableAtom("stco", {0}));
  return CreateMovieHeaderTrackIndex(Data(stbl), stbl.size(), qel::MediaTime(kRate, samples * 10), kRate, samples * 10);
}

std::shared_ptr<FakeSubIndex> Fake(int count, int64_t duration, std::optional<int64_t> start = std::nullopt,
                                   const char* type = "moof") {
  return std::make_shared<FakeSubIndex>(count, duration, start, type);
}

// Sub-index number and start of the sample under a track index cursor.
std::pair<uint64_t, int64_t> Where(const std::shared_ptr<IQtSampleIndex>& cursor) {
  const int64_t start = cursor->GetSample()->GetTimeStamp().start.GetTimeNumber();  // adapts the cursor first
  return {std::dynamic_pointer_cast<TrackIndexQtSampleIndex>(cursor)->GetSubIndexNumber(), start};
}

TEST(TrackIndexTimeLookup, SlightlyNegativeTimeStartsAnUntimedChainAtZero) {
  CTrackIndex index;
  auto first = Fake(3, 10);
  index.AppendTrackSubIndex(first);
  EXPECT_THROW(index.FindSampleIndex(-0.009), qel::QELRuntimeError);  // beyond the tolerance
  EXPECT_FALSE(first->IsKnownTimestamp());
  auto cursor = index.FindSampleIndex(-0.005);
  ASSERT_TRUE(cursor);
  EXPECT_EQ(first->GetStartTimestamp().GetTimeNumber(), 0);
  EXPECT_EQ(Where(cursor), std::make_pair(uint64_t(0), int64_t(0)));
  auto second = Fake(2, 10);
  index.AppendTrackSubIndex(second);
  index.UpdateTimeNumber(1);
  EXPECT_EQ(second->GetStartTimestamp().GetTimeNumber(), 30);
  EXPECT_THROW(index.UpdateTimeNumber(2), qel::QELRuntimeError);
}

TEST(TrackIndexTimeLookup, FragmentsWithoutStartAreChainedUpToTheOneHoldingTheTime) {
  CTrackIndex index;
  index.AppendTrackSubIndex(Moov(10));  // 0 to 100
  auto f1 = Fake(5, 10), f2 = Fake(5, 10), f3 = Fake(5, 10), f4 = Fake(5, 10);
  for (auto& f : {f1, f2, f3, f4}) index.AppendTrackSubIndex(f);
  auto cursor = index.FindSampleIndex(1.72);  // in f2: 150 to 200
  ASSERT_TRUE(cursor);
  EXPECT_EQ(Where(cursor), std::make_pair(uint64_t(2), int64_t(170)));
  EXPECT_EQ(f1->GetStartTimestamp().GetTimeNumber(), 100);
  EXPECT_EQ(f3->GetStartTimestamp().GetTimeNumber(), 200);
  EXPECT_FALSE(f4->IsKnownTimestamp());
  EXPECT_EQ(Where(index.FindSampleIndex(1.72)), std::make_pair(uint64_t(2), int64_t(170)));  // from the start-time map
  EXPECT_FALSE(index.FindSampleIndex(5.0));
  EXPECT_TRUE(f4->IsKnownTimestamp());
}

TEST(TrackIndexNewMovieHeader, ClearsTheChainAndCursorsReanchorByTime) {
  CTrackIndex index;
  index.AppendTrackSubIndex(Moov(4));
  index.AppendTrackSubIndex(Fake(4, 10));
  auto inFragment = index.FindSampleIndex(0.6);  // fragment sample at 60
  auto atEnd = index.FindLastSampleIndexExcluded();
  auto beforeStart = index.FindSampleIndex(0.0);
  beforeStart->Prev();
  EXPECT_EQ(Where(inFragment), std::make_pair(uint64_t(1), int64_t(60)));
  index.AppendTrackSubIndex(Moov(10));  // the movie header was re-read: now 10 samples
  EXPECT_EQ(index.GetNumberOfSubTrack(), 1u);
  EXPECT_EQ(Where(inFragment), std::make_pair(uint64_t(0), int64_t(60)));
  EXPECT_FALSE(atEnd->IsFirstIndex() || atEnd->IsAfterLastIndex());
  atEnd->Prev();
  EXPECT_EQ(Where(atEnd), std::make_pair(uint64_t(0), int64_t(70)));  // stood after the sample at 70
  EXPECT_TRUE(beforeStart->IsBeforeFirstIndex());
  beforeStart->Next();
  EXPECT_EQ(Where(beforeStart), std::make_pair(uint64_t(0), int64_t(0)));
}

TEST(TrackIndexNewMovieHeader, TimePastTheNewHeaderFails) {
  CTrackIndex index;
  index.AppendTrackSubIndex(Fake(1, 10, 0));
  index.AppendTrackSubIndex(Fake(4, 10, 10));
  auto cursor = index.FindSampleIndex(0.3);
  index.AppendTrackSubIndex(Fake(2, 10, 0, "moov"));
  EXPECT_EQ(ErrorText([&] { cursor->Next(); }), "[Failed to found current timestamp : 30@100/1] [ Pointer is null ]");
}

}  // namespace
