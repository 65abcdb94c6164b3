// The running handheld's services against a scripted remote API: the paths
// that a real handheld cannot be made to take (sessions that never start,
// other models, odd answers), and what crosses to the handheld.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>

#include "common/clock.h"
#include "common/fixed_text.h"
#include "desktop/device/device_identification.h"
#include "desktop/device/library_invocations.h"
#include "desktop/device/power_watch.h"
#include "desktop/session/page_host.h"
#include "desktop/session/update_session.h"
#include "device/common/query_reserved_area.h"
#include "tests/services/fake_remote_api.h"

namespace corvash::device {
namespace {

namespace fs = std::filesystem;

class ScreenLog : public pages::PageHost {
 public:
  int RunPage(int templateId) override {
    shown.push_back(templateId);
    return answer;
  }
  void ShowWaitBox() override {}
  void CloseWaitBox() override {}
  std::vector<int> shown;
  int answer = 1;
};

// Havlok's answer: three 25-unit UTF-16 fields at bytes 0, 50 and 100.
std::vector<uint8_t> Answer(std::string_view version, std::string_view model, std::string_view size) {
  std::vector<uint8_t> answer(150, 0);
  text::WriteUtf16Field(std::span(answer).subspan(0, 50), text::ToUtf16(version));
  text::WriteUtf16Field(std::span(answer).subspan(50, 50), text::ToUtf16(model));
  text::WriteUtf16Field(std::span(answer).subspan(100, 50), text::ToUtf16(size));
  return answer;
}

class DeviceServicesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/corvash-services-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    dir_ = pattern;
    for (const char* name : {"Havlok.dll", "Zembra.dll", "Dovrin.dll"}) {
      std::ofstream(dir_ / name) << "library " << name << std::string(600, 'x');
    }
    session::Session().Reset();
    session::Session().mainWindow = 1;
    platform::CopyText(session::Session().programDir, dir_.string());
    previousApi_ = rapi::InstallRemoteApi(&api);
    previousHost_ = pages::g_pageHost.exchange(&host);
    SetHavlok(Answer("2.04    ENG", "Pocket Quor K5210NBT USB", "32"));
    api.functions["Zembra.dll/WriteArea"] = [](auto, auto&) { return 1; };
  }
  void TearDown() override {
    rapi::InstallRemoteApi(previousApi_);
    pages::SetPageHost(previousHost_);
    session::Session().Reset();
    fs::remove_all(dir_);
  }
  void SetHavlok(std::vector<uint8_t> answer) {
    api.functions["Havlok.dll/Havlok"] = [answer](auto, std::vector<uint8_t>& out) {
      out = answer;
      return 0;
    };
  }
  std::vector<uint8_t> PcFile(const char* name) {
    std::ifstream in(dir_ / name, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
  }

  test::FakeRemoteApi api;
  ScreenLog host;
  fs::path dir_;

 private:
  rapi::RemoteApi* previousApi_ = nullptr;
  pages::PageHost* previousHost_ = nullptr;
};

TEST_F(DeviceServicesTest, IdentificationFillsTheDeviceAndRecordsItsIdentity) {
  const session::UpdateSession& s = session::Session();
  EXPECT_EQ(IdentifyDevice([] { return 0x1F00020u; }), 1u);

  EXPECT_EQ(platform::TextOf(s.deviceModel), "Quor 5210");  // the model letter is dropped
  EXPECT_EQ(platform::TextOf(s.deviceVariant), "NBT");
  EXPECT_EQ(platform::TextOf(s.deviceVersion), "2.04");
  EXPECT_EQ(platform::TextOf(s.deviceLangCode), "ENG");
  EXPECT_EQ(platform::TextOf(s.deviceLanguage), "English");
  EXPECT_EQ(platform::TextOf(s.identityText), "Quor 5210NBTENG2.04");
  EXPECT_EQ(s.serialLink.load(), 0u);
  EXPECT_EQ(s.flashSizeMB, 32);
  EXPECT_EQ(s.imageSizeKB, 0x1F00020u >> 10);
  EXPECT_TRUE(host.shown.empty());

  // Both libraries reached \Windows whole (more than one 256-byte piece).
  EXPECT_EQ(api.files["\\Windows\\Havlok.dll"], PcFile("Havlok.dll"));
  EXPECT_EQ(api.files["\\Windows\\Zembra.dll"], PcFile("Zembra.dll"));
  // The identity went to WriteArea as the handheld's writer reads it.
  ASSERT_EQ(api.inputs.size(), 2u);
  const auto record = UnpackQueryReservedArea(api.inputs[1]);
  ASSERT_TRUE(record.has_value());
  EXPECT_EQ(api.inputs[1].size(), kQueryReservedAreaSize);
  EXPECT_EQ(record->command, 2u);
  EXPECT_EQ(record->address, 0xA0040100u);
  EXPECT_EQ(record->Length, 20u);
  EXPECT_EQ(text::FromUtf16(std::u16string(record->Text())), "Quor 5210NBTENG2.04");
}

TEST_F(DeviceServicesTest, SerialLinkLanguageAndModelRules) {
  SetHavlok(Answer("2.04    PTB", "Pocket Quor K5210WBT Serial", "64"));
  EXPECT_EQ(IdentifyDevice([] { return 0x100000u; }), 1u);
  const session::UpdateSession& s = session::Session();
  EXPECT_EQ(s.serialLink.load(), 1u);
  EXPECT_EQ(platform::TextOf(s.deviceLanguage), "");  // no Portuguese row on the device's table
  EXPECT_EQ(s.imageSizeKB, 0u);
  EXPECT_EQ(s.flashSizeMB, 64);

  session::Session().Reset();
  session::Session().mainWindow = 1;
  platform::CopyText(session::Session().programDir, dir_.string());
  SetHavlok(Answer("2.04    ENG", "Pocket Quor K5310NBT ser", "32"));
  EXPECT_EQ(IdentifyDevice({}), 0u);
  EXPECT_EQ(host.shown, std::vector<int>{269});  // FEHLER 117
  EXPECT_EQ(session::Session().mainWindow.load(), 0u);
  EXPECT_EQ(session::Session().serialLink.load(), 0u);  // "Ser" counts only as written
}

TEST(IdentificationAnswer, PositionsCountTheHandheldsCharactersNotBytes) {
  // Accented letters before the model take two bytes each in UTF-8.
  const IdentificationAnswer answer = ParseIdentificationAnswer(Answer("2.04 -- FRE", "Téléph Quor K5210WBT", "32"));
  EXPECT_EQ(answer.model, "Quor 5210");
  EXPECT_EQ(answer.variant, "WBT");
  EXPECT_EQ(answer.langCode, "FRE");
}

TEST(IdentificationAnswer, SizeFieldReadsAsADecimalNumber) {
  EXPECT_EQ(ParseIdentificationAnswer(Answer("2.04    ENG", "Pocket Quor K5210NBT", " 32")).flashSizeMB, 32);
  EXPECT_EQ(ParseIdentificationAnswer(Answer("2.04    ENG", "Pocket Quor K5210NBT", "+64MB")).flashSizeMB, 64);
}

TEST_F(DeviceServicesTest, FailuresLeaveTheDeviceFieldsAlone) {
  fs::remove(dir_ / "Havlok.dll");
  EXPECT_EQ(IdentifyDevice({}), 0u);
  api.functions.erase("Havlok.dll/Havlok");
  std::ofstream(dir_ / "Havlok.dll") << "back";
  EXPECT_EQ(IdentifyDevice({}), 0u);
  EXPECT_EQ(platform::TextOf(session::Session().deviceModel), "");
  EXPECT_TRUE(host.shown.empty());
}

TEST_F(DeviceServicesTest, InvocationsGiveUpAfterFiveStartsAndGoOnWithoutTheirLibrary) {
  platform::SetTimeScale(0.001);
  api.startFailures = -1;
  EXPECT_EQ(InvokeWriteArea(), 0);
  EXPECT_EQ(api.starts, 5);
  EXPECT_TRUE(api.files.empty());

  api.startFailures = 0;
  api.starts = 0;
  fs::remove(dir_ / "Dovrin.dll");
  EXPECT_EQ(InvokeSetSysTime(), 1);
  EXPECT_EQ(std::count(api.calls.begin(), api.calls.end(), "invoke Dovrin.dll/SetSysTime"), 0);
  EXPECT_EQ(api.calls.back(), "uninit");
  platform::SetTimeScale(0);
}

TEST_F(DeviceServicesTest, MainsCheckTakesTheSecondAnswer) {
  api.mains = {0, 1};
  EXPECT_EQ(CheckMainsPower(), kPowerGoOn);
  EXPECT_TRUE(host.shown.empty());
  api.mains = {1, -1};
  EXPECT_EQ(CheckMainsPower(), kPowerUnknown);
  api.mains = {0};
  host.answer = 0;  // "Weiter" on WARNUNG 111
  EXPECT_EQ(CheckMainsPower(), kPowerGoOn);
  host.answer = 1;
  EXPECT_EQ(CheckMainsPower(), kPowerUserGaveUp);
  EXPECT_EQ(host.shown, (std::vector<int>{105, 105}));
}

class ButtonLog : public pages::WorkerPage {
 public:
  void Enable(int id, bool on) override {
    std::lock_guard lock(mutex);
    enabled[id] = on;
  }
  void SetBarRange(uint32_t, uint32_t) override {}
  void SetBarPosition(uint32_t) override {}
  void SetFigure(uint32_t) override {}
  void Hide() override {}
  void End(int) override {}
  std::mutex mutex;
  std::map<int, bool> enabled;
};

TEST_F(DeviceServicesTest, BootLoaderWatchOpensWeiterOnlyOnceTheLoaderAnswers) {
  platform::SetTimeScale(0.01);
  api.mains = {1, 1, 1, -1};  // three rounds on its system, then gone
  ButtonLog page;
  std::atomic<uint32_t> stop{0};
  int portTests = 0;
  RunBootLoaderWatch(page, stop, [&] { return ++portTests == 3 ? 1u : 0u; });
  EXPECT_EQ(portTests, 3);
  EXPECT_EQ(stop.load(), 1u);
  EXPECT_TRUE(page.enabled[1]);
  EXPECT_FALSE(page.enabled[1221]);

  // Stopped by the page while it probes: no more port tests.
  api.mains = {-1};
  stop = 1;
  portTests = 0;
  RunBootLoaderWatch(page, stop, [&] { return ++portTests, 0u; });
  EXPECT_EQ(portTests, 0);
  platform::SetTimeScale(0);
}

}  // namespace
}  // namespace corvash::device
