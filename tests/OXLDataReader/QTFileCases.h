#pragma once
// FFmpeg's movies for the QuickTime reader tests, what ffprobe says the reader
// must deliver from each, and the reading helpers those tests share.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "OXLDataReader/MediaTypes.h"
#include "OXLDataReader/QTDatareader.h"
#include "support/MediaFixtureCache.h"

namespace qtfiles {

struct QtFileCase {
  std::string name;                   // test name and fixture file stem
  std::vector<std::string> encoders;  // what this ffmpeg must have
  std::vector<std::string> steps;     // ffmpeg arguments, see oxltest::GetMediaFixture
  std::string videoTag;               // the sample description FFmpeg must write
  OXLDataReader::VideoDataType videoType;
  bool longGop = false;               // deliveries run from a sync sample to the next
  std::string audioTag;               // empty without audio
  bool mayBeUnsupported = false;      // a failing recipe skips (an encoder option this build may lack)
  int describedHeight = 0;            // lines of the sample description when not ffprobe's coded height
  std::string container = "mov";
  bool fragmented = false;            // times are the fragments' own: no in/out model of plain movies
};

void PrintTo(const QtFileCase& c, std::ostream* os);
const std::vector<QtFileCase>& AllCases();
// The case's file, made on first use; null (a failure unless the case may be
// unsupported by this FFmpeg) when FFmpeg cannot make it.
const oxltest::MediaFixture* CaseFixture(const QtFileCase& c);
std::string CaseName(const testing::TestParamInfo<QtFileCase>& info);

struct Delivery {
  std::string bytes;
  double time = 0.0;
};

// One delivery the reader must make: packets [first, first + count) of the
// video stream, their bytes as ffprobe located them, their MD5 and times.
struct ExpectedDelivery {
  size_t first = 0;
  size_t count = 1;
  std::string bytes;
  std::string md5;
  double pts = 0.0;  // of the first packet, seconds
  double dts = 0.0;
};

double Seconds(int64_t ticks, const oxltest::ProbeStream& stream);
std::string PacketBytes(const oxltest::MediaFixture& fixture, const oxltest::ProbePacket& packet);
// Intra video: one delivery per packet; long GOP: one per key packet, up to
// the next. With `syncOnly`, only those that start at a key packet: what
// reading backwards and positioning land on (QuickTime RLE writes delta
// frames between them).
std::vector<ExpectedDelivery> ExpectedVideoDeliveries(const oxltest::MediaFixture& fixture, bool longGop,
                                                      bool syncOnly = false);

// GetNextData (GetPrevData) until the end (100), at most limit + 1 deliveries.
// Without `last`, other results fail the test; with it, they end the reading
// and `last` tells which.
std::vector<Delivery> ReadForward(COXLDataReader& reader, size_t limit, int* last = nullptr);
std::vector<Delivery> ReadBackward(COXLDataReader& reader, size_t limit, int* last = nullptr);
std::string Joined(const std::vector<Delivery>& deliveries);
// A reader of `type` on a file holding `bytes`; `opened` is the result of Open.
std::unique_ptr<CQTDataReader> OpenBytes(const std::string& bytes, int* opened = nullptr,
                                         OXLDataReader::DataType type = OXLDataReader::Video_Data);

// Big-endian 32-bit fields of a movie's bytes, for tests that damage them.
uint32_t Get32(const std::string& bytes, size_t at);
void Put32(std::string& bytes, size_t at, uint32_t v);

}  // namespace qtfiles
