#include "OxlBenchReader.h"

#include <algorithm>
#include <stdexcept>

#include "OXLDataReader/OXLDataReader.h"
#include "OxlMxfBenchReader.h"
#include "OxlQtBenchReader.h"

namespace {

// Grown to the reader's required size on its first answer 101.
constexpr size_t kFirstBufferSize = 64 * 1024;

[[noreturn]] void Fail(const char* step, int result) {
  throw std::runtime_error(std::string("OXL reader: ") + step + " answered " + std::to_string(result));
}

bool EndsWith(const std::string& text, const std::string& end) {
  return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

}  // namespace

std::unique_ptr<BenchReader> OxlBenchReader::ForFile(const std::string& path) {
  if (EndsWith(path, ".mxf")) return std::make_unique<OxlMxfBenchReader>();
  return std::make_unique<OxlQtBenchReader>();
}

OxlBenchReader::OxlBenchReader() = default;
OxlBenchReader::~OxlBenchReader() = default;

void OxlBenchReader::Open(const std::string& path) {
  m_Reader = MakeReader();
  int result = m_Reader->Open(path.c_str(), false);
  if (result != 0) Fail("Open", result);
}

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

void OxlBenchReader::PrepareBackward() {
  m_Buffer.resize(std::max(m_Buffer.size(), LargestDelivery()));
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
