// The H.264 pieces under the AVC-Intra helper: NAL units of both frame forms,
// and sequence parameter sets written bit by bit with the fields x264 does not
// use (High profile 8 bits, picture order count type 1, cropping).
#include <gtest/gtest.h>

#include "qelMuxerUtils/H264Bitstream.h"
#include "support/ByteBuilder.h"

using oxltest::ExactBuffer;

namespace {

// Writes bits most significant first, and Exp-Golomb codes.
class BitWriter {
 public:
  BitWriter& bits(unsigned int count, uint32_t value) {
    for (unsigned int i = count; i-- > 0;) bit((value >> i) & 1);
    return *this;
  }
  BitWriter& ue(uint32_t value) {
    const uint64_t code = uint64_t(value) + 1;
    unsigned int length = 0;
    while ((code >> length) > 1) ++length;
    bits(length, 0);
    for (unsigned int i = length + 1; i-- > 0;) bit((code >> i) & 1);
    return *this;
  }
  BitWriter& se(int32_t value) { return ue(value > 0 ? 2 * uint32_t(value) - 1 : 2 * uint32_t(-value)); }
  // rbsp_trailing_bits, then the NAL unit with emulation prevention bytes.
  std::string nal(uint8_t header) {
    bit(1);
    while (m_Bits % 8) bit(0);
    std::string out(1, static_cast<char>(header));
    int zeros = 0;
    for (unsigned char b : m_Bytes) {
      if (zeros >= 2 && b <= 3) {
        out += '\x03';
        zeros = 0;
      }
      zeros = b == 0 ? zeros + 1 : 0;
      out += static_cast<char>(b);
    }
    return out;
  }

