// H.264 NAL units, payload bits and the picture format of a sequence
// parameter set.
#include "qelMuxerUtils/H264Bitstream.h"

#include <algorithm>

namespace H264 {

namespace {

uint32_t ReadLength(const unsigned char* p) {
  return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | uint32_t(p[3]);
}

bool IsUsableUnit(const unsigned char* frame, const NalUnit& unit) {
  return unit.size > 0 && (frame[unit.offset] & 0x80) == 0;
}

bool AllZero(const unsigned char* p, size_t count) {
  return std::all_of(p, p + count, [](unsigned char b) { return b == 0; });
}

bool SplitLengthPrefixed(const unsigned char* frame, size_t size, std::vector<NalUnit>& units) {
  size_t pos = 0;
  while (size - pos >= 4) {
    const uint32_t length = ReadLength(frame + pos);
    if (length == 0) return AllZero(frame + pos, size - pos) && !units.empty();
    if (length > size - pos - 4) return false;
    NalUnit unit;
    unit.prefixOffset = pos;
    unit.offset = pos + 4;
    unit.size = length;
    unit.type = frame[unit.offset] & 0x1F;
    if (!IsUsableUnit(frame, unit)) return false;
    units.push_back(unit);
    pos += 4 + length;
  }
  return !units.empty() && AllZero(frame + pos, size - pos);
}

// Position of the next three-byte start code prefix 00 00 01 at or after
// `from`, or `size`.
size_t FindStartCode(const unsigned char* frame, size_t size, size_t from) {
  for (size_t i = from; i + 3 <= size;) {
    if (frame[i + 2] > 1) {
      i += 3;
    } else if (frame[i + 2] == 1 && frame[i] == 0 && frame[i + 1] == 0) {
      return i;
    } else {
      ++i;
    }
  }
  return size;
}

bool SplitAnnexB(const unsigned char* frame, size_t size, std::vector<NalUnit>& units) {
  size_t zeros = 0;
  while (zeros < size && frame[zeros] == 0) ++zeros;
  if (zeros < 2 || zeros >= size || frame[zeros] != 1) return false;
  size_t code = zeros - 2;
  while (code < size) {
    const size_t start = code + 3;
    const size_t next = FindStartCode(frame, size, start);
    NalUnit unit;
    unit.prefixOffset = units.empty() ? 0 : code;
    unit.offset = start;
    unit.size = next - start;
    if (unit.size == 0) return false;
    unit.type = frame[start] & 0x1F;
    if (!IsUsableUnit(frame, unit)) return false;
    units.push_back(unit);
    code = next;
  }
  return true;
}

// Skips a scaling list of `count` coefficients (7.3.2.1.1.1).
bool SkipScalingList(RbspReader& bits, unsigned int count) {
  int32_t last = 8, next = 8;
  for (unsigned int j = 0; j < count; ++j) {
    if (next != 0) {
      int32_t delta = 0;
      if (!bits.Se(delta) || delta < -128 || delta > 127) return false;
      next = (last + delta + 256) % 256;
    }
    last = next == 0 ? last : next;
  }
  return true;
}

bool HasChromaFields(uint8_t profile) {
  switch (profile) {
    case 100: case 110: case 122: case 244: case 44: case 83: case 86: case 118: case 128: case 138: case 139:
    case 134: case 135:
      return true;
    default:
      return false;
  }
}

bool ParseChromaFormat(RbspReader& bits, SequenceParameterSet& sps) {
  uint32_t lumaMinus8 = 0, chromaMinus8 = 0;
  bool separatePlanes = false, bypass = false, scaling = false;
  if (!bits.Ue(sps.chromaFormatIdc) || sps.chromaFormatIdc > 3) return false;
  if (sps.chromaFormatIdc == 3 && !bits.Flag(separatePlanes)) return false;
  if (!bits.Ue(lumaMinus8) || lumaMinus8 > 6 || !bits.Ue(chromaMinus8) || chromaMinus8 > 6) return false;
  sps.bitDepthLuma = 8 + lumaMinus8;
  sps.bitDepthChroma = 8 + chromaMinus8;
  if (!bits.Flag(bypass) || !bits.Flag(scaling)) return false;
  if (!scaling) return true;
  const unsigned int lists = sps.chromaFormatIdc == 3 ? 12 : 8;
  for (unsigned int i = 0; i < lists; ++i) {
    bool present = false;
    if (!bits.Flag(present)) return false;
    if (present && !SkipScalingList(bits, i < 6 ? 16 : 64)) return false;
  }
  return true;
}

bool SkipPictureOrderCount(RbspReader& bits) {
  uint32_t type = 0, value = 0;
  int32_t offset = 0;
  if (!bits.Ue(value) || value > 12 || !bits.Ue(type) || type > 2) return false;  // log2_max_frame_num_minus4
  if (type == 0) return bits.Ue(value) && value <= 12;
  if (type == 2) return true;
  uint32_t cycle = 0;
  if (!bits.Skip(1) || !bits.Se(offset) || !bits.Se(offset) || !bits.Ue(cycle) || cycle > 255) return false;
  for (uint32_t i = 0; i < cycle; ++i)
    if (!bits.Se(offset)) return false;
  return true;
}

bool ParseGeometry(RbspReader& bits, SequenceParameterSet& sps) {
  uint32_t refFrames = 0, widthMinus1 = 0, heightMinus1 = 0;
  if (!bits.Ue(refFrames) || !bits.Skip(1) || !bits.Ue(widthMinus1) || !bits.Ue(heightMinus1)) return false;
  if (widthMinus1 > 1023 || heightMinus1 > 1023) return false;
  sps.widthInMbs = widthMinus1 + 1;
  sps.heightInMapUnits = heightMinus1 + 1;
  if (!bits.Flag(sps.frameMbsOnly)) return false;
  if (!sps.frameMbsOnly && !bits.Flag(sps.mbAdaptiveFrameField)) return false;
  bool cropping = false;
  uint32_t crop[4] = {0, 0, 0, 0};  // left, right, top, bottom
  if (!bits.Skip(1) || !bits.Flag(cropping)) return false;
  if (cropping)
    for (uint32_t& c : crop)
      if (!bits.Ue(c) || c > 8192) return false;
  const uint32_t subWidth = sps.chromaFormatIdc == 1 || sps.chromaFormatIdc == 2 ? 2 : 1;
  const uint32_t subHeight = sps.chromaFormatIdc == 1 ? 2 : 1;
  const uint32_t frameHeightMbs = (sps.frameMbsOnly ? 1 : 2) * sps.heightInMapUnits;
  const uint32_t cropX = subWidth * (crop[0] + crop[1]);
  const uint32_t cropY = subHeight * (sps.frameMbsOnly ? 1 : 2) * (crop[2] + crop[3]);
  if (cropX >= 16 * sps.widthInMbs || cropY >= 16 * frameHeightMbs) return false;
  sps.width = 16 * sps.widthInMbs - cropX;
  sps.height = 16 * frameHeightMbs - cropY;
  return true;
}

// The video usability information up to the timing fields (E.1.1).
bool ParseTiming(RbspReader& bits, SequenceParameterSet& sps) {
  bool present = false;
  if (!bits.Flag(present)) return false;
  if (present) {
    uint32_t idc = 0;
    if (!bits.Bits(8, idc)) return false;
    if (idc == 255 && !bits.Skip(32)) return false;
  }
  if (!bits.Flag(present) || (present && !bits.Skip(1))) return false;  // overscan
  if (!bits.Flag(present)) return false;                                 // video signal type
  if (present) {
    bool colour = false;
    if (!bits.Skip(4) || !bits.Flag(colour) || (colour && !bits.Skip(24))) return false;
  }
  if (!bits.Flag(present)) return false;  // chroma location
  uint32_t value = 0;
  if (present && (!bits.Ue(value) || !bits.Ue(value))) return false;
  if (!bits.Flag(sps.timingInfo)) return false;
  if (!sps.timingInfo) return true;
  return bits.Bits(32, sps.numUnitsInTick) && bits.Bits(32, sps.timeScale);
}

}  // namespace

bool SplitNalUnits(const unsigned char* frame, size_t size, FrameForm& form, std::vector<NalUnit>& units) {
  units.clear();
  if (!frame || size == 0) return false;
  if (SplitLengthPrefixed(frame, size, units)) {
    form = FrameForm::LengthPrefixed;
    return true;
  }
  units.clear();
  if (SplitAnnexB(frame, size, units)) {
    form = FrameForm::AnnexB;
    return true;
  }
  units.clear();
  return false;
}

RbspReader::RbspReader(const unsigned char* nal, size_t size, size_t limit) {
  const size_t end = std::min(size, limit + 1);
  m_Bytes.reserve(end);
  int zeros = 0;
  for (size_t i = 1; i < end; ++i) {
    if (zeros >= 2 && nal[i] == 3) {
      zeros = 0;
      continue;
    }
    zeros = nal[i] == 0 ? zeros + 1 : 0;
    m_Bytes.push_back(nal[i]);
  }
}

bool RbspReader::Bits(unsigned int count, uint32_t& value) {
  if (count > 32 || m_Bytes.size() * 8 - m_Bit < count) return false;
  uint64_t v = 0;
  for (unsigned int i = 0; i < count; ++i, ++m_Bit) v = v << 1 | ((m_Bytes[m_Bit / 8] >> (7 - m_Bit % 8)) & 1);
  value = static_cast<uint32_t>(v);
  return true;
}

bool RbspReader::Flag(bool& value) {
  uint32_t bit = 0;
  if (!Bits(1, bit)) return false;
  value = bit != 0;
  return true;
}

bool RbspReader::Skip(unsigned int count) {
  if (m_Bytes.size() * 8 - m_Bit < count) return false;
  m_Bit += count;
  return true;
}

bool RbspReader::Ue(uint32_t& value) {
  unsigned int zeros = 0;
  uint32_t bit = 0;
  for (;;) {
    if (!Bits(1, bit)) return false;
    if (bit) break;
    if (++zeros > 31) return false;
  }
  uint32_t rest = 0;
  if (!Bits(zeros, rest)) return false;
  value = static_cast<uint32_t>((uint64_t(1) << zeros) - 1 + rest);
  return true;
}

bool RbspReader::Se(int32_t& value) {
  uint32_t code = 0;
  if (!Ue(code)) return false;
  const int64_t magnitude = (int64_t(code) + 1) / 2;
  value = static_cast<int32_t>(code % 2 ? magnitude : -magnitude);
  return true;
}

double SequenceParameterSet::FrameRate() const {
  if (!timingInfo || numUnitsInTick == 0) return 0.0;
  return double(timeScale) / (2.0 * numUnitsInTick);
}

bool ParseSequenceParameterSet(const unsigned char* nal, size_t size, SequenceParameterSet& sps) {
  if (!nal || size < 4 || (nal[0] & 0x1F) != NalSps) return false;
  RbspReader bits(nal, size);
  uint32_t profile = 0, constraints = 0, level = 0, id = 0;
  if (!bits.Bits(8, profile) || !bits.Bits(8, constraints) || !bits.Bits(8, level)) return false;
  if (!bits.Ue(id) || id > 31) return false;
  sps = SequenceParameterSet{};
  sps.profileIdc = static_cast<uint8_t>(profile);
  sps.constraintFlags = static_cast<uint8_t>(constraints);
  sps.levelIdc = static_cast<uint8_t>(level);
  if (HasChromaFields(sps.profileIdc) && !ParseChromaFormat(bits, sps)) return false;
  if (!SkipPictureOrderCount(bits) || !ParseGeometry(bits, sps)) return false;
  bool vui = false;
  if (!bits.Flag(vui)) return false;
  return !vui || ParseTiming(bits, sps);
}

bool ParseFirstMbInSlice(const unsigned char* nal, size_t size, uint32_t& firstMb) {
  if (!nal || size < 2) return false;
  RbspReader bits(nal, size, 8);
  return bits.Ue(firstMb);
}

}  // namespace H264
