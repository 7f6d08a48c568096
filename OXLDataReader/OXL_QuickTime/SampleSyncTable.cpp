#include "OXLDataReader/OXL_QuickTime/SampleSyncTable.h"

#include "OXLDataReader/OXL_QuickTime/QTUtils.h"
#include "qelCore/Check.h"

void SampleSyncTable::SetTableData(const unsigned char* table, uint64_t size) {
  QEL_CHECK_GE(size, uint64_t(16), "sample sync table too small");
  const uint32_t count = QTUtils::Read32(table + 12);
  QEL_CHECK_EQ(size, 16 + 4 * uint64_t(count), "sample sync table too small");
  m_pTable = table;
  m_dwEntryCount = count;
  m_pEntry = table + 16;
  m_dwValue = count ? QTUtils::Read32(m_pEntry) : 0;
  m_dwEntriesLeft = count ? count - 1 : 0;
}

void SampleSyncTable::Step(int direction) {
  m_pEntry += 4 * direction;
  m_dwEntriesLeft -= direction;
  m_dwValue = QTUtils::Read32(m_pEntry);
}

bool SampleSyncTable::IsSyncSample(uint64_t sample) {
  if (!m_pTable) return m_bDefault;
  if (!m_dwEntryCount) return false;
  const uint64_t number = sample + 1;
  while (number < m_dwValue && m_pEntry > m_pTable + 16) Step(-1);
  while (m_dwValue < number && m_dwEntriesLeft > 0) Step(+1);
  return m_dwValue == number;
}

uint32_t SampleSyncTable::EntryAt(uint32_t index) const { return QTUtils::Read32(m_pTable + 16 + 4 * uint64_t(index)); }

std::optional<uint64_t> SampleSyncTable::FindListedFrom(uint64_t sample) const {
  const uint64_t number = sample + 1;
  uint32_t low = 0, high = m_pTable ? m_dwEntryCount : 0;  // first entry >= number lies in [low, high]
  while (low < high) {
    const uint32_t middle = low + (high - low) / 2;
    if (EntryAt(middle) < number) low = middle + 1;
    else high = middle;
  }
  if (!m_pTable || low >= m_dwEntryCount) return std::nullopt;
  return uint64_t(EntryAt(low)) - 1;
}

std::optional<uint64_t> SampleSyncTable::FindListedUpTo(uint64_t sample) const {
  const uint64_t number = sample + 1;
  uint32_t low = 0, high = m_pTable ? m_dwEntryCount : 0;  // entries before low are <= number
  while (low < high) {
    const uint32_t middle = low + (high - low) / 2;
    if (EntryAt(middle) <= number) low = middle + 1;
    else high = middle;
  }
  if (low == 0 || EntryAt(low - 1) == 0) return std::nullopt;  // 0 is no sample number
  return uint64_t(EntryAt(low - 1)) - 1;
}
