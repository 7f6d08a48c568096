// CQTDataReader: opening a movie, its tracks, video system and start timecode.
#include "OXLDataReader/QTDatareader.h"

#include <algorithm>
#include <cmath>
#include <exception>
#include <memory>

#include "OXLDataReader/OXL_QuickTime/QTTimeCodeTools.h"
#include "OXLDataReader/OXL_QuickTime/QTUtils.h"
#include "OXLFileAccess/OXLAccessHandler.h"
#include "qelCore/Check.h"
#include "qelCore/Logger.h"
#include "OxlTbx/TextEncoding.h"

using QTReader::AtomType;

namespace {

const char* HandlerFor(OXLDataReader::DataType type) {
  if (type == OXLDataReader::Video_Data) return "vide";
  if (type == OXLDataReader::Audio_Data) return "soun";
  return "unkn";
}

const unsigned int kMinWindow = 1u << 20;
const unsigned int kMaxWindow = 8u << 20;

bool SameRate(const qel::EditRate& a, double value) { return std::fabs(a.ToDouble() - value) <= 0.00006; }

// The part of a path after its last '/' or '\'.
std::wstring FileNameOf(const std::wstring& path) {
  const size_t cut = path.find_last_of(L"/\\");
  return cut == std::wstring::npos ? path : path.substr(cut + 1);
}

}  // namespace

CQTDataReader::CQTDataReader(OXLDataReader::DataType type, std::string name)
    : CQTAtomStreamReader(type, 8192, std::move(name)), m_HandlerType(HandlerFor(type)) {}

CQTDataReader::~CQTDataReader() = default;

// Every Open starts from a clean state: a reader may be reopened on another file.
int CQTDataReader::Initialize(bool openReference) {
  m_bSyncSearch = false;
  m_Tracks.clear();
  m_ActiveTrack.reset();
  m_Cursor.reset();
  m_dwStartTc = 0;
  m_qwMovieDuration = m_dwMovieTimescale = m_dwCreationTime = 0;
  m_ResumePosition.Reset();
  m_ResumePositionText.clear();
  m_IndexFileReader.reset();
  m_bAutoDiscover = !m_Informer;  // a table found in an earlier file says nothing of this one
  InvalidateBufferData();
  if (!m_pFileReader || SetFileIndex(0) != 0) return 1;
  m_VideoSystem = OxlTbx::VS_PAL;
  m_SystemEditRate = qel::EditRate(25, 1);
  m_dFieldDuration = 0.02;
  m_Path.clear();
  m_pFileReader->GetFileName(m_Path);

  try {
    if (!FindMoovAtom()) return 2;
    if (!ReadMoovAtom()) return 3;
  } catch (const std::exception& e) {
    QEL_LOG(qel::LogLevel::Error, "movie atom of " + m_pFileReader->GetFileNameAnsi() + " unreadable: " + e.what());
    return 3;
  }
  try {
    return InitializeTracks(openReference);
  } catch (const std::exception& e) {
    // Tables that contradict themselves: the movie is damaged past its atoms.
    QEL_LOG(qel::LogLevel::Error, "tracks of " + m_pFileReader->GetFileNameAnsi() + " unreadable: " + e.what());
    m_ActiveTrack.reset();
    m_Cursor.reset();
    return 3;
  }
}

int CQTDataReader::InitializeTracks(bool openReference) {
  LookUpForMovieFragmentRandomAccessTable();
  if (!ReadFragmentsAtoms()) return 5;
  if (!ReadFromFragmentsInformer()) return 6;
  if (m_Tracks.empty()) return -4;

  ReadInfoFromVideoTrack();
  const OXLDataReader::VideoDataType codec = GetVideoCodec();
  m_bSyncSearch = !OXLDataReader::IsIntraCodec(codec) && codec != OXLDataReader::HDV_Video;
  m_ActiveTrack.reset();
  ReadTCTrack();
  if (!SelectMediaTrack(m_HandlerType)) return -5;
  m_bFirstRead = true;
  m_dCurrentTime = 0.0;
  m_bGrowingReference = false;

  int result = 0;
  if (m_ActiveTrack->IsReference()) {
    if (!openReference) {
      UpdateReferenceDuration();
    } else {
      result = OpenReferencedFile(m_ActiveTrack);
      if (result == 0) UpdateReferenceDuration(GetActiveTrackFileSize());
    }
  }
  m_Cursor = m_ActiveTrack->FindFirstSample();
  return result;
}

