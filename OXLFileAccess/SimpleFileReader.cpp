#include "OXLFileAccess/SimpleFileReader.h"

#include <sys/stat.h>

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

int SimpleFileReader::ReadFile(void* buffer, unsigned int count, unsigned int* read) {
  if (!m_pFile) return -1;
  Stopwatch watch(m_LogId, "Read File");
  const size_t n = std::fread(buffer, 1, count, m_pFile);
  if (read) *read = static_cast<unsigned int>(n);
  if (n == 0) {
    m_bOpen = false;
    return 1;
  }
  m_qwPosition += n;
  return 0;
}

int SimpleFileReader::Seek(long offset, int origin) {
  if (!m_pFile) return -1;
  Stopwatch watch(m_LogId, "Set File Pointer");
  m_bOpen = std::fseek(m_pFile, offset, origin) == 0;
  return m_bOpen ? 0 : 1;
}

int SimpleFileReader::SetFilePointer(unsigned long& offset) {
  const int result = Seek(static_cast<long>(offset), SEEK_SET);
  if (result == 0) m_qwPosition = offset;
  return result;
}

unsigned long SimpleFileReader::GetFilePointer() const {
  if (!m_pFile) return ~0UL;
  return static_cast<unsigned long>(std::ftell(m_pFile));
}

int SimpleFileReader::MoveFilePointer(long delta) {
  const int result = Seek(delta, SEEK_CUR);
  if (result == 0) m_qwPosition += static_cast<unsigned long>(delta);
  return result;
}

bool SimpleFileReader::SetReadFilePointer(long& offset, OxlFileReader::MoveMethod method) {
  if (Seek(offset, localFileReader::ToWindowsMoveMethod(method)) != 0) return false;
  if (method == OxlFileReader::Begin) {
    m_qwPosition = static_cast<unsigned long>(offset);
    return true;
  }
  if (method == OxlFileReader::Current) {
    m_qwPosition += static_cast<unsigned long>(offset);
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
