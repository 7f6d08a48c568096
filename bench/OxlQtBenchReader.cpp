#include "OxlQtBenchReader.h"

#include <algorithm>

#include "OXLDataReader/QTDatareader.h"

std::unique_ptr<COXLDataReader> OxlQtBenchReader::MakeReader() const {
  return std::make_unique<CQTDataReader>(OXLDataReader::Video_Data, "bench");
}

CQTDataReader& OxlQtBenchReader::Qt() const { return static_cast<CQTDataReader&>(Reader()); }

// The movie header's sample table counts only its own samples; those of
// fragments are counted by walking them, which indexes every fragment.
uint64_t OxlQtBenchReader::SampleCount() {
  const auto& track = Qt().GetActiveTrack();
  if (!Qt().DoesTracksContainFragments()) return track->GetSampleCount();
  uint64_t count = 0;
  for (auto cursor = track->FindFirstSample(); cursor && !cursor->IsOutOfBounds(); cursor->Next()) ++count;
  return count;
}

double OxlQtBenchReader::Duration() { return Qt().GetActiveTrackContentDuration(); }

size_t OxlQtBenchReader::LargestDelivery() {
  size_t largest = 0, group = 0;
  for (auto cursor = Qt().GetActiveTrack()->FindFirstSample(); cursor && !cursor->IsOutOfBounds(); cursor->Next()) {
    auto sample = cursor->GetSample();
    if (sample->IsSyncOrPartialSync()) group = 0;
    group += sample->GetSampleSize();
    largest = std::max(largest, group);
  }
  return largest;
}
