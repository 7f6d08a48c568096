#include <gtest/gtest.h>

#include <climits>
#include <exception>

#include "OxlTbx/TimeCode.h"

using namespace OxlTbx;

namespace {

constexpr unsigned long kPalDay = 4320000;

class TimeCodeDayWrapping : public ::testing::Test {
 protected:
  void SetUp() override { CTimeCode::UseDayWrapping(true); }
  void TearDown() override { CTimeCode::UseDayWrapping(false); }
};

}  // namespace

TEST(TimeCodeConstruction, ValueAndSystemRules) {
  EXPECT_FALSE(CTimeCode().IsValid() || CTimeCode().HasValue() || CTimeCode::IsDayWrapped());
  EXPECT_EQ(CTimeCode(CTimeCode::NoValue, VS_PAL).GetSystem(), VS_Invalid);
  EXPECT_EQ(CTimeCode(100, static_cast<VideoSystem>(10)).GetSystem(), VS_Invalid);
  CTimeCode noValue(100, VS_PAL);
  noValue.SetFields(CTimeCode::NoValue);
  EXPECT_EQ(CTimeCode(noValue).GetSystem(), VS_Invalid);  // a copy without value has no system

  EXPECT_EQ(CTimeCode(0, 0, 1, 0, true, VS_PAL).GetFields(), 51u);
  EXPECT_EQ(CTimeCode(0, 0, 1, 0, true, VS_FieldPAL).GetFields(), 51u);
  EXPECT_THROW(CTimeCode(0, VS_PAL).SetToSystemTime(), std::exception);
  EXPECT_THROW(CTimeCode(0, VS_PAL).SetToLocalTime(), std::exception);
}

TEST(TimeCodeConstruction, DecimalsCarryIntoFields) {
  const CTimeCode carried(100, VS_PAL, 250);
  EXPECT_EQ(carried.GetFields(), 102u);
  EXPECT_EQ(carried.GetDecimals(), 50);
  EXPECT_EQ(CTimeCode(100, VS_PAL, -5).GetDecimals(), 0);
  EXPECT_FALSE(CTimeCode(100, VS_PAL, -1).IsUsingDecimals());
  EXPECT_DOUBLE_EQ(CTimeCode(50, VS_PAL, 50).GetSecond(), 1.01);
}

TEST(TimeCodeConstruction, ParityIsTheFieldOfTheFrame) {
  CTimeCode tc(100, VS_PAL), progressive(100, VS_FieldPAL);
  tc.SetParity(true);
  progressive.SetParity(true);
  EXPECT_EQ(tc.GetFields(), 101u);
  EXPECT_TRUE(tc.GetParity());
  EXPECT_EQ(progressive.GetFields(), 100u);  // one field per frame: no second field
  EXPECT_FALSE(CTimeCode(101, VS_FieldPAL).GetParity());
}

TEST_F(TimeCodeDayWrapping, CountsReduceModuloADay) {
  CTimeCode tc(0, VS_PAL);
  tc.SetFields(kPalDay);  // exactly one day is kept by SetFields
  EXPECT_EQ(tc.GetFields(), kPalDay);
  EXPECT_EQ(CTimeCode(tc).GetFields(), 0u);
  tc.SetFields(kPalDay + 1);
  EXPECT_EQ(tc.GetFields(), 1u);
  EXPECT_EQ(CTimeCode(kPalDay + 7, VS_PAL).GetFields(), 7u);
  EXPECT_EQ((CTimeCode(kPalDay - 2, VS_PAL) + 6).GetFields(), 4u);
  CTimeCode last(kPalDay - 2, VS_PAL);
  last++;
  EXPECT_EQ(last.GetFields(), 0u);
  last.SetHMSF(24, 0, 0, 2);
  EXPECT_EQ(last.GetFields(), 4u);
}

TEST(TimeCodeDays, WithoutWrappingCountsPassADay) {
  CTimeCode tc(0, VS_PAL);
  tc.SetDHMSF(1, 0, 0, 0, 0);
  EXPECT_EQ(tc.GetFields(), kPalDay);
  EXPECT_STREQ(tc.GetStr(2), "24:00:00:00 ");
  unsigned short h, m, s, f;
  EXPECT_FALSE(CTimeCode().GetHMSF(h, m, s, f));
}

