#include "OXLDataReader/OXL_QuickTime/ChunkOffsetTable.h"

#include "OXLDataReader/OXL_QuickTime/QTAtom.h"
#include "OXLDataReader/OXL_QuickTime/QTUtils.h"

void CChunkOffsetTable::SetTableData(const unsigned char* table, uint64_t size) {
  m_pTable = table;
  m_qwTableSize = size;
  m_b64BitOffsets = size >= 8 && QTReader::LoadAtomType(table + 4) == QTReader::AtomType("co64");
  m_dwChunkCount = QTReader::CountHeldEntries(table, size, 12, 16, m_b64BitOffsets ? 8 : 4);
}

uint64_t CChunkOffsetTable::GetChunkOffset(uint32_t chunk) const {
  if (chunk >= m_dwChunkCount) return 0;
  if (m_b64BitOffsets) return QTUtils::Read64(m_pTable + 16 + 8 * uint64_t(chunk));
  return QTUtils::Read32(m_pTable + 16 + 4 * uint64_t(chunk));
}

uint32_t CChunkOffsetTable::FindChunkAtOffset(uint64_t fileOffset) const {
  if (m_dwChunkCount == 0) return 0;
  const uint32_t lastChunk = m_dwChunkCount - 1;
  const uint64_t first = GetChunkOffset(0);
  const uint64_t last = GetChunkOffset(lastChunk);
  if (fileOffset > last) return lastChunk;
  uint32_t guess = 0;
  if (first != last && fileOffset >= first) {
    const double ratio = double(fileOffset - first) / double(last - first);
    const double place = ratio * m_dwChunkCount;
    guess = place >= lastChunk ? lastChunk : static_cast<uint32_t>(place);
  }
  if (fileOffset >= GetChunkOffset(guess)) {
    for (uint32_t chunk = guess + 1; chunk < m_dwChunkCount; ++chunk)
      if (GetChunkOffset(chunk) > fileOffset) return chunk - 1;
    return lastChunk;
  }
  uint32_t chunk = guess;
  while (chunk > 0 && GetChunkOffset(chunk) > fileOffset) --chunk;
  return chunk;
}
