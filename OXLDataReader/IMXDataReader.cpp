// Constant-size edit units over the MXF reader: essence start, edit-unit
// size, duration of a growing file.
#include "OXLDataReader/IMXDataReader.h"

#include <cmath>
#include <cstring>

namespace {

const unsigned int kKeySize = 16;
const unsigned char kPartitionPrefix[13] = {0x06, 0x0E, 0x2B, 0x34, 0x02, 0x05, 0x01, 0x01, 0x0D, 0x01, 0x02, 0x01, 0x01};
// Essence element keys: 06 0E 2B 34 01 02 01 01 0D 01 03 (SMPTE 379).
const unsigned char kElementPrefix[11] = {0x06, 0x0E, 0x2B, 0x34, 0x01, 0x02, 0x01, 0x01, 0x0D, 0x01, 0x03};
const uint64_t kFourGiB = 0xFFFFFFFFull;

bool IsPartitionPack(const unsigned char* key) {
  return std::memcmp(key, kPartitionPrefix, sizeof kPartitionPrefix) == 0 && key[13] >= 2 && key[13] <= 4;
}

}  // namespace

CIMXDataReader::CIMXDataReader(std::string context, OXLDataReader::DataType type)
    : CMXFDataReader(type, 16384, std::move(context)) {}

int CIMXDataReader::Initialize(bool flag) {
  m_bGrowing = m_bEssenceKeyKnown = false;
  m_qwEssenceStart = 6144;
  int result = CMXFDataReader::Initialize(flag);
  if (result != 0) return result;
  EnsureDataClip();
  if (m_DataClips.empty()) return 100;
  const unsigned long size = GetFileSize();
  const uint64_t footer = m_DataClips[m_CurrentClip].partition->m_FooterPartition;
  // A file beyond 4 GiB whose clip ends at a footer offset that fits in 32
  // bits carries a truncated offset: its essence runs to the end.
  if ((size == ~0UL || size > kFourGiB) && footer && GetClipEnd() == footer && footer <= kFourGiB) SetClipEnd(size - 512);
  m_qwEssenceStart = m_DataClips.front().start;
  if (m_EditByteCount == 0) m_EditByteCount = EditUnitFromIndexEntries();
  if (m_EditByteCount == 0 && (result = MeasureEditUnit()) != 0) return result;
  if (m_EditByteCount > kMaxEditUnitBytes) return 110;
  const int64_t whole = ComputeDuration();
  if (m_Duration <= 0 || m_Duration != whole) {
    m_bGrowing = true;
    m_Duration = 0;
    FollowGrowth();
  }
  return SetFileIndex(m_qwEssenceStart) == 0 ? 0 : 1;
}

// A file whose writer has only put down its header partition has no
// essence range yet: it starts after the header's metadata and index areas.
void CIMXDataReader::EnsureDataClip() {
  if (!m_DataClips.empty() || !m_HeaderPartition || m_HeaderPartition->m_BodySID == 0) return;
  MXF_DATA_CLIP clip;
  clip.start = clip.end = m_HeaderPartition->GetEssenceStart();
  clip.bodySID = m_HeaderPartition->m_BodySID;
  clip.partition = m_HeaderPartition;
  m_DataClips.push_back(clip);
  m_CurrentClip = 0;
}

unsigned int CIMXDataReader::EditUnitFromIndexEntries() const {
  for (const auto& partition : m_Partitions) {
    if (partition->m_IndexSegments.empty()) continue;
    const auto& entries = partition->m_IndexSegments.begin()->second.indexEntries;
    if (entries.size() < 2) continue;
    const uint64_t first = entries[0].streamOffset, second = entries[1].streamOffset;
    // Entries out of order or far apart belong to no constant-size essence.
    if (second <= first || second - first > kMaxEditUnitBytes) return 0;
    return static_cast<unsigned int>(second - first);
  }
  return 0;
}

