#include "OXLDataReader/OXLMediaFileOperations.h"

#include <unistd.h>

#include <set>

#include <boost/filesystem.hpp>

#include "OXLDataReader/OXLDataReaderFactory.h"
#include "OXLDataReader/OXLMediaFiles.h"
#include "OXLDataReader/OxlAssociatedFileFinder.h"
#include "OxlTbx/TextEncoding.h"
#include "qelCore/Check.h"
#include "qelCore/Logger.h"

namespace fs = boost::filesystem;

namespace OXLDataReader {

namespace {

const std::wstring kMarker = L"~~";
const wchar_t* const kSeparators = L"/\\";

// Drive-letter ("C:\...") and network ("\\...") paths.
size_t NameStart(const std::wstring& path) {
  const size_t slash = path.find_last_of(kSeparators);
  return slash == std::wstring::npos ? 0 : slash + 1;
}

std::wstring WithMarker(const std::wstring& path) {
  std::wstring result = path;
  result.insert(NameStart(path), kMarker);
  return result;
}

// The name part of `path` without one leading "~~", or without all of them.
std::wstring NameWithoutMarker(const std::wstring& path, bool allPairs) {
  std::wstring name = path.substr(NameStart(path));
  while (name.compare(0, kMarker.size(), kMarker) == 0) {
    name.erase(0, kMarker.size());
    if (!allPairs) break;
  }
  return name;
}

// Where `file` goes in `destination`: a drive-letter or network destination
// is joined with '\', any other with '/'.
std::wstring TargetIn(const wchar_t* destination, const std::wstring& file) {
  std::wstring directory(destination);
  const wchar_t separator = OXLDataReader::IsDiskFilePath(directory.c_str()) ? L'\\' : L'/';
  while (!directory.empty() && (directory.back() == L'\\' || directory.back() == L'/')) directory.pop_back();
  return directory + separator + NameWithoutMarker(file, false);
}

bool Rename(const std::wstring& from, const std::wstring& to) {
  return PortableMoveFile(TextEncoding::UTF8::get(from), TextEncoding::UTF8::get(to));
}

// Gives the files renamed so far (those before `end`) their names back.
void RestoreNames(std::list<std::wstring>& files, std::list<std::wstring>::iterator end,
                  const std::list<std::wstring>& originals) {
  auto original = originals.begin();
  for (auto file = files.begin(); file != end; ++file, ++original) {
    if (*file == *original) continue;
    if (Rename(*file, *original))
      *file = *original;
    else
      QEL_LOG(qel::LogLevel::Error, "cannot give " + TextEncoding::UTF8::get(*file) + " its name back");
  }
}

bool InvalidateWithRetries(std::list<std::wstring>& files, const MediaFileRetry& retry) {
  for (int attempt = 1; attempt <= retry.attempts; ++attempt) {
    if (InvalidateFileName(files)) return true;
    if (attempt < retry.attempts && retry.wait) retry.wait(retry.waitSeconds);
  }
  return false;
}

// Mode 3: a file the mover left in place takes its own name again.
int MoveKeepingName(std::wstring& file, const wchar_t* destination) {
  const int result = DoMoveFile(file, destination);
  if (result == 0) Rename(file, file.substr(0, NameStart(file)) + NameWithoutMarker(file, true));
  return result;
}

int ProcessInvalidated(DataReader_ProcessMode mode, std::wstring& file, const wchar_t* destination) {
  switch (mode) {
    case Move_ProcessMode:
      return DoMoveFile(file, destination);
    case MoveWithRenaming_ProcessMode:
      return MoveKeepingName(file, destination);
    default:
      return DeleteDirectory(file.c_str()) ? 1 : 0;
  }
}

// Tracks of a reference movie often share one media file: it is handled once.
void DropRepeatedFiles(std::list<std::wstring>& files) {
  std::set<std::wstring> seen;
  for (auto file = files.begin(); file != files.end();) file = seen.insert(*file).second ? std::next(file) : files.erase(file);
}

void SleepSeconds(unsigned int seconds) {
  while (seconds > 0) seconds = ::sleep(seconds);  // a signal cuts sleep short
}

}  // namespace

MediaFileRetry::MediaFileRetry() : wait(SleepSeconds) {}

bool PortableMoveFile(std::string from, std::string to) {
  boost::system::error_code ec;
  fs::rename(fs::path(from), fs::path(to), ec);
  return !ec;
}

bool InvalidateFileName(std::list<std::wstring>& files) {
  const std::list<std::wstring> originals = files;
  for (auto file = files.begin(); file != files.end(); ++file) {
    if (!FileEntryExists(*file)) continue;
    const std::wstring invalidated = WithMarker(*file);
    if (!Rename(*file, invalidated)) {
      QEL_LOG(qel::LogLevel::Warning, "cannot rename " + TextEncoding::UTF8::get(*file) + " out of the way");
      RestoreNames(files, file, originals);
      return false;
    }
    *file = invalidated;
  }
  return true;
}

int DoMoveFile(std::wstring& file, const wchar_t* destination) {
  const std::wstring target = TargetIn(destination, file);
  if (!Rename(file, target)) {
    QEL_LOG(qel::LogLevel::Error,
            "cannot move " + TextEncoding::UTF8::get(file) + " to " + TextEncoding::UTF8::get(target));
    QEL_FAIL("Not implemented on Linux or Mac OS X");
  }
  file = target;
  return 1;
}

int DoCopyFile(std::wstring& file, const wchar_t* destination) {
  const std::string from = TextEncoding::UTF8::get(file);
  const std::string to = TextEncoding::UTF8::get(TargetIn(destination, file));
  boost::system::error_code ec;
  fs::copy_file(from, to, fs::copy_option::overwrite_if_exists, ec);
  if (!ec) return 1;
  QEL_LOG(qel::LogLevel::Error, "cannot copy " + from + " to " + to + ": " + ec.message());
  return 0;
}

bool DeleteDirectory(const wchar_t* path) {
  if (!path) return false;
  boost::system::error_code ec;
  const boost::uintmax_t removed = fs::remove_all(TextEncoding::UTF8::get(path), ec);
  return !ec && removed > 0 && removed != static_cast<boost::uintmax_t>(-1);
}

int ProcessMediaFile(DataReader_ProcessMode mode, const wchar_t* source, const wchar_t* destination) {
  return ProcessMediaFile(mode, source, destination, MediaFileRetry());
}

int ProcessMediaFile(DataReader_ProcessMode mode, const wchar_t* source, const wchar_t* destination,
                     const MediaFileRetry& retry) {
  if (!source) return 0;
  if (mode != Delete_ProcessMode && !destination) return 0;
  if (!OXLDataReader::IsDiskFilePath(source)) return 0;

  std::list<std::wstring> files;
  GetAssociatedMediaFiles(source, files, 16);
  DropRepeatedFiles(files);
  int result = 0;
  if (mode == Copy_ProcessMode) {
    for (std::wstring& file : files) result = DoCopyFile(file, destination);
    return result;
  }
  if (!InvalidateWithRetries(files, retry)) return 0;
  for (std::wstring& file : files) result = ProcessInvalidated(mode, file, destination);
  return result;
}

int ProcessMediaFile(DataReader_ProcessMode mode, const char* source, const char* destination) {
  if (!source) return 0;
  const std::wstring wideSource = TextEncoding::Unicode::get(source, 0);
  const std::wstring wideDestination = destination ? TextEncoding::Unicode::get(destination, 0) : std::wstring();
  return ProcessMediaFile(mode, wideSource.c_str(), destination ? wideDestination.c_str() : nullptr);
}

int MoveMediaFile(const wchar_t* source, const wchar_t* destination) {
  return ProcessMediaFile(Move_ProcessMode, source, destination);
}
int MoveMediaFile(const char* source, const char* destination) {
  return ProcessMediaFile(Move_ProcessMode, source, destination);
}
int CopyMediaFile(const wchar_t* source, const wchar_t* destination) {
  return ProcessMediaFile(Copy_ProcessMode, source, destination);
}
int CopyMediaFile(const char* source, const char* destination) {
  return ProcessMediaFile(Copy_ProcessMode, source, destination);
}
int DeleteMediaFile(const wchar_t* source) { return ProcessMediaFile(Delete_ProcessMode, source, nullptr); }
int DeleteMediaFile(const char* source) {
  return ProcessMediaFile(Delete_ProcessMode, source, static_cast<const char*>(nullptr));
}

}  // namespace OXLDataReader
