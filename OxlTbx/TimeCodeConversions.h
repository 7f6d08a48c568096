#pragma once
// Conversions between timecodes and seconds, milliseconds, byte counts of a
// constant bit rate, and packed SMPTE BCD words (hh mm ss ff, tens in the
// high nibble).
#include "OxlTbx/TimeCode.h"

// Real time of the count (and its hundredths when used); 0 without value.
double TC2sec(const CTimeCode& tc);
double TC2ms(const CTimeCode& tc);

// The field at `seconds`, rounded down after adding 0.0099 field, with the
// hundredths kept when useDecimals. Negative, non-finite or too large input
// gives a timecode without value.
CTimeCode sec2TC(double seconds, OxlTbx::VideoSystem system, bool useDecimals = false);
CTimeCode ms2TC(double ms, OxlTbx::VideoSystem system, bool useDecimals = false);

// Bytes up to the timecode at bitRate bits per second; 0 without value.
unsigned long TC2Bytes(const CTimeCode& tc, unsigned long bitRate);
// Timecode at a byte offset, without decimals; a zero bit rate gives a
// timecode without value.
CTimeCode Bytes2TC(unsigned long bytes, unsigned long bitRate, OxlTbx::VideoSystem system);
// 0 for a zero bit rate.
double Bytes2ms(unsigned long bytes, unsigned long bitRate);
// Whole milliseconds only; 0 for negative or non-finite ms, saturating
// where the product would not fit.
unsigned long ms2Bytes(double ms, unsigned long bitRate);

// Packs a field count without drop-frame counting; hours modulo 100, frames
// are the field in the second halved.
unsigned int DWORD2SMPTE(unsigned int fields, OxlTbx::VideoSystem system);
// Field count of a packed word: 25 frames/s for PAL, 30 for every other system.
unsigned int SMPTE2DWORD(unsigned int smpte, OxlTbx::VideoSystem system);

namespace OxlTbx {
// BCD word of h:m:s:f; each part is taken modulo 100.
unsigned int PackSmpte(unsigned int h, unsigned int m, unsigned int s, unsigned int f);
void UnpackSmpte(unsigned int smpte, unsigned int& h, unsigned int& m, unsigned int& s, unsigned int& f);
}  // namespace OxlTbx
