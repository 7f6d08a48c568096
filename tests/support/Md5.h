#pragma once
// MD5 of a byte string, computed in the test process by OpenSSL: comparing
// thousands of frames with ffprobe's per-packet MD5s must not start a
// program per frame (a fork of a sanitizer-built test is slow).
#include <string>

namespace oxltest {

// The 16-byte digest as 32 lower-case hexadecimal digits.
std::string Md5Hex(const std::string& bytes);

}  // namespace oxltest
