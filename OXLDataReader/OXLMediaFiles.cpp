#include "OXLDataReader/OXLMediaFiles.h"

#include <algorithm>
#include <regex>

#include "OXLDataReader/OXLDataReaderFactory.h"
#include "OXLDataReader/OxlAssociatedFileFinder.h"
#include "OXLDataReader/QTDatareader.h"
#include "OxlTbx/TextEncoding.h"
#include "qelCore/Check.h"

namespace OXLDataReader {

namespace {

const char* const kNotImplemented = "Not implemented on Linux or Mac OS X";

// The container type of the file: identification alone, nothing opened is kept.
bool IsOneOf(unsigned int value, std::initializer_list<unsigned int> values) {
  return std::find(values.begin(), values.end(), value) != values.end();
}

// The QuickTime family whose movies may reference other files.
bool IsQuickTimeMovie(qel::FileType type) {
  return IsOneOf(type, {25, 26, 30, 33, 36, 42, 52, 53, 54, 55, 56, 64, 66});
}

bool IsRefusedType(qel::FileType type) { return IsOneOf(type, {13, 18, 45, 46, 49, 67}); }

// Everything up to and including the last '/' or '\' (empty without one).
std::wstring DirectoryOf(const std::wstring& path) {
  const size_t slash = path.find_last_of(L"/\\");
  return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash + 1);
}

void PushReferenced(const CQTDataReader& reader, DataType type, int index, const std::wstring& directory,
                    std::list<std::wstring>& files) {
  std::wstring name;
  if (reader.IsReferenceTrack(type, index, name)) push_back_3D(files, directory + name);
}

// The movie's referenced files, then the movie. The referenced media need not
// be there: a clip whose media went missing can still be moved or deleted.
int PushQuickTimeMovie(const std::wstring& path, std::list<std::wstring>& files) {
  CQTDataReader reader(Video_Data, "");
  if (reader.Open(path.c_str(), false) != 0) {
    push_back_3D(files, path);
    return -2;
  }
  const std::wstring directory = DirectoryOf(path);
  PushReferenced(reader, Video_Data, 0, directory, files);
  PushReferenced(reader, static_cast<DataType>(5), 0, directory, files);
  for (int i = reader.GetTrackCnt(Audio_Data); i-- > 0;) PushReferenced(reader, Audio_Data, i, directory, files);
  reader.Close();
  push_back_3D(files, path);
  return 0;
}

}  // namespace

int GetAssociatedMediaFiles(const wchar_t* path, std::list<std::wstring>& files, int /*flags*/) {
  if (!path) return -1;
  const std::wstring wide(path);
  if (DoesMatchFileExtension(wide, L"m3u8")) ReadElementFromPlaylistFile(path, files);
  if (DoesMatchFileExtension(wide, L"mpd")) ReadElementFromMpegDashManifestFile(path, files);

  VideoDataType videoType = Unknown_Video;
  const qel::FileType type = GetFileType(path, &videoType, nullptr, "");
  if (IsQuickTimeMovie(type)) return PushQuickTimeMovie(wide, files);
  if (IsRefusedType(type)) QEL_FAIL(kNotImplemented);
  push_back_3D(files, wide);
  return 0;
}

int GetAssociatedMediaFiles(const char* utf8Path, std::list<std::string>& files, int flags) {
  if (!utf8Path) return -1;
  std::list<std::wstring> wide;
  const int result = GetAssociatedMediaFiles(TextEncoding::Unicode::get(utf8Path, 0).c_str(), wide, flags);
  for (const std::wstring& file : wide) files.push_back(TextEncoding::UTF8::get(file));
  return result;
}

bool DoesMatchFileExtension(const std::wstring& path, const std::wstring& extension) {
  const std::wregex pattern(L".*\\." + extension + L"$", std::regex::ECMAScript);
  return std::regex_match(path, pattern);
}

bool FoundNextWav(std::wstring& name, const std::wstring& base, unsigned int& counter) {
  name = base + (counter <= 9 ? L".0" : L".") + std::to_wstring(counter) + L".wav";
  ++counter;
  return FileEntryExists(name);
}

void CheckForAdditionalWav(const wchar_t* path, std::list<std::wstring>& files) {
  if (!path) return;
  const std::wstring wide(path);
  const size_t at = wide.rfind(L".00.wav");
  if (at == std::wstring::npos) {
    files.push_back(wide);
    return;
  }
  const std::wstring base = wide.substr(0, at);
  unsigned int counter = 0;
  std::wstring name;
  while (FoundNextWav(name, base, counter)) files.push_back(name);
}

bool ExistWavFile(const wchar_t* path, std::wstring& name) {
  if (!path) return false;
  const std::wstring wide(path);
  const size_t at = wide.rfind(L".wav");
  unsigned int counter = 0;
  return FoundNextWav(name, at == std::wstring::npos ? wide : wide.substr(0, at), counter);
}

void ReadElementFromPlaylistFile(const wchar_t*, std::list<std::wstring>&) { QEL_FAIL(kNotImplemented); }

void ReadElementFromMpegDashManifestFile(const wchar_t*, std::list<std::wstring>&) { QEL_FAIL(kNotImplemented); }

}  // namespace OXLDataReader
