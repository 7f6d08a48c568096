#include "xmlpp/DomParserImpl.h"

#include <expat.h>

#include <cstring>
#include <new>

#include "xmlpp/ExpatEncodings.h"

namespace xmlpp {

namespace {

const int kChunkSize = 1024;

// Expat reports a name in a namespace as the URI, a blank and the local name.
void splitName(const char* name, std::string& uri, std::string& local) {
  const char* blank = std::strchr(name, ' ');
  uri = blank ? std::string(name, blank) : std::string();
  local = blank ? std::string(blank + 1) : std::string(name);
}

std::string text(const char* s) { return s ? std::string(s) : std::string(); }

// Handlers must not let exceptions through Expat's C frames.
template <class Event>
void guarded(void* data, Event event) {
  DomParserImpl* impl = static_cast<DomParserImpl*>(data);
  try {
    event(*impl);
  } catch (const std::exception&) {
    impl->abort(XML_ErrorString(XML_ERROR_NO_MEMORY) + impl->at_line());
  }
}

void XMLCALL startElement(void* data, const XML_Char* name, const XML_Char** attributes) {
  guarded(data, [&](DomParserImpl& p) { p.on_start_element(name, attributes); });
}

void XMLCALL endElement(void* data, const XML_Char*) {
  guarded(data, [&](DomParserImpl& p) { p.on_end_element(); });
}

void XMLCALL characterData(void* data, const XML_Char* s, int length) {
  guarded(data, [&](DomParserImpl& p) { p.on_text(s, length); });
}

void XMLCALL startNamespace(void* data, const XML_Char* prefix, const XML_Char* uri) {
  guarded(data, [&](DomParserImpl& p) { p.on_namespace(prefix, uri); });
}

void XMLCALL startCdata(void* data) {
  guarded(data, [&](DomParserImpl& p) { p.on_cdata(true); });
}

void XMLCALL endCdata(void* data) {
  guarded(data, [&](DomParserImpl& p) { p.on_cdata(false); });
}

void XMLCALL startDoctype(void* data, const XML_Char* name, const XML_Char* system_id, const XML_Char* public_id,
                          int internal_subset) {
  guarded(data, [&](DomParserImpl& p) { p.on_doctype(name, system_id, public_id, internal_subset != 0); });
}

void XMLCALL processingInstruction(void* data, const XML_Char* target, const XML_Char* pi_data) {
  guarded(data, [&](DomParserImpl& p) { p.on_processing_instruction(target, pi_data); });
}

void XMLCALL comment(void* data, const XML_Char* s) {
  guarded(data, [&](DomParserImpl& p) { p.on_comment(s); });
}

}  // namespace

DomParserImpl::DomParserImpl() : m_pParser(XML_ParserCreateNS(nullptr, ' ')), m_pCurrent(nullptr), m_bInCdata(false) {
  if (!m_pParser) m_LastError = "DomParser backend can't create a parser object";
}

DomParserImpl::DomParserImpl(const DomParserImpl& other) : DomParserImpl() {
  if (other.m_pDocument) m_pDocument.reset(static_cast<Document*>(other.m_pDocument->copy(true)));
  if (m_pParser) m_LastError = other.m_LastError;
}

DomParserImpl::~DomParserImpl() {
  if (m_pParser) XML_ParserFree(m_pParser);
}

bool DomParserImpl::fail(const std::string& error) {
  m_LastError = error;
  return false;
}

void DomParserImpl::close() {
  m_pDocument.reset();
  m_pCurrent = nullptr;
  if (m_pParser) m_LastError.clear();
}

std::string DomParserImpl::at_line() const { return " at line " + std::to_string(XML_GetCurrentLineNumber(m_pParser)); }

void DomParserImpl::abort(const std::string& error) {
  m_AbortError = error;
  XML_StopParser(m_pParser, XML_FALSE);
}

void DomParserImpl::reset() {
  XML_ParserReset(m_pParser, nullptr);
  XML_SetUserData(m_pParser, this);
  XML_SetElementHandler(m_pParser, startElement, endElement);
  XML_SetCharacterDataHandler(m_pParser, characterData);
  XML_SetStartNamespaceDeclHandler(m_pParser, startNamespace);
  XML_SetCdataSectionHandler(m_pParser, startCdata, endCdata);
  XML_SetStartDoctypeDeclHandler(m_pParser, startDoctype);
  XML_SetProcessingInstructionHandler(m_pParser, processingInstruction);
  XML_SetCommentHandler(m_pParser, comment);
  detail::installUnknownEncodingHandler(m_pParser);
  m_pDocument.reset();
  m_pDocument.reset(new Document("1.0"));
  m_pCurrent = nullptr;
  m_bInCdata = false;
  m_PrefixForUri.clear();
  m_PrefixForUri[Element::xml_namespace_uri()] = "xml";
  m_NamedPrefixForUri = m_PrefixForUri;
  m_Pending.clear();
  m_AbortError.clear();
  m_LastError.clear();
}

bool DomParserImpl::parse(std::istream& in) {
  if (!m_pParser) return fail("DomParser backend can't create a parser object");
  try {
    reset();
  } catch (const std::exception&) {
    return fail(XML_ErrorString(XML_ERROR_NO_MEMORY));
  }
  for (;;) {
    void* buffer = XML_GetBuffer(m_pParser, kChunkSize);
    if (!buffer) return fail("can't  allocate memory for the buffer" + at_line());
    std::streamsize got = 0;
    try {
      in.read(static_cast<char*>(buffer), kChunkSize);
      got = in.gcount();
    } catch (const std::exception&) {
      return fail("reading error" + at_line());
    }
    if (in.bad() || (in.fail() && !in.eof())) return fail("reading error" + at_line());
    const bool last = in.eof();
    if (XML_ParseBuffer(m_pParser, static_cast<int>(got), last) != XML_STATUS_OK) {
      if (!m_AbortError.empty()) return fail(m_AbortError);
      return fail(XML_ErrorString(XML_GetErrorCode(m_pParser)) + at_line());
    }
    if (last) return true;
  }
}

std::string DomParserImpl::prefix_for(const std::string& uri, bool attribute) const {
  if (uri.empty()) return std::string();
  const std::map<std::string, std::string>& prefixes = attribute ? m_NamedPrefixForUri : m_PrefixForUri;
  std::map<std::string, std::string>::const_iterator it = prefixes.find(uri);
  return it == prefixes.end() ? std::string() : it->second;
}

void DomParserImpl::on_start_element(const char* name, const char** attributes) {
  std::string uri, local;
  splitName(name, uri, local);
  Element* element = nullptr;
  try {
    element = m_pCurrent ? m_pCurrent->add_child(local, prefix_for(uri))
                         : m_pDocument->create_root_node(local, std::string(), prefix_for(uri));
  } catch (const std::bad_alloc&) {
    abort("can't  allocate memory for the node " + local + at_line());
    return;
  }
  for (const Element::NamespaceMap::value_type& declaration : m_Pending) {
    element->set_namespace_declaration(declaration.second, declaration.first);
  }
  m_Pending.clear();
  for (const char** a = attributes; a[0] && a[1]; a += 2) {
    splitName(a[0], uri, local);
    element->set_attribute(local, a[1], prefix_for(uri, true));
  }
  m_pCurrent = element;
}

void DomParserImpl::on_end_element() {
  if (m_pCurrent) m_pCurrent = m_pCurrent->get_parent();
}

void DomParserImpl::on_text(const char* s, int length) {
  if (!m_pCurrent) return;
  const std::string chunk(s, static_cast<size_t>(length));
  if (m_bInCdata) {
    m_pCurrent->add_child_cdata(chunk);
  } else {
    m_pCurrent->add_child_text(chunk);
  }
}

void DomParserImpl::on_namespace(const char* prefix, const char* uri) {
  if (!uri || !*uri) return;
  m_PrefixForUri[uri] = text(prefix);
  if (prefix && *prefix) m_NamedPrefixForUri[uri] = prefix;
  m_Pending[text(prefix)] = uri;
}

void DomParserImpl::on_doctype(const char* name, const char* system_id, const char* public_id, bool internal_subset) {
  m_pDocument->set_internal_subset(text(name), text(public_id), text(system_id), internal_subset);
}

void DomParserImpl::on_processing_instruction(const char* target, const char* data) {
  if (m_pCurrent) {
    m_pCurrent->add_child_processing_instruction(text(target), text(data));
  } else {
    m_pDocument->add_processing_instruction(text(target), text(data));
  }
}

void DomParserImpl::on_comment(const char* s) {
  if (m_pCurrent) {
    m_pCurrent->add_child_comment(text(s));
  } else {
    m_pDocument->add_comment(text(s));
  }
}

}  // namespace xmlpp
