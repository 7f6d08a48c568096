#pragma once
// The text of the framework error a call throws, or "<no failure>".
#include <functional>
#include <string>

#include "qelCore/QELRuntimeError.h"

namespace oxltest {

inline std::string QelFailure(const std::function<void()>& call) {
  try {
    call();
  } catch (const qel::QELRuntimeError& e) {
    return e.what();
  }
  return "<no failure>";
}

}  // namespace oxltest
