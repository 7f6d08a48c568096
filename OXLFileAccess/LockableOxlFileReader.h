#pragma once
// Lets several readers share one file reader across threads: every operation
// forwards to the shared inner reader without locking; callers lock
// GetMutex() around each seek-and-read sequence.
#include <boost/thread/mutex.hpp>
#include <memory>

#include "OXLFileAccess/OXLFileReader.h"

class LockableOxlFileReader : public COXLFileReader {
 public:
  explicit LockableOxlFileReader(std::shared_ptr<COXLFileReader> inner);
  ~LockableOxlFileReader() override = default;

  boost::mutex* GetMutex() { return &m_Mutex; }
  const std::shared_ptr<COXLFileReader>& GetInner() const { return m_Inner; }

  int OpenFile(const char* path, unsigned long flags) override { return m_Inner->OpenFile(path, flags); }
  int OpenFile(const wchar_t* path, unsigned long flags) override { return m_Inner->OpenFile(path, flags); }
  void CloseFile() override { m_Inner->CloseFile(); }
  bool IsOpen() override { return m_Inner->IsOpen(); }
  bool IsFileEnd() override { return m_Inner->IsFileEnd(); }
  int ReadFile(void* buffer, unsigned int count, unsigned int* read) override {
    return m_Inner->ReadFile(buffer, count, read);
  }
  int SetFilePointer(unsigned long& offset) override { return m_Inner->SetFilePointer(offset); }
  unsigned long GetFilePointer() const override { return m_Inner->GetFilePointer(); }
  int MoveFilePointer(long delta) override { return m_Inner->MoveFilePointer(delta); }
  bool SetReadFilePointer(long& offset, OxlFileReader::MoveMethod method) override {
    return m_Inner->SetReadFilePointer(offset, method);
  }
  unsigned long GetFileSize() override { return m_Inner->GetFileSize(); }
  int GetFileName(char* name, unsigned int size) override { return m_Inner->GetFileName(name, size); }
  int GetFileName(wchar_t* name, unsigned int size) override { return m_Inner->GetFileName(name, size); }
  void GetFileName(std::string& name) override { m_Inner->GetFileName(name); }
  void GetFileName(std::wstring& name) override { m_Inner->GetFileName(name); }
  std::string GetFileNameAnsi() override { return m_Inner->GetFileNameAnsi(); }
  std::wstring GetFileName() override { return m_Inner->GetFileName(); }
  void SetParameter(const char* name, const char* value) override { m_Inner->SetParameter(name, value); }
  int GetParameter(const char* name, char* value, int size) override { return m_Inner->GetParameter(name, value, size); }

 private:
  std::shared_ptr<COXLFileReader> m_Inner;
  boost::mutex m_Mutex;  // boost::thread_resource_error when it cannot be created
};
