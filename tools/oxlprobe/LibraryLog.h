#pragma once
// Takes the library's log lines so that a failure stays one line on standard
// error: errors are kept to explain a failure, and everything is echoed only
// with --verbose.
#include <memory>
#include <string>

#include "oxl.h"

namespace oxlprobe {

class LibraryLog : public qel::ILoggerWriter {
 public:
  // Installs a new log as the library's writer and returns it.
  static std::shared_ptr<LibraryLog> Install(bool echo);

  void Write(qel::LogLevel level, const std::string& text, const std::string& context,
             const std::string& sourceFile, const std::string& line, const std::string& function,
             const std::string& threadId, const std::string& time) override;

  // The last line logged at error level or worse since the last Clear.
  const std::string& LastError() const { return m_LastError; }
  void Clear() { m_LastError.clear(); }

 private:
  explicit LibraryLog(bool echo) : m_bEcho(echo) {}

  bool m_bEcho;
  std::string m_LastError;
};

}  // namespace oxlprobe
