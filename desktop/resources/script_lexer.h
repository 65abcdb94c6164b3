#pragma once
// Tokens of a resource script: names, numbers, string literals (escapes
// decoded, UTF-8), punctuation and preprocessor lines. Comments are dropped.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace corvash::resources {

enum class TokenKind { kName, kNumber, kString, kPunct, kDirective, kEnd };

struct Token {
  TokenKind kind = TokenKind::kEnd;
  std::string text;   // name, punctuation, decoded string, or directive line without '#'
  int64_t number = 0;  // kNumber
  int line = 0;
};

struct LexResult {
  std::vector<Token> tokens;  // always ends with a kEnd token
  std::vector<std::string> warnings;
};

// Splits `text` into tokens. Bad input never stops the lexer: an
// unterminated string ends at its line's end, an unknown character is
// skipped; each such spot adds a warning.
LexResult Lex(std::string_view text);

}  // namespace corvash::resources
