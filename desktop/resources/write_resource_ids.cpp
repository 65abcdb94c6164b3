// write_resource_ids SCRIPT HEADER: reads the resource script and writes the
// C++ names of its ids. Each #define'd name of an id kind becomes a constant
// of corvash::resources::ids: the kind's prefix dropped, the words joined in
// upper camel case after a 'k' (IDD_PAGE_WELCOME gives kPageWelcome,
// IDS_TEXT_WEITER gives kTextWeiter).
//
// The build stops (exit 1, a line per fault on standard error) when the
// script does not read cleanly, when a name names nothing of its kind, or
// when a template, control, text or picture id has no name. The header is
// rewritten only when its text changes, so that an edit of a label alone
// does not rebuild every file that includes it.
#include <cctype>
#include <fstream>
#include <iostream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "desktop/resources/resource_script.h"

namespace {

using corvash::resources::ResourceScript;
using corvash::resources::ScriptName;

struct Kind {
  const char* prefix;
  const char* heading;
};
constexpr Kind kKinds[] = {
    {"IDD_", "Dialog templates: wizard pages, error and warning screens"},
    {"IDB_", "Bitmaps"},
    {"IDI_", "Icons"},
    {"IDC_", "Controls"},
    {"IDS_", "Texts of the string table"},
};
// The id of texts that no code addresses: not a name to write.
constexpr const char* kUnnamedStatic = "IDC_STATIC";

bool HasPrefix(const std::string& name, const char* prefix) { return name.rfind(prefix, 0) == 0; }

// "IDD_PAGE_WELCOME" -> "kPageWelcome"; "" when no word is left.
std::string CppName(const std::string& name) {
  std::string out = "k";
  bool wordStart = true;
  for (size_t i = 4; i < name.size(); ++i) {
    const char c = name[i];
    if (c == '_') {
      wordStart = true;
      continue;
    }
    const auto u = static_cast<unsigned char>(c);
    out += static_cast<char>(wordStart ? std::toupper(u) : std::tolower(u));
    wordStart = false;
  }
  return out.size() > 1 ? out : std::string();
}

bool TemplatesHaveControl(const ResourceScript& script, int64_t id) {
  for (int dialogId : script.DialogIds())
    if (script.Dialog(dialogId)->Control(static_cast<int>(id)) != nullptr) return true;
  return false;
}

// Whether `name` names something of its kind in the script.
bool NamesSomething(const ResourceScript& script, const ScriptName& name) {
  const int id = static_cast<int>(name.value);
  if (HasPrefix(name.name, "IDD_")) return script.Dialog(id) != nullptr;
  if (HasPrefix(name.name, "IDB_")) return !script.BitmapFile(id).empty();
  if (HasPrefix(name.name, "IDI_")) return !script.IconFile(id).empty();
  if (HasPrefix(name.name, "IDC_")) return TemplatesHaveControl(script, name.value);
  return script.HasString(id);
}

class Writer {
 public:
  explicit Writer(const ResourceScript& script) : script_(script) {}

  // The header text; faults() lists what stops the build.
  std::string Header() {
    for (const std::string& warning : script_.Warnings()) Fault(warning);
    std::ostringstream out;
    out << "#pragma once\n"
           "// Generated at build time from desktop/resources/corvash.rc by write_resource_ids;\n"
           "// the names are the script's own #define names. Edit the script, not this file.\n\n"
           "namespace corvash::resources::ids {\n";
    for (const Kind& kind : kKinds) {
      out << "\n// " << kind.heading << ".\n";
      for (const ScriptName& name : script_.Names()) {
        if (!HasPrefix(name.name, kind.prefix) || name.name == kUnnamedStatic) continue;
        Write(out, name);
      }
    }
    out << "\n}  // namespace corvash::resources::ids\n";
    CheckEveryIdNamed();
    return out.str();
  }

  const std::vector<std::string>& faults() const { return faults_; }

 private:
  void Fault(const std::string& what) { faults_.push_back(what); }
  std::string Where(const ScriptName& name) const { return "line " + std::to_string(name.line) + ": "; }

  void Write(std::ostringstream& out, const ScriptName& name) {
    const std::string cpp = CppName(name.name);
    if (cpp.empty()) return Fault(Where(name) + name.name + " has no words after its prefix");
    if (!cppNames_.insert(cpp).second) return Fault(Where(name) + name.name + " gives " + cpp + " a second time");
    if (!NamesSomething(script_, name))
      return Fault(Where(name) + name.name + " (" + std::to_string(name.value) + ") names nothing of its kind");
    named_[name.name.substr(0, 4)].insert(name.value);
    out << "inline constexpr int " << cpp << " = " << name.value << ";  // " << name.name << "\n";
  }

  void Require(const char* prefix, int64_t id, const std::string& what) {
    if (named_[prefix].count(id) == 0) Fault(what + " " + std::to_string(id) + " has no " + prefix + " name");
  }

  void CheckEveryIdNamed() {
    for (int id : script_.DialogIds()) {
      Require("IDD_", id, "template");
      for (const auto& control : script_.Dialog(id)->controls) {
        if (control.id != -1) Require("IDC_", control.id, "control of template " + std::to_string(id) + ":");
        if (control.imageId != 0) Require("IDB_", control.imageId, "picture of template " + std::to_string(id) + ":");
      }
    }
    for (int id : script_.StringIds()) Require("IDS_", id, "text");
  }

  const ResourceScript& script_;
  std::vector<std::string> faults_;
  std::set<std::string> cppNames_;
  std::map<std::string, std::set<int64_t>> named_;
};

bool ReadFile(const std::string& path, std::string& text) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  std::ostringstream buffer;
  buffer << in.rdbuf();
  text = buffer.str();
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::cerr << "usage: write_resource_ids SCRIPT HEADER\n";
    return 2;
  }
  std::string script;
  if (!ReadFile(argv[1], script)) {
    std::cerr << argv[1] << ": cannot be read\n";
    return 2;
  }
  const ResourceScript parsed = ResourceScript::Parse(script);
  Writer writer(parsed);
  const std::string header = writer.Header();
  for (const std::string& fault : writer.faults()) std::cerr << argv[1] << ": " << fault << "\n";
  if (!writer.faults().empty()) return 1;
  std::string current;
  if (ReadFile(argv[2], current) && current == header) return 0;
  std::ofstream out(argv[2], std::ios::binary | std::ios::trunc);
  out << header;
  out.close();
  if (!out) {
    std::cerr << argv[2] << ": cannot be written\n";
    return 2;
  }
  return 0;
}
