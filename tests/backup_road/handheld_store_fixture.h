#pragma once
// A handheld state folder of its own for each test, named in K5210_STATE,
// laid out as `k5210-emu init` lays it out (a sparse flash is enough: the
// backup agent only reads it), and the desktop's view of it through the
// remote API's device end.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "common/handheld_folder.h"
#include "rapi/device_end.h"

namespace corvash::backup_road::test {

class HandheldStoreFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (std::filesystem::temp_directory_path() / "roadXXXXXX").string();
    ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
    dir_ = pattern;
    std::filesystem::create_directories(Store() / "Windows");
    std::filesystem::create_directories(Store() / "Temp");
    std::ofstream(dir_ / "handheld.conf") << "variant=NBT\nlanguage=ENG\nversion=2.04\nflash_mb=32\n"
                                          << "mode=system\npower=mains\ncable=plugged\n";
    const int fd = ::open((dir_ / "flash.bin").c_str(), O_RDWR | O_CREAT | O_TRUNC, 0644);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::ftruncate(fd, 48 << 20), 0);
    ::close(fd);
    ASSERT_EQ(::setenv(common::kStateVariable, dir_.c_str(), 1), 0);
    config_.storeRoot = Store();
    config_.stateDir = dir_;
  }
  void TearDown() override {
    ::unsetenv(common::kStateVariable);
    std::error_code code;
    std::filesystem::remove_all(dir_, code);
  }
  std::filesystem::path Store() const { return dir_ / "files"; }
  std::string DebugLog() const {
    std::ifstream log(dir_ / "debug.log");
    std::ostringstream text;
    text << log.rdbuf();
    return text.str();
  }

  std::filesystem::path dir_;
  rapi::DeviceEndConfig config_;
};

}  // namespace corvash::backup_road::test
