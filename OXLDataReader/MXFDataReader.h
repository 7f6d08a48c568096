#pragma once
// CMXFDataReader: the data reader of MXF files.
//
// Initialize walks the partitions (through the Random Index Pack, a search
// for the footer from the end of the file, or the chain of partition
// offsets), reads the header metadata (packages, tracks, sequences, source
// clips, timecode, descriptors) and the index table segments, and derives
// the timing of the material: edit rate, video system, start and duration.
// Descriptive metadata (AS-11, UK DPP, non-real-time XML) ends up in the
// metadata list. This class reads no essence itself; the IMX readers built
// on it do.
//
// Initialize results: 0 success; -1 too little data for a run-in search or
// a failed skip; -2 no header partition; -15 the first partition is no
// header partition; -16 OP1b, or a package set missing; 1 a partition key
// cannot be read (also when the Random Index Pack points outside the file);
// 2 a partition pack or a header metadata area does not fit the file (or
// passes 256 MiB). An index area that cannot be read is left out.
// A property value shorter than its type throws qel::QELRuntimeError out
// of Initialize (the typed readers' failure, logged with its text).
//
// KLV reading: over the reader's buffered window (ReadKeyLength, ReadMXFKey,
// FindMXFKey, SkipFillItem, SkipRunIn) and over memory (the static forms
// taking a cursor). None of them throws; they answer through their results.
#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "OXLDataReader/MXFPackage.h"
#include "OXLDataReader/MXFPartition.h"
#include "OXLDataReader/OXLDataReader.h"
#include "OxlTbx/TimeCode.h"

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

namespace Oxl_Mxf {
class HeaderMetadata;
}

// An essence range of the file: the bytes after a partition's header
// metadata and index areas up to the next partition.
struct MXF_DATA_CLIP {
  uint64_t start = 0;
  uint64_t end = 0;
  uint32_t bodySID = 0;
  std::shared_ptr<Oxl_Mxf::CMXFPartition> partition;
};

class CMXFDataReader : public COXLDataReader {
 public:
  // BER long forms of more than 8 bytes cannot be held and read as failures.
  static constexpr long kBadLength = -1;

  CMXFDataReader(OXLDataReader::DataType type, unsigned int bufferSize, std::string logId);
  ~CMXFDataReader() override;

  virtual int ReadPackage(Oxl_Mxf::CMXFPackage& package, const unsigned char (&key)[16], bool second);
  virtual int FoundCDCIDescriptor(unsigned char* value, unsigned int size) { return 0; }
  virtual int FoundSoundDescriptor(unsigned char* value, unsigned int size) { return 0; }
  virtual int ReadIndexTable(Oxl_Mxf::CMXFPartition* partition);
  virtual bool UseNewIndexMecanism() { return true; }

  std::vector<std::shared_ptr<const qel::IMetadata>> GetMetadataList() const override;
  // In fields with the video system, else in milliseconds with 0xFFFFFFFF as
  // system; an unknown duration counts as 0. 1 when videoSystem is null.
  int GetInOut(unsigned int* in, unsigned int* out, unsigned int* videoSystem) override;
  int GoToDataStart() override;
  int GoToDataEnd() override;

  // Decodes a picture descriptor's local set (CDCI or MPEG video); true when
  // a video data type is known.
  bool GetCDCIVideoInfo(unsigned char* value, unsigned int size, OXLDataReader::VIDEO_INFO& info);
  static bool MetadataAnalysisIsRequired(OXLDataReader::VideoDataType type);
  static bool BitstreamAnalysisIsRequired(OXLDataReader::VideoDataType type);
  // The video data type the camera's non-real-time metadata names: 0, or -1
  // when no metadata item names a known codec.
  int AnalyzeMetadata(OXLDataReader::VideoDataType& type);
  // The AVC-Intra class of the first frame. The frame-mode detection
  // (COXLAVCIntraHelper of the muxer utilities) is not part of this build:
  // the frame is read, but the type stays unchanged and -1 is returned.
  int AnalyseBitstream(OXLDataReader::VideoDataType& type);

  int LookForDescriptiveMetadata(Oxl_Mxf::CMXFPartition* partition);

