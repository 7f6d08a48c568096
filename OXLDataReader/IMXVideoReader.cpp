// Frame access over constant-size edit units.
#include "OXLDataReader/IMXVideoReader.h"

#include <cmath>
#include <cstring>
#include <exception>

namespace {

// The window holds as many whole edit units as fit in this.
const unsigned int kWindowBytes = 0x200000;
const unsigned int kKeySize = 16;
// Picture element keys: 06 0E 2B 34 01 02 01 01 0D 01 03 01, then the item
// type: 05 MPEG (D-10), 15 generic picture (MPEG, AVC), 18 DV.
const unsigned char kPicturePrefix[12] = {0x06, 0x0E, 0x2B, 0x34, 0x01, 0x02, 0x01, 0x01, 0x0D, 0x01, 0x03, 0x01};

bool IsPictureKey(const unsigned char* key) {
  return std::memcmp(key, kPicturePrefix, sizeof kPicturePrefix) == 0 &&
         (key[12] == 0x05 || key[12] == 0x15 || key[12] == 0x18);
}

}  // namespace

CIMXVideoReader::CIMXVideoReader(std::string context) : CIMXDataReader(std::move(context), OXLDataReader::Video_Data) {}

// The thread may be reading from the file reader: it ends before the data
// reader's destructor deletes that reader.
CIMXVideoReader::~CIMXVideoReader() { StopPreloader(); }

void CIMXVideoReader::StopPreloader() {
  StopReadAhead();
  CVideoPreloader::Close();
  m_bPreloaderRunning = false;
}

int CIMXVideoReader::Close() {
  StopPreloader();
  return CIMXDataReader::Close();
}

int CIMXVideoReader::UseFileReader(COXLFileReader* fileReader) {
  StopPreloader();
  return CIMXDataReader::UseFileReader(fileReader);
}

int CIMXVideoReader::FoundCDCIDescriptor(unsigned char* value, unsigned int size) {
  m_DescriptorCopy.assign(value, value + size);
  return 0;
}

int CIMXVideoReader::Initialize(bool flag) {
  StopPreloader();
  m_DescriptorCopy.clear();
  m_dwPictureOffset = 0;
  m_Info = OXLDataReader::VIDEO_INFO{};
  m_bInfoKnown = false;
  int result = CIMXDataReader::Initialize(flag);
  if (result != 0) return result;
  // The window is sized by the edit unit: not before the file holds one.
  const unsigned long fileSize = GetFileSize();
  if (fileSize != ~0UL && m_qwEssenceStart + m_EditByteCount > fileSize) return 100;
  unsigned int bufferSize = kWindowBytes - kWindowBytes % m_EditByteCount;
  if (bufferSize < m_EditByteCount) bufferSize = m_EditByteCount;
  if (SetBufferSize(bufferSize) != 0) return -1;
  if (m_bReadAhead) {
    if (CVideoPreloader::Initialize(m_EditByteCount, COXLDataReader::m_pFileReader, bufferSize) != 0) return -1;
    m_bPreloaderRunning = true;
  }
  if (!BufferEditUnit()) return 100;
  FindPictureElement();
  if (m_DescriptorCopy.empty() ||
      !GetCDCIVideoInfo(m_DescriptorCopy.data(), static_cast<unsigned int>(m_DescriptorCopy.size()), m_Info))
    return -1;
  m_bInfoKnown = true;
  if (MetadataAnalysisIsRequired(m_Info.VideoType)) (void)AnalyzeMetadata(m_Info.VideoType);
  if (BitstreamAnalysisIsRequired(m_Info.VideoType)) return AnalyseBitstream(m_Info.VideoType);
  return 0;
}

// The picture element of the first edit unit (in the window at the cursor):
// where a delta entry of the header's first index segment points, else met
// walking the edit unit's KLVs.
bool CIMXVideoReader::FindPictureElement() {
  const unsigned char* unit = m_pCurrent;
  const unsigned int size = m_EditByteCount;
  if (m_HeaderPartition && !m_HeaderPartition->m_IndexSegments.empty()) {
    for (const auto& delta : m_HeaderPartition->m_IndexSegments.begin()->second.deltaEntries) {
      if (delta.elementDelta > size - kKeySize || !IsPictureKey(unit + delta.elementDelta)) continue;
      m_dwPictureOffset = delta.elementDelta;
      return true;
    }
  }
  const unsigned char* p = unit;
  unsigned int left = size;
  while (left >= kKeySize + 1) {
    if (IsPictureKey(p)) {
      m_dwPictureOffset = static_cast<unsigned int>(p - unit);
      return true;
    }
    p += kKeySize;
    left -= kKeySize;
    const long length = ReadKeyLength(p, left);
    if (length < 0 || static_cast<unsigned long>(length) > left) break;
    p += length;
    left -= static_cast<unsigned int>(length);
  }
  m_dwPictureOffset = 0;
  return false;
}

bool CIMXVideoReader::GetVideoInfo(OXLDataReader::VIDEO_INFO& info) {
  if (!m_bInfoKnown) return false;
  info = m_Info;
  return true;
}

