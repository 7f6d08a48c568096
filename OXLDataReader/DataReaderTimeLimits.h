#pragma once
// Time limits of a whole media by data kind: frames for video, samples for
// audio, microseconds for anything else. In and out points arrive in fields
// for the interlaced rates (25/1 and 2997/100) and are halved into frames.
#include <memory>

#include "OXLDataReader/MediaTypes.h"
#include "qelCore/EditRate.h"
#include "qelCore/MediaTime.h"

class IDataReaderTimeLimitsCalculator {
 public:
  virtual ~IDataReaderTimeLimitsCalculator() = default;
  virtual qel::TimeLimits ComputeTimeLimits(unsigned int start, unsigned int end, qel::EditRate rate) = 0;
};

// Video for data types 1 and 2, audio at `audioSampleRate` for 3,
// microseconds otherwise.
std::shared_ptr<IDataReaderTimeLimitsCalculator> CreateDataReaderTimeLimitsCalculator(OXLDataReader::DataType type,
                                                                                      unsigned int audioSampleRate);
