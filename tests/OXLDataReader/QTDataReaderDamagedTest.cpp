// Damaged, truncated and foreign files: clear result codes, never a crash,
// a hang or an allocation sized by a corrupt field.
#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <iterator>
#include <vector>

#include "OXLDataReader/QTDatareader.h"
#include "OXLDataReader/OXL_QuickTime/QTUtils.h"
#include "support/CapturingLogger.h"
#include "support/FFmpegTools.h"
#include "support/QtMovieAtoms.h"
#include "support/TempDir.h"

using namespace oxltest;

namespace {

const unsigned int kBufferSize = 1 << 20;

std::string ReadWhole(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void Put32(std::string& bytes, size_t at, uint32_t v) {
  bytes[at] = char(v >> 24), bytes[at + 1] = char(v >> 16), bytes[at + 2] = char(v >> 8), bytes[at + 3] = char(v);
}

// Offset of the first atom of `type` (its size field), searching from `from`.
size_t AtomAt(const std::string& bytes, const char* type, size_t from = 0) {
  const size_t found = bytes.find(type, from);
  if (found == std::string::npos || found < 4) throw std::runtime_error(std::string("no atom ") + type);
  return found - 4;
}

struct ReadOutcome {
  int open = 0;
  int frames = 0;
  int last = 0;  // the result that ended the reading
};

// Opens and reads forwards, then backwards; the loops are bounded so a
// reader that never ends fails the test instead of hanging it.
ReadOutcome OpenAndRead(const std::string& path, OXLDataReader::DataType type = OXLDataReader::Video_Data) {
  ReadOutcome outcome;
  CQTDataReader reader(type, "damaged");
  outcome.open = reader.Open(path.c_str(), false);
  if (outcome.open != 0) return outcome;
  std::vector<unsigned char> buffer(kBufferSize);
  unsigned char* data = buffer.data();
  unsigned int size = 0;
  double time = 0;
  for (int i = 0; i < 10000; ++i) {
    outcome.last = reader.GetNextData(data, kBufferSize, &size, &time);
    if (outcome.last != 0) break;
    ++outcome.frames;
  }
  for (int i = 0; i < 10000 && reader.GetPrevData(data, kBufferSize, &size, &time) == 0; ++i) {
  }
  double t = 1e9;
  reader.GoToTimeOffset(t);
  return outcome;
}

class DamagedFileTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    dir = new TempDir();
    clip = dir->file("clip.mov");
    MakeMediaFixture("-f lavfi -i testsrc=size=64x48:rate=25:duration=0.4 -f lavfi -i sine=sample_rate=8000:duration=0.4 "
                     "-c:v mjpeg -c:a pcm_s16be -movflags +faststart",
                     clip);
    original = new std::string(ReadWhole(clip));
  }
  static void TearDownTestSuite() {
    delete original;
    delete dir;
  }
  std::string Write(const std::string& name, const std::string& bytes) { return dir->write(name, bytes); }

  static TempDir* dir;
  static std::string clip;
  static std::string* original;
  CapturingLogger log;  // keeps the expected error lines out of the test output
};
TempDir* DamagedFileTest::dir = nullptr;
std::string DamagedFileTest::clip;
std::string* DamagedFileTest::original = nullptr;

}  // namespace

TEST_F(DamagedFileTest, IntactFixtureReadsTenFrames) {
  const ReadOutcome outcome = OpenAndRead(clip);
  EXPECT_EQ(outcome.open, 0);
  EXPECT_EQ(outcome.frames, 10);
  EXPECT_EQ(outcome.last, 100);
}

TEST_F(DamagedFileTest, EmptyTextAndRandomFilesHaveNoMovie) {
  EXPECT_EQ(OpenAndRead(Write("empty.mov", "")).open, 2);
  EXPECT_EQ(OpenAndRead(Write("text.mov", "This is a text file, not a movie.\n")).open, 2);
  std::string noise(100000, '\0');
  for (size_t i = 0; i < noise.size(); ++i) noise[i] = static_cast<char>((i * 2654435761u) >> 13);
  EXPECT_EQ(OpenAndRead(Write("noise.mov", noise)).open, 2);
}

TEST_F(DamagedFileTest, EveryTruncationEndsCleanly) {
  // With faststart the movie atom comes before the media data.
  const size_t moov = AtomAt(*original, "moov");
  const size_t moovEnd = moov + QTUtils::Read32(reinterpret_cast<const unsigned char*>(original->data()) + moov);
  const size_t tracksEnd = AtomAt(*original, "udta", moov);  // FFmpeg writes its user data after the tracks
  for (size_t cut = 0; cut < original->size(); cut += (cut < moovEnd + 64 ? 7 : 997)) {
    const ReadOutcome outcome = OpenAndRead(Write("cut.mov", original->substr(0, cut)));
    if (cut < tracksEnd) {
      EXPECT_TRUE(outcome.open == 2 || outcome.open == 3) << "cut at " << cut << ": " << outcome.open;
    } else if (cut < moovEnd) {  // only the user data is cut: the movie may open
      if (outcome.open == 0) {
        EXPECT_EQ(outcome.last, 100) << "cut at " << cut;
      }
    } else {
      EXPECT_EQ(outcome.open, 0) << "cut at " << cut;
      EXPECT_LE(outcome.frames, 10);
      EXPECT_EQ(outcome.last, 100) << "cut at " << cut;
    }
  }
}

