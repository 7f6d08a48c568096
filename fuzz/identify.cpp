// Identification and the reader factory on arbitrary bytes. Identification
// works on paths, so the input is written to a file in /dev/shm and named
// with each extension that changes the testers' order; the factory then
// builds readers for what was found (and for the types that wrap the
// QuickTime reader) over the bytes in memory, and opens a file it
// identifies itself through a file reader factory of memory readers.
#include <cstdio>
#include <string>
#include <vector>

#include "OXLDataReader/OXLDataReaderFactory.h"
#include "qelCore/QELRuntimeError.h"
#include "support/FuzzSupport.h"
#include "support/MemoryFileReader.h"

namespace {

class MemoryFactory : public IFileReaderFactory {
 public:
  MemoryFactory(const uint8_t* data, size_t size) : m_Data(data), m_Size(size) {}
  std::shared_ptr<COXLFileReader> CreateFileReader() override { return nullptr; }
  COXLFileReader* Create(const std::string&) override { return new MemoryFileReader(m_Data, m_Size); }
  COXLFileReader* Create(const std::wstring&) override { return new MemoryFileReader(m_Data, m_Size); }

 private:
  const uint8_t* m_Data;
  size_t m_Size;
};

void Read(const std::shared_ptr<COXLDataReader>& reader) {
  if (!reader) return;
  std::vector<unsigned char> buffer(1u << 20);
  for (int i = 0; i < 8; ++i) {
    unsigned char* data = buffer.data();
    unsigned int size = 0;
    double time = 0;
    if (reader->GetNextData(data, buffer.size(), &size, &time) != 0) break;
  }
  reader->GoToDataEnd();
  unsigned char* data = buffer.data();
  unsigned int size = 0;
  double time = 0;
  reader->GetPrevData(data, buffer.size(), &size, &time);
}

void Build(const uint8_t* data, size_t size, qel::FileType type, OXLDataReader::VideoDataType video,
           OXLDataReader::DataType dataType) {
  MemoryFileReader file(data, size);
  OXLDataReader::ErrorCode error{};
  std::shared_ptr<COXLDataReader> reader;
  // The factory lets the framework's runtime error through (refused types, a formatter without a mode).
  OXL_FUZZ_ALLOW(qel::QELRuntimeError, "CreateDataReader on a file reader", {
    reader = OXLDataReader::CreateDataReader(&file, type, video, dataType, "fuzz", &error);
    Read(reader);
  });
  if (reader) reader->UseFileReader(nullptr);  // the file stays ours
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  oxlfuzz::SilenceLogging();
  const char* extensions[] = {".mov", ".MXF", ".mp4", ""};
  std::string path = oxlfuzz::WriteInputFile(data, size, std::string("clip") + extensions[0]);
  const std::string base = path.substr(0, path.size() - 4);
  qel::FileType found = qel::Unknown_File;
  OXLDataReader::VideoDataType video = OXLDataReader::Unknown_Video;
  for (const char* ext : extensions) {
    const std::string next = base + ext;
    if (next != path && std::rename(path.c_str(), next.c_str()) != 0) std::abort();
    path = next;
    std::shared_ptr<COXLDataReader> context;
    OXLDataReader::VideoDataType type = OXLDataReader::Unknown_Video;
    OXL_FUZZ_ALLOW(qel::QELRuntimeError, "GetFileType", {
      const qel::FileType t = OXLDataReader::GetFileType(&type, path.c_str(), context);
      if (t != qel::Unknown_File) found = t, video = type;
      Read(context);
    });
  }
  if (found != qel::Unknown_File) {
    Build(data, size, found, video, OXLDataReader::Video_Data);
    Build(data, size, found, video, OXLDataReader::Audio_Data);
  }
  Build(data, size, qel::QTAVCI_File, video, OXLDataReader::Video_Data);
  Build(data, size, qel::QTIMX_File, video, OXLDataReader::Video_Data);
  OXL_FUZZ_ALLOW(qel::QELRuntimeError, "CreateDataReader on a path", {
    OXLDataReader::ErrorCode error{};
    Read(OXLDataReader::CreateDataReader(path.c_str(), qel::Unknown_File, OXLDataReader::Unknown_Video,
                                         OXLDataReader::Video_Data, "fuzz", &error,
                                         std::make_shared<MemoryFactory>(data, size)));
  });
  std::remove(path.c_str());
  return 0;
}
