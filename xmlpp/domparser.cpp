#include "xmlpp/domparser.h"

#include <streambuf>

#include "OxlTbx/TextEncoding.h"
#include "xmlpp/DomParserImpl.h"

namespace xmlpp {

namespace {

// Reads the caller's bytes in place.
class MemoryBuffer : public std::streambuf {
 public:
  MemoryBuffer(const char* data, size_t size) {
    char* begin = const_cast<char*>(data);
    setg(begin, begin, begin + size);
  }
};

}  // namespace

DomParser::DomParser() : m_pImpl(new DomParserImpl) {}

DomParser::DomParser(const std::string& filename) : m_pImpl(new DomParserImpl) { parse_file(filename); }

DomParser::DomParser(const DomParser& other) : m_pImpl(new DomParserImpl(*other.m_pImpl)) {}

DomParser& DomParser::operator=(const DomParser& other) {
  if (this != &other) m_pImpl.reset(new DomParserImpl(*other.m_pImpl));
  return *this;
}

DomParser::~DomParser() = default;

DomParser* DomParser::create() { return new DomParser; }

void DomParser::destroy(DomParser* parser) { delete parser; }

bool DomParser::parse_file(const std::string& filename) {
  std::ifstream file(filename.c_str(), std::ios::in | std::ios::binary);
  return parse_file(file);
}

bool DomParser::parse_file(const std::wstring& filename) { return parse_file(TextEncoding::UTF8::get(filename)); }

bool DomParser::parse_file(std::ifstream& file) {
  if (!file.is_open()) return m_pImpl->fail("can't open file");
  return m_pImpl->parse(file);
}

bool DomParser::parse_memory(const std::string& contents) {
  return parse_memory_raw(reinterpret_cast<const unsigned char*>(contents.data()), contents.size());
}

bool DomParser::parse_memory_raw(const unsigned char* contents, size_t bytes_count) {
  MemoryBuffer buffer(reinterpret_cast<const char*>(contents), contents ? bytes_count : 0);
  std::istream in(&buffer);
  return m_pImpl->parse(in);
}

bool DomParser::parse_stream(std::istream& in) { return m_pImpl->parse(in); }

Document* DomParser::get_document() { return m_pImpl->document(); }

const Document* DomParser::get_document() const { return m_pImpl->document(); }

const std::string& DomParser::get_last_error() const { return m_pImpl->last_error(); }

DomParser::operator bool() const { return m_pImpl->usable(); }

void DomParser::close() { m_pImpl->close(); }

}  // namespace xmlpp