TEST(TimeCodeRoundTrip, EverySystemThroughTextPackedAndSmpte) {
  // Text and packed forms name frames, so a second field reads back as the
  // start of its frame; system 9 prints frame pairs but reads frames back.
  for (uint32_t s = 1; s <= 9; ++s) {
    const VideoSystem system = static_cast<VideoSystem>(s);
    for (unsigned long count = 0; count < Max_Fields[s]; count += 101) {
      const CTimeCode tc(count, system);
      const unsigned long frameStart = count - count % Fields_Frame[s];
      CTimeCode text(0, system), packed(0, system), smpte(0, system);
      ASSERT_TRUE(text.SetStr(tc.GetStr(2), 2)) << tc.GetStr(2);
      unsigned char bytes[4] = {};
      ASSERT_TRUE(tc.EncodeTo(bytes));
      packed.DecodeFrom(bytes);
      smpte.SetSMPTE(tc.GetSMPTE());
      if (text.GetFields() != frameStart || packed.GetFields() != frameStart || smpte.GetFields() != frameStart)
        FAIL() << Sys_String[s] << " count " << count << ": text " << text.GetFields() << ", packed "
               << packed.GetFields() << ", smpte " << smpte.GetFields();
    }
  }
}

TEST(TimeCodePacked, BitLayout) {
  unsigned char bytes[4] = {0, 0, 0, 0x5A};
  ASSERT_TRUE(CTimeCode(1, 2, 3, 5, false, VS_NTSCDrop).EncodeTo(bytes));
  EXPECT_EQ(bytes[0], 0x84);  // drop flag, hours 1, minutes bits 5-4
  EXPECT_EQ(bytes[1], 0x28);  // minutes bits 3-0, marker bit, seconds bits 5-3
  EXPECT_EQ(bytes[2], 0x62);  // seconds bits 2-0, frames bits 5-1
  EXPECT_EQ(bytes[3], 0xDA);  // frames bit 0; the low bits are kept
  EXPECT_FALSE(CTimeCode().EncodeTo(bytes));
  EXPECT_FALSE(CTimeCode(0, VS_PAL).DecodeFrom(nullptr));

  // 00:10:00;00 with and without the drop flag, marker and spare bits flipped.
  unsigned char tenMinutes[4] = {0x80, 0xA0, 0x00, 0x7F};
  CTimeCode tc(0, VS_NTSCDrop);
  tc.DecodeFrom(tenMinutes);
  EXPECT_EQ(tc.GetFields(), 35964u);
  tenMinutes[0] = 0x00;
  tc.DecodeFrom(tenMinutes);
  EXPECT_EQ(tc.GetFields(), 36000u);
}

TEST(TimeCodePacked, SmpteWords) {
  CTimeCode tc(0, VS_PAL);
  ASSERT_TRUE(tc.SetStr("10:00:00:00", 2));
  EXPECT_EQ(tc.GetSMPTE(), 0x10000000u);
  EXPECT_EQ(CTimeCode(5178814, VS_NTSCDrop).GetSMPTE(), 0x23595929u);
  EXPECT_EQ(CTimeCode().GetSMPTE(), 0u);
}

TEST(TimeCodeConvert, CompatibleSystemsKeepTimeOfDay) {
  const std::pair<VideoSystem, VideoSystem> groups[] = {
      {VS_PAL, VS_FieldPAL}, {VS_NTSCDrop, VS_FieldNTSCDrop}, {VS_NTSCNoDrop, VS_FieldNTSCNoDrop}};
  for (const auto& [interlaced, progressive] : groups) {
    for (unsigned long count = 0; count < Max_Fields[interlaced]; count += 2 * 97) {
      CTimeCode tc(count, interlaced);
      const double seconds = tc.GetSecond();
      tc.ConvertToSystem(progressive);
      const bool kept = tc.GetSystem() == progressive && tc.GetSecond() == seconds;
      tc.ConvertToSystem(interlaced);
      if (!kept || tc.GetFields() != count) FAIL() << Sys_String[interlaced] << " count " << count;
      CTimeCode odd(count + 1, progressive);  // the second frame of a pair falls on the field
      odd.ConvertToSystem(interlaced);
      if (odd.GetFields() != count) FAIL() << Sys_String[progressive] << " count " << count + 1;
    }
  }
}

