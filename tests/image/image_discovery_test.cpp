#include "desktop/image/image_discovery.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "common/fixed_text.h"
#include "tests/image/image_test_support.h"

namespace corvash::image {
namespace {

using common::CopyText;
using common::TextOf;

class ImageDiscoveryTest : public testing::ImageFixture {
 protected:
  void SetUp() override {
    ImageFixture::SetUp();
    programDir = dir / "program";
    std::filesystem::create_directory(programDir);
    CopyText(paths.programDir, programDir.string());
  }
  void MakeFile(const std::string& name, size_t size) {
    testing::WriteFile(programDir / name, std::vector<uint8_t>(size, 0x5A));
  }
  // The listing's order as the file system gives it.
  std::vector<std::string> ListingOrder() const {
    std::vector<std::string> names;
    DIR* d = ::opendir(programDir.c_str());
    while (const dirent* e = ::readdir(d)) names.push_back(e->d_name);
    ::closedir(d);
    return names;
  }

  std::filesystem::path programDir;
};

TEST_F(ImageDiscoveryTest, ListingsFirstImageWinsForUpdateAndSize) {
  // Sizes tell the images apart; many names make it unlikely that the
  // listing order matches any sorted order by chance.
  for (int i = 0; i < 12; ++i) MakeFile("rom" + std::to_string(i) + ".nbf", 1000 + static_cast<size_t>(i));
  MakeFile("readme.doc", 5);
  std::string first;
  for (const std::string& name : ListingOrder()) {
    if (name.size() > 4 && name.substr(name.size() - 4) == ".nbf") {
      first = name;
      break;
    }
  }
  ASSERT_FALSE(first.empty());
  ASSERT_EQ(FindImageInProgramDir(paths, image), ImageOutcome::kOk);
  EXPECT_EQ(TextOf(image.imagePath), (programDir / first).string());
  EXPECT_EQ(TextOf(image.foundImagePath), (programDir / first).string());
  EXPECT_EQ(FirstImageSize(paths), std::filesystem::file_size(programDir / first));
}

TEST_F(ImageDiscoveryTest, NameEndingInNbfWithoutADotCounts) {
  MakeFile("romxNBF", 321);
  ASSERT_EQ(FindImageInProgramDir(paths, image), ImageOutcome::kOk);
  EXPECT_EQ(TextOf(image.imagePath), (programDir / "romxNBF").string());
  EXPECT_EQ(FirstImageSize(paths), 321u);
}

TEST_F(ImageDiscoveryTest, FolderNamedLikeAnImageIsSkipped) {
  std::filesystem::create_directory(programDir / "old.nbf");
  EXPECT_EQ(FirstImageSize(paths), 0u);
  EXPECT_EQ(FindImageInProgramDir(paths, image), ImageOutcome::kNoImage);

  MakeFile("new.nbf", 77);
  EXPECT_EQ(FindImageInProgramDir(paths, image), ImageOutcome::kOk);
  EXPECT_EQ(TextOf(image.imagePath), (programDir / "new.nbf").string());
}

TEST_F(ImageDiscoveryTest, PipeNamedLikeAnImageIsSkipped) {
  ASSERT_EQ(::mkfifo((programDir / "pipe.nbf").c_str(), 0600), 0);
  EXPECT_EQ(FirstImageSize(paths), 0u);
}

TEST_F(ImageDiscoveryTest, MissingProgramFolderHoldsNoImage) {
  CopyText(paths.programDir, (dir / "nowhere").string());
  EXPECT_EQ(FindImageInProgramDir(paths, image), ImageOutcome::kNoImage);
  EXPECT_EQ(FirstImageSize(paths), 0u);
}

TEST_F(ImageDiscoveryTest, EntryWhosePathWouldNotFitIsPassedOver) {
  // programDir + "/" + name of 259 bytes fits; of 260 does not.
  const size_t room = session::kPathCapacity - 1 - programDir.string().size() - 1;
  const std::string fits = std::string(room - 3, 'a') + "nbf";
  const std::string tooLong = std::string(room - 2, 'b') + "nbf";
  MakeFile(tooLong, 10);
  EXPECT_EQ(FirstImageSize(paths), 0u);
  MakeFile(fits, 20);
  EXPECT_EQ(FirstImageSize(paths), 20u);
  ASSERT_EQ(FindImageInProgramDir(paths, image), ImageOutcome::kOk);
  EXPECT_EQ(TextOf(image.imagePath), (programDir / fits).string());
}

using ImageFileSizeTest = testing::ImageFixture;

TEST_F(ImageFileSizeTest, GivesTheSizeInBytes) {
  testing::WriteFile(dir / "a.nbf", std::vector<uint8_t>(4097, 1));
  EXPECT_EQ(ImageFileSize((dir / "a.nbf").string()), 4097u);
}

// Cut to its low 32 bits, the size would pass for 5 bytes.
TEST_F(ImageFileSizeTest, SizeOf4GiBAndMoreIsNotTakenForASmallOne) {
  const std::string path = (dir / "huge.nbf").string();
  const int fd = ::open(path.c_str(), O_CREAT | O_WRONLY, 0600);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(::ftruncate(fd, (off_t{1} << 32) + 5), 0);
  ::close(fd);
  EXPECT_EQ(ImageFileSize(path), 0xFFFFFFFFu);
}

TEST_F(ImageFileSizeTest, UnopenableFileHasNoSize) {
  EXPECT_EQ(ImageFileSize((dir / "gone.nbf").string()), std::nullopt);
}

}  // namespace
}  // namespace corvash::image
