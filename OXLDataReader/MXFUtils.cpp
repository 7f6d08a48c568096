#include "OXLDataReader/MXFUtils.h"

#include "OxlTbx/TextEncoding.h"
#include "qelCore/Check.h"

namespace MxfUtils {

namespace {
uint64_t BigEndian(const unsigned char* p, unsigned int bytes) {
  uint64_t value = 0;
  for (unsigned int i = 0; i < bytes; ++i) value = value << 8 | p[i];
  return value;
}
}  // namespace

uint8_t ReadUint8(const unsigned char* p, unsigned int size) {
  QEL_CHECK_TRUE(size >= 1, "unable to read uint8, bad mxf buffer size");
  return p[0];
}

bool ReadBool(const unsigned char* p, unsigned int size) {
  QEL_CHECK_TRUE(size >= 1, "unable to read bool, bad mxf buffer size");
  return p[0] != 0;
}

int16_t ReadInt16(const unsigned char* p, unsigned int size) {
  QEL_CHECK_TRUE(size >= 2, "unable to read int16, bad mxf buffer size");
  return static_cast<int16_t>(BigEndian(p, 2));
}

uint16_t ReadUint16(const unsigned char* p, unsigned int size) {
  QEL_CHECK_TRUE(size >= 2, "unable to read uint16, bad mxf buffer size");
  return static_cast<uint16_t>(BigEndian(p, 2));
}

uint16_t ReadVersionType(const unsigned char* p, unsigned int size) { return ReadUint16(p, size); }

uint32_t ReadUint32(const unsigned char* p, unsigned int size) {
  QEL_CHECK_TRUE(size >= 4, "unable to read uint32, bad mxf buffer size");
  return static_cast<uint32_t>(BigEndian(p, 4));
}

int64_t ReadInt64(const unsigned char* p, unsigned int size) {
  QEL_CHECK_TRUE(size >= 8, "unable to read int64, bad mxf buffer size");
  return static_cast<int64_t>(BigEndian(p, 8));
}

int64_t ReadPosition(const unsigned char* p, unsigned int size) { return ReadInt64(p, size); }
int64_t Readlength(const unsigned char* p, unsigned int size) { return ReadInt64(p, size); }

Rational ReadRational(const unsigned char* p, unsigned int size) {
  Rational r;
  r.numerator = ReadUint32(p, size);
  r.denominator = ReadUint32(p + 4, size >= 4 ? size - 4 : 0);
  return r;
}

TimeStamp ReadTimeStamp(const unsigned char* p, unsigned int size) {
  TimeStamp t;
  t.year = ReadUint16(p, size);
  uint8_t* fields[] = {&t.month, &t.day, &t.hour, &t.minute, &t.second, &t.quarterMillisecond};
  unsigned int at = 2;
  for (uint8_t* field : fields) {
    *field = ReadUint8(p + at, size > at ? size - at : 0);
    ++at;
  }
  return t;
}

std::wstring ReadUtf16(const unsigned char* p, unsigned int size) {
  std::wstring text;
  text.reserve(size / 2);
  for (unsigned int i = 0; i + 1 < size; i += 2) text.push_back(static_cast<wchar_t>(p[i] << 8 | p[i + 1]));
  return text;
}

std::wstring ReadUtf8(const unsigned char* p, unsigned int size) {
  return TextEncoding::Unicode::get8(std::string(reinterpret_cast<const char*>(p), size));
}

std::vector<std::string> ReadArray(const unsigned char* p, unsigned int size) {
  QEL_CHECK_TRUE(size >= 8, "buffer is too small to be a valid mxf array");
  const uint32_t count = ReadUint32(p, size);
  const uint32_t itemSize = ReadUint32(p + 4, size - 4);
  // The product is taken in 64 bits so that a huge count cannot wrap into a
  // small size, and an item is counted as one byte at least so that a count
  // of empty items can never exceed the bytes that carry the batch.
  const uint64_t total = uint64_t(count) * (itemSize ? itemSize : 1);
  QEL_CHECK_TRUE(total <= size - 8, "buffer is too small to correspond with mxf array description");
  std::vector<std::string> items;
  items.reserve(count);
  for (uint32_t i = 0; i < count; ++i)
    items.emplace_back(reinterpret_cast<const char*>(p + 8 + uint64_t(i) * itemSize), itemSize);
  return items;
}

}  // namespace MxfUtils
