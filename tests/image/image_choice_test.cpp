#include "desktop/image/image_choice.h"

#include <deque>

#include "desktop/image/disk_space.h"
#include "desktop/image/file_chooser.h"
#include "common/fixed_text.h"
#include "tests/image/image_test_support.h"

namespace corvash::image {
namespace {

using common::CopyText;
using common::TextOf;

// Answers from a queue (nullopt = cancel) and keeps every request.
class ScriptedChooser : public FileChooser {
 public:
  explicit ScriptedChooser(std::vector<std::string>& log) : log_(log) {}
  std::optional<std::string> Open(const FileDialogRequest& request) override { return Answer("open", request); }
  std::optional<std::string> Save(const FileDialogRequest& request) override { return Answer("save", request); }

  std::deque<std::optional<std::string>> answers;
  std::vector<FileDialogRequest> requests;

 private:
  std::optional<std::string> Answer(const char* kind, const FileDialogRequest& request) {
    log_.push_back(kind);
    requests.push_back(request);
    if (answers.empty()) return std::nullopt;
    auto answer = answers.front();
    answers.pop_front();
    return answer;
  }
  std::vector<std::string>& log_;
};

class FixedDiskSpace : public DiskSpace {
 public:
  std::optional<uint64_t> AvailableBytes(const std::string& path) override {
    asked.push_back(path);
    return available;
  }
  std::optional<uint64_t> available = uint64_t{1} << 40;
  std::vector<std::string> asked;
};

// Answers the replace question from a queue (empty: replace).
class ScriptedReplace : public ReplaceQuestion {
 public:
  explicit ScriptedReplace(std::vector<std::string>& log) : log_(log) {}
  bool MayReplace() override {
    log_.push_back("replace?");
    if (answers.empty()) return true;
    const bool answer = answers.front();
    answers.pop_front();
    return answer;
  }
  std::deque<bool> answers;

 private:
  std::vector<std::string>& log_;
};

class ChooserFixture : public testing::ImageFixture {
 protected:
  void SetUp() override {
    ImageFixture::SetUp();
    home = dir / "home";
    std::filesystem::create_directory(home);
    savedHome = std::getenv("HOME") ? std::getenv("HOME") : "";
    ::setenv("HOME", home.c_str(), 1);
    savedCwd = std::filesystem::current_path();
    std::filesystem::current_path(dir);
    CopyText(handheld.deviceVersion, "2.04");
  }
  void TearDown() override {
    std::filesystem::current_path(savedCwd);
    ::setenv("HOME", savedHome.c_str(), 1);
    ImageFixture::TearDown();
  }
  std::string Existing(const std::string& name) {
    testing::WriteFile(dir / name, {1, 2, 3});
    return (dir / name).string();
  }

  ImageOutcome ChooseBackup() { return ChooseBackupTarget(handheld, {chooser, space, replace}, paths); }

