#pragma once
// Framework descriptions of media: codec parameters, track layout, channel
// information, metadata, and the video description built from them.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "qelCore/EditRate.h"
#include "qelCore/MediaTime.h"

namespace qel {

// Video codec families; the numbers are fixed by the framework.
enum VCodecFamily : unsigned int {
  VCodecFamily_Unknown = 0,  // also still pictures
  VCodecFamily_Graphics = 1,
  VCodecFamily_ProRes = 2,
  VCodecFamily_DV = 3,
  VCodecFamily_DNxHD = 5,
  VCodecFamily_MJPEG = 6,
  VCodecFamily_MPEG1 = 7,
  VCodecFamily_MPEG2 = 8,
  VCodecFamily_AVC = 10,
};

enum ACodecFamily : unsigned int { ACodecFamily_PCM = 2, ACodecFamily_AAC = 3, ACodecFamily_Unknown = 1000 };

// Audio codec values of the framework: PCM 0, AAC 3, anything else 1000.
enum audio_codec : unsigned int { audio_codec_pcm = 0, audio_codec_aac = 3, audio_codec_unknown = 1000 };

enum ScanMode : unsigned int { ScanMode_Unknown = 0, ScanMode_Interlaced = 1, ScanMode_Progressive = 2 };

enum ContentType : unsigned int { ContentType_Unknown = 0, ContentType_Audio = 1, ContentType_Video = 2, ContentType_Data = 3 };

// How the channels of a track are laid out: 1 = one progressive frame, 2 = two fields.
enum TrackLayout : unsigned int { TrackLayout_Unknown = 0, TrackLayout_Frame = 1, TrackLayout_Fields = 2 };

class IVideoParameters {
 public:
  virtual ~IVideoParameters() = default;
  virtual VCodecFamily GetCodecFamily() const = 0;
  virtual void SetAspectRatio(uint8_t aspectRatio) = 0;  // 0 not given, 2 = 4:3, 3 = 16:9
  virtual uint8_t GetAspectRatio() const = 0;
  virtual void SetEditRate(const EditRate& rate) = 0;
  virtual EditRate GetEditRate() const = 0;
  virtual void SetScanMode(ScanMode mode) = 0;
  virtual ScanMode GetScanMode() const = 0;
  // Which field comes first in time; 0 = as the codec says.
  virtual void SetFieldDominance(unsigned int dominance) = 0;
  virtual unsigned int GetFieldDominance() const = 0;
  virtual void SetWidth(uint32_t width) = 0;
  virtual uint32_t GetWidth() const = 0;
  virtual void SetHeight(uint32_t height) = 0;
  virtual uint32_t GetHeight() const = 0;
  // Size of the raster the picture belongs to (720x576 for any 625-line picture).
  virtual void SetNominalWidth(uint32_t width) = 0;
  virtual uint32_t GetNominalWidth() const = 0;
  virtual void SetNominalHeight(uint32_t height) = 0;
  virtual uint32_t GetNominalHeight() const = 0;
};

class IAudioParameters {
 public:
  virtual ~IAudioParameters() = default;
  virtual ACodecFamily GetCodecFamily() const = 0;
  virtual void SetSampleRate(uint32_t rate) = 0;
  virtual uint32_t GetSampleRate() const = 0;
  virtual void SetChannelCount(uint32_t count) = 0;
  virtual uint32_t GetChannelCount() const = 0;
  virtual void SetBitsPerSample(uint32_t bits) = 0;
  virtual uint32_t GetBitsPerSample() const = 0;
  // PCM layout: 1 little-endian, 2 big-endian; 0 not given.
  virtual void SetEndianness(uint32_t endianness) = 0;
  virtual uint32_t GetEndianness() const = 0;
  // Bytes that hold one sample of one channel (3 for 24-bit).
  virtual void SetBytesPerSample(uint8_t bytes) = 0;
  virtual uint8_t GetBytesPerSample() const = 0;
  // 1 mono, 2 multichannel, 3 stereo; 0 not given.
  virtual void SetChannelLayout(uint32_t layout) = 0;
  virtual uint32_t GetChannelLayout() const = 0;
  // Channels interleaved frame by frame rather than in planes.
  virtual void SetInterleaved(bool interleaved) = 0;
  virtual bool IsInterleaved() const = 0;
};

class ITrackGroup {
 public:
  virtual ~ITrackGroup() = default;
  virtual const std::string& GetName() const = 0;
};

class ITrack {
 public:
  virtual ~ITrack() = default;
  virtual ContentType GetContentType() const = 0;
  virtual unsigned int GetChannelCount() const = 0;
  virtual std::shared_ptr<const ITrackGroup> GetGroup() const = 0;
  virtual TrackLayout GetLayout() const = 0;
};

class IChannelInfo {
 public:
  virtual ~IChannelInfo() = default;
  virtual std::shared_ptr<const ITrack> GetTrack() const = 0;
};

// Metadata families: 2 AS-11 core, 3 AS-11 UK DPP, 4 Sony non-real-time XML.
enum MetadataFamily : unsigned int {
  MetadataFamily_Unknown = 0,
  MetadataFamily_Generic = 1,
  MetadataFamily_As11Core = 2,
  MetadataFamily_As11UkDpp = 3,
  MetadataFamily_SonyNonRealTimeMetaData = 4,
};

// A set of named properties, each a text value, in insertion order.
class IMetadata {
 public:
  virtual ~IMetadata() = default;
  virtual MetadataFamily GetFamily() const = 0;
  virtual void SetProperty(const std::string& name, const std::string& value) = 0;
  // Empty when the property was never set.
  virtual std::string GetProperty(const std::string& name) const = 0;
  virtual bool HasProperty(const std::string& name) const = 0;
  virtual std::vector<std::pair<std::string, std::string>> GetProperties() const = 0;
};

using MetadataList = std::vector<std::shared_ptr<const IMetadata>>;
using ClockInfoList = std::vector<std::shared_ptr<const IClockInfo>>;

class IVideoInfo {
 public:
  virtual ~IVideoInfo() = default;
  virtual std::shared_ptr<const IVideoParameters> GetParameters() const = 0;
  virtual std::shared_ptr<const IChannelInfo> GetChannelInfo() const = 0;
  virtual const MetadataList& GetMetadata() const = 0;
  virtual const ClockInfoList& GetClockInfos() const = 0;
};

// Factories: null when the arguments cannot make the object.
std::shared_ptr<IVideoParameters> CreateVideoParameters(VCodecFamily family);
std::shared_ptr<IAudioParameters> CreateAudioParameters(ACodecFamily family);
std::shared_ptr<ITrackGroup> CreateTrackGroup(const std::string& name);
// Null without a group or with no channel.
std::shared_ptr<ITrack> CreateTrack(ContentType type, unsigned int channelCount,
                                    std::shared_ptr<const ITrackGroup> group, TrackLayout layout);
std::shared_ptr<IChannelInfo> CreateChannelInfo(std::shared_ptr<const ITrack> track);
// Null without parameters or channel information.
std::shared_ptr<const IVideoInfo> CreateVideoInfo(std::shared_ptr<const IVideoParameters> parameters,
                                                  std::shared_ptr<const IChannelInfo> channelInfo,
                                                  MetadataList metadata = {}, ClockInfoList clockInfos = {});
std::shared_ptr<IMetadata> CreateMetadata(MetadataFamily family);

}  // namespace qel
