#include "LibraryLog.h"

#include <cstdio>

namespace oxlprobe {

std::shared_ptr<LibraryLog> LibraryLog::Install(bool echo) {
  std::shared_ptr<LibraryLog> log(new LibraryLog(echo));
  qel::SetCurrentLoggerWriter(log);
  return log;
}

void LibraryLog::Write(qel::LogLevel level, const std::string& text, const std::string&, const std::string&,
                       const std::string&, const std::string&, const std::string&, const std::string&) {
  if (level <= qel::LogLevel::Error) m_LastError = text;
  if (m_bEcho) std::fprintf(stderr, "%s %s\n", qel::ToString(level).c_str(), text.c_str());
}

}  // namespace oxlprobe
