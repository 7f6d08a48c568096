// CQTIMXDataReader: IMX samples with their key-length-value wrapping taken off.
#include "OXLDataReader/QTIMXDatareader.h"

#include <algorithm>
#include <exception>

namespace {
const int kEndOfData = 100;
const int kBufferTooSmall = 101;
const int kNoTrack = 104;
const unsigned int kKlvHeaderSize = 20;  // 16-byte key, 4-byte BER length

bool StartsWithSmpteLabel(const unsigned char* p) { return p[0] == 0x06 && p[1] == 0x0E && p[2] == 0x2B && p[3] == 0x34; }

uint32_t Read24(const unsigned char* p) { return uint32_t(p[0]) << 16 | uint32_t(p[1]) << 8 | p[2]; }
}  // namespace

CQTIMXDataReader::CQTIMXDataReader(std::string name) : CQTDataReader(OXLDataReader::Video_Data, std::move(name)) {}

// Reads the sample's first bytes into the buffer to see whether it is
// wrapped, then its picture data to the start of the buffer. The buffer holds
// at least the whole sample.
int CQTIMXDataReader::ReadSampleData(unsigned char* buffer, unsigned int size, unsigned long offset,
                                     unsigned int sampleSize, unsigned int& dataSize) {
  const unsigned int head = std::min(sampleSize, kKlvHeaderSize);
  unsigned int filled = 0;
  int result = ReadChunkData(buffer, size, offset, head, filled);
  if (result != 0) return result;
  if (head < 4 || !StartsWithSmpteLabel(buffer)) {
    dataSize = sampleSize;
    return sampleSize > head ? ReadChunkData(buffer, size, offset + head, sampleSize - head, filled) : 0;
  }
  if (head < kKlvHeaderSize) return kEndOfData;
  dataSize = Read24(buffer + 17);
  if (dataSize > sampleSize - kKlvHeaderSize) return kEndOfData;
  filled = 0;
  return ReadChunkData(buffer, size, offset + kKlvHeaderSize, dataSize, filled);
}

int CQTIMXDataReader::GetSyncData(unsigned char* buffer, unsigned int size, unsigned int* outSize) {
  if (!m_ActiveTrack) return kNoTrack;
  if (!m_Cursor || m_Cursor->IsOutOfBounds()) return -1;
  SaveCursor(m_GroupStart);
  try {
    const QtSampleFacts sample = m_Cursor->GetSampleFacts();
    const unsigned int sampleSize = sample.size;
    const unsigned long offset = sample.offset;
    if (SetFileIndex(offset) != 0) return 1;
    unsigned int dataSize = sampleSize;
    if (sampleSize <= size) {
      const int result = ReadSampleData(buffer, size, offset, sampleSize, dataSize);
      if (result != 0) return result;
    }
    m_Cursor->Next();
    if (outSize) *outSize = dataSize;
    if (dataSize > size) {
      RestoreCursor(m_GroupStart);
      return kBufferTooSmall;
    }
    m_bFirstRead = false;
    return 0;
  } catch (const std::exception&) {
    RestoreCursor(m_GroupStart);
    return 1;
  }
}
