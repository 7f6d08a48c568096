#pragma once
#include <stdexcept>
#include <string>

namespace qel {

// The framework's one exception type: every failed check is thrown as this,
// carrying the same text that was logged.
class QELRuntimeError : public std::runtime_error {
 public:
  explicit QELRuntimeError(const std::string& text) : std::runtime_error(text) {}
};

}  // namespace qel
