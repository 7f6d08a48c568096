// Edit rates and media times.
#include <gtest/gtest.h>

#include "qelCore/EditRate.h"
#include "qelCore/MediaTime.h"
#include "qelCore/QELRuntimeError.h"
#include "support/CapturingLogger.h"

using qel::EditRate;
using qel::MediaTime;

TEST(EditRateEquality, ToleratesNtscSpellings) {
  EXPECT_EQ(EditRate(2997, 100), EditRate(30000, 1001));  // differ by 3e-5
  EXPECT_EQ(EditRate(5994, 100), EditRate(60000, 1001));
  EXPECT_NE(EditRate(2997, 100), EditRate(30, 1));        // differ by 0.03
  EXPECT_EQ(EditRate(50, 2), EditRate(25, 1));
}

TEST(EditRateEquality, EmptyRatesEqualOnlyEachOther) {
  EXPECT_EQ(EditRate(0, 0), EditRate(0, 1));
  EXPECT_EQ(EditRate(25, 0), EditRate(0, 0));
  EXPECT_NE(EditRate(25, 1), EditRate(0, 0));
  EXPECT_NE(EditRate(0, 0), EditRate(25, 1));
}

TEST(EditRateChecks, ZeroPartsFailWithTheirTexts) {
  oxltest::CapturingLogger log;
  try {
    EditRate(0, 1).CheckNumerator();
    FAIL();
  } catch (const qel::QELRuntimeError& e) {
    EXPECT_STREQ(e.what(), "[numerator is 0] [ Condition is not true ]");
  }
  try {
    EditRate(25, 0).CheckDenominator();
    FAIL();
  } catch (const qel::QELRuntimeError& e) {
    EXPECT_STREQ(e.what(), "[denominator is 0] [ Condition is not true ]");
  }
  EXPECT_DOUBLE_EQ(qel::GetFrameTime(EditRate(2997, 100)), 100.0 / 2997.0);
  EXPECT_THROW(qel::GetFrameTime(EditRate(0, 1)), qel::QELRuntimeError);
}

TEST(MediaTimeArithmetic, CountsAndTimesAtOtherRates) {
  MediaTime t(EditRate(25, 1), 100);
  EXPECT_DOUBLE_EQ(t.GetTimeStamp(), 4.0);
  EXPECT_EQ((t + 5).GetTimeNumber(), 105);
  EXPECT_EQ((t - 5).GetTimeNumber(), 95);
  // 1 s at 48 kHz is 25 frames; the result keeps the left operand's rate.
  const MediaTime second(EditRate(48000, 1), 48000);
  EXPECT_EQ((t + second).GetTimeNumber(), 125);
  EXPECT_EQ((t + second).GetEditRate().numerator, 25u);
  t -= second;
  EXPECT_EQ(t.GetTimeNumber(), 75);
  // 30000 units at 30000/1001 are exactly 1001 s; other conversions round to nearest.
  EXPECT_EQ(MediaTime(EditRate(30000, 1001), 30000).ConvertTo(EditRate(1, 1)).GetTimeNumber(), 1001);
  EXPECT_EQ(MediaTime(EditRate(3, 1), 2).ConvertTo(EditRate(1, 1)).GetTimeNumber(), 1);   // 0.67 -> 1
  EXPECT_EQ(MediaTime(EditRate(3, 1), -2).ConvertTo(EditRate(1, 1)).GetTimeNumber(), -1);
}

TEST(MediaTimeComparison, ExactAcrossRatesWithoutOverflow) {
  const MediaTime a(EditRate(30000, 1001), 30000);  // 1001 s
  const MediaTime b(EditRate(1, 1), 1001);
  EXPECT_FALSE(a < b);
  EXPECT_FALSE(b < a);
  EXPECT_FALSE(a != b);
  EXPECT_TRUE(MediaTime(EditRate(48000, 1), 47999) < MediaTime(EditRate(1, 1), 1));
  // Products beyond 64 bits still compare right.
  const MediaTime big(EditRate(4000000000u, 1), INT64_MAX / 2);
  EXPECT_TRUE(MediaTime(EditRate(1, 4000000000u), 0) < big);
}

TEST(MediaTimeText, NumberAndRate) { EXPECT_EQ(qel::ToString(MediaTime(EditRate(25, 1), 1500)), "1500@25/1"); }

TEST(MediaTimeText, EmptyRateHasZeroTimeStamp) { EXPECT_EQ(MediaTime(EditRate(0, 0), 99).GetTimeStamp(), 0.0); }
