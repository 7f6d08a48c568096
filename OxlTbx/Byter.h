#pragma once
// Small byte and bit helpers: copying, byte-order reversal, bit fields of a
// big-endian 16-bit word, and the MPEG-2 CRC-32.
#include <cstddef>
#include <cstdint>

class CByter {
 public:
  virtual ~CByter() = default;

  // Copies n bytes; the ranges may overlap.
  static void CopyBytes(void* dst, const void* src, size_t n);
  // dst receives the n bytes of src in reverse order; n < 1 copies nothing.
  // src and dst must be the same buffer (reversed in place) or not overlap.
  static void ReverseBytes(const void* src, int n, void* dst);
  static void ReverseBytes16(const void* src, void* dst);
  static void ReverseBytes32(const void* src, void* dst);

  // Bits first..last of the big-endian word p[0], p[1], numbered 1 (most
  // significant) to 16, right-aligned. 0 unless 1 <= first <= last <= 16.
  static unsigned int SubBitsValue(const unsigned char* p, int first, int last);

  // CRC-32 of [begin, end): polynomial 0x04C11DB7, register starting at
  // 0xFFFFFFFF, most significant bit first, no final inversion (MPEG-2
  // sections). An empty or reversed range gives 0xFFFFFFFF.
  static uint32_t Compute_CRC(const unsigned char* begin, const unsigned char* end);
  // Runs the same register over [begin, end) and returns true when it does
  // not end at zero, i.e. true means the range holding its own CRC is damaged.
  // An empty range gives true.
  static bool Check_CRC(const unsigned char* begin, const unsigned char* end);
};
