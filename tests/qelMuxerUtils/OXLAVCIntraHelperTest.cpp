// COXLAVCIntraHelper on frames x264 makes: formatted frames decode like the
// original movie (with and without their parameter sets, Annex B or length
// prefixed), each frame's mode matches its class and format, and damaged
// frames are refused without reading outside them.
#include <gtest/gtest.h>

#include <random>

#include "qelMuxerUtils/OXLAVCIntraHelper.h"
#include "support/AvcIntraFixtures.h"
#include "support/ByteBuilder.h"
#include "support/FFmpegTools.h"
#include "support/FuzzInputs.h"
#include "support/TempDir.h"

using oxltest::AvcIntraCase;
using Mode = COXLAVCIntraHelper::avc_intra_compression_mode_enum;

namespace {

struct FrameCase {
  AvcIntraCase movie;
  unsigned int mode;  // the frame's own mode: the class, format and rate of the material
};

void PrintTo(const FrameCase& c, std::ostream* os) { *os << c.movie.name; }

// The fixture name without its extension.
std::string CaseName(const testing::TestParamInfo<FrameCase>& info) {
  const std::string name = info.param.movie.name;
  return name.substr(0, name.find('.'));
}

const oxltest::MediaFixture& Fixture(const AvcIntraCase& c) { return oxltest::AvcIntraFixture(c); }

// Formats each frame with `mode` and writes the frames one after another.
std::string FormatAll(const std::vector<std::string>& frames, Mode mode) {
  COXLAVCIntraHelper helper;
  std::vector<unsigned char> scratch;
  std::string stream;
  for (const auto& frame : frames) {
    const oxltest::ExactBuffer in(frame);
    unsigned char* out = nullptr;
    unsigned int outSize = 0;
    EXPECT_TRUE(helper.Format(mode, in.data(), in.size(), out, outSize, scratch, 0));
    EXPECT_LE(outSize, helper.GetMaxFrameSize(mode));
    if (out) stream.append(reinterpret_cast<const char*>(out), outSize);
  }
  return stream;
}

std::vector<std::string> Decode(const oxltest::TempDir& dir, const std::string& stream) {
  return oxltest::DecodedFrameMd5s("-f h264 -i " + oxltest::ShellQuote(dir.write("stream.h264", stream)));
}

class AvcIntraFrames : public testing::TestWithParam<FrameCase> {};

TEST_P(AvcIntraFrames, FormattedFramesDecodeLikeTheMovie) {
  const auto& fixture = Fixture(GetParam().movie);
  const Mode mode = static_cast<Mode>(GetParam().mode);
  const auto expected = oxltest::MovieFrameMd5s(fixture);
  const auto frames = oxltest::PacketBytes(fixture);
  ASSERT_EQ(expected.size(), frames.size());
  std::vector<std::string> blanked, lengthPrefixed;
  for (const auto& frame : frames) {
    blanked.push_back(oxltest::BlankParameterSets(frame));
    lengthPrefixed.push_back(oxltest::ToLengthPrefixed(blanked.back()));
  }
  ASSERT_NE(blanked[0], frames[0]);
  // One decoder run for the three forms: as made, parameter sets blanked
  // (inserted again), and blanked with length prefixes.
  std::vector<std::string> expectedThrice;
  for (int i = 0; i < 3; ++i) expectedThrice.insert(expectedThrice.end(), expected.begin(), expected.end());
  oxltest::TempDir dir;
  EXPECT_EQ(Decode(dir, FormatAll(frames, mode) + FormatAll(blanked, mode) + FormatAll(lengthPrefixed, mode)),
            expectedThrice);
  // A complete Annex B frame comes back as it is, in place.
  COXLAVCIntraHelper helper;
  std::vector<unsigned char> scratch;
  unsigned char* out = nullptr;
  unsigned int outSize = 0;
  const oxltest::ExactBuffer in(frames[0]);
  ASSERT_TRUE(helper.Format(mode, in.data(), in.size(), out, outSize, scratch, 0));
  EXPECT_EQ(out, in.data());
  EXPECT_EQ(outSize, in.size());
}

TEST_P(AvcIntraFrames, FrameGivesTheModeOfItsClassAndFormat) {
  const auto frames = oxltest::PacketBytes(Fixture(GetParam().movie));
  COXLAVCIntraHelper helper;
  for (const auto& frame : frames) {
    const oxltest::ExactBuffer in(frame);
    EXPECT_EQ(helper.GetAVCIntraMode(in.data(), in.size()), GetParam().mode);
    const oxltest::ExactBuffer prefixed(oxltest::ToLengthPrefixed(frame));
    EXPECT_EQ(helper.GetAVCIntraMode(prefixed.data(), prefixed.size()), GetParam().mode);
  }
  const oxltest::ExactBuffer blank(oxltest::BlankParameterSets(frames[0]));
  EXPECT_EQ(helper.GetAVCIntraMode(blank.data(), blank.size()), COXLAVCIntraHelper::AVCI_Unknown);
}

// Modes from the mode table: AVC-Intra 50 (0-7), 100 (8-15).
const FrameCase kMovies[] = {
    {{"avci50_1080i25.mov", 50, 1440, 1080, true, "25", "ai55", false}, 2},
    {{"avci50_1080p25.mov", 50, 1440, 1080, false, "25", "ai5q", false}, 2},
    {{"avci50_1080i2997.mov", 50, 1440, 1080, true, "30000/1001", "ai56", false}, 3},
    {{"avci50_720p50.mov", 50, 960, 720, false, "50", "ai5q", false}, 0},
    {{"avci50_720p5994.mov", 50, 960, 720, false, "60000/1001", "ai5p", false}, 1},
    {{"avci50_720p25.mov", 50, 960, 720, false, "25", "ai5q", false}, 4},
    {{"avci50_720p2997.mov", 50, 960, 720, false, "30000/1001", "ai5p", false}, 5},
    {{"avci50_1080p50.mov", 50, 1440, 1080, false, "50", "ai5q", false}, 6},
    {{"avci100_1080i25.mov", 100, 1920, 1080, true, "25", "ai15", false}, 10},
    {{"avci100_1080p25.mov", 100, 1920, 1080, false, "25", "ai12", false}, 10},
    {{"avci100_1080p2997.mov", 100, 1920, 1080, false, "30000/1001", "ai13", false}, 11},
    {{"avci100_720p50.mov", 100, 1280, 720, false, "50", "ai1q", false}, 8},
    {{"avci100_720p5994.mov", 100, 1280, 720, false, "60000/1001", "ai1p", false}, 9},
    {{"avci100_720p25.mov", 100, 1280, 720, false, "25", "ai1q", false}, 12},
    {{"avci100_1080p50.mov", 100, 1920, 1080, false, "50", "ai12", false}, 14},
    {{"avci100_1080p5994.mov", 100, 1920, 1080, false, "60000/1001", "ai13", false}, 15},
};

INSTANTIATE_TEST_SUITE_P(X264, AvcIntraFrames, testing::ValuesIn(kMovies),
                         CaseName);

// XAVC-Intra frames (x264's Sony flavour) give the XAVC-Intra modes 16-33.
class XavcIntraFrames : public testing::TestWithParam<FrameCase> {};

TEST_P(XavcIntraFrames, FrameGivesAnXavcIntraMode) {
  const std::string frame = oxltest::ReadFileBytes(oxltest::AvcIntraFixture(GetParam().movie, 1).path);
  const oxltest::ExactBuffer in(frame);
  EXPECT_EQ(COXLAVCIntraHelper().GetAVCIntraMode(in.data(), in.size()), GetParam().mode);
}

const FrameCase kXavcFrames[] = {
    {{"xavc50_1080i25.h264", 50, 1440, 1080, true, "25", "", true}, 16},
    {{"xavc50_1080p2997.h264", 50, 1440, 1080, false, "30000/1001", "", true}, 17},
    {{"xavc100_720p50.h264", 100, 1280, 720, false, "50", "", true}, 18},
    {{"xavc100_720p5994.h264", 100, 1280, 720, false, "60000/1001", "", true}, 19},
    {{"xavc100_1080i25.h264", 100, 1920, 1080, true, "25", "", true}, 20},
    {{"xavc100_1080i2997.h264", 100, 1920, 1080, true, "30000/1001", "", true}, 21},
    {{"xavc100_1080p25.h264", 100, 1920, 1080, false, "25", "", true}, 22},
    {{"xavc100_1080p2398.h264", 100, 1920, 1080, false, "24000/1001", "", true}, 23},
    {{"xavc100_1080p50.h264", 100, 1920, 1080, false, "50", "", true}, 24},
    {{"xavc100_1080p2997.h264", 100, 1920, 1080, false, "30000/1001", "", true}, 25},
    {{"xavc100_1080p5994.h264", 100, 1920, 1080, false, "60000/1001", "", true}, 25},
    {{"xavc300_2160p25.h264", 300, 3840, 2160, false, "25", "", true}, 26},
    {{"xavc300_2160p2997.h264", 300, 3840, 2160, false, "30000/1001", "", true}, 27},
    {{"xavc300_2160p50.h264", 300, 3840, 2160, false, "50", "", true}, 28},
    {{"xavc480_2160p5994.h264", 480, 3840, 2160, false, "60000/1001", "", true}, 33},
    // AVC-Intra 200 has no mode.
    {{"avci200_1080p25.h264", 200, 1920, 1080, false, "25", "", false}, 34},
};

INSTANTIATE_TEST_SUITE_P(X264, XavcIntraFrames, testing::ValuesIn(kXavcFrames),
                         CaseName);

// Damaged and foreign input: refused, never read outside the buffer (the
// exact-size buffers let the address sanitizer see any overrun).
class DamagedFrames : public testing::Test {
 protected:
  bool Formats(const std::string& bytes, Mode mode = COXLAVCIntraHelper::AVCI100_25) {
    const oxltest::ExactBuffer in(bytes);
    unsigned char* out = nullptr;
    unsigned int outSize = 0;
    return helper.Format(mode, in.data(), in.size(), out, outSize, scratch, 0);
  }
  unsigned int ModeOf(const std::string& bytes) {
    const oxltest::ExactBuffer in(bytes);
    return helper.GetAVCIntraMode(in.data(), in.size());
  }
  COXLAVCIntraHelper helper;
  std::vector<unsigned char> scratch;
};

// A slice whose length claims 4 bytes more than there are, any cut of a
// frame, an access unit delimiter alone, random bytes: refused, no mode.
TEST_F(DamagedFrames, CutForeignOrSliceLessFramesAreRefused) {
  const std::string frame = oxltest::ByteBuilder().u32(6).bytes(std::string("\x65\x88\x80\x40\x00\x10", 6)).str();
  ASSERT_TRUE(Formats(frame)) << "the intact frame is a complete slice";
  EXPECT_FALSE(Formats(frame, COXLAVCIntraHelper::AVCI_Unknown)) << "no class to take parameter sets from";
  EXPECT_EQ(ModeOf(frame.substr(0, frame.size() - 4)), COXLAVCIntraHelper::AVCI_Unknown);
  for (size_t size = 0; size < frame.size(); ++size) EXPECT_FALSE(Formats(frame.substr(0, size)));
  EXPECT_FALSE(Formats(std::string("\0\0\0\1\x09\xf0", 6)));
  std::mt19937 random(13);
  for (int i = 0; i < 200; ++i) {
    std::string bytes(1 + random() % 3000, '\0');
    for (auto& b : bytes) b = static_cast<char>(random());
    if (i % 2) bytes.replace(0, 4, std::string("\0\0\0\1", 4));
    Formats(bytes);
    EXPECT_EQ(ModeOf(bytes), COXLAVCIntraHelper::AVCI_Unknown);
  }
}

TEST_F(DamagedFrames, RealFrameCutShortIsRefused) {
  const AvcIntraCase c{"avci100_720p50.mov", 100, 1280, 720, false, "50", "ai1q", false};
  const auto frame = oxltest::PacketBytes(Fixture(c)).at(1);
  const std::string lengthPrefixed = oxltest::ToLengthPrefixed(oxltest::BlankParameterSets(frame));
  // The last slice's length runs past the end: neither form.
  for (size_t cut : {1, 4, 5, 100000})
    EXPECT_FALSE(Formats(lengthPrefixed.substr(0, lengthPrefixed.size() - cut), COXLAVCIntraHelper::AVCI100_720p50))
        << cut;
  // Cut anywhere: formatted or refused, but never read past (sanitizer builds).
  for (size_t size = 0; size < frame.size(); size += 4093) {
    Formats(frame.substr(0, size), COXLAVCIntraHelper::AVCI100_720p50);
    Formats(lengthPrefixed.substr(0, size), COXLAVCIntraHelper::AVCI100_720p50);
  }
  // Cut before its first slice: parameter sets alone have no mode.
  EXPECT_EQ(ModeOf(frame.substr(0, 400)), COXLAVCIntraHelper::AVCI_Unknown);
}

// A fuzz finding, reduced to its layout: length-prefixed, with its own
// parameter sets. Without a mode there is no largest frame, and the frame is
// formatted all the same; a mode of the table bounds it.
TEST_F(DamagedFrames, FuzzFindingUnknownModeFormatsAFrameWithItsOwnParameterSets) {
  const oxltest::ExactBuffer in(oxltest::FromHex("00000002 6742 00000002 68ce 00000003 658884"));
  unsigned char* out = nullptr;
  unsigned int outSize = 0;
  ASSERT_TRUE(helper.Format(COXLAVCIntraHelper::AVCI_Unknown, in.data(), in.size(), out, outSize, scratch, 0));
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(out), outSize),
            oxltest::FromHex("00000001 6742 00000001 68ce 00000001 658884"));
  ASSERT_TRUE(helper.Format(COXLAVCIntraHelper::AVCI100_25, in.data(), in.size(), out, outSize, scratch, 0));
  EXPECT_LE(outSize, helper.GetMaxFrameSize(COXLAVCIntraHelper::AVCI100_25));
}

TEST(AvcIntraMaxFrameSize, CoversTheLargestFrameOfEveryFormatOfTheMode) {
  COXLAVCIntraHelper helper;
  // Nominal frame sizes of the classes: AVC-Intra 100 at 1080/25 is 568832 bytes.
  EXPECT_GE(helper.GetMaxFrameSize(COXLAVCIntraHelper::AVCI100_25), 568832u);
  EXPECT_GE(helper.GetMaxFrameSize(COXLAVCIntraHelper::AVCI50_25), 281088u);
  EXPECT_LT(helper.GetMaxFrameSize(COXLAVCIntraHelper::AVCI50_720p50), helper.GetMaxFrameSize(COXLAVCIntraHelper::AVCI50_25));
  EXPECT_EQ(helper.GetMaxFrameSize(COXLAVCIntraHelper::AVCI_Unknown), 0u);
  EXPECT_EQ(helper.GetMaxFrameSize(static_cast<Mode>(77)), 0u);
}

}  // namespace
