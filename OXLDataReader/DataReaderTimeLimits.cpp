#include "OXLDataReader/DataReaderTimeLimits.h"

#include <cmath>
#include <cstdint>

namespace {

// Edit units per frame: interlaced rates count fields.
unsigned int UnitsPerFrame(const qel::EditRate& rate) {
  return rate == qel::EditRate(25, 1) || rate == qel::EditRate(2997, 100) ? 2 : 1;
}

// Truncates toward zero; values from 2^63 on go through the unsigned range.
int64_t ToCount(double value) {
  if (value >= 9223372036854775808.0) {
    if (value >= 18446744073709551616.0) return -1;
    return static_cast<int64_t>(static_cast<uint64_t>(value));
  }
  return static_cast<int64_t>(value);
}

class VideoDataReaderTimeLimitsCalculator : public IDataReaderTimeLimitsCalculator {
 public:
  qel::TimeLimits ComputeTimeLimits(unsigned int start, unsigned int end, qel::EditRate rate) override {
    const unsigned int d = UnitsPerFrame(rate);
    qel::TimeLimits limits;
    limits.start = qel::MediaTime(rate, start / d);
    limits.duration = int64_t(end / d) - int64_t(start / d);
    return limits;
  }
};

// Samples at a fixed rate; the microsecond calculator is this at 1 MHz.
class AudioDataReaderTimeLimitsCalculator : public IDataReaderTimeLimitsCalculator {
 public:
  explicit AudioDataReaderTimeLimitsCalculator(unsigned int sampleRate) : m_SampleRate(sampleRate) {}
  qel::TimeLimits ComputeTimeLimits(unsigned int start, unsigned int end, qel::EditRate rate) override {
    const double d = UnitsPerFrame(rate);
    const double frame = qel::GetFrameTime(rate);
    const double t0 = frame * start / d;
    const double t1 = frame * end / d;
    const double s = m_SampleRate;
    qel::TimeLimits limits;
    limits.start = qel::MediaTime(qel::EditRate(m_SampleRate, 1), 0);
    limits.start.SetTimeNumber(ToCount(s * t0));
    limits.duration = ToCount(s * (t1 - t0));
    return limits;
  }

 private:
  unsigned int m_SampleRate;
};

class MicroSecondsTimeLimitsCalculator : public AudioDataReaderTimeLimitsCalculator {
 public:
  MicroSecondsTimeLimitsCalculator() : AudioDataReaderTimeLimitsCalculator(1000000) {}
};

}  // namespace

std::shared_ptr<IDataReaderTimeLimitsCalculator> CreateDataReaderTimeLimitsCalculator(OXLDataReader::DataType type,
                                                                                      unsigned int audioSampleRate) {
  if (type == OXLDataReader::Video_Data || type == OXLDataReader::VideoAlt_Data)
    return std::make_shared<VideoDataReaderTimeLimitsCalculator>();
  if (type == OXLDataReader::Audio_Data) return std::make_shared<AudioDataReaderTimeLimitsCalculator>(audioSampleRate);
  return std::make_shared<MicroSecondsTimeLimitsCalculator>();
}
