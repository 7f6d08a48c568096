#pragma once
// CTrackIndex: the samples of one media track as a chain of sub-indexes, in
// the order in which they were appended (a movie header, then movie
// fragments or the fragments of a referenced file), and the cursor that
// walks across them (TrackIndexQtSampleIndex).
//
// Sub-indexes that do not know their start time (fragments without a decode
// time) are given one lazily, chained from the end of their predecessor,
// when a duration or a time lookup needs it. Appending a new movie header
// ("moov") starts a new chain; cursors made before re-anchor by time.
#include <cstdint>
#include <deque>
#include <map>
#include <memory>

#include "OXLDataReader/OXL_QuickTime/TrackSubIndex.h"

class CTrackIndex {
 public:
  struct SubIndexInfo {
    uint64_t number = 0;
    std::shared_ptr<ITrackSubIndex> subIndex;
  };

  CTrackIndex() = default;

  void AppendTrackSubIndex(std::shared_ptr<ITrackSubIndex> subIndex);
  uint64_t GetNumberOfSubTrack() const { return m_SubIndexes.size(); }
  // Changes whenever the chain does (an append, or a new movie header).
  uint64_t GetGeneration() const { return m_qwGeneration; }
  // Fails ("Invalid trackSubIndexNb") for a number not below the chain length.
  std::shared_ptr<ITrackSubIndex> GetSubTrack(uint64_t number) const;

  // A cursor on the sample presented at `seconds`, or empty when no
  // sub-index holds that time. Fails ("Timestamp may be greather or equal
  // than 0.0") below -0.008 s; times up to 8 ms before zero are accepted.
  std::shared_ptr<IQtSampleIndex> FindSampleIndex(double seconds);
  // On the last sample / just after it; empty for an empty chain.
  std::shared_ptr<IQtSampleIndex> FindLastSampleIndex();
  std::shared_ptr<IQtSampleIndex> FindLastSampleIndexExcluded();
  // For a media file of which `size` bytes are available: the first
  // sub-index's cursor on the last sample complete within them (not wrapped),
  // or just after it; empty for an empty chain.
  std::shared_ptr<IQtSampleIndex> FindLastSampleIndex(unsigned long size);
  std::shared_ptr<IQtSampleIndex> FindLastSampleIndexExcluded(unsigned long size);
  // End time of the last sample complete within `size` bytes; zero at 1/1
  // for an empty chain or when no sample is complete.
  qel::MediaTime GetMaxDuration(unsigned long size) const;
  // Start of the last sub-index plus its duration (raw time numbers in the
  // start's rate); zero at 1/1 for an empty chain.
  qel::MediaTime GetDuration();
  qel::MediaTime GetMediaContentDuration();
  // Fails ("Need at least one index entry") for an empty chain.
  qel::MediaTime GetTrackMediaTimeOffset() const;
  // Gives sub-index `number`, and every one before it, a start time chained
  // from its predecessor (raw time numbers in the predecessor's rate), and
  // enters them in the start-time map so that time lookups find them. A
  // first sub-index without a start time starts at zero.
  void UpdateTimeNumber(uint64_t number);
  void UpdateTimeNumber();

 private:
  friend class TrackIndexQtSampleIndex;

  void ClearPreviousSubIndexOnNewMoov(const ITrackSubIndex& subIndex);
  void SetChainedStart(uint64_t number);
  std::shared_ptr<IQtSampleIndex> Ask(uint64_t number, const std::shared_ptr<ITrackSubIndex>& subIndex,
                                      double seconds);
  std::shared_ptr<IQtSampleIndex> FindInChain(double seconds);
  qel::MediaTime EndOf(const qel::MediaTime& duration) const;

  std::deque<std::shared_ptr<ITrackSubIndex>> m_SubIndexes;
  std::map<double, SubIndexInfo> m_StartTimes;  // start in seconds -> sub-index
  uint64_t m_qwGeneration = 0;
};

// A cursor over a whole track index. It follows fragments appended after it
// was made, and after the chain was rebuilt by a new movie header it
// re-anchors on the sample it stood on, by time.
class TrackIndexQtSampleIndex : public IQtSampleIndex {
 public:
  // Fails when `number` is not a sub-index of `trackIndex`, which must outlive the cursor.
  TrackIndexQtSampleIndex(CTrackIndex* trackIndex, uint64_t number, std::shared_ptr<IQtSampleIndex> inner);

  std::shared_ptr<IQtSample> GetSample() override;
  void Next() override;
  void Prev() override;
  bool IsBeforeFirstIndex() override;
  bool IsFirstIndex() override;
  bool IsAfterLastIndex() override;
  // Before the first sample of the first sub-index, or out of bounds in the last one.
  bool IsOutOfBounds() override;
  std::shared_ptr<IQtSampleIndex> Copy() const override;
  // Each sub-index searches its own samples; the walk crosses sub-indexes.
  void SeekSyncForward() override;
  void SeekSyncBackward() override;
  QtSampleFacts GetSampleFacts() override;
  qel::TimeLimits GetSampleTimeStamp() override;
  qel::TimeLimits GetSampleReferenceTimeStamp() override;
  // In place whenever the two inner cursors are of one kind (always within
  // a movie header or between fragments); otherwise the inner one is copied.
  bool AssignFrom(const IQtSampleIndex& other) override;

  uint64_t GetSubIndexNumber() const { return m_Number; }

 private:
  TrackIndexQtSampleIndex(CTrackIndex* trackIndex, uint64_t number, std::shared_ptr<ITrackSubIndex> subIndex,
                          std::shared_ptr<IQtSampleIndex> inner);
  void Refresh();
  void AdaptIfIndexWasOverwritten();
  void CheckNewFragmentsAvailable();
  void MoveTo(uint64_t number);
  // Onto the first or last sample of sub-index `number`.
  void Enter(uint64_t number, bool atFirst);
  template <typename Place, typename Make>
  void Reuse(Place&& place, Make&& make);
  bool IsLastSubIndex() const { return m_Number + 1 >= m_pTrackIndex->GetNumberOfSubTrack(); }

  CTrackIndex* m_pTrackIndex;
  std::shared_ptr<ITrackSubIndex> m_SubIndex;
  uint64_t m_Number;
  std::shared_ptr<IQtSampleIndex> m_Inner;
  // The inner cursor of the other kind last used (a movie header's or a
  // fragment's), kept so that crossing between the two kinds again moves it
  // in place instead of allocating.
  std::shared_ptr<IQtSampleIndex> m_Spare;
  // The chain generation the cursor last adapted to; none at first.
  uint64_t m_qwSeenGeneration = ~uint64_t(0);
};
