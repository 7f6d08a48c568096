#pragma once
// Finders of the files that make up one clip beside the file a host names:
// the four quarter-frame files of a 4K clip ("clip.4kTL.mov", "clip.4kTR.mov",
// "clip.4kBL.mov", "clip.4kBR.mov"), the second eye of a stereoscopic clip
// ("clip_3D0.mov" and "clip_3D1.mov"), or the file alone.
//
// Lists hold full paths. Whether a candidate exists is asked of an injected
// test, so that the name rules can be checked without a file system.
#include <functional>
#include <list>
#include <memory>
#include <string>

namespace OXLDataReader {

using FileExistsTest = std::function<bool(const std::wstring&)>;

// The library's existence test: is there an entry (file, directory, even a
// dangling link) at the path, given in UTF-8 to the file system.
bool FileEntryExists(const std::wstring& path);

class IOxlAssociatedFileFinder {
 public:
  virtual ~IOxlAssociatedFileFinder() = default;
  virtual std::list<std::wstring> GetWholeAssociatedFiles() const = 0;
};

class OxlAssociatedFileFinderSingleFile : public IOxlAssociatedFileFinder {
 public:
  explicit OxlAssociatedFileFinderSingleFile(std::wstring path) : m_Path(std::move(path)) {}
  std::list<std::wstring> GetWholeAssociatedFiles() const override { return {m_Path}; }

 private:
  std::wstring m_Path;
};

// The quarters that exist, in the order TL, TR, BL, BR; the named file counts
// only as the TL quarter, when it exists.
class OxlAssociatedFileFinder4k : public IOxlAssociatedFileFinder {
 public:
  OxlAssociatedFileFinder4k(std::wstring path, FileExistsTest exists)
      : m_Path(std::move(path)), m_Exists(std::move(exists)) {}
  std::list<std::wstring> GetWholeAssociatedFiles() const override;

 private:
  std::wstring m_Path;
  FileExistsTest m_Exists;
};

// The named file first, whether it exists or not, then its eye-1 companion
// when that exists.
class OxlAssociatedFileFinder3D : public IOxlAssociatedFileFinder {
 public:
  OxlAssociatedFileFinder3D(std::wstring path, FileExistsTest exists)
      : m_Path(std::move(path)), m_Exists(std::move(exists)) {}
  std::list<std::wstring> GetWholeAssociatedFiles() const override;

 private:
  std::wstring m_Path;
  FileExistsTest m_Exists;
};

// A 4K finder for a path holding ".4kTL." (the last dot-delimited one), else a
// 3D finder for a path holding "_3D0", else the single-file finder.
std::unique_ptr<IOxlAssociatedFileFinder> CreateAssociatedFileFinder(const std::wstring& path, FileExistsTest exists);

// Appends the whole clip of `path` to `files`, with the library's existence test.
void push_back_3D(std::list<std::wstring>& files, const std::wstring& path);

}  // namespace OXLDataReader
