#include "qelCore/MediaTime.h"

namespace qel {
namespace {

using i128 = __int128;

void CheckRate(const EditRate& rate) {
  rate.CheckNumerator();
  rate.CheckDenominator();
}

// a / b rounded half away from zero.
int64_t DivRound(i128 a, i128 b) {
  if (b < 0) { a = -a; b = -b; }
  const i128 half = b / 2;
  return static_cast<int64_t>(a >= 0 ? (a + half) / b : -((-a + half) / b));
}

}  // namespace

double MediaTime::GetTimeStamp() const {
  if (m_Rate.IsEmpty()) return 0.0;
  return double(m_TimeNumber) * double(m_Rate.denominator) / double(m_Rate.numerator);
}

MediaTime MediaTime::ConvertTo(const EditRate& rate) const {
  if (rate.numerator == m_Rate.numerator && rate.denominator == m_Rate.denominator) return MediaTime(rate, m_TimeNumber, m_Clock);
  CheckRate(rate);
  CheckRate(m_Rate);
  const i128 num = i128(m_TimeNumber) * m_Rate.denominator * rate.numerator;
  const i128 den = i128(m_Rate.numerator) * rate.denominator;
  return MediaTime(rate, DivRound(num, den), m_Clock);
}

MediaTime& MediaTime::operator+=(const MediaTime& other) {
  m_TimeNumber += other.ConvertTo(m_Rate).GetTimeNumber();
  return *this;
}

MediaTime& MediaTime::operator-=(const MediaTime& other) {
  m_TimeNumber -= other.ConvertTo(m_Rate).GetTimeNumber();
  return *this;
}

MediaTime operator+(MediaTime a, int64_t count) { return a += count; }
MediaTime operator-(MediaTime a, int64_t count) { return a -= count; }
MediaTime operator+(MediaTime a, const MediaTime& b) { return a += b; }
MediaTime operator-(MediaTime a, const MediaTime& b) { return a -= b; }

bool operator<(const MediaTime& a, const MediaTime& b) {
  const EditRate& ra = a.GetEditRate();
  const EditRate& rb = b.GetEditRate();
  if (ra.numerator == rb.numerator && ra.denominator == rb.denominator) return a.GetTimeNumber() < b.GetTimeNumber();
  CheckRate(ra);
  CheckRate(rb);
  // a.tn * da / na < b.tn * db / nb, cross-multiplied with positive factors.
  return i128(a.GetTimeNumber()) * ra.denominator * rb.numerator <
         i128(b.GetTimeNumber()) * rb.denominator * ra.numerator;
}

bool operator==(const MediaTime& a, const MediaTime& b) { return !(a < b) && !(b < a); }

std::string ToString(const MediaTime& time) {
  return std::to_string(time.GetTimeNumber()) + "@" + ToString(time.GetEditRate());
}

}  // namespace qel
