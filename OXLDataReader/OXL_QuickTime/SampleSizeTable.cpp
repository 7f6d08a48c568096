#include "OXLDataReader/OXL_QuickTime/SampleSizeTable.h"

#include "OXLDataReader/OXL_QuickTime/QTAtom.h"
#include "OXLDataReader/OXL_QuickTime/QTUtils.h"

void CSampleSizeTable::SetTableData(const unsigned char* table, uint64_t size) {
  m_pTable = table;
  m_dwUniformSize = m_dwSampleCount = 0;
  if (size < 20 || QTUtils::Read32(table) < 20) return;
  m_dwUniformSize = QTUtils::Read32(table + 12);
  m_dwSampleCount = m_dwUniformSize ? QTUtils::Read32(table + 16) : QTReader::CountHeldEntries(table, size, 16, 20, 4);
}

uint32_t CSampleSizeTable::GetSampleSize(uint64_t sample) const {
  if (m_dwUniformSize || sample >= m_dwSampleCount) return m_dwUniformSize;
  return QTUtils::Read32(m_pTable + 20 + 4 * sample);
}
