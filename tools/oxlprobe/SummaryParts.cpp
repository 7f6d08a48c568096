#include "SummaryParts.h"

#include <cstdarg>
#include <cstdio>

namespace oxlprobe {

Json Named(const char* key, unsigned int value, const std::string& name) {
  return Json{{key, value}, {"name", name}};
}

const char* AspectName(unsigned int code) {
  switch (code) {
    case 0: return "not given";
    case 2: return "4:3";
    case 3: return "16:9";
    default: return "unknown";
  }
}

const char* ResolutionName(int resolution) {
  switch (resolution) {
    case OXLDataReader::SD_525: return "SD 525 lines";
    case OXLDataReader::SD_625: return "SD 625 lines";
    case OXLDataReader::HD_720: return "HD 720";
    case OXLDataReader::HD_1080: return "HD 1080";
    case OXLDataReader::UHD_2160: return "2160 lines";
    case OXLDataReader::LowRes_240: return "low resolution, below 288 lines";
    case OXLDataReader::LowRes_288: return "low resolution, 288 to 479 lines";
    default: return "none";
  }
}

// Broadcast text of a field count, with ';' before the frames in drop frame.
std::string TimecodeText(unsigned long fields, OxlTbx::VideoSystem system) {
  return CTimeCode(fields, system).GetStr(6);
}

Json InOutJson(COXLDataReader& reader) {
  unsigned int in = 0, out = 0, system = 0;
  if (reader.GetInOut(&in, &out, &system) != 0) return nullptr;
  const bool fields = OxlTbx::IsKnownVideoSystem(system);
  Json j;
  j["unit"] = fields ? "fields" : "milliseconds";
  j["in"] = in;
  j["out"] = out;
  j["in_timecode"] = fields ? Json(TimecodeText(in, OxlTbx::ToVideoSystem(system))) : Json(nullptr);
  j["out_timecode"] = fields ? Json(TimecodeText(out, OxlTbx::ToVideoSystem(system))) : Json(nullptr);
  return j;
}

std::string Format(const char* format, ...) {
  char text[512];
  va_list args;
  va_start(args, format);
  std::vsnprintf(text, sizeof text, format, args);
  va_end(args);
  return text;
}

std::string Str(const Json& value) { return value.is_string() ? value.get<std::string>() : value.dump(); }

std::string Line(const char* title, const std::string& text) { return Format("%-16s%s\n", title, text.c_str()); }

std::string NamedText(const Json& named, const char* key) {
  return Str(named[key]) + " " + Str(named["name"]);
}

std::string NamedPhrase(const Json& named, const char* key) {
  return Str(named[key]) + " (" + Str(named["name"]) + ")";
}

std::string InOutText(const Json& io) {
  if (io.is_null()) return Line("In / out", "unknown");
  if (io["unit"] == "fields") {
    return Line("In / out", Format("%s / %s (fields %s to %s)", Str(io["in_timecode"]).c_str(),
                                   Str(io["out_timecode"]).c_str(), Str(io["in"]).c_str(), Str(io["out"]).c_str()));
  }
  return Line("In / out", Format("%s ms / %s ms", Str(io["in"]).c_str(), Str(io["out"]).c_str()));
}

}  // namespace oxlprobe
