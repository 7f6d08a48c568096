#pragma once
// MXF files of constant-size edit units FFmpeg makes for the IMX and MXF
// reader tests, and the frames a reader delivers, to compare with ffprobe.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "OXLDataReader/OXLDataReader.h"
#include "support/MediaFixtureCache.h"

namespace oxltest {

struct ImxCase {
  const char* name;         // fixture file name
  std::string args;         // ffmpeg arguments
  unsigned int videoType;   // video data type of the picture descriptor
  bool needsX264 = false;
  double fieldsPerSecond = 50;  // the reader's field rate
};

std::string ImxCaseName(const ::testing::TestParamInfo<ImxCase>& info);

// The file cases: D-10 PAL and NTSC, AVC-Intra 50 and 100, DV.
const std::vector<ImxCase>& ImxCases();

// ffmpeg arguments of a D-10 file: `mbps` 30, 40 or 50, PAL (25 fps) or NTSC
// (29.97), `seconds` long, with stereo PCM audio when asked.
std::string D10Args(int mbps, bool ntsc, bool audio, double seconds);

// A D-10 50 PAL file with audio, 1.2 s (30 frames).
const MediaFixture& D10Fixture();

// ffprobe's video packets of the fixture as (MD5, seconds).
std::vector<std::pair<std::string, double>> VideoPackets(const MediaFixture& fixture);

// A test over each case's fixture, skipped without FFmpeg (or libx264).
class ImxCaseTest : public ::testing::TestWithParam<ImxCase> {
 protected:
  void SetUp() override;
  const MediaFixture* fixture = nullptr;
  std::vector<std::pair<std::string, double>> packets;
};

struct DeliveredFrame {
  std::string bytes;
  double time = 0;
};

// Every frame GetNextData (or, backwards, GetPrevData) delivers from the
// reader's position until it stops, into a buffer of `capacity` bytes (0: the
// pictures in the reader's window); `last` receives its final result.
std::vector<DeliveredFrame> ReadAll(COXLDataReader& reader, unsigned int capacity, bool backwards, int* last = nullptr);

}  // namespace oxltest
