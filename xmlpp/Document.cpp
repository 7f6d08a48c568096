#include "xmlpp/Document.h"

#include <algorithm>
#include <memory>

#include "xmlpp/Exception.h"
#include "xmlpp/NodeWriter.h"
#include "xmlpp/xpath.h"

namespace xmlpp {

namespace {

template <class Kind>
Node::NodeList::const_iterator findKind(const Node::NodeList& nodes) {
  return std::find_if(nodes.begin(), nodes.end(),
                      [](const Node* n) { return dynamic_cast<const Kind*>(n) != nullptr; });
}

}  // namespace

Document::Document(const std::string& version) : m_Version(version) {}

Document::~Document() { Element::destroy_nodes(m_Children); }

Document* Document::create(const std::string& version) { return new Document(version); }

void Document::destroy(Document* document) { delete document; }

Node* Document::adopt(Node* node, NodeList::iterator where) {
  std::unique_ptr<Node> owned(node);
  m_Children.insert(where, node);
  return owned.release();
}

Element* Document::get_root_node() const {
  NodeList::const_iterator it = findKind<Element>(m_Children);
  return it == m_Children.end() ? nullptr : static_cast<Element*>(*it);
}

Element* Document::create_root_node(const std::string& name, const std::string& ns_uri, const std::string& ns_prefix) {
  std::unique_ptr<Element> root(new Element(name, ns_prefix));
  if (!ns_uri.empty()) root->set_namespace_declaration(ns_uri, ns_prefix);
  NodeList::iterator it = m_Children.begin() + (findKind<Element>(m_Children) - m_Children.begin());
  if (it == m_Children.end()) return static_cast<Element*>(adopt(root.release(), m_Children.end()));
  NodeList old(1, *it);
  *it = root.release();
  Element::destroy_nodes(old);
  return static_cast<Element*>(*it);
}

DtdNode* Document::get_internal_subset() const {
  NodeList::const_iterator it = findKind<DtdNode>(m_Children);
  return it == m_Children.end() ? nullptr : static_cast<DtdNode*>(*it);
}

DtdNode* Document::set_internal_subset(const std::string& name, const std::string& public_id,
                                       const std::string& system_id, bool has_internal_subset) {
  std::unique_ptr<DtdNode> dtd(new DtdNode(name, public_id, system_id, has_internal_subset));
  NodeList::iterator it = m_Children.begin() + (findKind<DtdNode>(m_Children) - m_Children.begin());
  if (it != m_Children.end()) {
    delete *it;
    *it = dtd.release();
    return static_cast<DtdNode*>(*it);
  }
  it = m_Children.begin() + (findKind<Element>(m_Children) - m_Children.begin());
  return static_cast<DtdNode*>(adopt(dtd.release(), it));
}

CommentNode* Document::add_comment(const std::string& content) {
  return static_cast<CommentNode*>(adopt(new CommentNode(content), m_Children.end()));
}

ProcessingInstructionNode* Document::add_processing_instruction(const std::string& target, const std::string& data) {
  return static_cast<ProcessingInstructionNode*>(adopt(new ProcessingInstructionNode(target, data), m_Children.end()));
}

Node::NodeList Document::get_children(const std::string& name) const {
  return Element::children_named(m_Children, name);
}

Node* Document::operator[](size_t index) const {
  return Element::child_at(m_Children, index, "Document::operator[] out of range");
}

Node::NodeSet Document::find(const std::string& path, const PrefixNsMap& namespaces) const {
  return xpath::select(path, *this, namespaces, xpath::HOWMANY::ALL);
}

Node* Document::find_first(const std::string& path, const PrefixNsMap& namespaces) const {
  NodeSet found = xpath::select(path, *this, namespaces, xpath::HOWMANY::FIRST);
  return found.empty() ? nullptr : found.front();
}

Node* Document::find_first_node(const std::string& path, const PrefixNsMap& namespaces) const {
  return find_first(path, namespaces);
}

Node* Document::copy(bool deep) const {
  std::unique_ptr<Document> document(new Document(m_Version));
  if (!deep) return document.release();
  for (const Node* child : m_Children) document->adopt(child->copy(true), document->m_Children.end());
  return document.release();
}

bool Document::operator==(const Node& other) const {
  if (!Node::operator==(other)) return false;
  const Document& d = static_cast<const Document&>(other);
  return m_Version == d.m_Version && Element::equal_nodes(m_Children, d.m_Children);
}

void Document::write(std::ostream& os, bool formatted, int) const {
  os << "<?xml version=\"" << m_Version << "\" encoding=\"UTF-8\"?>\n";
  for (const Node* child : m_Children) child->write(os, formatted, 0);
  detail::checkStream(os, "Document::write exception");
}

std::ostream& operator<<(std::ostream& os, const Document& document) {
  document.write(os, false, 0);
  return os;
}

}  // namespace xmlpp
