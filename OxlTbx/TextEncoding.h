#pragma once
// Conversion between narrow (UTF-8) and wide (UTF-32 wchar_t) text.
//
// The interface follows Windows code pages, but only CP_ACP (0) and CP_UTF8
// (65001) exist on this platform and both mean UTF-8. Malformed input is never
// an error: bad bytes and invalid code points are dropped silently.
#include <string>

namespace TextEncoding {

constexpr unsigned int CP_ACP = 0;
constexpr unsigned int CP_UTF8 = 65001;

// Throw std::runtime_error "Only CP_ACP and CP_UTF8 supported under unix" for
// any other code page.
std::wstring stringToWstring(const std::string& text, unsigned int codePage);
std::string wstringToString(const std::wstring& text, unsigned int codePage);

namespace UTF8 {
std::string get(const std::string& s, unsigned int codePage);
std::string get(const char* s, unsigned int codePage);
std::string get(const std::wstring& w);
std::string get(const wchar_t* w);
std::string get8(const std::string& s);
std::string get8(const char* s);
size_t getByteCount(const std::string& s);
size_t getByteCount(const char* s);
}  // namespace UTF8

namespace Unicode {
std::wstring get(const std::string& s, unsigned int codePage);
std::wstring get(const char* s, unsigned int codePage);
std::wstring get(const std::wstring& w);
std::wstring get(const wchar_t* w);
std::wstring get8(const std::string& s);
std::wstring get8(const char* s);
size_t getByteCount(const std::wstring& w);
size_t getByteCount(const wchar_t* w);
}  // namespace Unicode

namespace Ansi {
std::string get(const std::wstring& w, unsigned int codePage);
std::string get(const wchar_t* w, unsigned int codePage);
std::string get(const std::string& s, unsigned int from, unsigned int to);
std::string get(const char* s, unsigned int from, unsigned int to);
std::string get8(const std::string& s);
std::string get8(const char* s);
size_t getByteCount(const std::string& s);
size_t getByteCount(const char* s);
bool isASCII(const std::string& s);
bool isASCII(const char* s);
bool isASCII(const std::wstring& w);
bool isASCII(const wchar_t* w);
bool isExtASCII(const std::wstring& w);
bool isExtASCII(const wchar_t* w);
bool isExtASCII8(const std::string& s);
bool isExtASCII8(const char* s);
}  // namespace Ansi

}  // namespace TextEncoding
