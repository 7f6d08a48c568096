// Opening an MXF file: partitions, packages, timing and descriptors.
#include "OXLDataReader/MXFDataReader.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "OXLDataReader/MXFHeaderMetadata.h"
#include "OXLDataReader/MXFUtils.h"

namespace {

using Oxl_Mxf::CMXFPartition;

const unsigned char kPartitionPrefix[13] = {0x06, 0x0E, 0x2B, 0x34, 0x02, 0x05, 0x01, 0x01, 0x0D, 0x01, 0x02, 0x01, 0x01};
const unsigned char kFooterPrefix[14] = {0x06, 0x0E, 0x2B, 0x34, 0x02, 0x05, 0x01, 0x01, 0x0D, 0x01, 0x02, 0x01, 0x01, 0x04};
const unsigned char kRipKey[16] = {0x06, 0x0E, 0x2B, 0x34, 0x02, 0x05, 0x01, 0x01,
                                   0x0D, 0x01, 0x02, 0x01, 0x01, 0x11, 0x01, 0x00};
const unsigned char kPrimerKey[16] = {0x06, 0x0E, 0x2B, 0x34, 0x02, 0x05, 0x01, 0x01,
                                      0x0D, 0x01, 0x02, 0x01, 0x01, 0x05, 0x01, 0x00};
const unsigned char kMaterialPackageKey[16] = {0x06, 0x0E, 0x2B, 0x34, 0x02, 0x53, 0x01, 0x01,
                                               0x0D, 0x01, 0x01, 0x01, 0x01, 0x01, 0x36, 0x00};
const unsigned char kSourcePackageKey[16] = {0x06, 0x0E, 0x2B, 0x34, 0x02, 0x53, 0x01, 0x01,
                                             0x0D, 0x01, 0x01, 0x01, 0x01, 0x01, 0x37, 0x00};
const unsigned char kSoundContainerLabel[16] = {0x06, 0x0E, 0x2B, 0x34, 0x04, 0x01, 0x01, 0x01,
                                                0x0D, 0x01, 0x03, 0x01, 0x02, 0x06, 0x02, 0x00};
const uint64_t kFooterSearchSpan = 0x100000;
// Header metadata and index areas are held in memory; larger areas than
// this are taken for damaged byte counts.
const uint64_t kMaxAreaBytes = 256u << 20;
const uint16_t kOP1b = 258;

bool IsPartitionKey(const unsigned char* key) {
  return std::memcmp(key, kPartitionPrefix, sizeof kPartitionPrefix) == 0 && key[13] >= 2 && key[13] <= 4;
}

// Video system and fields per frame of an edit rate (rate x 100, truncated).
struct RateSystem {
  long code;
  OxlTbx::VideoSystem system;
  unsigned int fieldsPerFrame;
};
const RateSystem kRateSystems[] = {
    {2397, OxlTbx::VS_24Drop, 2},      {2400, OxlTbx::VS_24, 2},          {2500, OxlTbx::VS_PAL, 2},
    {2997, OxlTbx::VS_NTSCDrop, 2},    {3000, OxlTbx::VS_NTSCNoDrop, 2},  {5000, OxlTbx::VS_FieldPAL, 1},
    {5994, OxlTbx::VS_FieldNTSCDrop, 1}, {6000, OxlTbx::VS_FieldNTSCNoDrop, 1},
};

// The system of a timecode component's rounded base.
OxlTbx::VideoSystem TimecodeSystem(uint16_t base, bool dropFrame) {
  switch (base) {
    case 25: return OxlTbx::VS_PAL;
    case 30: return dropFrame ? OxlTbx::VS_NTSCDrop : OxlTbx::VS_NTSCNoDrop;
    case 50: return OxlTbx::VS_FieldPAL;
    case 60: return dropFrame ? OxlTbx::VS_FieldNTSCDrop : OxlTbx::VS_FieldNTSCNoDrop;
    default: return OxlTbx::VS_Invalid;
  }
}

// A count for an unsigned 32-bit output, held within its range.
unsigned int ClampToUInt(double value) {
  if (!(value > 0)) return 0;
  return value >= 4294967295.0 ? 0xFFFFFFFFu : static_cast<unsigned int>(value);
}

int64_t TrackDuration(const Oxl_Mxf::CMXFTrack& track) {
  if (track.m_Sequence.m_Duration != -1) return track.m_Sequence.m_Duration;
  for (const auto& component : track.m_Sequence.m_Components)
    if (component.m_Duration != -1) return component.m_Duration;
  return -1;
}

}  // namespace

