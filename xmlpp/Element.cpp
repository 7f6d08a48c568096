#include "xmlpp/Element.h"

#include <algorithm>
#include <memory>
#include <typeinfo>
#include <utility>
#include <vector>

#include "xmlpp/Document.h"
#include "xmlpp/Exception.h"
#include "xmlpp/NodeWriter.h"
#include "xmlpp/xpath.h"

namespace xmlpp {

Element::Element(const std::string& name, const std::string& ns_prefix) : m_Name(name), m_Prefix(ns_prefix) {}

Element::~Element() { destroy_nodes(m_Children); }

// --- names

std::string Element::prefix(const std::string& qualified_name) {
  const size_t colon = qualified_name.find(':');
  return colon == std::string::npos ? std::string() : qualified_name.substr(0, colon);
}

std::string Element::local_name(const std::string& qualified_name) {
  const size_t colon = qualified_name.find(':');
  return colon == std::string::npos ? qualified_name : qualified_name.substr(colon + 1);
}

std::string Element::qualify(const std::string& prefix, const std::string& name) {
  return prefix.empty() ? name : prefix + ":" + name;
}

const std::string& Element::xml_namespace_uri() {
  static const std::string uri = "http://www.w3.org/XML/1998/namespace";
  return uri;
}

bool Element::has_name(const std::string& name) const {
  if (name.find(':') == std::string::npos) return name == m_Name;
  return name == get_qualified_name();
}

// --- namespaces

std::string Element::get_namespace_uri() const { return get_namespace_uri_for_prefix(m_Prefix); }

std::string Element::get_namespace_uri_for_prefix(const std::string& ns_prefix) const {
  if (ns_prefix == "xml") return xml_namespace_uri();
  for (const Element* e = this; e; e = e->get_parent()) {
    NamespaceMap::const_iterator it = e->m_Namespaces.find(ns_prefix);
    if (it != e->m_Namespaces.end()) return it->second;
  }
  return std::string();
}

std::string Element::get_namespace_prefix_for_uri(const std::string& ns_uri) const {
  std::string ns_prefix;
  lookup_namespace_prefix(ns_uri, ns_prefix);
  return ns_prefix;
}

bool Element::lookup_namespace_prefix(const std::string& ns_uri, std::string& ns_prefix) const {
  if (ns_uri == xml_namespace_uri()) {
    ns_prefix = "xml";
    return true;
  }
  for (const Element* e = this; e; e = e->get_parent()) {
    for (const NamespaceMap::value_type& declaration : e->m_Namespaces) {
      if (declaration.second != ns_uri) continue;
      ns_prefix = declaration.first;
      return true;
    }
  }
  return false;
}

void Element::set_namespace_declaration(const std::string& ns_uri, const std::string& ns_prefix) {
  m_Namespaces[ns_prefix] = ns_uri;
}

// --- attributes

Attribute* Element::set_attribute(const std::string& name, const std::string& value, const std::string& ns_prefix) {
  const std::string key = qualify(ns_prefix, name);
  AttributeMap::iterator it = m_Attributes.find(key);
  if (it == m_Attributes.end()) {
    it = m_Attributes.emplace(key, Attribute(key, value)).first;
  } else {
    it->second.set_value(value);
  }
  return &it->second;
}

Attribute* Element::get_attribute(const std::string& name, const std::string& ns_prefix) {
  AttributeMap::iterator it = m_Attributes.find(qualify(ns_prefix, name));
  return it == m_Attributes.end() ? nullptr : &it->second;
}

const Attribute* Element::get_attribute(const std::string& name, const std::string& ns_prefix) const {
  return const_cast<Element*>(this)->get_attribute(name, ns_prefix);
}

std::string Element::get_attribute_value(const std::string& name, const std::string& ns_prefix) const {
  const Attribute* attribute = get_attribute(name, ns_prefix);
  return attribute ? attribute->get_value() : std::string();
}

bool Element::has_attribute(const std::string& name, const std::string& ns_prefix) const {
  return get_attribute(name, ns_prefix) != nullptr;
}

void Element::remove_attribute(const std::string& name, const std::string& ns_prefix) {
  m_Attributes.erase(qualify(ns_prefix, name));
}

// --- children

Node* Element::adopt(Node* node) {
  std::unique_ptr<Node> owned(node);
  m_Children.push_back(node);
  node->m_pParent = this;
  return owned.release();
}

Node* Element::insert_before(Node* next_sibling, Node* node) {
  std::unique_ptr<Node> owned(node);
  NodeList::iterator it = std::find(m_Children.begin(), m_Children.end(), next_sibling);
  if (it == m_Children.end()) return nullptr;
  m_Children.insert(it, node);
  node->m_pParent = this;
  return owned.release();
}

Element* Element::add_child(const std::string& name, const std::string& ns_prefix) {
  return static_cast<Element*>(adopt(new Element(name, ns_prefix)));
}

TextNode* Element::add_child_text(const std::string& content) {
  if (!m_Children.empty()) {
    TextNode* last = dynamic_cast<TextNode*>(m_Children.back());
    if (last && !dynamic_cast<CdataNode*>(last)) {
      last->append_content(content);
      return last;
    }
  }
  return static_cast<TextNode*>(adopt(new TextNode(content)));
}

CdataNode* Element::add_child_cdata(const std::string& content) {
  return static_cast<CdataNode*>(adopt(new CdataNode(content)));
}

CommentNode* Element::add_child_comment(const std::string& content) {
  return static_cast<CommentNode*>(adopt(new CommentNode(content)));
}

ProcessingInstructionNode* Element::add_child_processing_instruction(const std::string& target,
                                                                     const std::string& data) {
  return static_cast<ProcessingInstructionNode*>(adopt(new ProcessingInstructionNode(target, data)));
}

Element* Element::add_previous_sibling(Node* next_sibling, const std::string& name, const std::string& ns_prefix) {
  return static_cast<Element*>(insert_before(next_sibling, new Element(name, ns_prefix)));
}

CommentNode* Element::add_previous_sibling_comment(Node* next_sibling, const std::string& content) {
  return static_cast<CommentNode*>(insert_before(next_sibling, new CommentNode(content)));
}

void Element::remove_child(Node* node) {
  NodeList::iterator it = std::find(m_Children.begin(), m_Children.end(), node);
  if (it == m_Children.end()) return;
  m_Children.erase(it);
  NodeList removed(1, node);
  destroy_nodes(removed);
}

Node* Element::import_node(const Node* node, bool deep) {
  if (!node || dynamic_cast<const Document*>(node)) return nullptr;
  return adopt(node->copy(deep));
}

// --- text

std::string Element::get_text() const {
  std::string text;
  for (const Node* child : m_Children) {
    if (const TextNode* t = dynamic_cast<const TextNode*>(child)) text += t->get_content();
  }
  return text;
}

TextNode* Element::get_child_text() const {
  for (Node* child : m_Children) {
    if (TextNode* t = dynamic_cast<TextNode*>(child)) return t;
  }
  return nullptr;
}

void Element::set_child_text(const std::string& content) {
  if (TextNode* t = get_child_text()) {
    t->set_content(content);
  } else {
    add_child_text(content);
  }
}

bool Element::has_child_text() const { return get_child_text() != nullptr; }

bool Element::has_only_text_children() const {
  if (m_Children.empty()) return false;
  return std::all_of(m_Children.begin(), m_Children.end(),
                     [](const Node* child) { return dynamic_cast<const TextNode*>(child) != nullptr; });
}

// --- navigation

Node::NodeList Element::children_named(const NodeList& children, const std::string& name) {
  if (name.empty()) return children;
  NodeList found;
  for (Node* child : children) {
    const Element* e = dynamic_cast<const Element*>(child);
    if (e && e->has_name(name)) found.push_back(child);
  }
  return found;
}

Node* Element::child_at(const NodeList& children, size_t index, const char* outOfRange) {
  if (index >= children.size()) throw Exception(outOfRange);
  return children[index];
}

Node::NodeList Element::get_children(const std::string& name) const { return children_named(m_Children, name); }

Node* Element::operator[](size_t index) const {
  return child_at(m_Children, index, "Element::operator[] out of range");
}

Node::NodeSet Element::find(const std::string& path, const PrefixNsMap& namespaces) const {
  return xpath::select(path, *this, namespaces, xpath::HOWMANY::ALL);
}

Node* Element::find_first(const std::string& path, const PrefixNsMap& namespaces) const {
  NodeSet found = xpath::select(path, *this, namespaces, xpath::HOWMANY::FIRST);
  return found.empty() ? nullptr : found.front();
}

// --- whole-node operations

Element* Element::shallow_copy() const {
  Element* e = new Element(m_Name, m_Prefix);
  e->m_Attributes = m_Attributes;
  e->m_Namespaces = m_Namespaces;
  return e;
}

Node* Element::copy(bool deep) const {
  std::unique_ptr<Element> root(shallow_copy());
  if (!deep) return root.release();
  std::vector<std::pair<const Element*, Element*>> work(1, std::make_pair(this, root.get()));
  while (!work.empty()) {
    const Element* from = work.back().first;
    Element* to = work.back().second;
    work.pop_back();
    for (const Node* child : from->m_Children) {
      const Element* e = dynamic_cast<const Element*>(child);
      if (!e) {
        to->adopt(child->copy(true));
        continue;
      }
      Element* copied = static_cast<Element*>(to->adopt(e->shallow_copy()));
      work.push_back(std::make_pair(e, copied));
    }
  }
  return root.release();
}

bool Element::same_element(const Element& other) const {
  return m_Name == other.m_Name && m_Prefix == other.m_Prefix && m_Attributes == other.m_Attributes &&
         m_Namespaces == other.m_Namespaces;
}

bool Element::operator==(const Node& other) const {
  if (!Node::operator==(other)) return false;
  const Element& e = static_cast<const Element&>(other);
  return same_element(e) && equal_nodes(m_Children, e.m_Children);
}

void Element::destroy_nodes(NodeList& nodes) {
  std::vector<Node*> work(nodes.begin(), nodes.end());
  nodes.clear();
  while (!work.empty()) {
    Node* node = work.back();
    work.pop_back();
    if (Element* e = dynamic_cast<Element*>(node)) {
      work.insert(work.end(), e->m_Children.begin(), e->m_Children.end());
      e->m_Children.clear();
    }
    delete node;
  }
}

bool Element::equal_nodes(const NodeList& a, const NodeList& b) {
  std::vector<std::pair<const NodeList*, const NodeList*>> work(1, std::make_pair(&a, &b));
  while (!work.empty()) {
    const NodeList& x = *work.back().first;
    const NodeList& y = *work.back().second;
    work.pop_back();
    if (x.size() != y.size()) return false;
    for (size_t i = 0; i < x.size(); ++i) {
      const Element* ex = dynamic_cast<const Element*>(x[i]);
      if (!ex) {
        if (*x[i] != *y[i]) return false;
        continue;
      }
      if (typeid(*x[i]) != typeid(*y[i])) return false;
      const Element* ey = static_cast<const Element*>(y[i]);
      if (!ex->same_element(*ey)) return false;
      work.push_back(std::make_pair(&ex->m_Children, &ey->m_Children));
    }
  }
  return true;
}

void Element::write(std::ostream& os, bool formatted, int level) const {
  detail::writeElement(*this, os, formatted, level);
}

}  // namespace xmlpp
