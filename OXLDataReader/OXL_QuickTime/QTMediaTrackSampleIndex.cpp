// Cursors of a CQTMediaTrack: they hide the track's edit start.
#include <limits>
#include <typeinfo>

#include "OXLDataReader/OXL_QuickTime/QTMediaTrack.h"

namespace {

// Times as the track presents them: before the edit start is negative.
qel::TimeLimits Shifted(qel::TimeLimits limits, const qel::MediaTime& startOffset) {
  if (startOffset.GetTimeNumber() != 0) limits.start -= startOffset;
  return limits;
}

class MediaTrackSample : public IQtSample {
 public:
  MediaTrackSample(std::shared_ptr<IQtSample> inner, qel::MediaTime startOffset, bool forceSync)
      : m_Inner(std::move(inner)), m_StartOffset(startOffset), m_bForceSync(forceSync) {}
  bool IsSyncOrPartialSync() const override { return m_bForceSync || m_Inner->IsSyncOrPartialSync(); }
  bool IsPartialSync() const override { return m_Inner->IsPartialSync(); }
  qel::TimeLimits GetTimeStamp() const override { return Shifted(m_Inner->GetTimeStamp(), m_StartOffset); }
  qel::TimeLimits GetReferenceTimeStamp() const override {
    return Shifted(m_Inner->GetReferenceTimeStamp(), m_StartOffset);
  }
  double GetSampleDuration() const override { return m_Inner->GetSampleDuration(); }
  unsigned int GetSampleSize() const override { return m_Inner->GetSampleSize(); }
  uint64_t GetSampleOffset() const override { return m_Inner->GetSampleOffset(); }
  std::wstring GetSampleFile() const override { return m_Inner->GetSampleFile(); }

 private:
  std::shared_ptr<IQtSample> m_Inner;
  qel::MediaTime m_StartOffset;
  bool m_bForceSync;
};

class MediaTrackSampleIndex : public IQtSampleIndex {
 public:
  MediaTrackSampleIndex(std::shared_ptr<IQtSampleIndex> inner, qel::MediaTime startOffset, bool forceSync)
      : m_Inner(std::move(inner)), m_StartOffset(startOffset), m_bForceSync(forceSync) {}
  std::shared_ptr<IQtSample> GetSample() override {
    auto sample = m_Inner->GetSample();
    if (!sample) return nullptr;
    return std::make_shared<MediaTrackSample>(std::move(sample), m_StartOffset, m_bForceSync);
  }
  void Next() override { m_Inner->Next(); }
  void Prev() override { m_Inner->Prev(); }
  bool IsBeforeFirstIndex() override { return m_Inner->IsBeforeFirstIndex(); }
  bool IsFirstIndex() override { return m_Inner->IsFirstIndex(); }
  bool IsAfterLastIndex() override { return m_Inner->IsAfterLastIndex(); }
  bool IsOutOfBounds() override { return m_Inner->IsOutOfBounds(); }
  std::shared_ptr<IQtSampleIndex> Copy() const override {
    return std::make_shared<MediaTrackSampleIndex>(m_Inner->Copy(), m_StartOffset, m_bForceSync);
  }
  // With force sync every sample is one: the cursor only leaves the outside.
  void SeekSyncForward() override {
    if (!m_bForceSync) return m_Inner->SeekSyncForward();
    if (m_Inner->IsBeforeFirstIndex()) m_Inner->Next();
  }
  void SeekSyncBackward() override {
    if (!m_bForceSync) return m_Inner->SeekSyncBackward();
    if (m_Inner->IsAfterLastIndex()) m_Inner->Prev();
  }
  QtSampleFacts GetSampleFacts() override {
    QtSampleFacts facts = m_Inner->GetSampleFacts();
    facts.syncOrPartialSync = facts.syncOrPartialSync || m_bForceSync;
    return facts;
  }
  qel::TimeLimits GetSampleTimeStamp() override { return Shifted(m_Inner->GetSampleTimeStamp(), m_StartOffset); }
  qel::TimeLimits GetSampleReferenceTimeStamp() override {
    return Shifted(m_Inner->GetSampleReferenceTimeStamp(), m_StartOffset);
  }
  bool AssignFrom(const IQtSampleIndex& other) override {
    if (typeid(other) != typeid(*this)) return false;
    const auto* same = static_cast<const MediaTrackSampleIndex*>(&other);
    if (same == this) return true;
    if (!m_Inner->AssignFrom(*same->m_Inner)) m_Inner = same->m_Inner->Copy();
    m_StartOffset = same->m_StartOffset;
    m_bForceSync = same->m_bForceSync;
    return true;
  }

 private:
  std::shared_ptr<IQtSampleIndex> m_Inner;
  qel::MediaTime m_StartOffset;
  bool m_bForceSync;
};

}  // namespace

std::shared_ptr<IQtSampleIndex> CQTMediaTrack::CreateMediaTrackSampleIndex(std::shared_ptr<IQtSampleIndex> inner) {
  if (!inner) return nullptr;
  const qel::MediaTime offset(qel::EditRate(m_dwMediaTimescale, 1), m_dwStartOffset);
  return std::make_shared<MediaTrackSampleIndex>(std::move(inner), offset, m_bForceSync);
}

std::shared_ptr<IQtSampleIndex> CQTMediaTrack::FindFirstSample() {
  const double start = m_dwMediaTimescale ? double(m_dwStartOffset) / m_dwMediaTimescale : 0.0;
  return CreateMediaTrackSampleIndex(m_TrackIndex.FindSampleIndex(start));
}

std::shared_ptr<IQtSampleIndex> CQTMediaTrack::FindLastSample() {
  return CreateMediaTrackSampleIndex(m_TrackIndex.FindLastSampleIndex());
}

std::shared_ptr<IQtSampleIndex> CQTMediaTrack::FindLastSampleExcluded() {
  return CreateMediaTrackSampleIndex(m_TrackIndex.FindLastSampleIndexExcluded());
}

std::shared_ptr<IQtSampleIndex> CQTMediaTrack::FindLastReferenceSample(unsigned long fileSize) {
  return CreateMediaTrackSampleIndex(m_TrackIndex.FindLastSampleIndex(fileSize));
}

std::shared_ptr<IQtSampleIndex> CQTMediaTrack::FindLastReferenceSampleExcluded(unsigned long fileSize) {
  return CreateMediaTrackSampleIndex(m_TrackIndex.FindLastSampleIndexExcluded(fileSize));
}

// Steps back to the sample a decoder can start from: a full sync sample, or
// a partial-sync sample that does not play after `seconds`.
std::shared_ptr<IQtSampleIndex> CQTMediaTrack::FindTimeOffsetSample(double seconds) {
  const double start = m_dwMediaTimescale ? double(m_dwStartOffset) / m_dwMediaTimescale : 0.0;
  auto cursor = CreateMediaTrackSampleIndex(m_TrackIndex.FindSampleIndex(start + seconds));
  if (!cursor || cursor->IsOutOfBounds()) cursor = FindLastSampleExcluded();
  if (!cursor) return nullptr;
  for (cursor->SeekSyncBackward(); !cursor->IsOutOfBounds(); cursor->SeekSyncBackward()) {
    if (!cursor->GetSampleFacts().partialSync || cursor->GetSampleTimeStamp().start.GetTimeStamp() <= seconds) break;
    cursor->Prev();
  }
  return cursor;
}
