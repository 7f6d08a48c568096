#include "OXLDataReader/OXL_QuickTime/SampleTimeTable.h"

#include <string>

#include "OXLDataReader/OXL_QuickTime/QTAtom.h"
#include "OXLDataReader/OXL_QuickTime/QTUtils.h"
#include "qelCore/Check.h"

namespace {

const unsigned int kFirstEntry = 16;
const unsigned int kEntrySize = 8;

// Truncation of a non-negative value to 32 bits; negative and NaN give 0,
// values beyond the range give the largest value.
uint32_t TruncateToUInt32(double value) {
  if (!(value > 0.0)) return 0;
  if (value >= 4294967295.0) return UINT32_MAX;
  return static_cast<uint32_t>(value);
}

void ResetRun(SampleRunCursor& run, const unsigned char* table, uint64_t size) {
  const uint32_t count = QTReader::CountHeldEntries(table, size, 12, kFirstEntry, kEntrySize);
  run.Reset(count ? table + kFirstEntry : nullptr, count);
}

}  // namespace

void SampleRunCursor::Reset(const unsigned char* firstEntry, uint32_t entryCount) {
  m_pFirstEntry = m_pEntry = firstEntry;
  m_qwFirstSample = 0;
  m_qwEndSample = entryCount ? QTUtils::Read32(firstEntry) : 0;
  m_dwValue = entryCount ? QTUtils::Read32(firstEntry + 4) : 0;
  m_dwEntriesLeft = entryCount ? entryCount - 1 : 0;
}

void SampleRunCursor::StepForward() {
  m_pEntry += kEntrySize;
  m_qwFirstSample = m_qwEndSample;
  m_qwEndSample += QTUtils::Read32(m_pEntry);
  m_dwValue = QTUtils::Read32(m_pEntry + 4);
  --m_dwEntriesLeft;
}

bool SampleRunCursor::Seek(uint64_t sample) {
  while (sample >= m_qwEndSample && CanStepForward()) StepForward();
  while (sample < m_qwFirstSample && CanStepBack()) StepBack();
  return Contains(sample);
}

void SampleRunCursor::StepBack() {
  m_pEntry -= kEntrySize;
  m_qwEndSample = m_qwFirstSample;
  m_qwFirstSample -= QTUtils::Read32(m_pEntry);
  m_dwValue = QTUtils::Read32(m_pEntry + 4);
  ++m_dwEntriesLeft;
}

void CSampleTimeTable::SetTableData(const unsigned char* table, uint64_t size, qel::EditRate rate) {
  m_EditRate = rate;
  m_qwStartTime = 0;
  ResetRun(m_Run, table, size);
}

void CSampleTimeTable::StepForward() {
  m_qwStartTime += m_Run.GetCount() * m_Run.GetValue();
  m_Run.StepForward();
}

void CSampleTimeTable::StepBack() {
  m_Run.StepBack();
  m_qwStartTime -= m_Run.GetCount() * m_Run.GetValue();
}

bool CSampleTimeTable::FindSample(uint64_t sample) {
  while (sample >= m_Run.GetEndSample() && m_Run.CanStepForward()) StepForward();
  while (sample < m_Run.GetFirstSample() && m_Run.CanStepBack()) StepBack();
  return m_Run.Contains(sample);
}

qel::TimeLimits CSampleTimeTable::GetSampleTime(uint64_t sample) {
  if (!IsSampleInTimeRange(sample) && !FindSample(sample)) QEL_FAIL("sample " + std::to_string(sample) + " not found");
  qel::TimeLimits limits;
  const uint64_t time = m_qwStartTime + (sample - m_Run.GetFirstSample()) * m_Run.GetValue();
  limits.start = qel::MediaTime(m_EditRate, static_cast<int64_t>(time));
  limits.duration = m_Run.GetValue();
  return limits;
}

double CSampleTimeTable::EntryEndTime(double rate) const {
  return (double(m_qwStartTime) + double(m_Run.GetCount()) * m_Run.GetValue()) / rate;
}

uint64_t CSampleTimeTable::FindTimeSample(double seconds) {
  const double rate = m_EditRate.ToDouble();
  if (rate == 0.0) return 0;
  while (double(m_qwStartTime) / rate > seconds && m_Run.CanStepBack()) StepBack();
  while (seconds >= EntryEndTime(rate) && m_Run.CanStepForward()) StepForward();
  if (m_Run.GetValue() == 0) return m_Run.GetFirstSample();
  const double place = (seconds * rate - double(m_qwStartTime)) / m_Run.GetValue() + 0.5;
  return m_Run.GetFirstSample() + TruncateToUInt32(place);
}

void CompositionTimeToSampleTable::SetTableData(const unsigned char* table, uint64_t size) {
  m_pTable = table;
  ResetRun(m_Run, table, size);
}

bool CompositionTimeToSampleTable::FindSample(uint64_t sample) { return m_Run.Seek(sample); }

int32_t CompositionTimeToSampleTable::GetCompositionToTimeOffset(uint64_t sample) {
  if (!m_pTable) return 0;
  if (!IsSampleInTimeRange(sample) && !FindSample(sample))
    QEL_FAIL("CompositionToTimeOffset for sample " + std::to_string(sample) + " not found");
  return static_cast<int32_t>(m_Run.GetValue());
}
