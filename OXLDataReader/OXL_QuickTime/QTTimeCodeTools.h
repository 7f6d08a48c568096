#pragma once
// The start timecode of a QuickTime time-code track, in a reader's video system.
#include <cstdint>

#include "OxlTbx/VideoSystem.h"

namespace QTTimeCodeTools {

// The video system of a time-code track from its frames per second and drop
// flag: 24 -> 1/2, 25 -> 3, 30 -> 4/5, 50 -> 6, 60 -> 7/8 (drop/no drop).
// Throws std::runtime_error "Unsupported number tmcd number of frames" otherwise.
OxlTbx::VideoSystem GetSourceSystem(bool dropFrame, uint8_t frameCount);

// The count (in fields of `target`) of the timecode whose frame number the
// track holds, converted from the track's own system to `target`.
unsigned int ComputeInitialTc(uint32_t frameNumber, bool dropFrame, uint8_t frameCount, OxlTbx::VideoSystem target);

}  // namespace QTTimeCodeTools
