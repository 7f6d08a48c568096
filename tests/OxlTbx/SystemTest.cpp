#include <gtest/gtest.h>

#include <limits>
#include <vector>

#include "OxlTbx/System.h"
#include "OxlTbx/TimeCodeConversions.h"

using namespace OxlTbx;

TEST(VideoSystem, CompatibilityGroupsRatesAndCounterparts) {
  using V = std::vector<VideoSystem>;
  const auto group = [](uint32_t s) { return CSystem(VideoSystem(s)).GetCompatibleVideoSystems().GetSystems(); };
  EXPECT_EQ(group(1), V{VS_24Drop});
  EXPECT_EQ(group(6), (V{VS_PAL, VS_FieldPAL}));
  EXPECT_EQ(group(7), (V{VS_NTSCDrop, VS_FieldNTSCDrop}));
  EXPECT_EQ(group(5), (V{VS_NTSCNoDrop, VS_FieldNTSCNoDrop}));
  for (uint32_t other : {0u, 9u, 10u, 0xFFFFFFFFu}) EXPECT_EQ(group(other), V{VS_Invalid}) << other;
  EXPECT_TRUE(CSystem(VS_FieldPAL).IsVideoSystemCompatible(VS_PAL));
  EXPECT_FALSE(CSystem(VS_NTSCDrop).IsVideoSystemCompatible(VS_NTSCNoDrop));
  EXPECT_FALSE(CSystem(VS_25).IsVideoSystemCompatible(VS_25));  // 9 belongs to {0}
  EXPECT_TRUE(CSystem(VS_FieldPAL).Is50Hz() && !CSystem(VS_25).Is50Hz());
  EXPECT_TRUE(CSystem(VS_FieldNTSCDrop).Is5994Hz() && !CSystem(VS_NTSCNoDrop).Is5994Hz());
  EXPECT_TRUE(CSystem(VS_FieldNTSCNoDrop).Is60Hz());
  EXPECT_TRUE(CSystem(VS_25).IsHIResProgressive() && !CSystem(VS_NTSCNoDrop).IsHIResProgressive());
  const std::pair<uint32_t, VideoSystem> hi[] = {{0, VS_Invalid}, {1, VS_NTSCDrop}, {3, VS_FieldPAL}, {9, VS_25}};
  const std::pair<uint32_t, VideoSystem> lo[] = {{0, VS_Invalid}, {6, VS_PAL}, {8, VS_NTSCNoDrop}, {9, VS_FieldPAL}};
  for (const auto& [from, to] : hi) EXPECT_EQ(CSystem(VideoSystem(from)).GetHiResProgressiveSystem(), to) << from;
  for (const auto& [from, to] : lo) EXPECT_EQ(CSystem(VideoSystem(from)).GetLowResProgressiveSystem(), to) << from;
}

TEST(TimeCodeConversions, SecondsBytesAndSmpteWords) {
  const CTimeCode part = sec2TC(0.013, VS_PAL, true);  // 0.65 field
  EXPECT_EQ(part.GetFields(), 0u);
  EXPECT_EQ(part.GetDecimals(), 65);
  EXPECT_EQ(sec2TC(1.0, VS_PAL, true).GetFields(), 50u);
  EXPECT_FALSE(sec2TC(0.5, VS_PAL).IsUsingDecimals());
  EXPECT_EQ(sec2TC(1.0, VS_NTSCDrop).GetFields(), 59u);  // 59.94 fields in a second
  EXPECT_EQ(ms2TC(1000.0, VS_PAL).GetFields(), 50u);
  for (double bad : {-1.0, std::numeric_limits<double>::quiet_NaN(), 1e30}) EXPECT_FALSE(sec2TC(bad, VS_PAL).HasValue());
  EXPECT_DOUBLE_EQ(TC2sec(CTimeCode(50, VS_PAL, 50)), 1.01);
  EXPECT_DOUBLE_EQ(TC2ms(CTimeCode(60000, VS_NTSCNoDrop)), 1001000.0);
  EXPECT_EQ(TC2Bytes(CTimeCode(50, VS_PAL), 8000), 1000u);
  EXPECT_EQ(TC2Bytes(CTimeCode(), 8000), 0u);
  EXPECT_EQ(Bytes2TC(1000, 8000, VS_PAL).GetFields(), 50u);
  EXPECT_EQ(Bytes2TC(1000, 0, VS_PAL).GetSystem(), VS_Invalid);
  EXPECT_DOUBLE_EQ(Bytes2ms(1000, 8000), 1000.0);
  EXPECT_DOUBLE_EQ(Bytes2ms(1000, 0), 0.0);
  EXPECT_EQ(ms2Bytes(1000.9, 8000), 1000u);  // whole milliseconds
  EXPECT_EQ(ms2Bytes(-5.0, 8000), 0u);
  EXPECT_EQ(DWORD2SMPTE(183, VS_NTSCNoDrop), 0x00000301u);
  EXPECT_EQ(DWORD2SMPTE(100u * 3600 * 50 + 3000, VS_PAL), 0x00010000u);  // hours modulo 100
  EXPECT_EQ(DWORD2SMPTE(36000, VS_NTSCDrop), 0x00100000u);                // no drop-frame counting
  EXPECT_EQ(SMPTE2DWORD(0x10000000, VS_PAL), 1800000u);
  EXPECT_EQ(SMPTE2DWORD(0x01020304, VS_FieldPAL), 216000u + 7200 + (4 + 90) * 2);  // only PAL counts 25
}
