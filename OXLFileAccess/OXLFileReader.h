#pragma once
// The seek-and-read interface through which every byte of a media file is read.
//
// Result convention: 0 success; 1 an I/O failure; -1 not supported or not
// open; -2 a name buffer too small. The base class answers "not supported"
// for everything a transport does not provide.
#include <chrono>
#include <string>

namespace OxlFileReader {
// Seek origins.
enum MoveMethod : int { Begin = 0, Current = 1, End = 2 };
}  // namespace OxlFileReader

namespace localFileReader {
// The standard I/O origin (SEEK_SET, SEEK_CUR, SEEK_END) of a move method;
// unknown methods count from the start.
int ToWindowsMoveMethod(OxlFileReader::MoveMethod method);
}  // namespace localFileReader

class COXLFileReader {
 public:
  // Times one operation against a threshold. It only measures: no output.
  class CFileChrono {
   public:
    explicit CFileChrono(std::string logId = std::string());
    ~CFileChrono();
    // Re-arms with `label` (at most 126 characters kept) and `thresholdMs`.
    void Start(const char* label, int thresholdMs);
    void Stop();
    bool IsArmed() const { return m_ThresholdMs != -1; }
    const char* GetLabel() const { return m_Label; }
    int GetThresholdMs() const { return m_ThresholdMs; }
    // Milliseconds since Start.
    long ElapsedMs() const;

   private:
    char m_Label[127] = {};
    int m_ThresholdMs = -1;
    std::chrono::system_clock::time_point m_Start;
    std::string m_LogId;
  };

  explicit COXLFileReader(std::string logId) : m_LogId(std::move(logId)) {}
  COXLFileReader(const COXLFileReader&) = delete;
  COXLFileReader& operator=(const COXLFileReader&) = delete;
  virtual ~COXLFileReader() = default;

  virtual int OpenFile(const char* path, unsigned long flags);
  virtual int OpenFile(const wchar_t* path, unsigned long flags);
  virtual void CloseFile() {}
  virtual bool IsOpen() { return m_bOpen; }
  virtual bool IsFileEnd() { return true; }
  // Reads up to `count` bytes; `*read` receives the count read. A short read is
  // success; no byte at all is a failure.
  virtual int ReadFile(void* buffer, unsigned int count, unsigned int* read);
  // Absolute seek; a transport may adjust `offset` to where it really landed.
  virtual int SetFilePointer(unsigned long& offset);
  virtual unsigned long GetFilePointer() const = 0;
  virtual int MoveFilePointer(long delta);
  virtual bool SetReadFilePointer(long& offset, OxlFileReader::MoveMethod method);
  // All bits set when the size is unknown.
  virtual unsigned long GetFileSize();
  virtual int GetFileName(char* name, unsigned int size);
  virtual int GetFileName(wchar_t* name, unsigned int size);
  virtual void GetFileName(std::string& name);
  virtual void GetFileName(std::wstring& name);
  virtual std::string GetFileNameAnsi();
  virtual std::wstring GetFileName();
  virtual void SetParameter(const char* name, const char* value) {}
  virtual int GetParameter(const char* name, char* value, int size) { return -1; }

  const std::string& GetLogId() const { return m_LogId; }

 protected:
  std::string m_LogId;
  bool m_bOpen = false;
};
