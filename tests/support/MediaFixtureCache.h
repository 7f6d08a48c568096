#pragma once
// Media files made by FFmpeg once, with ffprobe's view of them, kept in
// $OXL_TEST_TMP/media-fixtures for every test process of a build; a name carries
// a hash of recipe and ffmpeg program; files are renamed into place when whole.
#include <string>
#include <vector>

#include "support/FFmpegTools.h"

namespace oxltest {

struct MediaFixture {
  std::string path;
  ProbeResult probe;  // with per-packet MD5s
};

// The fixture `name` (its extension tells ffmpeg the container) made by
// "ffmpeg -y -nostdin -v error <step> <output>" per step; "{prev}" in a step is
// the previous step's output, which must name its format (-f). Throws
// std::runtime_error when a step fails.
const MediaFixture& GetMediaFixture(const std::string& name, const std::vector<std::string>& steps);

// The same fixture when already cached, else null (saves asking ffmpeg for its encoders).
const MediaFixture* FindMediaFixture(const std::string& name, const std::vector<std::string>& steps);

}  // namespace oxltest
