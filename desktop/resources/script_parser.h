#pragma once
// Reads the statements of a resource script into a ResourceScript:
// #define, LANGUAGE, STRINGTABLE, DIALOG/DIALOGEX with their controls,
// BITMAP and ICON file references. Other resource kinds are skipped.
#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "desktop/resources/resource_script.h"
#include "desktop/resources/script_lexer.h"

namespace corvash::resources {

class ScriptParser {
 public:
  explicit ScriptParser(std::string_view text);
  ResourceScript Run();

 private:
  // One term of an expression: a value, possibly with NOT before it.
  enum class Op { kOr, kPlus, kAndNot };
  struct Term {
    Op op = Op::kOr;
    int64_t value = 0;
  };
  // One comma-separated argument: a string or an expression.
  struct Arg {
    bool isString = false;
    bool empty = true;
    std::string text;        // the string, or the lone name of an expression
    std::vector<Term> terms;
    int64_t Value(int64_t base = 0) const;
  };

  const Token& Peek(size_t ahead = 0) const;
  const Token& Next();
  bool AtEnd() const;
  bool IsName(const Token& token, std::string_view name) const;
  bool IsPunct(const Token& token, std::string_view punct) const;
  bool AtBlockStart() const;
  bool AtBlockEnd() const;
  void Warn(const Token& at, const std::string& what);

  void Statement();
  void Define(const std::string& line, int lineNumber);
  bool ReadId(int& id);
  Arg ReadArg();
  std::vector<Arg> ReadArgs();
  bool ReadTerm(Op op, Arg& arg);
  void SkipParenthesized();
  void SkipOptions();
  void SkipBlock();
  void StringTable();
  void Resource(int id, bool keep);
  void Dialog(int id, bool keep);
  void DialogOptions(DialogTemplate& dialog);
  void Controls(DialogTemplate& dialog);
  bool Control(const std::string& keyword, const std::vector<Arg>& args, DialogControl& control);

  std::vector<Token> tokens_;
  size_t pos_ = 0;
  int nesting_ = 0;  // parentheses open in the expression being read
  std::map<std::string, int64_t> defines_;
  ResourceScript script_;
};

}  // namespace corvash::resources