CMXFDataReader::~CMXFDataReader() = default;

unsigned long CMXFDataReader::GetFileSize() const { return m_pFileReader ? m_pFileReader->GetFileSize() : ~0UL; }

void CMXFDataReader::ResetState() {
  m_HeaderPartition.reset();
  m_Partitions.clear();
  m_PartitionOffsets.clear();
  m_MaterialPackage = m_FilePackage = m_WorkPackage = Oxl_Mxf::CMXFPackage();
  m_DataClips.clear();
  m_CurrentClip = 0;
  m_EditRate = 25.0;
  m_FieldRate = 50.0;
  m_FieldsPerFrame = 2;
  m_VideoSystem = OxlTbx::VS_Invalid;
  m_Start = 0;
  m_Duration = -1;
  m_TimecodeSystem = OxlTbx::VS_Invalid;
  m_bDropFrame = false;
  m_EditByteCount = m_DescriptorEditByteCount = 0;
  m_PictureDescriptor.clear();
  m_MetadataList.clear();
}

int CMXFDataReader::Initialize(bool) {
  ResetState();
  InvalidateBufferData();
  if (!m_pFileReader || SetFileIndex(0) != 0) return -1;
  int result = SkipRunIn();
  if (result != 0) return result;
  if (!InsureAvailableBytes(16) || std::memcmp(m_pCurrent, MxfKeys::HeaderPartitionPrefix, 14) != 0 ||
      m_pCurrent[15] != 0)
    return -15;
  m_HeaderPartition = std::make_shared<CMXFPartition>(this);
  if ((result = ReadMXFHeader(*m_HeaderPartition)) != 0) return result;
  if ((result = ReadIndexTable(m_HeaderPartition.get())) != 0) return result;
  if (m_HeaderPartition->m_FooterPartition <= m_HeaderPartition->m_ThisPartition) {
    m_HeaderPartition->m_FooterPartition = 0;
    FindFooterBack();
  }
  if ((result = ReadPartitions()) != 0) return result;
  if (m_HeaderPartition->m_OperationalPattern == kOP1b) return -16;
  if ((result = ReadPackages()) != 0) return result;
  ChooseTiming();
  ReadDescriptors();
  BuildDataClips();
  (void)GoToDataStart();
  ComputeEditByteCount();
  ConvertStartToVideoSystem();
  return LookForDescriptiveMetadata(m_HeaderPartition.get());
}

int CMXFDataReader::ReadMXFHeader(CMXFPartition& partition) {
  partition.m_KeyOffset = CurrentFileOffset();
  long length = 0;
  if (!ReadMXFKey(partition.m_Key, &length, nullptr) || length < 0) return 1;
  partition.m_PackLength = static_cast<uint64_t>(length);
  if (static_cast<unsigned long>(length) > m_dwBufferSize || !InsureAvailableBytes(static_cast<unsigned int>(length)))
    return 2;
  if (!partition.ReadPack(m_pCurrent, static_cast<unsigned int>(length), m_RunInLength)) return 2;
  if (SkipBytes(static_cast<unsigned int>(length)) != 0 || SkipFillItem() != 0) return -1;
  partition.m_HeaderMetadataStart = CurrentFileOffset();
  Oxl_Mxf::InitializeLocalMap(partition.m_LocalKeys);
  return 0;
}

int CMXFDataReader::ReadPartitionAt(uint64_t offset, CMXFPartition& partition) {
  if (offset + 16 > GetFileSize() || SetFileIndex(offset) != 0) return 1;
  if (!InsureAvailableBytes(16) || !IsPartitionKey(m_pCurrent)) return 1;
  return ReadMXFHeader(partition);
}

