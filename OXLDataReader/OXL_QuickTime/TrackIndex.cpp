#include "OXLDataReader/OXL_QuickTime/TrackIndex.h"

#include <cstring>
#include <typeinfo>

#include "qelCore/Check.h"

namespace {
qel::MediaTime ZeroTime() { return qel::MediaTime(qel::EditRate(1, 1), 0); }
}  // namespace

void CTrackIndex::ClearPreviousSubIndexOnNewMoov(const ITrackSubIndex& subIndex) {
  if (std::strcmp(subIndex.GetSubIndexType(), "moov") != 0 || m_SubIndexes.empty()) return;
  m_StartTimes.clear();
  m_SubIndexes.clear();
}

void CTrackIndex::AppendTrackSubIndex(std::shared_ptr<ITrackSubIndex> subIndex) {
  QEL_CHECK_NOT_NULL(subIndex, "sub index");
  ClearPreviousSubIndexOnNewMoov(*subIndex);
  if (subIndex->IsKnownTimestamp())
    m_StartTimes[subIndex->GetStartTimestamp().GetTimeStamp()] = SubIndexInfo{m_SubIndexes.size(), subIndex};
  m_SubIndexes.push_back(std::move(subIndex));
  ++m_qwGeneration;
}

std::shared_ptr<ITrackSubIndex> CTrackIndex::GetSubTrack(uint64_t number) const {
  if (number >= m_SubIndexes.size()) QEL_FAIL("Invalid trackSubIndexNb");
  return m_SubIndexes[number];
}

std::shared_ptr<IQtSampleIndex> CTrackIndex::Ask(uint64_t number, const std::shared_ptr<ITrackSubIndex>& subIndex,
                                                 double seconds) {
  auto inner = subIndex->FindSampleIndex(seconds);
  if (!inner) return nullptr;
  return std::make_shared<TrackIndexQtSampleIndex>(this, number, std::move(inner));
}

// Sub-index `number` (> 0) starts where its predecessor ends (a time sum,
// which converts between differing rates), and is entered in the map.
void CTrackIndex::SetChainedStart(uint64_t number) {
  const auto& previous = m_SubIndexes[number - 1];
  const auto& subIndex = m_SubIndexes[number];
  subIndex->SetStartTimestamp(previous->GetStartTimestamp() + previous->GetDuration());
  m_StartTimes[subIndex->GetStartTimestamp().GetTimeStamp()] = SubIndexInfo{number, subIndex};
}

std::shared_ptr<IQtSampleIndex> CTrackIndex::FindInChain(double seconds) {
  for (uint64_t i = 0; i < m_SubIndexes.size(); ++i) {
    const auto& subIndex = m_SubIndexes[i];
    if (!subIndex->IsKnownTimestamp()) {
      if (i == 0) subIndex->SetStartTimestamp(ZeroTime());
      else SetChainedStart(i);
    }
    if (seconds >= subIndex->GetStartTimestamp().GetTimeStamp()) continue;
    if (i > 0)
      if (auto cursor = Ask(i - 1, m_SubIndexes[i - 1], seconds)) return cursor;
    if (auto cursor = Ask(i, subIndex, seconds)) return cursor;
  }
  return Ask(m_SubIndexes.size() - 1, m_SubIndexes.back(), seconds);
}

std::shared_ptr<IQtSampleIndex> CTrackIndex::FindSampleIndex(double seconds) {
  QEL_CHECK_GE(seconds, -0.008, "Timestamp may be greather or equal than 0.0");
  auto it = m_StartTimes.upper_bound(seconds);
  if (it != m_StartTimes.end()) {
    if (it != m_StartTimes.begin()) --it;
    if (auto cursor = Ask(it->second.number, it->second.subIndex, seconds)) return cursor;
    if (++it == m_StartTimes.end()) return nullptr;
    return Ask(it->second.number, it->second.subIndex, seconds);
  }
  if (m_SubIndexes.empty()) return nullptr;
  return FindInChain(seconds);
}

