#pragma once
// The serialisation entry points that Element and Document share. Failures
// throw Exception named after the class and the function, e.g.
// "Element::write_to_string exception" or "Document::write_to_file: can't
// open file" (with a final full stop for wide file names). A file is written
// and flushed; a failure while doing so throws the write_to_stream message.
#include <iosfwd>
#include <string>

namespace xmlpp {

class Node;

namespace detail {

void writeToStream(const Node& node, std::ostream& os, bool formatted);
std::string writeToString(const Node& node, bool formatted);
void writeToFile(const Node& node, const std::string& filename, bool formatted);
// Wide names are converted to UTF-8.
void writeToFile(const Node& node, const std::wstring& filename, bool formatted);

}  // namespace detail

template <class Self>
class Writers {
 public:
  void write_to_stream(std::ostream& os) const { detail::writeToStream(node(), os, false); }
  void write_to_stream_formatted(std::ostream& os) const { detail::writeToStream(node(), os, true); }
  std::string write_to_string() const { return detail::writeToString(node(), false); }
  std::string write_to_string_formatted() const { return detail::writeToString(node(), true); }
  void write_to_file(const std::string& filename) const { detail::writeToFile(node(), filename, false); }
  void write_to_file(const std::wstring& filename) const { detail::writeToFile(node(), filename, false); }
  void write_to_file_formatted(const std::string& filename) const { detail::writeToFile(node(), filename, true); }
  void write_to_file_formatted(const std::wstring& filename) const { detail::writeToFile(node(), filename, true); }

 private:
  const Node& node() const { return static_cast<const Self&>(*this); }
};

}  // namespace xmlpp
