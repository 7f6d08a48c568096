#pragma once
// Cursors over the time tables of a track: decode times ("stts") and
// composition offsets ("ctts").
//
// Both tables are runs of (sample count, value) entries. The cursors keep a
// pointer into the atom (owned by the caller, which must keep it alive) and
// remember the entry that answered last; a lookup walks from there one entry
// at a time, so neighbouring samples cost nothing. A far jump (a random seek
// in a long table) uses checkpoints, one every 64 entries, made on the first
// far jump: 1/512 of the table's size, never a per-sample index. Entry counts
// are bounded by what the atom really holds.
#include <cstdint>
#include <vector>

#include "qelCore/EditRate.h"
#include "qelCore/MediaTime.h"

// A cursor over a table of 8-byte (sample count, value) entries.
class SampleRunCursor {
 public:
  void Reset(const unsigned char* firstEntry, uint32_t entryCount);
  bool Contains(uint64_t sample) const { return sample >= m_qwFirstSample && sample < m_qwEndSample; }
  bool CanStepForward() const { return m_dwEntriesLeft > 0; }
  bool CanStepBack() const { return m_qwFirstSample > 0 && m_pEntry > m_pFirstEntry; }
  void StepForward();
  void StepBack();
  // Moves to the entry holding `sample`; true when one does.
  bool Seek(uint64_t sample);
  // Moves to the last entry whose sum of count x value before it is at most `sum`.
  void SeekSum(uint64_t sum);

  uint64_t GetFirstSample() const { return m_qwFirstSample; }
  uint64_t GetEndSample() const { return m_qwEndSample; }
  uint64_t GetCount() const { return m_qwEndSample - m_qwFirstSample; }
  // Samples of all entries together (one pass over the entries).
  uint64_t GetTotalSamples() const;
  uint32_t GetValue() const { return m_dwValue; }
  // Sum of count x value over the entries before this one (the decode start
  // time of the entry for "stts").
  uint64_t GetSumBefore() const { return m_qwSumBefore; }

 private:
  struct Checkpoint {
    uint32_t entry;
    uint64_t firstSample;
    uint64_t sumBefore;
  };
  uint32_t EntryIndex() const { return static_cast<uint32_t>((m_pEntry - m_pFirstEntry) / 8); }
  void MakeCheckpoints();
  void GoTo(const Checkpoint& checkpoint);
  template <typename Before>
  void Jump(Before before);

  const unsigned char* m_pFirstEntry = nullptr;
  const unsigned char* m_pEntry = nullptr;
  uint32_t m_dwEntriesLeft = 0;
  uint64_t m_qwFirstSample = 0;
  uint64_t m_qwEndSample = 0;
  uint32_t m_dwValue = 0;
  uint32_t m_dwEntryCount = 0;
  uint64_t m_qwSumBefore = 0;
  std::vector<Checkpoint> m_Checkpoints;
};

// Decode times ("stts": sample count, sample delta).
class CSampleTimeTable {
 public:
  // `table` is the atom, `size` the bytes of it that may be read; `rate` is
  // the media time scale over 1.
  void SetTableData(const unsigned char* table, uint64_t size, qel::EditRate rate);
  bool IsSampleInTimeRange(uint64_t sample) const { return m_Run.Contains(sample); }
  bool FindSample(uint64_t sample);
  // Decode start of `sample` in the table's rate, and its delta as duration.
  // Fails ("sample <n> not found") for a sample the table does not hold.
  qel::TimeLimits GetSampleTime(uint64_t sample);
  // The sample playing at `seconds`, rounded to the nearest sample start; not
  // bounded by the table (callers clamp). 0 for an empty rate; a time before
  // the first sample gives that sample.
  uint64_t FindTimeSample(double seconds);
  const qel::EditRate& GetEditRate() const { return m_EditRate; }
  // Samples the table gives a time to.
  uint64_t GetSampleCount() const { return m_Run.GetTotalSamples(); }

 private:
  double EntryEndTime(double rate) const;

  SampleRunCursor m_Run;
  qel::EditRate m_EditRate{1, 1};
};

// Composition offsets ("ctts": sample count, offset). Without a table every
// offset is 0. Offsets are taken as signed, so version-1 negative offsets work.
class CompositionTimeToSampleTable {
 public:
  void SetTableData(const unsigned char* table, uint64_t size);
  bool IsSampleInTimeRange(uint64_t sample) const { return m_Run.Contains(sample); }
  bool FindSample(uint64_t sample);
  // True without a table, or when the table holds `sample`.
  bool CoversSample(uint64_t sample) { return !m_pTable || IsSampleInTimeRange(sample) || FindSample(sample); }
  // Fails ("CompositionToTimeOffset for sample <n> not found") for a sample
  // outside a present table.
  int32_t GetCompositionToTimeOffset(uint64_t sample);

 private:
  const unsigned char* m_pTable = nullptr;
  SampleRunCursor m_Run;
};
