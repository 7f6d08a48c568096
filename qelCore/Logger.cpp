#include "qelCore/Logger.h"

#include <sys/time.h>

#include <atomic>
#include <cstdio>
#include <ctime>
#include <sstream>
#include <thread>

namespace qel {
namespace {
std::shared_ptr<ILoggerWriter> gWriter;
thread_local std::string tContext;
}  // namespace

std::shared_ptr<ILoggerWriter> GetCurrentLoggerWriter() { return std::atomic_load(&gWriter); }
void SetCurrentLoggerWriter(std::shared_ptr<ILoggerWriter> writer) { std::atomic_store(&gWriter, std::move(writer)); }

std::string GetCurrentContextString() { return tContext; }
void SetCurrentContextString(const std::string& context) { tContext = context; }

std::string GetCurrentTimeString() {
  timeval tv{};
  gettimeofday(&tv, nullptr);
  std::tm local{};
  localtime_r(&tv.tv_sec, &local);
  char text[40];
  const size_t n = std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &local);
  std::snprintf(text + n, sizeof text - n, ".%03ld", static_cast<long>(tv.tv_usec / 1000));
  return text;
}

std::string GetThreadId() {
  std::ostringstream s;
  s << std::this_thread::get_id();
  return s.str();
}

std::string ToString(LogLevel level) {
  static const char* const names[] = {"FATAL", "CRITICAL", "ERROR", "WARNING", "INFO", "DEBUG", "TRACE"};
  const int v = static_cast<int>(level);
  if (v < 0 || v > 6) return ToString(v);
  return names[v];
}

std::string ToString(int value) { return std::to_string(value); }

std::string SourceName(const char* file) {
  std::string name = file ? file : "";
  const size_t slash = name.find_last_of('/');
  const size_t dot = name.find_last_of('.');
  if (dot != std::string::npos && (slash == std::string::npos || dot > slash)) name.erase(dot);
  return name;
}

void Log(LogLevel level, const std::string& text, const char* sourceFile, int line) {
  if (auto writer = GetCurrentLoggerWriter()) {
    writer->Write(level, text, GetCurrentContextString(), SourceName(sourceFile), ToString(line), std::string(),
                  GetThreadId(), GetCurrentTimeString());
    return;
  }
  std::fprintf(stderr, "%s %s\n", ToString(level).c_str(), text.c_str());
}

}  // namespace qel
