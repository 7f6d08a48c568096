#include "OXLDataReader/MXFHeaderMetadata.h"

#include <cstring>

#include "OXLDataReader/MXFDataReader.h"
#include "OXLDataReader/MXFUtils.h"

namespace Oxl_Mxf {

namespace {

const unsigned char kSetPrefix[4] = {0x06, 0x0E, 0x2B, 0x34};
const unsigned char kSetMiddle[6] = {0x0D, 0x01, 0x01, 0x01, 0x01, 0x01};

std::string Bytes(const unsigned char* p, unsigned int n) { return std::string(reinterpret_cast<const char*>(p), n); }

// A 16-byte reference of a batch item; short items are padded with zeros.
CSrcClipID Reference(const std::string& item) { return CSrcClipID(item); }

}  // namespace

TrackKind GetTrackKind(const std::string& dataDefinition) {
  if (dataDefinition.size() != 16) return Track_Unknown;
  const auto* d = reinterpret_cast<const unsigned char*>(dataDefinition.data());
  if (d[8] != 0x01 || d[9] != 0x03 || d[10] != 0x02) return Track_Unknown;
  if (d[11] == 0x02 && d[12] == 0x01) return Track_Picture;
  if (d[11] == 0x02 && d[12] == 0x02) return Track_Sound;
  if (d[11] == 0x01 && d[12] == 0x01) return Track_Timecode;
  return Track_Unknown;
}

uint8_t HeaderMetadata::KindOf(const unsigned char* key) {
  if (std::memcmp(key, kSetPrefix, 4) != 0 || key[4] != 0x02 || key[5] != 0x53) return 0;
  if (std::memcmp(key + 8, kSetMiddle, sizeof kSetMiddle) != 0 || key[15] != 0) return 0;
  return key[14];
}

HeaderMetadata::HeaderMetadata(const std::string& bytes, const LocalKeyTable& tags) : m_Tags(tags) {
  const unsigned char* p = reinterpret_cast<const unsigned char*>(bytes.data());
  unsigned int remaining = static_cast<unsigned int>(bytes.size());
  while (remaining >= 17) {
    const unsigned char* key = p;
    p += 16;
    remaining -= 16;
    const long length = CMXFDataReader::ReadKeyLength(p, remaining);
    if (length < 0 || static_cast<unsigned long>(length) > remaining) return;
    Set set{key, p, static_cast<unsigned int>(length), CSrcClipID()};
    if (KindOf(key)) {
      ForEachProperty(set, [&](mxf_local_tag tag, const unsigned char* v, unsigned int n) {
        if (tag == Tag_InstanceUID && n >= 16) set.instanceUID = CSrcClipID(Bytes(v, 16));
      });
      m_ByUid.emplace(set.instanceUID, m_Sets.size());
    }
    m_Sets.push_back(set);
    p += length;
    remaining -= static_cast<unsigned int>(length);
  }
}

template <typename Visit>
void HeaderMetadata::ForEachProperty(const Set& set, Visit visit) const {
  ForEachLocalItem(set.value, set.size, [&](const unsigned char* tag, const unsigned char* value, unsigned int n) {
    visit(m_Tags.GetLocalTag(tag), value, n);
  });
}

const HeaderMetadata::Set* HeaderMetadata::FindKind(uint8_t kind, unsigned int n) const {
  for (const Set& set : m_Sets) {
    if (KindOf(set.key) != kind) continue;
    if (n-- == 0) return &set;
  }
  return nullptr;
}

const HeaderMetadata::Set* HeaderMetadata::FindUid(const CSrcClipID& uid, std::initializer_list<uint8_t> kinds) const {
  const auto it = m_ByUid.find(uid);
  if (it == m_ByUid.end()) return nullptr;
  const Set& set = m_Sets[it->second];
  for (uint8_t kind : kinds)
    if (KindOf(set.key) == kind) return &set;
  return nullptr;
}

void HeaderMetadata::FillPackage(const Set& set, CMXFPackage& package) const {
  std::vector<std::string> tracks;
  ForEachProperty(set, [&](mxf_local_tag tag, const unsigned char* v, unsigned int n) {
    switch (tag) {
      case Tag_InstanceUID: package.m_InstanceUID = CSrcClipID(Bytes(v, n < 16 ? n : 16)); break;
      case Tag_PackageUID: package.m_PackageUID = Bytes(v, n); break;
      case Tag_PackageName: package.m_Name = MxfUtils::ReadUtf16(v, n); break;
      case Tag_Tracks: tracks = MxfUtils::ReadArray(v, n); break;
      default: break;
    }
  });
  package.m_Tracks.clear();
  for (const std::string& ref : tracks) {
    const Set* trackSet = FindUid(Reference(ref), {Set_Track, Set_StaticTrack});
    if (!trackSet) continue;
    CMXFTrack track;
    FillTrack(*trackSet, track);
    package.m_Tracks.push_back(std::move(track));
  }
  for (unsigned int i = 0; const Set* data = FindKind(Set_EssenceContainerData, i); ++i) {
    bool linked = false;
    uint32_t bodySid = 0;
    ForEachProperty(*data, [&](mxf_local_tag tag, const unsigned char* v, unsigned int n) {
      if (tag == Tag_LinkedPackageUID) linked = Bytes(v, n) == package.m_PackageUID;
      if (tag == Tag_BodySID) bodySid = MxfUtils::ReadUint32(v, n);
    });
    if (!linked) continue;
    package.m_bHasEssenceContainerData = true;
    package.m_BodySID = bodySid;
    break;
  }
}

void HeaderMetadata::FillTrack(const Set& set, CMXFTrack& track) const {
  std::string sequence;
  track.m_InstanceUID = set.instanceUID;
  ForEachLocalItem(set.value, set.size, [&](const unsigned char* tagBytes, const unsigned char* v, unsigned int n) {
    // Track ID has a static tag only and no dictionary entry of its own.
    if (tagBytes[0] == 0x48 && tagBytes[1] == 0x01) track.m_TrackID = MxfUtils::ReadUint32(v, n);
    switch (m_Tags.GetLocalTag(tagBytes)) {
      case Tag_TrackSequence: sequence = Bytes(v, n); break;
      case Tag_EditRate: {
        const MxfUtils::Rational rate = MxfUtils::ReadRational(v, n);
        track.m_EditRateNum = rate.numerator;
        track.m_EditRateDen = rate.denominator;
        track.m_EditRate = rate.denominator ? double(rate.numerator) / rate.denominator : 0;
        break;
      }
      case Tag_Origin: track.m_Origin = MxfUtils::ReadPosition(v, n); break;
      default: break;
    }
  });
  const Set* sequenceSet = FindUid(Reference(sequence), {Set_Sequence});
  if (sequenceSet) FillSequence(*sequenceSet, track.m_Sequence);
  track.m_Kind = GetTrackKind(track.m_Sequence.m_DataDefinition);
}

void HeaderMetadata::FillSequence(const Set& set, CMXFSequence& sequence) const {
  std::vector<std::string> components;
  sequence.m_InstanceUID = set.instanceUID;
  ForEachProperty(set, [&](mxf_local_tag tag, const unsigned char* v, unsigned int n) {
    switch (tag) {
      case Tag_DataDefinition: sequence.m_DataDefinition = Bytes(v, n); break;
      case Tag_Duration: sequence.m_Duration = MxfUtils::Readlength(v, n); break;
      case Tag_StructuralComponents: components = MxfUtils::ReadArray(v, n); break;
      default: break;
    }
  });
  for (const std::string& ref : components) {
    const Set* component = FindUid(Reference(ref), {Set_SourceClip, Set_TimecodeComponent});
    if (!component) continue;
    CMXFSourceClip clip;
    FillComponent(*component, clip);
    sequence.m_Components.push_back(std::move(clip));
  }
}

void HeaderMetadata::FillComponent(const Set& set, CMXFSourceClip& clip) const {
  clip.m_InstanceUID = set.instanceUID;
  clip.m_bTimecode = KindOf(set.key) == Set_TimecodeComponent;
  ForEachLocalItem(set.value, set.size, [&](const unsigned char* tagBytes, const unsigned char* v, unsigned int n) {
    // Source track ID has a static tag only.
    if (tagBytes[0] == 0x11 && tagBytes[1] == 0x02) clip.m_SourceTrackID = MxfUtils::ReadUint32(v, n);
    switch (m_Tags.GetLocalTag(tagBytes)) {
      case Tag_DataDefinition: clip.m_DataDefinition = Bytes(v, n); break;
      case Tag_Duration: clip.m_Duration = MxfUtils::Readlength(v, n); break;
      case Tag_StartTimecode: clip.m_StartTimecode = MxfUtils::ReadPosition(v, n); break;
      case Tag_RoundedTimecodeBase: clip.m_RoundedTimecodeBase = MxfUtils::ReadUint16(v, n); break;
      case Tag_DropFrame: clip.m_bDropFrame = MxfUtils::ReadBool(v, n); break;
      case Tag_SourcePackageID: clip.m_SourcePackageID = Bytes(v, n); break;
      case Tag_StartPosition: clip.m_StartPosition = MxfUtils::ReadPosition(v, n); break;
      default: break;
    }
  });
}

}  // namespace Oxl_Mxf
