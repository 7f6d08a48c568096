#include "OXLDataReader/OXL_QuickTime/MoovSampleIndex.h"

#include <algorithm>

std::shared_ptr<IQtSample> MoovSampleIndex::GetSample() {
  if (!m_Sample) m_Sample = std::make_shared<MoovSample>(m_Position, m_SubIndex);
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
bool MoovSampleIndex::IsAfterLastIndex() {
  if (m_Position < 0) return false;
  const uint64_t position = static_cast<uint64_t>(m_Position);
  return m_SubIndex.IsAfterLastIndex(position) || position >= m_SubIndex.GetPositionCount();
}

std::shared_ptr<IQtSampleIndex> MoovSampleIndex::Copy() const {
  return std::make_shared<MoovSampleIndex>(m_Position, m_SubIndex);
}

void MoovSampleIndex::SeekSyncForward() {
  const uint64_t count = m_SubIndex.GetPositionCount();
  const uint64_t from = m_Position < 0 ? 0 : static_cast<uint64_t>(m_Position);
  const auto found = from < count ? m_SubIndex.FindSyncOrPartialSync(from, true) : std::nullopt;
  m_Position = static_cast<int64_t>(found && *found < count ? *found : std::max<uint64_t>(count, 1));
  m_Sample.reset();
}

void MoovSampleIndex::SeekSyncBackward() {
  const uint64_t count = m_SubIndex.GetPositionCount();
  if (m_Position < 0 || count == 0) {
    m_Position = -1;
  } else {
    const uint64_t from = std::min<uint64_t>(static_cast<uint64_t>(m_Position), count - 1);
    const auto found = m_SubIndex.FindSyncOrPartialSync(from, false);
    m_Position = found && *found <= from ? static_cast<int64_t>(*found) : -1;
  }
  m_Sample.reset();
}
