#pragma once
// Reads the movie atom of a QuickTime/MP4 file with the library's stream
// walk and lays out what tests need of each track: handler, time scales,
// durations, edit list and a copy of the sample table atom ("stbl").
#include <cstdint>
#include <string>
#include <vector>

namespace oxltest {

struct QtEdit {
  uint64_t segmentDuration = 0;  // movie time scale
  int64_t mediaTime = 0;         // media time scale; -1 for an empty edit
};

struct QtTrackAtoms {
  uint32_t trackId = 0;
  std::string handler;  // "vide", "soun", ...
  uint64_t trackDuration = 0;  // tkhd, movie time scale
  uint32_t mediaTimescale = 0;
  uint64_t mediaDuration = 0;  // mdhd, media time scale
  std::vector<QtEdit> edits;
  std::string stbl;  // the whole atom
};

struct QtMovieAtoms {
  uint32_t movieTimescale = 0;
  std::vector<QtTrackAtoms> tracks;
  // The first track with `handler`; throws std::runtime_error without one.
  const QtTrackAtoms& Track(const std::string& handler) const;
};

// Throws std::runtime_error when the file has no readable movie atom.
QtMovieAtoms ReadMovieAtoms(const std::string& path);

// The `size` bytes at `offset` of the file.
std::string ReadFileBytes(const std::string& path, uint64_t offset, uint64_t size);

}  // namespace oxltest
