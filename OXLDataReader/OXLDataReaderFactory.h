#pragma once
// The reader factory: the library's entry point for readers. Given a path,
// an open file reader or a filled request record, it identifies the file
// when no type is given, builds the reader for its container, opens it and
// hands it over. On this platform it serves the QuickTime family only
// (CQTDataReader, CQTIMXDataReader for QuickTime IMX video, the AVC-Intra
// formatter around QuickTime AVC-Intra video); the other known containers
// are refused with the framework error "[Not implemented on Linux or Mac OS X]".
//
// Request errors: 0 opened, 1 the file could not be identified, 2 no reader
// for its type, 4 the reader could not open it (Part of MediaTypes.h).
#include <memory>
#include <string>

#include "OXLDataReader/MediaTypes.h"
#include "OXLDataReader/OXLDataReader.h"
#include "OXLFileAccess/FileReaderFactory.h"

namespace OXLDataReader {

// Set or clear the super-motion (0x10000000) and legacy-timecode
// (0x01000000) bits of the feature word new readers take.
void EnableSuperMotion(bool enable);
void ForceLegacyTC(bool force);

// "\\server..." or "X:\..."; at least three characters.
bool IsDiskFilePath(const wchar_t* path);
// Server gateway paths, "RY:\\...".
bool IsRyPath(const wchar_t* path);
bool IsRyPath(const char* path);
// "http://....ts" in any case: transport streams over HTTP.
bool IsHttpTsPath(const wchar_t* path);
bool IsHttpTsPath(const char* path);
bool IsDots(const wchar_t* path);

// Identification only; `reader` receives the reader identification opened, when there is one.
qel::FileType GetFileType(VideoDataType* videoType, const wchar_t* path, std::shared_ptr<COXLDataReader>& reader);
qel::FileType GetFileType(VideoDataType* videoType, const char* path, std::shared_ptr<COXLDataReader>& reader);
// Identification with special paths routed: HTTP transport streams are 2
// unopened; gateway paths throw.
qel::FileType GetFileType(const wchar_t* path, VideoDataType* videoType, std::shared_ptr<COXLDataReader> reader,
                          std::string context);
qel::FileType GetFileType(const char* path, VideoDataType* videoType, std::shared_ptr<COXLDataReader> reader,
                          std::string context);

std::shared_ptr<COXLDataReader> CreateDataReader(DATA_READER_MEDIA& media, DataType dataType, std::string context,
                                                 std::shared_ptr<IFileReaderFactory> factory);
std::shared_ptr<COXLDataReader> CreateDataReader(const wchar_t* path, qel::FileType fileType, VideoDataType videoType,
                                                 DataType dataType, std::string context, ErrorCode* error,
                                                 std::shared_ptr<IFileReaderFactory> factory = nullptr);
std::shared_ptr<COXLDataReader> CreateDataReader(const char* path, qel::FileType fileType, VideoDataType videoType,
                                                 DataType dataType, std::string context, ErrorCode* error,
                                                 std::shared_ptr<IFileReaderFactory> factory = nullptr);
// On a file reader the caller keeps.
std::shared_ptr<COXLDataReader> CreateDataReader(COXLFileReader* file, qel::FileType fileType, VideoDataType videoType,
                                                 DataType dataType, std::string context, ErrorCode* error);
// The reader object for a known type, not opened; null (and the record's
// error) when there is none.
std::shared_ptr<COXLDataReader> CreateFileDataReader(DATA_READER_MEDIA& media, DataType dataType, COXLFileReader* file,
                                                     std::string context);
// Server gateway links: no gateway reader exists on this platform.
std::shared_ptr<COXLDataReader> CreateRYGwDataReader(DATA_READER_MEDIA& media, DataType dataType, std::string context);

}  // namespace OXLDataReader
