#include "OxlTbx/TextEncoding.h"

#include <gtest/gtest.h>

#include <stdexcept>

using namespace TextEncoding;

TEST(TextEncoding, Utf8RoundTripAndInvalidSequences) {
  const std::wstring w = L"A\u00e9\u4e2d\U0001F600";
  EXPECT_EQ(UTF8::get(w), "A\xC3\xA9\xE4\xB8\xAD\xF0\x9F\x98\x80");
  EXPECT_EQ(Unicode::get8(UTF8::get(w)), w);
  const std::pair<std::string, std::wstring> decoded[] = {
      {"\x41\x80\xC1\xF5\x42", L"AB"},           // bytes that cannot lead are dropped
      {"\x41\xC3\x42\x43", L"AC"},               // a broken sequence loses its lead and the offending byte
      {"\xE4\xB8\x41\x42", L"B"},
      {std::string("\xC0\x80", 2), L""},         // overlong
      {"\xE0\x80\xAF\x41", L"A"},                // overlong '/'
      {"\xED\xA0\x80\x41", L"A"},                // U+D800
      {"\xF4\x90\x80\x80\x41", L"A"},            // U+110000
      {"\x41\xF0\x9F\x98", L"A"},                // truncated: conversion ends
  };
  for (const auto& [bytes, text] : decoded) EXPECT_EQ(Unicode::get(bytes, 0), text) << bytes;
  std::wstring invalid = L"a";
  invalid += static_cast<wchar_t>(0xD800);
  invalid += static_cast<wchar_t>(0x110000);
  EXPECT_EQ(UTF8::get(invalid + L"b"), "ab");
}

TEST(TextEncoding, CodePagesAndQueries) {
  try {
    Unicode::get(std::string("x"), 1252);
    FAIL() << "code page 1252 accepted";
  } catch (const std::runtime_error& e) {
    EXPECT_STREQ(e.what(), "Only CP_ACP and CP_UTF8 supported under unix");
  }
  EXPECT_THROW(Ansi::get(std::wstring(L"x"), 437), std::runtime_error);
  EXPECT_EQ(Ansi::get(std::string("\xC3\xA9"), 1252, 1252), "\xC3\xA9");
  EXPECT_EQ(Unicode::getByteCount(std::wstring(L"abc")), 12u);
  EXPECT_TRUE(Ansi::isASCII(std::string()));
  EXPECT_FALSE(Ansi::isASCII(std::string("a\x80")));
  EXPECT_FALSE(Ansi::isASCII(std::wstring(L"\u00e9")));
  EXPECT_TRUE(Ansi::isExtASCII8(std::string("\xE4\xB8\xAD")));
  EXPECT_EQ(UTF8::get(static_cast<const char*>(nullptr), 0), "");
}
