#pragma once
// The framework logger. A host installs a writer with SetCurrentLoggerWriter;
// without one, lines go to standard error as "<LEVEL> <text>".
#include <memory>
#include <string>

namespace qel {

enum class LogLevel : int { Fatal = 0, Critical = 1, Error = 2, Warning = 3, Info = 4, Debug = 5, Trace = 6 };

class ILoggerWriter {
 public:
  virtual ~ILoggerWriter() = default;
  // `line` is the source line as decimal text; `function` may be empty.
  virtual void Write(LogLevel level, const std::string& text, const std::string& context,
                     const std::string& sourceFile, const std::string& line, const std::string& function,
                     const std::string& threadId, const std::string& time) = 0;
};

// The writer in use, or null. Setting is meant for start-up but is safe at any time.
std::shared_ptr<ILoggerWriter> GetCurrentLoggerWriter();
void SetCurrentLoggerWriter(std::shared_ptr<ILoggerWriter> writer);

// Context of the calling thread (a job or clip name), empty by default.
std::string GetCurrentContextString();
void SetCurrentContextString(const std::string& context);

// Local time as "YYYY-MM-DD hh:mm:ss.mmm".
std::string GetCurrentTimeString();
std::string GetThreadId();

// "FATAL", "CRITICAL", "ERROR", "WARNING", "INFO", "DEBUG", "TRACE"; other values as numbers.
std::string ToString(LogLevel level);
std::string ToString(int value);

// Writes one line through the current writer, or to standard error without one.
// `sourceFile` is a path such as "OXLDataReader/OXLDataReader.cpp"; the extension
// is dropped before it reaches the writer.
void Log(LogLevel level, const std::string& text, const char* sourceFile, int line);

// "OXLDataReader/OXL_QuickTime/TrackIndex.cpp" -> "OXLDataReader/OXL_QuickTime/TrackIndex".
std::string SourceName(const char* file);

}  // namespace qel

#define QEL_LOG(level, text) ::qel::Log((level), (text), __FILE__, __LINE__)
