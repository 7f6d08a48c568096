#include "MovieFile.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <set>

#include "ProbeError.h"

namespace oxlprobe {
namespace {

constexpr int kNoTrackOfType = -5;

std::string Folder(const std::string& path) {
  const size_t slash = path.find_last_of('/');
  return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

std::string CannotOpen() { return std::string("cannot open: ") + std::strerror(errno); }

// The reader's open result codes as a user reads them.
std::string OpenFailureReason(int result, OXLDataReader::DataType type) {
  switch (result) {
    case 1: return "cannot open the file";
    case 3: return "damaged movie atom";
    case 5: return "damaged movie fragments";
    case 6: return "the fragment index cannot be followed";
    case -4: return "the movie has no track";
    case kNoTrackOfType:
      return type == OXLDataReader::Audio_Data ? "the movie has no audio track"
                                               : "the movie has no video track (--audio reads its audio)";
    default: return "the reader failed to open the movie (code " + std::to_string(result) + ")";
  }
}

ExitStatus OpenFailureStatus(int result) {
  switch (result) {
    case 1: return Exit_CannotOpen;
    case 2:
    case -4:
    case kNoTrackOfType: return Exit_NotRecognised;
    default: return Exit_ReadFailure;
  }
}

}  // namespace

MovieFile::MovieFile(std::string path, std::shared_ptr<const LibraryLog> log)
    : m_Path(std::move(path)), m_Log(std::move(log)) {
  struct stat st {};
  if (::stat(m_Path.c_str(), &st) != 0) throw ProbeError(Exit_CannotOpen, m_Path, CannotOpen());
  if (S_ISDIR(st.st_mode)) throw ProbeError(Exit_CannotOpen, m_Path, "is a directory");
  if (!S_ISREG(st.st_mode)) throw ProbeError(Exit_CannotOpen, m_Path, "not a regular file");
  std::ifstream probe(m_Path, std::ios::binary);
  if (!probe) throw ProbeError(Exit_CannotOpen, m_Path, CannotOpen());
  if (st.st_size == 0) throw ProbeError(Exit_NotRecognised, m_Path, "empty file");
  m_qwSize = static_cast<uint64_t>(st.st_size);
}

int MovieFile::TryOpen(OXLDataReader::DataType type, bool openReference,
                       std::unique_ptr<CQTDataReader>& reader) const {
  reader.reset(new CQTDataReader(type, "oxlprobe"));
  try {
    return reader->Open(m_Path.c_str(), openReference);
  } catch (const std::exception& e) {
    throw ProbeError(Exit_ReadFailure, m_Path, std::string("damaged movie: ") + e.what());
  }
}

std::unique_ptr<CQTDataReader> MovieFile::OpenReader(OXLDataReader::DataType type, bool openReference) const {
  std::unique_ptr<CQTDataReader> reader;
  const int result = TryOpen(type, openReference, reader);
  // The movie itself was readable, so an I/O failure here is its media file's.
  const std::shared_ptr<CQTMediaTrack> track = reader->GetActiveTrack();
  if (result == 1 && openReference && track && track->IsReference()) {
    throw ProbeError(Exit_CannotOpen, SampleFilePath(*track, L""), "cannot open the movie's referenced media file");
  }
  if (result != 0) Fail(result, type);
  return reader;
}

std::unique_ptr<CQTDataReader> MovieFile::OpenVideoOrAudioReader() const {
  std::unique_ptr<CQTDataReader> reader;
  int result = TryOpen(OXLDataReader::Video_Data, false, reader);
  if (result == 0) return reader;
  if (result != kNoTrackOfType) Fail(result, OXLDataReader::Video_Data);
  result = TryOpen(OXLDataReader::Audio_Data, false, reader);
  if (result == 0) return reader;
  if (result == kNoTrackOfType) throw ProbeError(Exit_NotRecognised, m_Path, "the movie has no video or audio track");
  Fail(result, OXLDataReader::Audio_Data);
}

void MovieFile::Fail(int result, OXLDataReader::DataType type) const {
  if (result == 2) {
    throw ProbeError(Exit_NotRecognised, m_Path,
                     StartsWithAtom() ? "no movie atom: a truncated or incomplete QuickTime/MP4 file"
                                      : "not a QuickTime/MP4 file");
  }
  std::string reason = OpenFailureReason(result, type);
  if (OpenFailureStatus(result) == Exit_ReadFailure && m_Log && !m_Log->LastError().empty()) {
    reason += " (" + m_Log->LastError() + ")";
  }
  throw ProbeError(OpenFailureStatus(result), m_Path, reason);
}

bool MovieFile::StartsWithAtom() const {
  static const std::set<std::string> kTopLevel = {"ftyp", "moov", "mdat", "wide", "free", "skip",
                                                  "pnot", "uuid", "moof", "styp", "sidx", "PICT"};
  char header[8] = {};
  std::ifstream in(m_Path, std::ios::binary);
  if (!in.read(header, sizeof header)) return false;
  return kTopLevel.count(std::string(header + 4, 4)) != 0;
}

// Fragmented tracks are left out: a run of uncompressed sound is read as one
// sample of its count times its first frame, which a shorter last frame
// makes end past the data (the reader pads it with silence).
void MovieFile::CheckSamplesInFile(CQTMediaTrack& track) const {
  if (track.IsReference() || track.GetTrackExtends().IsValid()) return;
  const std::shared_ptr<IQtSampleIndex> last = track.FindLastSample();
  const std::shared_ptr<IQtSample> sample = last && !last->IsOutOfBounds() ? last->GetSample() : nullptr;
  if (!sample || !sample->GetSampleFile().empty()) return;
  const uint64_t end = sample->GetSampleOffset() + sample->GetSampleSize();
  if (end <= m_qwSize) return;
  throw ProbeError(Exit_ReadFailure, m_Path,
                   "truncated: the samples of track " + std::to_string(track.GetTrackId()) + " end at byte " +
                       std::to_string(end) + ", the file has " + std::to_string(m_qwSize));
}

std::string MovieFile::SampleFilePath(const CQTMediaTrack& track, const std::wstring& sampleFile) const {
  std::wstring name = sampleFile;
  if (name.empty() && track.IsReference()) name = track.GetReferenceFileName();
  if (name.empty()) return m_Path;
  const std::string utf8 = TextEncoding::UTF8::get(name);
  return utf8[0] == '/' ? utf8 : Folder(m_Path) + utf8;
}

}  // namespace oxlprobe