 private:
  void bit(unsigned int b) {
    if (m_Bits % 8 == 0) m_Bytes.push_back(0);
    if (b) m_Bytes.back() |= static_cast<unsigned char>(0x80 >> (m_Bits % 8));
    ++m_Bits;
  }
  std::vector<unsigned char> m_Bytes;
  size_t m_Bits = 0;
};

// High profile 4:2:0 8 bits, 1920x1080 (68 rows cropped by 8 lines; with
// `fields`, 34 row pairs), picture order count type 1, 30000/1001 frames per second.
std::string HighProfileSps(bool fields = false) {
  BitWriter w;
  w.bits(8, 100).bits(8, 0).bits(8, 40).ue(0);        // profile, constraints, level, id
  w.ue(1).ue(0).ue(0).bits(1, 0).bits(1, 0);           // 4:2:0, 8 bits, no bypass, no scaling lists
  w.ue(0).ue(1).bits(1, 0).se(-2).se(1).ue(2).se(0).se(-1);  // frame num, POC type 1 with a cycle of 2
  w.ue(1).bits(1, 0).ue(119).ue(fields ? 33 : 67);    // refs, gaps, 120x68 MBs
  if (fields) w.bits(1, 0).bits(1, 1);                 // fields, adaptive
  else w.bits(1, 1);                                   // frames only
  w.bits(1, 1).bits(1, 1).ue(0).ue(0).ue(0).ue(fields ? 2 : 4);  // 8x8; cropping: 8 lines at the bottom
  w.bits(1, 1);                                        // VUI
  w.bits(1, 1).bits(8, 255).bits(16, 1).bits(16, 1);  // extended sample aspect ratio
  w.bits(1, 0).bits(1, 1).bits(3, 5).bits(1, 0).bits(1, 1).bits(24, 0x010101);  // signal type, colour
  w.bits(1, 1).ue(0).ue(0);                            // chroma location
  w.bits(1, 1).bits(32, 1001).bits(32, 60000);         // timing
  return w.nal(0x67);
}

TEST(H264SequenceParameterSet, ReadsPictureFormatOfEveryProfileLayout) {
  const ExactBuffer sps(HighProfileSps());
  H264::SequenceParameterSet parsed;
  ASSERT_TRUE(H264::ParseSequenceParameterSet(sps.data(), sps.size(), parsed));
  EXPECT_EQ(parsed.chromaFormatIdc, 1u);
  EXPECT_EQ(parsed.width, 1920u);
  EXPECT_EQ(parsed.height, 1080u);
  EXPECT_TRUE(parsed.frameMbsOnly);
  EXPECT_EQ(parsed.MapUnits(), 120u * 68u);
  EXPECT_NEAR(parsed.FrameRate(), 29.97, 0.01);
  const ExactBuffer fields(HighProfileSps(true));  // 34 row pairs
  ASSERT_TRUE(H264::ParseSequenceParameterSet(fields.data(), fields.size(), parsed));
  EXPECT_FALSE(parsed.frameMbsOnly);
  EXPECT_TRUE(parsed.mbAdaptiveFrameField);
  EXPECT_EQ(parsed.height, 1080u);
  EXPECT_EQ(parsed.MapUnits(), 120u * 34u);
}

TEST(H264SequenceParameterSet, CutOrForeignUnitsAreRefused) {
  H264::SequenceParameterSet parsed;
  // Every cut before the timing fields end loses a field.
  for (bool fields : {false, true}) {
    const std::string sps = HighProfileSps(fields);
    for (size_t size = 0; size + 2 < sps.size(); ++size) {
      const ExactBuffer cut(sps.substr(0, size));
      EXPECT_FALSE(H264::ParseSequenceParameterSet(cut.data(), cut.size(), parsed)) << size;
    }
  }
  const std::string sps = HighProfileSps();
  std::string pps = sps;
  pps[0] = 0x68;
  const ExactBuffer notSps(pps);
  EXPECT_FALSE(H264::ParseSequenceParameterSet(notSps.data(), notSps.size(), parsed));
}

TEST(H264SequenceParameterSet, ValuesOutsideTheStandardsRangesAreRefused) {
  BitWriter w;
  w.bits(8, 66).bits(8, 0).bits(8, 30).ue(0).ue(0).ue(0).ue(13);  // log2_max_pic_order_cnt_lsb_minus4 13 > 12
  w.ue(1).bits(1, 0).ue(10).ue(10).bits(1, 1).bits(1, 1).bits(1, 0).bits(1, 0);
  const ExactBuffer sps(w.nal(0x67));
  H264::SequenceParameterSet parsed;
  EXPECT_FALSE(H264::ParseSequenceParameterSet(sps.data(), sps.size(), parsed));
}

// Length-prefixed frames may end in zero padding; Annex B units keep the
// zeros before the next start code; a forbidden bit makes either unreadable.
TEST(H264NalUnits, BothFrameFormsSplitIntoUnits) {
  H264::FrameForm form;
  std::vector<H264::NalUnit> units;
  const ExactBuffer prefixed(oxltest::ByteBuilder().u32(2).bytes("\x09\x10").u32(3).bytes("\x65\x88\x80").zeros(7).str());
  ASSERT_TRUE(H264::SplitNalUnits(prefixed.data(), prefixed.size(), form, units));
  EXPECT_EQ(form, H264::FrameForm::LengthPrefixed);
  ASSERT_EQ(units.size(), 2u);
  EXPECT_EQ(units[1].offset, 10u);
  EXPECT_EQ(units[1].size, 3u);
  EXPECT_TRUE(units[1].IsSlice());
  const ExactBuffer annexB(std::string("\0\0\0\1\x09\x10\0\0\0\1\x65\x88", 12));
  ASSERT_TRUE(H264::SplitNalUnits(annexB.data(), annexB.size(), form, units));
  EXPECT_EQ(form, H264::FrameForm::AnnexB);
  ASSERT_EQ(units.size(), 2u);
  EXPECT_EQ(units[0].size, 3u);  // 09 10 00
  EXPECT_EQ(units[1].prefixOffset, 7u);
  EXPECT_EQ(units[1].offset, 10u);
  const ExactBuffer forbidden(oxltest::ByteBuilder().u32(2).bytes("\xe5\x88").str());
  EXPECT_FALSE(H264::SplitNalUnits(forbidden.data(), forbidden.size(), form, units));
  const ExactBuffer forbiddenB(std::string("\0\0\1\x65\x88\0\0\1\xe5\x88", 10));
  EXPECT_FALSE(H264::SplitNalUnits(forbiddenB.data(), forbiddenB.size(), form, units));
}

}  // namespace
