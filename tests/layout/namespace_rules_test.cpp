// Each folder of the code (tests aside) keeps its own namespace, named for
// it: the namespaces are read from the `namespace corvash::...` blocks of the
// folder's files, not from a list.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

const fs::path kRoot = CORVASH_SOURCE_DIR;

// The text with its comments and literals blanked, so that braces and the
// word "namespace" inside them count for nothing.
std::string CodeOnly(const std::string& text) {
  std::string out = text;
  for (size_t i = 0; i < out.size(); ++i) {
    if (out.compare(i, 2, "//") == 0) {
      while (i < out.size() && out[i] != '\n') out[i++] = ' ';
    } else if (out.compare(i, 2, "/*") == 0) {
      const size_t end = std::min(out.find("*/", i + 2), out.size() - 2) + 2;
      for (; i < end; ++i) {
        if (out[i] != '\n') out[i] = ' ';
      }
      --i;
    } else if (out[i] == '"' || (out[i] == '\'' && (i == 0 || !std::isalnum(static_cast<unsigned char>(out[i - 1]))))) {
      const char quote = out[i];
      for (++i; i < out.size() && out[i] != quote && out[i] != '\n'; ++i) {
        if (out[i] == '\\') out[i++] = ' ';
        if (i < out.size()) out[i] = ' ';
      }
    }
  }
  return out;
}

// The namespaces whose blocks in `text` hold more than forward declarations
// of other folders' types ("corvash" itself is "").
std::set<std::string> NamespacesOf(const std::string& text) {
  static const std::regex open(R"(\bnamespace\s+corvash((?:::\w+)*)\s*\{)");
  static const std::regex forward(R"((class|struct|enum(\s+class)?)\s+\w+(\s*:\s*[\w:]+)?\s*;)");
  const std::string code = CodeOnly(text);
  std::set<std::string> found;
  for (std::sregex_iterator it(code.begin(), code.end(), open), end; it != end; ++it) {
    const size_t body = static_cast<size_t>(it->position() + it->length());
    size_t close = body;
    for (int depth = 1; close < code.size() && depth > 0; ++close) {
      depth += code[close] == '{' ? 1 : code[close] == '}' ? -1 : 0;
    }
    const std::string inside = std::regex_replace(code.substr(body, close - body - 1), forward, "");
    if (inside.find_first_not_of(" \t\r\n") == std::string::npos) continue;
    const std::string name = (*it)[1];
    found.insert(name.empty() ? "" : name.substr(2));
  }
  return found;
}

// Folder (relative to the root) -> the namespaces its files use.
const std::map<std::string, std::set<std::string>>& FolderNamespaces() {
  static std::map<std::string, std::set<std::string>> folders;
  if (!folders.empty()) return folders;
  for (const std::string top : {"common", "desktop", "device", "emulator", "rapi", "tools"}) {
    if (!fs::exists(kRoot / top)) continue;
    for (const auto& entry : fs::recursive_directory_iterator(kRoot / top)) {
      const std::string ext = entry.path().extension().string();
      if (!entry.is_regular_file() || (ext != ".h" && ext != ".cpp")) continue;
      std::ifstream in(entry.path());
      std::stringstream text;
      text << in.rdbuf();
      const std::string folder = fs::relative(entry.path().parent_path(), kRoot).generic_string();
      for (const std::string& ns : NamespacesOf(text.str())) folders[folder].insert(ns);
    }
  }
  return folders;
}

std::string LastWord(const std::string& path, const std::string& separator) {
  const size_t cut = path.rfind(separator);
  return cut == std::string::npos ? path : path.substr(cut + separator.size());
}

bool NestedIn(const std::string& inner, const std::string& outer) { return inner.rfind(outer + "::", 0) == 0; }

// Folders whose namespace is not named for them, with why. The test names
// entries that no longer apply.
const std::map<std::string, std::string> kNamedOtherwise = {
    // The code every device program shares is the device side's own: inside
    // corvash::device (the device tests) a namespace device::common would hide
    // the shared base's corvash::common.
    {"device/common", "device"},
    // The stand-ins for what Windows CE gives the device programs.
    {"device/platform", "ce"},
};

TEST(NamespaceRules, EachFolderUsesOneNamespaceNamedForIt) {
  // A wrong root would pass every rule without looking at anything.
  ASSERT_GT(FolderNamespaces().size(), 20u);
  std::vector<std::string> breaches;
  std::set<std::string> excused;
  for (const auto& [folder, names] : FolderNamespaces()) {
    std::set<std::string> outer;  // rapi::wire counts as part of rapi
    for (const std::string& ns : names) {
      bool nested = false;
      for (const std::string& other : names) nested = nested || NestedIn(ns, other);
      if (!nested) outer.insert(ns);
    }
    const bool named = outer.size() == 1 && LastWord(*outer.begin(), "::") == LastWord(folder, "/");
    if (named) continue;
    if (kNamedOtherwise.count(folder) != 0) {
      excused.insert(folder);
      continue;
    }
    std::string list;
    for (const std::string& ns : outer) list += " corvash::" + ns;
    breaches.push_back(folder + ":" + list);
  }
  EXPECT_EQ(breaches, std::vector<std::string>{});
  std::vector<std::string> stale;
  for (const auto& [folder, why] : kNamedOtherwise) {
    if (excused.count(folder) == 0) stale.push_back(folder);
  }
  EXPECT_EQ(stale, std::vector<std::string>{}) << "these folders now follow the rule: delete them from kNamedOtherwise";
}

TEST(NamespaceRules, NoNamespaceIsSpreadOverTwoFolders) {
  std::map<std::string, std::set<std::string>> users;
  for (const auto& [folder, names] : FolderNamespaces()) {
    for (const std::string& ns : names) users[ns].insert(folder);
  }
  std::vector<std::string> shared;
  for (const auto& [ns, folders] : users) {
    if (folders.size() < 2) continue;
    std::string entry = ns + ":";
    for (const std::string& folder : folders) entry += " " + folder;
    shared.push_back(entry);
  }
  EXPECT_EQ(shared, std::vector<std::string>{});
}

TEST(NamespacesOf, SkipsForwardDeclarationsCommentsAndTextsAndReadsNesting) {
  EXPECT_EQ(NamespacesOf("namespace corvash::platform {\nclass SerialPort;\n}\n"
                         "// namespace corvash::pages {\n"
                         "namespace corvash::bootlink {\nconst char* k = \"namespace corvash::x {\";\n}\n"
                         "namespace corvash::rapi::wire {\nint F();\n}\nnamespace corvash {\nint G();\n}\n"),
            (std::set<std::string>{"", "bootlink", "rapi::wire"}));
}

}  // namespace
