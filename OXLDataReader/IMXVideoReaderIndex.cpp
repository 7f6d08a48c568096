// Edit-unit and element positions from the partitions' index table segments.
#include "OXLDataReader/IMXVideoReader.h"

// A segment with a constant edit-unit byte count and no index entries
// covers its index duration, or every later edit unit when it gives none.
const Oxl_Mxf::IndexTableSegment* CIMXVideoReader::FindIndexTableSegment(unsigned int editUnit, unsigned int bodySID) {
  for (const auto& partition : m_Partitions) {
    const auto& segments = partition->m_IndexSegments;
    auto it = segments.upper_bound(static_cast<int64_t>(editUnit));
    if (it == segments.begin()) continue;
    const Oxl_Mxf::IndexTableSegment& segment = (--it)->second;
    if (segment.bodySID != bodySID) continue;
    const int64_t offset = static_cast<int64_t>(editUnit) - segment.startPosition;
    const bool constant = segment.editUnitByteCount != 0 && segment.indexEntries.empty();
    const int64_t count = constant ? (segment.duration > 0 ? segment.duration : INT64_MAX)
                                   : static_cast<int64_t>(segment.indexEntries.size());
    if (offset < count) return &segment;
  }
  return nullptr;
}

int64_t CIMXVideoReader::GetEditUnitPositionFromIndexTable(unsigned int editUnit) {
  if (m_CurrentClip >= m_DataClips.size()) return -1;
  const MXF_DATA_CLIP& clip = m_DataClips[m_CurrentClip];
  const Oxl_Mxf::IndexTableSegment* segment = FindIndexTableSegment(editUnit, clip.bodySID);
  if (!segment) return -1;
  if (segment->editUnitByteCount != 0)
    return static_cast<int64_t>(clip.start + uint64_t(segment->editUnitByteCount) * editUnit);
  const auto& entry = segment->indexEntries[static_cast<size_t>(editUnit - segment->startPosition)];
  return static_cast<int64_t>(clip.start + entry.streamOffset);
}

int64_t CIMXVideoReader::GetEssencePositionFromIndexTable(unsigned int editUnit, unsigned int element) {
  const int64_t position = GetEditUnitPositionFromIndexTable(editUnit);
  if (position < 0) return -1;
  const Oxl_Mxf::IndexTableSegment* segment = FindIndexTableSegment(editUnit, m_DataClips[m_CurrentClip].bodySID);
  if (element >= segment->deltaEntries.size()) return -1;
  return position + segment->deltaEntries[element].elementDelta;
}
