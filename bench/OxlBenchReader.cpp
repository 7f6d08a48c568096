#include "OxlBenchReader.h"

#include <algorithm>
#include <stdexcept>

#include "OXLDataReader/QTDatareader.h"

namespace {

// Grown to the reader's required size on its first answer 101.
constexpr size_t kFirstBufferSize = 64 * 1024;

[[noreturn]] void Fail(const char* step, int result) {
  throw std::runtime_error(std::string("OXL reader: ") + step + " answered " + std::to_string(result));
}

}  // namespace

OxlBenchReader::OxlBenchReader() = default;
OxlBenchReader::~OxlBenchReader() = default;

void OxlBenchReader::Open(const std::string& path) {
  m_Reader = std::make_unique<CQTDataReader>(OXLDataReader::Video_Data, "bench");
  int result = m_Reader->Open(path.c_str(), false);
  if (result != 0) Fail("Open", result);
}

// The movie header's sample table counts only its own samples; those of
// fragments are counted by walking them, which indexes every fragment.
uint64_t OxlBenchReader::SampleCount() {
  const auto& track = m_Reader->GetActiveTrack();
  if (!m_Reader->DoesTracksContainFragments()) return track->GetSampleCount();
  uint64_t count = 0;
  for (auto cursor = track->FindFirstSample(); cursor && !cursor->IsOutOfBounds(); cursor->Next()) ++count;
  return count;
}

double OxlBenchReader::Duration() { return m_Reader->GetActiveTrackContentDuration(); }

bool OxlBenchReader::Deliver(bool forward, ByteSink& sink, double& time) {
  if (m_Buffer.empty()) m_Buffer.resize(kFirstBufferSize);
  for (;;) {
    unsigned char* data = m_Buffer.data();
    unsigned int size = 0;
    unsigned int capacity = unsigned(m_Buffer.size());
    int result = forward ? m_Reader->GetNextData(data, capacity, &size, &time)
                         : m_Reader->GetPrevData(data, capacity, &size, &time);
    if (result == 100) return false;
    if (result == 101 && forward && size > capacity) {
      m_Buffer.resize(size);
      continue;
    }
    if (result != 0) Fail(forward ? "GetNextData" : "GetPrevData", result);
    sink.Take(data, size);
    return true;
  }
}

bool OxlBenchReader::ReadNext(ByteSink& sink) {
  double time = 0;
  return Deliver(true, sink, time);
}

bool OxlBenchReader::ReadPrev(ByteSink& sink) {
  double time = 0;
  return Deliver(false, sink, time);
}

size_t OxlBenchReader::LargestGroupSize() const {
  size_t largest = 0, group = 0;
  for (auto cursor = m_Reader->GetActiveTrack()->FindFirstSample(); cursor && !cursor->IsOutOfBounds();
       cursor->Next()) {
    auto sample = cursor->GetSample();
    if (sample->IsSyncOrPartialSync()) group = 0;
    group += sample->GetSampleSize();
    largest = std::max(largest, group);
  }
  return largest;
}

void OxlBenchReader::PrepareBackward() {
  m_Buffer.resize(std::max(m_Buffer.size(), LargestGroupSize()));
  int result = m_Reader->GoToDataEnd();
  if (result != 0) Fail("GoToDataEnd", result);
}

double OxlBenchReader::SeekAndRead(double seconds, ByteSink& sink) {
  int result = m_Reader->GoToTimeOffset(seconds);
  if (result != 0) Fail("GoToTimeOffset", result);
  double landed = 0;
  if (!Deliver(true, sink, landed)) throw std::runtime_error("OXL reader: nothing to read after GoToTimeOffset");
  return landed;
}
