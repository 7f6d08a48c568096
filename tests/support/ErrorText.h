#pragma once
// The text of the exception that an action throws, for comparing failure
// messages in tests.
#include <exception>
#include <functional>
#include <string>

namespace oxltest {

// what() of the std::exception thrown by `action`, or "no error".
inline std::string ErrorText(const std::function<void()>& action) {
  try {
    action();
  } catch (const std::exception& e) {
    return e.what();
  }
  return "no error";
}

}  // namespace oxltest
