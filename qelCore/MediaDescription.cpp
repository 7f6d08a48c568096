#include "qelCore/MediaDescription.h"

#include <algorithm>

#include "qelCore/DescriptiveMetadata.h"

namespace qel {
namespace {

class VideoParameters : public IVideoParameters {
 public:
  explicit VideoParameters(VCodecFamily family) : m_Family(family) {}
  VCodecFamily GetCodecFamily() const override { return m_Family; }
  void SetAspectRatio(uint8_t v) override { m_Aspect = v; }
  uint8_t GetAspectRatio() const override { return m_Aspect; }
  void SetEditRate(const EditRate& v) override { m_Rate = v; }
  EditRate GetEditRate() const override { return m_Rate; }
  void SetScanMode(ScanMode v) override { m_Scan = v; }
  ScanMode GetScanMode() const override { return m_Scan; }
  void SetFieldDominance(unsigned int v) override { m_Dominance = v; }
  unsigned int GetFieldDominance() const override { return m_Dominance; }
  void SetWidth(uint32_t v) override { m_Width = v; }
  uint32_t GetWidth() const override { return m_Width; }
  void SetHeight(uint32_t v) override { m_Height = v; }
  uint32_t GetHeight() const override { return m_Height; }
  void SetNominalWidth(uint32_t v) override { m_NominalWidth = v; }
  uint32_t GetNominalWidth() const override { return m_NominalWidth; }
  void SetNominalHeight(uint32_t v) override { m_NominalHeight = v; }
  uint32_t GetNominalHeight() const override { return m_NominalHeight; }

 private:
  VCodecFamily m_Family;
  uint8_t m_Aspect = 0;
  EditRate m_Rate;
  ScanMode m_Scan = ScanMode_Unknown;
  unsigned int m_Dominance = 0;
  uint32_t m_Width = 0, m_Height = 0, m_NominalWidth = 0, m_NominalHeight = 0;
};

class AudioParameters : public IAudioParameters {
 public:
  explicit AudioParameters(ACodecFamily family) : m_Family(family) {}
  ACodecFamily GetCodecFamily() const override { return m_Family; }
  void SetSampleRate(uint32_t v) override { m_Rate = v; }
  uint32_t GetSampleRate() const override { return m_Rate; }
  void SetChannelCount(uint32_t v) override { m_Channels = v; }
  uint32_t GetChannelCount() const override { return m_Channels; }
  void SetBitsPerSample(uint32_t v) override { m_Bits = v; }
  uint32_t GetBitsPerSample() const override { return m_Bits; }
  void SetEndianness(uint32_t v) override { m_Endianness = v; }
  uint32_t GetEndianness() const override { return m_Endianness; }
  void SetBytesPerSample(uint8_t v) override { m_BytesPerSample = v; }
  uint8_t GetBytesPerSample() const override { return m_BytesPerSample; }
  void SetChannelLayout(uint32_t v) override { m_Layout = v; }
  uint32_t GetChannelLayout() const override { return m_Layout; }
  void SetInterleaved(bool v) override { m_Interleaved = v; }
  bool IsInterleaved() const override { return m_Interleaved; }

 private:
  ACodecFamily m_Family;
  uint32_t m_Rate = 0, m_Channels = 0, m_Bits = 0, m_Endianness = 0, m_Layout = 0;
  uint8_t m_BytesPerSample = 0;
  bool m_Interleaved = false;
};

class TrackGroup : public ITrackGroup {
 public:
  explicit TrackGroup(std::string name) : m_Name(std::move(name)) {}
  const std::string& GetName() const override { return m_Name; }

 private:
  std::string m_Name;
};

class Track : public ITrack {
 public:
  Track(ContentType type, unsigned int count, std::shared_ptr<const ITrackGroup> group, TrackLayout layout)
      : m_Type(type), m_Count(count), m_Group(std::move(group)), m_Layout(layout) {}
  ContentType GetContentType() const override { return m_Type; }
  unsigned int GetChannelCount() const override { return m_Count; }
  std::shared_ptr<const ITrackGroup> GetGroup() const override { return m_Group; }
  TrackLayout GetLayout() const override { return m_Layout; }

 private:
  ContentType m_Type;
  unsigned int m_Count;
  std::shared_ptr<const ITrackGroup> m_Group;
  TrackLayout m_Layout;
};

class ChannelInfo : public IChannelInfo {
 public:
  explicit ChannelInfo(std::shared_ptr<const ITrack> track) : m_Track(std::move(track)) {}
  std::shared_ptr<const ITrack> GetTrack() const override { return m_Track; }

