#pragma once
// What the benchmark asks of a media reader: open a movie, deliver its video
// samples forwards and backwards, and land on a time. Each reader delivers in
// its own natural unit (the OXL reader one long-GOP group per call, libavformat
// one packet); the measurements count samples and bytes, not calls.
//
// Failures throw std::runtime_error with a message naming the step.
#include <cstdint>
#include <string>

#include "ByteSink.h"

class BenchReader {
 public:
  virtual ~BenchReader() = default;

  // Opens `path` and makes the reader ready to deliver the first video sample.
  virtual void Open(const std::string& path) = 0;
  // Video samples of the file. May index the whole file (the OXL reader on a
  // fragmented one): call it outside timed parts.
  virtual uint64_t SampleCount() = 0;
  // Seconds of video.
  virtual double Duration() = 0;

  // Delivers the next video data into `sink`; false at the end.
  virtual bool ReadNext(ByteSink& sink) = 0;
  // Prepares reading backwards from the end (not timed).
  virtual void PrepareBackward() = 0;
  // Delivers the data before the last delivered; false at the start.
  virtual bool ReadPrev(ByteSink& sink) = 0;
  // Lands on the sample at `seconds` (long GOP: on a sync sample before it)
  // the reader's own way, delivers what one forward read delivers from there,
  // and returns the presentation time in seconds of the sample landed on.
  virtual double SeekAndRead(double seconds, ByteSink& sink) = 0;
};
