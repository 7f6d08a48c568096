#pragma once
// Video sample descriptions: the QuickTime image description with its
// extension atoms, and the "mp4v" variant with its MPEG-4 elementary stream
// descriptor ("esds").
#include <cstdint>
#include <map>
#include <memory>
#include <vector>

#include "OXLDataReader/OXL_QuickTime/SampleDescription.h"
#include "OXLDataReader/OXL_QuickTime/VideoSampleDescriptionExtension.h"

namespace QTReader {

class CVideoSampleDescription : public CSampleDescription {
 public:
  using Extensions = std::map<VideoSampleDescriptionExtensionsType, std::shared_ptr<const IVideoSampleDescriptionExtension>>;

  // The extension of `type`, or empty.
  std::shared_ptr<const IVideoSampleDescriptionExtension> GetExtension(VideoSampleDescriptionExtensionsType type) const;

  uint16_t m_wVersion = 0;
  uint16_t m_wRevisionLevel = 0;
  uint32_t m_dwVendor = 0;
  uint32_t m_dwTemporalQuality = 0;
  uint32_t m_dwSpatialQuality = 0;
  uint16_t m_wWidth = 0;
  uint16_t m_wHeight = 0;
  uint32_t m_dwHorizontalResolution = 0;  // 16.16
  uint32_t m_dwVerticalResolution = 0;    // 16.16
  uint32_t m_dwDataSize = 0;
  uint16_t m_wFrameCount = 0;
  unsigned char m_CompressorName[32] = {};  // length byte, then 31 bytes as stored
  uint16_t m_wDepth = 0;
  uint16_t m_wColorTableId = 0;
  // A later extension of a type replaces an earlier one.
  Extensions m_Extensions;
  uint32_t m_dwExtensionCount = 0;  // elements of the map
};

class CMP4VSampleDescription : public CVideoSampleDescription {
 public:
  uint32_t m_dwEsdsSize = 0;
  uint32_t m_dwEsdsType = 0;  // unswapped
  uint32_t m_dwEsdsVersionAndFlags = 0;
  uint8_t m_EsDescriptorTag = 0;  // 3
  uint32_t m_dwEsDescriptorLength = 0;
  uint16_t m_wEsId = 0;
  uint8_t m_EsFlags = 0;
  uint8_t m_DecoderConfigTag = 0;  // 4
  uint32_t m_dwDecoderConfigLength = 0;
  uint8_t m_ObjectTypeIndication = 0;
  uint8_t m_StreamType = 0;
  unsigned char m_BufferSize[3] = {};
  uint32_t m_dwMaxBitRate = 0;
  uint32_t m_dwAvgBitRate = 0;
  uint8_t m_DecoderSpecificInfoTag = 0;
  uint32_t m_dwDecoderSpecificInfoLength = 0;
  std::vector<unsigned char> m_DecoderSpecificInfo;
};

// Reads the image description fields after the common part from `cursor`
// (advancing it past the colour table ID), then the extension atoms up to
// `end` without moving the cursor. A colour table (ID 0) or a field passing
// `end` throws QTUtils::unsuported_or_invalid.
void InitVideoSampleDescription(CVideoSampleDescription& description, const unsigned char*& cursor,
                                const unsigned char* end);

// Reads the "esds" atom at `cursor` into `description`. Only the ES and
// decoder-configuration descriptors and the decoder-specific information
// are read; wrong descriptor tags throw QTUtils::unsuported_or_invalid.
void initMP4VSampleDescription(CMP4VSampleDescription& description, const unsigned char*& cursor,
                               const unsigned char* end);

// "mp4v" gives a CMP4VSampleDescription, anything else a CVideoSampleDescription;
// `size` bytes are left in the entry from `cursor`.
std::unique_ptr<CVideoSampleDescription> createVideoSampleDescription(const unsigned char*& cursor,
                                                                      unsigned int size,
                                                                      const CSampleDescription& common);

// An MPEG-4 descriptor length: up to four bytes of seven bits each, the top
// bit asking for another byte. 0 when `cursor` is already at `end`; throws
// QTUtils::unsuported_or_invalid when the length is cut or longer than four bytes.
void readMP4ExpandableClassLength(const unsigned char*& cursor, const unsigned char* end, uint32_t& length);

}  // namespace QTReader
