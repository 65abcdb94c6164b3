// The handheld's platform services against a state folder: the file store's
// lookup, refusals and sharing, and the hardware layer's flash and
// device-info requests.
#include <gtest/gtest.h>

#include <array>
#include <fstream>

#include "device/platform/device_files.h"
#include "device/platform/handle_table.h"
#include "device/platform/kernel_io_control.h"
#include "tests/device/handheld_fixture.h"

namespace corvash::device::test {
namespace {

using namespace corvash::ce;

class DeviceFilesTest : public HandheldFixture {};

std::string ReadAll(HANDLE file) {
  std::array<char, 256> buffer{};
  DWORD got = 0;
  EXPECT_TRUE(ReadFile(file, buffer.data(), buffer.size(), &got));
  return std::string(buffer.data(), got);
}

TEST_F(DeviceFilesTest, ChunkHandOverFollowsTheSharingRules) {
  // The agent's side: a new file, no sharing.
  HANDLE agent = CreateFileW(u"\\temp\\image.nb", GENERIC_READ | GENERIC_WRITE, 0, CREATE_NEW);
  ASSERT_NE(agent, INVALID_HANDLE_VALUE);
  DWORD written = 0;
  ASSERT_TRUE(WriteFile(agent, "chunk", 5, &written));
  EXPECT_EQ(written, 5u);

  // The desktop's side meanwhile: neither read nor deleted, nor created anew.
  EXPECT_EQ(CreateFileW(u"\\Temp\\IMAGE.NB", GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), ERROR_SHARING_VIOLATION);
  EXPECT_FALSE(DeleteFileW(u"\\Temp\\image.nb"));
  EXPECT_EQ(GetLastError(), ERROR_SHARING_VIOLATION);
  EXPECT_EQ(CreateFileW(u"\\Temp\\image.nb", GENERIC_WRITE, 0, CREATE_NEW), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), ERROR_FILE_EXISTS);
  ASSERT_TRUE(CloseHandle(agent));
  EXPECT_FALSE(CloseHandle(agent));

  // Closed: one name whatever its letter case.
  HANDLE desktop = CreateFileW(u"\\TEMP\\Image.Nb", GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING);
  ASSERT_NE(desktop, INVALID_HANDLE_VALUE);
  EXPECT_EQ(ReadAll(desktop), "chunk");
  HANDLE reader = CreateFileW(u"\\Temp\\image.nb", GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING);
  EXPECT_NE(reader, INVALID_HANDLE_VALUE);  // both share reading
  EXPECT_EQ(CreateFileW(u"\\Temp\\image.nb", GENERIC_WRITE, FILE_SHARE_READ, CREATE_ALWAYS), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), ERROR_SHARING_VIOLATION);
  CloseHandle(reader);
  CloseHandle(desktop);
  EXPECT_TRUE(DeleteFileW(u"\\temp\\image.nb"));
  EXPECT_FALSE(std::filesystem::exists(Dir() / "files" / "Temp" / "image.nb"));
}

TEST_F(DeviceFilesTest, CreateAlwaysReplacesTheFileUnderItsOwnName) {
  std::ofstream(Dir() / "files" / "Windows" / "Zembra.dll") << "an older library";
  HANDLE file = CreateFileW(u"\\Windows\\zembra.DLL", GENERIC_WRITE, FILE_SHARE_READ, CREATE_ALWAYS);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), ERROR_ALREADY_EXISTS);
  ASSERT_TRUE(WriteFile(file, "new", 3, nullptr));
  CloseHandle(file);
  std::ifstream in(Dir() / "files" / "Windows" / "Zembra.dll");
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "new");
}

TEST_F(DeviceFilesTest, PathsLeavingTheStoreAreRefused) {
  std::ofstream(Dir() / "secret") << "host file";
  std::filesystem::create_directory_symlink(Dir(), Dir() / "files" / "Temp" / "up");
  std::filesystem::create_symlink(Dir() / "secret", Dir() / "files" / "Temp" / "link");
  for (const std::u16string_view path : {u"\\..\\secret", u"\\Temp\\..\\..\\secret", u"/tmp/secret", u"/Temp/../../secret",
                                         u"C:\\secret", u"\\Temp\\up\\secret", u"\\Temp\\link", u"\\"}) {
    EXPECT_EQ(CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING), INVALID_HANDLE_VALUE)
        << std::string(path.begin(), path.end());
    EXPECT_EQ(CreateFileW(path, GENERIC_WRITE, 0, CREATE_ALWAYS), INVALID_HANDLE_VALUE);
  }
  EXPECT_FALSE(DeleteFileW(u"\\Temp\\..\\..\\secret"));
  std::ifstream in(Dir() / "secret");
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "host file");
}

class KernelIoControlTest : public HandheldFixture {
 protected:
  BOOL Flash(DWORD command, uint32_t address, std::vector<uint8_t>& bytes) {
    QELWriteData request{command, address, static_cast<DWORD>(bytes.size()), bytes.data()};
    return KernelIoControl(IOCTL_HAL_FLASH_ACCESS, &request, sizeof request, bytes.data(),
                           static_cast<DWORD>(bytes.size()), nullptr);
  }
  char16_t SizeDigit() {
    std::vector<uint8_t> record(kDeviceInfoSize, 0xEE);
    EXPECT_TRUE(KernelIoControl(IOCTL_HAL_DEVICE_INFO, nullptr, 0, record.data(), kDeviceInfoSize, nullptr));
    return static_cast<char16_t>(record[kDeviceInfoSizeDigit] | (record[kDeviceInfoSizeDigit + 1] << 8));
  }
};

TEST_F(KernelIoControlTest, FlashWritesOnlyClearBits) {
  std::vector<uint8_t> first{0xF0, 0x0F}, second{0x3C, 0xFF}, read(2);
  ASSERT_TRUE(Flash(QEL_WRITE, common::kReserveArea.first, first));
  ASSERT_TRUE(Flash(QEL_WRITE, common::kReserveArea.first, second));
  ASSERT_TRUE(Flash(QEL_READ, common::kReserveArea.first, read));
  EXPECT_EQ(read, (std::vector<uint8_t>{0x30, 0x0F}));

  std::vector<uint8_t> beyond(4);
  EXPECT_FALSE(Flash(QEL_READ, common::kFlashBase + kFlashBytes - 2, beyond));
  EXPECT_FALSE(Flash(QEL_WRITE, 0x9FFFFFFEu, beyond));
}

TEST_F(KernelIoControlTest, DeviceInfoDigitCountsThirtyTwoMegabyteBanks) {
  EXPECT_EQ(SizeDigit(), u'1');
  WriteConfig({{"flash_mb", "64"}});
  EXPECT_EQ(SizeDigit(), u'2');
  std::vector<uint8_t> small(kDeviceInfoSize - 1);
  EXPECT_FALSE(KernelIoControl(IOCTL_HAL_DEVICE_INFO, nullptr, 0, small.data(), kDeviceInfoSize - 1, nullptr));
}

}  // namespace
}  // namespace corvash::device::test
