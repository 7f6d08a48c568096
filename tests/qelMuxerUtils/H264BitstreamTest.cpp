// Sequence parameter sets written bit by bit with the fields x264 does not
// use (High profile 8 bits, picture order count type 1, cropping); NAL units
// with the forbidden bit (x264's frames drive the rest of the splitting).
#include <gtest/gtest.h>

#include "qelMuxerUtils/H264Bitstream.h"
#include "support/ByteBuilder.h"

using oxltest::ExactBuffer;

namespace {

// Writes bits most significant first, Exp-Golomb codes, and the NAL unit
// (trailing bits, then emulation prevention bytes).
class BitWriter {
 public:
  BitWriter& bits(unsigned int count, uint64_t value) {
    for (unsigned int i = count; i-- > 0; ++m_Bits) {
      if (m_Bits % 8 == 0) m_Bytes.push_back(0);
      m_Bytes.back() |= static_cast<unsigned char>(((value >> i) & 1) << (7 - m_Bits % 8));
    }
    return *this;
  }
  BitWriter& ue(uint32_t value) {
    const uint64_t code = uint64_t(value) + 1;
    unsigned int length = 0;
    while ((code >> length) > 1) ++length;
    return bits(length, 0).bits(length + 1, code);
  }
  BitWriter& se(int32_t value) { return ue(value > 0 ? 2 * uint32_t(value) - 1 : 2 * uint32_t(-value)); }
  std::string nal(uint8_t header) {
    bits(1, 1).bits((8 - m_Bits % 8) % 8, 0);
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
  std::vector<unsigned char> m_Bytes;
  size_t m_Bits = 0;
};

// High profile 4:2:0 8 bits, 1920x1080 (68 rows cropped by 8 lines), picture
// order count type 1, 30000/1001 frames per second.
std::string HighProfileSps() {
  BitWriter w;
  w.bits(8, 100).bits(8, 0).bits(8, 40).ue(0);        // profile, constraints, level, id
  w.ue(1).ue(0).ue(0).bits(1, 0).bits(1, 0);           // 4:2:0, 8 bits, no bypass, no scaling lists
  w.ue(0).ue(1).bits(1, 0).se(-2).se(1).ue(2).se(0).se(-1);  // frame num, POC type 1 with a cycle of 2
  w.ue(1).bits(1, 0).ue(119).ue(67).bits(1, 1);       // refs, gaps, 120x68 MBs, frames only
  w.bits(1, 1).bits(1, 1).ue(0).ue(0).ue(0).ue(4);    // 8x8; cropping: 8 lines at the bottom
  w.bits(1, 1);                                        // VUI
  w.bits(1, 1).bits(8, 255).bits(16, 1).bits(16, 1);  // extended sample aspect ratio
  w.bits(1, 0).bits(1, 1).bits(3, 5).bits(1, 0).bits(1, 1).bits(24, 0x010101);  // signal type, colour
  w.bits(1, 1).ue(0).ue(0);                            // chroma location
  w.bits(1, 1).bits(32, 1001).bits(32, 60000);         // timing
  return w.nal(0x67);
}

bool Parses(const std::string& nal, H264::SequenceParameterSet& parsed) {
  const ExactBuffer sps(nal);
  return H264::ParseSequenceParameterSet(sps.data(), sps.size(), parsed);
}

// Every cut before the timing fields end, another unit type, or a value out of
// range (log2_max_pic_order_cnt_lsb_minus4 13 > 12) is refused.
TEST(H264Units, HighProfileSpsIsReadAndDamagedUnitsAreRefused) {
  H264::SequenceParameterSet parsed;
  ASSERT_TRUE(Parses(HighProfileSps(), parsed));
  EXPECT_EQ(parsed.chromaFormatIdc, 1u);
  EXPECT_EQ(parsed.width, 1920u);
  EXPECT_EQ(parsed.height, 1080u);
  EXPECT_TRUE(parsed.frameMbsOnly);
  EXPECT_EQ(parsed.MapUnits(), 120u * 68u);
  EXPECT_NEAR(parsed.FrameRate(), 29.97, 0.01);
  const std::string sps = HighProfileSps();
  for (size_t size = 0; size + 2 < sps.size(); ++size) EXPECT_FALSE(Parses(sps.substr(0, size), parsed)) << size;
  EXPECT_FALSE(Parses('\x68' + sps.substr(1), parsed));
  BitWriter w;
  w.bits(8, 66).bits(8, 0).bits(8, 30).ue(0).ue(0).ue(0).ue(13);
  w.ue(1).bits(1, 0).ue(10).ue(10).bits(1, 1).bits(1, 1).bits(1, 0).bits(1, 0);
  EXPECT_FALSE(Parses(w.nal(0x67), parsed));
  // NAL units with the forbidden bit, in either frame form.
  H264::FrameForm form;
  std::vector<H264::NalUnit> units;
  const ExactBuffer prefixed(oxltest::ByteBuilder().u32(2).bytes("\xe5\x88").str());
  EXPECT_FALSE(H264::SplitNalUnits(prefixed.data(), prefixed.size(), form, units));
  const ExactBuffer annexB(std::string("\0\0\1\x65\x88\0\0\1\xe5\x88", 10));
  EXPECT_FALSE(H264::SplitNalUnits(annexB.data(), annexB.size(), form, units));
}

}  // namespace
