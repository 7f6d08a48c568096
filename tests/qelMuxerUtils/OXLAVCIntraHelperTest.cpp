// COXLAVCIntraHelper on frames x264 makes (their modes, formatted frames
// decoded by FFmpeg) and on damaged frames.
#include <gtest/gtest.h>

#include "qelMuxerUtils/AVCIntraParameterSets.h"
#include "qelMuxerUtils/H264Bitstream.h"
#include "qelMuxerUtils/OXLAVCIntraHelper.h"
#include "support/AvcIntraFixtures.h"
#include "support/ByteBuilder.h"
#include "support/FFmpegTools.h"
#include "support/FuzzInputs.h"
#include "support/GrowingFile.h"
#include "support/TempDir.h"

using Mode = COXLAVCIntraHelper::avc_intra_compression_mode_enum;

namespace {

struct FrameCase {
  oxltest::AvcIntraCase movie;
  unsigned int mode;  // the frame's own mode: the class, format and rate of the material
};

unsigned int ModeOf(const std::string& frame) {
  const oxltest::ExactBuffer in(frame);
  return COXLAVCIntraHelper().GetAVCIntraMode(in.data(), in.size());
}

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

// Each frame (Annex B or length prefixed) gives the mode of its class and
// format, none without parameter sets. Formatted, the frames decode like the
// movie as made, blanked (parameter sets inserted) and blanked length-prefixed.
class AvcIntraFrames : public testing::TestWithParam<FrameCase> {};

TEST_P(AvcIntraFrames, FramesGiveTheirModeAndFormattedDecodeLikeTheMovie) {
  const auto& fixture = oxltest::AvcIntraFixture(GetParam().movie);
  const Mode mode = static_cast<Mode>(GetParam().mode);
  const auto expected = oxltest::MovieFrameMd5s(fixture);
  const auto frames = oxltest::PacketBytes(fixture);
  ASSERT_EQ(expected.size(), frames.size());
  std::vector<std::string> blanked, lengthPrefixed, expectedThrice;
  for (const auto& frame : frames) {
    EXPECT_EQ(ModeOf(frame), GetParam().mode);
    EXPECT_EQ(ModeOf(oxltest::ToLengthPrefixed(frame)), GetParam().mode);
    if (&frame != &frames[0]) {  // x264 pads each frame to its class's size; a quarter more and room for parameter sets
      EXPECT_EQ(COXLAVCIntraHelper().GetMaxFrameSize(mode), frame.size() + frame.size() / 4 + 1024);
    }
    blanked.push_back(oxltest::BlankParameterSets(frame));
    lengthPrefixed.push_back(oxltest::ToLengthPrefixed(blanked.back()));
  }
  EXPECT_EQ(ModeOf(blanked[0]), COXLAVCIntraHelper::AVCI_Unknown);
  for (int i = 0; i < 3; ++i) expectedThrice.insert(expectedThrice.end(), expected.begin(), expected.end());
  oxltest::TempDir dir;
  const std::string stream = FormatAll(frames, mode) + FormatAll(blanked, mode) + FormatAll(lengthPrefixed, mode);
  EXPECT_EQ(oxltest::DecodedFrameMd5s("-f h264 -i " + oxltest::ShellQuote(dir.write("stream.h264", stream))),
            expectedThrice);
}

// Modes from the mode table: AVC-Intra 50 (0-7), 100 (8-15).
const FrameCase kMovies[] = {
    {{"avci50_1080i25.mov", 50, 1440, 1080, true, "25", "ai55", false}, 2},
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

INSTANTIATE_TEST_SUITE_P(X264, AvcIntraFrames, testing::ValuesIn(kMovies), [](const auto& info) {
  return std::string(info.param.movie.name).substr(0, std::string(info.param.movie.name).find('.'));
});

// XAVC-Intra frames (x264's Sony flavour) give the XAVC-Intra modes 16-33.
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
    {{"xavc480_2160p2997.h264", 480, 3840, 2160, false, "30000/1001", "", true}, 31},
    {{"xavc480_2160p5994.h264", 480, 3840, 2160, false, "60000/1001", "", true}, 33},
    // AVC-Intra 200 has no mode.
    {{"avci200_1080p25.h264", 200, 1920, 1080, false, "25", "", false}, 34},
};

TEST(XavcIntraFrames, FrameGivesAnXavcIntraMode) {
  for (const FrameCase& c : kXavcFrames)
    EXPECT_EQ(ModeOf(oxltest::ReadWholeFile(oxltest::AvcIntraFixture(c.movie, 1).path)), c.mode) << c.movie.name;
}

// Without timing a 2160-line frame has no mode: its size cannot tell 25 from
// 50 frames per second. The parameter set is x264's 2160p class 300 one
// without its VUI.
TEST(XavcIntraFrames, A2160LineFrameWithoutTimingHasNoMode) {
  std::string frame = oxltest::ReadWholeFile(oxltest::AvcIntraFixture(kXavcFrames[11].movie, 1).path);
  const size_t sps = frame.find(std::string("\0\0\1\x67", 4)) + 3;
  const size_t end = frame.find(std::string("\0\0\1", 3), sps);
  ASSERT_NE(end, std::string::npos);
  ASSERT_EQ(ModeOf(frame), 26u);
  EXPECT_EQ(ModeOf(frame.replace(sps, end - sps, oxltest::FromHex("677a1033b6cf00f0010f90"))),
            COXLAVCIntraHelper::AVCI_Unknown);
}

// The parameter sets inserted into frames describe the row they stand in.
TEST(ReferenceParameterSets, EachSetDescribesItsRow) {
  for (size_t i = 0; i < AVCIntra::kReferenceParameterSetCount; ++i) {
    const AVCIntra::ReferenceParameterSets& row = AVCIntra::kReferenceParameterSets[i];
    H264::SequenceParameterSet sps;
    ASSERT_TRUE(H264::ParseSequenceParameterSet(row.sps, row.spsSize, sps)) << i;
    EXPECT_EQ(std::make_tuple(sps.width, sps.height, !sps.frameMbsOnly), std::make_tuple(row.width, row.height, row.interlaced)) << i;
    EXPECT_NEAR(sps.FrameRate(), double(row.rateNumerator) / row.rateDenominator, 0.01) << i;
  }
}

// Damaged and foreign input: refused, never read outside the buffer (the
// exact-size buffers let the address sanitizer see any overrun).
class DamagedFrames : public testing::Test {
 protected:
  bool Formats(const std::string& bytes, Mode mode = COXLAVCIntraHelper::AVCI100_25) {
    const oxltest::ExactBuffer in(bytes);
    return helper.Format(mode, in.data(), in.size(), out, outSize, scratch, 0);
  }
  COXLAVCIntraHelper helper;
  std::vector<unsigned char> scratch;
  unsigned char* out = nullptr;  // into scratch when the frame was rebuilt
  unsigned int outSize = 0;
};

// A slice whose length claims 4 bytes more than there are, any cut of a
// frame, an access unit delimiter alone: refused, no mode.
TEST_F(DamagedFrames, CutForeignOrSliceLessFramesAreRefused) {
  const std::string frame = oxltest::ByteBuilder().u32(6).bytes(std::string("\x65\x88\x80\x40\x00\x10", 6)).str();
  ASSERT_TRUE(Formats(frame)) << "the intact frame is a complete slice";
  EXPECT_FALSE(Formats(frame, COXLAVCIntraHelper::AVCI_Unknown)) << "no class to take parameter sets from";
  EXPECT_EQ(ModeOf(frame.substr(0, frame.size() - 4)), COXLAVCIntraHelper::AVCI_Unknown);
  for (size_t size = 0; size < frame.size(); ++size) EXPECT_FALSE(Formats(frame.substr(0, size)));
  EXPECT_FALSE(Formats(std::string("\0\0\0\1\x09\xf0", 6)));
}

// A fuzz finding: length-prefixed, with its own parameter sets. Without a mode
// (no largest frame) it is formatted all the same.
TEST_F(DamagedFrames, FuzzFindingUnknownModeFormatsAFrameWithItsOwnParameterSets) {
  const std::string in = oxltest::FromHex("00000002 6742 00000002 68ce 00000003 658884");
  ASSERT_TRUE(Formats(in, COXLAVCIntraHelper::AVCI_Unknown));
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(out), outSize),
            oxltest::FromHex("00000001 6742 00000001 68ce 00000001 658884"));
  EXPECT_TRUE(Formats(in));
  EXPECT_EQ(helper.GetMaxFrameSize(COXLAVCIntraHelper::AVCI_Unknown), 0u);
  EXPECT_EQ(helper.GetMaxFrameSize(static_cast<Mode>(77)), 0u);
}

}  // namespace
