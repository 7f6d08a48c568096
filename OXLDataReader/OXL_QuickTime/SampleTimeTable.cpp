#include "OXLDataReader/OXL_QuickTime/SampleTimeTable.h"

#include <algorithm>
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

namespace {
const uint32_t kCheckpointEvery = 64;
const int kWalkBeforeJump = 64;
}  // namespace

uint64_t SampleRunCursor::GetTotalSamples() const {
  uint64_t total = 0;
  for (uint32_t i = 0; i < m_dwEntryCount; ++i) total += QTUtils::Read32(m_pFirstEntry + uint64_t(kEntrySize) * i);
  return total;
}

void SampleRunCursor::Reset(const unsigned char* firstEntry, uint32_t entryCount) {
  m_pFirstEntry = m_pEntry = firstEntry;
  m_dwEntryCount = entryCount;
  m_qwSumBefore = 0;
  m_Checkpoints.clear();
  m_qwFirstSample = 0;
  m_qwEndSample = entryCount ? QTUtils::Read32(firstEntry) : 0;
  m_dwValue = entryCount ? QTUtils::Read32(firstEntry + 4) : 0;
  m_dwEntriesLeft = entryCount ? entryCount - 1 : 0;
}

void SampleRunCursor::StepForward() {
  m_qwSumBefore += GetCount() * m_dwValue;
  m_pEntry += kEntrySize;
  m_qwFirstSample = m_qwEndSample;
  m_qwEndSample += QTUtils::Read32(m_pEntry);
  m_dwValue = QTUtils::Read32(m_pEntry + 4);
  --m_dwEntriesLeft;
}

void SampleRunCursor::MakeCheckpoints() {
  const unsigned char* saveEntry = m_pEntry;
  const uint32_t saveLeft = m_dwEntriesLeft;
  const uint64_t saveFirst = m_qwFirstSample, saveEnd = m_qwEndSample, saveSum = m_qwSumBefore;
  const uint32_t saveValue = m_dwValue;
  Reset(m_pFirstEntry, m_dwEntryCount);
  m_Checkpoints.reserve(m_dwEntryCount / kCheckpointEvery + 1);
  for (;;) {
    if (EntryIndex() % kCheckpointEvery == 0) m_Checkpoints.push_back({EntryIndex(), m_qwFirstSample, m_qwSumBefore});
    if (!CanStepForward()) break;
    StepForward();
  }
  m_pEntry = saveEntry, m_dwEntriesLeft = saveLeft, m_qwFirstSample = saveFirst, m_qwEndSample = saveEnd;
  m_qwSumBefore = saveSum, m_dwValue = saveValue;
}

void SampleRunCursor::GoTo(const Checkpoint& checkpoint) {
  m_pEntry = m_pFirstEntry + uint64_t(checkpoint.entry) * kEntrySize;
  m_dwEntriesLeft = m_dwEntryCount - 1 - checkpoint.entry;
  m_qwFirstSample = checkpoint.firstSample;
  m_qwEndSample = m_qwFirstSample + QTUtils::Read32(m_pEntry);
  m_dwValue = QTUtils::Read32(m_pEntry + 4);
  m_qwSumBefore = checkpoint.sumBefore;
}

// Places the cursor on the last checkpoint that `before` does not pass.
template <typename Before>
void SampleRunCursor::Jump(Before before) {
  if (m_dwEntryCount == 0) return;
  if (m_Checkpoints.empty()) MakeCheckpoints();
  size_t low = 0, high = m_Checkpoints.size();
  while (high - low > 1) {
    const size_t middle = (low + high) / 2;
    (before(m_Checkpoints[middle]) ? high : low) = middle;
  }
  GoTo(m_Checkpoints[low]);
}

bool SampleRunCursor::Seek(uint64_t sample) {
  for (int i = 0; i < kWalkBeforeJump && sample >= m_qwEndSample && CanStepForward(); ++i) StepForward();
  for (int i = 0; i < kWalkBeforeJump && sample < m_qwFirstSample && CanStepBack(); ++i) StepBack();
  if (!Contains(sample) && m_pFirstEntry) Jump([sample](const Checkpoint& c) { return sample < c.firstSample; });
  while (sample >= m_qwEndSample && CanStepForward()) StepForward();
  while (sample < m_qwFirstSample && CanStepBack()) StepBack();
  return Contains(sample);
}

void SampleRunCursor::SeekSum(uint64_t sum) {
  if (m_pFirstEntry) Jump([sum](const Checkpoint& c) { return sum < c.sumBefore; });
}

void SampleRunCursor::StepBack() {
  m_pEntry -= kEntrySize;
  m_qwEndSample = m_qwFirstSample;
  m_qwFirstSample -= QTUtils::Read32(m_pEntry);
  m_dwValue = QTUtils::Read32(m_pEntry + 4);
  m_qwSumBefore -= GetCount() * m_dwValue;
  ++m_dwEntriesLeft;
}

void CSampleTimeTable::SetTableData(const unsigned char* table, uint64_t size, qel::EditRate rate) {
  m_EditRate = rate;
  ResetRun(m_Run, table, size);
}

bool CSampleTimeTable::FindSample(uint64_t sample) { return m_Run.Seek(sample); }

qel::TimeLimits CSampleTimeTable::GetSampleTime(uint64_t sample) {
  if (!IsSampleInTimeRange(sample) && !FindSample(sample)) QEL_FAIL("sample " + std::to_string(sample) + " not found");
  qel::TimeLimits limits;
  const uint64_t time = m_Run.GetSumBefore() + (sample - m_Run.GetFirstSample()) * m_Run.GetValue();
  limits.start = qel::MediaTime(m_EditRate, static_cast<int64_t>(time));
  limits.duration = m_Run.GetValue();
  return limits;
}

double CSampleTimeTable::EntryEndTime(double rate) const {
  return (double(m_Run.GetSumBefore()) + double(m_Run.GetCount()) * m_Run.GetValue()) / rate;
}

uint64_t CSampleTimeTable::FindTimeSample(double seconds) {
  const double rate = m_EditRate.ToDouble();
  if (rate == 0.0) return 0;
  const bool far = double(m_Run.GetSumBefore()) / rate > seconds + 60.0 || seconds >= EntryEndTime(rate) + 60.0;
  if (far && seconds > 0) m_Run.SeekSum(static_cast<uint64_t>(std::min(seconds * rate, 1.8e19)));
  while (double(m_Run.GetSumBefore()) / rate > seconds && m_Run.CanStepBack()) m_Run.StepBack();
  while (seconds >= EntryEndTime(rate) && m_Run.CanStepForward()) m_Run.StepForward();
  if (m_Run.GetValue() == 0) return m_Run.GetFirstSample();
  const double place = (seconds * rate - double(m_Run.GetSumBefore())) / m_Run.GetValue() + 0.5;
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