 private:
  std::shared_ptr<const ITrack> m_Track;
};

// The property list behind every metadata interface (Base is IMetadata or
// one of its typed views).
template <typename Base>
class Metadata : public Base {
 public:
  explicit Metadata(MetadataFamily family) : m_Family(family) {}
  MetadataFamily GetFamily() const override { return m_Family; }
  void SetProperty(const std::string& name, const std::string& value) override {
    auto it = Find(name);
    if (it != m_Properties.end()) {
      it->second = value;
      return;
    }
    m_Properties.emplace_back(name, value);
  }
  std::string GetProperty(const std::string& name) const override {
    auto it = Find(name);
    return it == m_Properties.end() ? std::string() : it->second;
  }
  bool HasProperty(const std::string& name) const override { return Find(name) != m_Properties.end(); }
  std::vector<std::pair<std::string, std::string>> GetProperties() const override { return m_Properties; }

 private:
  using List = std::vector<std::pair<std::string, std::string>>;
  List::const_iterator Find(const std::string& name) const {
    return std::find_if(m_Properties.begin(), m_Properties.end(), [&](const auto& p) { return p.first == name; });
  }
  List::iterator Find(const std::string& name) {
    return std::find_if(m_Properties.begin(), m_Properties.end(), [&](const auto& p) { return p.first == name; });
  }
  MetadataFamily m_Family;
  List m_Properties;
};

class VideoInfo : public IVideoInfo {
 public:
  VideoInfo(std::shared_ptr<const IVideoParameters> parameters, std::shared_ptr<const IChannelInfo> channelInfo,
            MetadataList metadata, ClockInfoList clockInfos)
      : m_Parameters(std::move(parameters)),
        m_ChannelInfo(std::move(channelInfo)),
        m_Metadata(std::move(metadata)),
        m_ClockInfos(std::move(clockInfos)) {}
  std::shared_ptr<const IVideoParameters> GetParameters() const override { return m_Parameters; }
  std::shared_ptr<const IChannelInfo> GetChannelInfo() const override { return m_ChannelInfo; }
  const MetadataList& GetMetadata() const override { return m_Metadata; }
  const ClockInfoList& GetClockInfos() const override { return m_ClockInfos; }

 private:
  std::shared_ptr<const IVideoParameters> m_Parameters;
  std::shared_ptr<const IChannelInfo> m_ChannelInfo;
  MetadataList m_Metadata;
  ClockInfoList m_ClockInfos;
};

}  // namespace

std::shared_ptr<IVideoParameters> CreateVideoParameters(VCodecFamily family) {
  return std::make_shared<VideoParameters>(family);
}
std::shared_ptr<IAudioParameters> CreateAudioParameters(ACodecFamily family) {
  return std::make_shared<AudioParameters>(family);
}
std::shared_ptr<ITrackGroup> CreateTrackGroup(const std::string& name) { return std::make_shared<TrackGroup>(name); }

std::shared_ptr<ITrack> CreateTrack(ContentType type, unsigned int channelCount,
                                    std::shared_ptr<const ITrackGroup> group, TrackLayout layout) {
  if (!group || channelCount == 0) return nullptr;
  return std::make_shared<Track>(type, channelCount, std::move(group), layout);
}

std::shared_ptr<IChannelInfo> CreateChannelInfo(std::shared_ptr<const ITrack> track) {
  if (!track) return nullptr;
  return std::make_shared<ChannelInfo>(std::move(track));
}

std::shared_ptr<const IVideoInfo> CreateVideoInfo(std::shared_ptr<const IVideoParameters> parameters,
                                                  std::shared_ptr<const IChannelInfo> channelInfo,
                                                  MetadataList metadata, ClockInfoList clockInfos) {
  if (!parameters || !channelInfo) return nullptr;
  return std::make_shared<VideoInfo>(std::move(parameters), std::move(channelInfo), std::move(metadata),
                                     std::move(clockInfos));
}

std::shared_ptr<IMetadata> CreateMetadata(MetadataFamily family) {
  switch (family) {
    case MetadataFamily_As11Core:
      return std::make_shared<Metadata<IMetadata_As11Core>>(family);
    case MetadataFamily_As11UkDpp:
      return std::make_shared<Metadata<IMetadata_As11UkDpp>>(family);
    case MetadataFamily_SonyNonRealTimeMetaData:
      return std::make_shared<Metadata<IMetadata_SonyNonRealTimeMetaData>>(family);
    default:
      return std::make_shared<Metadata<IMetadata>>(family);
  }
}

}  // namespace qel
