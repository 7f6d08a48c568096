#pragma once
// What a host learns of a file before reading it: the file type and video
// data type identification finds, the reader the factory builds for it, and
// the files of its clip. oxlprobe asks the library exactly as a host does,
// so its summary shows what a host would get.
#include <memory>
#include <string>

#include <nlohmann/json.hpp>

#include "MovieFile.h"

namespace oxlprobe {

struct ClipIdentity {
  qel::FileType fileType = qel::Unknown_File;
  OXLDataReader::VideoDataType videoType = OXLDataReader::Unknown_Video;
  // The class of the reader the factory built and opened, and what it reads
  // ("video" or "audio"); empty when it built none.
  std::string readerClass;
  std::string readerData;
  // The factory's own answer when it built no reader: its refusal, or the
  // request error it set.
  std::string noReader;
  // The factory knows the type but failed to open the file: the readers'
  // own open explains why better than the factory's error 4.
  bool openFailed = false;

  bool Identified() const { return fileType != qel::Unknown_File; }
  bool HasReader() const { return !readerClass.empty(); }
};

// Identifies the file and asks the factory for a reader of `preferred`
// (video, or audio when asked for audio). The reader is released at once:
// it is shown, not used. Never throws for what
// the file holds: a refusal of the library becomes `noReader`.
ClipIdentity IdentifyClip(const MovieFile& file, OXLDataReader::DataType preferred);

// The members every summary starts with: "file", "file_size", "container"
// and "video_data_type" (identification's), "reader" (the factory's answer)
// and "companion_files" (every file of the clip, null when this platform
// does not list them for the file's type). Alone, it is the summary of a
// file that is identified but has no reader on this platform.
nlohmann::ordered_json IdentitySummary(const MovieFile& file, const ClipIdentity& id);

// "identified as 20 SonyDV_File": the start of a no-reader message.
std::string IdentifiedAs(const ClipIdentity& id);

// The summary lines of those members: File, Container, Video type, Reader, Clip files.
std::string IdentityText(const nlohmann::ordered_json& summary);

}  // namespace oxlprobe