// The distance from the first essence key to its next occurrence, walking
// whole KLVs.
int CIMXDataReader::MeasureEditUnit() {
  if (SetFileIndex(m_qwEssenceStart) != 0) return 123;
  unsigned char first[kKeySize], key[kKeySize];
  long length = 0;
  if (!ReadMXFKey(first, &length, nullptr) || length < 0 || SkipLong(static_cast<uint64_t>(length)) != 0) return 123;
  for (;;) {
    const uint64_t at = CurrentFileOffset();
    if (at - m_qwEssenceStart > kMaxEditUnitBytes) return 110;
    if (!InsureAvailableBytes(kKeySize)) return 123;
    if (std::memcmp(m_pCurrent, first, kKeySize) == 0) {
      m_EditByteCount = static_cast<unsigned int>(at - m_qwEssenceStart);
      return SetFileIndex(m_qwEssenceStart) == 0 ? 0 : 123;
    }
    if (!ReadMXFKey(key, &length, nullptr) || length < 0 || SkipLong(static_cast<uint64_t>(length)) != 0) return 123;
  }
}

uint64_t CIMXDataReader::GetClipEnd() const {
  return m_CurrentClip < m_DataClips.size() ? m_DataClips[m_CurrentClip].end : m_qwEssenceStart;
}

void CIMXDataReader::SetClipEnd(uint64_t end) {
  if (m_CurrentClip < m_DataClips.size()) m_DataClips[m_CurrentClip].end = end;
}

uint64_t CIMXDataReader::EssenceEnd() {
  const unsigned long size = GetFileSize();
  const uint64_t footer = m_HeaderPartition ? m_HeaderPartition->m_FooterPartition : 0;
  if (size == ~0UL || (footer && footer <= size)) return GetClipEnd();
  return size;
}

int64_t CIMXDataReader::ComputeDuration() {
  if (m_EditByteCount == 0) return 0;
  const uint64_t end = EssenceEnd();
  return end > m_qwEssenceStart ? static_cast<int64_t>((end - m_qwEssenceStart) / m_EditByteCount) : 0;
}

bool CIMXDataReader::ReadRawKey(uint64_t offset, unsigned char* key) {
  if (!m_pFileReader) return false;
  unsigned long at = offset;
  unsigned int read = 0;
  const bool ok = m_pFileReader->SetFilePointer(at) == 0 && at == offset &&
                  m_pFileReader->ReadFile(key, kKeySize, &read) == 0 && read == kKeySize;
  unsigned long back = WindowEnd();
  (void)m_pFileReader->SetFilePointer(back);
  return ok;
}

bool CIMXDataReader::PartitionPackAt(uint64_t offset) {
  unsigned char key[kKeySize];
  return ReadRawKey(offset, key) && IsPartitionPack(key);
}

// The first edit unit's key is learnt once the file holds it.
bool CIMXDataReader::EssenceAt(int64_t unit) {
  unsigned char key[kKeySize];
  if (!m_bEssenceKeyKnown) {
    if (!ReadRawKey(m_qwEssenceStart, key) || IsPartitionPack(key)) return false;
    std::memcpy(m_EssenceKey, key, kKeySize);
    m_bEssenceKeyKnown = true;
  }
  return ReadRawKey(m_qwEssenceStart + static_cast<uint64_t>(unit) * m_EditByteCount, key) &&
         std::memcmp(key, m_EssenceKey, kKeySize) == 0;
}

// Whole edit units counted from the file size may include the start of a
// footer (with its index table, possibly larger than an edit unit): the
// essence ends at the first edit-unit position that does not start with the
// essence's first key, found by halving.
void CIMXDataReader::FollowGrowth() {
  if (!m_bGrowing || m_EditByteCount == 0) return;
  StopReadAhead();
  const int64_t known = m_Duration < 0 ? 0 : m_Duration;
  int64_t whole = ComputeDuration();
  if (whole > known && !EssenceAt(whole - 1)) {
    int64_t low = known, high = whole - 1;  // units below `low` are essence, `high` is not
    while (low < high) {
      const int64_t middle = low + (high - low) / 2;
      if (EssenceAt(middle)) low = middle + 1;
      else high = middle;
    }
    whole = low;
  }
  if (whole < known) whole = known;
  m_Duration = whole;
  const uint64_t end = m_qwEssenceStart + static_cast<uint64_t>(whole) * m_EditByteCount;
  SetClipEnd(end);
  if (PartitionPackAt(end)) {
    // The footer is written: the file has stopped growing.
    m_bGrowing = false;
    if (m_HeaderPartition) m_HeaderPartition->m_FooterPartition = end;
  }
}

