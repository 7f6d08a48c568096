#include "OXLDataReader/OXL_QuickTime/QTAtom.h"

#include <algorithm>

#include "qelCore/Check.h"

namespace QTReader {

std::string AtomTypeToString(uint32_t type) {
  char name[4];
  std::memcpy(name, &type, sizeof name);
  return std::string(name, sizeof name);
}

uint32_t GetLengthFromAtomBuffer(const unsigned char* buffer, unsigned int size) {
  QEL_CHECK_TRUE(size > 3, "Buffer size too small to read atom length");
  return QTUtils::Read32(buffer);
}

uint32_t GetTypeFromAtomBuffer(const unsigned char* buffer, unsigned int size) {
  QEL_CHECK_TRUE(size > 7, "Buffer size too small to read atom type");
  return LoadAtomType(buffer + 4);
}

uint32_t CountHeldEntries(const unsigned char* atom, uint64_t size, unsigned int countOffset, unsigned int firstEntry,
                          unsigned int entrySize) {
  if (size < 8) return 0;
  size = std::min<uint64_t>(size, QTUtils::Read32(atom));
  if (size < firstEntry || size < countOffset + 4) return 0;
  const uint64_t held = (size - firstEntry) / entrySize;
  return static_cast<uint32_t>(std::min<uint64_t>(held, QTUtils::Read32(atom + countOffset)));
}

bool FindChildAtom(const unsigned char* atom, uint64_t atomSize, uint32_t type, const unsigned char*& child,
                   uint32_t& childSize) {
  bool found = false;
  ForEachChildAtom(atom, atomSize, [&](const unsigned char* p, uint32_t childType, uint32_t size) {
    if (childType != type) return true;
    child = p;
    childSize = size;
    found = true;
    return false;
  });
  return found;
}

}  // namespace QTReader
