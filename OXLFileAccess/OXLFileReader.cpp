#include "OXLFileAccess/OXLFileReader.h"

#include <cstdio>
#include <cstring>
#include <vector>

#include "OxlTbx/TextEncoding.h"

int localFileReader::ToWindowsMoveMethod(OxlFileReader::MoveMethod method) {
  if (method == OxlFileReader::Current) return SEEK_CUR;
  if (method == OxlFileReader::End) return SEEK_END;
  return SEEK_SET;
}

COXLFileReader::CFileChrono::CFileChrono(std::string logId) : m_LogId(std::move(logId)) {}

COXLFileReader::CFileChrono::~CFileChrono() {
  if (IsArmed()) Stop();
}

void COXLFileReader::CFileChrono::Start(const char* label, int thresholdMs) {
  std::strncpy(m_Label, label ? label : "", sizeof m_Label - 1);
  m_Label[sizeof m_Label - 1] = '\0';
  m_ThresholdMs = thresholdMs;
  m_Start = std::chrono::system_clock::now();
}

void COXLFileReader::CFileChrono::Stop() { m_ThresholdMs = -1; }

long COXLFileReader::CFileChrono::ElapsedMs() const {
  return static_cast<long>(
      std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::system_clock::now() - m_Start).count());
}

int COXLFileReader::OpenFile(const char* path, unsigned long flags) {
  const std::wstring wide = TextEncoding::Unicode::get(path, 0);
  return OpenFile(wide.c_str(), flags);
}

int COXLFileReader::OpenFile(const wchar_t*, unsigned long) { return -1; }
int COXLFileReader::ReadFile(void*, unsigned int, unsigned int*) { return -1; }
int COXLFileReader::SetFilePointer(unsigned long&) { return -1; }
int COXLFileReader::MoveFilePointer(long) { return -1; }

bool COXLFileReader::SetReadFilePointer(long& offset, OxlFileReader::MoveMethod method) {
  if (method == OxlFileReader::Begin) {
    unsigned long target = static_cast<unsigned long>(offset);
    return SetFilePointer(target) == 0;
  }
  if (method == OxlFileReader::Current) return MoveFilePointer(offset) == 0;
  unsigned long size = GetFileSize();
  if (SetFilePointer(size) != 0) return false;
  offset = static_cast<long>(size);
  return true;
}

unsigned long COXLFileReader::GetFileSize() { return ~0UL; }

int COXLFileReader::GetFileName(char* name, unsigned int size) {
  std::vector<wchar_t> wide(size ? size : 1, L'\0');
  const int result = GetFileName(wide.data(), size);
  if (result < 0) return result;
  const std::string narrow = TextEncoding::Ansi::get(wide.data(), 0);
  if (size == 0 || size - 1 < narrow.size()) return -1;
  std::memcpy(name, narrow.c_str(), narrow.size() + 1);
  return 0;
}

int COXLFileReader::GetFileName(wchar_t*, unsigned int) { return -1; }

void COXLFileReader::GetFileName(std::string& name) {
  std::wstring wide;
  GetFileName(wide);
  name = TextEncoding::Ansi::get(wide, 0);
}

void COXLFileReader::GetFileName(std::wstring&) {}

std::string COXLFileReader::GetFileNameAnsi() { return TextEncoding::Ansi::get(GetFileName(), 0); }

std::wstring COXLFileReader::GetFileName() {
  std::wstring name;
  GetFileName(name);
  return name;
}
