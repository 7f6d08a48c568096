#include "ProcessFigures.h"

#include <fstream>
#include <sstream>
#include <string>

namespace {

// One read of a whole /proc file.
std::string Contents(const char* path) {
  std::ifstream file(path);
  std::ostringstream text;
  text << file.rdbuf();
  return text.str();
}

// The number after "<key>" at the start of a line of `text`, or 0.
uint64_t Field(const std::string& text, const std::string& key) {
  for (size_t at = text.find(key); at != std::string::npos; at = text.find(key, at + 1)) {
    if (at == 0 || text[at - 1] == '\n') return std::stoull(text.substr(at + key.size()));
  }
  return 0;
}

}  // namespace

uint64_t ProcessFigures::ResidentKiB() { return Field(Contents("/proc/self/status"), "VmRSS:"); }

uint64_t ProcessFigures::PeakResidentKiB() { return Field(Contents("/proc/self/status"), "VmHWM:"); }

ProcessFigures::Reads ProcessFigures::ReadsSoFar() {
  const std::string io = Contents("/proc/self/io");
  return Reads{Field(io, "rchar:"), Field(io, "syscr:")};
}
