#pragma once
// Path queries: a small subset of XPath, compiled from text into a chain of
// steps and matched against the element tree.
//
// The language:
//   steps      "a/b" (children), "a//b" (descendants), "." (the element
//              itself), ".." (its parent), "*" (any element); a leading "/"
//              or "//" starts at the document.
//   names      a plain name matches the local name whatever the element's
//              namespace; "p:name" matches the local name in the namespace
//              that the prefix map gives for p, or, when p is not in the map,
//              the qualified name "p:name".
//   conditions in square brackets after a step, all of which must hold:
//              @attr            the attribute is present
//              @attr='v'        present and equal ("!=": present and different)
//              text()='v'       the element's text (its direct text and CDATA
//                               children); text() alone: it has a text child
//              .='v'            the same as text()='v'
//              name()='v'       the element's qualified name
//              child='v'        a child element of that name whose text compares
//              rel/path         something matches the relative path (a final
//                               step may be compared as above: a/@b='v')
//              first(), last()  the first or last sibling that passes the
//                               step's test and the conditions before this one
//              n                a positive number: the n-th such sibling
//              c1 and c2, c1 or c2, c1 | c2, (c)   "and" binds tighter than "or"
//   literals   in single or double quotes; compared exactly.
//   groups     at the top, "p1 | p2" (or "and") joins whole paths: the union
//              of their matches ("and": only when both match).
// Matching walks the tree without recursion, considers every node at most once
// per step, answers each path condition at most once per element (so nested
// conditions do not multiply the walks), and returns each node once, in the
// order found.
//
// Errors (Exception) name the text being compiled: inside brackets or
// parentheses that is their content. A condition on a step without a test is
// reported with the text before its bracket as context ("the beginning" when
// there is none); a dangling "and"/"or" outside brackets makes the group
// invalid; any other ill-formed order of tokens, and brackets nested more than
// 256 deep, count as a bad formed predicate (parentheses: an invalid group).
// Attribute and text tests outside brackets compile but fail when matched.
#include <iosfwd>
#include <memory>
#include <string>
#include <vector>

#include "xmlpp/Node.h"

namespace xmlpp {

class Document;
class Element;

namespace xpath {

typedef xmlpp::Node::PrefixNsMap PrefixNsMap;
typedef xmlpp::Node::NodeSet NodeSet;

// Where a step looks from the element it is handed.
enum class WHERE { SELF, CHILDREN, DESCENDANTS, PARENT };
// Stop at the first match, or collect all.
enum class HOWMANY { FIRST, ALL };

// A step's test.
class Node {
 public:
  enum class Kind { ROOT, SELF, NAME, ANY, ATTRIBUTE, TEXT };

  explicit Node(Kind kind, const std::string& name = std::string());
  virtual ~Node();

  Kind kind() const { return m_Kind; }
  const std::string& name() const { return m_Name; }

  // Whether the test is about the element reached itself (".", attributes,
  // text) rather than about the elements below it.
  virtual bool looks_at_self() const;
  // The test on one element; attribute and text kinds throw Exception, as
  // they are only meaningful inside a condition.
  virtual bool does_match(const Element& element, const PrefixNsMap& namespaces) const;
  virtual void print(std::ostream& os) const;

 private:
  Kind m_Kind;
  std::string m_Name;
};

// One bracketed condition of a step.
class Condition {
 public:
  // Whether the condition holds for `element`; a path condition looks in the
  // `where` direction and adds what it finds to `result`.
  virtual bool does_match(const Element& element, const PrefixNsMap& namespaces, WHERE where, HOWMANY howMany,
                          NodeSet& result) const = 0;
  virtual void print(std::ostream& os) const = 0;
  // An equivalent condition: this one, or a part released from it (the caller
  // then deletes this one). A one-step path holding only an attribute, text or
  // name() test becomes that test.
  virtual Condition* simplify();
  virtual ~Condition();

  // Replaces `condition` by its simplified form.
  static void simplify_in_place(std::unique_ptr<Condition>& condition);
};

class Path;

// The index-th sibling (0-based; negative: the last) that passes the bound
// step's test and the conditions listed before this one.
class Position : public Condition {
 public:
  explicit Position(int index);

  int index() const { return m_Index; }
  // Without a binding every sibling element counts.
  void bind(const Path* step, size_t preceding);

  bool does_match(const Element& element, const PrefixNsMap& namespaces, WHERE where, HOWMANY howMany,
                  NodeSet& result) const override;
  void print(std::ostream& os) const override;

 private:
  bool counts(const Element& sibling, const PrefixNsMap& namespaces) const;

