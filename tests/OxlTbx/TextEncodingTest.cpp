#include "OxlTbx/TextEncoding.h"

#include <gtest/gtest.h>

#include <stdexcept>

using namespace TextEncoding;

namespace {
std::string Bytes(std::initializer_list<unsigned char> b) { return std::string(b.begin(), b.end()); }
}  // namespace

TEST(TextEncodingDecode, TwoByteSequence) {
  EXPECT_EQ(Unicode::get(Bytes({0x63, 0x61, 0x66, 0xC3, 0xA9}), 0), L"caf\u00e9");
}

TEST(TextEncodingDecode, AllSequenceLengthsRoundTrip) {
  const std::wstring w = L"A\u00e9\u4e2d\U0001F600";
  const std::string u = UTF8::get(w);
  EXPECT_EQ(u, "A\xC3\xA9\xE4\xB8\xAD\xF0\x9F\x98\x80");
  EXPECT_EQ(Unicode::get8(u), w);
}

TEST(TextEncodingDecode, DropsBytesThatCannotLead) {
  EXPECT_EQ(Unicode::get(Bytes({0x41, 0xFF, 0x42}), 0), L"AB");
  EXPECT_EQ(Unicode::get(Bytes({0x41, 0x80, 0xC1, 0xF5, 0x42}), 0), L"AB");
}

TEST(TextEncodingDecode, BrokenSequenceLosesLeadAndOffendingByte) {
  EXPECT_EQ(Unicode::get(Bytes({0x41, 0xC3, 0x42, 0x43}), 0), L"AC");
  EXPECT_EQ(Unicode::get(Bytes({0xE4, 0xB8, 0x41, 0x42}), 0), L"B");
}

TEST(TextEncodingDecode, RejectsOverlongSurrogatesAndOutOfRange) {
  EXPECT_EQ(Unicode::get(Bytes({0xC0, 0x80}), 0), L"");
  EXPECT_EQ(Unicode::get(Bytes({0xE0, 0x80, 0xAF, 0x41}), 0), L"A");        // overlong '/'
  EXPECT_EQ(Unicode::get(Bytes({0xED, 0xA0, 0x80, 0x41}), 0), L"A");        // U+D800
  EXPECT_EQ(Unicode::get(Bytes({0xF4, 0x90, 0x80, 0x80, 0x41}), 0), L"A");  // U+110000
}

TEST(TextEncodingDecode, TruncatedSequenceEndsConversion) {
  EXPECT_EQ(Unicode::get(Bytes({0x41, 0xF0, 0x9F, 0x98}), 0), L"A");
  EXPECT_EQ(Unicode::get(Bytes({0x41, 0xC3}), 0), L"A");
}

TEST(TextEncodingEncode, SkipsInvalidCodePoints) {
  std::wstring w = L"a";
  w.push_back(static_cast<wchar_t>(0xD800));
  w.push_back(static_cast<wchar_t>(0x110000));
  w.push_back(L'b');
  EXPECT_EQ(UTF8::get(w), "ab");
}

TEST(TextEncodingCodePages, OnlyAcpAndUtf8) {
  try {
    Unicode::get(std::string("x"), 1252);
    FAIL() << "code page 1252 accepted";
  } catch (const std::runtime_error& e) {
    EXPECT_STREQ(e.what(), "Only CP_ACP and CP_UTF8 supported under unix");
  }
  EXPECT_THROW(Ansi::get(std::wstring(L"x"), 437), std::runtime_error);
  EXPECT_NO_THROW(UTF8::get(std::string("x"), 65001));  // returned unchanged, never checked
  EXPECT_EQ(Ansi::get(std::string("\xC3\xA9"), 1252, 1252), "\xC3\xA9");
}

TEST(TextEncodingQueries, CountsAndAsciiTests) {
  EXPECT_EQ(Unicode::getByteCount(std::wstring(L"abc")), 12u);
  EXPECT_EQ(UTF8::getByteCount(std::string("\xC3\xA9")), 2u);
  EXPECT_TRUE(Ansi::isASCII(std::string()));
  EXPECT_FALSE(Ansi::isASCII(std::string("a\x80")));
  EXPECT_FALSE(Ansi::isASCII(std::wstring(L"\u00e9")));
  EXPECT_TRUE(Ansi::isExtASCII8(std::string("\xE4\xB8\xAD")));
  EXPECT_EQ(UTF8::get(static_cast<const char*>(nullptr), 0), "");
}
