#include "OXLDataReader/OxlAssociatedFileFinder.h"

#include <boost/filesystem.hpp>

#include "OxlTbx/TextEncoding.h"

namespace OXLDataReader {

namespace {

const std::wstring k4kMarker = L".4kTL.";
const std::wstring k3DMarker = L"_3D0";

// `path` with the `marker` found at `at` replaced by `replacement`.
std::wstring ReplaceAt(const std::wstring& path, size_t at, const std::wstring& marker,
                         const std::wstring& replacement) {
  std::wstring result = path;
  result.replace(at, marker.size(), replacement);
  return result;
}

}  // namespace

bool FileEntryExists(const std::wstring& path) {
  boost::system::error_code ec;
  const boost::filesystem::file_status status =
      boost::filesystem::symlink_status(TextEncoding::UTF8::get(path), ec);
  return !ec && status.type() != boost::filesystem::file_not_found && status.type() != boost::filesystem::status_error;
}

std::list<std::wstring> OxlAssociatedFileFinder4k::GetWholeAssociatedFiles() const {
  std::list<std::wstring> files;
  const size_t at = m_Path.rfind(k4kMarker);
  if (at == std::wstring::npos) return files;
  for (const wchar_t* quarter : {L"4kTL", L"4kTR", L"4kBL", L"4kBR"}) {
    const std::wstring candidate = ReplaceAt(m_Path, at, k4kMarker, L"." + std::wstring(quarter) + L".");
    if (m_Exists(candidate)) files.push_back(candidate);
  }
  return files;
}

std::list<std::wstring> OxlAssociatedFileFinder3D::GetWholeAssociatedFiles() const {
  std::list<std::wstring> files{m_Path};
  const size_t at = m_Path.rfind(k3DMarker);
  if (at == std::wstring::npos) return files;
  const std::wstring secondEye = ReplaceAt(m_Path, at, k3DMarker, L"_3D1");
  if (m_Exists(secondEye)) files.push_back(secondEye);
  return files;
}

std::unique_ptr<IOxlAssociatedFileFinder> CreateAssociatedFileFinder(const std::wstring& path,
                                                                     FileExistsTest exists) {
  if (path.rfind(k4kMarker) != std::wstring::npos)
    return std::make_unique<OxlAssociatedFileFinder4k>(path, std::move(exists));
  if (path.find(k3DMarker) != std::wstring::npos)
    return std::make_unique<OxlAssociatedFileFinder3D>(path, std::move(exists));
  return std::make_unique<OxlAssociatedFileFinderSingleFile>(path);
}

void push_back_3D(std::list<std::wstring>& files, const std::wstring& path) {
  files.splice(files.end(), CreateAssociatedFileFinder(path, FileEntryExists)->GetWholeAssociatedFiles());
}

}  // namespace OXLDataReader
