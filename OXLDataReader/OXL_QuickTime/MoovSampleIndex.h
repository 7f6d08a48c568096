#pragma once
// The per-sample interface of movie-header sub-indexes, and the sample and
// cursor objects that walk one by index position.
#include <cstdint>
#include <memory>
#include <optional>

#include "OXLDataReader/OXL_QuickTime/TrackSubIndex.h"

// n is an index position: a sample, or a chunk for PCM sound.
class IMoovTrackSubIndex {
 public:
  virtual ~IMoovTrackSubIndex() = default;
  virtual uint64_t GetSampleOffset(uint64_t n) = 0;
  virtual qel::TimeLimits GetSampleTime(uint64_t n) = 0;
  virtual qel::TimeLimits GetReferenceSampleTime(uint64_t n) = 0;
  virtual double GetSampleDuration(uint64_t n) = 0;
  virtual unsigned int GetSampleSize(uint64_t n) = 0;
  virtual bool IsAfterLastIndex(uint64_t n) = 0;
  virtual bool IsSyncOrPartialSync(uint64_t n) = 0;
  virtual bool IsPartialSync(uint64_t n) = 0;
  // Positions 0 to count - 1 exist.
  virtual uint64_t GetPositionCount() = 0;
  // The nearest position from `n` on (forwards) or up to `n` (backwards)
  // that is sync or partial sync; none when there is no such position.
  virtual std::optional<uint64_t> FindSyncOrPartialSync(uint64_t n, bool forward) = 0;
  // Offset, size and sync flags of `n` in one call.
  virtual QtSampleFacts GetSampleFacts(uint64_t n) {
    return {GetSampleOffset(n), GetSampleSize(n), IsSyncOrPartialSync(n), IsPartialSync(n)};
  }
};

// One position of a movie-header sub-index; every query forwards to it. The
// sub-index must outlive the sample.
class MoovSample : public IQtSample {
 public:
  MoovSample(int64_t position, IMoovTrackSubIndex& subIndex) : m_Position(position), m_SubIndex(subIndex) {}
  bool IsSyncOrPartialSync() const override { return m_SubIndex.IsSyncOrPartialSync(Position()); }
  bool IsPartialSync() const override { return m_SubIndex.IsPartialSync(Position()); }
  qel::TimeLimits GetTimeStamp() const override { return m_SubIndex.GetSampleTime(Position()); }
  qel::TimeLimits GetReferenceTimeStamp() const override { return m_SubIndex.GetReferenceSampleTime(Position()); }
  double GetSampleDuration() const override { return m_SubIndex.GetSampleDuration(Position()); }
  unsigned int GetSampleSize() const override { return m_SubIndex.GetSampleSize(Position()); }
  uint64_t GetSampleOffset() const override { return m_SubIndex.GetSampleOffset(Position()); }
  std::wstring GetSampleFile() const override { return std::wstring(); }

 private:
  uint64_t Position() const { return static_cast<uint64_t>(m_Position); }

  int64_t m_Position;
  IMoovTrackSubIndex& m_SubIndex;
};

// A cursor over the positions of a movie-header sub-index; -1 is before the
// first. The sub-index must outlive the cursor.
class MoovSampleIndex : public IQtSampleIndex {
 public:
  MoovSampleIndex(int64_t position, IMoovTrackSubIndex& subIndex) : m_Position(position), m_pSubIndex(&subIndex) {}
  std::shared_ptr<IQtSample> GetSample() override;
  void Next() override;
  void Prev() override;
  bool IsBeforeFirstIndex() override { return m_Position < 0; }
  bool IsFirstIndex() override { return m_Position == 0; }
  bool IsAfterLastIndex() override;
  bool IsOutOfBounds() override { return IsBeforeFirstIndex() || IsAfterLastIndex(); }
  std::shared_ptr<IQtSampleIndex> Copy() const override;
  void SeekSyncForward() override;
  void SeekSyncBackward() override;
  QtSampleFacts GetSampleFacts() override { return m_pSubIndex->GetSampleFacts(Position()); }
  qel::TimeLimits GetSampleTimeStamp() override { return m_pSubIndex->GetSampleTime(Position()); }
  qel::TimeLimits GetSampleReferenceTimeStamp() override { return m_pSubIndex->GetReferenceSampleTime(Position()); }
  bool AssignFrom(const IQtSampleIndex& other) override;
  // Onto `position` of `subIndex`, in place.
  void Place(int64_t position, IMoovTrackSubIndex& subIndex);

  int64_t GetPosition() const { return m_Position; }

 private:
  uint64_t Position() const { return static_cast<uint64_t>(m_Position); }

  int64_t m_Position;
  IMoovTrackSubIndex* m_pSubIndex;
  std::shared_ptr<IQtSample> m_Sample;
};
