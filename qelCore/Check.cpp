#include "qelCore/Check.h"

#include "qelCore/Logger.h"

namespace qel::detail {

void Fail(const std::string& text, const char* file, int line) {
  Log(LogLevel::Error, text, file, line);
  throw QELRuntimeError(text);
}

}  // namespace qel::detail
