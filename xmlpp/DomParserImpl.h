#pragma once
// Internal: the implementation behind DomParser. It owns one Expat parser
// (created with namespace processing) and builds the document from its events.
#include <istream>
#include <map>
#include <memory>
#include <string>

#include "xmlpp/Document.h"

struct XML_ParserStruct;

namespace xmlpp {

class DomParserImpl {
 public:
  DomParserImpl();
  // A new backend parser, with a copy of the document and the last error.
  DomParserImpl(const DomParserImpl& other);
  DomParserImpl& operator=(const DomParserImpl&) = delete;
  ~DomParserImpl();

  bool parse(std::istream& in);
  // Keeps `error` as the last error; returns false.
  bool fail(const std::string& error);
  void close();

  Document* document() const { return m_pDocument.get(); }
  const std::string& last_error() const { return m_LastError; }
  bool usable() const { return m_pParser != nullptr; }

  // Events, in Expat's form (names as "uri local" or "local").
  void on_start_element(const char* name, const char** attributes);
  void on_end_element();
  void on_text(const char* text, int length);
  void on_namespace(const char* prefix, const char* uri);
  void on_cdata(bool start) { m_bInCdata = start; }
  void on_doctype(const char* name, const char* system_id, const char* public_id, bool internal_subset);
  void on_processing_instruction(const char* target, const char* data);
  void on_comment(const char* text);
  // Stops the parse; it then fails with `error`.
  void abort(const std::string& error);
  // " at line " and the current line.
  std::string at_line() const;

 private:
  void reset();
  // The prefix written for `uri`: for an attribute never the default
  // namespace's empty one, which would leave the attribute in no namespace.
  std::string prefix_for(const std::string& uri, bool attribute = false) const;

  XML_ParserStruct* m_pParser;
  std::unique_ptr<Document> m_pDocument;
  std::string m_LastError;
  std::string m_AbortError;
  Element* m_pCurrent;
  bool m_bInCdata;
  std::map<std::string, std::string> m_PrefixForUri;  // document-wide, latest declaration wins
  std::map<std::string, std::string> m_NamedPrefixForUri;  // the same, non-empty prefixes only
  Element::NamespaceMap m_Pending;                    // declarations for the next element
};

}  // namespace xmlpp
