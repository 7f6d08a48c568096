#pragma once
// Builds big-endian byte strings for parser tests: integers, four-character
// codes, raw bytes, and atoms whose size field is filled in at the end.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace oxltest {

class ByteBuilder {
 public:
  ByteBuilder& u8(uint8_t v);
  ByteBuilder& u16(uint16_t v);
  ByteBuilder& u24(uint32_t v);
  ByteBuilder& u32(uint32_t v);
  ByteBuilder& u64(uint64_t v);
  ByteBuilder& f64(double v);  // IEEE double, big-endian
  ByteBuilder& fourcc(const char* code);  // exactly four characters
  ByteBuilder& bytes(const std::string& raw);
  ByteBuilder& zeros(size_t count);
  // An atom: 32-bit size, type, then `payload`.
  ByteBuilder& atom(const char* type, const std::string& payload);
  // A full atom: size, type, version, 24-bit flags, then `payload`.
  ByteBuilder& fullAtom(const char* type, uint8_t version, uint32_t flags, const std::string& payload);

  const std::string& str() const { return m_Bytes; }
  operator const std::string&() const { return m_Bytes; }
  size_t size() const { return m_Bytes.size(); }

 private:
  std::string m_Bytes;
};

// Shorthands for one-atom strings.
std::string Atom(const char* type, const std::string& payload);
std::string FullAtom(const char* type, uint8_t version, uint32_t flags, const std::string& payload);

// Every proper prefix of `bytes` (lengths 0 to size - 1), for cut-at-every-byte tests.
std::vector<std::string> Truncations(const std::string& bytes);

// A heap copy of exactly the given bytes, so that the address sanitizer
// reports any read past them (a std::string may have spare capacity).
class ExactBuffer {
 public:
  explicit ExactBuffer(const std::string& bytes);
  const unsigned char* data() const { return m_Data.get(); }
  const unsigned char* end() const { return m_Data.get() + m_Size; }
  unsigned int size() const { return static_cast<unsigned int>(m_Size); }

 private:
  std::unique_ptr<unsigned char[]> m_Data;
  size_t m_Size;
};

// Pointer to the first byte of a string, as the parsers take it.
inline const unsigned char* Data(const std::string& bytes) {
  return reinterpret_cast<const unsigned char*>(bytes.data());
}

}  // namespace oxltest
