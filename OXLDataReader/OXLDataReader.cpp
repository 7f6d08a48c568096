#include "OXLDataReader/OXLDataReader.h"

#include <cstdlib>
#include <cstring>
#include <new>

#include "OXLFileAccess/OXLAccessHandler.h"
#include "OxlTbx/TextEncoding.h"
#include "qelCore/ImplementElement.h"

unsigned int COXLDataReader::gdwDefaultFeatures = 0x12000000;

namespace {
const int kNotSupported = -1;

// Windows are 1024-byte aligned; null when memory cannot be had.
unsigned char* AllocateWindow(unsigned int size) {
  void* p = nullptr;
  if (posix_memalign(&p, 1024, size ? size : 1) != 0) return nullptr;
  return static_cast<unsigned char*>(p);
}
}  // namespace

bool OXLDataReader::IsIntraCodec(const VideoDataType& type) {
  const unsigned int t = type;
  if (t >= 1 && t <= 11) return true;
  if (t == 14 || t == 15 || t == 29) return true;
  if (t >= 17 && t <= 21) return true;
  if (t >= 23 && t <= 27) return true;
  return t >= 31 && t <= 41;
}

COXLDataReader::COXLDataReader(OXLDataReader::DataType type, unsigned int bufferSize, std::string logId)
    : m_LogId(std::move(logId)),
      m_dwBufferSize(bufferSize),
      m_dwFeatures(gdwDefaultFeatures),
      m_Configuration(qel::CreateParametersCollectionInstance(qel::CreateParametersCollectionPrototype())),
      m_DataType(type) {
  if (bufferSize != 0) {
    m_pBuffer = AllocateWindow(bufferSize);
    if (!m_pBuffer) throw std::bad_alloc();
  }
  m_pCurrent = m_pBuffer;
  try {
    m_Recycler = qel::ImplementElement<qel::ElementFactoryType_Recycler>("qel", "Recycler", nullptr);
  } catch (...) {
    std::free(m_pBuffer);
    throw;
  }
}

COXLDataReader::~COXLDataReader() {
  COXLDataReader::Close();
  std::free(m_pBuffer);
}

void COXLDataReader::DeleteFileReader() {
  delete m_pFileReader;
  AttachFileReader(nullptr);
}

void COXLDataReader::AttachFileReader(COXLFileReader* fileReader) {
  m_pFileReader = fileReader;
  m_qwDirectReadEnd = kUnknownPosition;
}

int COXLDataReader::Open(const char* path, bool flag) {
  const std::wstring wide = TextEncoding::Unicode::get(path, 0);
  return Open(wide.c_str(), flag);
}

int COXLDataReader::Open(const wchar_t* path, bool flag) {
  DeleteFileReader();
  AttachFileReader(OXLAccessHandler::CreateFileReader(path, 0, m_LogId));
  if (!m_pFileReader) return 1;
  m_qwBufferFileOffset = 0;
  return Initialize(flag);
}

int COXLDataReader::Open(COXLFileReader* fileReader, bool flag) {
  if (fileReader != m_pFileReader) DeleteFileReader();
  AttachFileReader(fileReader);
  m_qwBufferFileOffset = 0;
  return Initialize(flag);
}

int COXLDataReader::Open(bool flag) { return Initialize(flag); }

int COXLDataReader::UseFileReader(COXLFileReader* fileReader) {
  AttachFileReader(fileReader);
  m_qwBufferFileOffset = 0;
  if (!fileReader) return 0;
  return Initialize(false);
}

int COXLDataReader::Close() {
  if (!m_pFileReader) return kNotSupported;
  DeleteFileReader();
  return 0;
}

void COXLDataReader::EmptyWindow() {
  m_dwBufferDataSize = 0;
  m_dwAvailableBytes = 0;
  m_pCurrent = m_pBuffer;
  m_qwDirectReadEnd = kUnknownPosition;
}

