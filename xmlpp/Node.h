#pragma once
// The node family of the XML model: the abstract Node and the leaf kinds
// (text, CDATA, comment, processing instruction, document type).
//
// Nodes are owned by their parent element or document and deleted with it.
// Only elements are parents: the children of a Document (its root element,
// comments, processing instructions, document type) have no parent pointer.
// Nodes are not copyable by value; copy() makes a new node.
#include <deque>
#include <map>
#include <ostream>
#include <string>

namespace xmlpp {

class Element;

class Node {
 public:
  typedef std::deque<Node*> NodeList;
  typedef std::deque<Node*> NodeSet;
  // Prefixes used in a path, mapped to namespace URIs.
  typedef std::map<std::string, std::string> PrefixNsMap;

  Node();
  virtual ~Node();
  Node(const Node&) = delete;
  Node& operator=(const Node&) = delete;

  // A new node of the same kind; the caller owns it. `deep` also copies children.
  virtual Node* copy(bool deep = true) const = 0;
  // Leaf kinds have no children: empty.
  virtual NodeList get_children(const std::string& name = std::string()) const;
  // Path queries (see xpath.h); on leaf kinds they find nothing.
  virtual NodeSet find(const std::string& path, const PrefixNsMap& namespaces = PrefixNsMap()) const;
  virtual Node* find_first(const std::string& path, const PrefixNsMap& namespaces = PrefixNsMap()) const;
  // Same kind (exact class) and equal contents.
  virtual bool operator==(const Node& other) const;
  virtual bool operator!=(const Node& other) const;
  // Serialises the node; `formatted` indents by two blanks per `level`.
  virtual void write(std::ostream& os, bool formatted = false, int level = 0) const = 0;

  // The owning element, or null for a detached or top-level node.
  Element* get_parent() const { return m_pParent; }
  // The neighbouring children of the parent element, or null.
  Node* get_previous_sibling() const;
  Node* get_next_sibling() const;

 private:
  friend class Element;
  friend class Document;
  Element* m_pParent;
};

// Writes the node unformatted.
std::ostream& operator<<(std::ostream& os, const Node& node);

class TextNode : public Node {
 public:
  explicit TextNode(const std::string& content = std::string());

  const std::string& get_content() const { return m_Content; }
  void set_content(const std::string& content) { m_Content = content; }
  void append_content(const std::string& content) { m_Content += content; }
  // True when the content is empty or only XML white space.
  bool is_white_space() const;

  Node* copy(bool deep = true) const override;
  bool operator==(const Node& other) const override;
  // Formatted, white-space-only text writes nothing.
  void write(std::ostream& os, bool formatted = false, int level = 0) const override;

 private:
  std::string m_Content;
};

// A CDATA section; its content is written verbatim.
class CdataNode : public TextNode {
 public:
  explicit CdataNode(const std::string& content = std::string());

  Node* copy(bool deep = true) const override;
  void write(std::ostream& os, bool formatted = false, int level = 0) const override;
};

class CommentNode : public Node {
 public:
  explicit CommentNode(const std::string& content = std::string());

  const std::string& get_content() const { return m_Content; }
  void set_content(const std::string& content) { m_Content = content; }

  Node* copy(bool deep = true) const override;
  bool operator==(const Node& other) const override;
  void write(std::ostream& os, bool formatted = false, int level = 0) const override;

 private:
  std::string m_Content;
};

// Written as "<?target data?>"; the blank is left out when the data is empty.
class ProcessingInstructionNode : public Node {
 public:
  ProcessingInstructionNode(const std::string& target, const std::string& data);

  const std::string& get_target() const { return m_Target; }
  const std::string& get_data() const { return m_Data; }
  void set_data(const std::string& data) { m_Data = data; }

  Node* copy(bool deep = true) const override;
  bool operator==(const Node& other) const override;
  void write(std::ostream& os, bool formatted = false, int level = 0) const override;

 private:
  std::string m_Target;
  std::string m_Data;
};

// The document type declaration. The parser records only whether the document
// had an internal subset, not its declarations (entities are expanded while
// parsing), and the writer never writes one; the flag takes part in equality.
// Written without indentation or newline, also when formatted.
class DtdNode : public Node {
 public:
  DtdNode(const std::string& name, const std::string& public_id, const std::string& system_id,
          bool has_internal_subset = false);

  const std::string& get_name() const { return m_Name; }
  const std::string& get_public_id() const { return m_PublicId; }
  const std::string& get_system_id() const { return m_SystemId; }
  bool has_internal_subset() const { return m_bInternalSubset; }

  Node* copy(bool deep = true) const override;
  bool operator==(const Node& other) const override;
  void write(std::ostream& os, bool formatted = false, int level = 0) const override;

 private:
  std::string m_Name;
  std::string m_PublicId;
  std::string m_SystemId;
  bool m_bInternalSubset;
};

}  // namespace xmlpp
