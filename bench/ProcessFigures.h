#pragma once
// Figures of this process from /proc: resident memory in KiB (VmRSS now, and
// VmHWM, the peak since the process started, from /proc/self/status) and what
// read calls have read so far (rchar and syscr of /proc/self/io, counted by
// the system whether the page cache answered or not). 0 when not available.
#include <cstdint>

namespace ProcessFigures {
uint64_t ResidentKiB();
uint64_t PeakResidentKiB();
struct Reads {
  uint64_t bytes = 0;
  uint64_t calls = 0;
};
// One look at both counts (the look itself adds a read call or two).
Reads ReadsSoFar();
}  // namespace ProcessFigures
