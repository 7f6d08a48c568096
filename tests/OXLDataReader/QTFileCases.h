#pragma once
// QuickTime movies made by FFmpeg for the reader's end-to-end tests, and
// what ffprobe says the reader must deliver for each: every expected value
// comes from ffprobe (packets, positions, sizes, MD5s, times; stream rates,
// sizes and timecodes) or from public standards (drop-frame counting).
#include <gtest/gtest.h>

#include <memory>
#include <optional>
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
  // Samples in movie fragments: their times are the fragments' own, so the
  // time and in/out models of plain movies do not apply.
  bool fragmented = false;
};

void PrintTo(const QtFileCase& c, std::ostream* os);
const std::vector<QtFileCase>& AllCases();
std::vector<QtFileCase> CasesWhere(bool (*wanted)(const QtFileCase&));
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

// The fixture of the test's case; skips the test when FFmpeg cannot make it.
class QtFileTest : public testing::TestWithParam<QtFileCase> {
 protected:
  void SetUp() override;
  const oxltest::MediaFixture& Fixture() const { return *m_Fixture; }
  const oxltest::ProbeStream& Video() const { return m_Fixture->probe.Stream("v:0"); }
  const std::vector<oxltest::ProbePacket>& VideoPackets() const { return m_Fixture->probe.Packets("v:0"); }
  std::unique_ptr<CQTDataReader> OpenReader(OXLDataReader::DataType type) const;

 private:
  const oxltest::MediaFixture* m_Fixture = nullptr;
};

double Seconds(int64_t ticks, const oxltest::ProbeStream& stream);
double FrameRate(const oxltest::ProbeStream& stream);  // of r_frame_rate
// 3 PAL 25, 4 NTSC 29.97, 6 50p, 7 59.94p; 0 for other rates.
OxlTbx::VideoSystem VideoSystemOf(const oxltest::ProbeStream& stream);
unsigned int FieldsPerFrame(const oxltest::ProbeStream& stream);  // 2 at 25 and 29.97, else 1

std::string PacketBytes(const oxltest::MediaFixture& fixture, const oxltest::ProbePacket& packet);
// Intra video: one delivery per packet; long GOP: one per key packet, up to
// the next. With `syncOnly`, only those that start at a key packet: what
// reading backwards and positioning land on (QuickTime RLE writes delta
// frames between them).
std::vector<ExpectedDelivery> ExpectedVideoDeliveries(const oxltest::MediaFixture& fixture, bool longGop,
                                                      bool syncOnly = false);
// MPEG-2 I pictures of an open GOP with leading B pictures (ISO/IEC 13818-2):
// partial sync samples. Other codecs have none.
std::vector<bool> PartialSyncPackets(const oxltest::MediaFixture& fixture);
// The last of `deliveries` that starts at or before packet `packet`.
size_t DeliveryAtOrBefore(const std::vector<ExpectedDelivery>& deliveries, size_t packet);
// 0 to count - 1; for long movies `most` of them spread evenly, first and last included.
std::vector<size_t> SpreadIndexes(size_t count, size_t most);

// GetNextData (GetPrevData) until the end (100), at most limit + 1 deliveries;
// other results fail the test.
std::vector<Delivery> ReadForward(COXLDataReader& reader, size_t limit);
std::vector<Delivery> ReadBackward(COXLDataReader& reader, size_t limit);

// The field count of the video description's "fiel" atom, if FFmpeg wrote one.
std::optional<int> FieldCountAtom(const std::string& path);
// Frame number of an SMPTE timecode ("10:00:00:00", drop frame "01:00:00;02").
uint32_t TimecodeFrames(const std::string& text, unsigned int fps);

}  // namespace qtfiles
