#pragma once
// The physical limit of forward reading on this machine: the bytes of the video
// samples read with plain read() calls in file order, up to 1 MiB a call. A gap
// of less than 64 KiB between samples (interleaved audio) is read through, which
// costs less than a seek and another call; a larger gap is skipped with lseek.
// Only the samples' bytes go to the sink. With `copy`, each sample is first
// copied whole into a frame buffer, as a reader that hands frames over in the
// caller's buffer must: what forward reading of any such reader costs at least.
#include <cstddef>
#include <string>
#include <vector>

#include "AvformatBenchReader.h"
#include "ByteSink.h"

class PlainFileRead {
 public:
  using ByteRange = AvformatBenchReader::ByteRange;

  // `ranges`: the video samples in file order (AvformatBenchReader::SampleRanges).
  PlainFileRead(std::vector<ByteRange> ranges, bool copy);

  // Reads every sample of the file at `path` into `sink`; throws std::runtime_error on failure.
  void Read(const std::string& path, ByteSink& sink) const;

 private:
  // Samples first to last (exclusive) of m_Ranges, read as one stretch of the file.
  struct Span {
    size_t first = 0;
    size_t last = 0;
  };

  void ReadSpan(int fd, const Span& span, std::vector<unsigned char>& buffer, ByteSink& sink) const;
  void Hand(const ByteRange& range, const unsigned char* part, int64_t from, int64_t to, ByteSink& sink) const;

  std::vector<ByteRange> m_Ranges;
  bool m_bCopy;
  mutable std::vector<unsigned char> m_Frame;  // the caller's buffer of the copying reader
  std::vector<Span> m_Spans;
};
