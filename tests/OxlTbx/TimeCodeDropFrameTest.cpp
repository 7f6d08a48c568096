// Drop-frame counting checked against SMPTE 12M labelling: at 29.97 frames
// 00 and 01 (at 59.94 frame pairs 00 and 01) are skipped at the start of every
// minute that is not a multiple of ten.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "OxlTbx/TimeCode.h"

using namespace OxlTbx;

namespace {

void PutTwoDigits(char* p, unsigned int v) {
  p[0] = static_cast<char>('0' + v / 10);
  p[1] = static_cast<char>('0' + v % 10);
}

// Walks every label of one day in order, "hh:mm:ss;ff" plus ' ' (and '.' for
// the odd frame of a pair at 59.94), counting the frames that exist. Each label
// must read as the next count and print back unchanged. A skipped label is
// moved on by (2 - f) x 2 fields for frame numbers f of 0 and 1: at 29.97 that
// is the first frame that follows it; at 59.94, where f counts fields, pair 00
// lands on that frame and the other skipped labels just before it.
void WalkDropFrameDay(VideoSystem system) {
  const bool pairs = Fields_Frame[system] == 1;
  const unsigned long fieldsPerLabel = pairs ? 1 : 2;
  CTimeCode tc(0, system);
  char text[] = "00:00:00;00 ";
  unsigned long expected = 0;
  for (unsigned int h = 0; h < 24; ++h) {
    for (unsigned int m = 0; m < 60; ++m) {
      for (unsigned int s = 0; s < 60; ++s) {
        for (unsigned int f = 0; f < 30; ++f) {
          PutTwoDigits(text, h);
          PutTwoDigits(text + 3, m);
          PutTwoDigits(text + 6, s);
          PutTwoDigits(text + 9, f);
          const bool skipped = m % 10 != 0 && s == 0 && f < 2;
          for (char trailing : {' ', '.'}) {
            if (trailing == '.' && !pairs) break;
            text[11] = trailing;
            const unsigned long within = pairs ? 2 * f + (trailing == '.' ? 1 : 0) : 2 * f;
            const unsigned long number = pairs ? within : f;
            const unsigned long read =
                skipped ? expected - (4 - within) + (number < 2 ? (2 - number) * 2 : 0) : expected;
            if (!tc.SetStr(text, 2) || tc.GetFields() != read) {
              FAIL() << text << " read as " << tc.GetFields() << ", expected " << read;
            }
            if (skipped) continue;
            if (std::strcmp(tc.GetStr(2), text) != 0) FAIL() << expected << " printed " << tc.GetStr(2) << " not " << text;
            expected += fieldsPerLabel;
          }
        }
      }
    }
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

TEST(DropFrameCounts, NtscDropMatchesSmpteFrameNumbers) {
  EXPECT_EQ(FieldsOf("00:01:00;02", VS_NTSCDrop) / 2, 1800u);
  EXPECT_EQ(FieldsOf("00:10:00;00", VS_NTSCDrop) / 2, 17982u);
  EXPECT_EQ(FieldsOf("01:00:00;00", VS_NTSCDrop) / 2, 107892u);
  EXPECT_EQ(FieldsOf("23:59:59;29", VS_NTSCDrop) / 2, 2589407u);
  EXPECT_EQ(CTimeCode::GetMaxFrame(VS_NTSCDrop), 2589408u);
}

TEST(DropFrameCounts, FieldNtscDropMatchesSmpteFrameNumbers) {
  EXPECT_EQ(FieldsOf("00:01:00;02 ", VS_FieldNTSCDrop), 3600u);
  EXPECT_EQ(FieldsOf("00:10:00;00 ", VS_FieldNTSCDrop), 35964u);
  EXPECT_EQ(FieldsOf("01:00:00;00 ", VS_FieldNTSCDrop), 215784u);
  EXPECT_EQ(FieldsOf("23:59:59;29.", VS_FieldNTSCDrop), 5178815u);
  EXPECT_EQ(CTimeCode::GetMaxFrame(VS_FieldNTSCDrop), 5178816u);
}

TEST(DropFrameCounts, SkippedFrameNumbersGiveFirstFrameOfMinute) {
  for (unsigned short f : {0, 1, 2}) EXPECT_EQ(CTimeCode(0, 1, 0, f, false, VS_NTSCDrop).GetFields(), 3600u) << f;
  EXPECT_STREQ(CTimeCode(3600, VS_NTSCDrop).GetStr(2), "00:01:00;02 ");
}

TEST(DropFrameCounts, PlainCountingSkipsNothing) {
  EXPECT_EQ(FieldsOf("00:01:00;00", VS_NTSCNoDrop), 3600u);
  EXPECT_STREQ(CTimeCode(36000, VS_FieldNTSCNoDrop).GetStr(2), "00:10:00:00 ");
}
