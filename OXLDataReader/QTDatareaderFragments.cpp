// CQTDataReader: movie fragments and growing files.
//
// Track defaults ("trex") are read so that fragmented movies are recognised;
// the fragment sub-indexes that make their samples readable plug in here.
// Movies without fragments find nothing and succeed.
#include "OXLDataReader/QTDatareader.h"

using QTReader::AtomType;

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

void CQTDataReader::LookUpForMovieFragmentRandomAccessTable() {}

bool CQTDataReader::ReadFragmentsAtoms() { return true; }

bool CQTDataReader::ReadFromFragmentsInformer() { return true; }

void CQTDataReader::UpdateFragments() {
  if (!DoesTracksContainFragments() || !m_bAutoDiscover) {
    ReadFromFragmentsInformer();
    return;
  }
  if (!m_FragmentTimer.IsTimeElapsed(1.0)) {
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

bool CQTDataReader::UpdateReferenceDuration(unsigned long fileSize) {
  m_bGrowingReference = m_ActiveTrack && m_ActiveTrack->UpdateReferenceDuration(fileSize);
  return m_bGrowingReference;
}

bool CQTDataReader::UpdateReferenceDuration() {
  const unsigned long size = GetActiveTrackFileSize();
  if (size == 0) return false;
  return UpdateReferenceDuration(size);
}
