#pragma once
// Chunk offsets ("stco" with 32-bit or "co64" with 64-bit offsets, count at
// offset 12, offsets from offset 16). The count is bounded by the offsets the
// atom really holds, so a table cut in the middle ends at its last complete
// offset. The atom is owned by the caller.
#include <cstdint>

class CChunkOffsetTable {
 public:
  void SetTableData(const unsigned char* table, uint64_t size);
  // 0 for a chunk at or past the count.
  uint64_t GetChunkOffset(uint32_t chunk) const;
  // The last chunk whose offset is not above `fileOffset` (0 when even the
  // first chunk is above it, or when there is no chunk): an interpolated
  // guess, then a walk.
  uint32_t FindChunkAtOffset(uint64_t fileOffset) const;
  uint32_t GetNumberOfChunk() const { return m_dwChunkCount; }

 private:
  const unsigned char* m_pTable = nullptr;
  uint64_t m_qwTableSize = 0;
  bool m_b64BitOffsets = false;
  uint32_t m_dwChunkCount = 0;
};
