#pragma once
// The OXL QuickTime reader behind the benchmark interface, used as a host uses
// it: a CQTDataReader for video, Open, GetNextData and GetPrevData into one
// buffer that grows when the reader answers 101 (buffer too small), and
// GoToTimeOffset to land on a time. For long-GOP video one call delivers a
// sync sample and the samples up to the next one.
#include <memory>
#include <string>
#include <vector>

#include "BenchReader.h"

class CQTDataReader;

class OxlBenchReader : public BenchReader {
 public:
  OxlBenchReader();
  ~OxlBenchReader() override;

  void Open(const std::string& path) override;
  uint64_t SampleCount() override;
  double Duration() override;
  bool ReadNext(ByteSink& sink) override;
  // Sizes the buffer for the largest group first: after a 101 the reader's
  // cursor stays on the group's sync sample, so a backward retry would skip it.
  void PrepareBackward() override;
  bool ReadPrev(ByteSink& sink) override;
  double SeekAndRead(double seconds, ByteSink& sink) override;

 private:
  // One GetNextData or GetPrevData into the sink; `time` receives the time it reports.
  bool Deliver(bool forward, ByteSink& sink, double& time);
  size_t LargestGroupSize() const;

  std::unique_ptr<CQTDataReader> m_Reader;
  std::vector<unsigned char> m_Buffer;
};
