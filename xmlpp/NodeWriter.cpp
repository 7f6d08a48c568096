#include "xmlpp/NodeWriter.h"

#include <fstream>
#include <sstream>
#include <vector>

#include "OxlTbx/TextEncoding.h"
#include "xmlpp/Document.h"
#include "xmlpp/Element.h"
#include "xmlpp/Exception.h"
#include "xmlpp/Writers.h"

namespace xmlpp {
namespace detail {

namespace {

const char* entityFor(char c) {
  switch (c) {
    case '"':
      return "&quot;";
    case '&':
      return "&amp;";
    case '\'':
      return "&apos;";
    case '<':
      return "&lt;";
    case '>':
      return "&gt;";
    default:
      return nullptr;
  }
}

// The start tag; returns whether the element is left open for its children.
bool writeStartTag(const Element& element, std::ostream& os, bool formatted, int level) {
  writeIndent(os, formatted, level);
  os << '<' << element.get_qualified_name();
  for (const Element::NamespaceMap::value_type& ns : element.get_namespaces()) {
    os << " xmlns";
    if (!ns.first.empty()) os << ':' << ns.first;
    os << "=\"" << ns.second << '"';
  }
  for (const Element::AttributeMap::value_type& attribute : element.get_attributes()) {
    os << ' ' << attribute.first << "=\"";
    writeEscaped(os, attribute.second.get_value());
    os << '"';
  }
  if (element.get_children_count() > 0) {
    os << '>';
    return true;
  }
  os << "/>";
  if (formatted) os << '\n';
  checkStream(os, "Element::write exception");
  return false;
}

// An element whose children are being written.
struct OpenElement {
  const Element* element;
  size_t next;
  int level;
  bool formatted;          // how the element itself is written
  bool formattedChildren;  // false when formatted but holding only text
};

OpenElement open(const Element& element, std::ostream& os, bool formatted, int level) {
  const bool formattedChildren = formatted && !element.has_only_text_children();
  if (formattedChildren) os << '\n';
  return OpenElement{&element, 0, level, formatted, formattedChildren};
}

void writeEndTag(const OpenElement& e, std::ostream& os) {
  if (e.formattedChildren) writeIndent(os, true, e.level);
  os << "</" << e.element->get_qualified_name() << '>';
  if (e.formatted) os << '\n';
  checkStream(os, "Element::write exception");
}

// "Element::" or "Document::" followed by `what`.
std::string failure(const Node& node, const char* what) {
  return std::string(dynamic_cast<const Document*>(&node) ? "Document::" : "Element::") + what;
}

std::string streamFailure(const Node& node, bool formatted) {
  return failure(node, formatted ? "write_to_stream_formatted exception" : "write_to_stream exception");
}

// `ending` follows the message about a file that cannot be opened.
void writeFile(const Node& node, const std::string& utf8Name, bool formatted, const char* ending) {
  std::ofstream file(utf8Name.c_str(), std::ios::out | std::ios::binary | std::ios::trunc);
  if (!file.is_open()) {
    const char* what = formatted ? "write_to_file_formatted: can't open file" : "write_to_file: can't open file";
    throw Exception(failure(node, what) + ending);
  }
  writeToStream(node, file, formatted);
  file.flush();
  if (file.fail()) throw Exception(streamFailure(node, formatted));
}

}  // namespace

void writeEscaped(std::ostream& os, const std::string& text) {
  size_t plain = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    const char* entity = entityFor(text[i]);
    if (!entity) continue;
    os.write(text.data() + plain, static_cast<std::streamsize>(i - plain));
    os << entity;
    plain = i + 1;
  }
  os.write(text.data() + plain, static_cast<std::streamsize>(text.size() - plain));
}

void writeIndent(std::ostream& os, bool formatted, int level) {
  for (int i = 0; formatted && i < level; ++i) os << "  ";
}

void checkStream(const std::ostream& os, const char* message) {
  if (os.fail()) throw Exception(message);
}

void writeMarkup(std::ostream& os, bool formatted, int level, const char* open, const std::string& content,
                 const char* close, const char* failMessage) {
  writeIndent(os, formatted, level);
  os << open << content << close;
  if (formatted) os << '\n';
  checkStream(os, failMessage);
}

void writeElement(const Element& element, std::ostream& os, bool formatted, int level) {
  if (!writeStartTag(element, os, formatted, level)) return;
  std::vector<OpenElement> stack(1, open(element, os, formatted, level));
  while (!stack.empty()) {
    OpenElement& top = stack.back();
    if (top.next == top.element->get_children_count()) {
      writeEndTag(top, os);
      stack.pop_back();
      continue;
    }
    const Node* child = (*top.element)[top.next++];
    const bool childFormatted = top.formattedChildren;
    const int childLevel = childFormatted ? top.level + 1 : 0;
    const Element* e = dynamic_cast<const Element*>(child);
    if (!e) {
      child->write(os, childFormatted, childLevel);
    } else if (writeStartTag(*e, os, childFormatted, childLevel)) {
      stack.push_back(open(*e, os, childFormatted, childLevel));
    }
  }
}

void writeToStream(const Node& node, std::ostream& os, bool formatted) {
  try {
    node.write(os, formatted, 0);
  } catch (...) {
    throw Exception(streamFailure(node, formatted));
  }
}

std::string writeToString(const Node& node, bool formatted) {
  try {
    std::ostringstream os;
    node.write(os, formatted, 0);
    return os.str();
  } catch (...) {
    throw Exception(failure(node, formatted ? "write_to_string_formatted exception" : "write_to_string exception"));
  }
}

void writeToFile(const Node& node, const std::string& filename, bool formatted) {
  writeFile(node, filename, formatted, "");
}

void writeToFile(const Node& node, const std::wstring& filename, bool formatted) {
  writeFile(node, TextEncoding::UTF8::get(filename), formatted, ".");
}

}  // namespace detail
}  // namespace xmlpp
