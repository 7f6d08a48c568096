#include "OXLFileAccess/FileReaderFactory.h"

#include <cwctype>

#include "OXLFileAccess/SimpleFileReader.h"
#include "OxlTbx/TextEncoding.h"

FileReaderFactory::FileReaderFactory() : m_Parameters(std::make_shared<ReaderFactoryParameters>()) {}

void FileReaderFactory::Configure(std::shared_ptr<ReaderFactoryParameters> parameters) {
  if (parameters) m_Parameters = std::move(parameters);
}

std::shared_ptr<COXLFileReader> FileReaderFactory::CreateFileReader() { return nullptr; }

COXLFileReader* FileReaderFactory::Create(const std::string& path) {
  return Create(TextEncoding::Unicode::get(path, 0));
}

COXLFileReader* FileReaderFactory::Create(const std::wstring& path) {
  if (GetFileReaderType(path) != 0) return nullptr;
  return new SimpleFileReader();
}

int FileReaderFactory::GetFileReaderType(const std::string& path) const {
  return GetFileReaderType(TextEncoding::Unicode::get(path, 0));
}

int FileReaderFactory::GetFileReaderType(const std::wstring& path) const {
  if (m_Parameters->GetUseCaching()) return 3;
  std::wstring prefix = path.substr(0, 4);
  for (wchar_t& c : prefix) c = static_cast<wchar_t>(std::towlower(static_cast<wint_t>(c)));
  if (prefix == L"ftp:") return 2;
  return m_Parameters->GetUseTbxReader() ? 1 : 0;
}
