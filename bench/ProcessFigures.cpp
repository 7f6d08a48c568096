#include "ProcessMemory.h"

#include <fstream>
#include <string>

namespace {

uint64_t StatusValue(const std::string& key) {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.compare(0, key.size(), key) == 0) return std::stoull(line.substr(key.size()));
  }
  return 0;
}

}  // namespace

uint64_t ProcessMemory::ResidentKiB() { return StatusValue("VmRSS:"); }

uint64_t ProcessMemory::PeakResidentKiB() { return StatusValue("VmHWM:"); }
