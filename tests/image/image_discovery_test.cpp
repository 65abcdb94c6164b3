#include "desktop/image/image_discovery.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "common/fixed_text.h"
#include "rapi/remote_api.h"
#include "tests/image/image_test_support.h"

namespace corvash::image {
namespace {

using platform::CopyText;
using platform::TextOf;

// Counts session shutdowns; every other call fails.
class CountingRemoteApi : public rapi::RemoteApi {
 public:
  rapi::HRESULT CeRapiInitEx(rapi::RapiInitRecord&) override { return rapi::E_FAIL; }
  rapi::HRESULT CeRapiUninit() override {
    ++uninits;
    return rapi::S_OK;
  }
  rapi::HRESULT CeRapiInvoke(const std::u16string&, const std::u16string&, std::span<const uint8_t>,
                             std::vector<uint8_t>&) override {
    return rapi::E_FAIL;
  }
  uint32_t CeGetLastError() override { return 0; }
  rapi::HRESULT CeRapiGetError() override { return rapi::E_FAIL; }
  rapi::CeHandle CeCreateFile(const std::u16string&, uint32_t, uint32_t, uint32_t, uint32_t) override {
    return rapi::kInvalidHandle;
  }
  int32_t CeWriteFile(rapi::CeHandle, std::span<const uint8_t>, uint32_t& done) override { return done = 0; }
  int32_t CeReadFile(rapi::CeHandle, std::span<uint8_t>, uint32_t& done) override { return done = 0; }
  int32_t CeCloseHandle(rapi::CeHandle) override { return 0; }
  int32_t CeDeleteFile(const std::u16string&) override { return 0; }
  int32_t CeMoveFile(const std::u16string&, const std::u16string&) override { return 0; }
  int32_t CeCreateProcess(const std::u16string&) override { return 0; }
  int32_t CeGetSystemPowerStatusEx(rapi::CePowerStatus&, int32_t) override { return 0; }
  int uninits = 0;
};

class ImageDiscoveryTest : public testing::ImageFixture {
 protected:
  void SetUp() override {
    ImageFixture::SetUp();
    programDir = dir / "program";
    std::filesystem::create_directory(programDir);
    CopyText(session::Session().programDir, programDir.string());
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
  ASSERT_EQ(FindImageInProgramDir(), 1u);
  EXPECT_EQ(TextOf(session::Session().imagePath), (programDir / first).string());
  EXPECT_EQ(TextOf(session::Session().foundImagePath), (programDir / first).string());
  EXPECT_EQ(FirstImageSize(), std::filesystem::file_size(programDir / first));
  EXPECT_TRUE(host.log.empty());
}

TEST_F(ImageDiscoveryTest, NameEndingInNbfWithoutADotCounts) {
  MakeFile("romxNBF", 321);
  ASSERT_EQ(FindImageInProgramDir(), 1u);
  EXPECT_EQ(TextOf(session::Session().imagePath), (programDir / "romxNBF").string());
  EXPECT_EQ(FirstImageSize(), 321u);
}

TEST_F(ImageDiscoveryTest, FolderNamedLikeAnImageIsSkipped) {
  std::filesystem::create_directory(programDir / "old.nbf");
  EXPECT_EQ(FirstImageSize(), 0u);
  EXPECT_EQ(FindImageInProgramDir(), 0u);
  EXPECT_EQ(host.log, (std::vector<std::string>{"page 140"}));
  EXPECT_FALSE(MainWindowOpen());

  MakeFile("new.nbf", 77);
  session::Session().mainWindow = 1;
  EXPECT_EQ(FindImageInProgramDir(), 1u);
  EXPECT_EQ(TextOf(session::Session().imagePath), (programDir / "new.nbf").string());
}

TEST_F(ImageDiscoveryTest, PipeNamedLikeAnImageIsSkipped) {
  ASSERT_EQ(::mkfifo((programDir / "pipe.nbf").c_str(), 0600), 0);
  EXPECT_EQ(FirstImageSize(), 0u);
}

TEST_F(ImageDiscoveryTest, MissingProgramFolderShows103) {
  CopyText(session::Session().programDir, (dir / "nowhere").string());
  EXPECT_EQ(FindImageInProgramDir(), 0u);
  EXPECT_EQ(host.log, (std::vector<std::string>{"page 140"}));
  EXPECT_EQ(FirstImageSize(), 0u);
}

TEST_F(ImageDiscoveryTest, EntryWhosePathWouldNotFitIsPassedOver) {
  // programDir + "/" + name of 259 bytes fits; of 260 does not.
  const size_t room = session::kPathCapacity - 1 - programDir.string().size() - 1;
  const std::string fits = std::string(room - 3, 'a') + "nbf";
  const std::string tooLong = std::string(room - 2, 'b') + "nbf";
  MakeFile(tooLong, 10);
  EXPECT_EQ(FirstImageSize(), 0u);
  MakeFile(fits, 20);
  EXPECT_EQ(FirstImageSize(), 20u);
  ASSERT_EQ(FindImageInProgramDir(), 1u);
  EXPECT_EQ(TextOf(session::Session().imagePath), (programDir / fits).string());
}

class ImageFileSizeTest : public testing::ImageFixture {
 protected:
  void SetUp() override {
    ImageFixture::SetUp();
    previous = rapi::InstallRemoteApi(&api);
  }
  void TearDown() override {
    rapi::InstallRemoteApi(previous);
    ImageFixture::TearDown();
  }
  CountingRemoteApi api;
  rapi::RemoteApi* previous = nullptr;
};

TEST_F(ImageFileSizeTest, GivesTheSizeInBytes) {
  testing::WriteFile(dir / "a.nbf", std::vector<uint8_t>(4097, 1));
  EXPECT_EQ(ImageFileSize((dir / "a.nbf").string()), 4097u);
  EXPECT_EQ(api.uninits, 0);
  EXPECT_TRUE(host.log.empty());
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

TEST_F(ImageFileSizeTest, UnopenableFileEndsTheSessionAndShows104) {
  EXPECT_EQ(ImageFileSize((dir / "gone.nbf").string()), 0u);
  EXPECT_EQ(api.uninits, 1);
  EXPECT_EQ(host.log, (std::vector<std::string>{"page 141"}));
  EXPECT_FALSE(MainWindowOpen());
}

}  // namespace
}  // namespace corvash::image
