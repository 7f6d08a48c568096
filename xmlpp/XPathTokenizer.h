#pragma once
// Internal: splits path text into the tokens that the path compiler reads.
#include <string>
#include <vector>

namespace xmlpp {
namespace xpath {

struct Token {
  enum Type {
    END = 0,
    SLASH = 1,         // "/"
    DOUBLE_SLASH = 2,  // "//"
    SELF = 3,          // "." or "/."
    PARENT = 4,        // ".." or "/.."
    ATTRIBUTE = 5,     // "@" name
    NAME = 6,
    LITERAL = 7,   // quoted text (without its quotes)
    BRACKET = 8,   // "[...]" (its content)
    FUNCTION = 9,  // name "()" (the name)
    PAREN = 10,    // "(...)" (its content)
    EQUAL = 11,
    NOT_EQUAL = 12,
    AND = 13,  // "and", "AND"
    OR = 14,   // "|", "or", "OR"
    STAR = 15
  };

  Type type;
  std::string text;
  size_t offset;  // where the token starts in the text
  bool slash;     // SELF and PARENT: written with a leading slash
};

class Tokenizer {
 public:
  // All tokens of `text`, ending with END; throws Exception on an empty text.
  static std::vector<Token> tokenize(const std::string& text);
  // The token at `pos` (blanks skipped first); advances `pos` past it.
  static Token getToken(const std::string& text, size_t& pos);
  // The position of the character that closes the bracket, parenthesis or
  // quote at text[open], skipping nested expressions and quoted strings.
  static size_t getExpression(const std::string& text, size_t open);
};

}  // namespace xpath
}  // namespace xmlpp
