#pragma once
// One MXF partition: its pack, its local-tag table, its index table segments
// and, once loaded, its header metadata.
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "OXLDataReader/MXFLocalKeyTable.h"

class CMXFDataReader;

namespace Oxl_Mxf {

struct DeltaEntry {
  int8_t posTableIndex = 0;
  uint8_t slice = 0;
  uint32_t elementDelta = 0;
};

struct IndexEntry {
  int8_t temporalOffset = 0;
  int8_t keyFrameOffset = 0;
  uint8_t flags = 0;
  uint64_t streamOffset = 0;
};

struct IndexTableSegment {
  int64_t startPosition = 0;
  int64_t duration = 0;
  uint32_t editUnitByteCount = 0;
  uint32_t indexSID = 0;
  uint32_t bodySID = 0;
  uint8_t sliceCount = 0;
  std::vector<DeltaEntry> deltaEntries;
  std::vector<IndexEntry> indexEntries;
};

// Kinds of partition (byte 14 of the pack key).
enum PartitionKind : uint8_t { Partition_Header = 2, Partition_Body = 3, Partition_Footer = 4 };

class CMXFPartition {
 public:
  explicit CMXFPartition(CMXFDataReader* reader) : m_pReader(reader) {}

  // Decodes a partition pack value; offsets are made file offsets by adding
  // the run-in. False when the value is shorter than a pack.
  bool ReadPack(const unsigned char* value, unsigned int size, unsigned long runIn);
  // Decodes the index table segments among the KLVs of `bytes` (the
  // partition's index area), in the SMPTE 377 layout only. A delta or index
  // entry batch that claims more than its bytes hold is left empty; a value
  // shorter than its type throws qel::QELRuntimeError. Entries are kept as
  // stored: files listing two fields per edit unit are not folded here.
  void ReadIndexSegments(const std::string& bytes);

  PartitionKind GetKind() const { return static_cast<PartitionKind>(m_Key[13]); }
  // Status: 1 open incomplete, 2 closed incomplete, 3 open complete, 4 closed complete.
  uint8_t GetStatus() const { return m_Key[14]; }
  bool IsClosed() const { return GetStatus() == 2 || GetStatus() == 4; }
  // First byte after the header metadata and index areas.
  uint64_t GetEssenceStart() const { return m_HeaderMetadataStart + m_HeaderByteCount + m_IndexByteCount; }

  unsigned char m_Key[16] = {};
  uint64_t m_PackLength = 0;
  uint32_t m_KagSize = 0;
  uint64_t m_KeyOffset = 0;
  uint64_t m_ThisPartition = 0;
  uint64_t m_PreviousPartition = 0;
  uint64_t m_FooterPartition = 0;  // 0 when not known
  uint64_t m_HeaderByteCount = 0;
  uint64_t m_IndexByteCount = 0;
  int64_t m_NextPartition = -1;
  uint64_t m_HeaderMetadataStart = 0;
  // Item and package complexity of the operational pattern: OP1a 257, OP1b 258.
  uint16_t m_OperationalPattern = 0;
  uint32_t m_BodySID = 0;
  uint32_t m_IndexSID = 0;
  std::vector<std::string> m_EssenceContainers;  // reverse of the batch order
  std::map<int64_t, IndexTableSegment> m_IndexSegments;
  CMXFDataReader* m_pReader;
  LocalKeyTable m_LocalKeys;
  // The header metadata bytes, once loaded by the reader.
  std::string m_HeaderMetadata;
  bool m_bHeaderMetadataLoaded = false;
};

}  // namespace Oxl_Mxf
