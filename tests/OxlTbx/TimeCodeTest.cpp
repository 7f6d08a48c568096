#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <exception>
#include <memory>

#include "OxlTbx/TimeCode.h"

using namespace OxlTbx;

namespace {

constexpr unsigned long kPalDay = 4320000;

// One day and 01:02:03:04, second field, in PAL (day wrapping is off).
const CTimeCode kPalPastADay(kPalDay + 3723 * 50 + 4 * 2 + 1, VS_PAL);

}  // namespace

TEST(TimeCodeValue, ConstructionDecimalsAndParity) {
  EXPECT_FALSE(CTimeCode().IsValid() || CTimeCode().HasValue() || CTimeCode::IsDayWrapped());
  EXPECT_EQ(CTimeCode(100, static_cast<VideoSystem>(10)).GetSystem(), VS_Invalid);
  CTimeCode noValue(100, VS_PAL);
  noValue.SetFields(CTimeCode::NoValue);
  EXPECT_EQ(CTimeCode(noValue).GetSystem(), VS_Invalid);  // a copy without value has no system
  EXPECT_EQ(CTimeCode(0, 0, 1, 0, true, VS_PAL).GetFields(), 51u);
  EXPECT_EQ(CTimeCode(0, 0, 1, 0, true, VS_FieldPAL).GetFields(), 51u);
  EXPECT_THROW(CTimeCode(0, VS_PAL).SetToSystemTime(), std::exception);
  EXPECT_THROW(CTimeCode(0, VS_PAL).SetToLocalTime(), std::exception);
  unsigned short h, m, s, f;
  EXPECT_FALSE(CTimeCode().GetHMSF(h, m, s, f));
  const CTimeCode carried(100, VS_PAL, 250);  // decimals carry into fields
  EXPECT_EQ(carried.GetFields(), 102u);
  EXPECT_EQ(carried.GetDecimals(), 50);
  EXPECT_EQ(CTimeCode(100, VS_PAL, -5).GetDecimals(), 0);
  EXPECT_FALSE(CTimeCode(100, VS_PAL, -1).IsUsingDecimals());
  CTimeCode tc(100, VS_PAL), progressive(100, VS_FieldPAL);
  tc.SetParity(true);
  progressive.SetParity(true);
  EXPECT_EQ(tc.GetFields(), 101u);
  EXPECT_TRUE(tc.GetParity());
  EXPECT_EQ(progressive.GetFields(), 100u);  // one field per frame: no second field
  EXPECT_FALSE(CTimeCode(101, VS_FieldPAL).GetParity());
}

TEST(TimeCodeValue, DayWrappingReducesModuloADay) {
  CTimeCode::UseDayWrapping(true);
  CTimeCode tc(0, VS_PAL);
  tc.SetFields(kPalDay);  // exactly one day is kept by SetFields
  const unsigned long kept = tc.GetFields(), copied = CTimeCode(tc).GetFields();
  tc.SetFields(kPalDay + 1);
  const unsigned long wrapped = tc.GetFields(), sum = (CTimeCode(kPalDay - 2, VS_PAL) + 6).GetFields();
  CTimeCode last(kPalDay - 2, VS_PAL);
  last++;
  const unsigned long incremented = last.GetFields();
  last.SetHMSF(24, 0, 0, 2);
  const unsigned long set = last.GetFields();
  CTimeCode::UseDayWrapping(false);
  EXPECT_EQ(kept, kPalDay);
  EXPECT_EQ(copied, 0u);
  EXPECT_EQ(wrapped, 1u);
  EXPECT_EQ(sum, 4u);
  EXPECT_EQ(incremented, 0u);
  EXPECT_EQ(set, 4u);
  tc.SetDHMSF(1, 0, 0, 0, 0);  // without wrapping counts pass a day
  EXPECT_EQ(tc.GetFields(), kPalDay);
}

