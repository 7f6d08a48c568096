// Edit rates and media times.
#include <gtest/gtest.h>

#include "qelCore/EditRate.h"
#include "qelCore/MediaTime.h"
#include "support/CapturingLogger.h"
#include "support/ErrorText.h"

using qel::EditRate;
using qel::MediaTime;

TEST(EditRate, EqualityToleratesNtscSpellingsAndChecksParts) {
  EXPECT_EQ(EditRate(2997, 100), EditRate(30000, 1001));  // differ by 3e-5
  EXPECT_NE(EditRate(2997, 100), EditRate(30, 1));        // differ by 0.03
  EXPECT_EQ(EditRate(25, 0), EditRate(0, 0));  // empty rates equal only each other
  EXPECT_NE(EditRate(25, 1), EditRate(0, 0));
  oxltest::CapturingLogger log;
  EXPECT_EQ(oxltest::QelFailure([] { EditRate(0, 1).CheckNumerator(); }), "[numerator is 0] [ Condition is not true ]");
  EXPECT_EQ(oxltest::QelFailure([] { EditRate(25, 0).CheckDenominator(); }), "[denominator is 0] [ Condition is not true ]");
  EXPECT_DOUBLE_EQ(qel::GetFrameTime(EditRate(2997, 100)), 100.0 / 2997.0);
  EXPECT_THROW(qel::GetFrameTime(EditRate(0, 1)), qel::QELRuntimeError);
}

TEST(MediaTime, ArithmeticAndConversionAcrossRates) {
  MediaTime t(EditRate(25, 1), 100);
  EXPECT_DOUBLE_EQ(t.GetTimeStamp(), 4.0);
  EXPECT_EQ((t + 5).GetTimeNumber(), 105);
  EXPECT_EQ((t - 5).GetTimeNumber(), 95);
  const MediaTime second(EditRate(48000, 1), 48000);  // 25 frames; the left operand's rate stays
  EXPECT_EQ((t + second).GetTimeNumber(), 125);
  EXPECT_EQ((t + second).GetEditRate().numerator, 25u);
  t -= second;
  EXPECT_EQ(t.GetTimeNumber(), 75);
  EXPECT_EQ(MediaTime(EditRate(30000, 1001), 30000).ConvertTo(EditRate(1, 1)).GetTimeNumber(), 1001);
  EXPECT_EQ(MediaTime(EditRate(3, 1), -2).ConvertTo(EditRate(1, 1)).GetTimeNumber(), -1);
  EXPECT_EQ(qel::ToString(MediaTime(EditRate(25, 1), 1500)), "1500@25/1");
  EXPECT_EQ(MediaTime(EditRate(0, 0), 99).GetTimeStamp(), 0.0);
}

TEST(MediaTime, ComparisonIsExactAcrossRatesWithoutOverflow) {
  const MediaTime a(EditRate(30000, 1001), 30000), b(EditRate(1, 1), 1001);  // both 1001 s
  EXPECT_FALSE(a < b || b < a || a != b);
  EXPECT_TRUE(MediaTime(EditRate(48000, 1), 47999) < MediaTime(EditRate(1, 1), 1));
  const MediaTime big(EditRate(4000000000u, 1), INT64_MAX / 2);  // products beyond 64 bits
  EXPECT_TRUE(MediaTime(EditRate(1, 4000000000u), 0) < big);
}
