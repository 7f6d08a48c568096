// Path::buildXPath: compiles path text into a chain of steps.
//
// Grammar (tokens as XPathTokenizer.h names them):
//   expression  := conjunction ( OR conjunction )*
//   conjunction := term ( AND term )*
//   term        := PAREN | position | name() comparison | steps [ comparison ]
//   position    := first() | last() | a positive number       (in predicates)
//   comparison  := ( EQUAL | NOT_EQUAL ) LITERAL                (in predicates)
//   steps       := [ "/" | "//" ] step ( ( "/" | "//" | "/." | "/.." ) step )*
//   step        := ( NAME | "*" | "." | ".." | @name | text() ) BRACKET*
// Chains of one operator are built as balanced trees so that long "or" lists
// stay shallow.
#include <climits>

#include "xmlpp/Exception.h"
#include "xmlpp/XPathTokenizer.h"
#include "xmlpp/xpath.h"

namespace xmlpp {
namespace xpath {

namespace {

const int kMaxNesting = 256;

enum class Mode { TOP, PREDICATE, GROUP };

std::string trimmed(const std::string& text) {
  const size_t first = text.find_first_not_of(" \t\n\r");
  if (first == std::string::npos) return std::string();
  return text.substr(first, text.find_last_not_of(" \t\n\r") - first + 1);
}

// 1-based position text to a 0-based index; -1 when it is not a valid position.
int positionIndex(const std::string& text) {
  if (text.empty() || text.size() > 10 || text.find_first_not_of("0123456789") != std::string::npos) return -1;
  const long long value = std::stoll(text);
  return value >= 1 && value <= INT_MAX ? static_cast<int>(value - 1) : -1;
}

void bindPositions(Condition* condition, const Path* step, size_t index) {
  if (Position* position = dynamic_cast<Position*>(condition)) {
    position->bind(step, index);
  } else if (Group* group = dynamic_cast<Group*>(condition)) {
    bindPositions(group->first(), step, index);
    bindPositions(group->second(), step, index);
  }
}

bool isEmpty(const Path& step) { return !step.node() && step.conditions().empty(); }

class Compiler {
 public:
  Compiler(const std::string& text, Mode mode, int depth)
      : m_Text(text),
        m_Mode(mode),
        m_bInPredicate(mode == Mode::PREDICATE),
        m_Depth(depth),
        m_Tokens(Tokenizer::tokenize(text)),
        m_Pos(0) {}
  // Parentheses inside a predicate stay inside it.
  Compiler(const std::string& text, const Compiler& outer)
      : m_Text(text),
        m_Mode(Mode::GROUP),
        m_bInPredicate(outer.m_bInPredicate),
        m_Depth(outer.m_Depth + 1),
        m_Tokens(Tokenizer::tokenize(text)),
        m_Pos(0) {}

  std::unique_ptr<Condition> compile() { return expression(); }

 private:
  typedef std::vector<std::unique_ptr<Condition>> Conditions;

  const Token& peek() const { return m_Tokens[m_Pos]; }
  const Token& take() { return m_Tokens[m_Pos++]; }
  bool accept(Token::Type type) {
    if (peek().type != type) return false;
    ++m_Pos;
    return true;
  }
  bool atTermEnd() const {
    const Token::Type t = peek().type;
    return t == Token::END || t == Token::AND || t == Token::OR;
  }

  std::unique_ptr<Condition> expression();
  std::unique_ptr<Condition> joined(Token::Type op);
  std::unique_ptr<Condition> balanced(Conditions& terms, size_t begin, size_t end, Group::Op op);
  std::unique_ptr<Condition> term();
  std::unique_ptr<Condition> group();
  std::unique_ptr<Condition> position();
  std::unique_ptr<Condition> nameFunction();
  std::unique_ptr<Condition> pathTerm();
  std::unique_ptr<Path> steps();
  void comparison(Predicate::Comparison& comparison, std::string& value);
  void compare(Path& step, Predicate::Comparison comparison, const std::string& value);
  void setTest(Path& step, bool afterParent, std::unique_ptr<Node> test);
  void addCondition(Path& step, bool afterParent, const Token& bracket);

  [[noreturn]] void badPredicate() const {
    throw Exception("Path::buildPath: " + m_Text + " contains a bad formed predicate");
  }
  [[noreturn]] void badGroup(const std::string& group) const {
    throw Exception("Path::buildPath: " + m_Text + ", the group (" + group + ") is not valid");
  }
  // A dangling "and" or "or".
  [[noreturn]] void badJoin() const {
    if (m_Mode == Mode::PREDICATE) badPredicate();
    badGroup(m_Text);
  }