bool CMXFDataReader::ReadBytesAt(uint64_t offset, uint64_t size, std::string& out) {
  out.clear();
  const unsigned long fileSize = GetFileSize();
  if (size > kMaxAreaBytes || offset > fileSize || size > fileSize - offset) return false;
  if (SetFileIndex(offset) != 0) return false;
  out.reserve(size);
  while (out.size() < size) {
    if (m_dwAvailableBytes == 0 && (LoadData() != 0 || m_dwAvailableBytes == 0)) return false;
    const uint64_t left = size - out.size();
    const unsigned int take = left < m_dwAvailableBytes ? static_cast<unsigned int>(left) : m_dwAvailableBytes;
    out.append(reinterpret_cast<const char*>(m_pCurrent), take);
    (void)SkipBytes(take);
  }
  return true;
}

void CMXFDataReader::FindFooterBack() {
  const unsigned long size = GetFileSize();
  const uint64_t floor = m_HeaderPartition->m_KeyOffset + 16;
  if (size == ~0UL || size < floor + 16) return;
  const uint64_t span = std::min<uint64_t>(kFooterSearchSpan, size - floor);
  std::string tail;
  if (!ReadBytesAt(size - span, span, tail)) return;
  const auto* bytes = reinterpret_cast<const unsigned char*>(tail.data());
  for (uint64_t pos = span - 14 + 1; pos-- > 0;) {
    if (pos + 16 <= span && std::memcmp(bytes + pos, kRipKey, 16) == 0 && m_PartitionOffsets.empty()) {
      const unsigned char* p = bytes + pos + 16;
      unsigned int left = static_cast<unsigned int>(span - pos - 16);
      const long length = ReadKeyLength(p, left);
      if (length < 4 || static_cast<unsigned long>(length) > left) continue;
      for (long i = 0; i < (length - 4) / 12; ++i) m_PartitionOffsets.push_back(Read64(p + 12 * i + 4));
    } else if (std::memcmp(bytes + pos, kFooterPrefix, sizeof kFooterPrefix) == 0) {
      m_HeaderPartition->m_FooterPartition = size - span + pos;
      return;
    }
  }
}

int CMXFDataReader::ReadPartitions() {
  if (!m_PartitionOffsets.empty()) return ReadPartitionsFromOffsets();
  ReadPartitionChain();
  return 0;
}

int CMXFDataReader::ReadPartitionsFromOffsets() {
  std::shared_ptr<CMXFPartition> previous;
  for (uint64_t stored : m_PartitionOffsets) {
    const uint64_t offset = stored + m_RunInLength;
    auto partition = m_HeaderPartition;
    if (offset != m_HeaderPartition->m_KeyOffset) {
      partition = std::make_shared<CMXFPartition>(this);
      int result = ReadPartitionAt(offset, *partition);
      if (result == 0 && partition->m_IndexByteCount) result = ReadIndexTable(partition.get());
      if (result != 0) return result;
    }
    if (previous) previous->m_NextPartition = static_cast<int64_t>(partition->m_KeyOffset);
    m_Partitions.push_back(partition);
    previous = partition;
  }
  return 0;
}

void CMXFDataReader::ReadPartitionChain() {
  std::deque<std::shared_ptr<CMXFPartition>> chain;
  uint64_t offset = m_HeaderPartition->m_FooterPartition;
  while (offset > m_HeaderPartition->m_KeyOffset) {
    auto partition = std::make_shared<CMXFPartition>(this);
    if (ReadPartitionAt(offset, *partition) != 0) {
      if (chain.empty()) m_HeaderPartition->m_FooterPartition = 0;
      break;
    }
    (void)ReadIndexTable(partition.get());
    chain.push_front(partition);
    if (partition->m_PreviousPartition >= offset) break;
    offset = partition->m_PreviousPartition;
  }
  if (m_HeaderPartition->m_FooterPartition == 0) {
    // Neither footer nor Random Index Pack: partitions that directly follow
    // the header's metadata and index areas.
    uint64_t next = m_HeaderPartition->GetEssenceStart();
    for (;;) {
      auto partition = std::make_shared<CMXFPartition>(this);
      if (ReadPartitionAt(next, *partition) != 0 || partition->GetKind() != Oxl_Mxf::Partition_Body) break;
      (void)ReadIndexTable(partition.get());
      chain.push_back(partition);
      if (partition->GetEssenceStart() <= next) break;
      next = partition->GetEssenceStart();
    }
  }
  chain.push_front(m_HeaderPartition);
  for (size_t i = 0; i + 1 < chain.size(); ++i) chain[i]->m_NextPartition = static_cast<int64_t>(chain[i + 1]->m_KeyOffset);
  m_Partitions = std::move(chain);
}

