#pragma once
// An XML document: its version, its top-level children in document order (at
// most one root element, comments, processing instructions and the document
// type) and the writers.
//
// The document type (internal subset) is kept as a top-level DtdNode child at
// its place in the document, so it is written, compared and copied with the
// other children.
#include <iosfwd>
#include <string>

#include "xmlpp/Element.h"
#include "xmlpp/Node.h"
#include "xmlpp/Writers.h"

namespace xmlpp {

class Document : public Node, public Writers<Document> {
 public:
  explicit Document(const std::string& version = "1.0");
  ~Document() override;

  static Document* create(const std::string& version = "1.0");
  static void destroy(Document* document);

  const std::string& get_version() const { return m_Version; }

  // The first element child, or null.
  Element* get_root_node() const;
  // Creates the root element (replacing and deleting an existing one in its
  // place); a non-empty `ns_uri` is declared on it for `ns_prefix`.
  Element* create_root_node(const std::string& name, const std::string& ns_uri = std::string(),
                            const std::string& ns_prefix = std::string());

  // The document type, or null.
  DtdNode* get_internal_subset() const;
  // Replaces the document type, or inserts one before the root element.
  DtdNode* set_internal_subset(const std::string& name, const std::string& public_id, const std::string& system_id,
                               bool has_internal_subset = false);
  CommentNode* add_comment(const std::string& content);
  ProcessingInstructionNode* add_processing_instruction(const std::string& target, const std::string& data);

  // All top-level children when `name` is empty, else the elements of that name.
  NodeList get_children(const std::string& name = std::string()) const override;
  // The i-th top-level child; throws Exception when out of range.
  Node* operator[](size_t index) const;
  // Path queries; the root element is the start of relative paths.
  NodeSet find(const std::string& path, const PrefixNsMap& namespaces = PrefixNsMap()) const override;
  Node* find_first(const std::string& path, const PrefixNsMap& namespaces = PrefixNsMap()) const override;
  Node* find_first_node(const std::string& path, const PrefixNsMap& namespaces = PrefixNsMap()) const;

  Node* copy(bool deep = true) const override;
  bool operator==(const Node& other) const override;
  // The XML declaration (always naming UTF-8), a newline, then the children.
  void write(std::ostream& os, bool formatted = false, int level = 0) const override;
  // write_to_stream, write_to_string, write_to_file and their formatted forms
  // come from Writers.

 private:
  Node* adopt(Node* node, NodeList::iterator where);

  std::string m_Version;
  NodeList m_Children;
};

// Writes the document unformatted.
std::ostream& operator<<(std::ostream& os, const Document& document);

}  // namespace xmlpp
