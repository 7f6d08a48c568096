// Matching compiled paths against the element tree.
//
// The walk is depth first over the steps, with an explicit stack, so that
// neither the depth of the tree nor the length of the path costs stack.
// Every step remembers the places it has considered and skips them when they
// come again (through "..", "//" or groups): each node is tested at most once
// per step, which keeps "//a//b" linear.
#include <sstream>
#include <unordered_map>
#include <unordered_set>

#include "xmlpp/Document.h"
#include "xmlpp/Element.h"
#include "xmlpp/Exception.h"
#include "xmlpp/xpath.h"

namespace xmlpp {
namespace xpath {

namespace {

template <class Printable>
std::string printed(const Printable& item) {
  std::ostringstream os;
  item.print(os);
  return os.str();
}

bool nameMatches(const Element& element, const std::string& name, const PrefixNsMap& namespaces) {
  const size_t colon = name.find(':');
  if (colon != std::string::npos) {
    PrefixNsMap::const_iterator uri = namespaces.find(name.substr(0, colon));
    if (uri != namespaces.end()) {
      return element.get_name() == name.substr(colon + 1) && element.get_namespace_uri() == uri->second;
    }
  }
  return element.has_name(name);
}

// A prefix from the map is replaced by the one the document uses for its URI.
const Attribute* findAttribute(const Element& element, const std::string& name, const PrefixNsMap& namespaces) {
  const size_t colon = name.find(':');
  if (colon == std::string::npos) return element.get_attribute(name);
  PrefixNsMap::const_iterator uri = namespaces.find(name.substr(0, colon));
  if (uri == namespaces.end()) return element.get_attribute(name);
  std::string prefix;
  if (!element.lookup_namespace_prefix(uri->second, prefix)) return nullptr;
  return element.get_attribute(name.substr(colon + 1), prefix);
}

// A place the walk has reached: an element, or (document) the document level
// above the top element `element`.
struct Place {
  const Element* element;
  bool document;
  bool operator==(const Place& other) const { return element == other.element && document == other.document; }
};

struct PlaceHash {
  size_t operator()(const Place& p) const { return std::hash<const Element*>()(p.element) ^ p.document; }
};

typedef std::unordered_set<Place, PlaceHash> PlaceSet;

enum class Selection { SELF, CHILDREN, DESCENDANTS, SELF_AND_DESCENDANTS, PARENT, DOCUMENT };

// A step whose test is about the element reached (".", "@a", text(), or no
// test at all) takes that element itself rather than its children.
Selection selectionFor(const Path& step, WHERE where) {
  const Node* test = step.node();
  if (test && test->kind() == Node::Kind::ROOT) return Selection::DOCUMENT;
  const bool self = !test || test->looks_at_self();
  switch (where) {
    case WHERE::SELF:
      return Selection::SELF;
    case WHERE::CHILDREN:
      return self ? Selection::SELF : Selection::CHILDREN;
    case WHERE::DESCENDANTS:
      return self && test ? Selection::SELF_AND_DESCENDANTS : Selection::DESCENDANTS;
    case WHERE::PARENT:
      break;
  }
  return Selection::PARENT;
}

WHERE whereAfter(Path::Link link) {
  switch (link) {
    case Path::Link::DESCENDANT:
      return WHERE::DESCENDANTS;
    case Path::Link::PARENT:
      return WHERE::PARENT;
    default:
      return WHERE::CHILDREN;
  }
}

const Element* topOf(const Element* element) {
  while (element->get_parent()) element = element->get_parent();
  return element;
}

// The candidates of one step from one place, in document order, produced
// lazily so that find_first stops early.
class Cursor {
 public:
  Cursor(Selection selection, const Place& from, PlaceSet& seen)
      : m_pSeen(&seen),
        m_bDescend(selection == Selection::DESCENDANTS || selection == Selection::SELF_AND_DESCENDANTS) {
    switch (selection) {
      case Selection::SELF:
      case Selection::SELF_AND_DESCENDANTS:
        m_Pending.push_back(from);
        break;
      case Selection::CHILDREN:
      case Selection::DESCENDANTS:
        enter(from);
        break;
      case Selection::PARENT:
        pushParent(from);
        break;
      case Selection::DOCUMENT:
        m_Pending.push_back(Place{topOf(from.element), true});
        break;
    }
  }

