#include "OXLDataReader/OXL_QuickTime/SampleChunkTable.h"

#include <algorithm>
#include <string>

#include "OXLDataReader/OXL_QuickTime/QTAtom.h"
#include "OXLDataReader/OXL_QuickTime/QTUtils.h"
#include "qelCore/Check.h"

namespace {
const unsigned int kEntrySize = 12;

// 0-based first chunk of an entry; a stored 0 is taken as chunk 1.
uint32_t FirstChunkOf(const unsigned char* entry) {
  const uint32_t stored = QTUtils::Read32(entry);
  return stored ? stored - 1 : 0;
}
}  // namespace

void CSampleChunkTable::SetTableData(const unsigned char* table, uint64_t size) {
  m_dwEntryCount = QTReader::CountHeldEntries(table, size, 12, 16, kEntrySize);
  m_pEntry = m_dwEntryCount ? table + 16 : nullptr;
  m_dwEntryIndex = 0;
  m_qwFirstSample = 0;
  m_dwFirstChunk = m_dwNextFirstChunk = m_dwSamplesPerChunk = 0;
  if (m_dwEntryCount) ReadCurrentChunk();
}

void CSampleChunkTable::ReadCurrentChunk() {
  m_dwFirstChunk = FirstChunkOf(m_pEntry);
  m_dwSamplesPerChunk = QTUtils::Read32(m_pEntry + 4);
  if (IsLastEntry()) return;
  m_dwNextFirstChunk = FirstChunkOf(m_pEntry + kEntrySize);
  if (m_dwNextFirstChunk <= m_dwFirstChunk) m_dwEntryCount = m_dwEntryIndex + 1;
}

bool CSampleChunkTable::IsSampleInCurrentChunk(uint64_t sample) const {
  if (!m_dwEntryCount || !m_dwSamplesPerChunk || sample < m_qwFirstSample) return false;
  return IsLastEntry() || sample < m_qwFirstSample + RunSamples();
}

bool CSampleChunkTable::IsCurrentChunk(uint32_t chunk) const {
  if (!m_dwEntryCount || chunk < m_dwFirstChunk) return false;
  return IsLastEntry() || chunk < m_dwNextFirstChunk;
}

void CSampleChunkTable::GoToNextChunk() {
  m_qwFirstSample += RunSamples();
  m_pEntry += kEntrySize;
  ++m_dwEntryIndex;
  ReadCurrentChunk();
}

void CSampleChunkTable::GoToPrevChunk() {
  m_pEntry -= kEntrySize;
  --m_dwEntryIndex;
  m_dwNextFirstChunk = m_dwFirstChunk;
  m_dwFirstChunk = FirstChunkOf(m_pEntry);
  m_dwSamplesPerChunk = QTUtils::Read32(m_pEntry + 4);
  m_qwFirstSample -= RunSamples();
}

bool CSampleChunkTable::FindSampleChunk(uint64_t sample) {
  while (sample < m_qwFirstSample && m_dwEntryIndex > 0) GoToPrevChunk();
  while (!IsLastEntry() && sample >= m_qwFirstSample + RunSamples()) GoToNextChunk();
  return IsSampleInCurrentChunk(sample);
}

bool CSampleChunkTable::FindChunk(uint32_t chunk) {
  while (chunk < m_dwFirstChunk && m_dwEntryIndex > 0) GoToPrevChunk();
  while (!IsLastEntry() && chunk >= m_dwNextFirstChunk) GoToNextChunk();
  return IsCurrentChunk(chunk);
}

bool CSampleChunkTable::GetSampleChunkData(uint64_t sample, uint32_t& chunk, uint32_t& indexInChunk) {
  if (!IsSampleInCurrentChunk(sample) && !FindSampleChunk(sample)) return false;
  const uint64_t chunkInRun = (sample - m_qwFirstSample) / m_dwSamplesPerChunk;
  if (chunkInRun > UINT32_MAX - m_dwFirstChunk) return false;
  chunk = static_cast<uint32_t>(chunkInRun) + m_dwFirstChunk;
  indexInChunk = static_cast<uint32_t>(sample - m_qwFirstSample - chunkInRun * m_dwSamplesPerChunk);
  return true;
}

void CSampleChunkTable::EnsureChunk(uint32_t chunk) {
  if (!IsCurrentChunk(chunk) && !FindChunk(chunk)) QEL_FAIL("Chunk not found : " + std::to_string(chunk));
}

uint32_t CSampleChunkTable::GetChunkSize(uint32_t chunk) {
  EnsureChunk(chunk);
  return m_dwSamplesPerChunk;
}

uint64_t CSampleChunkTable::GetChunkToSample(uint32_t chunk) {
  EnsureChunk(chunk);
  return m_qwFirstSample + uint64_t(chunk - m_dwFirstChunk) * m_dwSamplesPerChunk;
}

uint64_t CSampleChunkTable::CountSamples(uint32_t chunkCount) const {
  if (!m_pEntry) return 0;
  const unsigned char* entry = m_pEntry - uint64_t(kEntrySize) * m_dwEntryIndex;
  uint64_t total = 0;
  for (uint32_t i = 0; i < m_dwEntryCount; ++i, entry += kEntrySize) {
    const uint32_t first = FirstChunkOf(entry);
    if (first >= chunkCount) break;
    // An entry whose successor does not start later is the last, as for the cursor.
    const bool last = i + 1 >= m_dwEntryCount || FirstChunkOf(entry + kEntrySize) <= first;
    const uint32_t next = last ? chunkCount : std::min(FirstChunkOf(entry + kEntrySize), chunkCount);
    total += uint64_t(next - first) * QTUtils::Read32(entry + 4);
    if (last) break;
  }
  return total;
}
