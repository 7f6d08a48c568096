#pragma once
// The OXL readers behind the benchmark interface, used as a host uses them:
// Open, GetNextData and GetPrevData into one buffer that grows when the reader
// answers 101 (buffer too small), and GoToTimeOffset to land on a time. What
// depends on the container (which reader, how many samples, the largest
// delivery) is left to one subclass per reader:
//   OxlQtBenchReader   QuickTime/MP4 through CQTDataReader
//   OxlMxfBenchReader  MXF with constant-size edit units through CIMXVideoReader
#include <memory>
#include <string>
#include <vector>

#include "BenchReader.h"

class COXLDataReader;

class OxlBenchReader : public BenchReader {
 public:
  // The reader for `path`'s container, not opened: MXF for a ".mxf" name (the
  // benchmark names its own inputs), QuickTime otherwise.
  static std::unique_ptr<BenchReader> ForFile(const std::string& path);

  ~OxlBenchReader() override;

  void Open(const std::string& path) override;
  bool ReadNext(ByteSink& sink) override;
  // Sizes the buffer for the largest delivery first: after a 101 the reader's
  // cursor has already stepped back, so a backward retry would skip a delivery.
  void PrepareBackward() override;
  bool ReadPrev(ByteSink& sink) override;
  double SeekAndRead(double seconds, ByteSink& sink) override;

 protected:
  OxlBenchReader();
  // The container's video reader, not opened.
  virtual std::unique_ptr<COXLDataReader> MakeReader() const = 0;
  // The most bytes one delivery can hold (outside timed parts).
  virtual size_t LargestDelivery() = 0;
  COXLDataReader& Reader() const { return *m_Reader; }

 private:
  // One GetNextData or GetPrevData into the sink; `time` receives the time it reports.
  bool Deliver(bool forward, ByteSink& sink, double& time);

  std::unique_ptr<COXLDataReader> m_Reader;
  std::vector<unsigned char> m_Buffer;
};