TEST(TimeCodeConvert, OtherSystems) {
  CTimeCode palTen(1800000, VS_PAL);
  palTen.ConvertToSystem(VS_NTSCDrop);
  EXPECT_STREQ(palTen.GetStr(2), "10:00:00;00 ");
  CTimeCode noSystem;  // takes a known system, keeping the count
  noSystem.SetFields(100);
  noSystem.ConvertToSystem(static_cast<VideoSystem>(12));
  noSystem.ConvertToSystem(VS_24);
  EXPECT_EQ(noSystem.GetSystem(), VS_24);
  EXPECT_EQ(noSystem.GetFields(), 100u);
  CTimeCode outOfRange(100, VS_PAL);
  outOfRange.ConvertToSystem(static_cast<VideoSystem>(12));
  EXPECT_EQ(outOfRange.GetSystem(), VS_Invalid);
}

TEST(TimeCodeArithmetic, FieldCounts) {
  EXPECT_EQ((CTimeCode(10, VS_PAL) - 20).GetFields(), kPalDay - 10);  // crosses midnight backwards
  EXPECT_EQ((CTimeCode(10, VS_PAL) - long(3 * kPalDay + 5)).GetFields(), 5u);
  EXPECT_EQ((CTimeCode(10, VS_PAL) -= -20).GetFields(), 30u);
  EXPECT_EQ((CTimeCode(10, VS_PAL) + 4 * long(kPalDay)).GetFields(), 4 * kPalDay + 10);  // no wrapping
  CTimeCode tc(0, VS_NTSCDrop);
  const CTimeCode before = tc--;
  EXPECT_EQ(before.GetFields(), 0u);
  EXPECT_EQ(tc.GetFields(), 5178814u);
  tc++;
  EXPECT_EQ(tc.GetFields(), 5178816u);
  EXPECT_LT((CTimeCode(10, VS_PAL) += LONG_MIN).GetFields(), kPalDay);  // must not overflow
  EXPECT_FALSE((CTimeCode() + 5).HasValue());
}

TEST(TimeCodeArithmetic, Timecodes) {
  const CTimeCode a(100, VS_PAL, 60), b(50, VS_PAL, 70), plain(50, VS_PAL);
  const CTimeCode sum = a + b;
  EXPECT_EQ(sum.GetFields(), 151u);
  EXPECT_EQ(sum.GetDecimals(), 30);
  EXPECT_TRUE((plain + b).IsUsingDecimals());
  CTimeCode inPlace = a;
  inPlace += plain;  // in place, decimals count only when both sides use them
  EXPECT_EQ(inPlace.GetFields(), 150u);
  EXPECT_EQ(inPlace.GetDecimals(), 60);
  const CTimeCode diff = CTimeCode(10, VS_PAL, 20) - b;
  EXPECT_EQ(diff.GetFields(), kPalDay + 10 - 50 - 1);
  EXPECT_EQ(diff.GetDecimals(), 50);
  EXPECT_FALSE((a + CTimeCode::invalid).IsValid());
  CTimeCode spoiled = a;
  spoiled -= CTimeCode::invalid;
  EXPECT_FALSE(spoiled.IsValid());
}

TEST(TimeCodeComparison, CompatibleSystemsOnly) {
  EXPECT_TRUE(CTimeCode(100, VS_PAL) == CTimeCode(100, VS_FieldPAL));
  EXPECT_TRUE(CTimeCode(100, VS_PAL) < CTimeCode(101, VS_FieldPAL));
  const CTimeCode pal(100, VS_PAL), ntsc(100, VS_NTSCDrop);
  EXPECT_FALSE(pal == ntsc);
  EXPECT_TRUE(pal != ntsc);
  EXPECT_FALSE(pal < ntsc || pal > ntsc || pal <= ntsc || pal >= ntsc);
  EXPECT_FALSE(CTimeCode(100, VS_25) == CTimeCode(100, VS_25));
  EXPECT_EQ(pal.FramesTill(ntsc), CTimeCode::NoValue);
}

TEST(TimeCodeComparison, DecimalsDecideOnlyWhenBothUseThem) {
  const CTimeCode low(100, VS_PAL, 10), high(100, VS_PAL, 20), plain(100, VS_PAL);
  EXPECT_TRUE(low < high);
  EXPECT_FALSE(low == high);
  EXPECT_TRUE(high == plain);
  EXPECT_TRUE(high <= plain && high >= plain && !(high < plain));
}

TEST(TimeCodeDistance, AcrossMidnight) {
  const CTimeCode late(kPalDay - 10, VS_PAL), early(10, VS_FieldPAL);
  EXPECT_EQ(late.FieldsTill(early), 20u);
  EXPECT_EQ(late.FramesTill(early), 10u);
  EXPECT_EQ(early.FieldsTill(late), kPalDay - 20);
}
