#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>

#include "OxlTbx/TimeCode.h"

using namespace OxlTbx;

namespace {

// One day and 01:02:03:04, second field, in PAL (day wrapping is off).
const CTimeCode kPalPastADay(4320000 + 3723 * 50 + 4 * 2 + 1, VS_PAL);

}  // namespace

TEST(TimeCodeTextOutput, SystemNames) {
  const char* names[] = {"25 [0]", "24 Drop", "24", "PAL", "NTSC Drop", "NTSC No Drop", "Field-PAL",
                         "Field-NTSC Drop", "Field-NTSC No Drop", "25 [9]"};
  for (uint32_t s = 0; s < VideoSystemCount; ++s) EXPECT_STREQ(Sys_String[s], names[s]);
  EXPECT_STREQ(Sys_String[0xFFFFFFFFu], "25 [0]");
  EXPECT_STREQ(CTimeCode(0, VS_FieldNTSCNoDrop).GetStr(9), "Field-NTSC No Drop");
}

TEST(TimeCodeTextOutput, EveryFormatCode) {
  const std::pair<unsigned int, const char*> cases[] = {
      {1, "25:02:03:04*"},          {2, "25:02:03:04 "},       {3, "25:02:03"},
      {4, "090123s"},               {5, "25h02m"},             {6, "25:02:03:04"},
      {7, "25:02:03:04"},           {9, "PAL"},                {17, "01.01:02:03:04*"},
      {18, "01.01:02:03:04 "},      {19, "01.01:02:03"},       {20, "01003723s"},
      {21, "01.01h02m"},            {22, "01.01:02:03:04"},    {257, "PAL 25:02:03:04*"},
      {259, "PAL 25:02:03"},        {260, "PAL 090123s"},      {262, "PAL 25:02:03:04"},
      {273, "PAL 01.01:02:03:04*"}, {276, "PAL 01003723s"},    {278, "PAL 01.01:02:03:04"},
      {4097, "01:02:03:04*"},       {4100, "003723s"},         {4101, "01h02m"},
  };
  for (const auto& [format, text] : cases) EXPECT_STREQ(kPalPastADay.GetStr(format), text) << format;
}

TEST(TimeCodeTextOutput, UnlistedCodesPrintNameAndTimecode) {
  for (unsigned int format : {0u, 8u, 10u, 16u, 23u, 25u, 258u, 263u, 265u, 4103u, 4105u, 12345u})
    EXPECT_STREQ(kPalPastADay.GetStr(format), "PAL 25:02:03:04 ") << format;
}

TEST(TimeCodeTextOutput, ProgressiveSystemsPrintFramePairs) {
  const CTimeCode odd(3601, VS_FieldNTSCDrop);  // 00:01:00;02, second frame of the pair
  EXPECT_STREQ(odd.GetStr(1), "00:01:00;02*");
  EXPECT_STREQ(odd.GetStr(2), "00:01:00;02.");
  EXPECT_STREQ(odd.GetStr(6), "00:01:00;02");
  EXPECT_STREQ(odd.GetStr(7), "00:01:00;05");
  EXPECT_STREQ(odd.GetStr(0), "Field-NTSC Drop 00:01:00;02.");
  EXPECT_STREQ(CTimeCode(49, VS_FieldPAL).GetStr(2), "00:00:00:24.");
  EXPECT_STREQ(CTimeCode(48, VS_FieldPAL).GetStr(1), "00:00:00:24 ");
  EXPECT_STREQ(CTimeCode(6, VS_25).GetStr(2), "00:00:00:01.");  // system 9 prints pairs of frames too
  EXPECT_STREQ(CTimeCode(3601, VS_NTSCDrop).GetStr(2), "00:01:00;02 ");
}

TEST(TimeCodeTextOutput, NothingWithoutValueOrSystem) {
  char out[TimeCodeTextSize];
  std::memset(out, 'x', sizeof out);
  EXPECT_FALSE(CTimeCode().GetStr(out, 2));
  EXPECT_EQ(out[0], 'x');
  EXPECT_STREQ(CTimeCode().GetStr(2), "");
}

