// What a CQTMediaTrack tells of its media: codec, video description, video
// system and audio format.
#include <cmath>
#include <cstring>
#include <exception>
#include <stdexcept>

#include "OXLDataReader/OXL_QuickTime/QTAtom.h"
#include "OXLDataReader/OXL_QuickTime/QTMediaTrack.h"
#include "OXLDataReader/OXL_QuickTime/QTUtils.h"
#include "qelCore/Check.h"

using namespace OXLDataReader;

namespace {

struct CodecEntry {
  const char* format;
  size_t length;  // characters compared: 4, or 3 for a prefix ("apc", "mx") family
  VideoDataType type;
};

// Tested in this order; prefix families are resolved separately.
const CodecEntry kCodecs[] = {
    {"dvc ", 4, DV25_Video},         {"dvcp", 4, DV25_Video},         {"dv5p", 4, DVCPro50_Video},
    {"dv5n", 4, DVCPro50_Video},     {"dvpp", 4, DVCPro25_Video},     {"dvpn", 4, DVCPro25_Video},
    {"AVdv", 4, DVCPro25_Video},     {"mjpa", 4, Mjpeg_Video},        {"jpeg", 4, MjpegFrame_Video},
    {"dvh5", 4, DVCPro100_Video},    {"dvh6", 4, DVCPro100_Video},    {"dvhp", 4, DVCPro720P_Video},
    {"dvhq", 4, DVCPro720P_Video},   {"AVmp", 4, IMX50_Video},        {"rle ", 4, RLE_Graphical},
    {"tga ", 4, TGA_Video},          {"avc1", 4, H264_Video},         {"ai12", 4, AVC_I_100},
    {"ai13", 4, AVC_I_100},          {"ai15", 4, AVC_I_100},          {"ai16", 4, AVC_I_100},
    {"ai1p", 4, AVC_I_100},          {"ai1q", 4, AVC_I_100},          {"AVin", 4, AVC_I_100},
    {"ai55", 4, AVC_I_50_1080i_Video}, {"ai56", 4, AVC_I_50_1080i_Video}, {"ai5p", 4, AVC_I_50_1080i_Video},
    {"ai5q", 4, AVC_I_50_1080i_Video}, {"xd5a", 4, HDV_Video},        {"xd59", 4, HDV_Video},
    {"xd5b", 4, HDV_Video},          {"xd5c", 4, HDV_Video},
};

VideoDataType ImxCodec(char c) {
  if (c == '5') return IMX50_Video;
  if (c == '4') return IMX40_Video;
  if (c == '3') return IMX30_Video;
  return Unknown_Video;
}

VideoDataType ProResCodec(char c) {
  if (c == 'h') return ProResHigh_Video;
  if (c == 's') return ProResLT_Video;
  if (c == 'o') return ProResProxy_Video;
  return ProRes_Video;
}

bool SameRate(const qel::EditRate& a, double value) { return std::fabs(a.ToDouble() - value) <= 0.00006; }

}  // namespace

VideoDataType CQTMediaTrack::GetVideoCodec() {
  if (m_StsdCopy.size() < 24) return Unknown_Video;
  const char* f = m_StsdCopy.data() + 20;
  if (std::memcmp(f, "mx", 2) == 0) return ImxCodec(f[2]);
  if (std::memcmp(f, "apc", 3) == 0) return ProResCodec(f[3]);
  if (std::memcmp(f, "mp4v", 4) == 0) return GetMp4vCodec();
  if (std::memcmp(f, "AVdn", 4) == 0) {
    auto first = FindFirstSample();
    const bool high = first && !first->IsOutOfBounds() &&
                      (first->GetSample()->GetSampleSize() == 458752 || first->GetSample()->GetSampleSize() == 917504);
    return high ? DNxHDHigh_Video : DNxHD_Video;
  }
  for (const CodecEntry& entry : kCodecs)
    if (std::memcmp(f, entry.format, entry.length) == 0) return entry.type;
  return Unknown_Video;
}

