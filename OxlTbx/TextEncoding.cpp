#include "OxlTbx/TextEncoding.h"

#include <stdexcept>

namespace TextEncoding {
namespace {

void CheckCodePage(unsigned int codePage) {
  if (codePage != CP_ACP && codePage != CP_UTF8)
    throw std::runtime_error("Only CP_ACP and CP_UTF8 supported under unix");
}

// Sequence length announced by a lead byte; 0 for a byte that cannot lead.
size_t SequenceLength(unsigned char lead) {
  if (lead < 0x80) return 1;
  if (lead >= 0xC2 && lead <= 0xDF) return 2;
  if (lead >= 0xE0 && lead <= 0xEF) return 3;
  if (lead >= 0xF0 && lead <= 0xF4) return 4;
  return 0;
}

bool IsValidCodePoint(char32_t c) { return c <= 0x10FFFF && (c < 0xD800 || c > 0xDFFF); }

size_t EncodedLength(char32_t c) {
  if (c < 0x80) return 1;
  if (c < 0x800) return 2;
  if (c < 0x10000) return 3;
  return 4;
}

std::string CStr(const char* s) { return s ? std::string(s) : std::string(); }
std::wstring WStr(const wchar_t* w) { return w ? std::wstring(w) : std::wstring(); }

}  // namespace

std::wstring stringToWstring(const std::string& text, unsigned int codePage) {
  CheckCodePage(codePage);
  std::wstring out;
  out.reserve(text.size());
  const size_t n = text.size();
  size_t i = 0;
  while (i < n) {
    const auto lead = static_cast<unsigned char>(text[i]);
    const size_t len = SequenceLength(lead);
    if (len == 0) { ++i; continue; }
    if (len == 1) { out.push_back(static_cast<wchar_t>(lead)); ++i; continue; }
    if (i + len > n) break;  // cut off by the end of the input
    char32_t value = lead & (0xFF >> (len + 1));
    size_t k = 1;
    for (; k < len; ++k) {
      const auto c = static_cast<unsigned char>(text[i + k]);
      if ((c & 0xC0) != 0x80) break;
      value = (value << 6) | (c & 0x3F);
    }
    if (k < len) { i += k + 1; continue; }  // drop the sequence and the offending byte
    i += len;
    if (IsValidCodePoint(value) && EncodedLength(value) == len) out.push_back(static_cast<wchar_t>(value));
  }
  return out;
}

std::string wstringToString(const std::wstring& text, unsigned int codePage) {
  CheckCodePage(codePage);
  std::string out;
  out.reserve(text.size());
  for (wchar_t wc : text) {
    const auto c = static_cast<char32_t>(wc);
    if (!IsValidCodePoint(c)) continue;
    switch (EncodedLength(c)) {
      case 1: out.push_back(static_cast<char>(c)); break;
      case 2:
        out.push_back(static_cast<char>(0xC0 | (c >> 6)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
        break;
      case 3:
        out.push_back(static_cast<char>(0xE0 | (c >> 12)));
        out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
        break;
      default:
        out.push_back(static_cast<char>(0xF0 | (c >> 18)));
        out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
  }
  return out;
}

namespace UTF8 {
std::string get(const std::string& s, unsigned int codePage) {
  if (codePage == CP_UTF8) return s;
  return wstringToString(stringToWstring(s, codePage), CP_UTF8);
}
std::string get(const char* s, unsigned int codePage) { return get(CStr(s), codePage); }
std::string get(const std::wstring& w) { return wstringToString(w, CP_UTF8); }
std::string get(const wchar_t* w) { return get(WStr(w)); }
std::string get8(const std::string& s) { return s; }
std::string get8(const char* s) { return CStr(s); }
size_t getByteCount(const std::string& s) { return s.size(); }
size_t getByteCount(const char* s) { return getByteCount(CStr(s)); }
}  // namespace UTF8

namespace Unicode {
std::wstring get(const std::string& s, unsigned int codePage) { return stringToWstring(s, codePage); }
std::wstring get(const char* s, unsigned int codePage) { return get(CStr(s), codePage); }
std::wstring get(const std::wstring& w) { return w; }
std::wstring get(const wchar_t* w) { return WStr(w); }
std::wstring get8(const std::string& s) { return stringToWstring(s, CP_UTF8); }
std::wstring get8(const char* s) { return get8(CStr(s)); }
size_t getByteCount(const std::wstring& w) { return w.size() * 4; }
size_t getByteCount(const wchar_t* w) { return getByteCount(WStr(w)); }
}  // namespace Unicode

namespace Ansi {
std::string get(const std::wstring& w, unsigned int codePage) { return wstringToString(w, codePage); }
std::string get(const wchar_t* w, unsigned int codePage) { return get(WStr(w), codePage); }
std::string get(const std::string& s, unsigned int from, unsigned int to) {
  if (from == to) return s;
  return wstringToString(stringToWstring(s, from), to);
}
std::string get(const char* s, unsigned int from, unsigned int to) { return get(CStr(s), from, to); }
std::string get8(const std::string& s) { return get(s, CP_UTF8, CP_ACP); }
std::string get8(const char* s) { return get8(CStr(s)); }
size_t getByteCount(const std::string& s) { return s.size(); }
size_t getByteCount(const char* s) { return getByteCount(CStr(s)); }
bool isASCII(const std::string& s) {
  for (char c : s)
    if (static_cast<unsigned char>(c) >= 0x80) return false;
  return true;
}
bool isASCII(const char* s) { return isASCII(CStr(s)); }
bool isASCII(const std::wstring& w) {
  for (wchar_t c : w)
    if (static_cast<char32_t>(c) >= 128) return false;
  return true;
}
bool isASCII(const wchar_t* w) { return isASCII(WStr(w)); }
bool isExtASCII(const std::wstring&) { return true; }
bool isExtASCII(const wchar_t* w) { return isExtASCII(WStr(w)); }
bool isExtASCII8(const std::string& s) { return isExtASCII(stringToWstring(s, CP_UTF8)); }
bool isExtASCII8(const char* s) { return isExtASCII8(CStr(s)); }
}  // namespace Ansi

}  // namespace TextEncoding
