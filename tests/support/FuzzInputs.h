#pragma once
// Inputs found by the fuzz targets (fuzz/), kept in the regression tests as
// hexadecimal text.
#include <string>

namespace oxltest {

// The bytes of hexadecimal text; blanks and line breaks are ignored.
std::string FromHex(const std::string& hex);

}  // namespace oxltest
