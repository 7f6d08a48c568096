#include "support/FuzzInputs.h"

#include <cctype>
#include <stdexcept>

std::string oxltest::FromHex(const std::string& hex) {
  std::string bytes, digits;
  for (char c : hex) {
    if (std::isspace(static_cast<unsigned char>(c))) continue;
    if (!std::isxdigit(static_cast<unsigned char>(c))) throw std::invalid_argument("not hexadecimal: " + hex);
    digits += c;
    if (digits.size() == 2) {
      bytes += static_cast<char>(std::stoi(digits, nullptr, 16));
      digits.clear();
    }
  }
  if (!digits.empty()) throw std::invalid_argument("odd number of hexadecimal digits");
  return bytes;
}