bool CQTDataReader::ReadMoovAtom() {
  if (!InsureAvailableBytes(8)) return false;
  uint64_t size = Read32(m_pCurrent);
  unsigned int header = 8;
  if (size == 1) {  // 64-bit size after the type
    if (!InsureAvailableBytes(16)) return false;
    size = Read64(m_pCurrent + 8);
    header = 16;
  }
  if (size < header) return false;
  if (SkipBytes(header) != 0) return false;

  const uint32_t activeId = m_ActiveTrack ? m_ActiveTrack->GetTrackId() : 0;
  m_ActiveTrack.reset();
  for (auto& track : m_Tracks) track->SetTrackExtends(MediaTrackExtends());

  const WalkEnd end = WalkAtoms(
      [this](uint32_t type, uint32_t atomSize) {
        if (type == AtomType("mvhd")) {
          if (!LoadWholeAtom(atomSize)) return AtomAction::Fail;
          const bool v1 = atomSize > 8 && m_pCurrent[8] == 1;
          if (!v1 && atomSize >= 28) {
            m_dwCreationTime = Read32(m_pCurrent + 12);
            m_dwMovieTimescale = Read32(m_pCurrent + 20);
            m_qwMovieDuration = Read32(m_pCurrent + 24);
          } else if (v1 && atomSize >= 40) {  // 64-bit times
            m_dwCreationTime = static_cast<uint32_t>(Read64(m_pCurrent + 12));
            m_dwMovieTimescale = Read32(m_pCurrent + 28);
            m_qwMovieDuration = Read64(m_pCurrent + 32);
          }
          return AtomAction::Skip;
        }
        if (type == AtomType("trak")) return ReadMovieTrack(atomSize) == 0 ? AtomAction::Skip : AtomAction::Fail;
        if (type == AtomType("mvex")) return ReadMovieExtends(atomSize) ? AtomAction::Skip : AtomAction::Fail;
        return AtomAction::Skip;
      },
      size - header, true);

  if (activeId)
    if (auto track = GetMediaTrack(activeId)) m_ActiveTrack = track;
  return end == WalkEnd::LimitReached;
}

// A sample description that cannot be read throws out of here: the movie
// atom counts as unreadable (Initialize answers 3 and logs why).
int CQTDataReader::ReadMovieTrack(uint32_t size) {
  if (!LoadWholeAtom(size)) return 2;
  const uint32_t id = CQTMediaTrack::GetTrackIdFromTrakAtom(m_pCurrent, size);
  if (auto known = id ? GetMediaTrack(id) : nullptr) return known->ReadTrackAtom(m_pCurrent, size) == 0 ? 0 : -1;
  auto track = QTMediaTrack::CreateMediaTrack(qel::EditRate(m_dwMovieTimescale, 1), m_pCurrent, size);
  if (track) m_Tracks.push_back(std::move(track));
  return 0;
}

// A video track without samples (an empty movie atom of a fragmented file)
// has no sample duration yet: it leaves the system at its default.
void CQTDataReader::ReadInfoFromVideoTrack() {
  for (const auto& track : m_Tracks) {
    if (!track->IsTrackType("vide")) continue;
    if (track->GetMediaDuration() >= 0 && static_cast<uint64_t>(track->GetMediaDuration()) < m_qwMovieDuration)
      m_qwMovieDuration = static_cast<uint64_t>(track->GetMediaDuration());
    if (!track->HasSamples()) continue;
    track->GetSystemFromSampleTime(m_dFieldDuration, m_SystemEditRate);
    if (SameRate(m_SystemEditRate, 25.0)) m_VideoSystem = OxlTbx::VS_PAL;
    else if (SameRate(m_SystemEditRate, 29.97)) m_VideoSystem = OxlTbx::VS_NTSCDrop;
    else if (SameRate(m_SystemEditRate, 50.0)) m_VideoSystem = OxlTbx::VS_FieldPAL;
    else if (SameRate(m_SystemEditRate, 59.94)) m_VideoSystem = OxlTbx::VS_FieldNTSCDrop;
  }
}

bool CQTDataReader::ReadTCTrack() {
  for (const auto& track : m_Tracks) {
    if (!track->IsTrackType("tmcd")) continue;
    try {
      uint32_t frameNumber = 0;
      if (!track->IsReference()) {
        auto first = track->FindFirstSample();
        if (first && !first->IsOutOfBounds() && SetFileIndex(first->GetSample()->GetSampleOffset()) == 0 &&
            InsureAvailableBytes(4))
          frameNumber = Read32(m_pCurrent);
      } else if (track->GetReferenceFileName().empty()) {
        frameNumber = track->GetStartOffset();
      }
      std::string stsd;
      QEL_CHECK_TRUE(track->GetStsd(stsd), "Failed to read stsd");
      QEL_CHECK_GE(stsd.size(), 50u, "Invalid tmcd atom size");
      const bool drop = (static_cast<unsigned char>(stsd[39]) & 1) != 0;
      const uint8_t frames = static_cast<uint8_t>(stsd[48]);
      m_dwStartTc = QTTimeCodeTools::ComputeInitialTc(frameNumber, drop, frames, m_VideoSystem);
      return true;
    } catch (const std::exception&) {
      return false;
    }
  }
  return false;
}

bool CQTDataReader::SelectMediaTrack(const std::string& type) {
  if (m_ActiveTrack) return true;
  for (const auto& track : m_Tracks)
    if (track->GetTrackType() == type) return SetActiveTrack(track);
  return false;
}