TEST_F(DamagedFileTest, SampleOffsetsPastTheEndOfTheFile) {
  std::string bytes = *original;
  const size_t stco = AtomAt(bytes, "stco");
  const uint32_t count = QTUtils::Read32(reinterpret_cast<const unsigned char*>(bytes.data()) + stco + 12);
  for (uint32_t i = 0; i < count; ++i) Put32(bytes, stco + 16 + 4 * i, 0x7FFFFFF0u);
  const ReadOutcome outcome = OpenAndRead(Write("offsets.mov", bytes));
  EXPECT_EQ(outcome.open, 0);
  EXPECT_EQ(outcome.frames, 0);
  EXPECT_EQ(outcome.last, 100);
}

TEST_F(DamagedFileTest, ZeroSizeSamplesDeliverNothing) {
  std::string bytes = *original;
  const size_t stsz = AtomAt(bytes, "stsz");
  for (uint32_t i = 0; i < 10; ++i) Put32(bytes, stsz + 20 + 4 * i, 0);
  CQTDataReader reader(OXLDataReader::Video_Data, "zero");
  ASSERT_EQ(reader.Open(Write("zero.mov", bytes).c_str(), false), 0);
  std::vector<unsigned char> buffer(16);
  unsigned char* data = buffer.data();
  unsigned int size = 99;
  double time = 0;
  EXPECT_EQ(reader.GetNextData(data, 16, &size, &time), 0);
  EXPECT_EQ(size, 0u);
}

TEST_F(DamagedFileTest, AbsurdSampleSizeIsRefusedWithoutAllocatingIt) {
  std::string bytes = *original;
  const size_t stsz = AtomAt(bytes, "stsz");
  Put32(bytes, stsz + 20, 0xFFFFFFF0u);  // the first frame claims 4 GiB
  CQTDataReader reader(OXLDataReader::Video_Data, "absurd");
  ASSERT_EQ(reader.Open(Write("absurd.mov", bytes).c_str(), false), 0);
  EXPECT_LE(reader.GetBufferSize(), 64u << 20);
  std::vector<unsigned char> buffer(kBufferSize);
  unsigned char* data = buffer.data();
  unsigned int size = 0;
  double time = 0;
  EXPECT_EQ(reader.GetNextData(data, kBufferSize, &size, &time), 101);
  EXPECT_EQ(size, 0xFFFFFFF0u);
  EXPECT_EQ(reader.SkipNextData(), 0);  // the damaged frame can be passed over
  EXPECT_EQ(reader.GetNextData(data, kBufferSize, &size, &time), 0);
}

TEST_F(DamagedFileTest, MovieAtomLargerThanTheFile) {
  std::string bytes = *original;
  Put32(bytes, AtomAt(bytes, "moov"), 0x7FFFFFFFu);
  EXPECT_EQ(OpenAndRead(Write("bigmoov.mov", bytes)).open, 3);
}

TEST_F(DamagedFileTest, TrackLargerThanItsMovie) {
  std::string bytes = *original;
  Put32(bytes, AtomAt(bytes, "trak"), 0x7FFFFFF0u);
  EXPECT_EQ(OpenAndRead(Write("bigtrak.mov", bytes)).open, 3);
}

TEST_F(DamagedFileTest, ZeroSizedChildEndsTheMovieAtom) {
  std::string bytes = *original;
  Put32(bytes, AtomAt(bytes, "mvhd"), 0);
  EXPECT_EQ(OpenAndRead(Write("zeromvhd.mov", bytes)).open, 3);
}

TEST_F(DamagedFileTest, TablesThatClaimMoreThanTheyHold) {
  std::string bytes = *original;
  Put32(bytes, AtomAt(bytes, "stsz") + 16, 0x40000000u);  // sample count
  Put32(bytes, AtomAt(bytes, "stts") + 12, 0x40000000u);  // entry count
  Put32(bytes, AtomAt(bytes, "stsc") + 12, 0x40000000u);
  const ReadOutcome outcome = OpenAndRead(Write("counts.mov", bytes));
  if (outcome.open == 0) {
    EXPECT_LE(outcome.frames, 10);
  }
}

TEST_F(DamagedFileTest, UnknownHandlerMeansNoTrackOfThatKind) {
  std::string bytes = *original;
  const size_t hdlr = AtomAt(bytes, "hdlr", AtomAt(bytes, "trak"));
  std::memcpy(&bytes[hdlr + 16], "xxxx", 4);  // the video track's handler
  EXPECT_EQ(OpenAndRead(Write("handler.mov", bytes)).open, -5);
  EXPECT_EQ(OpenAndRead(Write("handler.mov", bytes), OXLDataReader::Audio_Data).open, 0);
}
