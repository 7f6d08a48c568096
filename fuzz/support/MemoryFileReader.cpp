#include "MemoryFileReader.h"

#include <cstring>
#include <cwchar>

MemoryFileReader::MemoryFileReader(const unsigned char* data, size_t size, std::wstring name)
    : COXLFileReader("fuzz"), m_Bytes(data, data + size), m_Name(std::move(name)) {
  m_bOpen = true;
}

int MemoryFileReader::ReadFile(void* buffer, unsigned int count, unsigned int* read) {
  const size_t left = m_Position < m_Bytes.size() ? m_Bytes.size() - m_Position : 0;
  const size_t n = count < left ? count : left;
  if (read) *read = static_cast<unsigned int>(n);
  if (n == 0) return 1;
  std::memcpy(buffer, m_Bytes.data() + m_Position, n);
  m_Position += n;
  return 0;
}

int MemoryFileReader::SetFilePointer(unsigned long& offset) {
  // fseek refuses offsets that do not fit a long.
  if (static_cast<long>(offset) < 0) return 1;
  m_Position = offset;
  return 0;
}

int MemoryFileReader::MoveFilePointer(long delta) {
  long target = 0;
  if (__builtin_add_overflow(static_cast<long>(m_Position), delta, &target) || target < 0) return 1;
  m_Position = static_cast<unsigned long>(target);
  return 0;
}

bool MemoryFileReader::SetReadFilePointer(long& offset, OxlFileReader::MoveMethod method) {
  long base = 0;
  if (method == OxlFileReader::Current) base = static_cast<long>(m_Position);
  if (method == OxlFileReader::End) base = static_cast<long>(m_Bytes.size());
  long target = 0;
  if (__builtin_add_overflow(base, offset, &target) || target < 0) return false;
  m_Position = static_cast<unsigned long>(target);
  offset = static_cast<long>(m_Position);
  return true;
}

int MemoryFileReader::GetFileName(wchar_t* name, unsigned int size) {
  if (size == 0 || size - 1 < m_Name.size()) return -2;
  std::wmemcpy(name, m_Name.c_str(), m_Name.size() + 1);
  return static_cast<int>(m_Name.size());
}
