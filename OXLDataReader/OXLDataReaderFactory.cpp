#include "OXLDataReader/OXLDataReaderFactory.h"

#include <algorithm>
#include <cwctype>

#include "OXLDataReader/AvcIntraFormaterDataReader.h"
#include "OXLDataReader/OXLMediaIdentifier.h"
#include "OXLDataReader/QTDatareader.h"
#include "OXLDataReader/QTIMXDatareader.h"
#include "OXLFileAccess/OXLAccessHandler.h"
#include "OxlTbx/TextEncoding.h"
#include "qelCore/Check.h"

namespace OXLDataReader {
namespace {

const char* kRefused = "Not implemented on Linux or Mac OS X";

std::wstring Wide(const char* utf8) { return TextEncoding::Unicode::get8(utf8); }

bool In(unsigned int value, std::initializer_list<unsigned int> values) {
  return std::find(values.begin(), values.end(), value) != values.end();
}

void SetBit(unsigned int bit, bool on) {
  COXLDataReader::gdwDefaultFeatures = on ? (COXLDataReader::gdwDefaultFeatures | bit)
                                          : (COXLDataReader::gdwDefaultFeatures & ~bit);
}

DATA_READER_MEDIA Request(std::wstring path, qel::FileType fileType, VideoDataType videoType) {
  DATA_READER_MEDIA media;
  media.path = std::move(path);
  media.fileType = fileType;
  media.videoDataType = videoType;
  media.features = COXLDataReader::gdwDefaultFeatures;
  media.error = FileTypeUnknown;
  return media;
}

// The file reader of a request, opened on its path; null when there is none.
COXLFileReader* OpenFileReader(const DATA_READER_MEDIA& media, const std::string& context,
                               const std::shared_ptr<IFileReaderFactory>& factory) {
  if (!factory) return OXLAccessHandler::CreateFileReader(media.path.c_str(), 0, context);
  std::unique_ptr<COXLFileReader> file(factory->Create(media.path));
  if (!file || file->OpenFile(media.path.c_str(), 0) != 0) return nullptr;
  return file.release();
}

}  // namespace

void EnableSuperMotion(bool enable) { SetBit(0x10000000, enable); }
void ForceLegacyTC(bool force) { SetBit(0x01000000, force); }

bool IsDiskFilePath(const wchar_t* path) {
  if (!path || std::wcslen(path) < 3) return false;
  if (path[0] == L'\\' && path[1] == L'\\') return true;
  const bool letter = (path[0] >= L'a' && path[0] <= L'z') || (path[0] >= L'A' && path[0] <= L'Z');
  return letter && path[1] == L':' && path[2] == L'\\';
}

bool IsRyPath(const wchar_t* path) { return path && std::wcsncmp(path, L"RY:\\\\", 5) == 0; }
bool IsRyPath(const char* path) { return path && IsRyPath(Wide(path).c_str()); }

bool IsHttpTsPath(const wchar_t* path) {
  if (!path) return false;
  std::wstring lower(path);
  std::transform(lower.begin(), lower.end(), lower.begin(), [](wchar_t c) { return wchar_t(std::towlower(c)); });
  return lower.size() > 9 && lower.compare(0, 7, L"http://") == 0 && lower.compare(lower.size() - 3, 3, L".ts") == 0;
}
bool IsHttpTsPath(const char* path) { return path && IsHttpTsPath(Wide(path).c_str()); }

bool IsDots(const wchar_t* path) { return path && (std::wcscmp(path, L".") == 0 || std::wcscmp(path, L"..") == 0); }

qel::FileType GetFileType(VideoDataType* videoType, const wchar_t* path, std::shared_ptr<COXLDataReader>& reader) {
  OXLMediaIdentifier identifier(false);
  identifier.SetFilePath(path);
  qel::FileType fileType = qel::Unknown_File;
  VideoDataType found = Unknown_Video;
  if (identifier.GetFileFormat(fileType, found) != 0) return qel::Unknown_File;
  if (videoType) *videoType = found;
  auto context = std::dynamic_pointer_cast<DataReaderContextReader>(identifier.GetContextReader());
  if (context) reader = context->GetReader();
  return fileType;
}

qel::FileType GetFileType(VideoDataType* videoType, const char* path, std::shared_ptr<COXLDataReader>& reader) {
  return GetFileType(videoType, Wide(path).c_str(), reader);
}

qel::FileType GetFileType(const wchar_t* path, VideoDataType* videoType, std::shared_ptr<COXLDataReader> reader,
                          std::string) {
  VideoDataType local = Unknown_Video;
  VideoDataType* out = videoType ? videoType : &local;
  if (!path) {
    *out = Unknown_Video;
    return qel::Unknown_File;
  }
  if (IsRyPath(path)) QEL_FAIL(kRefused);
  if (IsHttpTsPath(path)) {
    *out = Unknown_Video;
    return qel::TS_File;
  }
  return GetFileType(out, path, reader);
}

qel::FileType GetFileType(const char* path, VideoDataType* videoType, std::shared_ptr<COXLDataReader> reader,
                          std::string context) {
  if (!path) return GetFileType(static_cast<const wchar_t*>(nullptr), videoType, reader, context);
  return GetFileType(Wide(path).c_str(), videoType, std::move(reader), std::move(context));
}

std::shared_ptr<COXLDataReader> CreateDataReader(DATA_READER_MEDIA& media, DataType dataType, std::string context,
                                                 std::shared_ptr<IFileReaderFactory> factory) {
  if (media.fileType == qel::Unknown_File) {
    media.fileType = GetFileType(media.path.c_str(), &media.videoDataType, nullptr, context);
    if (media.fileType == qel::Unknown_File) {
      media.error = FileTypeUnknown;
      return nullptr;
    }
  }
  if (media.fileType == qel::RY_Link || media.fileType == qel::RY_XmlLink)
    return CreateRYGwDataReader(media, dataType, context);
  std::unique_ptr<COXLFileReader> file(OpenFileReader(media, context, factory));
  if (!file) return nullptr;
  auto reader = CreateFileDataReader(media, dataType, file.get(), context);
  if (!reader) return nullptr;
  reader->SetFeaturesFlags(media.features);
  if (reader->Open(file.release(), true) != 0) {
    media.error = OpenFailed;
    return nullptr;
  }
  media.error = ReaderOpened;
  return reader;
}

std::shared_ptr<COXLDataReader> CreateDataReader(const wchar_t* path, qel::FileType fileType, VideoDataType videoType,
                                                 DataType dataType, std::string context, ErrorCode* error,
                                                 std::shared_ptr<IFileReaderFactory> factory) {
  DATA_READER_MEDIA media = Request(path ? path : L"", fileType, videoType);
  auto reader = CreateDataReader(media, dataType, std::move(context), std::move(factory));
  if (error) *error = media.error;
  return reader;
}

std::shared_ptr<COXLDataReader> CreateDataReader(const char* path, qel::FileType fileType, VideoDataType videoType,
                                                 DataType dataType, std::string context, ErrorCode* error,
                                                 std::shared_ptr<IFileReaderFactory> factory) {
  return CreateDataReader(Wide(path ? path : "").c_str(), fileType, videoType, dataType, std::move(context), error,
                          std::move(factory));
}

std::shared_ptr<COXLDataReader> CreateDataReader(COXLFileReader* file, qel::FileType fileType, VideoDataType videoType,
                                                 DataType dataType, std::string context, ErrorCode* error) {
  if (!file) return nullptr;
  const std::wstring name = file->GetFileName();
  if (In(fileType, {qel::RY_Link, qel::RY_XmlLink, qel::RY_Ftp}))
    return CreateDataReader(name.c_str(), fileType, videoType, dataType, std::move(context), error, nullptr);
  DATA_READER_MEDIA media = Request(name, fileType, videoType);
  unsigned long start = 0;
  file->SetFilePointer(start);
  auto reader = CreateFileDataReader(media, dataType, file, context);
  if (reader) {
    int opened = 0;
    try {
      opened = reader->Open(file, false);
    } catch (...) {
      // The formatter refuses material without a mode by throwing; the
      // reader took the file on the way and must not delete it.
      reader->UseFileReader(nullptr);
      throw;
    }
    if (opened == 0) {
      media.error = ReaderOpened;
    } else {
      reader->UseFileReader(nullptr);  // the file stays the caller's
      reader.reset();
      media.error = OpenFailed;
    }
  }
  if (error) *error = media.error;
  return reader;
}

std::shared_ptr<COXLDataReader> CreateFileDataReader(DATA_READER_MEDIA& media, DataType dataType, COXLFileReader*,
                                                     std::string context) {
  const unsigned int type = media.fileType;
  std::shared_ptr<COXLDataReader> reader;
  if (In(type, {25, 26, 33, 36, 42, 52, 54, 55, 56, 74})) {
    reader = std::make_shared<CQTDataReader>(dataType, context);
  } else if (In(type, {qel::QTIMX_File, qel::QTREFIMX_File})) {
    if (dataType == Video_Data) reader = std::make_shared<CQTIMXDataReader>(context);
    else reader = std::make_shared<CQTDataReader>(dataType, context);
  } else if (In(type, {qel::QTAVCI_File, qel::QTREFAVCI_File})) {
    if (dataType == Video_Data)
      reader = std::make_shared<AvcIntraFormaterDataReader>(std::make_shared<CQTDataReader>(Video_Data, context),
                                                            Video_Data, context);
    else reader = std::make_shared<CQTDataReader>(dataType, context);
  } else if (type >= 2 && type <= 10) {
    return nullptr;  // streams: the request's error is left as it is
  } else if (type == 0 || type > 79 || In(type, {22, 24, 37, 38, 41, 44, 48, 49, 71, 72, 73})) {
    media.error = NoReaderForFileType;
    return nullptr;
  } else {
    QEL_FAIL(kRefused);
  }
  reader->SetFeaturesFlags(media.features);
  return reader;
}

std::shared_ptr<COXLDataReader> CreateRYGwDataReader(DATA_READER_MEDIA& media, DataType dataType, std::string) {
  if (dataType == VideoAlt_Data &&
      !In(media.videoDataType, {5, 10, 11, 13, 14, 15, 19, 20, 23, 26, 27, 31, 42, 43}))
    return nullptr;
  QEL_FAIL(kRefused);
}

}  // namespace OXLDataReader
