#pragma once
// Sample sizes ("stsz": uniform size at offset 12, sample count at 16, one
// 32-bit size per sample from offset 20 when the uniform size is 0).
//
// With per-sample sizes the count is bounded by the sizes the atom really
// holds: a table that claims more samples than it carries ends at its last
// complete size. The atom is owned by the caller.
#include <cstdint>

class CSampleSizeTable {
 public:
  void SetTableData(const unsigned char* table, uint64_t size);
  uint32_t GetSampleSizeCount() const { return m_dwSampleCount; }
  // 0 when every sample has its own size.
  uint32_t GetUniformSize() const { return m_dwUniformSize; }
  // The uniform size when it is not 0, or for a sample beyond the count
  // (then possibly 0); otherwise the sample's own size.
  uint32_t GetSampleSize(uint64_t sample) const;

 private:
  const unsigned char* m_pTable = nullptr;
  uint32_t m_dwUniformSize = 0;
  uint32_t m_dwSampleCount = 0;
};
