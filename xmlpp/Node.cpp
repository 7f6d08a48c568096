#include "xmlpp/Node.h"

#include <typeinfo>

#include "xmlpp/Element.h"
#include "xmlpp/NodeWriter.h"

namespace xmlpp {

Node::Node() : m_pParent(nullptr) {}

Node::~Node() = default;

Node::NodeList Node::get_children(const std::string&) const { return NodeList(); }

Node::NodeSet Node::find(const std::string&, const PrefixNsMap&) const { return NodeSet(); }

Node* Node::find_first(const std::string&, const PrefixNsMap&) const { return nullptr; }

bool Node::operator==(const Node& other) const { return typeid(*this) == typeid(other); }

bool Node::operator!=(const Node& other) const { return !(*this == other); }

Node* Node::get_previous_sibling() const {
  if (!m_pParent) return nullptr;
  const NodeList& siblings = m_pParent->m_Children;
  for (size_t i = 1; i < siblings.size(); ++i) {
    if (siblings[i] == this) return siblings[i - 1];
  }
  return nullptr;
}

Node* Node::get_next_sibling() const {
  if (!m_pParent) return nullptr;
  const NodeList& siblings = m_pParent->m_Children;
  for (size_t i = 0; i + 1 < siblings.size(); ++i) {
    if (siblings[i] == this) return siblings[i + 1];
  }
  return nullptr;
}

std::ostream& operator<<(std::ostream& os, const Node& node) {
  node.write(os, false, 0);
  return os;
}

// --- TextNode

TextNode::TextNode(const std::string& content) : m_Content(content) {}

bool TextNode::is_white_space() const { return m_Content.find_first_not_of(" \t\n\r") == std::string::npos; }

Node* TextNode::copy(bool) const { return new TextNode(m_Content); }

bool TextNode::operator==(const Node& other) const {
  return Node::operator==(other) && static_cast<const TextNode&>(other).m_Content == m_Content;
}

void TextNode::write(std::ostream& os, bool formatted, int level) const {
  if (formatted && is_white_space()) return;
  detail::writeIndent(os, formatted, level);
  detail::writeEscaped(os, m_Content);
  if (formatted) os << '\n';
  detail::checkStream(os, "TextNode::write exception");
}

// --- CdataNode

CdataNode::CdataNode(const std::string& content) : TextNode(content) {}

Node* CdataNode::copy(bool) const { return new CdataNode(get_content()); }

void CdataNode::write(std::ostream& os, bool formatted, int level) const {
  detail::writeMarkup(os, formatted, level, "<![CDATA[", get_content(), "]]>", "CdataNode::write exception");
}

// --- CommentNode

CommentNode::CommentNode(const std::string& content) : m_Content(content) {}

Node* CommentNode::copy(bool) const { return new CommentNode(m_Content); }

bool CommentNode::operator==(const Node& other) const {
  return Node::operator==(other) && static_cast<const CommentNode&>(other).m_Content == m_Content;
}

void CommentNode::write(std::ostream& os, bool formatted, int level) const {
  detail::writeMarkup(os, formatted, level, "<!--", m_Content, "-->", "CommentNode::write exception");
}

// --- ProcessingInstructionNode

ProcessingInstructionNode::ProcessingInstructionNode(const std::string& target, const std::string& data)
    : m_Target(target), m_Data(data) {}

Node* ProcessingInstructionNode::copy(bool) const { return new ProcessingInstructionNode(m_Target, m_Data); }

bool ProcessingInstructionNode::operator==(const Node& other) const {
  if (!Node::operator==(other)) return false;
  const ProcessingInstructionNode& pi = static_cast<const ProcessingInstructionNode&>(other);
  return pi.m_Target == m_Target && pi.m_Data == m_Data;
}

void ProcessingInstructionNode::write(std::ostream& os, bool formatted, int level) const {
  const std::string body = m_Data.empty() ? m_Target : m_Target + " " + m_Data;
  detail::writeMarkup(os, formatted, level, "<?", body, "?>", "ProcessingInstructionNode::write exception");
}

// --- DtdNode

DtdNode::DtdNode(const std::string& name, const std::string& public_id, const std::string& system_id,
                 bool has_internal_subset)
    : m_Name(name), m_PublicId(public_id), m_SystemId(system_id), m_bInternalSubset(has_internal_subset) {}

Node* DtdNode::copy(bool) const { return new DtdNode(m_Name, m_PublicId, m_SystemId, m_bInternalSubset); }

bool DtdNode::operator==(const Node& other) const {
  if (!Node::operator==(other)) return false;
  const DtdNode& dtd = static_cast<const DtdNode&>(other);
  return dtd.m_Name == m_Name && dtd.m_PublicId == m_PublicId && dtd.m_SystemId == m_SystemId &&
         dtd.m_bInternalSubset == m_bInternalSubset;
}

void DtdNode::write(std::ostream& os, bool, int) const {
  if (!m_Name.empty()) {
    os << "<!DOCTYPE " << m_Name;
    if (!m_PublicId.empty()) {
      os << " PUBLIC \"" << m_PublicId << "\" \"" << m_SystemId << '"';
    } else if (!m_SystemId.empty()) {
      os << " SYSTEM \"" << m_SystemId << '"';
    }
    os << '>';
  }
  detail::checkStream(os, "DtdNode::write exception");
}

}  // namespace xmlpp