int COXLDataReader::ReadBeyondWindow(unsigned char* target, unsigned int count, unsigned int& read) {
  read = 0;
  if (!m_pFileReader) return kNotSupported;
  if (m_pFileReader->ReadFile(target, count, &read) != 0 || read == 0) return 1;
  m_qwBufferFileOffset += m_dwBufferDataSize + read;
  EmptyWindow();
  m_qwDirectReadEnd = m_qwBufferFileOffset;
  return 0;
}

bool COXLDataReader::IsAtDirectReadEnd(unsigned long offset) const {
  return m_pFileReader && m_dwBufferDataSize == 0 && offset == m_qwBufferFileOffset && offset == m_qwDirectReadEnd;
}

void COXLDataReader::InvalidateBufferData() { EmptyWindow(); }

int COXLDataReader::SetBufferSize(unsigned int size) {
  unsigned char* window = AllocateWindow(size);
  if (!window) return kNotSupported;
  m_qwBufferFileOffset += m_dwBufferDataSize - m_dwAvailableBytes;
  if (m_dwAvailableBytes > size) {
    if (m_pFileReader) (void)m_pFileReader->MoveFilePointer(-static_cast<long>(m_dwAvailableBytes - size));
    m_dwAvailableBytes = size;
  }
  if (m_dwAvailableBytes) std::memcpy(window, m_pCurrent, m_dwAvailableBytes);
  std::free(m_pBuffer);
  m_dwBufferSize = size;
  m_pBuffer = m_pCurrent = window;
  m_dwBufferDataSize = m_dwAvailableBytes;
  return 0;
}

int COXLDataReader::LoadData() { return LoadData(m_dwBufferSize); }

int COXLDataReader::LoadData(unsigned int maxBytes) {
  if (!m_pFileReader) return kNotSupported;
  if (m_dwAvailableBytes && m_dwAvailableBytes >= m_dwBufferSize) return 1;
  if (m_dwAvailableBytes && m_pCurrent != m_pBuffer) std::memmove(m_pBuffer, m_pCurrent, m_dwAvailableBytes);
  m_qwBufferFileOffset += m_dwBufferDataSize - m_dwAvailableBytes;
  m_pCurrent = m_pBuffer;
  m_dwBufferDataSize = m_dwAvailableBytes;
  unsigned int read = 0;
  const unsigned int room = m_dwBufferSize - m_dwAvailableBytes;
  if (m_pFileReader->ReadFile(m_pBuffer + m_dwAvailableBytes, room < maxBytes ? room : maxBytes, &read) != 0)
    return 1;
  m_dwAvailableBytes += read;
  m_dwBufferDataSize = m_dwAvailableBytes;
  return 0;
}

bool COXLDataReader::InsureAvailableBytes(unsigned int count) {
  if (m_dwAvailableBytes >= count) return true;
  (void)LoadData();
  return m_dwAvailableBytes >= count;
}

int COXLDataReader::SkipBytes(unsigned int count) {
  if (!m_pFileReader) return kNotSupported;
  if (count <= m_dwAvailableBytes) {
    m_pCurrent += count;
    m_dwAvailableBytes -= count;
    return 0;
  }
  const unsigned int beyond = count - m_dwAvailableBytes;
  if (m_pFileReader->MoveFilePointer(static_cast<long>(beyond)) != 0) return 1;
  m_qwBufferFileOffset += m_dwBufferDataSize + beyond;
  EmptyWindow();
  return 0;
}

int COXLDataReader::SetFileIndex(unsigned long offset) {
  if (!m_pFileReader) return kNotSupported;
  if (offset >= m_qwBufferFileOffset && offset < m_qwBufferFileOffset + m_dwBufferDataSize) {
    m_pCurrent = m_pBuffer + (offset - m_qwBufferFileOffset);
    m_dwAvailableBytes = static_cast<unsigned int>(m_qwBufferFileOffset + m_dwBufferDataSize - offset);
    return 0;
  }
  const int result = m_pFileReader->SetFilePointer(offset);
  m_qwBufferFileOffset = offset;
  EmptyWindow();
  OnFileIndexMoved();
  return result;
}

