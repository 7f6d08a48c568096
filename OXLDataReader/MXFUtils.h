#pragma once
// Typed big-endian readers of MXF property values.
//
// Each reader takes a pointer to the value and the number of bytes available
// from it, checks that the value fits, and decodes it. A value that does not
// fit is a failed check: logged at error level and thrown as
// qel::QELRuntimeError ("[unable to read uint16, bad mxf buffer size] [ Condition is not true ]").
#include <cstdint>
#include <string>
#include <vector>

namespace MxfUtils {

struct Rational {
  uint32_t numerator = 0;
  uint32_t denominator = 0;
};

struct TimeStamp {
  uint16_t year = 0;
  uint8_t month = 0, day = 0, hour = 0, minute = 0, second = 0, quarterMillisecond = 0;
};

uint8_t ReadUint8(const unsigned char* p, unsigned int size);
bool ReadBool(const unsigned char* p, unsigned int size);
int16_t ReadInt16(const unsigned char* p, unsigned int size);
uint16_t ReadUint16(const unsigned char* p, unsigned int size);
// Major version in the high byte, minor in the low.
uint16_t ReadVersionType(const unsigned char* p, unsigned int size);
uint32_t ReadUint32(const unsigned char* p, unsigned int size);
int64_t ReadInt64(const unsigned char* p, unsigned int size);
// An edit-unit position and a length: plain 64-bit values.
int64_t ReadPosition(const unsigned char* p, unsigned int size);
int64_t Readlength(const unsigned char* p, unsigned int size);
Rational ReadRational(const unsigned char* p, unsigned int size);
TimeStamp ReadTimeStamp(const unsigned char* p, unsigned int size);
// size / 2 UTF-16 code units, high byte first; an odd last byte is ignored.
std::wstring ReadUtf16(const unsigned char* p, unsigned int size);
std::wstring ReadUtf8(const unsigned char* p, unsigned int size);
// An MXF batch: 32-bit item count, 32-bit item size, then the items.
std::vector<std::string> ReadArray(const unsigned char* p, unsigned int size);

}  // namespace MxfUtils
