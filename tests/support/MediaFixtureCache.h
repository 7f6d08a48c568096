#pragma once
// Media files made by FFmpeg once and kept, with ffprobe's view of them, in
// a cache directory shared by every test process of a build. ctest runs each
// test in a process of its own, and FFmpeg's start-up costs more than the
// tests that read the files, so a per-process store would remake every file
// for every test.
//
// The directory is $OXL_TEST_TMP/media-fixtures (the system's temporary
// directory when OXL_TEST_TMP is not set). A file's name carries a hash of
// the commands that make it and of the ffmpeg program, so a changed recipe
// or a new FFmpeg makes a new file. Files are written under a temporary name
// and renamed into place, so test processes running side by side never see
// a half-written fixture.
#include <string>
#include <vector>

#include "support/FFmpegTools.h"

namespace oxltest {

struct MediaFixture {
  std::string path;
  ProbeResult probe;  // with per-packet MD5s
};

// The fixture `name` (a file name; its extension tells ffmpeg the container)
// made by running ffmpeg once per entry of `steps`. Each step is an argument
// list for "ffmpeg -y -nostdin -v error <step> <output>"; "{prev}" in a step
// stands for the previous step's output. Steps before the last must name
// their output format (-f). Throws std::runtime_error when a step fails.
const MediaFixture& GetMediaFixture(const std::string& name, const std::vector<std::string>& steps);

// The same fixture when it is already in the cache, else null: lets tests
// skip asking ffmpeg which encoders it has (a program start per test).
const MediaFixture* FindMediaFixture(const std::string& name, const std::vector<std::string>& steps);

}  // namespace oxltest
