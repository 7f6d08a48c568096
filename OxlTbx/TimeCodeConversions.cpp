#include "OxlTbx/TimeCodeConversions.h"

#include <cmath>

using OxlTbx::VideoSystem;

namespace {

// Largest double that still converts to an unsigned 64-bit count.
constexpr double kMaxCount = 18446744073709549568.0;

bool FitsCount(double x) { return x >= 0.0 && x <= kMaxCount; }

unsigned int Bcd(unsigned int v) { return (v % 100 / 10) << 4 | v % 10; }

unsigned int FromBcd(unsigned int byte) { return (byte >> 4 & 0x0F) * 10 + (byte & 0x0F); }

}  // namespace

namespace OxlTbx {

unsigned int PackSmpte(unsigned int h, unsigned int m, unsigned int s, unsigned int f) {
  return Bcd(h) << 24 | Bcd(m) << 16 | Bcd(s) << 8 | Bcd(f);
}

void UnpackSmpte(unsigned int smpte, unsigned int& h, unsigned int& m, unsigned int& s, unsigned int& f) {
  h = FromBcd(smpte >> 24);
  m = FromBcd(smpte >> 16 & 0xFF);
  s = FromBcd(smpte >> 8 & 0xFF);
  f = FromBcd(smpte & 0xFF);
}

}  // namespace OxlTbx

double TC2sec(const CTimeCode& tc) { return tc.GetSecond(); }

double TC2ms(const CTimeCode& tc) { return tc.GetSecond() * 1000.0; }

CTimeCode sec2TC(double seconds, VideoSystem system, bool useDecimals) {
  // The small offset absorbs the rounding of seconds that land on a field.
  const double x = seconds * OxlTbx::Fields_Per_Second[system] + 0.0099;
  if (!FitsCount(x)) return CTimeCode();
  double whole = 0.0;
  const double fraction = std::modf(x, &whole);
  return CTimeCode(static_cast<unsigned long>(whole), system, useDecimals ? static_cast<int>(fraction * 100) : -1);
}

CTimeCode ms2TC(double ms, VideoSystem system, bool useDecimals) { return sec2TC(ms / 1000.0, system, useDecimals); }

unsigned long TC2Bytes(const CTimeCode& tc, unsigned long bitRate) {
  if (!tc.HasValue()) return 0;
  const double bits = std::trunc(static_cast<double>(tc.GetFields()) * tc.GetFieldTime() * bitRate);
  return FitsCount(bits) ? static_cast<unsigned long>(bits) >> 3 : 0;
}

CTimeCode Bytes2TC(unsigned long bytes, unsigned long bitRate, VideoSystem system) {
  if (bitRate == 0) return CTimeCode();
  const double x = static_cast<double>(bytes) * 8.0 / bitRate * OxlTbx::Fields_Per_Second[system] + 0.001;
  if (!FitsCount(x)) return CTimeCode();
  return CTimeCode(static_cast<unsigned long>(x), system);
}

double Bytes2ms(unsigned long bytes, unsigned long bitRate) {
  return bitRate == 0 ? 0.0 : static_cast<double>(bytes) * 8000.0 / bitRate;
}

unsigned long ms2Bytes(double ms, unsigned long bitRate) {
  if (!FitsCount(ms)) return 0;
  const unsigned long whole = static_cast<unsigned long>(ms);
  if (bitRate != 0 && whole > CTimeCode::NoValue / bitRate) return CTimeCode::NoValue / 8000;  // saturate
  return whole * bitRate / 8000;
}

unsigned int DWORD2SMPTE(unsigned int fields, VideoSystem system) {
  const unsigned int rate = OxlTbx::Field_Rate[system];
  const unsigned int frames = fields % rate / 2;
  const unsigned int total = fields / rate;
  const unsigned int hours = total / 3600;
  return OxlTbx::PackSmpte(hours % 100, total / 60 - hours * 60, total % 60, frames);
}

unsigned int SMPTE2DWORD(unsigned int smpte, VideoSystem system) {
  unsigned int h, m, s, f;
  OxlTbx::UnpackSmpte(smpte, h, m, s, f);
  if (system == OxlTbx::VS_PAL) return h * 180000 + m * 3000 + (f + s * 25) * 2;
  return h * 216000 + m * 3600 + (f + s * 30) * 2;
}
