#include "OXLDataReader/OXL_QuickTime/StsdAtom.h"

#include <algorithm>

#include "OXLDataReader/OXL_QuickTime/QTAtom.h"
#include "OXLDataReader/OXL_QuickTime/QTUtils.h"

namespace QTReader {

void initStsdAtom(const unsigned char*& cursor, unsigned int size, CStsdAtom& stsd, const std::string& handler) {
  const unsigned char* start = cursor;
  const unsigned char* end = start + size;
  QTUtils::read(cursor, end, stsd.m_dwSize);
  end = start + std::min(size, stsd.m_dwSize);
  readAtomType(cursor, end, stsd.m_Type);
  QTUtils::read(cursor, end, stsd.m_Version);
  for (unsigned char& flag : stsd.m_Flags) QTUtils::read(cursor, end, flag);
  QTUtils::read(cursor, end, stsd.m_dwEntryCount);
  // Every entry takes at least its 16-byte common part or throws, so a
  // count that the atom cannot hold ends in an exception, not a long loop.
  for (uint32_t i = 0; i < stsd.m_dwEntryCount; ++i) {
    const unsigned int left = static_cast<unsigned int>(QTUtils::Remaining(cursor, end));
    stsd.m_Entries.push_back(createSampleDescription(cursor, left, handler));
  }
}

std::unique_ptr<CSampleDescription> createSampleDescription(const unsigned char*& cursor, unsigned int size,
                                                            const std::string& handler) {
  const unsigned char* start = cursor;
  CSampleDescription common;
  QTUtils::read(cursor, start + size, common.m_dwSize);
  const unsigned char* end = start + std::min(size, common.m_dwSize);
  readAtomType(cursor, end, common.m_DataFormat);
  for (unsigned char& byte : common.m_Reserved) QTUtils::read(cursor, end, byte);
  QTUtils::read(cursor, end, common.m_wDataReferenceIndex);
  const unsigned int left = static_cast<unsigned int>(QTUtils::Remaining(cursor, end));
  std::unique_ptr<CSampleDescription> description;
  if (handler == "vide") description = createVideoSampleDescription(cursor, left, common);
  else if (handler == "soun") description = createAudioSampleDescription(cursor, left, common);
  else description = std::make_unique<CSampleDescription>(common);
  cursor = end;
  return description;
}

}  // namespace QTReader
