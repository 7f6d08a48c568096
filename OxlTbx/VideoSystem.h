#pragma once
// Video systems of broadcast timecode and their per-system constants.
//
// The numeric values are stored in files and passed between tools, so they
// never change. Every table lookup with a value outside 1..9 reads the entry
// of system 0 (the invalid system), so a corrupt value can never index out of
// bounds.
#include <cstdint>

namespace OxlTbx {

enum VideoSystem : uint32_t {
  VS_Invalid = 0,
  VS_24Drop = 1,          // 23.976 frames/s (24 x 1000/1001), counted without dropping
  VS_24 = 2,              // 24 frames/s
  VS_PAL = 3,             // 25 frames/s, two fields per frame
  VS_NTSCDrop = 4,        // 29.97 frames/s, drop-frame counting
  VS_NTSCNoDrop = 5,      // 29.97 frames/s, plain counting
  VS_FieldPAL = 6,        // 50 frames/s progressive: one field per frame
  VS_FieldNTSCDrop = 7,   // 59.94 frames/s progressive, drop-frame counting
  VS_FieldNTSCNoDrop = 8, // 59.94 frames/s progressive, plain counting
  VS_25 = 9,              // 25 frames/s, compatible with no other system
};

constexpr uint32_t VideoSystemCount = 10;

// True for the systems 1..9.
constexpr bool IsKnownVideoSystem(uint32_t system) { return system >= 1 && system <= 9; }

// The system itself when known, else VS_Invalid.
constexpr VideoSystem ToVideoSystem(uint32_t system) {
  return IsKnownVideoSystem(system) ? static_cast<VideoSystem>(system) : VS_Invalid;
}

// A constant per system, read with table[system].
template <typename T>
struct VideoSystemTable {
  T values[VideoSystemCount];
  constexpr const T& operator[](uint32_t system) const { return values[ToVideoSystem(system)]; }
};

// Display names.
inline constexpr VideoSystemTable<const char*> Sys_String{{"25 [0]", "24 Drop", "24", "PAL", "NTSC Drop",
                                                           "NTSC No Drop", "Field-PAL", "Field-NTSC Drop",
                                                           "Field-NTSC No Drop", "25 [9]"}};
// Nominal field rate in fields per second; timecode counting uses it.
inline constexpr VideoSystemTable<unsigned int> Field_Rate{{50, 48, 48, 50, 60, 60, 50, 60, 60, 50}};
inline constexpr VideoSystemTable<unsigned int> Fields_Frame{{2, 2, 2, 2, 2, 2, 1, 1, 1, 2}};
// Real fields per second.
inline constexpr VideoSystemTable<double> Fields_Per_Second{
    {50.0, 48000.0 / 1001.0, 48.0, 50.0, 59.94, 59.94, 50.0, 59.94, 59.94, 50.0}};
// Real duration of one field and of one frame, in seconds.
inline constexpr VideoSystemTable<double> Field_Time{{1.0 / 50, 1001.0 / 48000, 1.0 / 48, 1.0 / 50,
                                                      1001.0 / 60000, 1001.0 / 60000, 1.0 / 50,
                                                      1001.0 / 60000, 1001.0 / 60000, 1.0 / 50}};
inline constexpr VideoSystemTable<double> Frame_Time{{1.0 / 25, 1001.0 / 24000, 1.0 / 24, 1.0 / 25,
                                                      1001.0 / 30000, 1001.0 / 30000, 1.0 / 50,
                                                      1001.0 / 60000, 1001.0 / 60000, 1.0 / 25}};
// Fields in one day of timecode (24:00:00:00).
inline constexpr VideoSystemTable<unsigned int> Max_Fields{
    {4320000, 4147200, 4147200, 4320000, 5178816, 5184000, 4320000, 5178816, 5184000, 4320000}};
inline constexpr VideoSystemTable<bool> Drop_Frame{
    {false, false, false, false, true, false, false, true, false, false}};
// Separator between seconds and frames in timecode text.
inline constexpr VideoSystemTable<char> Format_Sep{{':', ':', ':', ':', ';', ':', ':', ';', ':', ':'}};

}  // namespace OxlTbx
