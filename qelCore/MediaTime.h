#pragma once
#include <cstdint>
#include <memory>
#include <string>

#include "qelCore/EditRate.h"

namespace qel {

// Describes the clock a time was taken from (wall clock, timecode); opaque here.
class IClockInfo {
 public:
  virtual ~IClockInfo() = default;
  virtual std::string GetName() const = 0;
};

// A time as a count of edit units at an edit rate, optionally tied to a clock.
//
// Arithmetic with another MediaTime converts the other operand to this time's
// rate, rounding to the nearest edit unit; comparisons are exact across rates.
// Operations that need a rate fail ("numerator is 0" / "denominator is 0") when
// a rate involved is empty.
class MediaTime {
 public:
  MediaTime() = default;
  MediaTime(EditRate rate, int64_t timeNumber = 0, std::shared_ptr<const IClockInfo> clock = nullptr)
      : m_Rate(rate), m_TimeNumber(timeNumber), m_Clock(std::move(clock)) {}

  const EditRate& GetEditRate() const { return m_Rate; }
  int64_t GetTimeNumber() const { return m_TimeNumber; }
  void SetTimeNumber(int64_t timeNumber) { m_TimeNumber = timeNumber; }
  const std::shared_ptr<const IClockInfo>& GetClockInfo() const { return m_Clock; }
  // Seconds; 0 for an empty rate.
  double GetTimeStamp() const;
  // The same instant at another rate, rounded to the nearest edit unit.
  MediaTime ConvertTo(const EditRate& rate) const;

  MediaTime& operator+=(int64_t count) { m_TimeNumber += count; return *this; }
  MediaTime& operator-=(int64_t count) { m_TimeNumber -= count; return *this; }
  MediaTime& operator+=(const MediaTime& other);
  MediaTime& operator-=(const MediaTime& other);

 private:
  EditRate m_Rate;
  int64_t m_TimeNumber = 0;
  std::shared_ptr<const IClockInfo> m_Clock;
};

MediaTime operator+(MediaTime a, int64_t count);
MediaTime operator-(MediaTime a, int64_t count);
MediaTime operator+(MediaTime a, const MediaTime& b);
MediaTime operator-(MediaTime a, const MediaTime& b);
bool operator<(const MediaTime& a, const MediaTime& b);
bool operator==(const MediaTime& a, const MediaTime& b);
inline bool operator!=(const MediaTime& a, const MediaTime& b) { return !(a == b); }

// "<time number>@<num>/<den>", e.g. "1500@25/1".
std::string ToString(const MediaTime& time);

// Start and duration of a sample or of a whole media, in the start's edit units.
struct TimeLimits {
  MediaTime start;
  int64_t duration = 0;
};

}  // namespace qel