  int m_Index;
  const Path* m_pStep;
  size_t m_Preceding;
  // Where the last element tested sat among its siblings.
  mutable const Element* m_pLastParent;
  mutable size_t m_LastIndex;
};

// A test with an optional comparison. As a step test (a Node) it applies to the
// element reached; as a condition to the element itself, where an element-name
// operand is an error (such tests are compiled as one-step paths).
class Predicate : public Node, public Condition {
 public:
  enum class Operand { NAME_FUNCTION, ELEMENT, ATTRIBUTE, TEXT, ROOT, SELF, ANY };
  enum class Comparison { NONE, EQUAL, NOT_EQUAL };

  Predicate(Operand operand, const std::string& name, Comparison comparison = Comparison::NONE,
            const std::string& value = std::string());

  Operand operand() const { return m_Operand; }
  Comparison comparison() const { return m_Comparison; }
  const std::string& value() const { return m_Value; }
  void set_comparison(Comparison comparison, const std::string& value);

  bool looks_at_self() const override;
  bool does_match(const Element& element, const PrefixNsMap& namespaces) const override;
  bool does_match(const Element& element, const PrefixNsMap& namespaces, WHERE where, HOWMANY howMany,
                  NodeSet& result) const override;
  void print(std::ostream& os) const override;

 private:
  bool compare(const std::string& actual, bool present) const;

  Operand m_Operand;
  Comparison m_Comparison;
  std::string m_Value;
};

// Where a match begins: an element, or a document (whose root element is then
// the start; `element` is null when the document has none).
struct MatchStart {
  const Element* element;
  const Document* document;
};

// One step: an optional test, its conditions, and the link to the next step.
class Path : public Condition {
 public:
  enum class Link { NONE, CHILD, DESCENDANT, PARENT };

  Path();
  ~Path() override;

  // Compiles `text`; throws Exception on malformed text. With `inPredicate`
  // the text is compiled as the content of square brackets.
  static std::unique_ptr<Path> buildXPath(const std::string& text, bool inPredicate = false);

  const Node* node() const { return m_pNode.get(); }
  void set_node(std::unique_ptr<Node> node) { m_pNode = std::move(node); }
  const std::vector<std::unique_ptr<Condition>>& conditions() const { return m_Conditions; }
  void add_condition(std::unique_ptr<Condition> condition);
  Link link() const { return m_Link; }
  const Path* next() const { return m_pNext.get(); }
  // Links `next` after this step (Link::NONE with null ends the path here).
  Path* set_next(Link link, std::unique_ptr<Path> next);

  // Whether `element` passes the test and the first `count` conditions.
  bool passes(const Element& element, const PrefixNsMap& namespaces, size_t count) const;

  bool does_match(const Element& element, const PrefixNsMap& namespaces, WHERE where, HOWMANY howMany,
                  NodeSet& result) const override;
  bool does_match(const Document& document, const PrefixNsMap& namespaces, WHERE where, HOWMANY howMany,
                  NodeSet& result) const;
  void print(std::ostream& os) const override;
  Condition* simplify() override;

  // Matching from a start; groups override it.
  virtual bool match(const MatchStart& start, const PrefixNsMap& namespaces, WHERE where, HOWMANY howMany,
                     NodeSet& result) const;

 private:
  std::unique_ptr<Node> m_pNode;
  std::vector<std::unique_ptr<Condition>> m_Conditions;
  Link m_Link;
  std::unique_ptr<Path> m_pNext;
};

// Two conditions joined by "and" or "or".
class Group : public Path {
 public:
  enum class Op { AND, OR };

  Group(std::unique_ptr<Condition> first, Op op, std::unique_ptr<Condition> second);

  Op op() const { return m_Op; }
  Condition* first() const { return m_pFirst.get(); }
  Condition* second() const { return m_pSecond.get(); }

  void print(std::ostream& os) const override;
  Condition* simplify() override;
  bool match(const MatchStart& start, const PrefixNsMap& namespaces, WHERE where, HOWMANY howMany,
             NodeSet& result) const override;

 private:
  std::unique_ptr<Condition> m_pFirst;
  Op m_Op;
  std::unique_ptr<Condition> m_pSecond;
};

std::ostream& operator<<(std::ostream& os, const Node& node);
std::ostream& operator<<(std::ostream& os, const Condition& condition);
std::ostream& operator<<(std::ostream& os, const Predicate& predicate);
std::ostream& operator<<(std::ostream& os, const Path& path);

// Compiles `path` and matches it from `start`; relative paths begin at the
// children of the element (of the root element for a document). Each node is
// returned once. With HOWMANY::FIRST at most one node is returned.
NodeSet select(const std::string& path, const Element& start, const PrefixNsMap& namespaces, HOWMANY howMany);
NodeSet select(const std::string& path, const Document& start, const PrefixNsMap& namespaces, HOWMANY howMany);

}  // namespace xpath
}  // namespace xmlpp