int CMXFDataReader::ReadIndexTable(CMXFPartition* partition) {
  if (!partition || partition->m_IndexByteCount == 0) return 0;
  std::string bytes;
  // An index area beyond the end of the file is left out: the timing of the
  // material does not depend on it.
  if (!ReadBytesAt(partition->m_HeaderMetadataStart + partition->m_HeaderByteCount, partition->m_IndexByteCount, bytes))
    return 0;
  partition->ReadIndexSegments(bytes);
  return 0;
}

int CMXFDataReader::LoadHeaderMetadata(CMXFPartition& partition) {
  if (partition.m_bHeaderMetadataLoaded) return 0;
  if (partition.m_HeaderByteCount == 0 ||
      !ReadBytesAt(partition.m_HeaderMetadataStart, partition.m_HeaderByteCount, partition.m_HeaderMetadata))
    return 2;
  const auto* p = reinterpret_cast<const unsigned char*>(partition.m_HeaderMetadata.data());
  unsigned int left = static_cast<unsigned int>(partition.m_HeaderMetadata.size());
  if (left >= 17 && std::memcmp(p, kPrimerKey, 16) == 0) {
    p += 16;
    left -= 16;
    const long length = ReadKeyLength(p, left);
    if (length >= 0 && static_cast<unsigned long>(length) <= left)
      Oxl_Mxf::ReadPrimerPack(p, static_cast<unsigned int>(length), partition.m_LocalKeys);
  }
  partition.m_bHeaderMetadataLoaded = true;
  return 0;
}

CMXFPartition* CMXFDataReader::GetHeaderMetadataPartition() {
  for (const auto& partition : m_Partitions)
    if (partition->IsClosed() && partition->m_HeaderByteCount) return partition.get();
  return m_HeaderPartition.get();
}

int CMXFDataReader::ReadPackage(Oxl_Mxf::CMXFPackage& package, const unsigned char (&key)[16], bool second) {
  CMXFPartition* partition = GetHeaderMetadataPartition();
  const int result = LoadHeaderMetadata(*partition);
  if (result != 0) return result;
  const Oxl_Mxf::HeaderMetadata sets(partition->m_HeaderMetadata, partition->m_LocalKeys);
  const Oxl_Mxf::HeaderMetadata::Set* set = sets.FindKind(Oxl_Mxf::HeaderMetadata::KindOf(key), second ? 1 : 0);
  if (!set) return -16;
  sets.FillPackage(*set, package);
  return 0;
}

int CMXFDataReader::ReadPackages() {
  int result = ReadPackage(m_MaterialPackage, kMaterialPackageKey, false);
  if (result != 0) return result;
  Oxl_Mxf::CMXFPackage first;
  if ((result = ReadPackage(first, kSourcePackageKey, false)) != 0) return result;
  const bool second = ReadPackage(m_WorkPackage, kSourcePackageKey, true) == 0;
  m_FilePackage = second && m_WorkPackage.HasTracks() && m_WorkPackage.m_Tracks.size() >= first.m_Tracks.size()
                      ? m_WorkPackage
                      : first;
  return 0;
}

