#pragma once
// The sets of one header metadata area, indexed by kind and instance UID.
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "OXLDataReader/MXFLocalKeyTable.h"
#include "OXLDataReader/MXFPackage.h"

namespace Oxl_Mxf {

// Set kinds: byte 14 of a structural metadata set key
// 06 0E 2B 34 02 53 01 01 0D 01 01 01 01 01 <kind> 00.
enum SetKind : uint8_t {
  Set_Preface = 0x2F,
  Set_MaterialPackage = 0x36,
  Set_SourcePackage = 0x37,
  Set_Track = 0x3B,
  Set_StaticTrack = 0x3A,
  Set_Sequence = 0x0F,
  Set_TimecodeComponent = 0x14,
  Set_SourceClip = 0x11,
  Set_EssenceContainerData = 0x23,
  Set_CDCIDescriptor = 0x28,
  Set_MPEGVideoDescriptor = 0x51,
  Set_GenericSoundDescriptor = 0x42,
  Set_AES3Descriptor = 0x47,
  Set_WaveDescriptor = 0x48,
};

class HeaderMetadata {
 public:
  struct Set {
    const unsigned char* key;
    const unsigned char* value;
    unsigned int size;
    CSrcClipID instanceUID;
  };

  // Indexes the KLVs of `bytes` (which must outlive this object) with the
  // partition's tags. A KLV longer than what remains ends the index.
  HeaderMetadata(const std::string& bytes, const LocalKeyTable& tags);

  const std::vector<Set>& GetSets() const { return m_Sets; }
  // The n-th (0-based) structural set of `kind`, or null.
  const Set* FindKind(uint8_t kind, unsigned int n = 0) const;
  // The set with this instance UID and of one of the kinds, or null.
  const Set* FindUid(const CSrcClipID& uid, std::initializer_list<uint8_t> kinds) const;
  // The structural set kind of a key, 0 when the key is no structural set.
  static uint8_t KindOf(const unsigned char* key);

  // Fills `package` from its set: tracks, sequences and components.
  void FillPackage(const Set& set, CMXFPackage& package) const;

 private:
  void FillTrack(const Set& set, CMXFTrack& track) const;
  void FillSequence(const Set& set, CMXFSequence& sequence) const;
  void FillComponent(const Set& set, CMXFSourceClip& clip) const;
  template <typename Visit>
  void ForEachProperty(const Set& set, Visit visit) const;

  const LocalKeyTable& m_Tags;
  std::vector<Set> m_Sets;
  std::map<CSrcClipID, size_t> m_ByUid;
};

}  // namespace Oxl_Mxf