  // A place seen before by this step is skipped; in a descendant walk so is
  // its subtree, which the walk that saw it went through completely.
  bool next(Place& place) {
    while (take(place)) {
      if (!m_pSeen->insert(place).second) continue;
      if (m_bDescend) enter(place);
      return true;
    }
    return false;
  }

 private:
  struct Level {
    const Element* parent;
    size_t next;  // index of the next child to offer
  };

  bool take(Place& place) {
    if (!m_Pending.empty()) {
      place = m_Pending.back();
      m_Pending.pop_back();
      return true;
    }
    while (!m_Levels.empty()) {
      Level& level = m_Levels.back();
      if (level.next == level.parent->get_children_count()) {
        m_Levels.pop_back();
        continue;
      }
      const Element* child = dynamic_cast<const Element*>((*level.parent)[level.next++]);
      if (!child) continue;
      place = Place{child, false};
      return true;
    }
    return false;
  }

  // Offers the children of `place` next; the only child of the document level
  // is the top element.
  void enter(const Place& place) {
    if (place.document) {
      m_Pending.push_back(Place{place.element, false});
    } else {
      m_Levels.push_back(Level{place.element, 0});
    }
  }

  // The parent of the top element is the document level.
  void pushParent(const Place& place) {
    if (place.document) return;
    const Element* parent = place.element->get_parent();
    m_Pending.push_back(parent ? Place{parent, false} : Place{place.element, true});
  }

  PlaceSet* m_pSeen;
  bool m_bDescend;
  std::vector<Place> m_Pending;  // single places offered first, next last
  std::vector<Level> m_Levels;   // the open levels of a walk over children
};

// A condition is asked about the same element again and again when paths
// nest: "//*[//*[...]]" walks the whole tree for every element its step
// tests, and each level multiplies the walks. The outermost match remembers
// every condition's answer per element (per document for a condition that
// starts at the document), so nesting adds to the cost instead of multiplying
// it. The answers stand only while that match runs: the document cannot
// change under it, but may change before the next one.
class Answers {
 public:
  class Scope;

  static Answers& current() { return *s_pCurrent; }

  // Only conditions that walk (paths and groups) are remembered: a test on
  // the element itself costs less than looking its answer up.
  bool holds(const Condition& condition, const Element& element, const PrefixNsMap& namespaces) {
    const Path* path = dynamic_cast<const Path*>(&condition);
    if (!path) return ask(condition, element, namespaces);
    const Key key{path, startsAtDocument(*path) ? topOf(&element) : &element};
    auto known = m_Known.find(key);
    if (known != m_Known.end()) return known->second;
    const bool answer = ask(condition, element, namespaces);
    m_Known.emplace(key, answer);
    return answer;
  }

 private:
  struct Key {
    const Path* condition;
    const Element* element;
    bool operator==(const Key& other) const { return condition == other.condition && element == other.element; }
  };
  struct KeyHash {
    size_t operator()(const Key& k) const {
      return std::hash<const void*>()(k.condition) * 31 + std::hash<const void*>()(k.element);
    }
  };

  static bool ask(const Condition& condition, const Element& element, const PrefixNsMap& namespaces) {
    NodeSet scratch;
    return condition.does_match(element, namespaces, WHERE::CHILDREN, HOWMANY::FIRST, scratch);
  }

  static bool startsAtDocument(const Path& path) {
    return path.node() && path.node()->kind() == Node::Kind::ROOT;
  }

  static thread_local Answers* s_pCurrent;
  std::unordered_map<Key, bool, KeyHash> m_Known;
};

thread_local Answers* Answers::s_pCurrent = nullptr;

// Sets up the answers for the outermost match on this thread; nested matches
// use those.
class Answers::Scope {
 public:
  Scope() : m_bOutermost(!s_pCurrent) {
    if (m_bOutermost) s_pCurrent = &m_Answers;
  }
  ~Scope() {
    if (m_bOutermost) s_pCurrent = nullptr;
  }
  Scope(const Scope&) = delete;
  Scope& operator=(const Scope&) = delete;

 private:
  bool m_bOutermost;
  Answers m_Answers;
};

class Matcher {
 public:
  Matcher(const PrefixNsMap& namespaces, HOWMANY howMany, NodeSet& result, const Document* document)
      : m_Namespaces(namespaces), m_HowMany(howMany), m_Result(result), m_pDocument(document) {}

