#pragma once
// The structural metadata of an MXF package: tracks, their sequences and
// the components (source clips, timecode) of each sequence.
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace Oxl_Mxf {

// A 16-byte identifier (instance UID) compared bytewise.
class CSrcClipID {
 public:
  CSrcClipID() = default;
  explicit CSrcClipID(const std::string& bytes) { std::memcpy(m_Id, bytes.data(), bytes.size() < 16 ? bytes.size() : 16); }
  // <0, 0 or >0 as the first differing byte of a is below, equal or above b's.
  static int CompareIDs(const CSrcClipID& a, const CSrcClipID& b) { return std::memcmp(a.m_Id, b.m_Id, 16); }
  bool operator<(const CSrcClipID& other) const { return CompareIDs(*this, other) < 0; }
  bool operator==(const CSrcClipID& other) const { return CompareIDs(*this, other) == 0; }

 private:
  unsigned char m_Id[16] = {};
};

enum TrackKind : int { Track_Unknown = 0, Track_Picture = 1, Track_Sound = 2, Track_Timecode = 3 };

// A sequence component: a source clip, or a timecode component when
// m_bTimecode is set.
struct CMXFSourceClip {
  CSrcClipID m_InstanceUID;
  std::string m_DataDefinition;
  int64_t m_Duration = -1;
  int64_t m_StartPosition = 0;
  std::string m_SourcePackageID;  // 32-byte UMID, zero at the end of a chain
  uint32_t m_SourceTrackID = 0;
  bool m_bTimecode = false;
  int64_t m_StartTimecode = 0;  // frames at the rounded base
  uint16_t m_RoundedTimecodeBase = 0;
  bool m_bDropFrame = false;
};

struct CMXFSequence {
  CSrcClipID m_InstanceUID;
  std::string m_DataDefinition;
  int64_t m_Duration = -1;
  std::vector<CMXFSourceClip> m_Components;  // in sequence order
};

struct CMXFTrack {
  CSrcClipID m_InstanceUID;
  uint32_t m_TrackID = 0;
  TrackKind m_Kind = Track_Unknown;
  double m_EditRate = 0;
  uint32_t m_EditRateNum = 0, m_EditRateDen = 0;
  int64_t m_Origin = 0;
  CMXFSequence m_Sequence;

  // The timecode component of the track, or null.
  const CMXFSourceClip* GetTimecode() const {
    for (const CMXFSourceClip& c : m_Sequence.m_Components)
      if (c.m_bTimecode) return &c;
    return nullptr;
  }
};

struct CMXFPackage {
  CSrcClipID m_InstanceUID;
  std::string m_PackageUID;  // 32-byte UMID
  std::wstring m_Name;
  std::vector<CMXFTrack> m_Tracks;
  bool m_bHasEssenceContainerData = false;
  uint32_t m_BodySID = 0;  // of its essence container data, 0 when none

  bool HasTracks() const { return !m_Tracks.empty(); }
};

// The kind a data definition label names (SMPTE RP 224 picture, sound and
// timecode essence tracks, any registry version).
TrackKind GetTrackKind(const std::string& dataDefinition);

}  // namespace Oxl_Mxf