// MPEG-2 video (object types 0x60-0x65) or else MPEG-4 part 2.
VideoDataType CQTMediaTrack::GetMp4vCodec() const {
  const size_t found = m_StsdCopy.find("esds");
  if (found == std::string::npos || found < 4) return MP4ART_Video;
  const unsigned char* esds = reinterpret_cast<const unsigned char*>(m_StsdCopy.data()) + found - 4;
  const uint64_t available = m_StsdCopy.size() - (found - 4);
  const uint64_t size = std::min<uint64_t>(QTUtils::Read32(esds), available);
  // An ES descriptor (tag 3) at byte 12 with more than 5 bytes from there, whose
  // decoder configuration (tag 4) at byte 17 has more than 4: size 22 at least.
  if (size < 22 || esds[12] != 3 || esds[17] != 4) return MP4ART_Video;
  const uint8_t objectType = esds[19];
  return objectType >= 0x60 && objectType <= 0x65 ? MPEG2_Video : MP4ART_Video;
}

int CQTMediaTrack::GetVideoChroma() { return GetVideoCodec() == HDV_Video ? 2 : 0; }

bool CQTMediaTrack::GetSystemFromSampleTime(double& duration, qel::EditRate& rate) {
  auto first = m_TrackIndex.FindSampleIndex(0.0);
  const bool any = first && !first->IsOutOfBounds() && HasSamples();
  const double sampleDuration = any ? first->GetSample()->GetSampleDuration() : 0.0;
  const qel::EditRate candidates[] = {{25, 1}, {2997, 100}, {50, 1}, {5994, 100}};
  double best = 1.0;
  qel::EditRate chosen(25, 1);
  for (const auto& candidate : candidates) {
    const double frame = qel::GetFrameTime(candidate);
    const double difference = std::fabs(sampleDuration - frame) / frame;
    if (difference < best) {
      best = difference;
      chosen = candidate;
    }
  }
  if (best >= 0.1) chosen = qel::EditRate(25, 1);
  duration = qel::GetFrameTime(chosen);
  if (SameRate(chosen, 25.0) || SameRate(chosen, 29.97)) duration /= 2;
  m_SystemEditRate = chosen;
  rate = chosen;
  return best < 0.1;
}

OXLDataReader::VideoResolution CQTMediaTrack::ResolutionOf(uint32_t height, uint8_t& aspect) const {
  if (height == 2160) return UHD_2160;
  if (height > 719) {
    aspect = 3;
    return height < 1080 ? HD_720 : HD_1080;
  }
  if (height >= 576) return SD_625;
  if (height >= 480) return SD_525;
  if (height >= 288) return LowRes_288;
  return LowRes_240;
}

// 16:9 (3) or 4:3 (2) from the pixel aspect ratio of a standard-definition picture.
uint8_t CQTMediaTrack::SdAspectRatio(uint32_t width, uint32_t height) const {
  const size_t found = m_StsdCopy.find("pasp");
  if (found == std::string::npos || found + 12 > m_StsdCopy.size() || height == 0) return 0;
  const unsigned char* p = reinterpret_cast<const unsigned char*>(m_StsdCopy.data()) + found + 4;
  const double h = QTUtils::Read32(p), v = QTUtils::Read32(p + 4);
  if (v == 0) return 0;
  const double ratio = width * h / (v * height);
  if (std::fabs(ratio - 16.0 / 9.0) <= 0.1) return 3;
  if (std::fabs(ratio - 4.0 / 3.0) <= 0.1) return 2;
  return 0;
}

bool CQTMediaTrack::IsProgressiveFromDescription(const QTReader::CVideoSampleDescription& video, bool& known) const {
  auto extension = video.GetExtension(QTReader::AtomType("fiel"));
  auto fiel = std::dynamic_pointer_cast<const QTReader::VideoSampleDescriptionExtensionFiel>(extension);
  known = fiel != nullptr;
  return fiel && fiel->GetFieldCount() == 1;
}

