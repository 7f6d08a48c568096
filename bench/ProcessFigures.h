#pragma once
// Resident memory of this process in KiB, from /proc/self/status: VmRSS now,
// and VmHWM, the peak since the process started. 0 when not available.
#include <cstdint>

namespace ProcessMemory {
uint64_t ResidentKiB();
uint64_t PeakResidentKiB();
}  // namespace ProcessMemory
