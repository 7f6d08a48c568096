// The tests' in-process MD5, on the test suite of RFC 1321: the file tests
// compare every frame with ffprobe's MD5 through it.
#include <gtest/gtest.h>

#include "support/Md5.h"

TEST(Md5Helper, MatchesTheRfc1321TestSuite) {
  EXPECT_EQ(oxltest::Md5Hex(""), "d41d8cd98f00b204e9800998ecf8427e");
  EXPECT_EQ(oxltest::Md5Hex("a"), "0cc175b9c0f1b6a831c399e269772661");
  EXPECT_EQ(oxltest::Md5Hex("abc"), "900150983cd24fb0d6963f7d28e17f72");
  EXPECT_EQ(oxltest::Md5Hex("message digest"), "f96b697d7cb7938d525a2f31aaf161d0");
  EXPECT_EQ(oxltest::Md5Hex("abcdefghijklmnopqrstuvwxyz"), "c3fcd3d76192e4007dfb496cca67e13b");
  EXPECT_EQ(oxltest::Md5Hex("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789"),
            "d174ab98d277d9f5a5611c2c9f419d9f");
  std::string digits;
  for (int i = 0; i < 8; ++i) digits += "1234567890";
  EXPECT_EQ(oxltest::Md5Hex(digits),
            "57edf4a22be3c955ac49da2e2107b67a");
}
