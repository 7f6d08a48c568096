#include "OXLDataReader/VideoPreloader.h"

#include <cstdlib>

#include "OXLFileAccess/OXLFileReader.h"

CVideoPreloader::CVideoPreloader()
    : m_pBuffer(nullptr),
      m_dwLoaded(0),
      m_hStartEvent(nullptr),
      m_hDoneEvent(nullptr),
      m_dwGranularity(0),
      m_dwBufferSize(0),
      m_pFileReader(nullptr) {}

CVideoPreloader::~CVideoPreloader() { CVideoPreloader::Close(); }

int CVideoPreloader::Initialize(unsigned int granularity, COXLFileReader* fileReader, unsigned int bufferSize) {
  CVideoPreloader::Close();
  if (!fileReader || bufferSize == 0) return -1;
  void* buffer = nullptr;
  if (posix_memalign(&buffer, 1024, bufferSize) != 0) return -1;
  m_pBuffer = static_cast<unsigned char*>(buffer);
  m_dwLoaded = 0;
  m_dwGranularity = granularity;
  m_dwBufferSize = bufferSize;
  m_pFileReader = fileReader;
  m_hDoneEvent = neosmart::CreateNeoEvent(true, false);
  m_hStartEvent = neosmart::CreateNeoEvent(false, false);
  if (!m_hDoneEvent || !m_hStartEvent) {
    DestroyEvents();
    FreeBuffer();
    return -1;
  }
  try {
    m_Thread = boost::thread(&CVideoPreloader::VideoPreloaderThread, this);
  } catch (const boost::thread_resource_error&) {
    DestroyEvents();
    FreeBuffer();
    return -1;
  }
  return 0;
}

bool CVideoPreloader::RequestPreload() {
  if (!m_Thread.joinable()) return false;
  return neosmart::SetNeoEvent(m_hStartEvent) == 0;
}

bool CVideoPreloader::WaitPreloadThread() {
  if (!m_hStartEvent || !m_hDoneEvent) return false;
  {
    // The thread resets the start event and sets the done event under m_Mutex,
    // so these two looks cannot fall between the two.
    boost::lock_guard<boost::recursive_mutex> lock(m_Mutex);
    if (!neosmart::IsNeoEventSet(m_hStartEvent)) return neosmart::WaitForNeoEvent(m_hDoneEvent, 0) == 0;
  }
  return neosmart::WaitForNeoEvent(m_hDoneEvent, kPreloadWaitMs) == 0;
}

int CVideoPreloader::Close() {
  if (m_Thread.joinable()) {
    WaitPreloadThread();
    FreeBuffer();
    // Wakes the thread, which finds no buffer and ends.
    neosmart::SetNeoEvent(m_hStartEvent);
    m_Thread.join();
    DestroyEvents();
  }
  FreeBuffer();
  m_pFileReader = nullptr;
  return 0;
}

void CVideoPreloader::VideoPreloaderThread(void* preloader) {
  CVideoPreloader* self = static_cast<CVideoPreloader*>(preloader);
  while (self->RunPass()) {
  }
}

bool CVideoPreloader::RunPass() {
  if (neosmart::WaitForNeoEvent(m_hStartEvent, kPreloadWaitMs) != 0) return false;
  const bool canRead = m_pBuffer && m_pFileReader;
  if (canRead) ReadNextStretch();
  boost::lock_guard<boost::recursive_mutex> lock(m_Mutex);
  neosmart::ResetNeoEvent(m_hStartEvent);
  neosmart::SetNeoEvent(m_hDoneEvent);
  return canRead;
}

unsigned int CVideoPreloader::NextReadLength() const {
  if (m_dwLoaded == 0) return m_dwBufferSize;
  if (m_dwLoaded >= m_dwBufferSize) return 0;
  const unsigned int room = m_dwBufferSize - m_dwLoaded;
  if (m_dwGranularity == 0) return room;
  return room - room % m_dwGranularity;
}

void CVideoPreloader::ReadNextStretch() {
  const unsigned int length = NextReadLength();
  if (length == 0) return;
  unsigned int read = 0;
  try {
    if (m_pFileReader->ReadFile(m_pBuffer + m_dwLoaded, length, &read) != 0) return;
  } catch (...) {
    return;  // an exception must not end the process from this thread: the pass just fails
  }
  m_dwLoaded += read < length ? read : length;
}

void CVideoPreloader::FreeBuffer() {
  free(m_pBuffer);
  m_pBuffer = nullptr;
  m_dwLoaded = 0;
}

void CVideoPreloader::DestroyEvents() {
  neosmart::DestroyNeoEvent(m_hStartEvent);
  neosmart::DestroyNeoEvent(m_hDoneEvent);
  m_hStartEvent = nullptr;
  m_hDoneEvent = nullptr;
}
