#pragma once
// The exit statuses of oxlprobe and the error that carries one up to main.
//
// Every failure ends as exactly one line on standard error,
// "oxlprobe: <file>: <reason>", and its status; scripts tell the cases apart
// by the status alone.
#include <stdexcept>
#include <string>

namespace oxlprobe {

enum ExitStatus : int {
  Exit_Ok = 0,
  Exit_Usage = 2,          // bad command line
  Exit_CannotOpen = 3,     // missing, unreadable, a directory or not a regular file
  Exit_NotRecognised = 4,  // empty, not QuickTime/MP4, or nothing to read in it
  Exit_ReadFailure = 5,    // damaged or truncated movie, a read that failed
  Exit_CannotWrite = 6,    // the --extract output cannot be written
  Exit_NoReader = 7,       // identified, but no reader for it on this platform
};

class ProbeError : public std::runtime_error {
 public:
  // `subject` is the file the reason is about; empty for usage errors.
  ProbeError(ExitStatus status, std::string subject, const std::string& reason)
      : std::runtime_error(reason), m_Status(status), m_Subject(std::move(subject)) {}

  ExitStatus status() const { return m_Status; }
  const std::string& subject() const { return m_Subject; }

 private:
  ExitStatus m_Status;
  std::string m_Subject;
};

}  // namespace oxlprobe