bool CQTMediaTrack::GetVideoInfo(VIDEO_INFO& info) {
  if (m_VideoInfo.VideoType != Unknown_Video) {
    info = m_VideoInfo;
    return true;
  }
  if (m_StsdAtom.m_Entries.empty() || m_StsdCopy.size() < 52) return false;
  const auto* video = dynamic_cast<const QTReader::CVideoSampleDescription*>(m_StsdAtom.m_Entries.front().get());
  if (!video) return false;
  VIDEO_INFO result{};
  bool known = false;
  result.Progressive = IsProgressiveFromDescription(*video, known);
  if (!known) {
    if (m_SystemEditRate.IsEmpty()) {
      double duration;
      qel::EditRate rate;
      GetSystemFromSampleTime(duration, rate);
    }
    result.Progressive = SameRate(m_SystemEditRate, 59.94) || SameRate(m_SystemEditRate, 50.0);
  }
  result.VideoType = GetVideoCodec();
  result.Chroma = GetVideoChroma();
  result.Width = video->m_wWidth;
  result.Height = video->m_wHeight;
  const std::string format = GetDataFormat();
  // Graphics tracks carry their bit depth (32 with alpha) in the graphics flag.
  if ((format == "rle " || format == "tga ") && m_StsdCopy.size() >= 100)
    result.GraphicsFlag = static_cast<uint8_t>(video->m_wDepth);
  result.Resolution = ResolutionOf(result.Height, result.AspectRatio);
  if (IsSDVideo(result.Resolution)) result.AspectRatio = SdAspectRatio(result.Width, result.Height);
  result.EditRate = m_SystemEditRate;
  m_VideoInfo = result;
  info = result;
  return true;
}

// Asked at every delivery (AAC times): parsed once per sample description.
bool CQTMediaTrack::GetAudioInfo(uint32_t& channels, qel::audio_codec& codec) {
  if (!m_AudioInfo.known) {
    m_AudioInfo.found = ParseAudioInfo(m_AudioInfo.channels, m_AudioInfo.codec);
    m_AudioInfo.known = true;
  }
  if (!m_AudioInfo.found) return false;
  channels = m_AudioInfo.channels;
  codec = m_AudioInfo.codec;
  return true;
}

bool CQTMediaTrack::ParseAudioInfo(uint32_t& channels, qel::audio_codec& codec) const {
  if (m_HandlerType != "soun" || m_StsdCopy.empty()) return false;
  try {
    QTReader::CStsdAtom stsd;
    const unsigned char* cursor = reinterpret_cast<const unsigned char*>(m_StsdCopy.data());
    QTReader::initStsdAtom(cursor, static_cast<unsigned int>(m_StsdCopy.size()), stsd, m_HandlerType);
    if (stsd.m_Entries.empty()) return false;
    const auto* audio = dynamic_cast<const QTReader::CAudioSampleDescription*>(stsd.m_Entries.front().get());
    if (!audio) return false;
    codec = audio->GetAudioCodec();
    channels = audio->GetNumberOfChannels();
    return true;
  } catch (const std::exception&) {
    return false;
  }
}

std::shared_ptr<qel::IAudioParameters> CQTMediaTrack::GetAudioParameters() {
  if (m_HandlerType != "soun") throw std::runtime_error("Invalid track type");
  if (m_StsdCopy.empty()) throw std::runtime_error("No descriptor");
  if (m_StsdAtom.m_Entries.empty()) throw std::runtime_error("no sample descriptor.");
  const auto* audio = dynamic_cast<const QTReader::CAudioSampleDescription*>(m_StsdAtom.m_Entries.front().get());
  if (!audio) throw std::runtime_error("no sample descriptor.");
  return audio->GetAudioParameters();
}

uint32_t CQTMediaTrack::ReadUniqueSampleSizeFromAudioDescriptor(const unsigned char* stsd, unsigned long size) {
  try {
    QTReader::CStsdAtom parsed;
    const unsigned char* cursor = stsd;
    QTReader::initStsdAtom(cursor, static_cast<unsigned int>(size), parsed, "soun");
    for (const auto& entry : parsed.m_Entries)
      if (const auto* audio = dynamic_cast<const QTReader::CAudioSampleDescription*>(entry.get()))
        return audio->GetBytesPerFrame();
  } catch (const std::exception&) {
  }
  return 0;
}

unsigned int CQTMediaTrack::GetDataBufferSize() {
  auto first = FindFirstSample();
  if (!first || first->IsOutOfBounds()) QEL_FAIL("invalid Media Track, no data available");
  return first->GetSample()->GetSampleSize();
}

bool CQTMediaTrack::HasSamples() {
  auto last = m_TrackIndex.FindLastSampleIndex();
  return last && !last->IsOutOfBounds();
}