std::shared_ptr<IQtSampleIndex> CTrackIndex::FindLastSampleIndex() {
  if (m_SubIndexes.empty()) return nullptr;
  return std::make_shared<TrackIndexQtSampleIndex>(this, m_SubIndexes.size() - 1,
                                                   m_SubIndexes.back()->GetLastSampleIndex());
}

std::shared_ptr<IQtSampleIndex> CTrackIndex::FindLastSampleIndexExcluded() {
  auto cursor = FindLastSampleIndex();
  if (cursor) cursor->Next();
  return cursor;
}

std::shared_ptr<IQtSampleIndex> CTrackIndex::FindLastSampleIndex(unsigned long size) {
  if (m_SubIndexes.empty()) return nullptr;
  return m_SubIndexes.front()->FindSampleIndex(size);
}

std::shared_ptr<IQtSampleIndex> CTrackIndex::FindLastSampleIndexExcluded(unsigned long size) {
  auto cursor = FindLastSampleIndex(size);
  if (cursor) cursor->Next();
  return cursor;
}

qel::MediaTime CTrackIndex::GetMaxDuration(unsigned long size) const {
  if (m_SubIndexes.empty()) return ZeroTime();
  const auto cursor = m_SubIndexes.front()->FindSampleIndex(size);
  if (!cursor) return ZeroTime();
  const qel::TimeLimits limits = cursor->GetSample()->GetTimeStamp();
  return limits.start + limits.duration;
}

qel::MediaTime CTrackIndex::EndOf(const qel::MediaTime& duration) const {
  qel::MediaTime end = m_SubIndexes.back()->GetStartTimestamp();
  end.SetTimeNumber(end.GetTimeNumber() + duration.GetTimeNumber());
  return end;
}

qel::MediaTime CTrackIndex::GetDuration() {
  if (m_SubIndexes.empty()) return ZeroTime();
  UpdateTimeNumber();
  return EndOf(m_SubIndexes.back()->GetDuration());
}

qel::MediaTime CTrackIndex::GetMediaContentDuration() {
  if (m_SubIndexes.empty()) return ZeroTime();
  UpdateTimeNumber();
  return EndOf(m_SubIndexes.back()->GetMediaContentDuration());
}

qel::MediaTime CTrackIndex::GetTrackMediaTimeOffset() const {
  QEL_CHECK_NOT_EMPTY(m_SubIndexes, "Need at least one index entry");
  return m_SubIndexes.front()->GetTrackMediaTimeOffset();
}

// Walks back to the nearest sub-index with a start time, then chains
// forwards: iterative, so long chains of fragments cannot exhaust the stack.
void CTrackIndex::UpdateTimeNumber(uint64_t number) {
  if (number >= m_SubIndexes.size()) QEL_FAIL("Invalid trackSubIndexNb");
  uint64_t first = number;
  while (first > 0 && !m_SubIndexes[first]->IsKnownTimestamp()) --first;
  if (!m_SubIndexes[first]->IsKnownTimestamp()) m_SubIndexes[first]->SetStartTimestamp(ZeroTime());
  for (uint64_t i = first + 1; i <= number; ++i) {
    const auto& previous = m_SubIndexes[i - 1];
    qel::MediaTime start = previous->GetStartTimestamp();
    start.SetTimeNumber(start.GetTimeNumber() + previous->GetDuration().GetTimeNumber());
    m_SubIndexes[i]->SetStartTimestamp(start);
    m_StartTimes[start.GetTimeStamp()] = SubIndexInfo{i, m_SubIndexes[i]};
  }
}

void CTrackIndex::UpdateTimeNumber() {
  if (!m_SubIndexes.empty()) UpdateTimeNumber(m_SubIndexes.size() - 1);
}

