// The include graph of the code (tests aside) keeps the layout's rules:
// dependencies point down, and no two folders include each other, directly
// or round a circle.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <regex>
#include <set>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

const fs::path kRoot = CORVASH_SOURCE_DIR;
const std::vector<std::string> kTopFolders = {"common", "desktop", "device", "emulator", "rapi", "tools"};

// The folder a file or an include belongs to: two levels under desktop/ and
// device/ (desktop/bootlink, device/zembra), one level elsewhere.
std::string FolderOf(const std::string& path) {
  const size_t first = path.find('/');
  if (first == std::string::npos) return path;
  const std::string top = path.substr(0, first);
  if (top != "desktop" && top != "device") return top;
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
                      "desktop/device/", "desktop/resources/"},
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
  // Depth-first search; a back edge closes a circle.
  std::map<std::string, int> state;  // 0 new, 1 on the path, 2 done
  std::vector<std::string> path;
  std::vector<std::string> circles;
  std::function<void(const std::string&)> visit = [&](const std::string& node) {
    state[node] = 1;
    path.push_back(node);
    for (const std::string& next : edges[node]) {
      if (state[next] == 1) {
        std::string circle;
        auto at = std::find(path.begin(), path.end(), next);
        for (auto it = at; it != path.end(); ++it) {
          const std::string& to = (it + 1 == path.end()) ? next : *(it + 1);
          circle += example[{*it, to}] + "; ";
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
  EXPECT_EQ(circles, std::vector<std::string>{});
}

TEST(FolderOf, CutsTwoLevelsUnderDesktopAndDeviceAndOneElsewhere) {
  EXPECT_EQ(FolderOf("desktop/app/driver/wizard_driver.cpp"), "desktop/app");
  EXPECT_EQ(FolderOf("device/zembra/write_area.cpp"), "device/zembra");
  EXPECT_EQ(FolderOf("emulator/havlok/havlok.cpp"), "emulator");
  EXPECT_EQ(FolderOf("common/clock.h"), "common");
}

}  // namespace
