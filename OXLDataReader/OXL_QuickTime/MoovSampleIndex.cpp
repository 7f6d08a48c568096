#include "OXLDataReader/OXL_QuickTime/MoovSampleIndex.h"

#include <algorithm>
#include <typeinfo>

std::shared_ptr<IQtSample> MoovSampleIndex::GetSample() {
  if (!m_Sample) m_Sample = std::make_shared<MoovSample>(m_Position, *m_pSubIndex);
  return m_Sample;
}

void MoovSampleIndex::Next() {
  ++m_Position;
  m_Sample.reset();
}

void MoovSampleIndex::Prev() {
  --m_Position;
  m_Sample.reset();
}

// A position before the first is never after the last, whatever the tables
// say. Tables without samples (the movie header of a fragmented file) put
// every position after the last, so that a cursor walks on to the fragments.
// The count alone decides: a sub-index's own IsAfterLastIndex(n) holds only
// for positions at or past it, and this is asked several times per sample.
bool MoovSampleIndex::IsAfterLastIndex() {
  return m_Position >= 0 && static_cast<uint64_t>(m_Position) >= m_pSubIndex->GetPositionCount();
}

bool MoovSampleIndex::AssignFrom(const IQtSampleIndex& other) {
  if (typeid(other) != typeid(*this)) return false;
  const auto& same = static_cast<const MoovSampleIndex&>(other);
  Place(same.m_Position, *same.m_pSubIndex);
  return true;
}

void MoovSampleIndex::Place(int64_t position, IMoovTrackSubIndex& subIndex) {
  m_Position = position;
  m_pSubIndex = &subIndex;
  m_Sample.reset();
}

std::shared_ptr<IQtSampleIndex> MoovSampleIndex::Copy() const {
  return std::make_shared<MoovSampleIndex>(m_Position, *m_pSubIndex);
}

void MoovSampleIndex::SeekSyncForward() {
  const uint64_t count = m_pSubIndex->GetPositionCount();
  const uint64_t from = m_Position < 0 ? 0 : static_cast<uint64_t>(m_Position);
  const auto found = from < count ? m_pSubIndex->FindSyncOrPartialSync(from, true) : std::nullopt;
  m_Position = static_cast<int64_t>(found && *found < count ? *found : std::max<uint64_t>(count, 1));
  m_Sample.reset();
}

void MoovSampleIndex::SeekSyncBackward() {
  const uint64_t count = m_pSubIndex->GetPositionCount();
  if (m_Position < 0 || count == 0) {
    m_Position = -1;
  } else {
    const uint64_t from = std::min<uint64_t>(static_cast<uint64_t>(m_Position), count - 1);
    const auto found = m_pSubIndex->FindSyncOrPartialSync(from, false);
    m_Position = found && *found <= from ? static_cast<int64_t>(*found) : -1;
  }
  m_Sample.reset();
}
