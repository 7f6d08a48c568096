// The compiled form of paths: construction, simplification and printing.
// Compiling is in XPathCompiler.cpp, matching in XPathMatcher.cpp.
#include "xmlpp/xpath.h"

#include <ostream>

namespace xmlpp {
namespace xpath {

// --- Node

Node::Node(Kind kind, const std::string& name) : m_Kind(kind), m_Name(name) {}

Node::~Node() = default;

bool Node::looks_at_self() const { return m_Kind == Kind::SELF || m_Kind == Kind::ATTRIBUTE || m_Kind == Kind::TEXT; }

void Node::print(std::ostream& os) const {
  switch (m_Kind) {
    case Kind::ROOT:
      os << '/';
      break;
    case Kind::SELF:
      os << '.';
      break;
    case Kind::NAME:
      os << m_Name;
      break;
    case Kind::ANY:
      os << '*';
      break;
    case Kind::ATTRIBUTE:
      os << '@' << m_Name;
      break;
    case Kind::TEXT:
      os << "text()";
      break;
  }
}

// --- Condition

Condition* Condition::simplify() { return this; }

Condition::~Condition() = default;

void Condition::simplify_in_place(std::unique_ptr<Condition>& condition) {
  Condition* simpler = condition->simplify();
  if (simpler != condition.get()) condition.reset(simpler);
}

// --- Position

Position::Position(int index)
    : m_Index(index), m_pStep(nullptr), m_Preceding(0), m_pLastParent(nullptr), m_LastIndex(0) {}

void Position::bind(const Path* step, size_t preceding) {
  m_pStep = step;
  m_Preceding = preceding;
}

void Position::print(std::ostream& os) const {
  if (m_Index < 0) {
    os << "last()";
  } else {
    os << m_Index + 1;
  }
}

// --- Predicate

namespace {

Node::Kind kindOf(Predicate::Operand operand) {
  switch (operand) {
    case Predicate::Operand::ATTRIBUTE:
      return Node::Kind::ATTRIBUTE;
    case Predicate::Operand::TEXT:
      return Node::Kind::TEXT;
    case Predicate::Operand::ROOT:
      return Node::Kind::ROOT;
    case Predicate::Operand::SELF:
      return Node::Kind::SELF;
    case Predicate::Operand::ANY:
      return Node::Kind::ANY;
    default:
      return Node::Kind::NAME;  // an element name, or the name function (with no name)
  }
}

void printLiteral(std::ostream& os, const std::string& value) {
  const char quote = value.find('\'') == std::string::npos ? '\'' : '"';
  os << quote << value << quote;
}

void printCondition(std::ostream& os, const Condition* condition) {
  if (condition) {
    condition->print(os);
  } else {
    os << "!!!empty condition!!!";
  }
}

}  // namespace

Predicate::Predicate(Operand operand, const std::string& name, Comparison comparison, const std::string& value)
    : Node(kindOf(operand), name), m_Operand(operand), m_Comparison(comparison), m_Value(value) {}

void Predicate::set_comparison(Comparison comparison, const std::string& value) {
  m_Comparison = comparison;
  m_Value = value;
}

bool Predicate::looks_at_self() const {
  return m_Operand == Operand::NAME_FUNCTION || m_Operand == Operand::ATTRIBUTE || m_Operand == Operand::TEXT;
}

void Predicate::print(std::ostream& os) const {
  switch (m_Operand) {
    case Operand::NAME_FUNCTION:
      os << "name()";
      break;
    case Operand::ELEMENT:
      os << name();
      break;
    case Operand::ATTRIBUTE:
      os << '@' << name();
      break;
    case Operand::TEXT:
      os << "text()";
      break;
    default:
      os << "!!!error!!!";
      break;
  }
  if (m_Comparison == Comparison::NONE) return;
  os << (m_Comparison == Comparison::EQUAL ? "=" : "!=");
  printLiteral(os, m_Value);
}

// --- Path

Path::Path() : m_Link(Link::NONE) {}

Path::~Path() {
  // Unlink the chain step by step so that long paths do not recurse.
  std::unique_ptr<Path> next = std::move(m_pNext);
  while (next) next = std::move(next->m_pNext);
}

void Path::add_condition(std::unique_ptr<Condition> condition) { m_Conditions.push_back(std::move(condition)); }

Path* Path::set_next(Link link, std::unique_ptr<Path> next) {
  m_Link = link;
  m_pNext = std::move(next);
  return m_pNext.get();
}

void Path::print(std::ostream& os) const {
  for (const Path* step = this; step; step = step->next()) {
    const bool root = step->node() && step->node()->kind() == Node::Kind::ROOT;
    if (step->node()) step->node()->print(os);
    for (const std::unique_ptr<Condition>& condition : step->conditions()) {
      os << '[';
      printCondition(os, condition.get());
      os << ']';
    }
    // The root prints its own slash; a step printed as nothing is the start of "..".
    const bool printed = !root && (step->node() || !step->conditions().empty());
    switch (step->link()) {
      case Link::NONE:
        break;
      case Link::CHILD:
        os << (root ? "" : "/");
        break;
      case Link::DESCENDANT:
        os << (root ? "/" : "//");
        break;
      case Link::PARENT:
        os << (printed ? "/.." : "..");
        break;
    }
  }
}

Condition* Path::simplify() {
  if (m_pNext) return this;
  if (m_pNode && m_Conditions.empty() && m_pNode->looks_at_self()) {
    if (Predicate* predicate = dynamic_cast<Predicate*>(m_pNode.get())) {
      m_pNode.release();
      return predicate;
    }
  }
  return this;
}

// --- Group

Group::Group(std::unique_ptr<Condition> first, Op op, std::unique_ptr<Condition> second)
    : m_pFirst(std::move(first)), m_Op(op), m_pSecond(std::move(second)) {}

void Group::print(std::ostream& os) const {
  os << '(';
  printCondition(os, m_pFirst.get());
  os << (m_Op == Op::AND ? " and " : " or ");
  printCondition(os, m_pSecond.get());
  os << ')';
}

Condition* Group::simplify() {
  simplify_in_place(m_pFirst);
  simplify_in_place(m_pSecond);
  return this;
}

// --- printing

std::ostream& operator<<(std::ostream& os, const Node& node) {
  node.print(os);
  return os;
}

std::ostream& operator<<(std::ostream& os, const Condition& condition) {
  condition.print(os);
  return os;
}

std::ostream& operator<<(std::ostream& os, const Predicate& predicate) {
  predicate.print(os);
  return os;
}

std::ostream& operator<<(std::ostream& os, const Path& path) {
  path.print(os);
  return os;
}

}  // namespace xpath
}  // namespace xmlpp
