#pragma once
// Timecode text: writing the GetStr forms and reading "hh:mm:ss:ff" text.
// Used by CTimeCode; works on already split parts so it knows no counting.
#include <cstddef>

#include "OxlTbx/VideoSystem.h"

namespace OxlTbx {

// Size of every timecode text buffer, terminator included.
constexpr size_t TimeCodeTextSize = 71;

// A timecode split for display.
struct TimeCodeParts {
  unsigned int days = 0;
  unsigned int hours = 0;  // within the day
  unsigned int minutes = 0;
  unsigned int seconds = 0;
  unsigned int frames = 0;  // frames of the system (fields in the progressive systems)
  bool secondField = false;
};

// Writes the text of `parts` for a GetStr format code into out, which holds
// TimeCodeTextSize bytes, and returns its length.
//
// Kinds (format & 15): 1 "hh:mm:ss;ff" + ' ' or '*' (second field), 2 the same
// with a trailing ' ', 3 "hh:mm:ss", 4 total seconds "000000s", 5 "hhhmmm",
// 6 "hh:mm:ss;ff", 7 as 6 with unhalved frames, 9 the system name. Flags: 16
// day count in front ("dd." or "dd" before kind 4) with hours of the day,
// 256 system name and a blank in front, 4096 hours of the day without the day
// count; without them hours include whole days. Accepted codes: 1-7, 9, 17-22,
// 257-262, 273-278, 4097-4102; every other code prints the system name, a
// blank and the kind 2 text.
//
// Systems 6 and above print frame pairs: the frame number halved, and as the
// trailing character '.' (kind 2) or '*' (kind 1) for the odd frame of a pair.
size_t FormatTimeCode(char* out, const TimeCodeParts& parts, VideoSystem system, unsigned int format);

// Reads text as the C library's sscanf reads "%u:%u:%u%c%u%c" (hours,
// minutes, seconds, separator, frames, trailing character). Whatever the text
// does not hold counts as 0, so text that is no timecode reads as 00:00:00:00;
// nothing is range-checked (SetHMSF takes what comes). In systems 6 and above
// the frame number is a printed pair: doubled, plus one when the trailing
// character is '.'. At most TimeCodeTextSize - 1 characters are read; null
// reads as empty text.
void ParseTimeCode(const char* text, VideoSystem system, TimeCodeParts& parts);

}  // namespace OxlTbx
