#include "xmlpp/XPathTokenizer.h"

#include <cstring>

#include "xmlpp/Exception.h"

namespace xmlpp {
namespace xpath {

namespace {

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

// strchr also finds the terminator: a NUL in the text is a name character.
bool endsName(char c) { return isBlank(c) || (c != '\0' && std::strchr("()/[]|!=", c) != nullptr); }

bool isQuote(char c) { return c == '\'' || c == '"'; }

char closerOf(char open) {
  if (open == '[') return ']';
  if (open == '(') return ')';
  return open;
}

Exception unclosed(const std::string& text, size_t open) {
  return Exception("Path::getExpression exception: expression " + text.substr(open) + " not close by a '" +
                   closerOf(text[open]) + "'");
}

std::string readName(const std::string& text, size_t& pos) {
  const size_t start = pos;
  while (pos < text.size() && !endsName(text[pos])) ++pos;
  return text.substr(start, pos - start);
}

Token make(Token::Type type, size_t offset, const std::string& text = std::string(), bool slash = false) {
  return Token{type, text, offset, slash};
}

// "/", "//", "/." or "/.." at text[pos].
Token slashToken(const std::string& text, size_t& pos) {
  const size_t start = pos++;
  if (pos < text.size() && text[pos] == '/') {
    ++pos;
    return make(Token::DOUBLE_SLASH, start);
  }
  if (pos >= text.size() || text[pos] != '.') return make(Token::SLASH, start);
  ++pos;
  if (pos < text.size() && text[pos] == '.') {
    ++pos;
    return make(Token::PARENT, start, std::string(), true);
  }
  return make(Token::SELF, start, std::string(), true);
}

// A quoted, bracketed or parenthesised expression at text[pos]; the token holds its content.
Token expressionToken(Token::Type type, const std::string& text, size_t& pos) {
  const size_t start = pos;
  const size_t close = Tokenizer::getExpression(text, pos);
  pos = close + 1;
  return make(type, start, text.substr(start + 1, close - start - 1));
}

Token nameToken(const std::string& text, size_t& pos) {
  const size_t start = pos;
  const std::string name = readName(text, pos);
  if (name == "and" || name == "AND") return make(Token::AND, start);
  if (name == "or" || name == "OR") return make(Token::OR, start);
  if (pos >= text.size() || text[pos] != '(') return make(Token::NAME, start, name);
  if (pos + 1 >= text.size() || text[pos + 1] != ')') {
    throw Exception("Tokenizer::getToken: bad format, expect ')' after '(' in " + text);
  }
  pos += 2;
  return make(Token::FUNCTION, start, name);
}

}  // namespace

std::vector<Token> Tokenizer::tokenize(const std::string& text) {
  std::vector<Token> tokens;
  size_t pos = 0;
  do {
    tokens.push_back(getToken(text, pos));
  } while (tokens.back().type != Token::END);
  if (tokens.size() == 1) throw Exception("Tokenizer::tokenize:  can't build an Path with empty string");
  return tokens;
}

Token Tokenizer::getToken(const std::string& text, size_t& pos) {
  while (pos < text.size() && isBlank(text[pos])) ++pos;
  if (pos >= text.size()) return make(Token::END, pos);
  const size_t start = pos;
  const char c = text[pos];
  const char next = pos + 1 < text.size() ? text[pos + 1] : '\0';
  switch (c) {
    case '/':
      return slashToken(text, pos);
    case '.':
      pos += next == '.' ? 2 : 1;
      return make(next == '.' ? Token::PARENT : Token::SELF, start);
    case '@': {
      ++pos;
      const std::string name = readName(text, pos);
      if (name.empty()) throw Exception("Tokenizer::getToken: bad format, empty attribute in  " + text);
      return make(Token::ATTRIBUTE, start, name);
    }
    case '\'':
    case '"':
      return expressionToken(Token::LITERAL, text, pos);
    case '[':
      return expressionToken(Token::BRACKET, text, pos);
    case '(':
      return expressionToken(Token::PAREN, text, pos);
    case ')':
    case ']':
      throw Exception(std::string("Tokenizer::getToken: bad format, unexpected ") + c + " in " + text);
    case '!':
      if (next != '=') throw Exception("Tokenizer::getToken: bad format, operator ! not followed by '=' in  " + text);
      pos += 2;
      return make(Token::NOT_EQUAL, start);
    case '=':
      ++pos;
      return make(Token::EQUAL, start);
    case '|':
      ++pos;
      return make(Token::OR, start);
    case '*':
      ++pos;
      return make(Token::STAR, start);
    default:
      return nameToken(text, pos);
  }
}

size_t Tokenizer::getExpression(const std::string& text, size_t open) {
  const char opener = text[open];
  if (isQuote(opener)) {
    const size_t close = text.find(opener, open + 1);
    if (close == std::string::npos) throw unclosed(text, open);
    return close;
  }
  std::vector<size_t> pending(1, open);  // openers not yet closed, innermost last
  for (size_t i = open + 1; i < text.size(); ++i) {
    const char c = text[i];
    if (isQuote(c)) {
      const size_t close = text.find(c, i + 1);
      if (close == std::string::npos) break;
      i = close;
    } else if (c == '[' || c == '(') {
      pending.push_back(i);
    } else if (c == closerOf(text[pending.back()])) {
      pending.pop_back();
      if (pending.empty()) return i;
    }
  }
  throw unclosed(text, pending.back());
}

}  // namespace xpath
}  // namespace xmlpp
