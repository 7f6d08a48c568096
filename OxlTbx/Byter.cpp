#include "OxlTbx/Byter.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace {

constexpr uint32_t kCrcPolynomial = 0x04C11DB7;

constexpr std::array<uint32_t, 256> MakeCrcTable() {
  std::array<uint32_t, 256> table{};
  for (uint32_t i = 0; i < 256; ++i) {
    uint32_t r = i << 24;
    for (int bit = 0; bit < 8; ++bit) r = (r & 0x80000000u) ? (r << 1) ^ kCrcPolynomial : r << 1;
    table[i] = r;
  }
  return table;
}

constexpr std::array<uint32_t, 256> kCrcTable = MakeCrcTable();

uint32_t CrcRegister(const unsigned char* begin, const unsigned char* end) {
  uint32_t crc = 0xFFFFFFFFu;
  if (!begin || !end || end < begin) return crc;
  for (const unsigned char* p = begin; p != end; ++p) crc = (crc << 8) ^ kCrcTable[(crc >> 24) ^ *p];
  return crc;
}

}  // namespace

void CByter::CopyBytes(void* dst, const void* src, size_t n) {
  if (n == 0 || !dst || !src) return;
  std::memmove(dst, src, n);
}

void CByter::ReverseBytes(const void* src, int n, void* dst) {
  if (n < 1 || !src || !dst) return;
  const auto* s = static_cast<const unsigned char*>(src);
  auto* d = static_cast<unsigned char*>(dst);
  if (s == d) {
    std::reverse(d, d + n);
    return;
  }
  std::reverse_copy(s, s + n, d);
}

void CByter::ReverseBytes16(const void* src, void* dst) { ReverseBytes(src, 2, dst); }

void CByter::ReverseBytes32(const void* src, void* dst) { ReverseBytes(src, 4, dst); }

unsigned int CByter::SubBitsValue(const unsigned char* p, int first, int last) {
  if (!p || first < 1 || last < first || last > 16) return 0;
  const unsigned int word = (static_cast<unsigned int>(p[0]) << 8) | p[1];
  const int width = last - first + 1;
  return (word >> (16 - last)) & ((1u << width) - 1);
}

uint32_t CByter::Compute_CRC(const unsigned char* begin, const unsigned char* end) {
  return CrcRegister(begin, end);
}

bool CByter::Check_CRC(const unsigned char* begin, const unsigned char* end) {
  return CrcRegister(begin, end) != 0;
}
