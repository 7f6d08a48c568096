#pragma once
// DomParser: parses XML text (memory, streams, files) into a Document.
//
// Parsing never throws: each parse returns whether it succeeded and keeps the
// error text for get_last_error(). Input is read in 1024-byte pieces; besides
// what Expat knows, documents may declare Latin-1 (as "LATIN1", "ISO8859-1",
// "ISO-LATIN1", "ISO-LATIN-1"), Windows-1252 ("CP-1252", "WINDOWS-1252") and
// Windows-1251 ("CP-1251", "WINDOWS-1251"), in any letter case.
//
// The document built: the version is always "1.0"; text outside the root
// element is dropped; adjacent text merges into one text node while every
// piece of a CDATA section becomes its own CDATA node; a namespace prefix is
// the one most recently declared in the document for the element's URI; a
// document type becomes a DtdNode among the top-level children.
//
// The parser owns the document until the next parse, close() or its
// destruction; after a failed parse the document holds what was read before
// the error. A copy gets its own backend parser and a copy of the document.
#include <fstream>
#include <istream>
#include <memory>
#include <string>

#include "xmlpp/Document.h"

namespace xmlpp {

class DomParserImpl;

class DomParser {
 public:
  DomParser();
  // Parses `filename` at once; see get_last_error() for the outcome.
  explicit DomParser(const std::string& filename);
  DomParser(const DomParser& other);
  DomParser& operator=(const DomParser& other);
  ~DomParser();

  static DomParser* create();
  static void destroy(DomParser* parser);

  bool parse_file(const std::string& filename);
  bool parse_file(const std::wstring& filename);
  // A stream that is not open fails with "can't open file".
  bool parse_file(std::ifstream& file);
  bool parse_memory(const std::string& contents);
  bool parse_memory_raw(const unsigned char* contents, size_t bytes_count);
  bool parse_stream(std::istream& in);

  // The document of the last parse, or null before any parse and after close().
  Document* get_document();
  const Document* get_document() const;
  // The error of the last failed parse; empty after a successful one.
  const std::string& get_last_error() const;

  // Whether the backend parser exists, that is whether parsing can work.
  explicit operator bool() const;
  // Frees the document and forgets the last error; the parser stays usable.
  void close();

 private:
  std::unique_ptr<DomParserImpl> m_pImpl;
};

}  // namespace xmlpp