// When the file ends before `offset`, the cursor is left at the end of the
// loaded data with nothing available and 1 is returned.
int COXLDataReader::SetFileIndexBack(unsigned long offset, unsigned int bytes) {
  if (!m_pFileReader) return kNotSupported;
  if (offset >= m_qwBufferFileOffset && offset < m_qwBufferFileOffset + m_dwBufferDataSize) {
    m_pCurrent = m_pBuffer + (offset - m_qwBufferFileOffset);
    m_dwAvailableBytes = static_cast<unsigned int>(m_qwBufferFileOffset + m_dwBufferDataSize - offset);
    return 0;
  }
  const unsigned int keep = bytes < m_dwBufferSize ? bytes : m_dwBufferSize;
  const unsigned long before = m_dwBufferSize - keep;
  unsigned long start = offset > before ? offset - before : 0;
  (void)m_pFileReader->SetFilePointer(start);
  m_qwBufferFileOffset = start;
  EmptyWindow();
  const int result = LoadData();
  if (result != 0) return result;
  const unsigned long into = offset - start;
  if (into > m_dwBufferDataSize) {
    m_pCurrent = m_pBuffer + m_dwBufferDataSize;
    m_dwAvailableBytes = 0;
    return 1;
  }
  m_pCurrent = m_pBuffer + into;
  m_dwAvailableBytes = m_dwBufferDataSize - static_cast<unsigned int>(into);
  return 0;
}

bool COXLDataReader::IsFileEnd() { return false; }
bool COXLDataReader::IsFileOpen() { return m_pFileReader && m_pFileReader->IsOpen(); }
int COXLDataReader::GetDataStreams(int*, int) { return kNotSupported; }
int COXLDataReader::GetAudioInfos(std::vector<MediaTool::AudioStream<const char*>>&) { return kNotSupported; }
int COXLDataReader::SelectDataStream(int) { return kNotSupported; }
int COXLDataReader::GetDataDescriptor(unsigned char*&) { return 0; }
int COXLDataReader::GetDataDescriptorXML(unsigned char*&, unsigned int&) { return 0; }
std::vector<std::shared_ptr<const qel::IMetadata>> COXLDataReader::GetMetadataList() const { return {}; }
bool COXLDataReader::GetVideoInfo(OXLDataReader::VIDEO_INFO&) { return false; }
int COXLDataReader::GetNextData(unsigned char*&, unsigned int, unsigned int*, double*) { return kNotSupported; }
int COXLDataReader::GetPrevData(unsigned char*&, unsigned int, unsigned int*, double*) { return kNotSupported; }
int COXLDataReader::SkipNextData() { return kNotSupported; }
int COXLDataReader::SkipPrevData() { return kNotSupported; }
int COXLDataReader::GoToFieldOffset(unsigned int, unsigned int*) { return kNotSupported; }
int COXLDataReader::GoToTimeOffset(double&) { return kNotSupported; }
int COXLDataReader::GetInOut(unsigned int*, unsigned int*, unsigned int*) { return kNotSupported; }
qel::MediaTime COXLDataReader::GetAudioPrimingDuration() { return qel::MediaTime(qel::EditRate(1, 1), 0); }
int COXLDataReader::GetSampleInfos(unsigned int*, unsigned int*, unsigned char*) { return kNotSupported; }
int COXLDataReader::GoToDataStart() { return kNotSupported; }
int COXLDataReader::GoToDataEnd() { return kNotSupported; }
int COXLDataReader::Initialize(bool) { return kNotSupported; }

unsigned int COXLDataReader::GetAudioSampleRate() {
  std::vector<MediaTool::AudioStream<const char*>> infos;
  if (GetAudioInfos(infos) == kNotSupported || infos.empty()) return 48000;
  return infos.front().SampleRate;
}
