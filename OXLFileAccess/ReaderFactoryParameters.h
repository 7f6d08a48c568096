#pragma once
// Settings of a file reader factory. Only local files have a transport here;
// the TBX, FTP and caching settings are carried for hosts that configure them.
#include <string>

class ReaderFactoryParameters {
 public:
  void SetUseCaching(bool use) { m_bUseCaching = use; }
  bool GetUseCaching() const { return m_bUseCaching; }
  void SetUseTbxReader(bool use) { m_bUseTbxReader = use; }
  bool GetUseTbxReader() const { return m_bUseTbxReader; }
  void SetTbxReaderMinReadSize(unsigned long size) { m_qwTbxMinReadSize = size; }
  unsigned long GetTbxMinReadSize() const { return m_qwTbxMinReadSize; }
  void SetTbxReaderMaxReadSize(unsigned long size) { m_qwTbxMaxReadSize = size; }
  unsigned long GetTbxMaxReadSize() const { return m_qwTbxMaxReadSize; }
  void SetTbxReader(bool use, unsigned long minRead, unsigned long maxRead) {
    m_bUseTbxReader = use;
    m_qwTbxMinReadSize = minRead;
    m_qwTbxMaxReadSize = maxRead;
  }
  unsigned long GetFtpReadSize() const { return m_qwFtpReadSize; }
  void SetLogId(std::string logId) { m_LogId = std::move(logId); }
  std::string GetLogId() const { return m_LogId; }

 private:
  bool m_bUseCaching = false;
  bool m_bUseTbxReader = false;
  unsigned long m_qwTbxMinReadSize = 65536;
  unsigned long m_qwTbxMaxReadSize = 2097152;
  unsigned long m_qwFtpReadSize = 2097152;
  std::string m_LogId;
};
