#pragma once
// A run of the wizard in a real temporary prefix (system.reg, windows/), with
// the scripted page host, the operation doubles and a remote API whose link
// comes up. The test owns the run's values, as the program does.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "desktop/app/driver/wizard_driver.h"
#include "desktop/session/update_session.h"
#include "rapi/remote_api.h"
#include "tests/driver/driver_doubles.h"

namespace corvash::driver::doubles {

inline constexpr const char* kImageBesideProgram = "/opt/corvash/QUOR204.nbf";
inline constexpr const char* kBackupImage = "/home/user/QUORROM204.nbf";
inline constexpr const char* kStoredImage = "/home/user/interrupted.nbf";

class DriverTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/corvash-driver-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    prefix_ = pattern;
    if (const char* old = std::getenv("CORVASH_PREFIX")) oldPrefix_ = old;
    setenv("CORVASH_PREFIX", prefix_.c_str(), 1);
    std::filesystem::create_directories(prefix_ / "windows");
    WriteActiveSyncVersion(4, 0);

    run.flow.mainWindow = 1;
    api.linked = true;
    ops.images.besideProgram = kImageBesideProgram;
    ops.images.files[kImageBesideProgram] = FakeImage{};
  }

  void TearDown() override {
    if (oldPrefix_.empty()) {
      unsetenv("CORVASH_PREFIX");
    } else {
      setenv("CORVASH_PREFIX", oldPrefix_.c_str(), 1);
    }
    std::error_code ec;
    std::filesystem::remove_all(prefix_, ec);
  }

  void WriteSystemHive(const std::string& text) {
    std::ofstream(prefix_ / "system.reg", std::ios::binary | std::ios::trunc) << text;
  }

  void WriteActiveSyncVersion(uint32_t major, uint32_t minor) {
    char text[256];
    std::snprintf(text, sizeof text,
                  "REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows CE Services]\r\n"
                  "\"MajorVersion\"=dword:%08x\r\n\"MinorVersion\"=dword:%08x\r\n\r\n",
                  major, minor);
    WriteSystemHive(text);
  }

  std::filesystem::path MarkerFile() const { return prefix_ / "windows" / "MERLIX.ZPF"; }

  void RunWizard() {
    const WizardOperations bound = ops.Bind();
    driver::RunWizard({bound, host, run});
  }

  // The pages of an update once the options page has been reached.
  void ScriptUpdateAfterOptions(uint32_t flashState = 3) {
    host.Then(kPageOptions, Choose(kOptionUpdate));
    host.Then(kPageProgress, Progress(ops.bootLink, 1, flashState));
  }

  void ExpectRunClosed() { EXPECT_EQ(run.flow.mainWindow.load(), 0u); }

  std::filesystem::path prefix_;
  session::UpdateSession run;
  ScriptedPageHost host{run};
  FakeRemoteApi api;
  FakeOperations ops{api};

 private:
  std::string oldPrefix_;
};

}  // namespace corvash::driver::doubles
