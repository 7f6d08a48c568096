#pragma once
// The file oxlprobe was asked about: checked before any reader touches it,
// and opened with the QuickTime reader, every failure turned into a
// ProbeError with a reason a user understands.
#include <cstdint>
#include <memory>
#include <string>

#include "LibraryLog.h"
#include "OXLDataReader/QTDatareader.h"
#include "oxl.h"

namespace oxlprobe {

class MovieFile {
 public:
  // Throws ProbeError: Exit_CannotOpen for a missing, unreadable or
  // non-regular file (a directory), Exit_NotRecognised for an empty one.
  // `log` (may be null) explains open failures.
  MovieFile(std::string path, std::shared_ptr<const LibraryLog> log);

  const std::string& path() const { return m_Path; }
  uint64_t size() const { return m_qwSize; }

  // The reader for `type` (Video_Data or Audio_Data), opened; with
  // `openReference` a reference movie opens the file holding its media.
  std::unique_ptr<CQTDataReader> OpenReader(OXLDataReader::DataType type, bool openReference) const;
  // The video reader, or the audio reader when the movie has no video track.
  std::unique_ptr<CQTDataReader> OpenVideoOrAudioReader() const;

  // The file starts like a QuickTime/MP4 file: a known top-level atom type.
  bool StartsWithAtom() const;

  // A movie cut short still opens when its movie atom comes first; the last
  // sample of its tracks then lies past the end of the file. Throws
  // ProbeError (Exit_ReadFailure) for such a track; a track whose media lie
  // in other files passes.
  void CheckSamplesInFile(CQTMediaTrack& track) const;

  // Path of the file holding a sample of `track`: `sampleFile` as the sample
  // names it (empty for this movie), else the track's referenced file; both
  // relative to this movie's folder.
  std::string SampleFilePath(const CQTMediaTrack& track, const std::wstring& sampleFile) const;

 private:
  // The reader's open result; exceptions become a ProbeError.
  int TryOpen(OXLDataReader::DataType type, bool openReference, std::unique_ptr<CQTDataReader>& reader) const;
  [[noreturn]] void Fail(int result, OXLDataReader::DataType type) const;

  std::string m_Path;
  uint64_t m_qwSize = 0;
  std::shared_ptr<const LibraryLog> m_Log;
};

}  // namespace oxlprobe
