#include "desktop/resources/script_parser.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <limits>

#include "desktop/resources/style_names.h"

namespace corvash::resources {
namespace {

constexpr std::array<std::string_view, 9> kMemoryFlags{
    "DISCARDABLE", "MOVEABLE", "FIXED", "PURE", "IMPURE", "PRELOAD", "LOADONCALL", "SHARED", "NONSHARED"};

std::string Upper(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return out;
}

bool EqualsUpper(std::string_view a, std::string_view upper) { return Upper(a) == upper; }

// Deeper parentheses than any script needs are skipped rather than read, so
// that a hostile script cannot exhaust the stack.
constexpr int kMaxNesting = 32;

int ClampInt(int64_t value, int64_t low, int64_t high) {
  return static_cast<int>(std::clamp(value, low, high));
}
int Coordinate(int64_t value) { return ClampInt(value, -32768, 32767); }
int Identifier(int64_t value) {
  return ClampInt(value, std::numeric_limits<int>::min(), std::numeric_limits<int>::max());
}

struct ControlForm {
  std::string_view keyword;
  std::string_view className;
  uint32_t style;
  bool hasText;
};

constexpr uint32_t kChildVisible = kWsChild | kWsVisible;
constexpr std::array<ControlForm, 16> kForms{{
    {"LTEXT", "STATIC", kSsLeft | kWsGroup, true},
    {"RTEXT", "STATIC", kSsRight | kWsGroup, true},
    {"CTEXT", "STATIC", kSsCenter | kWsGroup, true},
    {"ICON", "STATIC", 0x3, true},
    {"PUSHBUTTON", "BUTTON", kBsPushButton | kWsTabStop, true},
    {"DEFPUSHBUTTON", "BUTTON", kBsDefPushButton | kWsTabStop, true},
    {"CHECKBOX", "BUTTON", 0x2 | kWsTabStop, true},
    {"AUTOCHECKBOX", "BUTTON", kBsAutoCheckBox | kWsTabStop, true},
    {"RADIOBUTTON", "BUTTON", 0x4, true},
    {"AUTORADIOBUTTON", "BUTTON", 0x9, true},
    {"STATE3", "BUTTON", 0x5 | kWsTabStop, true},
    {"AUTO3STATE", "BUTTON", 0x6 | kWsTabStop, true},
    {"GROUPBOX", "BUTTON", 0x7, true},
    {"EDITTEXT", "EDIT", kWsBorder | kWsTabStop, false},
    {"LISTBOX", "LISTBOX", kWsBorder | 0x1, false},
    {"COMBOBOX", "COMBOBOX", 0, false},
}};

ControlKind KindOf(const std::string& className, uint32_t style) {
  const std::string name = Upper(className);
  if (name == "BUTTON") {
    switch (style & kBsTypeMask) {
      case kBsPushButton: return ControlKind::kPushButton;
      case kBsDefPushButton: return ControlKind::kDefPushButton;
      case 0x2: case kBsAutoCheckBox: case 0x5: case 0x6: return ControlKind::kCheckBox;
      default: return ControlKind::kOther;
    }
  }
  if (name == "STATIC") {
    switch (style & kSsTypeMask) {
      case kSsLeft: case kSsCenter: case kSsRight: case 0xB: case 0xC: return ControlKind::kText;
      case kSsBlackRect: return ControlKind::kBlackRect;
      case kSsBitmap: return ControlKind::kBitmap;
      default: return ControlKind::kOther;
    }
  }
  if (name == "MSCTLS_PROGRESS32") return ControlKind::kProgress;
  return ControlKind::kOther;
}

}  // namespace

ResourceScript ResourceScript::Parse(std::string_view text) { return ScriptParser(text).Run(); }

int64_t ScriptParser::Arg::Value(int64_t base) const {
  int64_t value = base;
  for (const Term& term : terms) {
    switch (term.op) {
      case Op::kOr: value |= term.value; break;
      case Op::kPlus: value += term.value; break;
      case Op::kAndNot: value &= ~term.value; break;
    }
  }
  return value;
}

ScriptParser::ScriptParser(std::string_view text) {
  LexResult lexed = Lex(text);
  tokens_ = std::move(lexed.tokens);
  script_.warnings_ = std::move(lexed.warnings);
}

ResourceScript ScriptParser::Run() {
  while (!AtEnd()) {
    const size_t before = pos_;
    Statement();
    if (pos_ == before) Next();  // never stall on input no rule consumes
  }
  return std::move(script_);
}

const Token& ScriptParser::Peek(size_t ahead) const {
  return tokens_[std::min(pos_ + ahead, tokens_.size() - 1)];
}
const Token& ScriptParser::Next() {
  const Token& token = Peek();
  if (pos_ < tokens_.size() - 1) ++pos_;
  return token;
}
bool ScriptParser::AtEnd() const { return Peek().kind == TokenKind::kEnd; }
bool ScriptParser::IsName(const Token& token, std::string_view name) const {
  return token.kind == TokenKind::kName && EqualsUpper(token.text, name);
}
bool ScriptParser::IsPunct(const Token& token, std::string_view punct) const {
  return token.kind == TokenKind::kPunct && token.text == punct;
}
bool ScriptParser::AtBlockStart() const { return IsName(Peek(), "BEGIN") || IsPunct(Peek(), "{"); }
bool ScriptParser::AtBlockEnd() const { return IsName(Peek(), "END") || IsPunct(Peek(), "}"); }
void ScriptParser::Warn(const Token& at, const std::string& what) {
  script_.warnings_.push_back("line " + std::to_string(at.line) + ": " + what);
}

void ScriptParser::Statement() {
  const Token& token = Peek();
  if (token.kind == TokenKind::kDirective) {
    Next();
    if (token.text.rfind("define", 0) == 0) Define(token.text.substr(6), token.line);
    return;  // #include, #pragma, #if..: nothing to read
  }
  if (IsName(token, "LANGUAGE")) {
    Next();
    ReadArgs();
    return;
  }
  if (IsName(token, "STRINGTABLE")) {
    StringTable();
    return;
  }
  int id = 0;
  const size_t start = pos_;
  if (ReadId(id)) {
    Resource(id, true);
    return;
  }
  if (token.kind == TokenKind::kName && Peek(1).kind == TokenKind::kName) {
    Warn(token, "resource name '" + token.text + "' is not a number; resource skipped");
    Next();
    Resource(0, false);
    return;
  }
  pos_ = start;
  Warn(token, "unexpected '" + token.text + "' skipped");
  Next();
}

void ScriptParser::Define(const std::string& line, int lineNumber) {
  LexResult lexed = Lex(line);
  if (lexed.tokens.empty() || lexed.tokens.front().kind != TokenKind::kName) return;
  const std::string name = lexed.tokens.front().text;
  std::vector<Token> saved = std::move(tokens_);
  const size_t savedPos = pos_;
  tokens_.assign(lexed.tokens.begin() + 1, lexed.tokens.end());
  for (Token& token : tokens_) token.line = lineNumber;
  pos_ = 0;
  const Arg value = ReadArg();
  if (!value.isString && !value.terms.empty()) {
    defines_[name] = value.Value();
    script_.names_.push_back(ScriptName{name, value.Value(), lineNumber});
  }
  tokens_ = std::move(saved);
  pos_ = savedPos;
}

bool ScriptParser::ReadId(int& id) {
  const Token& token = Peek();
  const bool numeric = token.kind == TokenKind::kNumber || IsPunct(token, "-") ||
                       (token.kind == TokenKind::kName && defines_.count(token.text) != 0);
  if (!numeric) return false;
  const Arg arg = ReadArg();
  if (arg.terms.empty()) return false;
  id = Identifier(arg.Value());
  return true;
}

ScriptParser::Arg ScriptParser::ReadArg() {
  Arg arg;
  if (Peek().kind == TokenKind::kString) {
    arg.isString = true;
    arg.empty = false;
    while (Peek().kind == TokenKind::kString) arg.text += Next().text;
    return arg;
  }
  if (!ReadTerm(Op::kOr, arg)) return arg;
  arg.empty = false;
  while (IsPunct(Peek(), "|") || IsPunct(Peek(), "+")) {
    const Op op = Next().text == "|" ? Op::kOr : Op::kPlus;
    if (!ReadTerm(op, arg)) {
      Warn(Peek(), "expression ends after an operator");
      break;
    }
  }
  if (arg.terms.size() != 1) arg.text.clear();
  return arg;
}

bool ScriptParser::ReadTerm(Op op, Arg& arg) {
  if (IsName(Peek(), "NOT")) {
    Next();
    op = Op::kAndNot;
  }
  int64_t sign = 1;
  bool invert = false;
  while (IsPunct(Peek(), "-") || IsPunct(Peek(), "~")) {
    if (Next().text == "-") sign = -sign;
    else invert = !invert;
  }
  const Token& token = Peek();
  int64_t value = 0;
  if (token.kind == TokenKind::kNumber) {
    value = Next().number;
  } else if (IsPunct(token, "(") && nesting_ == kMaxNesting) {
    Warn(token, "expression nested too deeply; read as 0");
    SkipParenthesized();
  } else if (IsPunct(token, "(")) {
    Next();
    ++nesting_;
    const Arg inner = ReadArg();
    --nesting_;
    if (IsPunct(Peek(), ")")) Next();
    else Warn(Peek(), "missing ')'");
    value = inner.Value();
  } else if (token.kind == TokenKind::kName && !IsName(token, "BEGIN") && !IsName(token, "END")) {
    Next();
    if (const auto defined = defines_.find(token.text); defined != defines_.end()) {
      value = defined->second;
    } else if (const auto known = StyleValue(Upper(token.text))) {
      value = *known;
    } else {
      arg.text = token.text;  // a bare class name such as BUTTON, or an unknown symbol (0)
    }
  } else {
    return false;
  }
  if (invert) value = ~value;
  arg.terms.push_back(Term{op, sign * value});
  return true;
}

// Skips a parenthesised group and everything in it, up to its ')' or the
// edge of the block it stands in.
void ScriptParser::SkipParenthesized() {
  int depth = 0;
  while (!AtEnd() && !AtBlockStart() && !AtBlockEnd()) {
    if (IsPunct(Peek(), "(")) ++depth;
    if (IsPunct(Peek(), ")")) --depth;
    Next();
    if (depth == 0) return;
  }
}

std::vector<ScriptParser::Arg> ScriptParser::ReadArgs() {
  std::vector<Arg> args;
  Arg first = ReadArg();
  if (first.empty && !IsPunct(Peek(), ",")) return args;
  args.push_back(std::move(first));
  while (IsPunct(Peek(), ",")) {
    Next();
    args.push_back(ReadArg());
  }
  return args;
}

void ScriptParser::SkipOptions() {
  while (!AtEnd() && !AtBlockStart()) {
    const Token& token = Peek();
    if (IsName(token, "LANGUAGE") || IsName(token, "CHARACTERISTICS") || IsName(token, "VERSION")) {
      Next();
      ReadArgs();
    } else if (token.kind == TokenKind::kName &&
               std::find(kMemoryFlags.begin(), kMemoryFlags.end(), Upper(token.text)) != kMemoryFlags.end()) {
      Next();
    } else {
      return;
    }
  }
}

void ScriptParser::SkipBlock() {
  int depth = 0;
  while (!AtEnd()) {
    if (AtBlockStart()) ++depth;
    if (AtBlockEnd()) --depth;
    Next();
    if (depth <= 0) return;
  }
  Warn(Peek(), "block without END");
}

void ScriptParser::StringTable() {
  const Token& keyword = Next();
  SkipOptions();
  if (!AtBlockStart()) {
    Warn(keyword, "STRINGTABLE without BEGIN");
    return;
  }
  Next();
  while (!AtEnd() && !AtBlockEnd()) {
    const Token& at = Peek();
    int id = 0;
    if (!ReadId(id)) {
      Warn(at, "string table entry without a numeric id skipped");
      Next();
      continue;
    }
    if (IsPunct(Peek(), ",")) Next();
    if (Peek().kind != TokenKind::kString) {
      Warn(at, "string " + std::to_string(id) + " has no text");
      continue;
    }
    std::string text;
    while (Peek().kind == TokenKind::kString) text += Next().text;
    if (!script_.strings_.emplace(id, std::move(text)).second)
      Warn(at, "string " + std::to_string(id) + " given twice; the first stays");
  }
  if (AtEnd()) Warn(keyword, "STRINGTABLE without END");
  else Next();
}

void ScriptParser::Resource(int id, bool keep) {
  const Token& type = Peek();
  if (type.kind != TokenKind::kName) {
    Warn(type, "resource " + std::to_string(id) + " without a type");
    return;
  }
  Next();
  const std::string kind = Upper(type.text);
  if (kind == "DIALOGEX" || kind == "DIALOG") {
    Dialog(id, keep);
    return;
  }
  SkipOptions();
  if (Peek().kind == TokenKind::kString) {
    const std::string file = Next().text;
    if (keep && kind == "BITMAP") script_.bitmapFiles_[id] = file;
    if (keep && kind == "ICON") script_.iconFiles_[id] = file;
    return;
  }
  // Resources with a body (VERSIONINFO, MENU, ...): their options, then the
  // block. A string table or directive after a type without body ends the skip.
  while (!AtEnd() && !AtBlockStart() && Peek().kind != TokenKind::kDirective &&
         !IsName(Peek(), "STRINGTABLE") && !IsName(Peek(), "LANGUAGE"))
    Next();
  if (AtBlockStart()) SkipBlock();
}

void ScriptParser::Dialog(int id, bool keep) {
  const Token& at = Peek();
  SkipOptions();
  const std::vector<Arg> size = ReadArgs();
  DialogTemplate dialog;
  dialog.id = id;
  if (size.size() < 4) {
    Warn(at, "dialog " + std::to_string(id) + " without position and size");
  } else {
    dialog.x = Coordinate(size[0].Value());
    dialog.y = Coordinate(size[1].Value());
    dialog.cx = Coordinate(size[2].Value());
    dialog.cy = Coordinate(size[3].Value());
  }
  dialog.style = kWsPopup | kWsBorder | kWsSysMenu;
  DialogOptions(dialog);
  if (!AtBlockStart()) {
    Warn(at, "dialog " + std::to_string(id) + " without BEGIN; left out");
    return;
  }
  Controls(dialog);
  // A template without its size is no page; one without its END keeps the
  // controls read up to the end of the script.
  if (!keep || size.size() < 4) return;
  if (!script_.dialogs_.emplace(id, std::move(dialog)).second)
    Warn(at, "dialog " + std::to_string(id) + " given twice; the first stays");
}

void ScriptParser::DialogOptions(DialogTemplate& dialog) {
  bool caption = false, font = false;
  while (!AtEnd() && !AtBlockStart()) {
    const Token& option = Peek();
    if (option.kind != TokenKind::kName) break;
    const std::string name = Upper(option.text);
    if (name == "STYLE" || name == "EXSTYLE") {
      Next();
      const auto value = static_cast<uint32_t>(ReadArg().Value());
      (name == "STYLE" ? dialog.style : dialog.exStyle) = value;
    } else if (name == "CAPTION") {
      Next();
      dialog.caption = ReadArg().text;
      caption = true;
    } else if (name == "FONT") {
      Next();
      const std::vector<Arg> args = ReadArgs();
      if (!args.empty()) dialog.fontPointSize = ClampInt(args[0].Value(), 1, 256);
      if (args.size() > 1) dialog.fontName = args[1].text;
      font = true;
    } else if (name == "MENU" || name == "CLASS" || name == "LANGUAGE" || name == "VERSION" ||
               name == "CHARACTERISTICS") {
      Next();
      ReadArgs();
    } else {
      break;
    }
  }
  if (caption) dialog.style |= kWsCaption;
  if (font) dialog.style |= kDsSetFont;
  dialog.hasCaption = (dialog.style & kWsCaption) == kWsCaption;
}

void ScriptParser::Controls(DialogTemplate& dialog) {
  const Token& begin = Next();
  while (!AtEnd() && !AtBlockEnd()) {
    const Token& keyword = Peek();
    if (keyword.kind != TokenKind::kName) {
      Warn(keyword, "unexpected '" + keyword.text + "' in dialog " + std::to_string(dialog.id));
      Next();
      continue;
    }
    Next();
    const std::vector<Arg> args = ReadArgs();
    DialogControl control;
    if (Control(Upper(keyword.text), args, control)) dialog.controls.push_back(std::move(control));
    else Warn(keyword, "control '" + keyword.text + "' in dialog " + std::to_string(dialog.id) + " skipped");
  }
  if (AtEnd()) Warn(begin, "dialog " + std::to_string(dialog.id) + " without END");
  else Next();
}

bool ScriptParser::Control(const std::string& keyword, const std::vector<Arg>& args, DialogControl& control) {
  size_t next = 0;
  auto value = [&](size_t index, int64_t base = 0) { return args[index].Value(base); };
  auto setText = [&](const Arg& arg) {
    if (arg.isString) control.text = arg.text;
    else if (!arg.terms.empty()) control.imageId = Identifier(arg.Value());
  };
  if (keyword == "CONTROL") {
    if (args.size() < 8) return false;
    setText(args[0]);
    control.id = Identifier(value(1));
    control.className = args[2].text;
    control.style = static_cast<uint32_t>(value(3, kChildVisible));
    next = 4;
  } else {
    const auto form = std::find_if(kForms.begin(), kForms.end(), [&](const ControlForm& f) { return f.keyword == keyword; });
    if (form == kForms.end()) return false;
    const size_t head = form->hasText ? 2 : 1;
    const size_t needed = keyword == "ICON" ? 4 : head + 4;
    if (args.size() < needed) return false;
    if (form->hasText) setText(args[0]);
    control.id = Identifier(value(head - 1));
    control.className = std::string(form->className);
    const size_t styleIndex = head + 4;
    control.style = static_cast<uint32_t>(
        args.size() > styleIndex ? value(styleIndex, kChildVisible | form->style) : kChildVisible | form->style);
    if (args.size() > styleIndex + 1) control.exStyle = static_cast<uint32_t>(value(styleIndex + 1));
    next = head;
  }
  control.x = Coordinate(value(next));
  control.y = Coordinate(value(next + 1));
  control.cx = args.size() > next + 2 ? Coordinate(value(next + 2)) : 0;
  control.cy = args.size() > next + 3 ? Coordinate(value(next + 3)) : 0;
  if (keyword == "CONTROL" && args.size() > 8) control.exStyle = static_cast<uint32_t>(value(8));
  control.kind = KindOf(control.className, control.style);
  return true;
}

}  // namespace corvash::resources