  ScriptedChooser chooser{log};
  FixedDiskSpace space;
  ScriptedReplace replace{log};
  std::filesystem::path home;
  std::string savedHome;
  std::filesystem::path savedCwd;
};

using ChooseRestoreImageTest = ChooserFixture;

TEST_F(ChooseRestoreImageTest, ChosenFileBecomesTheImagePath) {
  chooser.answers = {Existing("backup.nbf")};
  EXPECT_EQ(ChooseRestoreImage(chooser, image), ImageOutcome::kOk);
  EXPECT_EQ(TextOf(image.imagePath), (dir / "backup.nbf").string());
  ASSERT_EQ(chooser.requests.size(), 1u);
  const FileDialogRequest& request = chooser.requests[0];
  EXPECT_EQ(request.owner, ChooserOwner::kMainWindow);
  EXPECT_TRUE(request.mustExist);
  ASSERT_EQ(request.filters.size(), 2u);
  EXPECT_EQ(request.filters[0].label, "ROM image (*.nbf)");
  EXPECT_EQ(request.filters[0].pattern, "*.nbf");
  EXPECT_EQ(request.filters[1].label, "All files (*.*)");
  EXPECT_EQ(request.filters[1].pattern, "*.*");
  EXPECT_EQ(request.defaultExtension, "nbf");
  EXPECT_EQ(request.initialFolder, home.string());
  EXPECT_EQ(request.initialName, "");
}

TEST_F(ChooseRestoreImageTest, CancelLeavesTheImagePathEmpty) {
  CopyText(image.imagePath, "/old/image.nbf");
  chooser.answers = {std::nullopt};
  EXPECT_EQ(ChooseRestoreImage(chooser, image), ImageOutcome::kCancelled);
  EXPECT_EQ(TextOf(image.imagePath), "");
}

TEST_F(ChooseRestoreImageTest, PathThatTheFieldCannotHoldCountsAsCancelled) {
  chooser.answers = {"/" + std::string(259, 'p'), "/" + std::string(258, 'q')};
  EXPECT_EQ(ChooseRestoreImage(chooser, image), ImageOutcome::kCancelled);
  EXPECT_EQ(TextOf(image.imagePath), "");
  EXPECT_EQ(ChooseRestoreImage(chooser, image), ImageOutcome::kOk);
  EXPECT_EQ(TextOf(image.imagePath).size(), 259u);
}

using ChooseBackupTargetTest = ChooserFixture;

TEST_F(ChooseBackupTargetTest, ProposesTheNameFromTheDeviceVersion) {
  chooser.answers = {(dir / "QUORROM204.nbf").string()};
  EXPECT_EQ(ChooseBackup(), ImageOutcome::kOk);
  ASSERT_EQ(chooser.requests.size(), 1u);
  EXPECT_EQ(chooser.requests[0].initialName, "QUORROM204");
  EXPECT_EQ(chooser.requests[0].owner, ChooserOwner::kOptionPage);
  EXPECT_TRUE(chooser.requests[0].keepCurrentDir);
  EXPECT_FALSE(chooser.requests[0].mustExist);
  EXPECT_EQ(chooser.requests[0].defaultExtension, "nbf");
  EXPECT_EQ(TextOf(paths.backupPath), (dir / "QUORROM204.nbf").string());
  EXPECT_EQ(space.asked, (std::vector<std::string>{(dir / "QUORROM204.nbf").string()}));
  EXPECT_EQ(log, (std::vector<std::string>{"save"}));
}

TEST(ProposedBackupNameTest, TakesCharactersZeroTwoAndThree) {
  EXPECT_EQ(ProposedBackupName("2.04"), "QUORROM204");
  EXPECT_EQ(ProposedBackupName("3.10a"), "QUORROM310");
  EXPECT_EQ(ProposedBackupName("2."), "QUORROM2");
  EXPECT_EQ(ProposedBackupName(""), "QUORROM");
}

TEST_F(ChooseBackupTargetTest, CancelReturnsToTheOptionPage) {
  chooser.answers = {std::nullopt};
  EXPECT_EQ(ChooseBackup(), ImageOutcome::kCancelled);
  EXPECT_EQ(log, (std::vector<std::string>{"save"}));
  EXPECT_TRUE(space.asked.empty());
}

TEST_F(ChooseBackupTargetTest, ExactlyTheNeededSpacePassesOneByteLessFails) {
  const std::string target = (dir / "b.nbf").string();
  space.available = 0x3000000;
  chooser.answers = {target};
  EXPECT_EQ(ChooseBackup(), ImageOutcome::kOk);

  space.available = 0x3000000 - 1;
  chooser.answers = {target};
  EXPECT_EQ(ChooseBackup(), ImageOutcome::kNoSpace);
  EXPECT_EQ(TextOf(paths.backupPath), target);
}

TEST_F(ChooseBackupTargetTest, UnknownFreeSpaceCountsAsNotEnough) {
  space.available = std::nullopt;
  chooser.answers = {(dir / "b.nbf").string()};
  EXPECT_EQ(ChooseBackup(), ImageOutcome::kNoSpace);
}

TEST_F(ChooseBackupTargetTest, ReplacingAnExistingFileIsAskedFirst) {
  const std::string existing = Existing("old.nbf");
  chooser.answers = {existing};
  EXPECT_EQ(ChooseBackup(), ImageOutcome::kOk);
  EXPECT_EQ(log, (std::vector<std::string>{"save", "replace?"}));
  EXPECT_EQ(TextOf(paths.backupPath), existing);
}

TEST_F(ChooseBackupTargetTest, AbbrechenOnTheWarningChoosesAgain) {
  const std::string existing = Existing("old.nbf");
  const std::string other = Existing("older.nbf");
  const std::string fresh = (dir / "new.nbf").string();
  chooser.answers = {existing, other, fresh};
  replace.answers = {false, false};
  EXPECT_EQ(ChooseBackup(), ImageOutcome::kOk);
  EXPECT_EQ(log, (std::vector<std::string>{"save", "replace?", "save", "replace?", "save"}));
  ASSERT_EQ(chooser.requests.size(), 3u);
  EXPECT_EQ(chooser.requests[1].initialName, existing);
  EXPECT_EQ(TextOf(paths.backupPath), fresh);
}

TEST_F(ChooseBackupTargetTest, CancelAfterTheWarningIsCancelled) {
  chooser.answers = {Existing("old.nbf"), std::nullopt};
  replace.answers = {false};
  EXPECT_EQ(ChooseBackup(), ImageOutcome::kCancelled);
  EXPECT_EQ(log, (std::vector<std::string>{"save", "replace?", "save"}));
  EXPECT_TRUE(space.asked.empty());
}

using ChooserFolderTest = ChooserFixture;

TEST_F(ChooserFolderTest, WindowsFolderTextIsTakenOnlyWhereSuchAFolderExists) {
  EXPECT_EQ(ChooserInitialFolderFor(1), home.string());
  EXPECT_EQ(ChooserInitialFolderFor(0), home.string());
  std::filesystem::create_directory(dir / "%USERPROFILE%\\Eigene Dateien");
  EXPECT_EQ(ChooserInitialFolderFor(1), "%USERPROFILE%\\Eigene Dateien");
  EXPECT_EQ(ChooserInitialFolderFor(0), home.string());
  std::filesystem::create_directory(dir / "c:\\Eigene Dateien");
  EXPECT_EQ(ChooserInitialFolderFor(0), "c:\\Eigene Dateien");
}

TEST_F(ChooserFolderTest, FamilyComesFromTheSystemHive) {
  std::filesystem::create_directory(dir / "%USERPROFILE%\\Eigene Dateien");
  EXPECT_EQ(ChooserInitialFolder(), home.string());
  testing::WriteFile(dir / "system.reg",
                     [] {
                       const std::string text =
                           "REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion]\n"
                           "\"CurrentVersion\"=\"5.1\"\n";
                       return std::vector<uint8_t>(text.begin(), text.end());
                     }());
  EXPECT_EQ(ChooserInitialFolder(), "%USERPROFILE%\\Eigene Dateien");
}

TEST(StatvfsDiskSpaceTest, MeasuresTheTargetsFolder) {
  StatvfsDiskSpace space;
  const std::optional<uint64_t> bytes = space.AvailableBytes("/tmp/corvash-not-yet-written.nbf");
  ASSERT_TRUE(bytes.has_value());
  EXPECT_GT(*bytes, 0u);
  EXPECT_FALSE(space.AvailableBytes("/nonexistent-folder/target.nbf").has_value());
}

}  // namespace
}  // namespace corvash::image
