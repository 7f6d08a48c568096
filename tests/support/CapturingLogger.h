#pragma once
// Installs a logger writer that keeps every line, for the life of the object.
#include <string>
#include <vector>

#include "qelCore/Logger.h"

namespace oxltest {

struct LogLine {
  qel::LogLevel level;
  std::string text, context, source, line, function, threadId, time;
};

class CapturingLogger {
 public:
  CapturingLogger();
  ~CapturingLogger();
  const std::vector<LogLine>& lines() const;

 private:
  struct Writer;
  std::shared_ptr<Writer> m_Writer;
  std::shared_ptr<qel::ILoggerWriter> m_Previous;
};

}  // namespace oxltest
