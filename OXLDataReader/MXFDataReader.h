#pragma once
// CMXFDataReader: the data reader of MXF files.
//
// KLV reading: over the reader's buffered window (ReadKeyLength, ReadMXFKey,
// FindMXFKey, SkipFillItem, SkipRunIn) and over memory (the static forms
// taking a cursor). None of them throws; they answer through their results.
#include <cstdint>
#include <string>

#include "OXLDataReader/OXLDataReader.h"

namespace MxfKeys {
// Header partition pack key prefix: finds the header partition, ends a run-in.
extern const unsigned char HeaderPartitionPrefix[14];
extern const unsigned char FillItemV1[16];
extern const unsigned char FillItemV2[16];
// True when the 16 bytes at p are either fill item key.
bool IsFillItem(const unsigned char* p);
// True when p starts with the SMPTE label prefix 06 0E 2B 34.
bool IsSmpteKey(const unsigned char* p);
}  // namespace MxfKeys

class CMXFDataReader : public COXLDataReader {
 public:
  // BER long forms of more than 8 bytes cannot be held and read as failures.
  static constexpr long kBadLength = -1;

  CMXFDataReader(OXLDataReader::DataType type, unsigned int bufferSize, std::string logId);

  // --- KLV over the reader's window ---
  // BER length at the cursor, consumed; *lengthSize receives the bytes of the
  // length field. -1 when it cannot be read.
  long ReadKeyLength(unsigned int* lengthSize);
  // A 16-byte key and, when `length` is given, its length.
  bool ReadMXFKey(unsigned char* key, long* length, unsigned int* lengthSize);
  // Searches forward for the first keySize bytes of `key`, jumping over whole
  // KLVs that start with the SMPTE prefix. On success the cursor is after the
  // matched bytes, or, when `length` is asked for, after the full 16-byte key
  // and its length field.
  bool FindMXFKey(const unsigned char* key, long* length, unsigned int keySize);
  // Skips one fill item at the cursor: 0 done or no fill item (skipped 0) or
  // end of data, 1 fewer than 16 bytes left, 2 unreadable length, else the
  // result of the skip.
  int SkipFillItem(unsigned long& skipped);
  int SkipFillItem();
  // Skips the bytes before the header partition pack (at most 65536, the
  // longest run-in SMPTE 377 allows): 0 found, -1 too little data, -2 none.
  int SkipRunIn();
  unsigned long GetRunInLength() const { return m_RunInLength; }

  // --- KLV over memory: the cursor (p, remaining) moves past what is read ---
  // -1 with nothing left or a long form longer than what remains or than 8.
  static long ReadKeyLength(const unsigned char*& p, unsigned int& remaining);
  // True with the cursor just after the first 16-byte key equal to `key`.
  static bool FindMXFKey(const unsigned char* key, const unsigned char*& p, unsigned int& remaining);

 protected:
  // File offset of the cursor.
  unsigned long CurrentFileOffset() const { return m_qwBufferFileOffset + (m_dwBufferDataSize - m_dwAvailableBytes); }
  // Skips `count` bytes of any size (values may pass 4 GiB).
  int SkipLong(uint64_t count);

  unsigned long m_RunInLength = 0;
};
