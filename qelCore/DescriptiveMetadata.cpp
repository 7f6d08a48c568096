#include "qelCore/DescriptiveMetadata.h"

#include <cstdlib>

#include "OxlTbx/TextEncoding.h"

namespace qel::metadata_text {

std::string FromWide(const std::wstring& text) { return TextEncoding::UTF8::get(text); }
std::wstring ToWide(const std::string& text) { return TextEncoding::Unicode::get8(text); }
unsigned long ToNumber(const std::string& text) { return std::strtoul(text.c_str(), nullptr, 10); }

}  // namespace qel::metadata_text
