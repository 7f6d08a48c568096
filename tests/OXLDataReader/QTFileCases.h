#pragma once
// QuickTime movies made by FFmpeg for the reader's end-to-end tests: the
// table of fixtures, and what ffprobe says the reader must deliver for each.
//
// Every expected value here comes from ffprobe's view of the file (packets,
// their positions, sizes, MD5s and times; stream sizes, rates, aspect ratios
// and timecodes) or from public standards (frame rates, drop-frame counting).
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
  OXLDataReader::VideoDataType videoType;  // what that tag stands for
  bool longGop = false;               // deliveries run from a sync sample to the next
  std::string audioTag;               // empty without audio
  bool mayBeUnsupported = false;      // a failing recipe skips (an encoder option this build may lack)
  int describedHeight = 0;            // lines of the sample description when not ffprobe's coded height
  std::string container = "mov";      // file extension: "mov" QuickTime, "mp4" ISO base media
  // Samples in movie fragments. Their times are the fragments' own (no edit
  // list shifts them) and the random-access table starts fragments at their
  // presentation times, so the time and in/out models of plain movies do
  // not apply; fragment positioning has its own tests.
  bool fragmented = false;
};

// Test parameters print as their names.
void PrintTo(const QtFileCase& c, std::ostream* os);

const std::vector<QtFileCase>& AllCases();
// The case's file, made on first use; null (a failure unless the case may be
// unsupported by this FFmpeg) when FFmpeg cannot make it.
const oxltest::MediaFixture* CaseFixture(const QtFileCase& c);
std::vector<QtFileCase> CasesWithAudio();
std::vector<QtFileCase> MovieHeaderCases();  // the cases whose samples the movie header lists
std::string CaseName(const testing::TestParamInfo<QtFileCase>& info);

// One delivery of the reader.
struct Delivery {
  std::string bytes;
  double time = 0.0;
};

// One delivery the reader must make: packets [first, first + count) of the
// stream in file order: their bytes, read from the file where ffprobe found
// them, and the MD5 of those bytes (ffprobe's own for a single packet).
struct ExpectedDelivery {
  size_t first = 0;
  size_t count = 1;
  std::string bytes;
  std::string md5;
  double pts = 0.0;  // presentation time of the first packet, seconds
  double dts = 0.0;  // decode time of the first packet, seconds
};

// The fixture of the test's case, made on first use; skips the test when
// FFmpeg cannot make it.
class QtFileTest : public testing::TestWithParam<QtFileCase> {
 protected:
  void SetUp() override;

  const oxltest::MediaFixture& Fixture() const { return *m_Fixture; }
  const oxltest::ProbeStream& Video() const { return m_Fixture->probe.Stream("v:0"); }
  const std::vector<oxltest::ProbePacket>& VideoPackets() const { return m_Fixture->probe.Packets("v:0"); }
  // A reader of `type` opened on the fixture (the test fails when it cannot open).
  std::unique_ptr<CQTDataReader> OpenReader(OXLDataReader::DataType type) const;

 private:
  // Makes the fixture, or skips the test when this FFmpeg cannot.
  void MakeFixture(const QtFileCase& c, const std::string& name);
  const oxltest::MediaFixture* m_Fixture = nullptr;
};

// Seconds of `ticks` in the stream's time base.
double Seconds(int64_t ticks, const oxltest::ProbeStream& stream);
// Frames per second of a stream's r_frame_rate.
double FrameRate(const oxltest::ProbeStream& stream);
// The video system of a frame rate: 3 PAL 25, 4 NTSC 29.97, 6 50p, 7 59.94p; 0 for others.
OxlTbx::VideoSystem VideoSystemOf(const oxltest::ProbeStream& stream);
// Fields per frame of that system: 2 for 25 and 29.97 frames/s, else 1.
unsigned int FieldsPerFrame(const oxltest::ProbeStream& stream);

// The bytes of a packet, read from the file where ffprobe found them.
std::string PacketBytes(const oxltest::MediaFixture& fixture, const oxltest::ProbePacket& packet);

// For intra video one delivery per packet; for long GOP one per key packet,
// covering it and the packets up to the next key packet.
std::vector<ExpectedDelivery> ExpectedVideoDeliveries(const oxltest::MediaFixture& fixture, bool longGop);

// The deliveries that start at a key packet: those that reading backwards
// and positioning land on. For long GOP all of them; for intra video whose
// encoder wrote delta frames (QuickTime RLE), only the key frames.
std::vector<ExpectedDelivery> SyncDeliveries(const oxltest::MediaFixture& fixture,
                                             const std::vector<ExpectedDelivery>& deliveries);
// Which video packets are partial sync samples: MPEG-2 I pictures of an
// open GOP with leading B pictures (temporal reference above 0), which need
// the GOP before them (ISO/IEC 13818-2). Other codecs have none.
std::vector<bool> PartialSyncPackets(const oxltest::MediaFixture& fixture);

// The index of the last of `deliveries` that starts at or before packet `packet`.
size_t DeliveryAtOrBefore(const std::vector<ExpectedDelivery>& deliveries, size_t packet);

// Indexes 0 to count - 1; for long movies at most `most` of them, spread
// evenly with the first and the last among them.
std::vector<size_t> SpreadIndexes(size_t count, size_t most);

// Reads with GetNextData until it reports the end (100); other results fail the test.
std::vector<Delivery> ReadForward(COXLDataReader& reader, size_t limit);
// The same with GetPrevData.
std::vector<Delivery> ReadBackward(COXLDataReader& reader, size_t limit);

// The field count of the video sample description's "fiel" atom, if FFmpeg wrote one.
std::optional<int> FieldCountAtom(const std::string& path);

// Frame number of an SMPTE timecode text ("10:00:00:00", drop frame
// "01:00:00;02") at a nominal rate of `fps` frames per second.
uint32_t TimecodeFrames(const std::string& text, unsigned int fps);

}  // namespace qtfiles
