#include "MovieSummary.h"

#include <cmath>
#include <cstdarg>
#include <cstdio>

#include "ProbeError.h"
#include "SummaryParts.h"

namespace oxlprobe {
namespace {

const char* AudioCodecName(unsigned int codec) {
  switch (codec) {
    case qel::audio_codec_pcm: return "PCM";
    case qel::audio_codec_aac: return "AAC";
    default: return "unknown";
  }
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

nlohmann::ordered_json SummarizeMovie(const MovieFile& movie, const ClipIdentity& id) {
  std::unique_ptr<CQTDataReader> reader = movie.OpenVideoOrAudioReader();
  const std::vector<std::shared_ptr<CQTMediaTrack>>& tracks = reader->GetMediaTracks();
  for (const std::shared_ptr<CQTMediaTrack>& track : tracks) movie.CheckSamplesInFile(*track);
  const std::shared_ptr<CQTMediaTrack>& active = reader->GetActiveTrack();
  const bool video = active && active->IsTrackType("vide");

  Json j = IdentitySummary(movie, id);
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
  std::string text = IdentityText(s);
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