TEST(TimeCodeTextInput, ReadsWhatItPrints) {
  CTimeCode tc(0, VS_PAL);
  ASSERT_TRUE(tc.SetStr("10:00:00:00", 2));
  EXPECT_EQ(tc.GetFields(), 1800000u);
  ASSERT_TRUE(tc.SetStr("10:00", 2));  // missing parts count as 0
  EXPECT_EQ(tc.GetFields(), 1800000u);
  ASSERT_TRUE(tc.SetStr("25:02:03:04 ", 2));  // hours past a day
  EXPECT_EQ(tc.GetFields(), kPalPastADay.GetFields() - 1);

  CTimeCode field(0, VS_FieldPAL);
  ASSERT_TRUE(field.SetStr("00:00:00:24.", 2));
  EXPECT_EQ(field.GetFields(), 49u);
  ASSERT_TRUE(field.SetStr("00:00:00:24 ", 2));
  EXPECT_EQ(field.GetFields(), 48u);
}

TEST(TimeCodeTextInput, SystemByNameOtherFormatsNothing) {
  CTimeCode tc(100, VS_PAL);
  EXPECT_TRUE(tc.SetStr("field-ntsc DROP", 9));
  EXPECT_EQ(tc.GetSystem(), VS_FieldNTSCDrop);
  EXPECT_EQ(tc.GetFields(), 100u);
  for (unsigned int format : {0u, 1u, 3u, 6u}) EXPECT_FALSE(tc.SetStr("10:00:00:00", format));  // other formats
  EXPECT_EQ(tc.GetFields(), 100u);
  EXPECT_FALSE(tc.SetStr("Field-NTSC", 9));
  EXPECT_EQ(tc.GetSystem(), VS_Invalid);
}

TEST(TimeCodeTextInput, TextIsReadAsScanfReadsIt) {
  struct Case {
    const char* text;
    VideoSystem system;
    unsigned long fields;
  };
  const std::string longText = std::string(70, ' ') + "10:00:00:00";
  const Case cases[] = {
      {"garbage", VS_PAL, 0},                     // nothing matches: every part 0
      {"", VS_PAL, 0},
      {"00:00:00:24x", VS_FieldPAL, 48},          // trailing character other than '.'
      {"00:00:00:24.", VS_FieldPAL, 49},
      {"10:60:00:00", VS_PAL, 39600 * 50},        // out-of-range minutes are taken as they come
      {"10.00:00:00", VS_PAL, 36000 * 50},        // scanning stops at the '.': 10 hours
      {"00:00:01;12", VS_PAL, 50 + 24},           // any separator before the frames
      {longText.c_str(), VS_PAL, 0},              // only the first 70 characters are read
  };
  for (const Case& c : cases) {
    CTimeCode tc(100, c.system);
    EXPECT_TRUE(tc.SetStr(c.text, 2)) << c.text;
    EXPECT_EQ(tc.GetFields(), c.fields) << '"' << c.text << '"';
  }
  CTimeCode tc(100, VS_PAL);
  EXPECT_FALSE(tc.SetStr(nullptr, 2));
  EXPECT_FALSE(tc.SetStr(nullptr, 9));
  EXPECT_EQ(tc.GetFields(), 100u);
  EXPECT_EQ(tc.GetSystem(), VS_PAL);
}

TEST(TimeCodeTextInput, NeverReadsPastTheText) {
  // Exactly sized heap copies: the address sanitizer reports any read beyond.
  for (const char* text : {"10:00:00:0", "10:00:00;", "1", "10:00:00:00."}) {
    const size_t n = std::strlen(text) + 1;
    std::unique_ptr<char[]> copy(new char[n]);
    std::memcpy(copy.get(), text, n);
    EXPECT_TRUE(CTimeCode(0, VS_FieldPAL).SetStr(copy.get(), 2)) << text;
  }
  // Unterminated digits: read no further than a timecode text.
  std::unique_ptr<char[]> digits(new char[TimeCodeTextSize]);
  std::memset(digits.get(), '1', TimeCodeTextSize);
  CTimeCode tc(0, VS_PAL);
  EXPECT_TRUE(tc.SetStr(digits.get(), 2));
}