  bool run(const Path& first, const Place& start, WHERE where) {
    struct Frame {
      const Path* step;
      Cursor cursor;
    };
    std::vector<Frame> stack;
    stack.push_back(Frame{&first, Cursor(selectionFor(first, where), start, m_Seen[&first])});
    bool matched = false;
    while (!stack.empty()) {
      Place place;
      if (!stack.back().cursor.next(place)) {
        stack.pop_back();
        continue;
      }
      const Path& step = *stack.back().step;
      if (!passes(step, place)) continue;
      const Path* next = step.next();
      if (!next) {
        matched = true;
        emit(place);
        if (m_HowMany == HOWMANY::FIRST) return true;
        continue;
      }
      stack.push_back(Frame{next, Cursor(selectionFor(*next, whereAfter(step.link())), place, m_Seen[next])});
    }
    return matched;
  }

 private:
  // The document level passes only steps that test nothing about an element.
  bool passes(const Path& step, const Place& place) const {
    if (!place.document) return step.passes(*place.element, m_Namespaces, step.conditions().size());
    const Node* test = step.node();
    return step.conditions().empty() && (!test || test->kind() == Node::Kind::ROOT || test->kind() == Node::Kind::SELF);
  }

  // The document level is a result only when the walk began at a document.
  void emit(const Place& place) {
    if (!place.document) {
      m_Result.push_back(const_cast<Element*>(place.element));
    } else if (m_pDocument) {
      m_Result.push_back(const_cast<Document*>(m_pDocument));
    }
  }

