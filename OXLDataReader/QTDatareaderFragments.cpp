// CQTDataReader: movie fragments and growing files.
//
// Fragments are found three ways: from the fragment random-access table
// ("mfra", located by "mfro" at the end of the file), whose entries are read
// lazily; by scanning the top-level atoms for "moof", resuming after the last
// atom read and at most once per second of processor time; or from an
// informer the host supplies. A fragment still being written when a scan
// reaches it (its "moof" runs past the end of the file) ends the scan without
// failure; the next scan reads it once it is complete.
#include <string>

#include "OXLDataReader/OXL_QuickTime/MoofTrackSubIndex.h"
#include "OXLDataReader/OXL_QuickTime/QTUtils.h"
#include "OXLDataReader/OXL_QuickTime/ReferenceMoofTrackSubIndex.h"
#include "OXLDataReader/QTDatareader.h"
#include "OXLFileAccess/OXLAccessHandler.h"
#include "qelCore/Check.h"
#include "qelCore/Logger.h"

using QTReader::AtomType;

namespace {

const unsigned int kTfraHeader = 24;

std::string Insure(unsigned int count) { return "Failed to insure " + std::to_string(count) + " available bytes"; }

bool IsPcmTrack(CQTMediaTrack& track) {
  uint32_t channels = 0;
  qel::audio_codec codec = qel::audio_codec_unknown;
  return track.GetAudioInfo(channels, codec) && codec == qel::audio_codec_pcm;
}

qel::EditRate MediaRate(const CQTMediaTrack& track) { return qel::EditRate(track.GetMediaTimescale(), 1); }

}  // namespace

bool CQTDataReader::ReadMovieExtends(uint32_t size) {
  if (!LoadWholeAtom(size)) return false;
  bool ok = true;
  QTReader::ForEachChildAtom(m_pCurrent, size, [&](const unsigned char* child, uint32_t type, uint32_t childSize) {
    if (type != AtomType("trex")) return true;
    try {
      const auto extends = MediaTrackExtends::ParseTrex(reinterpret_cast<const char*>(child), childSize);
      if (auto track = GetMediaTrack(extends.GetTrackId())) track->SetTrackExtends(extends);
    } catch (const std::exception&) {
      ok = false;
    }
    return ok;
  });
  return ok;
}

// With a complete table every fragment is known: the scan is switched off.
void CQTDataReader::LookUpForMovieFragmentRandomAccessTable() {
  if (!DoesTracksContainFragments() || !m_pFileReader) return;
  const unsigned long position = GetCursorFileOffset();
  try {
    const unsigned long fileSize = m_pFileReader->GetFileSize();
    ParseMfra(fileSize, ReadMfraOffset(fileSize));
    m_bAutoDiscover = false;
  } catch (const std::exception&) {
    // Logged where raised; the top-level scan finds the fragments instead.
  }
  (void)SetFileIndex(position);
}

uint32_t CQTDataReader::ReadMfraOffset(unsigned long fileSize) {
  if (fileSize <= 15) QEL_FAIL("The file is too small to contain mfro");
  const unsigned long at = fileSize - 16;
  if (SetFileIndex(at) != 0) QEL_FAIL("MFRO - Failed to move to file index " + std::to_string(at));
  if (!InsureAvailableBytes(8)) QEL_FAIL(Insure(8));
  const uint32_t size = Read32(m_pCurrent);
  if (size < 16 || !InsureAvailableBytes(size)) QEL_FAIL(Insure(size));
  if (QTReader::LoadAtomType(m_pCurrent + 4) != AtomType("mfro")) QEL_FAIL("No MovieFragmentRandomAccessOffsetBox found");
  return Read32(m_pCurrent + 12);
}

void CQTDataReader::ParseMfra(unsigned long fileSize, uint32_t mfraSize) {
  if (mfraSize > fileSize)
    QEL_FAIL("The file is too small (" + std::to_string(fileSize) + " bytes) to contain mfra : mfro-offset=" +
             std::to_string(mfraSize));
  const unsigned long at = fileSize - mfraSize;
  if (SetFileIndex(at) != 0) QEL_FAIL("MFRA - Failed to move to file index " + std::to_string(at));
  if (!InsureAvailableBytes(8)) QEL_FAIL(Insure(8));
  if (QTReader::LoadAtomType(m_pCurrent + 4) != AtomType("mfra")) QEL_FAIL("No MovieFragmentRandomAccessBox found");
  if (SkipBytes(8) != 0) QEL_FAIL(Insure(8));
  int64_t remaining = mfraSize;
  while (remaining > 8) {
    if (!InsureAvailableBytes(8)) QEL_FAIL(Insure(8));
    const uint32_t size = Read32(m_pCurrent);
    QEL_CHECK_FALSE(size > remaining || size < 8, "Atom too big to be contained in his parent's one : " +
                                                      std::to_string(remaining) + " vs " + std::to_string(size) +
                                                      " bytes");
    if (QTReader::LoadAtomType(m_pCurrent + 4) == AtomType("tfra")) {
      ParseTfra();
    } else if (SkipBytes(size) != 0) {
      QEL_FAIL(Insure(size));
    }
    remaining -= size;
  }
}

