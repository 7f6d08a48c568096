#pragma once
// Pieces shared by the summaries of QuickTime and MXF files: named values,
// timecode text, in and out points, and the text layout of the summary.
#include <string>

#include <nlohmann/json.hpp>

#include "oxl.h"

namespace oxlprobe {

using Json = nlohmann::ordered_json;

// {key: value, "name": name}
Json Named(const char* key, unsigned int value, const std::string& name);
const char* AspectName(unsigned int code);
const char* ResolutionName(int resolution);
// Broadcast text of a field count, with ';' before the frames in drop frame.
std::string TimecodeText(unsigned long fields, OxlTbx::VideoSystem system);
// The reader's in and out points, null when it has none.
Json InOutJson(COXLDataReader& reader);

std::string Format(const char* format, ...) __attribute__((format(printf, 1, 2)));
// A JSON string as it is, any other value as JSON text.
std::string Str(const Json& value);
// One line of the summary: a title column, then the text.
std::string Line(const char* title, const std::string& text);
// "3 PAL"
std::string NamedText(const Json& named, const char* key);
// "17 (low resolution, below 288 lines)": a name that is a phrase goes in brackets.
std::string NamedPhrase(const Json& named, const char* key);
std::string InOutText(const Json& io);

}  // namespace oxlprobe
