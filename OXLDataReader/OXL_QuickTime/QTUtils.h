#pragma once
// Big-endian read primitives for QuickTime/MP4 structures, with a bounded
// cursor form that refuses to read past the end of its buffer.
#include <cstdint>
#include <exception>

namespace QTUtils {

// A structure that is truncated or of a form this reader does not support.
// Carries no message of its own.
class unsuported_or_invalid : public std::exception {};

inline uint16_t Read16(const unsigned char* p) { return static_cast<uint16_t>(p[0] << 8 | p[1]); }
inline uint32_t Read32(const unsigned char* p) {
  return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | uint32_t(p[3]);
}
inline uint64_t Read64(const unsigned char* p) { return uint64_t(Read32(p)) << 32 | Read32(p + 4); }

// Reads the big-endian T at `cursor` and advances the cursor by sizeof(T).
// Throws unsuported_or_invalid, leaving cursor and value untouched, when the
// value would pass `end`. Defined for unsigned char, unsigned short,
// unsigned int, int, long and unsigned long.
template <typename T>
void read(const unsigned char*& cursor, const unsigned char* end, T& value);

// Bytes left between `cursor` and `end`; 0 when the cursor is at or past the end.
inline uint64_t Remaining(const unsigned char* cursor, const unsigned char* end) {
  return cursor < end ? static_cast<uint64_t>(end - cursor) : 0;
}

// Advances the cursor by `count` bytes; throws unsuported_or_invalid (cursor
// untouched) when that would pass `end`.
void skip(const unsigned char*& cursor, const unsigned char* end, uint64_t count);

}  // namespace QTUtils
