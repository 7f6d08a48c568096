#include "OXLDataReader/OXL_QuickTime/MoovSampleIndex.h"

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

// A position before the first is never after the last, whatever the tables say.
bool MoovSampleIndex::IsAfterLastIndex() {
  return m_Position >= 0 && m_SubIndex.IsAfterLastIndex(static_cast<uint64_t>(m_Position));
}

std::shared_ptr<IQtSampleIndex> MoovSampleIndex::Copy() const {
  return std::make_shared<MoovSampleIndex>(m_Position, m_SubIndex);
}