  // --- What Initialize found ---
  std::shared_ptr<Oxl_Mxf::CMXFPartition> GetHeaderPartition() const { return m_HeaderPartition; }
  const std::deque<std::shared_ptr<Oxl_Mxf::CMXFPartition>>& GetPartitions() const { return m_Partitions; }
  const std::vector<uint64_t>& GetPartitionOffsets() const { return m_PartitionOffsets; }
  const Oxl_Mxf::CMXFPackage& GetMaterialPackage() const { return m_MaterialPackage; }
  const Oxl_Mxf::CMXFPackage& GetFilePackage() const { return m_FilePackage; }
  const std::vector<MXF_DATA_CLIP>& GetDataClips() const { return m_DataClips; }
  double GetEditRate() const { return m_EditRate; }
  double GetFieldRate() const { return m_FieldRate; }
  unsigned int GetFieldsPerFrame() const { return m_FieldsPerFrame; }
  OxlTbx::VideoSystem GetVideoSystem() const { return m_VideoSystem; }
  int64_t GetStart() const { return m_Start; }
  int64_t GetDuration() const { return m_Duration; }
  OxlTbx::VideoSystem GetTimecodeSystem() const { return m_TimecodeSystem; }
  bool IsDropFrame() const { return m_bDropFrame; }
  // The start as a timecode of the video system.
  CTimeCode GetStartTimeCode() const;
  unsigned int GetEditByteCount() const { return m_EditByteCount; }
  // The value of the first picture descriptor (CDCI or MPEG video), empty when none.
  const std::string& GetPictureDescriptor() const { return m_PictureDescriptor; }

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
  int Initialize(bool flag) override;
  // File offset of the cursor.
  unsigned long CurrentFileOffset() const { return m_qwBufferFileOffset + (m_dwBufferDataSize - m_dwAvailableBytes); }
  // Skips `count` bytes of any size (values may pass 4 GiB).
  int SkipLong(uint64_t count);
  // All bits set when the size is not known.
  unsigned long GetFileSize() const;

  unsigned long m_RunInLength = 0;

  std::shared_ptr<Oxl_Mxf::CMXFPartition> m_HeaderPartition;
  std::deque<std::shared_ptr<Oxl_Mxf::CMXFPartition>> m_Partitions;
  std::vector<uint64_t> m_PartitionOffsets;
  Oxl_Mxf::CMXFPackage m_MaterialPackage, m_FilePackage, m_WorkPackage;
  std::vector<MXF_DATA_CLIP> m_DataClips;
  size_t m_CurrentClip = 0;
  double m_EditRate = 25.0;
  double m_FieldRate = 50.0;
  unsigned int m_FieldsPerFrame = 2;
  OxlTbx::VideoSystem m_VideoSystem = OxlTbx::VS_Invalid;
  int64_t m_Start = 0;
  int64_t m_Duration = -1;
  OxlTbx::VideoSystem m_TimecodeSystem = OxlTbx::VS_Invalid;
  bool m_bDropFrame = false;
  unsigned int m_EditByteCount = 0;
  unsigned int m_DescriptorEditByteCount = 0;  // the FF F1 item of a 4A set
  std::string m_PictureDescriptor;
  std::vector<std::shared_ptr<const qel::IMetadata>> m_MetadataList;

 private:
  void ResetState();
  // Reads a partition pack at the cursor into `partition`.
  int ReadMXFHeader(Oxl_Mxf::CMXFPartition& partition);
  // Reads a partition at a file offset; 1 when no partition pack is there.
  int ReadPartitionAt(uint64_t offset, Oxl_Mxf::CMXFPartition& partition);
  // Searches the last MiB of the file for the footer partition and the
  // Random Index Pack.
  void FindFooterBack();
  int ReadPartitions();
  int ReadPartitionsFromOffsets();
  void ReadPartitionChain();
  // Copies `size` bytes at `offset` into `out`; false when the file is
  // shorter or the size passes 256 MiB.
  bool ReadBytesAt(uint64_t offset, uint64_t size, std::string& out);
  // Loads the header metadata of `partition` and reads its primer pack: 0, or 2.
  int LoadHeaderMetadata(Oxl_Mxf::CMXFPartition& partition);
  Oxl_Mxf::CMXFPartition* GetHeaderMetadataPartition();
  int ReadPackages();
  void ChooseTiming();
  void ReadDescriptors();
  void BuildDataClips();
  void ComputeEditByteCount();
  void ComputeVideoSystem(double trackRate);
  void ConvertStartToVideoSystem();
};
