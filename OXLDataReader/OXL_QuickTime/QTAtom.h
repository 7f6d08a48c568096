#pragma once
// Atom headers and the walk over the children of an atom held in memory.
//
// An atom starts with a 32-bit big-endian size (the whole atom, header
// included) and four type characters. Types are handled as the four bytes
// loaded unswapped into a native word and compared with AtomType("moov").
#include <cstdint>
#include <cstring>
#include <string>

#include "OXLDataReader/OXL_QuickTime/QTUtils.h"

namespace QTReader {

// The four characters as they lie in memory, loaded as a native word.
constexpr uint32_t AtomType(const char (&name)[5]) {
#if __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
  return uint32_t(uint8_t(name[0])) | uint32_t(uint8_t(name[1])) << 8 | uint32_t(uint8_t(name[2])) << 16 |
         uint32_t(uint8_t(name[3])) << 24;
#else
  return uint32_t(uint8_t(name[0])) << 24 | uint32_t(uint8_t(name[1])) << 16 | uint32_t(uint8_t(name[2])) << 8 |
         uint32_t(uint8_t(name[3]));
#endif
}

// The four bytes at `p`, unswapped.
inline uint32_t LoadAtomType(const unsigned char* p) {
  uint32_t type;
  std::memcpy(&type, p, sizeof type);
  return type;
}

// Reads four type bytes unswapped at `cursor` and advances it; throws
// QTUtils::unsuported_or_invalid (cursor untouched) when they pass `end`.
inline void readAtomType(const unsigned char*& cursor, const unsigned char* end, uint32_t& type) {
  if (QTUtils::Remaining(cursor, end) < 4) throw QTUtils::unsuported_or_invalid();
  type = LoadAtomType(cursor);
  cursor += 4;
}

// "moov" for AtomType("moov"); unprintable bytes are kept as they are.
std::string AtomTypeToString(uint32_t type);

// The 32-bit size field of the atom at `buffer`. Fails ("Buffer size too small
// to read atom length") when `size` is 3 or less.
uint32_t GetLengthFromAtomBuffer(const unsigned char* buffer, unsigned int size);

// The type of the atom at `buffer`, unswapped. Fails ("Buffer size too small
// to read atom type") when `size` is 7 or less.
uint32_t GetTypeFromAtomBuffer(const unsigned char* buffer, unsigned int size);

// Calls visit(child, type, childSize) for each child of the atom at `atom`,
// `atomSize` bytes long, header included; visit returns false to stop. The
// walk ends at the first child whose size is below 8 (a zero size cannot stall
// it) or larger than what is left of the parent, and when fewer than 8 bytes
// are left, so no child header is read past the parent.
template <typename Visit>
void ForEachChildAtom(const unsigned char* atom, uint64_t atomSize, Visit&& visit) {
  if (atomSize <= 8) return;
  const unsigned char* child = atom + 8;
  uint64_t remaining = atomSize - 8;
  while (remaining >= 8) {
    const uint32_t size = QTUtils::Read32(child);
    if (size < 8 || size > remaining) return;
    if (!visit(child, LoadAtomType(child + 4), size)) return;
    child += size;
    remaining -= size;
  }
}

// Entries of `entrySize` bytes that a table atom both declares (32-bit count
// at `countOffset`) and really holds between `firstEntry` and the lesser of
// its declared size and `size`. 0 when the atom is too small for its count.
uint32_t CountHeldEntries(const unsigned char* atom, uint64_t size, unsigned int countOffset, unsigned int firstEntry,
                          unsigned int entrySize);

// The first child of the given type: true with its first byte and size.
bool FindChildAtom(const unsigned char* atom, uint64_t atomSize, uint32_t type, const unsigned char*& child,
                   uint32_t& childSize);

}  // namespace QTReader
