#pragma once
// The physical limit of forward reading on this machine: the bytes of the video
// samples read with plain read() calls in file order. Samples that follow one
// another in the file are read together, up to 1 MiB a call; a gap (audio
// between them) costs one lseek.
#include <cstdint>
#include <string>
#include <vector>

#include "AvformatBenchReader.h"
#include "ByteSink.h"

class PlainFileRead {
 public:
  // `ranges` in file order (AvformatBenchReader::SampleRanges).
  explicit PlainFileRead(const std::vector<AvformatBenchReader::ByteRange>& ranges);

  // Reads every range of the file at `path` into `sink`; throws std::runtime_error on failure.
  void Read(const std::string& path, ByteSink& sink) const;

 private:
  void ReadSpan(int fd, const AvformatBenchReader::ByteRange& span, std::vector<unsigned char>& buffer,
                ByteSink& sink) const;

  std::vector<AvformatBenchReader::ByteRange> m_Spans;  // adjacent ranges joined
};