// Entries are read one at a time from the window, so a table claiming more
// entries than it holds fails on its size before anything is allocated.
void CQTDataReader::ParseTfra() {
  if (!InsureAvailableBytes(kTfraHeader)) QEL_FAIL(Insure(kTfraHeader));
  const uint32_t size = Read32(m_pCurrent);
  const bool v1 = m_pCurrent[8] == 1;
  const uint32_t trackId = Read32(m_pCurrent + 12);
  const uint32_t lengths = Read32(m_pCurrent + 16);
  const uint32_t count = Read32(m_pCurrent + 20);
  const unsigned int entrySize = (v1 ? 16 : 8) + ((lengths >> 4) & 3) + ((lengths >> 2) & 3) + (lengths & 3) + 3;
  if (SkipBytes(kTfraHeader) != 0) QEL_FAIL(Insure(kTfraHeader));
  if (uint64_t(count) * entrySize + kTfraHeader != size) QEL_FAIL("invalid tfra atom");
  auto track = GetMediaTrack(trackId);
  for (uint32_t i = 0; i < count; ++i) {
    if (!InsureAvailableBytes(entrySize)) QEL_FAIL(Insure(entrySize));
    const uint64_t time = v1 ? Read64(m_pCurrent) : Read32(m_pCurrent);
    const uint64_t moof = v1 ? Read64(m_pCurrent + 8) : Read32(m_pCurrent + 4);
    if (track) AppendFragment(*track, moof, qel::MediaTime(MediaRate(*track), static_cast<int64_t>(time)));
    if (SkipBytes(entrySize) != 0) QEL_FAIL(Insure(entrySize));
  }
}

void CQTDataReader::AppendFragment(CQTMediaTrack& track, uint64_t moofOffset, qel::MediaTime start) {
  auto file = GetIndexLockableFileReader();
  const auto& extends = track.GetTrackExtends();
  const qel::EditRate rate = MediaRate(track);
  track.AppendSubIndex(IsPcmTrack(track) ? CreateReferenceAudioPcmMovieFragmentTrackIndex(
                                               extends, rate, moofOffset, start, track.GetTrackId(), file)
                                         : CreateReferenceMovieFragmentTrackIndex(extends, rate, moofOffset, start,
                                                                                  track.GetTrackId(), file));
}

std::shared_ptr<LockableOxlFileReader> CQTDataReader::GetIndexLockableFileReader() {
  if (m_IndexFileReader) return m_IndexFileReader;
  QEL_CHECK_NOT_NULL(m_pFileReader, "no file to read fragments from");
  const std::wstring path = m_pFileReader->GetFileName();
  std::shared_ptr<COXLFileReader> inner(OXLAccessHandler::CreateFileReader(path.c_str(), 0, m_LogId));
  QEL_CHECK_NOT_NULL(inner, "can not open " + m_pFileReader->GetFileNameAnsi() + " for its fragments");
  m_IndexFileReader = std::make_shared<LockableOxlFileReader>(inner);
  return m_IndexFileReader;
}

bool CQTDataReader::ReadFragmentsAtoms() {
  if (!DoesTracksContainFragments() || !m_bAutoDiscover || !m_pFileReader) return true;
  if (m_ResumePosition.IsSet() && SetFileIndex(m_ResumePosition.GetValue()) != 0) return true;
  bool ok = true;
  WalkAtoms([&](uint32_t type, uint32_t size) {
    const unsigned long end = GetCursorFileOffset() + size;
    if (type == AtomType("moof")) {
      const MoofRead read = ParseMoofAtom();
      if (read == MoofRead::Incomplete) return AtomAction::Stop;  // still being written
      ok = read == MoofRead::Done;
      if (!ok) return AtomAction::Fail;
    } else if (type == AtomType("moov")) {
      ok = ReadMoovAtom();
      if (!ok) return AtomAction::Fail;
    }
    m_ResumePosition.SetValue(end);
    m_ResumePositionText = std::to_string(end);
    return type == AtomType("moof") || type == AtomType("moov") ? AtomAction::Consumed : AtomAction::Skip;
  });
  return ok;
}

