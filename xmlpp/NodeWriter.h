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
void writeMarkup(std::ostream& os, bool formatted, int level, const char* open,
                 const std::string& content, const char* close, const char* failMessage);
void writeElement(const Element& element, std::ostream& os, bool formatted, int level);

// The entry points of Element and Document. `kind` ("Element" or "Document")
// names the failures: any failure of the node's write() is rethrown as
// Exception(kind + "::write_to_stream exception") and the like.
void writeToStream(const Node& node, std::ostream& os, bool formatted, const char* kind);
std::string writeToString(const Node& node, bool formatted, const char* kind);
// Opens `utf8Name` for writing (else throws kind + "::write_to_file: can't open
// file", with a final full stop for wide names), writes and flushes; a failure
// while writing or flushing throws the write_to_stream message.
void writeToFile(const Node& node, const std::string& utf8Name, bool wideName, bool formatted,
                 const char* kind);

}  // namespace detail
}  // namespace xmlpp
