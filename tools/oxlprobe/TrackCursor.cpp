#include "TrackCursor.h"

#include <algorithm>

namespace oxlprobe {

bool IsOff(const std::shared_ptr<IQtSampleIndex>& cursor) {
  return !cursor || cursor->IsOutOfBounds() || cursor->IsAfterLastIndex() || cursor->IsBeforeFirstIndex();
}

std::shared_ptr<IQtSampleIndex> FirstSample(CQTMediaTrack& track) {
  std::shared_ptr<IQtSampleIndex> cursor = track.FindFirstSample();
  if (IsOff(cursor)) return nullptr;
  while (!cursor->IsFirstIndex() && !cursor->IsBeforeFirstIndex()) cursor->Prev();
  if (cursor->IsBeforeFirstIndex()) cursor->Next();
  return cursor;
}

TrackMeasure MeasureTrack(CQTMediaTrack& track) {
  TrackMeasure measure;
  const std::shared_ptr<IQtSampleIndex> first = FirstSample(track);
  if (!first) return measure;
  for (std::shared_ptr<IQtSampleIndex> c = first->Copy(); !IsOff(c); c->Next()) {
    const std::shared_ptr<IQtSample> sample = c->GetSample();
    if (!sample) break;
    ++measure.count;
    measure.largest = std::max<uint64_t>(measure.largest, sample->GetSampleSize());
  }
  return measure;
}

}  // namespace oxlprobe