void CMXFDataReader::ChooseTiming() {
  const Oxl_Mxf::CMXFPackage* packages[] = {&m_MaterialPackage, &m_FilePackage};
  const Oxl_Mxf::CMXFSourceClip* timecode = nullptr;
  const Oxl_Mxf::CMXFPackage* pictureOwner = nullptr;
  size_t picture = 0;
  for (const Oxl_Mxf::CMXFPackage* package : packages) {
    for (size_t i = 0; i < package->m_Tracks.size(); ++i) {
      if (!timecode) timecode = package->m_Tracks[i].GetTimecode();
      if (!pictureOwner && package->m_Tracks[i].m_Kind == Oxl_Mxf::Track_Picture) {
        pictureOwner = package;
        picture = i;
      }
    }
  }
  if (timecode) {
    m_Start = timecode->m_StartTimecode;
    m_bDropFrame = timecode->m_bDropFrame;
    m_TimecodeSystem = TimecodeSystem(timecode->m_RoundedTimecodeBase, timecode->m_bDropFrame);
  }
  double rate = 0;
  if (pictureOwner) {
    const auto& tracks = pictureOwner->m_Tracks;
    rate = tracks[picture].m_EditRate;
    m_Duration = TrackDuration(tracks[picture]);
    for (size_t i = picture + 1; m_Duration == -1 && i < tracks.size(); ++i) m_Duration = TrackDuration(tracks[i]);
  } else {
    for (const Oxl_Mxf::CMXFTrack& track : m_MaterialPackage.m_Tracks) {
      if (track.m_EditRate > 0 && (rate == 0 || track.m_EditRate < rate)) rate = track.m_EditRate;
      if (m_Duration == -1 && track.m_Kind != Oxl_Mxf::Track_Timecode) m_Duration = TrackDuration(track);
    }
  }
  ComputeVideoSystem(rate);
}

void CMXFDataReader::ComputeVideoSystem(double trackRate) {
  if (!(trackRate >= 0.01) || trackRate > 1e6) return;
  const long code = static_cast<long>(trackRate * 100);
  m_EditRate = code / 100.0;
  m_VideoSystem = OxlTbx::VS_Invalid;
  m_FieldsPerFrame = 2;
  for (const RateSystem& row : kRateSystems) {
    if (row.code != code) continue;
    m_VideoSystem = row.system;
    m_FieldsPerFrame = row.fieldsPerFrame;
  }
  m_FieldRate = m_EditRate * m_FieldsPerFrame;
}

void CMXFDataReader::ConvertStartToVideoSystem() {
  if (m_TimecodeSystem == OxlTbx::VS_Invalid || m_VideoSystem == OxlTbx::VS_Invalid) return;
  if (m_TimecodeSystem == m_VideoSystem || m_Start < 0) return;
  const unsigned long fields = static_cast<unsigned long>(m_Start) * CTimeCode::GetFieldsPerFrame(m_TimecodeSystem);
  CTimeCode timecode(fields, m_TimecodeSystem);
  timecode.ConvertToSystem(m_VideoSystem);
  if (timecode.HasValue()) m_Start = static_cast<int64_t>(timecode.GetFields() / m_FieldsPerFrame);
}

void CMXFDataReader::ReadDescriptors() {
  CMXFPartition* partition = GetHeaderMetadataPartition();
  if (LoadHeaderMetadata(*partition) != 0) return;
  const Oxl_Mxf::HeaderMetadata sets(partition->m_HeaderMetadata, partition->m_LocalKeys);
  for (const auto& set : sets.GetSets()) {
    const uint8_t kind = Oxl_Mxf::HeaderMetadata::KindOf(set.key);
    std::string value(reinterpret_cast<const char*>(set.value), set.size);
    auto* bytes = reinterpret_cast<unsigned char*>(value.data());
    const std::string soundLabel(reinterpret_cast<const char*>(kSoundContainerLabel), 16);
    if (kind == Oxl_Mxf::Set_CDCIDescriptor || kind == Oxl_Mxf::Set_MPEGVideoDescriptor) {
      if (m_PictureDescriptor.empty()) m_PictureDescriptor = value;
      (void)FoundCDCIDescriptor(bytes, set.size);
    } else if (kind == Oxl_Mxf::Set_GenericSoundDescriptor || kind == Oxl_Mxf::Set_AES3Descriptor ||
               kind == Oxl_Mxf::Set_WaveDescriptor || (kind && value.find(soundLabel) != std::string::npos)) {
      (void)FoundSoundDescriptor(bytes, set.size);
    } else if (kind == 0x4A) {
      Oxl_Mxf::ForEachLocalItem(set.value, set.size, [&](const unsigned char* tag, const unsigned char* v, unsigned int n) {
        if (tag[0] == 0xFF && tag[1] == 0xF1 && n == 4) m_DescriptorEditByteCount = Read32(v);
      });
    }
  }
}

