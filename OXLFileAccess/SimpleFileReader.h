#pragma once
// A local file opened through the C standard I/O library by the UTF-8 form
// of its wide path, read at a position of its own (pread).
#include <cstdio>
#include <string>

#include "OXLFileAccess/OXLFileReader.h"

class SimpleFileReader : public COXLFileReader {
 public:
  SimpleFileReader();
  ~SimpleFileReader() override;

  using COXLFileReader::GetFileName;
  using COXLFileReader::OpenFile;

  // Refuses directories and other non-regular files (1), so that a directory
  // given as a media file fails at open rather than at the first read.
  int OpenFile(const wchar_t* path, unsigned long flags) override;
  void CloseFile() override;
  bool IsFileEnd() override;
  int ReadFile(void* buffer, unsigned int count, unsigned int* read) override;
  int SetFilePointer(unsigned long& offset) override;
  unsigned long GetFilePointer() const override;
  int MoveFilePointer(long delta) override;
  // The end origin moves and returns false, leaving `offset` as it was.
  bool SetReadFilePointer(long& offset, OxlFileReader::MoveMethod method) override;
  unsigned long GetFileSize() override;
  int GetFileName(wchar_t* name, unsigned int size) override;
  void GetFileName(std::wstring& name) override;

 private:
  int Seek(long offset, int origin);

  unsigned long m_qwPosition = 0;
  FILE* m_pFile = nullptr;
  std::wstring m_FileName;
};
