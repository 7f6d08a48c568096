#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "OxlTbx/TimeCodeConversions.h"

using namespace OxlTbx;

TEST(TimeCodeSeconds, FromSeconds) {
  const CTimeCode one = sec2TC(1.0, VS_PAL, true);
  EXPECT_EQ(one.GetFields(), 50u);
  EXPECT_EQ(one.GetDecimals(), 0);
  EXPECT_TRUE(one.IsUsingDecimals());
  EXPECT_FALSE(sec2TC(0.5, VS_PAL).IsUsingDecimals());
  const CTimeCode part = sec2TC(0.013, VS_PAL, true);  // 0.65 field
  EXPECT_EQ(part.GetFields(), 0u);
  EXPECT_EQ(part.GetDecimals(), 65);
  EXPECT_EQ(sec2TC(1.0, VS_NTSCDrop).GetFields(), 59u);  // 59.94 fields in a second
  EXPECT_EQ(ms2TC(1000.0, VS_PAL).GetFields(), 50u);
  EXPECT_FALSE(sec2TC(-1.0, VS_PAL).HasValue());
  EXPECT_FALSE(sec2TC(std::numeric_limits<double>::quiet_NaN(), VS_PAL).HasValue());
  EXPECT_FALSE(sec2TC(1e30, VS_PAL).HasValue());
}

TEST(TimeCodeSeconds, ToSeconds) {
  EXPECT_DOUBLE_EQ(TC2sec(CTimeCode(50, VS_PAL, 50)), 1.01);
  EXPECT_DOUBLE_EQ(TC2ms(CTimeCode(60000, VS_NTSCNoDrop)), 1001000.0);
}

TEST(TimeCodeBytes, ConstantBitRate) {
  EXPECT_EQ(TC2Bytes(CTimeCode(50, VS_PAL), 8000), 1000u);
  EXPECT_EQ(TC2Bytes(CTimeCode(), 8000), 0u);
  EXPECT_EQ(Bytes2TC(1000, 8000, VS_PAL).GetFields(), 50u);
  EXPECT_FALSE(Bytes2TC(1000, 8000, VS_PAL).IsUsingDecimals());
  const CTimeCode noRate = Bytes2TC(1000, 0, VS_PAL);
  EXPECT_FALSE(noRate.HasValue());
  EXPECT_EQ(noRate.GetSystem(), VS_Invalid);
  EXPECT_DOUBLE_EQ(Bytes2ms(1000, 8000), 1000.0);
  EXPECT_DOUBLE_EQ(Bytes2ms(1000, 0), 0.0);
  EXPECT_EQ(ms2Bytes(1000.9, 8000), 1000u);  // whole milliseconds
  EXPECT_EQ(ms2Bytes(-5.0, 8000), 0u);
}

TEST(TimeCodeSmpteWords, FieldCounts) {
  EXPECT_EQ(DWORD2SMPTE(1800000, VS_PAL), 0x10000000u);
  EXPECT_EQ(DWORD2SMPTE(183, VS_NTSCNoDrop), 0x00000301u);
  EXPECT_EQ(DWORD2SMPTE(100u * 3600 * 50 + 3000, VS_PAL), 0x00010000u);  // hours modulo 100
  EXPECT_EQ(DWORD2SMPTE(36000, VS_NTSCDrop), 0x00100000u);                // no drop-frame counting
  EXPECT_EQ(SMPTE2DWORD(0x10000000, VS_PAL), 1800000u);
  EXPECT_EQ(SMPTE2DWORD(0x01020304, VS_NTSCNoDrop), 216000u + 7200 + (4 + 90) * 2);
  EXPECT_EQ(SMPTE2DWORD(0x01020304, VS_FieldPAL), 216000u + 7200 + (4 + 90) * 2);  // only PAL counts 25
}
