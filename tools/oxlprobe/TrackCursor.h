#pragma once
// Helpers over a track's sample cursor shared by the walks.
#include <cstdint>
#include <memory>

#include "oxl.h"
#include "OXLDataReader/OXL_QuickTime/QTMediaTrack.h"

namespace oxlprobe {

// No sample under the cursor: empty, before the first or after the last.
bool IsOff(const std::shared_ptr<IQtSampleIndex>& cursor);

// A cursor on the track's first sample in decode order (empty for a track
// without samples). The track's own first-sample cursor starts where the
// edit list starts playing; samples decoded before that belong to the track
// too.
std::shared_ptr<IQtSampleIndex> FirstSample(CQTMediaTrack& track);

struct TrackMeasure {
  uint64_t count = 0;    // samples
  uint64_t largest = 0;  // bytes of the largest sample
};

// Walks the whole track once (no file access).
TrackMeasure MeasureTrack(CQTMediaTrack& track);

}  // namespace oxlprobe
