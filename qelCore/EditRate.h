#pragma once
#include <cstdint>
#include <string>

namespace qel {

// A rate of edit units per second, as numerator / denominator (25/1, 30000/1001).
// A zero numerator or denominator makes the rate empty: "no rate".
struct EditRate {
  uint32_t numerator = 0;
  uint32_t denominator = 0;

  EditRate() = default;
  EditRate(uint32_t num, uint32_t den) : numerator(num), denominator(den) {}

  bool IsEmpty() const { return numerator == 0 || denominator == 0; }
  // numerator / denominator; 0 for an empty rate.
  double ToDouble() const { return IsEmpty() ? 0.0 : double(numerator) / double(denominator); }
  // Fail with "numerator is 0" / "denominator is 0".
  void CheckNumerator() const;
  void CheckDenominator() const;
};

// Both empty: equal. One empty: not equal. Otherwise equal when the quotients
// differ by at most 6e-5, so 2997/100 equals 30000/1001.
bool operator==(const EditRate& a, const EditRate& b);
inline bool operator!=(const EditRate& a, const EditRate& b) { return !(a == b); }

// Duration of one edit unit in seconds (denominator / numerator); fails on a zero numerator.
double GetFrameTime(const EditRate& rate);

std::string ToString(const EditRate& rate);  // "25/1"

}  // namespace qel
