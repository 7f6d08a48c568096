#include <gtest/gtest.h>

#include <cstring>

#include "OxlTbx/Byter.h"

TEST(Byter, Mpeg2CrcCheckValueAndDamage) {
  unsigned char section[13] = {'1', '2', '3', '4', '5', '6', '7', '8', '9', 0x03, 0x76, 0xE6, 0xE7};
  EXPECT_EQ(CByter::Compute_CRC(section, section + 9), 0x0376E6E7u);  // the catalogued CRC-32/MPEG-2 value
  EXPECT_EQ(CByter::Compute_CRC(section + 9, section), 0xFFFFFFFFu);
  EXPECT_FALSE(CByter::Check_CRC(section, section + 13));
  EXPECT_TRUE(CByter::Check_CRC(section, section));
  section[4] ^= 0x10;
  EXPECT_TRUE(CByter::Check_CRC(section, section + 13));
}

TEST(Byter, SubBitsAndReversal) {
  const unsigned char word[2] = {0xA5, 0x3C};
  EXPECT_EQ(CByter::SubBitsValue(word, 1, 4), 0xAu);
  EXPECT_EQ(CByter::SubBitsValue(word, 5, 12), 0x53u);
  EXPECT_EQ(CByter::SubBitsValue(word, 1, 16), 0xA53Cu);
  EXPECT_EQ(CByter::SubBitsValue(word, 0, 3), 0u);
  EXPECT_EQ(CByter::SubBitsValue(word, 5, 4), 0u);
  EXPECT_EQ(CByter::SubBitsValue(word, 1, 17), 0u);
  const unsigned char src[4] = {1, 2, 3, 4};
  unsigned char dst[4] = {9, 9, 9, 9};
  CByter::ReverseBytes(src, 3, dst);
  CByter::ReverseBytes(src, -1, dst);
  EXPECT_EQ(0, std::memcmp(dst, "\x03\x02\x01\x09", 4));
  CByter::ReverseBytes32(dst, dst);  // in place
  EXPECT_EQ(0, std::memcmp(dst, "\x09\x01\x02\x03", 4));
}
