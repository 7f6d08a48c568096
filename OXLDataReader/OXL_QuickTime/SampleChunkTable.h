#pragma once
// Cursor over the sample-to-chunk table ("stsc": first chunk, samples per
// chunk, sample description index; 12-byte entries).
//
// Chunk and sample numbers are 0-based here (the atom stores 1-based first
// chunks). The cursor remembers its entry and walks one entry at a time.
// The table is taken to end before the first entry whose first chunk does
// not come after its predecessor's, so a table going backwards can neither
// loop nor produce runs of negative length; runs of 0 samples per chunk
// hold no sample; a stored first chunk of 0 is taken as chunk 1. Sample
// numbers are 64-bit, so sound tracks of more than 2^32 frames keep exact
// chunk starts. The atom is owned by the caller.
#include <cstdint>

class CSampleChunkTable {
 public:
  void SetTableData(const unsigned char* table, uint64_t size);
  void ReadCurrentChunk();
  bool IsSampleInCurrentChunk(uint64_t sample) const;
  bool IsCurrentChunk(uint32_t chunk) const;
  void GoToNextChunk();
  void GoToPrevChunk();
  bool FindSampleChunk(uint64_t sample);
  // The chunk of `sample` and its place in the chunk; false when no run holds it.
  bool GetSampleChunkData(uint64_t sample, uint32_t& chunk, uint32_t& indexInChunk);
  bool FindChunk(uint32_t chunk);
  // Samples in `chunk`; fails ("Chunk not found : <n>") for a chunk before the table.
  uint32_t GetChunkSize(uint32_t chunk);
  // First sample of `chunk`; fails like GetChunkSize.
  uint64_t GetChunkToSample(uint32_t chunk);
  // Samples the runs place in the first `chunkCount` chunks (one pass over the entries).
  uint64_t CountSamples(uint32_t chunkCount) const;

 private:
  bool IsLastEntry() const { return m_dwEntryIndex + 1 >= m_dwEntryCount; }
  uint64_t RunSamples() const { return uint64_t(m_dwNextFirstChunk - m_dwFirstChunk) * m_dwSamplesPerChunk; }
  void EnsureChunk(uint32_t chunk);

  const unsigned char* m_pEntry = nullptr;
  uint32_t m_dwEntryCount = 0;
  uint32_t m_dwEntryIndex = 0;
  uint32_t m_dwFirstChunk = 0;
  uint32_t m_dwNextFirstChunk = 0;  // meaningful unless the entry is the last
  uint64_t m_qwFirstSample = 0;
  uint32_t m_dwSamplesPerChunk = 0;
};
