// KLV reading over the reader's window and over memory.
#include <climits>
#include <cstring>

#include "OXLDataReader/MXFDataReader.h"

namespace MxfKeys {
const unsigned char HeaderPartitionPrefix[14] = {0x06, 0x0E, 0x2B, 0x34, 0x02, 0x05, 0x01,
                                                 0x01, 0x0D, 0x01, 0x02, 0x01, 0x01, 0x02};
const unsigned char FillItemV1[16] = {0x06, 0x0E, 0x2B, 0x34, 0x01, 0x01, 0x01, 0x01,
                                      0x03, 0x01, 0x02, 0x10, 0x01, 0x00, 0x00, 0x00};
const unsigned char FillItemV2[16] = {0x06, 0x0E, 0x2B, 0x34, 0x01, 0x01, 0x01, 0x02,
                                      0x03, 0x01, 0x02, 0x10, 0x01, 0x00, 0x00, 0x00};

bool IsFillItem(const unsigned char* p) {
  return std::memcmp(p, FillItemV1, 16) == 0 || std::memcmp(p, FillItemV2, 16) == 0;
}

bool IsSmpteKey(const unsigned char* p) { return p[0] == 0x06 && p[1] == 0x0E && p[2] == 0x2B && p[3] == 0x34; }
}  // namespace MxfKeys

namespace {
const unsigned int kMaxLengthBytes = 8;
const unsigned long kMaxRunIn = 65536;

long BigEndian(const unsigned char* p, unsigned int n) {
  unsigned long value = 0;
  for (unsigned int i = 0; i < n; ++i) value = value << 8 | p[i];
  return static_cast<long>(value);
}
}  // namespace

CMXFDataReader::CMXFDataReader(OXLDataReader::DataType type, unsigned int bufferSize, std::string logId)
    : COXLDataReader(type, bufferSize, std::move(logId)) {}

int CMXFDataReader::SkipLong(uint64_t count) {
  if (count <= UINT_MAX) return SkipBytes(static_cast<unsigned int>(count));
  if (!m_pFileReader) return -1;
  return SetFileIndex(CurrentFileOffset() + count);
}

long CMXFDataReader::ReadKeyLength(unsigned int* lengthSize) {
  if (m_dwAvailableBytes == 0) (void)LoadData();
  if (m_dwAvailableBytes == 0) return kBadLength;
  if (lengthSize) *lengthSize = 1;
  const unsigned char first = *m_pCurrent;
  (void)SkipBytes(1);
  if (first < 0x80) return first;
  const unsigned int n = first & 0x7F;
  if (n >= m_dwAvailableBytes) (void)LoadData();
  if (n >= m_dwAvailableBytes || n > kMaxLengthBytes) return kBadLength;
  if (lengthSize) *lengthSize += n;
  if (n == 0) return 0;
  const long value = BigEndian(m_pCurrent, n);
  (void)SkipBytes(n);
  return value;
}

bool CMXFDataReader::ReadMXFKey(unsigned char* key, long* length, unsigned int* lengthSize) {
  if (!InsureAvailableBytes(16)) return false;
  std::memcpy(key, m_pCurrent, 16);
  (void)SkipBytes(16);
  if (length) *length = ReadKeyLength(lengthSize);
  return true;
}

bool CMXFDataReader::FindMXFKey(const unsigned char* key, long* length, unsigned int keySize) {
  if (keySize == 0 || keySize > 16 || !InsureAvailableBytes(keySize)) return false;
  for (;;) {
    if (m_dwAvailableBytes < keySize + 1) {
      (void)LoadData();
      if (m_dwAvailableBytes < keySize) return false;
    }
    if (std::memcmp(m_pCurrent, key, keySize) == 0) {
      if (!length) return SkipBytes(keySize) == 0;
      if (!InsureAvailableBytes(16) || SkipBytes(16) != 0) return false;
      *length = ReadKeyLength(nullptr);
      return true;
    }
    if (m_dwAvailableBytes >= 16 && MxfKeys::IsSmpteKey(m_pCurrent)) {
      (void)SkipBytes(16);
      const long value = ReadKeyLength(nullptr);
      if (value < 0 || SkipLong(static_cast<uint64_t>(value)) != 0) return false;
      continue;
    }
    if (SkipBytes(1) != 0) return false;
  }
}

int CMXFDataReader::SkipFillItem(unsigned long& skipped) {
  skipped = 0;
  if (m_dwAvailableBytes < 16) {
    (void)LoadData();
    if (m_dwAvailableBytes == 0) return 0;
    if (m_dwAvailableBytes < 16) return 1;
  }
  if (!MxfKeys::IsFillItem(m_pCurrent)) return 0;
  (void)SkipBytes(16);
  unsigned int lengthSize = 0;
  const long length = ReadKeyLength(&lengthSize);
  if (length < 0) return 2;
  skipped = 16 + lengthSize + static_cast<unsigned long>(length);
  return SkipLong(static_cast<uint64_t>(length));
}

int CMXFDataReader::SkipFillItem() {
  unsigned long skipped = 0;
  return SkipFillItem(skipped);
}

int CMXFDataReader::SkipRunIn() {
  m_RunInLength = 0;
  if (!InsureAvailableBytes(sizeof(MxfKeys::HeaderPartitionPrefix))) return -1;
  for (;;) {
    if (m_dwAvailableBytes < sizeof(MxfKeys::HeaderPartitionPrefix)) {
      (void)LoadData();
      if (m_dwAvailableBytes < sizeof(MxfKeys::HeaderPartitionPrefix)) return -2;
    }
    if (std::memcmp(m_pCurrent, MxfKeys::HeaderPartitionPrefix, sizeof(MxfKeys::HeaderPartitionPrefix)) == 0) return 0;
    if (m_RunInLength >= kMaxRunIn || SkipBytes(1) != 0) return -2;
    ++m_RunInLength;
  }
}

long CMXFDataReader::ReadKeyLength(const unsigned char*& p, unsigned int& remaining) {
  if (remaining == 0) return kBadLength;
  const unsigned char first = *p++;
  --remaining;
  if (first < 0x80) return first;
  const unsigned int n = first & 0x7F;
  if (n > remaining || n > kMaxLengthBytes) return kBadLength;
  if (n == 0) return 0;
  const long value = BigEndian(p, n);
  p += n;
  remaining -= n;
  return value;
}

bool CMXFDataReader::FindMXFKey(const unsigned char* key, const unsigned char*& p, unsigned int& remaining) {
  while (remaining >= 16) {
    const bool found = std::memcmp(p, key, 16) == 0;
    p += 16;
    remaining -= 16;
    if (found) return true;
    const long length = ReadKeyLength(p, remaining);
    if (length < 0 || static_cast<unsigned long>(length) > remaining) {
      p += remaining;
      remaining = 0;
      return false;
    }
    p += length;
    remaining -= static_cast<unsigned int>(length);
  }
  return false;
}
