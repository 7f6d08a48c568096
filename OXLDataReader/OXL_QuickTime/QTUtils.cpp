#include "OXLDataReader/OXL_QuickTime/QTUtils.h"

namespace QTUtils {
namespace {

template <typename T>
T ReadBigEndian(const unsigned char* p) {
  if constexpr (sizeof(T) == 1) return static_cast<T>(*p);
  else if constexpr (sizeof(T) == 2) return static_cast<T>(Read16(p));
  else if constexpr (sizeof(T) == 4) return static_cast<T>(Read32(p));
  else return static_cast<T>(Read64(p));
}

}  // namespace

template <typename T>
void read(const unsigned char*& cursor, const unsigned char* end, T& value) {
  if (Remaining(cursor, end) < sizeof(T)) throw unsuported_or_invalid();
  value = ReadBigEndian<T>(cursor);
  cursor += sizeof(T);
}

template void read<unsigned char>(const unsigned char*&, const unsigned char*, unsigned char&);
template void read<unsigned short>(const unsigned char*&, const unsigned char*, unsigned short&);
template void read<unsigned int>(const unsigned char*&, const unsigned char*, unsigned int&);
template void read<int>(const unsigned char*&, const unsigned char*, int&);
template void read<long>(const unsigned char*&, const unsigned char*, long&);
template void read<unsigned long>(const unsigned char*&, const unsigned char*, unsigned long&);

void skip(const unsigned char*& cursor, const unsigned char* end, uint64_t count) {
  if (Remaining(cursor, end) < count) throw unsuported_or_invalid();
  cursor += count;
}

}  // namespace QTUtils
