#include "qelCore/EditRate.h"

#include <cmath>

#include "qelCore/Check.h"

namespace qel {

void EditRate::CheckNumerator() const { QEL_CHECK_TRUE(numerator != 0, "numerator is 0"); }
void EditRate::CheckDenominator() const { QEL_CHECK_TRUE(denominator != 0, "denominator is 0"); }

bool operator==(const EditRate& a, const EditRate& b) {
  if (a.IsEmpty() || b.IsEmpty()) return a.IsEmpty() && b.IsEmpty();
  return std::fabs(a.ToDouble() - b.ToDouble()) <= 6e-5;
}

double GetFrameTime(const EditRate& rate) {
  rate.CheckNumerator();
  return double(rate.denominator) / double(rate.numerator);
}

std::string ToString(const EditRate& rate) {
  return std::to_string(rate.numerator) + "/" + std::to_string(rate.denominator);
}

}  // namespace qel