TrackIndexQtSampleIndex::TrackIndexQtSampleIndex(CTrackIndex* trackIndex, uint64_t number,
                                                 std::shared_ptr<IQtSampleIndex> inner)
    : m_pTrackIndex(trackIndex), m_Number(number), m_Inner(std::move(inner)) {
  QEL_CHECK_NOT_NULL(m_pTrackIndex, "track index");
  QEL_CHECK_NOT_NULL(m_Inner, "sub index cursor");
  m_SubIndex = m_pTrackIndex->GetSubTrack(number);
}

TrackIndexQtSampleIndex::TrackIndexQtSampleIndex(CTrackIndex* trackIndex, uint64_t number,
                                                 std::shared_ptr<ITrackSubIndex> subIndex,
                                                 std::shared_ptr<IQtSampleIndex> inner)
    : m_pTrackIndex(trackIndex), m_SubIndex(std::move(subIndex)), m_Number(number), m_Inner(std::move(inner)) {}

// A sub-index entered without a start time (a fragment without decode time
// that no lookup reached yet) gets its chained start before it is used.
void TrackIndexQtSampleIndex::MoveTo(uint64_t number) {
  m_Number = number;
  m_SubIndex = m_pTrackIndex->GetSubTrack(number);
  if (!m_SubIndex->IsKnownTimestamp()) m_pTrackIndex->UpdateTimeNumber(number);
}

// The cursor changes only once the sub-index gave its cursor: a fragment
// that cannot be read leaves it where it was, and the next step fails again.
// The inner cursor becomes one that `place` could move in place: the current
// one, or the spare one of the other kind; failing both, `make`'s new one.
template <typename Place, typename Make>
void TrackIndexQtSampleIndex::Reuse(Place&& place, Make&& make) {
  if (place(*m_Inner)) return;
  if (m_Spare && place(*m_Spare)) {
    std::swap(m_Inner, m_Spare);
    return;
  }
  auto inner = make();
  m_Spare = std::move(m_Inner);
  m_Inner = std::move(inner);
}

// The inner cursor is moved in place when the sub-index knows its kind, so
// that walking from fragment to fragment allocates nothing.
void TrackIndexQtSampleIndex::Enter(uint64_t number, bool atFirst) {
  auto subIndex = m_pTrackIndex->GetSubTrack(number);
  if (!subIndex->IsKnownTimestamp()) m_pTrackIndex->UpdateTimeNumber(number);
  Reuse([&](IQtSampleIndex& inner) {
    return atFirst ? subIndex->MoveToFirstSample(inner) : subIndex->MoveToLastSample(inner);
  }, [&] { return atFirst ? subIndex->GetFirstSampleIndex() : subIndex->GetLastSampleIndex(); });
  m_Number = number;
  m_SubIndex = std::move(subIndex);
}

void TrackIndexQtSampleIndex::AdaptIfIndexWasOverwritten() {
  if (m_Number < m_pTrackIndex->GetNumberOfSubTrack()) return;
  if (m_Inner->IsBeforeFirstIndex()) {
    MoveTo(0);
    m_Inner = m_SubIndex->GetFirstSampleIndex();
    m_Inner->Prev();
    return;
  }
  const bool wasAfterLast = m_Inner->IsAfterLastIndex();
  if (wasAfterLast) m_Inner->Prev();
  const qel::MediaTime time = m_Inner->GetSampleTimeStamp().start;
  MoveTo(0);
  m_Inner = m_SubIndex->FindSampleIndex(time.GetTimeStamp());
  QEL_CHECK_NOT_NULL(m_Inner, "Failed to found current timestamp : " + qel::ToString(time));
  if (wasAfterLast) Next();
}

// A cursor past the end of its sub-index moves on into sub-indexes appended
// since, passing over any that hold no sample.
void TrackIndexQtSampleIndex::CheckNewFragmentsAvailable() {
  while (!IsLastSubIndex() && m_Inner->IsAfterLastIndex()) {
    Enter(m_Number + 1, true);
  }
}