  const PrefixNsMap& m_Namespaces;
  HOWMANY m_HowMany;
  NodeSet& m_Result;
  const Document* m_pDocument;
  std::unordered_map<const Path*, PlaceSet> m_Seen;
};

bool matchSide(const Condition& side, const MatchStart& start, const PrefixNsMap& namespaces, WHERE where,
               HOWMANY howMany, NodeSet& result) {
  if (const Path* path = dynamic_cast<const Path*>(&side))
    return path->match(start, namespaces, where, howMany, result);
  return start.element && side.does_match(*start.element, namespaces, where, howMany, result);
}

// Stable removal of repeated nodes.
NodeSet unique(const NodeSet& nodes, HOWMANY howMany) {
  NodeSet result;
  std::unordered_set<const xmlpp::Node*> seen;
  for (xmlpp::Node* node : nodes) {
    if (!seen.insert(node).second) continue;
    result.push_back(node);
    if (howMany == HOWMANY::FIRST) break;
  }
  return result;
}

}  // namespace

// --- tests

bool Node::does_match(const Element& element, const PrefixNsMap& namespaces) const {
  switch (m_Kind) {
    case Kind::ROOT:
      return false;
    case Kind::SELF:
    case Kind::ANY:
      return true;
    case Kind::NAME:
      return nameMatches(element, m_Name, namespaces);
    default:
      break;
  }
  throw Exception("xpath::Node::does_match: bad-formed node with attribute or text (" + printed(*this) + ")");
}

bool Predicate::compare(const std::string& actual, bool present) const {
  switch (m_Comparison) {
    case Comparison::EQUAL:
      return present && actual == m_Value;
    case Comparison::NOT_EQUAL:
      return present && actual != m_Value;
    default:
      return present;
  }
}

bool Predicate::does_match(const Element& element, const PrefixNsMap& namespaces) const {
  switch (m_Operand) {
    case Operand::NAME_FUNCTION:
      return compare(element.get_qualified_name(), true);
    case Operand::ELEMENT:
      return nameMatches(element, name(), namespaces) && compare(element.get_text(), true);
    case Operand::ATTRIBUTE: {
      const Attribute* attribute = findAttribute(element, name(), namespaces);
      return compare(attribute ? attribute->get_value() : std::string(), attribute != nullptr);
    }
    case Operand::TEXT:
      if (m_Comparison == Comparison::NONE) return element.has_child_text();
      return compare(element.get_text(), true);
    default:
      break;
  }
  throw Exception("xpath::Predicate::does_match: bad-formed predicate with root, * or node (" + printed(*this) + ")");
}

bool Predicate::does_match(const Element& element, const PrefixNsMap& namespaces, WHERE, HOWMANY, NodeSet&) const {
  if (m_Operand == Operand::ELEMENT) {
    throw Exception("xpath::Predicate::does_match: bad-formed predicate with root, * or node (" + printed(*this) + ")");
  }
  return does_match(element, namespaces);
}

bool Position::counts(const Element& sibling, const PrefixNsMap& namespaces) const {
  return !m_pStep || m_pStep->passes(sibling, namespaces, m_Preceding);
}

bool Position::does_match(const Element& element, const PrefixNsMap& namespaces, WHERE, HOWMANY, NodeSet&) const {
  const Element* parent = element.get_parent();
  if (!parent) return m_Index <= 0;  // a top-level element has no sibling elements
  // Siblings are usually tested in order: look from just after the last one.
  const size_t count = parent->get_children_count();
  size_t self = m_pLastParent == parent && m_LastIndex + 1 < count ? m_LastIndex + 1 : 0;
  for (size_t tried = 0; (*parent)[self] != &element && tried < count; ++tried) self = (self + 1) % count;
  m_pLastParent = parent;
  m_LastIndex = self;
  auto countsAt = [&](size_t i) {
    const Element* sibling = dynamic_cast<const Element*>((*parent)[i]);
    return sibling && counts(*sibling, namespaces);
  };
  if (m_Index < 0) {
    for (size_t i = self + 1; i < count; ++i) {
      if (countsAt(i)) return false;
    }
    return true;
  }
  const size_t wanted = static_cast<size_t>(m_Index);
  size_t before = 0;
  for (size_t i = self; i-- > 0;) {
    if (countsAt(i) && ++before > wanted) return false;
  }
  return before == wanted;
}

// --- paths

bool Path::passes(const Element& element, const PrefixNsMap& namespaces, size_t count) const {
  if (m_pNode && !m_pNode->does_match(element, namespaces)) return false;
  Answers::Scope scope;
  for (size_t i = 0; i < count && i < m_Conditions.size(); ++i) {
    if (!m_Conditions[i]) throw Exception("xpath::Path::does_match: empty condition " + printed(*this));
    if (!Answers::current().holds(*m_Conditions[i], element, namespaces)) return false;
  }
  return true;
}

bool Path::does_match(const Element& element, const PrefixNsMap& namespaces, WHERE where, HOWMANY howMany,
                      NodeSet& result) const {
  return match(MatchStart{&element, nullptr}, namespaces, where, howMany, result);
}

bool Path::does_match(const Document& document, const PrefixNsMap& namespaces, WHERE where, HOWMANY howMany,
                      NodeSet& result) const {
  return match(MatchStart{document.get_root_node(), &document}, namespaces, where, howMany, result);
}

bool Path::match(const MatchStart& start, const PrefixNsMap& namespaces, WHERE where, HOWMANY howMany,
                 NodeSet& result) const {
  if (!start.element) return false;
  Answers::Scope answers;
  return Matcher(namespaces, howMany, result, start.document).run(*this, Place{start.element, false}, where);
}

bool Group::match(const MatchStart& start, const PrefixNsMap& namespaces, WHERE where, HOWMANY howMany,
                  NodeSet& result) const {
  if (!m_pFirst || !m_pSecond) throw Exception("xpath::Path::does_match: empty condition " + printed(*this));
  Answers::Scope answers;
  if (m_Op == Op::OR) {
    const bool first = matchSide(*m_pFirst, start, namespaces, where, howMany, result);
    if (first && howMany == HOWMANY::FIRST) return true;
    return matchSide(*m_pSecond, start, namespaces, where, howMany, result) || first;
  }
  NodeSet both;
  if (!matchSide(*m_pFirst, start, namespaces, where, howMany, both)) return false;
  if (!matchSide(*m_pSecond, start, namespaces, where, howMany, both)) return false;
  result.insert(result.end(), both.begin(), both.end());
  return true;
}

NodeSet select(const std::string& path, const Element& start, const PrefixNsMap& namespaces, HOWMANY howMany) {
  NodeSet found;
  Path::buildXPath(path)->does_match(start, namespaces, WHERE::CHILDREN, howMany, found);
  return unique(found, howMany);
}

NodeSet select(const std::string& path, const Document& start, const PrefixNsMap& namespaces, HOWMANY howMany) {
  NodeSet found;
  Path::buildXPath(path)->does_match(start, namespaces, WHERE::CHILDREN, howMany, found);
  return unique(found, howMany);
}

}  // namespace xpath
}  // namespace xmlpp
