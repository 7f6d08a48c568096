// Sequence parameter sets with the fields x264 does not use (High profile 8
// bits, picture order count type 1, cropping); NAL units
// with the forbidden bit (x264's frames drive the rest of the splitting).
#include <gtest/gtest.h>

#include "qelMuxerUtils/H264Bitstream.h"
#include "support/ByteBuilder.h"
#include "support/FuzzInputs.h"

using oxltest::ExactBuffer;

namespace {

// High profile (100) level 4.0, 4:2:0 8 bits, picture order count type 1 with a
// cycle of 2, 120x68 macroblocks frames only, 8x8 transform, cropped by 8 lines
// at the bottom (1920x1080), VUI with an extended sample aspect ratio, signal
// type, chroma location and timing 1001/60000: 29.97 frames per second.
const char kHighProfileSps[] = "67640028 aca153b4 03c0113f 2ffe0002 0002d404 0407c000 00fa4000 3a9820";
// Baseline, log2_max_pic_order_cnt_lsb_minus4 13 (at most 12 is allowed).
const char kBadPocLsbSps[] = "6742001e e39058bc 80";
// Baseline, one 16x16 macroblock, no VUI, cropped at the left by 4 chroma
// samples (8 pixels wide left), or by 8 at the left or the bottom (nothing left: refused).
const char kCroppedSps[] = "6742001e ddd2f4";
const char kCroppedAwaySps[] = "6742001e ddd13d", kCroppedAwayBottomSps[] = "6742001e ddde25";
// The same in High 4:4:4, whose chroma is as wide as luma: 12 wide.
const char kCropped444Sps[] = "67f4001e 919774bd";
// High 4:2:2 Intra 3840x2160 whose VUI has only an overscan flag, whole (no
// timing) or cut at the byte boundary right before its timing flag.
const char kNoTimingSps[] = "677a1033 b6cf00f0 010fa840", kCutBeforeTimingSps[] = "677a1033 b6cf00f0 010fa8";

bool Parses(const std::string& nal, H264::SequenceParameterSet& parsed) {
  const ExactBuffer sps(nal);
  return H264::ParseSequenceParameterSet(sps.data(), sps.size(), parsed);
}

// Every cut before the timing fields end, another unit type, or a value out of
// range (log2_max_pic_order_cnt_lsb_minus4 13 > 12) is refused.
TEST(H264Units, HighProfileSpsIsReadAndDamagedUnitsAreRefused) {
  H264::SequenceParameterSet parsed;
  const std::string sps = oxltest::FromHex(kHighProfileSps);
  ASSERT_TRUE(Parses(sps, parsed));
  EXPECT_EQ(parsed.chromaFormatIdc, 1u);
  EXPECT_EQ(parsed.width, 1920u);
  EXPECT_EQ(parsed.height, 1080u);
  EXPECT_TRUE(parsed.frameMbsOnly);
  EXPECT_EQ(parsed.MapUnits(), 120u * 68u);
  EXPECT_NEAR(parsed.FrameRate(), 29.97, 0.01);
  for (size_t size = 0; size + 2 < sps.size(); ++size) EXPECT_FALSE(Parses(sps.substr(0, size), parsed)) << size;
  EXPECT_FALSE(Parses('\x68' + sps.substr(1), parsed));
  EXPECT_FALSE(Parses(oxltest::FromHex(kBadPocLsbSps), parsed));
  ASSERT_TRUE(Parses(oxltest::FromHex(kCroppedSps), parsed));
  EXPECT_EQ(std::make_pair(parsed.width, parsed.height), std::make_pair(8u, 16u));
  EXPECT_FALSE(Parses(oxltest::FromHex(kCroppedAwaySps), parsed));
  EXPECT_FALSE(Parses(oxltest::FromHex(kCroppedAwayBottomSps), parsed));
  ASSERT_TRUE(Parses(oxltest::FromHex(kCropped444Sps), parsed));
  EXPECT_EQ(std::make_pair(parsed.width, parsed.chromaFormatIdc), std::make_pair(12u, 3u));
  EXPECT_FALSE(Parses(oxltest::FromHex(kCutBeforeTimingSps), parsed));
  ASSERT_TRUE(Parses(oxltest::FromHex(kNoTimingSps), parsed));
  EXPECT_EQ(std::make_tuple(parsed.width, parsed.height, parsed.timingInfo), std::make_tuple(3840u, 2160u, false));
  // NAL units with the forbidden bit, in either frame form.
  H264::FrameForm form;
  std::vector<H264::NalUnit> units;
  const ExactBuffer prefixed(oxltest::ByteBuilder().u32(2).bytes("\xe5\x88").str());
  EXPECT_FALSE(H264::SplitNalUnits(prefixed.data(), prefixed.size(), form, units));
  const ExactBuffer annexB(std::string("\0\0\1\x65\x88\0\0\1\xe5\x88", 10));
  EXPECT_FALSE(H264::SplitNalUnits(annexB.data(), annexB.size(), form, units));
}

}  // namespace
