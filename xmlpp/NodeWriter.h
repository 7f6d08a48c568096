#pragma once
// Internal: the serialisation helpers shared by the node kinds. Elements are
// written with an explicit stack, so depth is limited only by memory.
#include <ostream>
#include <string>

namespace xmlpp {

class Element;
class Node;

namespace detail {

// Writes `text` with the five markup characters replaced by their entities.
void writeEscaped(std::ostream& os, const std::string& text);
// Two blanks per level, when formatted.
void writeIndent(std::ostream& os, bool formatted, int level);
// Throws Exception(message) when the stream has failed.
void checkStream(const std::ostream& os, const char* message);
// open + content + close, indented and ended by a newline when formatted.
void writeMarkup(std::ostream& os, bool formatted, int level, const char* open, const std::string& content,
                 const char* close, const char* failMessage);
void writeElement(const Element& element, std::ostream& os, bool formatted, int level);

}  // namespace detail
}  // namespace xmlpp
