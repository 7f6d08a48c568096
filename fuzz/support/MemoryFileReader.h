#pragma once
// A file reader over bytes in memory, so that fuzz inputs reach the readers
// without touching the disk. It behaves like the local file reader: seeking
// past the end succeeds, a read there gives nothing and fails, a short read
// succeeds.
#include <string>
#include <vector>

#include "OXLFileAccess/OXLFileReader.h"

class MemoryFileReader : public COXLFileReader {
 public:
  // Copies the bytes; `name` is what GetFileName reports (readers log it and
  // derive referenced paths from it).
  MemoryFileReader(const unsigned char* data, size_t size, std::wstring name = L"/fuzz/input.mov");

  using COXLFileReader::GetFileName;
  using COXLFileReader::OpenFile;

  // The bytes are the file whatever the path: a factory that opens what it
  // made gets this reader at its start.
  int OpenFile(const wchar_t*, unsigned long) override {
    m_Position = 0;
    return 0;
  }

  bool IsFileEnd() override { return m_Position >= m_Bytes.size(); }
  int ReadFile(void* buffer, unsigned int count, unsigned int* read) override;
  int SetFilePointer(unsigned long& offset) override;
  unsigned long GetFilePointer() const override { return m_Position; }
  int MoveFilePointer(long delta) override;
  bool SetReadFilePointer(long& offset, OxlFileReader::MoveMethod method) override;
  unsigned long GetFileSize() override { return m_Bytes.size(); }
  int GetFileName(wchar_t* name, unsigned int size) override;
  void GetFileName(std::wstring& name) override { name = m_Name; }
  std::wstring GetFileName() override { return m_Name; }

 private:
  std::vector<unsigned char> m_Bytes;
  std::wstring m_Name;
  unsigned long m_Position = 0;
};
