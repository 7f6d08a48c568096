#include "OXLDataReader/OXL_QuickTime/VideoSampleDescription.h"

#include <algorithm>
#include <cstring>

#include "OXLDataReader/OXL_QuickTime/QTAtom.h"
#include "OXLDataReader/OXL_QuickTime/QTUtils.h"
#include "OXLDataReader/OXL_QuickTime/VideoSampleDescriptionExtensionDeserializer.h"

namespace QTReader {
namespace {

void ReadCompressorName(CVideoSampleDescription& description, const unsigned char*& cursor,
                        const unsigned char* end) {
  unsigned char length = 0;
  const unsigned char* start = cursor;
  QTUtils::read(cursor, end, length);
  if (QTUtils::Remaining(start, end) < length + 1u) throw QTUtils::unsuported_or_invalid();
  QTUtils::skip(cursor, end, sizeof description.m_CompressorName - 1);
  std::memcpy(description.m_CompressorName, start, sizeof description.m_CompressorName);
}

// Extension atoms from `p` to `end`; a zero length ends the list.
void ReadExtensions(CVideoSampleDescription& description, const unsigned char* p, const unsigned char* end) {
  while (p < end) {
    const uint64_t remaining = QTUtils::Remaining(p, end);
    const unsigned int size = static_cast<unsigned int>(std::min<uint64_t>(remaining, UINT32_MAX));
    if (GetLengthFromAtomBuffer(p, size) == 0) break;
    auto extension = DeserializeVideoSampleDescriptionExtension(p, size);
    description.m_Extensions[extension->GetType()] = extension;
    if (extension->GetLength() >= remaining) break;
    p += extension->GetLength();
  }
  description.m_dwExtensionCount = static_cast<uint32_t>(description.m_Extensions.size());
}

}  // namespace

std::shared_ptr<const IVideoSampleDescriptionExtension> CVideoSampleDescription::GetExtension(
    VideoSampleDescriptionExtensionsType type) const {
  const auto it = m_Extensions.find(type);
  return it == m_Extensions.end() ? nullptr : it->second;
}

void InitVideoSampleDescription(CVideoSampleDescription& d, const unsigned char*& cursor, const unsigned char* end) {
  QTUtils::read(cursor, end, d.m_wVersion);
  QTUtils::read(cursor, end, d.m_wRevisionLevel);
  QTUtils::read(cursor, end, d.m_dwVendor);
  QTUtils::read(cursor, end, d.m_dwTemporalQuality);
  QTUtils::read(cursor, end, d.m_dwSpatialQuality);
  QTUtils::read(cursor, end, d.m_wWidth);
  QTUtils::read(cursor, end, d.m_wHeight);
  QTUtils::read(cursor, end, d.m_dwHorizontalResolution);
  QTUtils::read(cursor, end, d.m_dwVerticalResolution);
  QTUtils::read(cursor, end, d.m_dwDataSize);
  QTUtils::read(cursor, end, d.m_wFrameCount);
  ReadCompressorName(d, cursor, end);
  QTUtils::read(cursor, end, d.m_wDepth);
  QTUtils::read(cursor, end, d.m_wColorTableId);
  if (d.m_wColorTableId == 0) throw QTUtils::unsuported_or_invalid();
  ReadExtensions(d, cursor, end);
}

void readMP4ExpandableClassLength(const unsigned char*& cursor, const unsigned char* end, uint32_t& length) {
  length = 0;
  for (int i = 0; i < 4; ++i) {
    if (cursor >= end) {
      if (i == 0) return;
      throw QTUtils::unsuported_or_invalid();
    }
    const unsigned char byte = *cursor++;
    length = length << 7 | (byte & 0x7F);
    if (!(byte & 0x80)) return;
  }
  throw QTUtils::unsuported_or_invalid();
}

void initMP4VSampleDescription(CMP4VSampleDescription& d, const unsigned char*& cursor, const unsigned char* end) {
  const unsigned char* atom = cursor;
  QTUtils::read(cursor, end, d.m_dwEsdsSize);
  end = atom + std::min<uint64_t>(d.m_dwEsdsSize, QTUtils::Remaining(atom, end));
  readAtomType(cursor, end, d.m_dwEsdsType);
  QTUtils::read(cursor, end, d.m_dwEsdsVersionAndFlags);
  QTUtils::read(cursor, end, d.m_EsDescriptorTag);
  if (d.m_EsDescriptorTag != 3) throw QTUtils::unsuported_or_invalid();
  readMP4ExpandableClassLength(cursor, end, d.m_dwEsDescriptorLength);
  QTUtils::read(cursor, end, d.m_wEsId);
  QTUtils::read(cursor, end, d.m_EsFlags);
  QTUtils::read(cursor, end, d.m_DecoderConfigTag);
  if (d.m_DecoderConfigTag != 4) throw QTUtils::unsuported_or_invalid();
  readMP4ExpandableClassLength(cursor, end, d.m_dwDecoderConfigLength);
  QTUtils::read(cursor, end, d.m_ObjectTypeIndication);
  QTUtils::read(cursor, end, d.m_StreamType);
  for (unsigned char& byte : d.m_BufferSize) QTUtils::read(cursor, end, byte);
  QTUtils::read(cursor, end, d.m_dwMaxBitRate);
  QTUtils::read(cursor, end, d.m_dwAvgBitRate);
  QTUtils::read(cursor, end, d.m_DecoderSpecificInfoTag);
  readMP4ExpandableClassLength(cursor, end, d.m_dwDecoderSpecificInfoLength);
  const unsigned char* info = cursor;
  QTUtils::skip(cursor, end, d.m_dwDecoderSpecificInfoLength);
  d.m_DecoderSpecificInfo.assign(info, cursor);
}

std::unique_ptr<CVideoSampleDescription> createVideoSampleDescription(const unsigned char*& cursor,
                                                                      unsigned int size,
                                                                      const CSampleDescription& common) {
  const unsigned char* end = cursor + size;
  if (common.m_DataFormat == AtomType("mp4v")) {
    auto mp4v = std::make_unique<CMP4VSampleDescription>();
    static_cast<CSampleDescription&>(*mp4v) = common;
    InitVideoSampleDescription(*mp4v, cursor, end);
    initMP4VSampleDescription(*mp4v, cursor, end);
    return mp4v;
  }
  auto video = std::make_unique<CVideoSampleDescription>();
  static_cast<CSampleDescription&>(*video) = common;
  InitVideoSampleDescription(*video, cursor, end);
  return video;
}

}  // namespace QTReader