void CMXFDataReader::BuildDataClips() {
  const unsigned long fileSize = GetFileSize();
  for (size_t i = 0; i < m_Partitions.size(); ++i) {
    const auto& partition = m_Partitions[i];
    if (partition->m_BodySID == 0) continue;
    MXF_DATA_CLIP clip;
    clip.start = partition->GetEssenceStart();
    clip.end = i + 1 < m_Partitions.size() ? m_Partitions[i + 1]->m_KeyOffset
               : m_HeaderPartition->m_FooterPartition > clip.start ? m_HeaderPartition->m_FooterPartition
                                                                   : fileSize;
    clip.bodySID = partition->m_BodySID;
    clip.partition = partition;
    if (clip.end > clip.start) m_DataClips.push_back(clip);
  }
}

void CMXFDataReader::ComputeEditByteCount() {
  m_EditByteCount = 0;
  if (UseNewIndexMecanism()) {
    std::vector<CMXFPartition*> order{m_HeaderPartition.get()};
    if (m_CurrentClip < m_DataClips.size()) order.push_back(m_DataClips[m_CurrentClip].partition.get());
    for (const auto& partition : m_Partitions) order.push_back(partition.get());
    for (CMXFPartition* partition : order) {
      if (partition->m_IndexSegments.empty()) continue;
      m_EditByteCount = partition->m_IndexSegments.begin()->second.editUnitByteCount;
      break;
    }
  }
  if (m_EditByteCount == 0) m_EditByteCount = m_DescriptorEditByteCount;
}

int CMXFDataReader::GoToDataStart() {
  if (m_DataClips.empty()) return -1;
  m_CurrentClip = 0;
  return SetFileIndex(m_DataClips.front().start);
}

int CMXFDataReader::GoToDataEnd() {
  if (m_DataClips.empty()) return -1;
  m_CurrentClip = m_DataClips.size() - 1;
  return SetFileIndex(m_DataClips.back().end);
}

std::vector<std::shared_ptr<const qel::IMetadata>> CMXFDataReader::GetMetadataList() const { return m_MetadataList; }

CTimeCode CMXFDataReader::GetStartTimeCode() const {
  if (m_VideoSystem == OxlTbx::VS_Invalid || m_Start < 0) return CTimeCode::invalid;
  return CTimeCode(static_cast<unsigned long>(m_Start) * m_FieldsPerFrame, m_VideoSystem);
}

int CMXFDataReader::GetInOut(unsigned int* in, unsigned int* out, unsigned int* videoSystem) {
  if (!videoSystem) return 1;
  const double duration = m_Duration < 0 ? 0.0 : static_cast<double>(m_Duration);
  unsigned int first = 0, last = 0;
  if (m_VideoSystem != OxlTbx::VS_Invalid) {
    *videoSystem = m_VideoSystem;
    const double start = double(m_FieldsPerFrame) * double(m_Start);
    first = ClampToUInt(start);
    last = ClampToUInt(std::round(duration / m_EditRate / CTimeCode::GetFieldTime(m_VideoSystem) + start));
  } else {
    *videoSystem = 0xFFFFFFFF;
    first = ClampToUInt(double(m_Start) * 1000 / m_EditRate);
    last = ClampToUInt((double(m_Start) + duration) * 1000 / m_EditRate);
  }
  if (in) *in = first;
  if (out) *out = last;
  return 0;
}
