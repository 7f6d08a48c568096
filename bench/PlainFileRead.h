#pragma once
// The physical limit of forward reading on this machine: the bytes of the video
// samples read with plain read() calls in file order, up to 1 MiB a call. A gap
// of less than 64 KiB between samples (interleaved audio) is read through, which
// costs less than a seek and another call; a larger gap is skipped with lseek.
// Only the samples' bytes go to the sink.
#include <cstddef>
#include <string>
#include <vector>

#include "AvformatBenchReader.h"
#include "ByteSink.h"

class PlainFileRead {
 public:
  using ByteRange = AvformatBenchReader::ByteRange;

  // `ranges`: the video samples in file order (AvformatBenchReader::SampleRanges).
  explicit PlainFileRead(std::vector<ByteRange> ranges);

  // Reads every sample of the file at `path` into `sink`; throws std::runtime_error on failure.
  void Read(const std::string& path, ByteSink& sink) const;

 private:
  // Samples first to last (exclusive) of m_Ranges, read as one stretch of the file.
  struct Span {
    size_t first = 0;
    size_t last = 0;
  };

  void ReadSpan(int fd, const Span& span, std::vector<unsigned char>& buffer, ByteSink& sink) const;

  std::vector<ByteRange> m_Ranges;
  std::vector<Span> m_Spans;
};