// Only a changed chain, or a step into the next sub-index that failed (a
// fragment not readable yet), calls for either step.
void TrackIndexQtSampleIndex::Refresh() {
  const uint64_t generation = m_pTrackIndex->GetGeneration();
  if (generation == m_qwSeenGeneration && (IsLastSubIndex() || !m_Inner->IsAfterLastIndex())) return;
  AdaptIfIndexWasOverwritten();
  CheckNewFragmentsAvailable();
  m_qwSeenGeneration = generation;
}

std::shared_ptr<IQtSample> TrackIndexQtSampleIndex::GetSample() {
  Refresh();
  return m_Inner->GetSample();
}

void TrackIndexQtSampleIndex::Next() {
  Refresh();
  m_Inner->Next();
  CheckNewFragmentsAvailable();
}

void TrackIndexQtSampleIndex::Prev() {
  Refresh();
  m_Inner->Prev();
  while (m_Inner->IsBeforeFirstIndex() && m_Number > 0) {
    Enter(m_Number - 1, false);
  }
}

bool TrackIndexQtSampleIndex::IsBeforeFirstIndex() {
  Refresh();
  return m_Number == 0 && m_Inner->IsBeforeFirstIndex();
}

// Sub-indexes before this one may hold no sample (the movie header of a
// fragmented file): the first sample is the one with none before it.
bool TrackIndexQtSampleIndex::IsFirstIndex() {
  Refresh();
  if (!m_Inner->IsFirstIndex()) return false;
  if (m_Number == 0) return true;
  auto before = Copy();
  before->Prev();
  return before->IsBeforeFirstIndex();
}

bool TrackIndexQtSampleIndex::IsAfterLastIndex() {
  Refresh();
  return m_Inner->IsAfterLastIndex();
}

bool TrackIndexQtSampleIndex::IsOutOfBounds() {
  Refresh();
  if (m_Number == 0 && m_Inner->IsBeforeFirstIndex()) return true;
  return IsLastSubIndex() && m_Inner->IsOutOfBounds();
}

std::shared_ptr<IQtSampleIndex> TrackIndexQtSampleIndex::Copy() const {
  return std::shared_ptr<IQtSampleIndex>(new TrackIndexQtSampleIndex(m_pTrackIndex, m_Number, m_SubIndex, m_Inner->Copy()));
}

void TrackIndexQtSampleIndex::SeekSyncForward() {
  Refresh();
  for (;;) {
    m_Inner->SeekSyncForward();
    if (!m_Inner->IsAfterLastIndex() || IsLastSubIndex()) return;
    Enter(m_Number + 1, true);
  }
}

void TrackIndexQtSampleIndex::SeekSyncBackward() {
  Refresh();
  for (;;) {
    m_Inner->SeekSyncBackward();
    if (!m_Inner->IsBeforeFirstIndex() || m_Number == 0) return;
    Enter(m_Number - 1, false);
  }
}

QtSampleFacts TrackIndexQtSampleIndex::GetSampleFacts() {
  Refresh();
  return m_Inner->GetSampleFacts();
}

qel::TimeLimits TrackIndexQtSampleIndex::GetSampleTimeStamp() {
  Refresh();
  return m_Inner->GetSampleTimeStamp();
}

qel::TimeLimits TrackIndexQtSampleIndex::GetSampleReferenceTimeStamp() {
  Refresh();
  return m_Inner->GetSampleReferenceTimeStamp();
}

bool TrackIndexQtSampleIndex::AssignFrom(const IQtSampleIndex& other) {
  if (typeid(other) != typeid(*this)) return false;
  const auto* same = static_cast<const TrackIndexQtSampleIndex*>(&other);
  if (same == this) return true;
  Reuse([&](IQtSampleIndex& inner) { return inner.AssignFrom(*same->m_Inner); },
        [&] { return same->m_Inner->Copy(); });
  m_pTrackIndex = same->m_pTrackIndex;
  m_Number = same->m_Number;
  m_qwSeenGeneration = same->m_qwSeenGeneration;
  m_SubIndex = same->m_SubIndex;
  return true;
}
