#include "desktop/resources/script_lexer.h"

#include <cctype>
#include <charconv>

#include "common/utf16_text.h"

namespace corvash::resources {
namespace {

bool IsNameStart(char c) { return std::isalpha(static_cast<unsigned char>(c)) != 0 || c == '_'; }
bool IsNameChar(char c) { return std::isalnum(static_cast<unsigned char>(c)) != 0 || c == '_'; }
bool IsDigit(char c) { return std::isdigit(static_cast<unsigned char>(c)) != 0; }

class Lexer {
 public:
  explicit Lexer(std::string_view text) : text_(text) {}

  LexResult Run() {
    while (SkipSpaceAndComments()) {
      const char c = text_[pos_];
      if (c == '#' && atLineStart_) {
        Directive();
      } else if (c == '"' || ((c == 'L' || c == 'l') && Peek(1) == '"')) {
        if (c != '"') ++pos_;
        String();
      } else if (IsDigit(c)) {
        Number();
      } else if (IsNameStart(c)) {
        Name();
      } else if (std::string_view(",|(){}-+~").find(c) != std::string_view::npos) {
        Push(TokenKind::kPunct, std::string(1, c));
        ++pos_;
      } else {
        Warn("unexpected character skipped");
        ++pos_;
      }
      atLineStart_ = false;
    }
    Push(TokenKind::kEnd, "");
    return std::move(result_);
  }

 private:
  char Peek(size_t ahead) const { return pos_ + ahead < text_.size() ? text_[pos_ + ahead] : '\0'; }

  void Push(TokenKind kind, std::string text, int64_t number = 0) {
    result_.tokens.push_back(Token{kind, std::move(text), number, line_});
  }
  void Warn(const std::string& what) {
    result_.warnings.push_back("line " + std::to_string(line_) + ": " + what);
  }

  // Skips blanks, line ends and comments; false at the end of the text.
  bool SkipSpaceAndComments() {
    while (pos_ < text_.size()) {
      const char c = text_[pos_];
      if (c == '\n') {
        ++line_;
        ++pos_;
        atLineStart_ = true;
      } else if (c == ' ' || c == '\t' || c == '\r' || c == '\f' || c == '\v') {
        ++pos_;
      } else if (c == '/' && Peek(1) == '/') {
        while (pos_ < text_.size() && text_[pos_] != '\n') ++pos_;
      } else if (c == '/' && Peek(1) == '*') {
        const size_t end = text_.find("*/", pos_ + 2);
        const size_t stop = end == std::string_view::npos ? text_.size() : end + 2;
        for (size_t i = pos_; i < stop; ++i) line_ += text_[i] == '\n' ? 1 : 0;
        if (end == std::string_view::npos) Warn("unterminated comment");
        pos_ = stop;
      } else if (pos_ == 0 && text_.substr(0, 3) == "\xEF\xBB\xBF") {
        pos_ = 3;  // byte order mark
      } else {
        return true;
      }
    }
    return false;
  }

  void Directive() {
    size_t end = pos_;
    while (end < text_.size() && text_[end] != '\n') ++end;
    std::string line(text_.substr(pos_ + 1, end - pos_ - 1));
    if (!line.empty() && line.back() == '\r') line.pop_back();
    Push(TokenKind::kDirective, std::move(line));
    pos_ = end;
  }

  void Number() {
    size_t end = pos_;
    int base = 10;
    if (text_[pos_] == '0' && (Peek(1) == 'x' || Peek(1) == 'X')) {
      base = 16;
      end += 2;
    }
    const size_t digits = end;
    while (end < text_.size() && std::isxdigit(static_cast<unsigned char>(text_[end])) != 0 &&
           (base == 16 || IsDigit(text_[end])))
      ++end;
    uint64_t value = 0;
    const auto [ptr, ec] = std::from_chars(text_.data() + digits, text_.data() + end, value, base);
    (void)ptr;
    if (ec == std::errc::result_out_of_range || value > 0xFFFFFFFFull) {
      Warn("number out of range");
      value = 0xFFFFFFFFull;
    } else if (digits == end) {
      Warn("number without digits");
    }
    while (end < text_.size() && std::string_view("LlUu").find(text_[end]) != std::string_view::npos) ++end;
    Push(TokenKind::kNumber, std::string(text_.substr(pos_, end - pos_)), static_cast<int64_t>(value));
    pos_ = end;
  }

  void Name() {
    size_t end = pos_;
    while (end < text_.size() && IsNameChar(text_[end])) ++end;
    Push(TokenKind::kName, std::string(text_.substr(pos_, end - pos_)));
    pos_ = end;
  }

  // Octal (up to three digits) or hexadecimal (up to four digits) escape.
  uint32_t NumericEscape(int base, size_t maxDigits) {
    uint32_t value = 0;
    for (size_t n = 0; n < maxDigits && pos_ < text_.size(); ++n) {
      const char c = text_[pos_];
      int digit = -1;
      if (IsDigit(c)) digit = c - '0';
      else if (base == 16 && std::isxdigit(static_cast<unsigned char>(c)) != 0)
        digit = std::tolower(static_cast<unsigned char>(c)) - 'a' + 10;
      if (digit < 0 || digit >= base) break;
      value = value * static_cast<uint32_t>(base) + static_cast<uint32_t>(digit);
      ++pos_;
    }
    return value;
  }

  void Escape(std::string& raw, std::string& out) {
    const char c = Peek(0);
    ++pos_;
    switch (c) {
      case 'n': raw += '\n'; return;
      case 'r': raw += '\r'; return;
      case 't': raw += '\t'; return;
      case 'a': raw += '\a'; return;
      case '\\': raw += '\\'; return;
      case '"': raw += '"'; return;
      case 'x': case 'X': {
        const uint32_t cp = NumericEscape(16, 4);
        out += common::SanitizeUtf8(raw);
        raw.clear();
        if (cp != 0) common::AppendUtf8(out, cp);
        return;
      }
      default:
        if (c >= '0' && c <= '7') {
          --pos_;
          const uint32_t cp = NumericEscape(8, 3);
          out += common::SanitizeUtf8(raw);
          raw.clear();
          if (cp != 0) common::AppendUtf8(out, cp);
          return;
        }
        raw += '\\';  // unknown escapes stay as written
        if (c != '\0') raw += c;
    }
  }

  void String() {
    ++pos_;  // opening quote
    std::string out, raw;
    bool closed = false;
    while (pos_ < text_.size()) {
      const char c = text_[pos_];
      if (c == '\n') break;
      if (c == '"') {
        if (Peek(1) == '"') {
          raw += '"';
          pos_ += 2;
          continue;
        }
        ++pos_;
        closed = true;
        break;
      }
      if (c == '\\' && pos_ + 1 < text_.size()) {
        ++pos_;
        Escape(raw, out);
        continue;
      }
      raw += c;
      ++pos_;
    }
    if (!closed) Warn("unterminated string");
    out += common::SanitizeUtf8(raw);
    Push(TokenKind::kString, std::move(out));
  }

  std::string_view text_;
  size_t pos_ = 0;
  int line_ = 1;
  bool atLineStart_ = true;
  LexResult result_;
};

}  // namespace

LexResult Lex(std::string_view text) { return Lexer(text).Run(); }

}  // namespace corvash::resources
