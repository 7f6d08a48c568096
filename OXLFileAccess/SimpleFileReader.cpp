#include "OXLFileAccess/SimpleFileReader.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cwchar>

#include "OXLFileAccess/OXLAccessHandler.h"
#include "OxlTbx/TextEncoding.h"

unsigned int OXLAccessHandler::gLocalFileMaxMs = 400;

namespace {
struct Stopwatch : COXLFileReader::CFileChrono {
  Stopwatch(const std::string& logId, const char* label) : CFileChrono(logId) {
    Start(label, static_cast<int>(OXLAccessHandler::gLocalFileMaxMs));
  }
};
}  // namespace

SimpleFileReader::SimpleFileReader() : COXLFileReader(std::string()) {}

SimpleFileReader::~SimpleFileReader() { CloseFile(); }

int SimpleFileReader::OpenFile(const wchar_t* path, unsigned long) {
  CloseFile();
  m_FileName = path ? path : L"";
  const std::string utf8 = TextEncoding::UTF8::get(m_FileName);
  struct stat st {};
  if (utf8.empty() || stat(utf8.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return 1;
  m_pFile = std::fopen(utf8.c_str(), "rb");
  if (!m_pFile) return 1;
  // Readers buffer through their own window; a second buffer in stdio would
  // only split large reads in two and copy the tail twice.
  std::setvbuf(m_pFile, nullptr, _IONBF, 0);
  m_bOpen = true;
  m_qwPosition = 0;
  return 0;
}

void SimpleFileReader::CloseFile() {
  m_bOpen = false;
  if (!m_pFile) return;
  std::fclose(m_pFile);
  m_pFile = nullptr;
}

bool SimpleFileReader::IsFileEnd() {
  return static_cast<long>(m_qwPosition) >= static_cast<long>(GetFileSize());
}

// Reads at the tracked position (pread): a move costs no call into the
// system, so a jump and its read are one call, not two.
int SimpleFileReader::ReadFile(void* buffer, unsigned int count, unsigned int* read) {
  if (!m_pFile) return -1;
  Stopwatch watch(m_LogId, "Read File");
  const int fd = fileno(m_pFile);
  size_t n = 0;
  while (n < count) {
    const ssize_t got = pread(fd, static_cast<char*>(buffer) + n, count - n, static_cast<off_t>(m_qwPosition + n));
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) break;
    n += static_cast<size_t>(got);
  }
  if (read) *read = static_cast<unsigned int>(n);
  if (n == 0) {
    m_bOpen = false;
    return 1;
  }
  m_qwPosition += n;
  return 0;
}

// Moves the tracked position; a position before the file's start fails and,
// as a failed seek did, marks the file unreadable until the next good move.
int SimpleFileReader::Seek(long offset, int origin) {
  if (!m_pFile) return -1;
  long base = 0;
  if (origin == SEEK_CUR) base = static_cast<long>(m_qwPosition);
  if (origin == SEEK_END) base = static_cast<long>(GetFileSize());
  const long target = base + offset;
  m_bOpen = target >= 0;
  if (!m_bOpen) return 1;
  m_qwPosition = static_cast<unsigned long>(target);
  return 0;
}

int SimpleFileReader::SetFilePointer(unsigned long& offset) { return Seek(static_cast<long>(offset), SEEK_SET); }

unsigned long SimpleFileReader::GetFilePointer() const { return m_pFile ? m_qwPosition : ~0UL; }

int SimpleFileReader::MoveFilePointer(long delta) { return Seek(delta, SEEK_CUR); }

bool SimpleFileReader::SetReadFilePointer(long& offset, OxlFileReader::MoveMethod method) {
  if (Seek(offset, localFileReader::ToWindowsMoveMethod(method)) != 0) return false;
  if (method == OxlFileReader::Begin) return true;
  if (method == OxlFileReader::Current) {
    offset = static_cast<long>(m_qwPosition);
    return true;
  }
  return false;
}

unsigned long SimpleFileReader::GetFileSize() {
  if (!m_pFile) return ~0UL;
  struct stat st {};
  if (stat(TextEncoding::UTF8::get(m_FileName).c_str(), &st) != 0) return 0;
  return static_cast<unsigned long>(st.st_size);
}

int SimpleFileReader::GetFileName(wchar_t* name, unsigned int size) {
  if (size == 0 || size - 1 < m_FileName.size()) return -2;
  std::wmemcpy(name, m_FileName.c_str(), m_FileName.size() + 1);
  return static_cast<int>(m_FileName.size());
}

void SimpleFileReader::GetFileName(std::wstring& name) { name = m_FileName; }
