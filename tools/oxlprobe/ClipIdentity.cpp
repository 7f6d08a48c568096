#include "ClipIdentity.h"

#include <cxxabi.h>

#include <cstdlib>
#include <list>
#include <typeinfo>

#include "SummaryParts.h"

namespace oxlprobe {
namespace {

std::string ClassName(const COXLDataReader& reader) {
  const char* mangled = typeid(reader).name();
  int status = 0;
  char* plain = abi::__cxa_demangle(mangled, nullptr, nullptr, &status);
  std::string name = status == 0 && plain ? plain : mangled;
  std::free(plain);
  return name;
}

std::string RequestError(OXLDataReader::ErrorCode error) {
  switch (error) {
    case OXLDataReader::FileTypeUnknown: return "the factory builds no reader for this type";
    case OXLDataReader::NoReaderForFileType: return "no reader for this file type";
    default: return "factory error " + std::to_string(error);
  }
}

const char* DataName(OXLDataReader::DataType type) { return type == OXLDataReader::Audio_Data ? "audio" : "video"; }

void AskFactory(const MovieFile& file, OXLDataReader::DataType type, ClipIdentity& id) {
  OXLDataReader::ErrorCode error = OXLDataReader::FileTypeUnknown;
  std::shared_ptr<COXLDataReader> reader;
  try {
    reader = OXLDataReader::CreateDataReader(file.path().c_str(), id.fileType, id.videoType, type, "oxlprobe", &error);
  } catch (const std::exception& e) {
    id.noReader = e.what();
    return;
  }
  if (reader) {
    id.readerClass = ClassName(*reader);
    id.readerData = DataName(type);
    return;
  }
  id.openFailed = error == OXLDataReader::OpenFailed;
  id.noReader = id.openFailed ? "the reader could not open the file" : RequestError(error);
}

Json ReaderJson(const ClipIdentity& id) {
  if (id.HasReader()) return Json{{"class", id.readerClass}, {"data", id.readerData}, {"none_because", nullptr}};
  return Json{{"class", nullptr}, {"data", nullptr}, {"none_because", id.noReader}};
}

Json CompanionFilesJson(const MovieFile& file) {
  std::list<std::string> files;
  try {
    (void)OXLDataReader::GetAssociatedMediaFiles(file.path().c_str(), files, 16);
  } catch (const std::exception&) {
    return Json(nullptr);
  }
  return Json(files);
}

}  // namespace

ClipIdentity IdentifyClip(const MovieFile& file, OXLDataReader::DataType preferred) {
  ClipIdentity id;
  try {
    id.fileType = OXLDataReader::GetFileType(file.path().c_str(), &id.videoType, nullptr, "oxlprobe");
  } catch (const std::exception& e) {
    id.noReader = e.what();
    return id;
  }
  if (id.Identified()) AskFactory(file, preferred, id);
  return id;
}

Json IdentitySummary(const MovieFile& file, const ClipIdentity& id) {
  Json j;
  j["file"] = file.path();
  j["file_size"] = file.size();
  j["container"] = Named("file_type", id.fileType, OXLDataReader::GetFileTypeStr(id.fileType));
  j["video_data_type"] = Named("value", id.videoType, OXLDataReader::GetVideoDataTypeStr(id.videoType));
  j["reader"] = ReaderJson(id);
  j["companion_files"] = CompanionFilesJson(file);
  return j;
}

std::string IdentifiedAs(const ClipIdentity& id) {
  return "identified as " + std::to_string(id.fileType) + " " + OXLDataReader::GetFileTypeStr(id.fileType);
}

std::string IdentityText(const Json& s) {
  std::string text = Line("File", Str(s["file"]) + " (" + Str(s["file_size"]) + " bytes)");
  text += Line("Container", NamedText(s["container"], "file_type"));
  text += Line("Video type", NamedText(s["video_data_type"], "value"));
  const Json& reader = s["reader"];
  text += Line("Reader", reader["class"].is_null() ? "none on this platform: " + Str(reader["none_because"])
                                                   : Str(reader["class"]) + " (" + Str(reader["data"]) + ")");
  const Json& files = s["companion_files"];
  if (files.is_null()) return text + Line("Clip files", "not listed on this platform for this file type");
  std::string list;
  for (const Json& f : files) list += Line(list.empty() ? "Clip files" : "", Str(f));
  return text + list;
}

}  // namespace oxlprobe
