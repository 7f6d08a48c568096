#pragma once
// An XML element: name and namespace prefix, attributes, namespace
// declarations and owned children in document order.
//
// Names: an element stores its local name and its prefix separately; it is
// written with its qualified name (prefix, colon, name). get_children(name)
// and path steps compare a plain name with the local name, a prefixed name
// with the qualified name.
//
// Every operation on the tree (destruction, copy, equality, writing, path
// matching) walks it without recursion, so nesting depth is limited only by
// memory.
#include <iosfwd>
#include <map>
#include <string>

#include "xmlpp/Node.h"
#include "xmlpp/Writers.h"

namespace xmlpp {

class CdataNode;
class CommentNode;
class ProcessingInstructionNode;
class TextNode;

// One attribute; its name is the qualified name (prefix:name, or name).
class Attribute {
 public:
  Attribute(const std::string& name, const std::string& value) : m_Name(name), m_Value(value) {}

  const std::string& get_name() const { return m_Name; }
  const std::string& get_value() const { return m_Value; }
  void set_value(const std::string& value) { m_Value = value; }

  bool operator==(const Attribute& other) const { return m_Name == other.m_Name && m_Value == other.m_Value; }
  bool operator!=(const Attribute& other) const { return !(*this == other); }

 private:
  std::string m_Name;
  std::string m_Value;
};

class Element : public Node, public Writers<Element> {
 public:
  // Keyed and ordered by qualified name (attributes are written in this order).
  typedef std::map<std::string, Attribute> AttributeMap;
  // Namespace declarations: prefix (empty for the default namespace) -> URI.
  typedef std::map<std::string, std::string> NamespaceMap;

  explicit Element(const std::string& name, const std::string& ns_prefix = std::string());
  ~Element() override;

  const std::string& get_name() const { return m_Name; }
  void set_name(const std::string& name) { m_Name = name; }
  const std::string& get_namespace_prefix() const { return m_Prefix; }
  std::string get_qualified_name() const { return qualify(m_Prefix, m_Name); }

  // Splitting and joining of qualified names at the first colon.
  static std::string prefix(const std::string& qualified_name);
  static std::string local_name(const std::string& qualified_name);
  static std::string qualify(const std::string& prefix, const std::string& name);
  // The URI that the "xml" prefix is always bound to.
  static const std::string& xml_namespace_uri();
  // True when `name` is the local name or, when it holds a colon, the qualified name.
  bool has_name(const std::string& name) const;

  // --- namespaces
  // The URI of the element's own prefix, or "" when it is not declared.
  std::string get_namespace_uri() const;
  // Resolved through the declarations of this element and its ancestors; the
  // "xml" prefix is always bound. Unknown prefixes and URIs give "".
  std::string get_namespace_uri_for_prefix(const std::string& ns_prefix) const;
  std::string get_namespace_prefix_for_uri(const std::string& ns_uri) const;
  // As above, but telling a missing binding apart from the default namespace.
  bool lookup_namespace_prefix(const std::string& ns_uri, std::string& ns_prefix) const;
  // Sets the prefix of the element; whether it is declared is not checked.
  void set_namespace(const std::string& ns_prefix) { m_Prefix = ns_prefix; }
  void set_namespace_declaration(const std::string& ns_uri, const std::string& ns_prefix = std::string());
  const NamespaceMap& get_namespaces() const { return m_Namespaces; }

  // --- attributes
  Attribute* set_attribute(const std::string& name, const std::string& value,
                           const std::string& ns_prefix = std::string());
  Attribute* get_attribute(const std::string& name, const std::string& ns_prefix = std::string());
  const Attribute* get_attribute(const std::string& name, const std::string& ns_prefix = std::string()) const;
  // "" when absent.
  std::string get_attribute_value(const std::string& name, const std::string& ns_prefix = std::string()) const;
  bool has_attribute(const std::string& name, const std::string& ns_prefix = std::string()) const;
  void remove_attribute(const std::string& name, const std::string& ns_prefix = std::string());
  const AttributeMap& get_attributes() const { return m_Attributes; }

  // --- children (appended at the end; each returns the new node)
  Element* add_child(const std::string& name, const std::string& ns_prefix = std::string());
  // Appends to the last child when it is a plain text node (not CDATA).
  TextNode* add_child_text(const std::string& content = std::string());
  CdataNode* add_child_cdata(const std::string& content);
  CommentNode* add_child_comment(const std::string& content);
  ProcessingInstructionNode* add_child_processing_instruction(const std::string& target, const std::string& data);
  // Insert before `next_sibling`, which must be a child of this element;
  // return null (and insert nothing) when it is not.
  Element* add_previous_sibling(Node* next_sibling, const std::string& name,
                                const std::string& ns_prefix = std::string());
  CommentNode* add_previous_sibling_comment(Node* next_sibling, const std::string& content);
  // Removes and deletes `node`; a node that is not a child is left alone.
  void remove_child(Node* node);
  // Appends a copy of `node` (with its children when `deep`). Documents cannot
  // be imported: null is returned.
  Node* import_node(const Node* node, bool deep = true);

  // --- text
  // The contents of all direct text and CDATA children, joined in order.
  std::string get_text() const;
  // The first text or CDATA child, or null.
  TextNode* get_child_text() const;
  // Replaces the content of the first text child, or adds one.
  void set_child_text(const std::string& content);
  bool has_child_text() const;
  // True when the element has children and all of them are text or CDATA.
  bool has_only_text_children() const;

  // --- navigation
  // All children when `name` is empty, else the child elements of that name.
  NodeList get_children(const std::string& name = std::string()) const override;
  size_t get_children_count() const { return m_Children.size(); }
  // The i-th child of any kind; throws Exception when out of range.
  Node* operator[](size_t index) const;
  // Path queries from this element; relative paths start at its children.
  NodeSet find(const std::string& path, const PrefixNsMap& namespaces = PrefixNsMap()) const override;
  Node* find_first(const std::string& path, const PrefixNsMap& namespaces = PrefixNsMap()) const override;

  // --- whole-node operations
  Node* copy(bool deep = true) const override;
  bool operator==(const Node& other) const override;
  // Namespace declarations are written with their URIs as they are, not
  // escaped like attribute values: a URI holding a markup character ('&',
  // '<' or '"', from an entity in the source) makes text that does not parse.
  void write(std::ostream& os, bool formatted = false, int level = 0) const override;
  // write_to_stream, write_to_string, write_to_file and their formatted forms
  // come from Writers.

  // Compares everything but the children.
  bool same_element(const Element& other) const;
  // Takes ownership of `node` and appends it.
  Node* adopt(Node* node);

 private:
  friend class Node;
  friend class Document;
  Node* insert_before(Node* next_sibling, Node* node);
  Element* shallow_copy() const;

  // Shared with Document: children by name, and indexing with its failure.
  static NodeList children_named(const NodeList& children, const std::string& name);
  static Node* child_at(const NodeList& children, size_t index, const char* outOfRange);
  // Tree algorithms without recursion, shared with Document.
  static void destroy_nodes(NodeList& nodes);
  static bool equal_nodes(const NodeList& a, const NodeList& b);

  std::string m_Name;
  std::string m_Prefix;
  AttributeMap m_Attributes;
  NamespaceMap m_Namespaces;
  NodeList m_Children;
};

}  // namespace xmlpp
