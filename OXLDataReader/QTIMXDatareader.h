#pragma once
// CQTIMXDataReader: the QuickTime reader for IMX (D-10) video, whose samples
// may each be wrapped in an MXF key-length-value packet (they then start with
// the SMPTE label prefix 06 0E 2B 34). It delivers the picture data without
// that wrapping, exactly one sample per read; everything else is the
// QuickTime reader's.
//
// A wrapped sample has a 16-byte key and a 4-byte BER length (0x83 and three
// length bytes); the picture data follows, and whatever follows it inside the
// sample (padding) is skipped. Results of a read: 0, 1 when the file cannot
// be positioned, 100 when the file ends inside the sample or when the sample
// is too short for its packet (fewer than 20 bytes, or a length running past
// the sample's end: a damaged sample, which the read leaves the cursor on so
// that SkipNextData can pass it), 101 with the required size when the buffer
// is too small (the cursor stays on the sample), 104 without a track.
#include <string>

#include "OXLDataReader/QTDatareader.h"

class CQTIMXDataReader : public CQTDataReader {
 public:
  explicit CQTIMXDataReader(std::string name);

 protected:
  int GetSyncData(unsigned char* buffer, unsigned int size, unsigned int* outSize) override;

 private:
  int ReadSampleData(unsigned char* buffer, unsigned int size, unsigned long offset, unsigned int sampleSize,
                     unsigned int& dataSize);
};
