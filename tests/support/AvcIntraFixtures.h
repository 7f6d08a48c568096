#pragma once
// AVC-Intra material made by x264 through FFmpeg, variants without parameter
// sets, and FFmpeg's decoded-frame checksums to compare formatted frames with.
#include <string>
#include <vector>

#include "support/MediaFixtureCache.h"

namespace oxltest {

// One AVC-Intra configuration x264 makes.
struct AvcIntraCase {
  const char* name;  // fixture file name, e.g. "avci50_1080i25.mov"
  unsigned int avcClass;
  int width, height;
  bool interlaced;
  const char* rate;  // ffmpeg rate, "25" or "30000/1001"
  const char* tag;   // QuickTime format code the movie gets
  bool sony;         // x264's XAVC-Intra flavour
};

// The case's short movie (or, for a ".h264" name, frames of elementary
// stream), made on first use; throws std::runtime_error without libx264.
const MediaFixture& AvcIntraFixture(const AvcIntraCase& c, int frames = 2);

// Each packet's bytes, as ffprobe located them in the file.
std::vector<std::string> PacketBytes(const MediaFixture& fixture);

// The Annex B frame with its parameter sets overwritten by filler units of
// the same size; the frame with 4-byte lengths instead of start codes.
std::string BlankParameterSets(const std::string& annexBFrame);
std::string ToLengthPrefixed(const std::string& annexBFrame);
// A copy of the movie written to `path`, its video format code set to `tag`.
void WriteMovieWithFormatCode(const MediaFixture& movie, const std::string& tag, const std::string& path);

// The MD5 of every frame FFmpeg decodes from `input`, the input options and
// file ("-f h264 -i x.h264"); MovieFrameMd5s those of a movie.
std::vector<std::string> DecodedFrameMd5s(const std::string& input);
std::vector<std::string> MovieFrameMd5s(const MediaFixture& movie);

}  // namespace oxltest
