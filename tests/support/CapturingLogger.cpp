#include "support/CapturingLogger.h"

namespace oxltest {

struct CapturingLogger::Writer : qel::ILoggerWriter {
  std::vector<LogLine> lines;
  void Write(qel::LogLevel level, const std::string& text, const std::string& context, const std::string& source,
             const std::string& line, const std::string& function, const std::string& threadId,
             const std::string& time) override {
    lines.push_back({level, text, context, source, line, function, threadId, time});
  }
};

CapturingLogger::CapturingLogger() : m_Writer(std::make_shared<Writer>()), m_Previous(qel::GetCurrentLoggerWriter()) {
  qel::SetCurrentLoggerWriter(m_Writer);
}

CapturingLogger::~CapturingLogger() { qel::SetCurrentLoggerWriter(m_Previous); }

const std::vector<LogLine>& CapturingLogger::lines() const { return m_Writer->lines; }

}  // namespace oxltest
