// CRC and bit fields, text conversion, video systems and time conversions.
#include <gtest/gtest.h>

#include <cstring>
#include <limits>
#include <stdexcept>
#include <vector>

#include "OxlTbx/Byter.h"
#include "OxlTbx/System.h"
#include "OxlTbx/TextEncoding.h"
#include "OxlTbx/TimeCodeConversions.h"

using namespace OxlTbx;
using namespace TextEncoding;

TEST(Byter, Mpeg2CrcSubBitsAndReversal) {
  unsigned char section[13] = {'1', '2', '3', '4', '5', '6', '7', '8', '9', 0x03, 0x76, 0xE6, 0xE7};
  EXPECT_EQ(CByter::Compute_CRC(section, section + 9), 0x0376E6E7u);  // the catalogued CRC-32/MPEG-2 value
  EXPECT_FALSE(CByter::Check_CRC(section, section + 13));
  section[4] ^= 0x10;
  EXPECT_TRUE(CByter::Check_CRC(section, section + 13));
  const unsigned char word[2] = {0xA5, 0x3C};
  EXPECT_EQ(CByter::SubBitsValue(word, 5, 12), 0x53u);
  EXPECT_EQ(CByter::SubBitsValue(word, 1, 16), 0xA53Cu);
  EXPECT_EQ(CByter::SubBitsValue(word, 1, 17), 0u);
  unsigned char dst[4] = {9, 9, 9, 9};
  CByter::ReverseBytes(word, 2, dst);
  EXPECT_EQ(0, std::memcmp(dst, "\x3C\xA5\x09\x09", 4));
  CByter::ReverseBytes32(dst, dst);  // in place
  EXPECT_EQ(0, std::memcmp(dst, "\x09\x09\xA5\x3C", 4));
}

TEST(TextEncoding, Utf8RoundTripInvalidSequencesAndCodePages) {
  const std::wstring w = L"A\u00e9\u4e2d\U0001F600";
  EXPECT_EQ(UTF8::get(w), "A\xC3\xA9\xE4\xB8\xAD\xF0\x9F\x98\x80");
  EXPECT_EQ(Unicode::get8(UTF8::get(w)), w);
  const std::pair<std::string, std::wstring> decoded[] = {
      {"\x41\x80\xC1\xF5\x42", L"AB"},  // bytes that cannot lead are dropped
      {"\x41\xC3\x42\x43", L"AC"},      // a broken sequence loses its lead and the offending byte
      {std::string("\xC0\x80", 2), L""}, {"\xE0\x80\xAF\x41", L"A"},  // overlong
      {"\xED\xA0\x80\x41", L"A"}, {"\xF4\x90\x80\x80\x41", L"A"},     // U+D800, U+110000
      {"\x41\xF0\x9F\x98", L"A"},       // truncated: conversion ends
  };
  for (const auto& [bytes, text] : decoded) EXPECT_EQ(Unicode::get(bytes, 0), text) << bytes;
  EXPECT_EQ(UTF8::get(std::wstring(L"a") + wchar_t(0xD800) + wchar_t(0x110000) + L"b"), "ab");
  EXPECT_THROW(Unicode::get(std::string("x"), 1252), std::runtime_error);
  EXPECT_FALSE(Ansi::isASCII(std::string("a\x80")));
  EXPECT_TRUE(Ansi::isExtASCII8(std::string("\xE4\xB8\xAD")));
}

TEST(VideoSystem, CompatibilityGroupsRatesAndCounterparts) {
  using V = std::vector<VideoSystem>;
  const auto group = [](uint32_t s) { return CSystem(VideoSystem(s)).GetCompatibleVideoSystems().GetSystems(); };
  EXPECT_EQ(group(1), V{VS_24Drop});
  EXPECT_EQ(group(6), (V{VS_PAL, VS_FieldPAL}));
  EXPECT_EQ(group(7), (V{VS_NTSCDrop, VS_FieldNTSCDrop}));
  EXPECT_EQ(group(5), (V{VS_NTSCNoDrop, VS_FieldNTSCNoDrop}));
  for (uint32_t other : {0u, 9u, 10u}) EXPECT_EQ(group(other), V{VS_Invalid}) << other;
  EXPECT_FALSE(CSystem(VS_NTSCDrop).IsVideoSystemCompatible(VS_NTSCNoDrop));
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
  EXPECT_EQ(sec2TC(1.0, VS_NTSCDrop).GetFields(), 59u);  // 59.94 fields in a second
  EXPECT_EQ(ms2TC(1000.0, VS_PAL).GetFields(), 50u);
  for (double bad : {-1.0, std::numeric_limits<double>::quiet_NaN(), 1e30}) EXPECT_FALSE(sec2TC(bad, VS_PAL).HasValue());
  EXPECT_DOUBLE_EQ(TC2sec(CTimeCode(50, VS_PAL, 50)), 1.01);
  EXPECT_DOUBLE_EQ(TC2ms(CTimeCode(60000, VS_NTSCNoDrop)), 1001000.0);
  EXPECT_EQ(TC2Bytes(CTimeCode(50, VS_PAL), 8000), 1000u);
  EXPECT_EQ(Bytes2TC(1000, 8000, VS_PAL).GetFields(), 50u);
  EXPECT_EQ(Bytes2TC(1000, 0, VS_PAL).GetSystem(), VS_Invalid);
  EXPECT_DOUBLE_EQ(Bytes2ms(1000, 8000), 1000.0);
  EXPECT_EQ(ms2Bytes(1000.9, 8000), 1000u);  // whole milliseconds
  EXPECT_EQ(ms2Bytes(-5.0, 8000), 0u);
  EXPECT_EQ(DWORD2SMPTE(183, VS_NTSCNoDrop), 0x00000301u);
  EXPECT_EQ(DWORD2SMPTE(100u * 3600 * 50 + 3000, VS_PAL), 0x00010000u);  // hours modulo 100
  EXPECT_EQ(SMPTE2DWORD(0x01020304, VS_FieldPAL), 216000u + 7200 + (4 + 90) * 2);  // only PAL counts 25
  EXPECT_EQ(SMPTE2DWORD(0x01020304, VS_PAL), 180000u + 6000 + (4 + 75) * 2);
}
