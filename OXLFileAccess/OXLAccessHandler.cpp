#include "OXLFileAccess/OXLAccessHandler.h"

#include <memory>

#include "OXLFileAccess/FileReaderFactory.h"
#include "OxlTbx/TextEncoding.h"

namespace OXLAccessHandler {

bool gbEnableTbxReader = false;
unsigned int gdwMinRead = 65536;
unsigned int gdwMaxRead = 2097152;

void EnableTbxReader(bool enable, unsigned int minRead, unsigned int maxRead) {
  gbEnableTbxReader = enable;
  if (!enable) return;
  gdwMinRead = minRead;
  gdwMaxRead = maxRead;
}

COXLFileReader* CreateFileReader(const wchar_t* path, unsigned long flags, std::string logId) {
  return CreateFileReader(path, gbEnableTbxReader, gdwMinRead, gdwMaxRead, flags, std::move(logId));
}

COXLFileReader* CreateFileReader(const wchar_t* path, bool, unsigned int, unsigned int, unsigned long flags,
                                 std::string logId) {
  auto parameters = std::make_shared<ReaderFactoryParameters>();
  parameters->SetLogId(std::move(logId));
  FileReaderFactory factory;
  factory.Configure(parameters);
  std::unique_ptr<COXLFileReader> reader(factory.Create(std::wstring(path ? path : L"")));
  if (!reader) return nullptr;
  if (reader->OpenFile(path ? path : L"", flags) != 0) return nullptr;
  return reader.release();
}

COXLFileReader* CreateFileReader(const char* path, unsigned long flags, std::string logId) {
  const std::wstring wide = TextEncoding::Unicode::get(path, 0);
  return CreateFileReader(wide.c_str(), flags, std::move(logId));
}

COXLFileReader* CreateFileReader(const char* path, bool useTbx, unsigned int minRead, unsigned int maxRead,
                                 unsigned long flags, std::string logId) {
  const std::wstring wide = TextEncoding::Unicode::get(path, 0);
  return CreateFileReader(wide.c_str(), useTbx, minRead, maxRead, flags, std::move(logId));
}

}  // namespace OXLAccessHandler
