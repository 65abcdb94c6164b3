// The include graph of the code (tests aside) keeps the layout's rules:
// dependencies point down, no two folders and no two files include each
// other, directly or round a circle, and every include across folders
// follows a link that the build declares.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

const fs::path kRoot = CORVASH_SOURCE_DIR;
const fs::path kTargetGraph = CORVASH_TARGET_GRAPH;
const std::vector<std::string> kTopFolders = {"common", "desktop", "device", "emulator", "rapi", "tools"};

// The folder a file or an include belongs to: two levels under desktop/,
// device/ and emulator/ (desktop/bootlink, device/zembra, emulator/sync), one
// level elsewhere.
std::string FolderOf(const std::string& path) {
  const size_t first = path.find('/');
  if (first == std::string::npos) return path;
  const std::string top = path.substr(0, first);
  if (top != "desktop" && top != "device" && top != "emulator") return top;
  const size_t second = path.find('/', first + 1);
  return second == std::string::npos ? top : path.substr(0, second);
}

struct Include {
  std::string file;    // relative to the root
  std::string target;  // as written
};

std::vector<Include> ProjectIncludes() {
  static const std::regex line(R"re(^\s*#\s*include\s*"([^"]+)")re");
  std::vector<Include> includes;
  for (const std::string& top : kTopFolders) {
    if (!fs::exists(kRoot / top)) continue;
    for (const auto& entry : fs::recursive_directory_iterator(kRoot / top)) {
      const std::string ext = entry.path().extension().string();
      if (!entry.is_regular_file() || (ext != ".h" && ext != ".cpp")) continue;
      const std::string file = fs::relative(entry.path(), kRoot).generic_string();
      std::ifstream in(entry.path());
      std::string text;
      std::smatch match;
      while (std::getline(in, text)) {
        if (!std::regex_search(text, match, line)) continue;
        const std::string target = match[1];
        const std::string targetTop = target.substr(0, target.find('/'));
        if (std::find(kTopFolders.begin(), kTopFolders.end(), targetTop) == kTopFolders.end()) continue;
        includes.push_back({file, target});
      }
    }
  }
  return includes;
}

bool StartsWith(const std::string& text, const std::string& prefix) { return text.rfind(prefix, 0) == 0; }

using Graph = std::map<std::string, std::set<std::string>>;

// Every circle of `edges` that a depth-first search closes, each written as
// its edges (`describe` names one) in order.
std::vector<std::string> Circles(const Graph& edges,
                                 const std::function<std::string(const std::string&, const std::string&)>& describe) {
  std::map<std::string, int> state;  // 0 new, 1 on the path, 2 done
  std::vector<std::string> path;
  std::vector<std::string> circles;
  std::function<void(const std::string&)> visit = [&](const std::string& node) {
    state[node] = 1;
    path.push_back(node);
    const auto out = edges.find(node);
    for (const std::string& next : out == edges.end() ? std::set<std::string>{} : out->second) {
      if (state[next] == 1) {
        std::string circle;
        for (auto it = std::find(path.begin(), path.end(), next); it != path.end(); ++it) {
          circle += describe(*it, it + 1 == path.end() ? next : *(it + 1)) + "; ";
        }
        circles.push_back(circle);
      } else if (state[next] == 0) {
        visit(next);
      }
    }
    path.pop_back();
    state[node] = 2;
  };
  for (const auto& [node, targets] : edges) {
    if (state[node] == 0) visit(node);
  }
  return circles;
}

// A file and its header are one node: "desktop/qt/qt_page".
std::string NodeOf(const std::string& path) { return fs::path(path).replace_extension().generic_string(); }

// The build's targets as tests/layout/CMakeLists.txt writes them out.
struct Build {
  std::map<std::string, std::set<std::string>> links;    // target: the targets it links
  std::map<std::string, std::set<std::string>> owners;   // source file: the targets that compile it

  static Build Read(const fs::path& file) {
    Build build;
    std::ifstream in(file);
    std::string line, target;
    while (std::getline(in, line)) {
      const size_t space = line.find(' ');
      if (space == std::string::npos) continue;
      const std::string kind = line.substr(0, space), value = line.substr(space + 1);
      if (kind == "target") {
        target = value;
        build.links[target];
      } else if (kind == "link") {
        build.links[target].insert(value);
      } else if (kind == "source") {
        const fs::path source = fs::path(value).lexically_normal().lexically_relative(kRoot);
        if (!source.empty() && *source.begin() != "..") build.owners[source.generic_string()].insert(target);
      }
    }
    return build;
  }

  // The targets that compile `file`; for a header, those of its source, or
  // else of every source beside it. Empty for a file this build leaves out.
  std::set<std::string> OwnersOf(const std::string& file) const {
    if (const auto own = owners.find(file); own != owners.end()) return own->second;
    if (fs::path(file).extension() != ".h") return {};
    if (const auto source = owners.find(NodeOf(file) + ".cpp"); source != owners.end()) return source->second;
    std::set<std::string> beside;
    const std::string folder = fs::path(file).parent_path().generic_string();
    for (const auto& [source, targets] : owners) {
      if (fs::path(source).parent_path().generic_string() == folder) beside.insert(targets.begin(), targets.end());
    }
    return beside;
  }

  // `target` and everything it links, directly or through what it links.
  std::set<std::string> Reach(const std::string& target) const {
    std::set<std::string> seen{target};
    std::vector<std::string> todo{target};
    while (!todo.empty()) {
      const auto out = links.find(todo.back());
      todo.pop_back();
      if (out == links.end()) continue;
      for (const std::string& next : out->second) {
        if (seen.insert(next).second) todo.push_back(next);
      }
    }
    return seen;
  }
};

class IncludeRules : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { includes_ = new std::vector<Include>(ProjectIncludes()); }
  static void TearDownTestSuite() { delete includes_; }
  static const std::vector<Include>& Includes() { return *includes_; }

  // Every include from a file under one of `from` into one of `into`.
  static std::vector<std::string> Breaches(const std::vector<std::string>& from,
                                           const std::vector<std::string>& into) {
    std::vector<std::string> found;
    for (const Include& include : Includes()) {
      const bool source = std::any_of(from.begin(), from.end(), [&](const auto& f) { return StartsWith(include.file, f); });
      const bool target = std::any_of(into.begin(), into.end(), [&](const auto& t) { return StartsWith(include.target, t); });
      if (source && target) found.push_back(include.file + " -> " + include.target);
    }
    return found;
  }

 private:
  static std::vector<Include>* includes_;
};
std::vector<Include>* IncludeRules::includes_ = nullptr;

TEST_F(IncludeRules, TheTreeIsRead) {
  // A wrong root would pass every rule below without looking at anything.
  EXPECT_GT(Includes().size(), 200u);
}

TEST_F(IncludeRules, CommonDependsOnNothingOfOurs) {
  EXPECT_EQ(Breaches({"common/"}, {"desktop/", "device/", "emulator/", "rapi/", "tools/"}),
            std::vector<std::string>{});
}

TEST_F(IncludeRules, NothingOutsideTheDesktopIncludesIt) {
  EXPECT_EQ(Breaches({"emulator/", "rapi/", "tools/", "device/", "common/"}, {"desktop/"}),
            std::vector<std::string>{});
}

TEST_F(IncludeRules, LowerDesktopFoldersKnowNoPagesHostOrApp) {
  EXPECT_EQ(Breaches({"desktop/platform/", "desktop/session/", "desktop/image/", "desktop/bootlink/",
                      "desktop/handheld/", "desktop/resources/"},
                     {"desktop/pages/", "desktop/qt/", "desktop/automation/", "desktop/app/"}),
            std::vector<std::string>{});
}

TEST_F(IncludeRules, OnlyTheAppIncludesTheApp) {
  std::vector<std::string> breaches;
  for (const std::string& b : Breaches({"desktop/", "device/", "emulator/", "rapi/", "tools/", "common/"}, {"desktop/app/"})) {
    if (!StartsWith(b, "desktop/app/")) breaches.push_back(b);
  }
  EXPECT_EQ(breaches, std::vector<std::string>{});
}

TEST_F(IncludeRules, NoCircleBetweenFolders) {
  std::map<std::string, std::set<std::string>> edges;
  std::map<std::pair<std::string, std::string>, std::string> example;
  for (const Include& include : Includes()) {
    const std::string from = FolderOf(include.file);
    const std::string to = FolderOf(include.target);
    if (from == to) continue;
    edges[from].insert(to);
    example.emplace(std::make_pair(from, to), include.file + " -> " + include.target);
  }
  EXPECT_EQ(Circles(edges, [&](const std::string& from, const std::string& to) { return example[{from, to}]; }),
            std::vector<std::string>{});
}

TEST_F(IncludeRules, NoCircleBetweenFiles) {
  Graph edges;
  for (const Include& include : Includes()) {
    const std::string from = NodeOf(include.file);
    const std::string to = NodeOf(include.target);
    if (from != to) edges[from].insert(to);
  }
  EXPECT_EQ(Circles(edges, [](const std::string& from, const std::string& to) { return from + " -> " + to; }),
            std::vector<std::string>{});
}

TEST_F(IncludeRules, EveryIncludeFollowsADeclaredLink) {
  const Build build = Build::Read(kTargetGraph);
  // A wrong graph file would find every include undeclared or none.
  ASSERT_GT(build.owners.size(), 100u) << kTargetGraph;
  // Every target that compiles a source must reach the included header's
  // target; a header is declared when one of its own targets does.
  std::vector<std::string> undeclared;
  for (const Include& include : Includes()) {
    // A header the build writes (the resource ids) belongs to the target
    // that generates it, which the sources beside it do not say.
    if (!fs::exists(kRoot / include.target)) continue;
    const std::set<std::string> into = build.OwnersOf(include.target);
    const std::set<std::string> from = build.OwnersOf(include.file);
    if (into.empty() || from.empty()) continue;
    std::vector<std::string> missing;
    for (const std::string& target : from) {
      const std::set<std::string> reach = build.Reach(target);
      if (std::none_of(into.begin(), into.end(), [&](const auto& t) { return reach.count(t) != 0; })) {
        missing.push_back(target);
      }
    }
    const bool header = fs::path(include.file).extension() == ".h";
    if (missing.empty() || (header && missing.size() < from.size())) continue;
    undeclared.push_back(missing.front() + ": " + include.file + " -> " + include.target);
  }
  EXPECT_EQ(undeclared, std::vector<std::string>{});
}

TEST(FolderOf, CutsTwoLevelsUnderDesktopDeviceAndEmulatorAndOneElsewhere) {
  EXPECT_EQ(FolderOf("desktop/app/driver/wizard_driver.cpp"), "desktop/app");
  EXPECT_EQ(FolderOf("device/zembra/write_area.cpp"), "device/zembra");
  EXPECT_EQ(FolderOf("emulator/havlok/havlok.cpp"), "emulator/havlok");
  EXPECT_EQ(FolderOf("emulator/command_line.cpp"), "emulator");
  EXPECT_EQ(FolderOf("common/clock.h"), "common");
}

}  // namespace
