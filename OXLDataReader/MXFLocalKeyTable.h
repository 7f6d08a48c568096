#pragma once
// The header-metadata properties the MXF reader understands, and the table
// that maps each to the 2-byte local tag standing for it in one file.
//
// Static tags are fixed by SMPTE 377; dynamic tags (first byte with its top
// bit set) are declared per file by the primer pack, which maps each to the
// property's universal label. Tags are kept as their two bytes in file order.
#include <cstdint>
#include <map>
#include <string>

namespace Oxl_Mxf {

enum mxf_local_tag : int {
  Tag_None = 0,
  Tag_AspectRatio = 1,
  Tag_ActiveFormatDescriptor = 2,
  Tag_StoredWidth = 3,
  Tag_StoredHeight = 4,
  Tag_DisplayWidth = 5,
  Tag_DisplayHeight = 6,
  Tag_PictureEssenceCoding = 7,
  Tag_InstanceUID = 8,
  Tag_Tracks = 9,
  Tag_PackageUID = 10,
  Tag_PackageName = 11,
  Tag_LinkedPackageUID = 12,
  Tag_BodySID = 13,
  Tag_TrackSequence = 14,
  Tag_EditRate = 15,
  Tag_Origin = 16,
  Tag_StructuralComponents = 17,
  Tag_DataDefinition = 18,
  Tag_Duration = 19,
  Tag_StartTimecode = 20,
  Tag_RoundedTimecodeBase = 21,
  Tag_DropFrame = 22,
  Tag_SourcePackageID = 23,
  Tag_StartPosition = 24,
  Tag_PrivateProperty25 = 25,
  Tag_PrivateProperty26 = 26,
  Tag_PictureProperty27 = 27,
  Tag_PrivateProperty29 = 29,
  Tag_DMSchemes = 30,
  // AMWA AS-11 core framework
  Tag_SeriesTitle = 31,
  Tag_ProgrammeTitle = 32,
  Tag_EpisodeTitleNumber = 33,
  Tag_ShimName = 34,
  Tag_ShimVersion = 35,
  Tag_AudioTrackLayout = 36,
  Tag_PrimaryAudioLanguage = 37,
  Tag_ClosedCaptionsPresent = 38,
  Tag_ClosedCaptionsType = 39,
  Tag_ClosedCaptionsLanguage = 40,
  // UK DPP framework
  Tag_ProductionNumber = 41,
  Tag_Synopsis = 42,
  Tag_Originator = 43,
  Tag_CopyrightYear = 44,
  Tag_OtherIdentifier = 45,
  Tag_OtherIdentifierType = 46,
  Tag_Genre = 47,
  Tag_Distributor = 48,
  Tag_PictureRatio = 49,
  Tag_3D = 50,
  Tag_3DType = 51,
  Tag_ProductPlacement = 52,
  Tag_FPAPass = 53,
  Tag_FPAManufacturer = 54,
  Tag_FPAVersion = 55,
  Tag_VideoComments = 56,
  Tag_SecondaryAudioLanguage = 57,
  Tag_TertiaryAudioLanguage = 58,
  Tag_AudioLoudnessStandard = 59,
  Tag_AudioComments = 60,
  Tag_LineUpStart = 61,
  Tag_IdentClockStart = 62,
  Tag_TotalNumberOfParts = 63,
  Tag_TotalProgrammeDuration = 64,
  Tag_AudioDescriptionPresent = 65,
  Tag_AudioDescriptionType = 66,
  Tag_OpenCaptionsPresent = 67,
  Tag_OpenCaptionsType = 68,
  Tag_OpenCaptionsLanguage = 69,
  Tag_SigningPresent = 70,
  Tag_SignLanguage = 71,
  Tag_CompletionDate = 72,
  Tag_TextlessElementsExist = 73,
  Tag_ProgrammeHasText = 74,
  Tag_ProgrammeTextLanguage = 75,
  Tag_ContactEmail = 76,
  Tag_ContactTelephoneNumber = 77,
  // AS-11 segmentation framework
  Tag_PartNumber = 78,
  Tag_PartTotal = 79,
  // text-based framework
  Tag_DescriptiveText = 80,
};

// One row of the property dictionary.
struct PropertyDefinition {
  mxf_local_tag tag;
  const char* name;
  bool hasStaticTag;
  unsigned char staticTag[2];
  bool hasLabel;
  unsigned char label[16];
};

// The property dictionary: every known property once, with its static tag
// and the primer label that maps a dynamic tag to it.
const PropertyDefinition* GetPropertyDefinitions(unsigned int& count);
// The row of `tag`, or null.
const PropertyDefinition* FindPropertyDefinition(mxf_local_tag tag);
// The property whose primer label equals the 16 bytes, or Tag_None.
mxf_local_tag FindPropertyByLabel(const unsigned char* label);

class LocalKeyTable {
 public:
  // Inserts or replaces the tag of `property` with the two bytes at tagBytes.
  void SetLocalTag(mxf_local_tag property, const unsigned char* tagBytes);
  // The lowest property whose tag equals the two bytes, or Tag_None (0).
  mxf_local_tag GetLocalTag(const unsigned char* tagBytes) const;
  bool IsInitialized() const { return !m_Tags.empty(); }
  const std::map<mxf_local_tag, uint16_t>& GetEntries() const { return m_Tags; }

 private:
  std::map<mxf_local_tag, uint16_t> m_Tags;
};

// The length field of the local item at p with `remaining` bytes from p.
unsigned int ReadItemLength(const unsigned char* p, unsigned int remaining);

// Enters the static tags of the dictionary.
void InitializeLocalMap(LocalKeyTable& table);

// Walks the items of a local set (2-byte tag, 2-byte big-endian length,
// value), calling visit(tagBytes, value, length) for each. The walk ends when
// the bytes are used up or an item claims more than remain; an item header
// cut short throws qel::QELRuntimeError (through MxfUtils::ReadUint16).
template <typename Visit>
void ForEachLocalItem(const unsigned char* p, unsigned int remaining, Visit visit) {
  while (remaining != 0) {
    const unsigned int length = ReadItemLength(p, remaining);
    if (length + 4u > remaining) return;
    visit(p, p + 4, length);
    p += length + 4;
    remaining -= length + 4;
  }
}

// Records the dynamic tags a primer pack declares (its value: a batch of
// 18-byte items, a 2-byte tag and a 16-byte label). Throws
// qel::QELRuntimeError when the batch does not fit its bytes.
void ReadPrimerPack(const unsigned char* value, unsigned int size, LocalKeyTable& table);

}  // namespace Oxl_Mxf
