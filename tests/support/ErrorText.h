#pragma once
// The text of the exception that an action throws, for comparing failure
// messages in tests.
#include <exception>
#include <functional>
#include <string>

#include "qelCore/QELRuntimeError.h"

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

// The text of the framework error (qel::QELRuntimeError) that `action`
// throws, or "<no failure>"; other exceptions pass through.
inline std::string QelFailure(const std::function<void()>& action) {
  try {
    action();
  } catch (const qel::QELRuntimeError& e) {
    return e.what();
  }
  return "<no failure>";
}

}  // namespace oxltest