bool CQTDataReader::SetActiveTrack(std::shared_ptr<CQTMediaTrack> track) {
  if (!track) return false;
  if (track == m_ActiveTrack) return true;
  try {
    if (track->GetMediaDuration() > 0 && static_cast<uint64_t>(track->GetMediaDuration()) > m_qwMovieDuration &&
        track->GetTrackExtends().IsValid())
      m_qwMovieDuration = static_cast<uint64_t>(track->GetMediaDuration());
    // A track without samples yet (fragments fill it later) is valid: it has
    // no first sample to size the window by.
    const unsigned int bufferSize = track->HasSamples() ? track->GetDataBufferSize() : 0;
    m_ActiveTrack = track;
    // The window holds at least 1 MiB so that small samples do not cost a read
    // each, and at most 8 MiB so that a corrupt size cannot make it huge:
    // larger samples are read straight into the caller's buffer.
    SetBufferSize(std::min(std::max(bufferSize, kMinWindow), kMaxWindow));
    return true;
  } catch (const std::exception&) {
    return false;
  }
}

bool CQTDataReader::SwitchToMediaTrack(const std::shared_ptr<CQTMediaTrack>& track) {
  if (!SetActiveTrack(track)) return false;
  if (track->IsReference()) {
    OpenReferencedFile(track);
    InvalidateBufferData();
  }
  double start = 0.0;
  GoToTime(start);
  m_dCurrentTime = 0.0;
  return true;
}

std::wstring CQTDataReader::ReferencedPath(const std::shared_ptr<CQTMediaTrack>& track) const {
  const size_t cut = m_Path.find_last_of(L"/\\");
  const std::wstring folder = cut == std::wstring::npos ? std::wstring() : m_Path.substr(0, cut + 1);
  return folder + track->GetReferenceFileName();
}

int CQTDataReader::OpenReferencedFile(const std::shared_ptr<CQTMediaTrack>& track) {
  if (!m_pFileReader) return 1;
  const std::wstring path = ReferencedPath(track);
  const int result = m_pFileReader->OpenFile(path.c_str(), 0);
  InvalidateBufferData();
  m_qwBufferFileOffset = 0;
  return result;
}

int CQTDataReader::GetTrackCnt(OXLDataReader::DataType type) const {
  if (type == OXLDataReader::Video_Data) return 1;
  int count = 0;
  for (const auto& track : m_Tracks) count += track->IsTrackType("soun") ? 1 : 0;
  return count;
}

std::shared_ptr<CQTMediaTrack> CQTDataReader::GetMediaTrack(uint32_t trackId) const {
  for (const auto& track : m_Tracks)
    if (track->GetTrackId() == trackId) return track;
  return nullptr;
}

bool CQTDataReader::IsReferenceTrack(OXLDataReader::DataType type, int index, std::wstring& name) const {
  const char* handler = type == OXLDataReader::Video_Data ? "vide" : (type == 5 ? "clcp" : "soun");
  int wanted = (type == OXLDataReader::Video_Data || type == 5) ? 0 : index;
  for (const auto& track : m_Tracks) {
    if (!track->IsTrackType(handler)) continue;
    if (wanted-- > 0) continue;
    name = track->GetReferenceFileName();
    return track->IsReference();
  }
  return false;
}

bool CQTDataReader::IsReferenceTrack(OXLDataReader::DataType type, int index, std::string& name) const {
  std::wstring wide;
  const bool result = IsReferenceTrack(type, index, wide);
  name = TextEncoding::UTF8::get(wide);
  return result;
}

bool CQTDataReader::DoesTracksContainFragments() const {
  for (const auto& track : m_Tracks)
    if (track->GetTrackExtends().IsValid()) return true;
  return false;
}

OXLDataReader::VideoDataType CQTDataReader::GetVideoCodec() const {
  for (const auto& track : m_Tracks)
    if (track->IsTrackType("vide")) return track->GetVideoCodec();
  return OXLDataReader::Unknown_Video;
}

double CQTDataReader::GetActiveTrackDuration() {
  return m_ActiveTrack ? m_ActiveTrack->GetTrackDuration().GetTimeStamp() : 0.0;
}

double CQTDataReader::GetActiveTrackContentDuration() {
  return m_ActiveTrack ? m_ActiveTrack->GetTrackContentDuration() : 0.0;
}

unsigned long CQTDataReader::GetActiveTrackFileSize() {
  if (!m_ActiveTrack || !m_pFileReader) return 0;
  if (!m_ActiveTrack->IsReference()) return m_pFileReader->GetFileSize();
  if (FileNameOf(m_pFileReader->GetFileName()) == m_ActiveTrack->GetReferenceFileName())
    return m_pFileReader->GetFileSize();
  const std::wstring path = ReferencedPath(m_ActiveTrack);
  std::unique_ptr<COXLFileReader> reader(OXLAccessHandler::CreateFileReader(path.c_str(), 0, m_LogId));
  return reader ? reader->GetFileSize() : 0;
}

bool CQTDataReader::HasVideoTrack() const {
  for (const auto& track : m_Tracks)
    if (track->IsTrackType("vide")) return true;
  return false;
}
