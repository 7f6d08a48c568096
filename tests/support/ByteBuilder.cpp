#include "support/ByteBuilder.h"

#include <cstring>
#include <stdexcept>

namespace oxltest {

ByteBuilder& ByteBuilder::u8(uint8_t v) { return bytes(std::string(1, static_cast<char>(v))); }
ByteBuilder& ByteBuilder::u16(uint16_t v) { return u8(v >> 8).u8(v & 0xFF); }
ByteBuilder& ByteBuilder::u24(uint32_t v) { return u8((v >> 16) & 0xFF).u16(v & 0xFFFF); }
ByteBuilder& ByteBuilder::u32(uint32_t v) { return u16(v >> 16).u16(v & 0xFFFF); }
ByteBuilder& ByteBuilder::u64(uint64_t v) { return u32(uint32_t(v >> 32)).u32(uint32_t(v)); }

ByteBuilder& ByteBuilder::f64(double v) {
  uint64_t bits;
  std::memcpy(&bits, &v, sizeof bits);
  return u64(bits);
}

ByteBuilder& ByteBuilder::fourcc(const char* code) {
  if (std::strlen(code) != 4) throw std::invalid_argument("four-character code expected");
  return bytes(code);
}

ByteBuilder& ByteBuilder::bytes(const std::string& raw) {
  m_Bytes += raw;
  return *this;
}

ByteBuilder& ByteBuilder::zeros(size_t count) { return bytes(std::string(count, '\0')); }

ByteBuilder& ByteBuilder::atom(const char* type, const std::string& payload) {
  return u32(static_cast<uint32_t>(8 + payload.size())).fourcc(type).bytes(payload);
}

ByteBuilder& ByteBuilder::fullAtom(const char* type, uint8_t version, uint32_t flags, const std::string& payload) {
  return atom(type, ByteBuilder().u8(version).u24(flags).bytes(payload).str());
}

std::string Atom(const char* type, const std::string& payload) { return ByteBuilder().atom(type, payload).str(); }

std::string FullAtom(const char* type, uint8_t version, uint32_t flags, const std::string& payload) {
  return ByteBuilder().fullAtom(type, version, flags, payload).str();
}

ExactBuffer::ExactBuffer(const std::string& bytes)
    : m_Data(new unsigned char[bytes.size() ? bytes.size() : 1]), m_Size(bytes.size()) {
  std::memcpy(m_Data.get(), bytes.data(), bytes.size());
}

std::vector<std::string> Truncations(const std::string& bytes) {
  std::vector<std::string> cuts;
  for (size_t n = 0; n < bytes.size(); ++n) cuts.push_back(bytes.substr(0, n));
  return cuts;
}

}  // namespace oxltest
