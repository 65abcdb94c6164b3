// The emulated handheld's side of the sync link: rapi.sock in the prefix,
// served by its sync software (the real wcescomm.exe) while it runs its
// system, its file store and power as the desktop's client sees them, and
// what `ctl` and `fault` do to it.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <memory>
#include <sstream>
#include <string>

#include "emulator/command_line.h"
#include "emulator/emulated_handheld.h"
#include "emulator/handheld_state.h"
#include "rapi/socket_remote_api.h"
#include "tests/emulator/temp_folder.h"

namespace corvash::emulator {
namespace {

constexpr uint32_t kWaitMs = 100000;

class HandheldRemoteApiTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string error;
    ASSERT_TRUE(InitHandheld(State(), {}, &error)) << error;
    std::filesystem::create_directories(Prefix());
    handheld_ = EmulatedHandheld::Open(State(), &error);
    ASSERT_NE(handheld_, nullptr) << error;
    ServeOptions options;
    options.syncPrograms = std::filesystem::path(K5210_EMU_PATH).parent_path();
    ASSERT_TRUE(handheld_->Start(Prefix(), "com1", &error, options)) << error;
  }
  std::filesystem::path State() const { return folder_.Path() / "state"; }
  std::filesystem::path Prefix() const { return folder_.Path() / "prefix"; }
  std::filesystem::path Socket() const { return Prefix() / "rapi.sock"; }
  void Ctl(const std::string& action) {
    std::string error;
    ASSERT_TRUE(handheld_->Control(action, &error)) << error;
  }
  bool Linked(rapi::SocketRemoteApi& api) {
    rapi::RapiInitRecord init;
    return api.CeRapiInitEx(init) == rapi::S_OK && init.heRapiInit->Wait(kWaitMs);
  }
  std::string Show(const std::string& what) {
    const std::string state = State().string();
    const char* argv[] = {"k5210-emu", "show", state.c_str(), what.c_str()};
    std::ostringstream out, err;
    EXPECT_EQ(RunCommandLine(4, argv, out, err), 0) << err.str();
    return out.str();
  }

  test::TempFolder folder_;
  std::unique_ptr<EmulatedHandheld> handheld_;
};

TEST_F(HandheldRemoteApiTest, ServesTheStoreAndPowerWhileInItsSystem) {
  struct stat info {};
  ASSERT_EQ(::stat(Socket().c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0600u);
  EXPECT_EQ(Show("--clock").substr(0, 16), "2003-01-01 00:00");  // running since init

  rapi::SocketRemoteApi desktop(Socket());
  ASSERT_TRUE(Linked(desktop));
  const rapi::CeHandle file =
      desktop.CeCreateFile(u"\\Windows\\Zembra.dll", rapi::GENERIC_WRITE, rapi::FILE_SHARE_READ, rapi::CREATE_ALWAYS, 0);
  ASSERT_NE(file, rapi::kInvalidHandle);
  const uint8_t bytes[5] = {1, 2, 3, 4, 5};
  uint32_t done = 0;
  EXPECT_NE(desktop.CeWriteFile(file, bytes, done), 0);
  EXPECT_NE(desktop.CeCloseHandle(file), 0);
  EXPECT_EQ(Show("--files"), "\\Windows\\Zembra.dll 5\n");

  rapi::CePowerStatus status;
  ASSERT_NE(desktop.CeGetSystemPowerStatusEx(status, 1), 0);
  EXPECT_EQ(status.ACLineStatus, 1);
  Ctl("battery");
  ASSERT_NE(desktop.CeGetSystemPowerStatusEx(status, 1), 0);
  EXPECT_EQ(status.ACLineStatus, 0);
  Ctl("mains");
  ASSERT_NE(desktop.CeGetSystemPowerStatusEx(status, 1), 0);
  EXPECT_EQ(status.ACLineStatus, 1);
}

TEST_F(HandheldRemoteApiTest, BootLoaderSilencesTheRemoteApiUntilTheSystemIsBack) {
  rapi::SocketRemoteApi desktop(Socket());
  ASSERT_TRUE(Linked(desktop));
  Ctl("bootloader");
  EXPECT_FALSE(std::filesystem::exists(Socket()));
  rapi::CePowerStatus status;
  EXPECT_EQ(desktop.CeGetSystemPowerStatusEx(status, 1), 0);
  desktop.CeRapiUninit();
  rapi::RapiInitRecord init;
  ASSERT_EQ(desktop.CeRapiInitEx(init), rapi::S_OK);
  EXPECT_FALSE(init.heRapiInit->Wait(1000));

  Ctl("system");
  EXPECT_TRUE(init.heRapiInit->Wait(kWaitMs));
  EXPECT_NE(desktop.CeGetSystemPowerStatusEx(status, 1), 0);
  Ctl("unplug");  // no cable, no sync link
  EXPECT_EQ(desktop.CeGetSystemPowerStatusEx(status, 1), 0);
}

TEST_F(HandheldRemoteApiTest, RefuseFileFaultLetsNCreationsThrough) {
  rapi::SocketRemoteApi desktop(Socket());
  ASSERT_TRUE(Linked(desktop));
  std::string error;
  const auto fault = ParseFaultWords({"refuse-file", "backup.exe", "1"}, &error);
  ASSERT_TRUE(fault) << error;
  ASSERT_TRUE(handheld_->ArmFault(*fault, &error)) << error;
  const auto create = [&](const std::u16string& path) {
    const rapi::CeHandle file = desktop.CeCreateFile(path, rapi::GENERIC_WRITE, 0, rapi::CREATE_ALWAYS, 0);
    return file != rapi::kInvalidHandle && desktop.CeCloseHandle(file) != 0;
  };
  EXPECT_TRUE(create(u"\\Temp\\backup.exe"));
  EXPECT_TRUE(create(u"\\Temp\\other.bin"));
  EXPECT_FALSE(create(u"\\Temp\\BACKUP.EXE"));
  EXPECT_FALSE(create(u"\\Windows\\backup.exe"));
  ASSERT_TRUE(handheld_->ArmFault({FaultKind::Clear, 0, {}}, &error)) << error;
  EXPECT_TRUE(create(u"\\Temp\\backup.exe"));
}

}  // namespace
}  // namespace corvash::emulator
