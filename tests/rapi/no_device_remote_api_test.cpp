// The remote API with no handheld linked: the start never links and every
// call that would reach the device fails.
#include <gtest/gtest.h>

#include "common/clock.h"
#include "rapi/no_device_remote_api.h"
#include "rapi/remote_api.h"

namespace corvash::rapi {
namespace {

class NoDeviceRemoteApiTest : public ::testing::Test {
 protected:
  NoDeviceRemoteApi api;
};

TEST_F(NoDeviceRemoteApiTest, StartIsAcceptedButTheLinkNeverComesUp) {
  RapiInitRecord init;
  EXPECT_EQ(api.CeRapiInitEx(init), S_OK);
  ASSERT_NE(init.heRapiInit, nullptr);
  const uint64_t before = common::TickMs();
  EXPECT_FALSE(init.heRapiInit->Wait(3000));
  EXPECT_GE(common::TickMs() - before, 2990u);
  EXPECT_EQ(api.CeRapiUninit(), S_OK);
}


TEST_F(NoDeviceRemoteApiTest, RecordOfTheWrongSizeIsRefused) {
  RapiInitRecord init;
  init.cbSize = 16;
  EXPECT_LT(api.CeRapiInitEx(init), 0);
  EXPECT_EQ(init.heRapiInit, nullptr);
}

TEST_F(NoDeviceRemoteApiTest, DeviceCallsFail) {
  std::vector<uint8_t> output = {1, 2, 3};
  EXPECT_LT(api.CeRapiInvoke(u"Havlok.dll", u"Havlok", {}, output), 0);
  EXPECT_TRUE(output.empty());

  EXPECT_EQ(api.CeCreateFile(u"\\Windows\\Zembra.dll", GENERIC_WRITE, 0, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL),
            kInvalidHandle);
  uint8_t buffer[4] = {};
  uint32_t done = 99;
  EXPECT_EQ(api.CeWriteFile(1, buffer, done), 0);
  EXPECT_EQ(done, 0u);
  done = 99;
  EXPECT_EQ(api.CeReadFile(1, buffer, done), 0);
  EXPECT_EQ(done, 0u);
  EXPECT_EQ(api.CeCloseHandle(1), 0);
  EXPECT_EQ(api.CeDeleteFile(u"\\Temp\\image.nb"), 0);
  EXPECT_EQ(api.CeMoveFile(u"\\Temp\\a", u"\\Temp\\b"), 0);
  EXPECT_EQ(api.CeCreateProcess(u"\\Temp\\backup.exe"), 0);
  CePowerStatus status;
  EXPECT_EQ(api.CeGetSystemPowerStatusEx(status, 1), 0);
  EXPECT_NE(status.ACLineStatus, 1);
  EXPECT_NE(api.CeRapiGetError(), ERROR_ALREADY_EXISTS);
}

}  // namespace
}  // namespace corvash::rapi