  const std::string& m_Text;
  Mode m_Mode;
  bool m_bInPredicate;
  int m_Depth;
  std::vector<Token> m_Tokens;
  size_t m_Pos;
};

std::unique_ptr<Condition> Compiler::expression() { return joined(Token::OR); }

// Terms joined by "and", or such conjunctions joined by "or".
std::unique_ptr<Condition> Compiler::joined(Token::Type op) {
  Conditions parts;
  do {
    parts.push_back(op == Token::OR ? joined(Token::AND) : term());
  } while (accept(op));
  return balanced(parts, 0, parts.size(), op == Token::OR ? Group::Op::OR : Group::Op::AND);
}

std::unique_ptr<Condition> Compiler::balanced(Conditions& terms, size_t begin, size_t end, Group::Op op) {
  if (end - begin == 1) return std::move(terms[begin]);
  const size_t middle = begin + (end - begin) / 2;
  std::unique_ptr<Condition> first = balanced(terms, begin, middle, op);
  return std::unique_ptr<Condition>(new Group(std::move(first), op, balanced(terms, middle, end, op)));
}

std::unique_ptr<Condition> Compiler::term() {
  const Token& t = peek();
  if (atTermEnd()) badJoin();
  if (t.type == Token::PAREN) return group();
  if (t.type == Token::FUNCTION && (t.text == "first" || t.text == "last")) return position();
  if (t.type == Token::FUNCTION && t.text == "name") return nameFunction();
  if (t.type == Token::NAME && m_bInPredicate && positionIndex(t.text) >= 0) return position();
  return pathTerm();
}

std::unique_ptr<Condition> Compiler::group() {
  const Token& t = take();
  if (m_Depth >= kMaxNesting || trimmed(t.text).empty()) badGroup(t.text);
  std::unique_ptr<Condition> inner = Compiler(t.text, *this).compile();
  if (!atTermEnd()) badGroup(t.text);
  return inner;
}

std::unique_ptr<Condition> Compiler::position() {
  const Token& t = take();
  if (!m_bInPredicate || !atTermEnd()) badPredicate();
  if (t.type == Token::NAME) return std::unique_ptr<Condition>(new Position(positionIndex(t.text)));
  return std::unique_ptr<Condition>(new Position(t.text == "first" ? 0 : -1));
}

std::unique_ptr<Condition> Compiler::nameFunction() {
  take();
  if (peek().type != Token::EQUAL && peek().type != Token::NOT_EQUAL) badPredicate();
  Predicate::Comparison op;
  std::string value;
  comparison(op, value);
  if (!atTermEnd()) badPredicate();
  return std::unique_ptr<Condition>(new Predicate(Predicate::Operand::NAME_FUNCTION, std::string(), op, value));
}

std::unique_ptr<Condition> Compiler::pathTerm() {
  std::unique_ptr<Path> path = steps();
  if (!path) badPredicate();
  if (peek().type == Token::EQUAL || peek().type == Token::NOT_EQUAL) {
    Predicate::Comparison op;
    std::string value;
    comparison(op, value);
    Path* last = path.get();
    while (last->next()) last = const_cast<Path*>(last->next());
    compare(*last, op, value);
  }
  if (!atTermEnd()) badPredicate();
  return std::unique_ptr<Condition>(path.release());
}

void Compiler::comparison(Predicate::Comparison& comparison, std::string& value) {
  comparison = take().type == Token::EQUAL ? Predicate::Comparison::EQUAL : Predicate::Comparison::NOT_EQUAL;
  if (peek().type != Token::LITERAL) badPredicate();
  if (!m_bInPredicate) throw Exception("Path::buildPath: " + m_Text + " contains a quote outside a predicate");
  value = take().text;
}

// Turns the test of `step` into the operand of a comparison.
void Compiler::compare(Path& step, Predicate::Comparison comparison, const std::string& value) {
  const Node* test = step.node();
  if (!test) badPredicate();
  if (const Predicate* p = dynamic_cast<const Predicate*>(test)) {
    if (p->comparison() != Predicate::Comparison::NONE) badPredicate();
    const_cast<Predicate*>(p)->set_comparison(comparison, value);
    return;
  }
  Predicate::Operand operand;
  switch (test->kind()) {
    case Node::Kind::NAME:
      operand = Predicate::Operand::ELEMENT;
      break;
    case Node::Kind::ATTRIBUTE:
      operand = Predicate::Operand::ATTRIBUTE;
      break;
    case Node::Kind::TEXT:
    case Node::Kind::SELF:
      operand = Predicate::Operand::TEXT;
      break;
    default:
      badPredicate();
  }
  step.set_node(std::unique_ptr<Node>(new Predicate(operand, test->name(), comparison, value)));
}

std::unique_ptr<Path> Compiler::steps() {
  std::unique_ptr<Path> head(new Path);
  Path* current = head.get();
  Path* previous = nullptr;
  bool afterParent = false;  // `current` is the element ".." reached: it takes conditions only
  bool consumed = false;
  // Links `current` to a new step; an empty step may only be linked when `allowEmpty`.
  auto advance = [&](Path::Link link, bool allowEmpty) {
    if (!allowEmpty && isEmpty(*current) && !afterParent) badPredicate();
    previous = current;
    current = current->set_next(link, std::unique_ptr<Path>(new Path));
    afterParent = link == Path::Link::PARENT;
  };
  auto startAtRoot = [&]() {
    if (!consumed) current->set_node(std::unique_ptr<Node>(new Node(Node::Kind::ROOT)));
  };
  auto attributeOrText = [&](Node::Kind kind, Predicate::Operand operand, const std::string& name) {
    if (m_bInPredicate) return std::unique_ptr<Node>(new Predicate(operand, name));
    return std::unique_ptr<Node>(new Node(kind, name));
  };
  for (;; consumed = true) {
    const Token& t = peek();
    switch (t.type) {
      case Token::SLASH:
      case Token::DOUBLE_SLASH:
        take();
        startAtRoot();
        advance(t.type == Token::SLASH ? Path::Link::CHILD : Path::Link::DESCENDANT, false);
        continue;
      case Token::SELF:
        take();
        if (t.slash) {
          startAtRoot();
          advance(Path::Link::CHILD, false);
        }
        setTest(*current, afterParent, std::unique_ptr<Node>(new Node(Node::Kind::SELF)));
        continue;
      case Token::PARENT:
        take();
        if (t.slash) startAtRoot();
        if (!t.slash && (!isEmpty(*current) || afterParent)) badPredicate();
        advance(Path::Link::PARENT, !t.slash);
        continue;
      case Token::NAME:
        setTest(*current, afterParent, std::unique_ptr<Node>(new Node(Node::Kind::NAME, take().text)));
        continue;
      case Token::STAR:
        take();
        setTest(*current, afterParent, std::unique_ptr<Node>(new Node(Node::Kind::ANY)));
        continue;
      case Token::ATTRIBUTE:
        setTest(*current, afterParent,
                attributeOrText(Node::Kind::ATTRIBUTE, Predicate::Operand::ATTRIBUTE, take().text));
        continue;
      case Token::FUNCTION:
        if (t.text != "text" && t.text != "first" && t.text != "last" && t.text != "name") {
          throw Exception("Path::buildPath: " + m_Text + ", unknown function " + t.text);
        }
        if (t.text != "text") badPredicate();
        take();
        setTest(*current, afterParent, attributeOrText(Node::Kind::TEXT, Predicate::Operand::TEXT, std::string()));
        continue;
      case Token::BRACKET:
        addCondition(*current, afterParent, take());
        continue;
      case Token::LITERAL:
        if (!m_bInPredicate) throw Exception("Path::buildPath: " + m_Text + " contains a quote outside a predicate");
        badPredicate();
      case Token::PAREN:
        badGroup(t.text);
      default:  // the end of the path: END, AND, OR, EQUAL, NOT_EQUAL
        break;
    }
    break;
  }
  if (!consumed) return nullptr;
  // A trailing slash ends the path where it stands.
  if (previous && isEmpty(*current) && !afterParent) previous->set_next(Path::Link::NONE, nullptr);
  return head;
}

void Compiler::setTest(Path& step, bool afterParent, std::unique_ptr<Node> test) {
  if (step.node() || afterParent || !step.conditions().empty()) badPredicate();
  step.set_node(std::move(test));
}

void Compiler::addCondition(Path& step, bool afterParent, const Token& bracket) {
  const bool placed = afterParent || (step.node() && step.node()->kind() != Node::Kind::ROOT);
  if (!placed) {
    const std::string context = trimmed(m_Text.substr(0, bracket.offset));
    throw Exception("Path::buildPath: " + m_Text + ", the condition [" + bracket.text + "] after " +
                    (context.empty() ? "the beginning" : context) + " is not valid");
  }
  if (m_Depth >= kMaxNesting || trimmed(bracket.text).empty()) badPredicate();
  std::unique_ptr<Condition> condition = Compiler(bracket.text, Mode::PREDICATE, m_Depth + 1).compile();
  Condition::simplify_in_place(condition);
  bindPositions(condition.get(), &step, step.conditions().size());
  step.add_condition(std::move(condition));
}

}  // namespace

std::unique_ptr<Path> Path::buildXPath(const std::string& text, bool inPredicate) {
  std::unique_ptr<Condition> compiled = Compiler(text, inPredicate ? Mode::PREDICATE : Mode::TOP, 0).compile();
  if (Path* path = dynamic_cast<Path*>(compiled.get())) {
    compiled.release();
    return std::unique_ptr<Path>(path);
  }
  // A lone test or position: a step on the element itself that holds it.
  std::unique_ptr<Path> step(new Path);
  bindPositions(compiled.get(), step.get(), 0);
  step->add_condition(std::move(compiled));
  return step;
}

}  // namespace xpath
}  // namespace xmlpp
