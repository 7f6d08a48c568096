#pragma once
// Sync ("stss") and partial sync ("stps") samples: 1-based sample numbers in
// ascending order. Without a table every sample gets the default answer
// (sync until SetDefaultBehaviorToNotSync). The cursor remembers its entry
// and walks one entry at a time. The atom is owned by the caller.
#include <cstdint>
#include <optional>

class SampleSyncTable {
 public:
  SampleSyncTable() = default;
  // Fails ("sample sync table too small") unless `size` is at least 16 and
  // exactly 16 + 4 x the entry count. A table of no entries lists no sample.
  void SetTableData(const unsigned char* table, uint64_t size);
  bool IsSyncSample(uint64_t sample);
  void SetDefaultBehaviorToNotSync() { m_bDefault = false; }
  bool HasTable() const { return m_pTable != nullptr; }
  bool GetDefaultBehavior() const { return m_bDefault; }
  // The first listed sample at or after `sample`, and the last one at or
  // before it (0-based); none when the table lists no such sample. A binary
  // search, so that finding a distant sync sample costs a few entry reads
  // whatever the table holds; on a table whose entries are out of order it
  // still ends, with one of them.
  std::optional<uint64_t> FindListedFrom(uint64_t sample) const;
  std::optional<uint64_t> FindListedUpTo(uint64_t sample) const;

 private:
  void Step(int direction);
  uint32_t EntryAt(uint32_t index) const;

  const unsigned char* m_pTable = nullptr;
  uint32_t m_dwEntryCount = 0;
  const unsigned char* m_pEntry = nullptr;
  uint32_t m_dwValue = 0;
  uint32_t m_dwEntriesLeft = 0;
  bool m_bDefault = true;
};
