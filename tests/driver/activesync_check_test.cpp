// The sync software's version as the prefix's system.reg records it.
#include "tests/driver/driver_fixture.h"

namespace corvash::driver::doubles {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

class ActiveSyncCheckTest : public DriverTest {
 protected:
  // Runs up to the welcome page, which cancels.
  void RunToWelcome() {
    host.Then(kPageWelcome, Cancel(kPageWelcome));
    RunWizard();
  }

  void ExpectPasses() {
    EXPECT_THAT(host.Pages(), ElementsAre(kPageWelcome));
    EXPECT_THAT(host.Screens(), IsEmpty());
  }

  void ExpectFails() {
    EXPECT_THAT(host.Pages(), ElementsAre(kScreenActiveSyncTooOld));
    ExpectRunClosed();
  }
};

TEST_F(ActiveSyncCheckTest, Version31Fails) {
  WriteActiveSyncVersion(3, 1);
  RunToWelcome();
  ExpectFails();
}

TEST_F(ActiveSyncCheckTest, Version35Passes) {
  WriteActiveSyncVersion(3, 5);
  RunToWelcome();
  ExpectPasses();
}

TEST_F(ActiveSyncCheckTest, Version40Passes) {
  WriteActiveSyncVersion(4, 0);
  RunToWelcome();
  ExpectPasses();
}

TEST_F(ActiveSyncCheckTest, MinorTenCountsAsFourAndPasses) {
  WriteActiveSyncVersion(3, 10);
  RunToWelcome();
  ExpectPasses();
}


TEST_F(ActiveSyncCheckTest, MissingKeyFails) {
  WriteSystemHive(
      "REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion]\r\n"
      "\"CurrentVersion\"=\"5.1\"\r\n");
  RunToWelcome();
  ExpectFails();
}

TEST_F(ActiveSyncCheckTest, MissingHiveFails) {
  std::filesystem::remove(prefix_ / "system.reg");
  RunToWelcome();
  ExpectFails();
}


TEST_F(ActiveSyncCheckTest, VersionKeptAsTextIsNotANumber) {
  WriteSystemHive(
      "REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows CE Services]\r\n"
      "\"MajorVersion\"=\"4\"\r\n\"MinorVersion\"=\"0\"\r\n");
  RunToWelcome();
  ExpectFails();
}

TEST_F(ActiveSyncCheckTest, HugeMajorVersionDoesNotWrapRoundToAnOldOne) {
  // 0x1999999A * 10 is 4 in 32-bit arithmetic.
  WriteActiveSyncVersion(0x1999999A, 0);
  RunToWelcome();
  ExpectPasses();
}


}  // namespace
}  // namespace corvash::driver::doubles