int CIMXVideoReader::FindNextData() {
  if (!COXLDataReader::m_pFileReader || m_EditByteCount == 0) return -1;
  const uint64_t at = CurrentFileOffset();
  if (at + m_EditByteCount > GetClipEnd()) {
    if (!m_bGrowing) return 100;
    FollowGrowth();
    if (at + m_EditByteCount > GetClipEnd()) return 100;
  }
  if (m_dwAvailableBytes >= m_EditByteCount) return 0;
  return RefillForward() ? 0 : 100;
}

int CIMXVideoReader::FindPrevData() {
  if (!COXLDataReader::m_pFileReader || m_EditByteCount == 0) return -1;
  const uint64_t at = CurrentFileOffset();
  if (at < m_qwEssenceStart + m_EditByteCount) return 100;
  const uint64_t target = at - m_EditByteCount;
  // The cursor never passes the window's end, so a target in the window has its whole unit there.
  if (InWindow(target)) return SetFileIndex(target) == 0 ? 0 : 1;
  // The window moves back to end with the target edit unit.
  StopReadAhead();
  const uint64_t span = COXLDataReader::m_dwBufferSize - m_EditByteCount;
  const uint64_t start = target > m_qwEssenceStart + span ? target - span : m_qwEssenceStart;
  if (ReloadAt(start) != 0 || SetFileIndex(target) != 0 || m_dwAvailableBytes < m_EditByteCount) return 1;
  return 0;
}

int CIMXVideoReader::DeliverPicture(unsigned char*& data, unsigned int capacity, unsigned int* size, double* time) {
  const unsigned char* picture = nullptr;
  unsigned int length = 0;
  const int result = LocatePicture(m_pCurrent, m_dwPictureOffset, picture, length);
  if (result != 0) return result;
  if (size) *size = length;
  if (data) {
    if (length > capacity) return 101;
    std::memcpy(data, picture, length);
  } else {
    data = const_cast<unsigned char*>(picture);
  }
  if (time) *time = TimeOf(CurrentFileOffset());
  return 0;
}

int CIMXVideoReader::GetNextData(unsigned char*& data, unsigned int capacity, unsigned int* size, double* time) {
  try {
    int result = FindNextData();
    if (result == 0) result = DeliverPicture(data, capacity, size, time);
    if (result == 0) (void)SkipBytes(m_EditByteCount);
    return result;
  } catch (const std::exception&) {
    return -1;
  }
}

int CIMXVideoReader::GetPrevData(unsigned char*& data, unsigned int capacity, unsigned int* size, double* time) {
  try {
    const int result = FindPrevData();
    return result != 0 ? result : DeliverPicture(data, capacity, size, time);
  } catch (const std::exception&) {
    return -1;
  }
}

int CIMXVideoReader::SkipNextData() {
  try {
    return FindNextData() == 0 && SkipBytes(m_EditByteCount) == 0 ? 0 : -1;
  } catch (const std::exception&) {
    return -1;
  }
}

int CIMXVideoReader::SkipPrevData() {
  try {
    return FindPrevData() == 0 ? 0 : -1;
  } catch (const std::exception&) {
    return -1;
  }
}

int CIMXVideoReader::GoToFieldOffset(unsigned int field, unsigned int* reached) {
  try {
    if (!COXLDataReader::m_pFileReader || m_EditByteCount == 0) return -1;
    StopReadAhead();
    const uint64_t frame = m_FieldsPerFrame == 2 ? field / 2 : field;
    if (static_cast<int64_t>(frame) > m_Duration) {
      if (!m_bGrowing) return 1;
      FollowGrowth();
      if (static_cast<int64_t>(frame) > m_Duration) return 100;
    }
    const uint64_t target = m_qwEssenceStart + frame * m_EditByteCount;
    m_bAfterJump = !InWindow(target);
    if (SetFileIndex(target) != 0) return 1;
    if (reached) *reached = static_cast<unsigned int>(frame * (m_FieldsPerFrame == 2 ? 2 : 1));
    return 0;
  } catch (const std::exception&) {
    return -1;
  }
}

int CIMXVideoReader::GoToDataStart() {
  StopReadAhead();
  m_bAfterJump = true;
  return CIMXDataReader::GoToDataStart();
}

int CIMXVideoReader::GoToDataEnd() {
  StopReadAhead();
  m_bAfterJump = true;
  return CIMXDataReader::GoToDataEnd();
}

int CIMXVideoReader::GetSampleInfos(unsigned int* fieldRate, unsigned int* editBytes, unsigned char* aspect) {
  if (fieldRate) *fieldRate = static_cast<unsigned int>(std::lround(m_FieldRate));
  if (editBytes) *editBytes = m_EditByteCount;
  if (!aspect) return 0;
  bool found = false;
  const unsigned char* p = m_DescriptorCopy.data();
  size_t left = m_DescriptorCopy.size();
  while (left >= 4 && !found) {
    const unsigned int length = Read16(p + 2);
    if (length + 4u > left) break;
    if (p[0] == 0x32 && p[1] == 0x0E && length >= 8) {
      found = true;
      const unsigned char num = p[7], den = p[11];
      if (num == 4 && den == 3) *aspect = 2;
      else if (num == 16 && den == 9) *aspect = 3;
    }
    p += length + 4;
    left -= length + 4;
  }
  if (!found) *aspect = 0;
  return 0;
}