bool CIMXDataReader::BufferEditUnit(bool justOne) {
  if (m_dwAvailableBytes >= m_EditByteCount) return true;
  const int loaded = justOne ? LoadData(m_EditByteCount - m_dwAvailableBytes) : LoadData();
  if (loaded == 0 && m_dwAvailableBytes >= m_EditByteCount) return true;
  // A short read at the end of a file leaves the stream at its end; a seek
  // lets a file that has grown since be read on.
  (void)ReloadAt(CurrentFileOffset());
  return m_dwAvailableBytes >= m_EditByteCount;
}

int CIMXDataReader::ReloadAt(uint64_t offset) {
  InvalidateBufferData();
  const int result = SetFileIndex(offset);
  return result != 0 ? result : LoadData();
}

bool CIMXDataReader::AppendToWindow(const unsigned char* bytes, unsigned int count) {
  if (count > m_dwBufferSize - m_dwAvailableBytes) return false;
  if (m_dwAvailableBytes && m_pCurrent != m_pBuffer) std::memmove(m_pBuffer, m_pCurrent, m_dwAvailableBytes);
  m_qwBufferFileOffset += m_dwBufferDataSize - m_dwAvailableBytes;
  std::memcpy(m_pBuffer + m_dwAvailableBytes, bytes, count);
  m_pCurrent = m_pBuffer;
  m_dwAvailableBytes += count;
  m_dwBufferDataSize = m_dwAvailableBytes;
  return true;
}

int CIMXDataReader::LocatePicture(const unsigned char* unit, unsigned int pictureOffset, const unsigned char*& picture,
                                  unsigned int& size) const {
  if (pictureOffset > m_EditByteCount - kKeySize - 1 || m_EditByteCount < kKeySize + 1) return 111;
  if (std::memcmp(unit + pictureOffset, kElementPrefix, sizeof kElementPrefix) != 0) return 111;
  const unsigned char* p = unit + pictureOffset + kKeySize;
  unsigned int left = m_EditByteCount - pictureOffset - kKeySize;
  const long length = ReadKeyLength(p, left);
  if (length < 0 || static_cast<unsigned long>(length) > left) return 110;
  picture = p;
  size = static_cast<unsigned int>(length);
  return 0;
}

double CIMXDataReader::TimeOf(uint64_t offset) const {
  if (m_EditByteCount == 0 || m_FieldRate <= 0 || offset < m_qwEssenceStart) return 0;
  return double(m_FieldsPerFrame) * double(offset - m_qwEssenceStart) / (double(m_EditByteCount) * m_FieldRate);
}

int CIMXDataReader::GoToTimeOffset(double& seconds) {
  if (!(seconds > 0)) seconds = 0;
  const double fields = std::round(seconds * m_FieldRate);
  unsigned int field = fields >= 4294967295.0 ? 0xFFFFFFFEu : static_cast<unsigned int>(fields);
  // Two fields per frame: the field that starts a frame.
  if (m_FieldsPerFrame == 2) field &= ~1u;
  seconds = m_FieldRate > 0 ? field / m_FieldRate : 0;
  return GoToFieldOffset(field, nullptr);
}

int CIMXDataReader::GetInOut(unsigned int* in, unsigned int* out, unsigned int* videoSystem) {
  if (!videoSystem) return 1;
  if (m_bGrowing) FollowGrowth();
  if (m_VideoSystem == OxlTbx::VS_Invalid) return CMXFDataReader::GetInOut(in, out, videoSystem);
  *videoSystem = m_VideoSystem;
  const uint64_t start = m_Start < 0 ? 0 : static_cast<uint64_t>(m_Start);
  const uint64_t duration = m_Duration < 0 ? 0 : static_cast<uint64_t>(m_Duration);
  if (in) *in = static_cast<unsigned int>(start * m_FieldsPerFrame);
  if (out) *out = static_cast<unsigned int>((duration + start) * m_FieldsPerFrame);
  return 0;
}

int CIMXDataReader::GoToDataStart() {
  if (m_DataClips.empty()) return -1;
  StopReadAhead();
  m_CurrentClip = 0;
  return SetFileIndex(m_qwEssenceStart);
}

// The end is after the last whole edit unit, so that reading backwards from
// it meets edit-unit boundaries.
int CIMXDataReader::GoToDataEnd() {
  if (m_DataClips.empty()) return -1;
  StopReadAhead();
  m_CurrentClip = 0;
  if (m_bGrowing) FollowGrowth();
  const uint64_t duration = m_Duration < 0 ? 0 : static_cast<uint64_t>(m_Duration);
  return SetFileIndex(m_qwEssenceStart + duration * m_EditByteCount);
}