CQTDataReader::MoofRead CQTDataReader::ParseMoofAtom() {
  const uint64_t moofOffset = GetCursorFileOffset();
  if (!InsureAvailableBytes(8)) return MoofRead::Incomplete;
  const uint32_t size = Read32(m_pCurrent);
  if (size < 8) return MoofRead::Failed;
  if (moofOffset + size > m_pFileReader->GetFileSize()) return MoofRead::Incomplete;
  if (!LoadWholeAtom(size)) return MoofRead::Failed;
  try {
    QTReader::ForEachChildAtom(m_pCurrent, size, [&](const unsigned char* child, uint32_t type, uint32_t childSize) {
      if (type == AtomType("traf")) ReadTrackFragment(child, childSize, moofOffset);
      return true;
    });
  } catch (const std::exception& e) {
    QEL_LOG(qel::LogLevel::Error, "fragment at " + std::to_string(moofOffset) + " of " +
                                      m_pFileReader->GetFileNameAnsi() + " unreadable: " + e.what());
    return MoofRead::Failed;
  }
  return SkipBytes(size) == 0 ? MoofRead::Done : MoofRead::Failed;
}

// Fragments of tracks the movie does not know, or that have no "trex", are passed over.
void CQTDataReader::ReadTrackFragment(const unsigned char* traf, uint32_t size, uint64_t moofOffset) {
  if (size < 16) return;
  const uint32_t tfhdSize = Read32(traf + 8);
  if (tfhdSize < 8 || tfhdSize > size - 8) return;
  const auto tfhd = TrackFragmentHeader::ParseTfhd(reinterpret_cast<const char*>(traf + 8), tfhdSize);
  auto track = GetMediaTrack(tfhd.GetTrackId());
  if (!track || !track->GetTrackExtends().IsValid()) return;
  auto rest = qel::CreateBuffer();
  QEL_CHECK_TRUE(rest->Resize(size - 8 - tfhdSize), "can not size fragment buffer");
  std::copy(traf + 8 + tfhdSize, traf + size, rest->GetData());
  const auto& extends = track->GetTrackExtends();
  track->AppendSubIndex(IsPcmTrack(*track)
                            ? CreateAudioPcmMovieFragmentTrackIndex(extends, tfhd, rest, MediaRate(*track), moofOffset)
                            : CreateMovieFragmentTrackIndex(extends, tfhd, rest, MediaRate(*track), moofOffset));
}

void CQTDataReader::UpdateFragments() {
  if (!DoesTracksContainFragments() || !m_bAutoDiscover || !m_FragmentTimer.IsTimeElapsed(1.0)) {
    ReadFromFragmentsInformer();
    return;
  }
  ReadFragmentsAtoms();
  m_FragmentTimer.Restart();
}

void CQTDataReader::SetExternalIndexInformer(std::shared_ptr<IFragmentIndexInformer> informer) {
  m_Informer = std::move(informer);
  m_bAutoDiscover = false;
}

bool CQTDataReader::ReadFromFragmentsInformer() {
  if (!m_Informer) return true;
  try {
    while (m_Informer->HasNextFragment()) AppendReferenceFragment(m_Informer->GetNextFragment());
  } catch (const std::exception& e) {
    QEL_LOG(qel::LogLevel::Error, std::string("fragment informer failed: ") + e.what());
    return false;
  }
  return true;
}

void CQTDataReader::AppendReferenceFragment(const MoofInfo& info) {
  if (m_Tracks.size() != 1) QEL_FAIL("Avaiable only for mono track files");
  m_bAutoDiscover = false;
  AppendFragment(*m_Tracks.front(), info.offset, info.time);
}

bool CQTDataReader::UpdateReferenceDuration(unsigned long fileSize) {
  m_bGrowingReference = m_ActiveTrack && m_ActiveTrack->UpdateReferenceDuration(fileSize);
  return m_bGrowingReference;
}

bool CQTDataReader::UpdateReferenceDuration() {
  const unsigned long size = GetActiveTrackFileSize();
  if (size == 0) return false;
  return UpdateReferenceDuration(size);
}
