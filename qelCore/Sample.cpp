#include "qelCore/Sample.h"

namespace qel {
namespace {

class VideoSample : public IVideoSample {
 public:
  VideoSample(std::shared_ptr<const IVideoParameters> parameters, std::shared_ptr<const IVideoInfo> info,
              std::shared_ptr<IBuffer> buffer, const TimeLimits& limits, MetadataList metadata)
      : m_Parameters(std::move(parameters)),
        m_Info(std::move(info)),
        m_Buffer(std::move(buffer)),
        m_Limits(limits),
        m_Metadata(std::move(metadata)) {}
  ContentType GetContentType() const override { return ContentType_Video; }
  std::shared_ptr<IBuffer> GetBuffer() const override { return m_Buffer; }
  const TimeLimits& GetTimeLimits() const override { return m_Limits; }
  const MetadataList& GetMetadata() const override { return m_Metadata; }
  std::shared_ptr<const IVideoParameters> GetParameters() const override { return m_Parameters; }
  std::shared_ptr<const IVideoInfo> GetVideoInfo() const override { return m_Info; }

 private:
  std::shared_ptr<const IVideoParameters> m_Parameters;
  std::shared_ptr<const IVideoInfo> m_Info;
  std::shared_ptr<IBuffer> m_Buffer;
  TimeLimits m_Limits;
  MetadataList m_Metadata;
};

class SampleContainer : public ISampleContainer {
 public:
  SampleContainer(std::shared_ptr<const ISample> sample, std::shared_ptr<const IPackagingInfo> packaging)
      : m_Sample(std::move(sample)), m_Packaging(std::move(packaging)) {}
  std::shared_ptr<const ISample> GetSample() const override { return m_Sample; }
  std::shared_ptr<const IPackagingInfo> GetPackagingInfo() const override { return m_Packaging; }

 private:
  std::shared_ptr<const ISample> m_Sample;
  std::shared_ptr<const IPackagingInfo> m_Packaging;
};

}  // namespace

std::shared_ptr<IVideoSample> CreateVideoSample(std::shared_ptr<const IVideoParameters> parameters,
                                                std::shared_ptr<const IVideoInfo> videoInfo,
                                                std::shared_ptr<IBuffer> buffer, const TimeLimits& timeLimits,
                                                MetadataList metadata) {
  if (!parameters || !videoInfo || !buffer) return nullptr;
  return std::make_shared<VideoSample>(std::move(parameters), std::move(videoInfo), std::move(buffer), timeLimits,
                                       std::move(metadata));
}

std::shared_ptr<ISampleContainer> CreateSampleContainer(std::shared_ptr<const ISample> sample,
                                                        std::shared_ptr<const IPackagingInfo> packagingInfo) {
  if (!sample) return nullptr;
  return std::make_shared<SampleContainer>(std::move(sample), std::move(packagingInfo));
}

}  // namespace qel
