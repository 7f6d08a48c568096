#pragma once
// Internal: the single-byte encodings that the parser accepts beyond Expat's
// own (Latin-1 aliases, Windows-1252, Windows-1251).
struct XML_ParserStruct;

namespace xmlpp {
namespace detail {

void installUnknownEncodingHandler(XML_ParserStruct* parser);

}  // namespace detail
}  // namespace xmlpp