TEST(TimeCodeForms, EverySystemRoundTripsThroughTextPackedAndSmpte) {
  // Text and packed forms name frames: a second field reads back as its frame's start.
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

TEST(TimeCodeForms, PackedBitLayoutAndSmpteWords) {
  unsigned char bytes[4] = {0, 0, 0, 0x5A};
  ASSERT_TRUE(CTimeCode(1, 2, 3, 5, false, VS_NTSCDrop).EncodeTo(bytes));
  EXPECT_EQ(0, std::memcmp(bytes, "\x84\x28\x62\xDA", 4));  // drop flag, h, m, marker, s, f; low bits kept
  EXPECT_FALSE(CTimeCode().EncodeTo(bytes));
  EXPECT_FALSE(CTimeCode(0, VS_PAL).DecodeFrom(nullptr));
  unsigned char tenMinutes[4] = {0x80, 0xA0, 0x00, 0x7F};  // 00:10:00;00, marker and spare bits set
  CTimeCode tc(0, VS_NTSCDrop);
  tc.DecodeFrom(tenMinutes);
  EXPECT_EQ(tc.GetFields(), 35964u);
  tenMinutes[0] = 0x00;  // without the drop flag
  tc.DecodeFrom(tenMinutes);
  EXPECT_EQ(tc.GetFields(), 36000u);
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
      CTimeCode odd(count + 1, progressive);  // the second frame of a pair falls on the field
      odd.ConvertToSystem(interlaced);
      if (!kept || tc.GetFields() != count || odd.GetFields() != count) FAIL() << Sys_String[interlaced] << " " << count;
    }
  }
  CTimeCode palTen(1800000, VS_PAL);
  palTen.ConvertToSystem(VS_NTSCDrop);
  EXPECT_STREQ(palTen.GetStr(2), "10:00:00;00 ");
  CTimeCode noSystem;  // takes a known system, keeping the count
  noSystem.SetFields(100);
  noSystem.ConvertToSystem(VS_24);
  EXPECT_EQ(noSystem.GetSystem(), VS_24);
  EXPECT_EQ(noSystem.GetFields(), 100u);
  CTimeCode outOfRange(100, VS_PAL);
  outOfRange.ConvertToSystem(static_cast<VideoSystem>(12));
  EXPECT_EQ(outOfRange.GetSystem(), VS_Invalid);
}

TEST(TimeCodeArithmetic, FieldCountsAndTimecodes) {
  EXPECT_EQ((CTimeCode(10, VS_PAL) - 20).GetFields(), kPalDay - 10);  // crosses midnight backwards
  EXPECT_EQ((CTimeCode(10, VS_PAL) - long(3 * kPalDay + 5)).GetFields(), 5u);
  EXPECT_EQ((CTimeCode(10, VS_PAL) -= -20).GetFields(), 30u);
  EXPECT_EQ((CTimeCode(10, VS_PAL) + 4 * long(kPalDay)).GetFields(), 4 * kPalDay + 10);  // no wrapping
  CTimeCode tc(0, VS_NTSCDrop);
  EXPECT_EQ((tc--).GetFields(), 0u);
  EXPECT_EQ(tc.GetFields(), 5178814u);
  EXPECT_LT((CTimeCode(10, VS_PAL) += LONG_MIN).GetFields(), kPalDay);  // must not overflow
  EXPECT_FALSE((CTimeCode() + 5).HasValue());
  const CTimeCode a(100, VS_PAL, 60), b(50, VS_PAL, 70), plain(50, VS_PAL);
  EXPECT_EQ((a + b).GetFields(), 151u);
  EXPECT_EQ((a + b).GetDecimals(), 30);
  EXPECT_TRUE((plain + b).IsUsingDecimals());
  CTimeCode inPlace = a;
  inPlace += plain;  // decimals count only when both sides use them
  EXPECT_EQ(inPlace.GetFields(), 150u);
  EXPECT_EQ(inPlace.GetDecimals(), 60);
  const CTimeCode diff = CTimeCode(10, VS_PAL, 20) - b;
  EXPECT_EQ(diff.GetFields(), kPalDay + 10 - 50 - 1);
  EXPECT_EQ(diff.GetDecimals(), 50);
  CTimeCode spoiled = a;
  spoiled -= CTimeCode::invalid;
  EXPECT_FALSE(spoiled.IsValid());
}

TEST(TimeCodeComparison, CompatibleSystemsDecimalsAndDistance) {
  EXPECT_TRUE(CTimeCode(100, VS_PAL) == CTimeCode(100, VS_FieldPAL));
  EXPECT_TRUE(CTimeCode(100, VS_PAL) < CTimeCode(101, VS_FieldPAL));
  const CTimeCode pal(100, VS_PAL), ntsc(100, VS_NTSCDrop);
  EXPECT_FALSE(pal == ntsc || pal < ntsc || pal > ntsc || pal <= ntsc || pal >= ntsc);
  EXPECT_TRUE(pal != ntsc);
  EXPECT_FALSE(CTimeCode(100, VS_25) == CTimeCode(100, VS_25));
  EXPECT_EQ(pal.FramesTill(ntsc), CTimeCode::NoValue);
  const CTimeCode low(100, VS_PAL, 10), high(100, VS_PAL, 20);
  EXPECT_TRUE(low < high && !(low == high));
  EXPECT_TRUE(high == pal && high <= pal && high >= pal && !(high < pal));  // decimals decide only when both use them
  const CTimeCode late(kPalDay - 10, VS_PAL), early(10, VS_FieldPAL);
  EXPECT_EQ(late.FieldsTill(early), 20u);
  EXPECT_EQ(late.FramesTill(early), 10u);
  EXPECT_EQ(early.FieldsTill(late), kPalDay - 20);
}

