// Drop-frame counting checked against SMPTE 12M labelling: at 29.97 frames
// 00 and 01 (at 59.94 frame pairs 00 and 01) are skipped at the start of every
// minute that is not a multiple of ten.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>

#include "OxlTbx/TimeCode.h"

using namespace OxlTbx;

namespace {

// Walks every label of one day in order ("hh:mm:ss;ff" plus ' ', or '.' for
// the odd frame of a pair at 59.94), counting the frames that exist. Each
// label must read as the next count and print back unchanged. A skipped
// label reads as the first frame after it (at 59.94 pair 00 lands on it and
// the other skipped labels just before).
void WalkDropFrameDay(VideoSystem system) {
  const bool pairs = Fields_Frame[system] == 1;
  CTimeCode tc(0, system);
  char text[16];
  unsigned long expected = 0;
  for (unsigned int h = 0; h < 24; ++h)
    for (unsigned int m = 0; m < 60; ++m)
      for (unsigned int s = 0; s < 60; ++s)
        for (unsigned int f = 0; f < 30; ++f)
          for (unsigned long odd = 0; odd < (pairs ? 2u : 1u); ++odd) {
            std::snprintf(text, sizeof text, "%02u:%02u:%02u;%02u%c", h, m, s, f, odd ? '.' : ' ');
            const bool skipped = m % 10 != 0 && s == 0 && f < 2;
            const unsigned long within = pairs ? 2 * f + odd : 2 * f, number = pairs ? within : f;
            const unsigned long read = skipped ? expected - (4 - within) + (number < 2 ? (2 - number) * 2 : 0) : expected;
            if (!tc.SetStr(text, 2) || tc.GetFields() != read)
              FAIL() << text << " read as " << tc.GetFields() << ", expected " << read;
            if (skipped) continue;
            if (std::strcmp(tc.GetStr(2), text) != 0) FAIL() << expected << " printed " << tc.GetStr(2) << " not " << text;
            expected += pairs ? 1 : 2;
          }
  EXPECT_EQ(expected, CTimeCode::GetMaxField(system));
}

unsigned long FieldsOf(const char* text, VideoSystem system) {
  CTimeCode tc(0, system);
  EXPECT_TRUE(tc.SetStr(text, 2)) << text;
  return tc.GetFields();
}

}  // namespace

TEST(DropFrameDay, NtscDropEveryFrameRoundTrips) { WalkDropFrameDay(VS_NTSCDrop); }

TEST(DropFrameDay, FieldNtscDropEveryFrameRoundTrips) { WalkDropFrameDay(VS_FieldNTSCDrop); }

TEST(DropFrameCounts, MatchSmpteFrameNumbers) {
  EXPECT_EQ(FieldsOf("00:01:00;02", VS_NTSCDrop), 3600u);
  EXPECT_EQ(FieldsOf("00:10:00;00", VS_NTSCDrop), 35964u);
  EXPECT_EQ(FieldsOf("01:00:00;00 ", VS_FieldNTSCDrop), 215784u);
  EXPECT_EQ(FieldsOf("23:59:59;29.", VS_FieldNTSCDrop), 5178815u);
  EXPECT_EQ(CTimeCode::GetMaxFrame(VS_NTSCDrop), 2589408u);
  EXPECT_EQ(CTimeCode::GetMaxFrame(VS_FieldNTSCDrop), 5178816u);
  for (unsigned short f : {0, 1, 2}) EXPECT_EQ(CTimeCode(0, 1, 0, f, false, VS_NTSCDrop).GetFields(), 3600u) << f;
  EXPECT_EQ(FieldsOf("00:01:00;00", VS_NTSCNoDrop), 3600u);  // plain counting skips nothing
  EXPECT_STREQ(CTimeCode(36000, VS_FieldNTSCNoDrop).GetStr(2), "00:10:00:00 ");
}
