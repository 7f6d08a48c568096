#include "OXLDataReader/MXFPartition.h"

#include <algorithm>
#include <cstring>

#include "OXLDataReader/MXFDataReader.h"
#include "OXLDataReader/MXFUtils.h"

namespace Oxl_Mxf {

namespace {

const unsigned int kPackFixedSize = 80;
const unsigned char kIndexSegmentKey[16] = {0x06, 0x0E, 0x2B, 0x34, 0x02, 0x53, 0x01, 0x01,
                                            0x0D, 0x01, 0x02, 0x01, 0x01, 0x10, 0x01, 0x00};

uint64_t Read64(const unsigned char* p) { return COXLDataReader::Read64(p); }

// A batch header (count, item size) whose items fit in `size` bytes, with
// items of at least `minItem` bytes; count 0 otherwise.
uint32_t CheckedBatchCount(const unsigned char* p, unsigned int size, uint32_t minItem, uint32_t& itemSize) {
  if (size < 8) return 0;
  const uint32_t count = COXLDataReader::Read32(p);
  itemSize = COXLDataReader::Read32(p + 4);
  if (itemSize < minItem || uint64_t(count) * itemSize > size - 8) return 0;
  return count;
}

void ReadDeltaEntries(const unsigned char* p, unsigned int size, IndexTableSegment& segment) {
  uint32_t itemSize = 0;
  const uint32_t count = CheckedBatchCount(p, size, 6, itemSize);
  segment.deltaEntries.reserve(count);
  for (uint32_t i = 0; i < count; ++i) {
    const unsigned char* item = p + 8 + uint64_t(i) * itemSize;
    segment.deltaEntries.push_back({static_cast<int8_t>(item[0]), item[1], COXLDataReader::Read32(item + 2)});
  }
}

void ReadIndexEntries(const unsigned char* p, unsigned int size, IndexTableSegment& segment) {
  uint32_t itemSize = 0;
  const uint32_t count = CheckedBatchCount(p, size, 11, itemSize);
  segment.indexEntries.reserve(count);
  for (uint32_t i = 0; i < count; ++i) {
    const unsigned char* item = p + 8 + uint64_t(i) * itemSize;
    segment.indexEntries.push_back(
        {static_cast<int8_t>(item[0]), static_cast<int8_t>(item[1]), item[2], Read64(item + 3)});
  }
}

// The items of an index table segment (static tags of SMPTE 377 only).
IndexTableSegment ReadSegment(const unsigned char* value, unsigned int size) {
  IndexTableSegment segment;
  ForEachLocalItem(value, size, [&](const unsigned char* tag, const unsigned char* p, unsigned int length) {
    if (tag[0] != 0x3F) return;
    switch (tag[1]) {
      case 0x0C: segment.startPosition = MxfUtils::ReadPosition(p, length); break;
      case 0x0D: segment.duration = MxfUtils::Readlength(p, length); break;
      case 0x05: segment.editUnitByteCount = MxfUtils::ReadUint32(p, length); break;
      case 0x06: segment.indexSID = MxfUtils::ReadUint32(p, length); break;
      case 0x07: segment.bodySID = MxfUtils::ReadUint32(p, length); break;
      case 0x08: segment.sliceCount = MxfUtils::ReadUint8(p, length); break;
      case 0x09: ReadDeltaEntries(p, length, segment); break;
      case 0x0A: ReadIndexEntries(p, length, segment); break;
      default: break;
    }
  });
  return segment;
}

}  // namespace

bool CMXFPartition::ReadPack(const unsigned char* value, unsigned int size, unsigned long runIn) {
  if (size < kPackFixedSize + 8) return false;
  m_KagSize = COXLDataReader::Read32(value + 4);
  m_ThisPartition = Read64(value + 8) + runIn;
  m_PreviousPartition = Read64(value + 16) + runIn;
  const uint64_t footer = Read64(value + 24);
  m_FooterPartition = footer ? footer + runIn : 0;
  m_HeaderByteCount = Read64(value + 32);
  m_IndexByteCount = Read64(value + 40);
  m_IndexSID = COXLDataReader::Read32(value + 48);
  m_BodySID = COXLDataReader::Read32(value + 60);
  m_OperationalPattern = static_cast<uint16_t>(value[64 + 12] << 8 | value[64 + 13]);
  m_EssenceContainers = MxfUtils::ReadArray(value + kPackFixedSize, size - kPackFixedSize);
  std::reverse(m_EssenceContainers.begin(), m_EssenceContainers.end());
  return true;
}

void CMXFPartition::ReadIndexSegments(const std::string& bytes) {
  const unsigned char* p = reinterpret_cast<const unsigned char*>(bytes.data());
  unsigned int remaining = static_cast<unsigned int>(bytes.size());
  while (remaining >= 17) {
    const unsigned char* key = p;
    p += 16;
    remaining -= 16;
    const long length = CMXFDataReader::ReadKeyLength(p, remaining);
    if (length < 0 || static_cast<unsigned long>(length) > remaining) return;
    if (std::memcmp(key, kIndexSegmentKey, 16) == 0) {
      IndexTableSegment segment = ReadSegment(p, static_cast<unsigned int>(length));
      m_IndexSegments[segment.startPosition] = std::move(segment);
    }
    p += length;
    remaining -= static_cast<unsigned int>(length);
  }
}

}  // namespace Oxl_Mxf
