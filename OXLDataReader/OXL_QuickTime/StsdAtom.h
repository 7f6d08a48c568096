#pragma once
// The sample description atom ("stsd"): its header and its entries parsed
// into sample description objects.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "OXLDataReader/OXL_QuickTime/SampleDescription.h"
#include "OXLDataReader/OXL_QuickTime/VideoSampleDescription.h"

namespace QTReader {

class CStsdAtom {
 public:
  uint32_t m_dwSize = 0;
  uint32_t m_Type = 0;  // unswapped
  uint8_t m_Version = 0;
  unsigned char m_Flags[3] = {};
  uint32_t m_dwEntryCount = 0;
  std::vector<std::unique_ptr<CSampleDescription>> m_Entries;  // in file order
};

// Parses the "stsd" atom at `cursor`, `size` bytes being available from it,
// for a track whose handler subtype is `handler` ("vide", "soun" or another).
// Reads stay within the atom's declared size and the bytes available; a
// truncated or unsupported entry throws QTUtils::unsuported_or_invalid (a
// too-short extension header of a video entry throws qel::QELRuntimeError).
void initStsdAtom(const unsigned char*& cursor, unsigned int size, CStsdAtom& stsd, const std::string& handler);

// One entry at `cursor` with `size` bytes left in the atom. Video entries of
// a "vide" track and sound entries of a "soun" track get their variant, any
// other keeps the common part only. The cursor ends at the entry's declared
// end, whatever was read.
std::unique_ptr<CSampleDescription> createSampleDescription(const unsigned char*& cursor, unsigned int size,
                                                            const std::string& handler);

}  // namespace QTReader
