#pragma once
// --samples: every sample of the chosen track, walked with the track's own
// sample cursor (decode order), forwards or backwards.
#include "MovieFile.h"
#include "ProbeOptions.h"

namespace oxlprobe {

// One line (or JSON object) per sample: index, time (composition) and
// decode_time in seconds, size, offset, sync and, with --md5, md5. Indexes
// count from the first sample in both directions. Throws ProbeError.
void ListSamples(const MovieFile& movie, const ProbeOptions& options);

}  // namespace oxlprobe
