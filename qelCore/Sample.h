#pragma once
// Framework samples: one unit of media (a video frame) with its buffer,
// description and time limits, delivered inside a sample container.
#include <memory>

#include "qelCore/Buffer.h"
#include "qelCore/MediaDescription.h"
#include "qelCore/MediaTime.h"

namespace qel {

class ISample {
 public:
  virtual ~ISample() = default;
  virtual ContentType GetContentType() const = 0;
  virtual std::shared_ptr<IBuffer> GetBuffer() const = 0;
  virtual const TimeLimits& GetTimeLimits() const = 0;
  virtual const MetadataList& GetMetadata() const = 0;
};

class IVideoSample : public ISample {
 public:
  virtual std::shared_ptr<const IVideoParameters> GetParameters() const = 0;
  virtual std::shared_ptr<const IVideoInfo> GetVideoInfo() const = 0;
};

// How the host should package the sample downstream; opaque here.
class IPackagingInfo {
 public:
  virtual ~IPackagingInfo() = default;
};

class ISampleContainer {
 public:
  virtual ~ISampleContainer() = default;
  virtual std::shared_ptr<const ISample> GetSample() const = 0;
  virtual std::shared_ptr<const IPackagingInfo> GetPackagingInfo() const = 0;
};

// Null without parameters, video information or buffer.
std::shared_ptr<IVideoSample> CreateVideoSample(std::shared_ptr<const IVideoParameters> parameters,
                                                std::shared_ptr<const IVideoInfo> videoInfo,
                                                std::shared_ptr<IBuffer> buffer, const TimeLimits& timeLimits,
                                                MetadataList metadata = {});
// Null without a sample.
std::shared_ptr<ISampleContainer> CreateSampleContainer(std::shared_ptr<const ISample> sample,
                                                        std::shared_ptr<const IPackagingInfo> packagingInfo = nullptr);

}  // namespace qel