TEST(TimeCodeText, EveryFormatCodeAndSystemName) {
  const std::pair<unsigned int, const char*> cases[] = {
      {1, "25:02:03:04*"},       {2, "25:02:03:04 "},   {3, "25:02:03"},           {4, "090123s"},
      {5, "25h02m"},             {6, "25:02:03:04"},    {7, "25:02:03:04"},        {9, "PAL"},
      {17, "01.01:02:03:04*"},   {19, "01.01:02:03"},   {20, "01003723s"},         {21, "01.01h02m"},
      {22, "01.01:02:03:04"},    {259, "PAL 25:02:03"}, {273, "PAL 01.01:02:03:04*"}, {4097, "01:02:03:04*"},
      {4100, "003723s"},         {4101, "01h02m"},      {0, "PAL 25:02:03:04 "},   {8, "PAL 25:02:03:04 "},
      {23, "PAL 25:02:03:04 "},  {263, "PAL 25:02:03:04 "}, {4103, "PAL 25:02:03:04 "}};
  for (const auto& [format, text] : cases) EXPECT_STREQ(kPalPastADay.GetStr(format), text) << format;
  const char* names[] = {"25 [0]", "24 Drop", "24", "PAL", "NTSC Drop", "NTSC No Drop", "Field-PAL",
                         "Field-NTSC Drop", "Field-NTSC No Drop", "25 [9]"};
  for (uint32_t s = 0; s < VideoSystemCount; ++s) EXPECT_STREQ(Sys_String[s], names[s]);
  EXPECT_STREQ(Sys_String[0xFFFFFFFFu], "25 [0]");
  const CTimeCode odd(3601, VS_FieldNTSCDrop);  // 00:01:00;02, second frame of the pair
  EXPECT_STREQ(odd.GetStr(1), "00:01:00;02*");
  EXPECT_STREQ(odd.GetStr(7), "00:01:00;05");
  EXPECT_STREQ(odd.GetStr(0), "Field-NTSC Drop 00:01:00;02.");
  EXPECT_STREQ(CTimeCode(48, VS_FieldPAL).GetStr(1), "00:00:00:24 ");
  EXPECT_STREQ(CTimeCode(6, VS_25).GetStr(2), "00:00:00:01.");  // system 9 prints pairs of frames too
  char out[TimeCodeTextSize];
  std::memset(out, 'x', sizeof out);
  EXPECT_FALSE(CTimeCode().GetStr(out, 2));
  EXPECT_EQ(out[0], 'x');
}

TEST(TimeCodeText, ReadAsScanfReadsIt) {
  const std::string longText = std::string(70, ' ') + "10:00:00:00";
  const std::tuple<const char*, VideoSystem, unsigned long> cases[] = {
      {"10:00", VS_PAL, 1800000},                  // missing parts count as 0
      {"25:02:03:04 ", VS_PAL, kPalPastADay.GetFields() - 1},
      {"garbage", VS_PAL, 0},
      {"00:00:00:24x", VS_FieldPAL, 48},           // trailing character other than '.'
      {"00:00:00:24.", VS_FieldPAL, 49},
      {"10:60:00:00", VS_PAL, 39600 * 50},         // out-of-range minutes are taken as they come
      {"10.00:00:00", VS_PAL, 36000 * 50},         // scanning stops at the '.': 10 hours
      {"00:00:01;12", VS_PAL, 50 + 24},            // any separator before the frames
      {longText.c_str(), VS_PAL, 0},               // only the first 70 characters are read
  };
  for (const auto& [text, system, fields] : cases) {
    CTimeCode tc(100, system);
    EXPECT_TRUE(tc.SetStr(text, 2)) << text;
    EXPECT_EQ(tc.GetFields(), fields) << '"' << text << '"';
  }
  CTimeCode tc(100, VS_PAL);
  EXPECT_FALSE(tc.SetStr(nullptr, 2));
  for (unsigned int format : {0u, 1u, 3u, 6u}) EXPECT_FALSE(tc.SetStr("10:00:00:00", format));
  EXPECT_EQ(tc.GetFields(), 100u);
  EXPECT_TRUE(tc.SetStr("field-ntsc DROP", 9));  // a system by name, any case
  EXPECT_EQ(tc.GetSystem(), VS_FieldNTSCDrop);
  EXPECT_FALSE(tc.SetStr("Field-NTSC", 9));
  EXPECT_EQ(tc.GetSystem(), VS_Invalid);
  // Exactly sized heap copies: the address sanitizer reports any read beyond.
  for (const char* text : {"10:00:00:0", "10:00:00;", "1", "10:00:00:00."}) {
    std::unique_ptr<char[]> copy(new char[std::strlen(text) + 1]);
    std::strcpy(copy.get(), text);
    EXPECT_TRUE(CTimeCode(0, VS_FieldPAL).SetStr(copy.get(), 2)) << text;
  }
  std::unique_ptr<char[]> digits(new char[TimeCodeTextSize]);  // unterminated
  std::memset(digits.get(), '1', TimeCodeTextSize);
  EXPECT_TRUE(tc.SetStr(digits.get(), 2));
}
