#include "MovieSummary.h"

#include <cmath>
#include <cstdarg>
#include <cstdio>

#include "ProbeError.h"

namespace oxlprobe {
namespace {

using Json = nlohmann::ordered_json;

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

const char* AudioCodecName(unsigned int codec) {
  switch (codec) {
    case qel::audio_codec_pcm: return "PCM";
    case qel::audio_codec_aac: return "AAC";
    default: return "unknown";
  }
}

// Broadcast text of a field count, with ';' before the frames in drop frame.
std::string TimecodeText(unsigned long fields, OxlTbx::VideoSystem system) {
  return CTimeCode(fields, system).GetStr(6);
}

double Seconds(int64_t units, uint32_t timescale) {
  return timescale ? double(units) / timescale : 0.0;
}

Json TrackJson(const CQTMediaTrack& track) {
  Json j;
  j["id"] = track.GetTrackId();
  j["handler"] = track.GetTrackType();
  j["format"] = track.GetDataFormat();
  j["timescale"] = track.GetMediaTimescale();
  j["duration"] = track.GetMediaDuration();
  j["duration_seconds"] = Seconds(track.GetMediaDuration(), track.GetMediaTimescale());
  j["sample_count"] = track.GetSampleCount();
  j["reference"] = track.IsReference();
  j["referenced_file"] =
      track.IsReference() ? Json(TextEncoding::UTF8::get(track.GetReferenceFileName())) : Json(nullptr);
  return j;
}

// Frames per second from the duration of the track's first sample, to the
// thousandth; null for a track without samples.
Json FrameRate(CQTMediaTrack& track) {
  const std::shared_ptr<IQtSampleIndex> first = track.FindFirstSample();
  const std::shared_ptr<IQtSample> sample = first && !first->IsOutOfBounds() ? first->GetSample() : nullptr;
  const double duration = sample ? sample->GetSampleDuration() : 0.0;
  if (!(duration > 0)) return nullptr;
  return std::round(1000.0 / duration) / 1000.0;
}

Json VideoJson(CQTDataReader& reader, CQTMediaTrack& track) {
  OXLDataReader::VIDEO_INFO info{};
  if (!reader.GetVideoInfo(info)) return nullptr;
  Json j;
  j["track_id"] = track.GetTrackId();
  j["width"] = info.Width;
  j["height"] = info.Height;
  j["scan"] = info.Progressive ? "progressive" : "interlaced";
  j["aspect"] = Named("code", info.AspectRatio, AspectName(info.AspectRatio));
  j["resolution"] = Named("class", static_cast<unsigned int>(info.Resolution), ResolutionName(info.Resolution));
  j["frame_rate"] = FrameRate(track);
  j["system_rate"] = qel::ToString(reader.GetSystemEditRate());
  return j;
}

Json InOutJson(CQTDataReader& reader) {
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

Json AudioJson(const std::vector<std::shared_ptr<CQTMediaTrack>>& tracks) {
  Json streams = Json::array();
  for (const std::shared_ptr<CQTMediaTrack>& track : tracks) {
    uint32_t channels = 0;
    qel::audio_codec codec = qel::audio_codec_unknown;
    if (!track->IsTrackType("soun") || !track->GetAudioInfo(channels, codec)) continue;
    streams.push_back(Json{{"track_id", track->GetTrackId()},
                           {"rate", track->GetMediaTimescale()},
                           {"channels", channels},
                           {"codec", Named("value", codec, AudioCodecName(codec))}});
  }
  return streams;
}

bool HasTrack(const std::vector<std::shared_ptr<CQTMediaTrack>>& tracks, const char* handler) {
  for (const std::shared_ptr<CQTMediaTrack>& track : tracks) {
    if (track->IsTrackType(handler)) return true;
  }
  return false;
}

}  // namespace

nlohmann::ordered_json SummarizeMovie(const MovieFile& movie) {
  std::unique_ptr<CQTDataReader> reader = movie.OpenVideoOrAudioReader();
  const std::vector<std::shared_ptr<CQTMediaTrack>>& tracks = reader->GetMediaTracks();
  for (const std::shared_ptr<CQTMediaTrack>& track : tracks) movie.CheckSamplesInFile(*track);
  const std::shared_ptr<CQTMediaTrack>& active = reader->GetActiveTrack();
  const bool video = active && active->IsTrackType("vide");

  Json j;
  j["file"] = movie.path();
  j["file_size"] = movie.size();
  const qel::FileType type = movie.GuessFileType();
  j["container"] = Named("file_type", type, OXLDataReader::GetFileTypeStr(type));
  const OXLDataReader::VideoDataType codec = reader->GetVideoCodec();
  j["video_data_type"] = Named("value", codec, OXLDataReader::GetVideoDataTypeStr(codec));
  j["tracks"] = Json::array();
  for (const std::shared_ptr<CQTMediaTrack>& track : tracks) j["tracks"].push_back(TrackJson(*track));
  j["video"] = video ? VideoJson(*reader, *active) : Json(nullptr);
  const OxlTbx::VideoSystem system = reader->GetVideoSystem();
  j["video_system"] = video ? Named("value", system, OxlTbx::Sys_String[system]) : Json(nullptr);
  j["in_out"] = InOutJson(*reader);
  j["start_timecode"] = TimecodeText(reader->GetStartTimecode(), system);
  j["timecode_track"] = HasTrack(tracks, "tmcd");
  j["audio"] = AudioJson(tracks);
  return j;
}

namespace {

std::string Format(const char* format, ...) __attribute__((format(printf, 1, 2)));
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

// "17 (low resolution, below 288 lines)": a name that is a phrase goes in brackets.
std::string NamedPhrase(const Json& named, const char* key) {
  return Str(named[key]) + " (" + Str(named["name"]) + ")";
}

std::string TracksText(const Json& tracks) {
  std::string text = Line("Tracks", Format("%5s  %-7s  %-6s  %9s  %22s  %9s  %s", "ID", "Handler", "Format",
                                           "Timescale", "Duration", "Samples", "Reference"));
  for (const Json& t : tracks) {
    const std::string duration = Format("%s (%.3f s)", Str(t["duration"]).c_str(), t["duration_seconds"].get<double>());
    const std::string reference = t["reference"].get<bool>() ? "yes: " + Str(t["referenced_file"]) : "no";
    text += Line("", Format("%5s  %-7s  %-6s  %9s  %22s  %9s  %s", Str(t["id"]).c_str(), Str(t["handler"]).c_str(),
                            Str(t["format"]).c_str(), Str(t["timescale"]).c_str(), duration.c_str(),
                            Str(t["sample_count"]).c_str(), reference.c_str()));
  }
  return text;
}

std::string VideoText(const Json& v) {
  if (v.is_null()) return Line("Video", "none");
  const std::string rate = v["frame_rate"].is_null() ? "no samples" : Format("%g fps", v["frame_rate"].get<double>());
  return Line("Video", Format("%sx%s %s, aspect %s, resolution %s, %s, system rate %s", Str(v["width"]).c_str(),
                              Str(v["height"]).c_str(), Str(v["scan"]).c_str(), Str(v["aspect"]["name"]).c_str(),
                              NamedPhrase(v["resolution"], "class").c_str(), rate.c_str(),
                              Str(v["system_rate"]).c_str()));
}

std::string InOutText(const Json& io) {
  if (io.is_null()) return Line("In / out", "unknown");
  if (io["unit"] == "fields") {
    return Line("In / out", Format("%s / %s (fields %s to %s)", Str(io["in_timecode"]).c_str(),
                                   Str(io["out_timecode"]).c_str(), Str(io["in"]).c_str(), Str(io["out"]).c_str()));
  }
  return Line("In / out", Format("%s ms / %s ms", Str(io["in"]).c_str(), Str(io["out"]).c_str()));
}

std::string AudioText(const Json& audio) {
  if (audio.empty()) return Line("Audio", "none");
  std::string text;
  for (const Json& a : audio) {
    text += Line(text.empty() ? "Audio" : "", Format("track %s: %s Hz, %s channels, %s", Str(a["track_id"]).c_str(),
                                                     Str(a["rate"]).c_str(), Str(a["channels"]).c_str(),
                                                     Str(a["codec"]["name"]).c_str()));
  }
  return text;
}

}  // namespace

std::string SummaryText(const nlohmann::ordered_json& s) {
  std::string text = Line("File", Str(s["file"]) + " (" + Str(s["file_size"]) + " bytes)");
  text += Line("Container", NamedText(s["container"], "file_type"));
  text += Line("Video type", NamedText(s["video_data_type"], "value"));
  text += TracksText(s["tracks"]);
  text += VideoText(s["video"]);
  text += Line("Video system", s["video_system"].is_null() ? "none" : NamedText(s["video_system"], "value"));
  text += InOutText(s["in_out"]);
  text += Line("Start timecode",
               Str(s["start_timecode"]) + (s["timecode_track"].get<bool>() ? "" : " (no timecode track)"));
  text += AudioText(s["audio"]);
  return text;
}

}  // namespace oxlprobe
