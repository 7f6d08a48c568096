#pragma once
// Just enough H.264 (ITU-T H.264) to format and classify AVC-Intra frames:
// cutting a frame into NAL units, reading the bits of a NAL unit's payload,
// the sequence parameter set fields that tell a picture's format, and the
// first field of a slice header.
//
// Nothing here trusts a size from the data: every NAL unit lies inside the
// frame, and every read of a bit checks that the bit exists.
#include <cstddef>
#include <cstdint>
#include <vector>

namespace H264 {

enum NalType : uint8_t {
  NalSlice = 1,
  NalIdrSlice = 5,
  NalSei = 6,
  NalSps = 7,
  NalPps = 8,
  NalAccessUnitDelimiter = 9,
  NalFiller = 12,
};

// One NAL unit of a frame: its bytes (header byte first) are
// frame[offset, offset + size); `prefixOffset` is where its start code or
// length field begins.
struct NalUnit {
  size_t prefixOffset = 0;
  size_t offset = 0;
  size_t size = 0;
  uint8_t type = 0;
  bool IsSlice() const { return type == NalSlice || type == NalIdrSlice; }
};

enum class FrameForm { AnnexB, LengthPrefixed };

// Cuts `frame` into NAL units. A frame is taken as 4-byte length-prefixed when
// its lengths cover it exactly (zero bytes may pad the end), else as an
// Annex B byte stream when it starts with a start code (after optional zero
// bytes). False when it is neither, or a unit is empty or has its forbidden
// bit set. In Annex B, zero bytes before a start code stay with the unit
// before it.
bool SplitNalUnits(const unsigned char* frame, size_t size, FrameForm& form, std::vector<NalUnit>& units);

// Reads the payload of one NAL unit (after its header byte) bit by bit, with
// the emulation prevention bytes removed. Only the first `limit` payload
// bytes are looked at: headers sit at the start and slices are large.
class RbspReader {
 public:
  RbspReader(const unsigned char* nal, size_t size, size_t limit = 4096);
  bool Bits(unsigned int count, uint32_t& value);  // count <= 32
  bool Flag(bool& value);
  bool Skip(unsigned int count);
  bool Ue(uint32_t& value);  // unsigned Exp-Golomb, up to 2^32 - 2
  bool Se(int32_t& value);

 private:
  std::vector<unsigned char> m_Bytes;
  size_t m_Bit = 0;
};

// The sequence parameter set fields that describe the picture.
struct SequenceParameterSet {
  uint8_t profileIdc = 0;
  uint8_t constraintFlags = 0;
  uint8_t levelIdc = 0;
  uint32_t chromaFormatIdc = 1;  // 0 monochrome, 1 4:2:0, 2 4:2:2, 3 4:4:4
  uint32_t bitDepthLuma = 8;
  uint32_t bitDepthChroma = 8;
  uint32_t widthInMbs = 0;
  uint32_t heightInMapUnits = 0;  // macroblock rows, or row pairs when fields may occur
  bool frameMbsOnly = true;
  bool mbAdaptiveFrameField = false;
  uint32_t width = 0;   // after cropping
  uint32_t height = 0;
  bool timingInfo = false;
  uint32_t numUnitsInTick = 0;
  uint32_t timeScale = 0;

  // Frames per second from the timing information, 0 without it.
  double FrameRate() const;
  // Macroblocks (or macroblock pairs) of a picture as slices address them.
  uint32_t MapUnits() const { return widthInMbs * heightInMapUnits; }
};

// Parses a sequence parameter set NAL unit (header byte included). False when
// it is cut short or holds values outside the standard's ranges.
bool ParseSequenceParameterSet(const unsigned char* nal, size_t size, SequenceParameterSet& sps);

// first_mb_in_slice of a slice NAL unit (header byte included).
bool ParseFirstMbInSlice(const unsigned char* nal, size_t size, uint32_t& firstMb);

}  // namespace H264
