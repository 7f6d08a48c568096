#pragma once
// Makes file readers for paths. Kinds: 0 local file, 1 TBX, 2 FTP, 3 caching;
// only local files have a transport, the other kinds yield no reader.
#include <memory>
#include <string>

#include "OXLFileAccess/OXLFileReader.h"
#include "OXLFileAccess/ReaderFactoryParameters.h"

class IFileReaderFactory {
 public:
  virtual ~IFileReaderFactory() = default;
  virtual std::shared_ptr<COXLFileReader> CreateFileReader() = 0;
  // A new reader, not yet opened and owned by the caller, or null.
  virtual COXLFileReader* Create(const std::string& path) = 0;
  virtual COXLFileReader* Create(const std::wstring& path) = 0;
};

class FileReaderFactory : public IFileReaderFactory {
 public:
  FileReaderFactory();
  // Replaces the settings; a null pointer keeps the current ones.
  void Configure(std::shared_ptr<ReaderFactoryParameters> parameters);
  const std::shared_ptr<ReaderFactoryParameters>& GetParameters() const { return m_Parameters; }

  // Always empty: readers are made per path.
  std::shared_ptr<COXLFileReader> CreateFileReader() override;
  COXLFileReader* Create(const std::string& path) override;
  COXLFileReader* Create(const std::wstring& path) override;

  int GetFileReaderType(const std::string& path) const;
  int GetFileReaderType(const std::wstring& path) const;

 private:
  std::shared_ptr<ReaderFactoryParameters> m_Parameters;
};
