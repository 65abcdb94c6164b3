// The running handheld's services against a scripted remote API: the paths
// that a real handheld cannot be made to take (sessions that never start,
// other models, odd answers), and what crosses to the handheld.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>

#include "common/clock.h"
#include "common/fixed_text.h"
#include "desktop/handheld/device_identification.h"
#include "desktop/handheld/library_invocations.h"
#include "desktop/handheld/power_watch.h"
#include "desktop/session/update_session.h"
#include "device/common/query_reserved_area.h"
#include "tests/services/fake_remote_api.h"

namespace corvash::device {

using handheld::CheckMainsPower;
using handheld::Identification;
using handheld::IdentificationAnswer;
using handheld::IdentifyDevice;
using handheld::InvokeSetSysTime;
using handheld::InvokeWriteArea;
using handheld::ParseIdentificationAnswer;
using handheld::RemoteSession;
using handheld::RunBootLoaderWatch;
using handheld::kPowerGoOn;
using handheld::kPowerNoMains;
using handheld::kPowerUnknown;

namespace {

namespace fs = std::filesystem;

// Havlok's answer: three 25-unit UTF-16 fields at bytes 0, 50 and 100.
std::vector<uint8_t> Answer(std::string_view version, std::string_view model, std::string_view size) {
  std::vector<uint8_t> answer(150, 0);
  common::WriteUtf16Field(std::span(answer).subspan(0, 50), common::ToUtf16(version));
  common::WriteUtf16Field(std::span(answer).subspan(50, 50), common::ToUtf16(model));
  common::WriteUtf16Field(std::span(answer).subspan(100, 50), common::ToUtf16(size));
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
    SetHavlok(Answer("2.04    ENG", "Pocket Quor K5210NBT USB", "32"));
    api.functions["Zembra.dll/WriteArea"] = [](auto, auto&) { return 1; };
  }
  void TearDown() override {
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

  Identification Identify(const std::function<uint32_t()>& firstImageSize = {}) {
    return IdentifyDevice(remote, dir_.string(), identity, firstImageSize);
  }

  test::FakeRemoteApi api;
  RemoteSession remote{api};
  session::HandheldIdentity identity;
  fs::path dir_;
};

TEST_F(DeviceServicesTest, IdentificationFillsTheDeviceAndRecordsItsIdentity) {
  const Identification found = Identify([] { return 0x1F00020u; });
  EXPECT_TRUE(found.identified);
  EXPECT_EQ(found.screen, 0);

  EXPECT_EQ(common::TextOf(identity.deviceModel), "Quor 5210");  // the model letter is dropped
  EXPECT_EQ(common::TextOf(identity.deviceVariant), "NBT");
  EXPECT_EQ(common::TextOf(identity.deviceVersion), "2.04");
  EXPECT_EQ(common::TextOf(identity.deviceLangCode), "ENG");
  EXPECT_EQ(common::TextOf(identity.deviceLanguage), "English");
  EXPECT_EQ(common::TextOf(identity.identityText), "Quor 5210NBTENG2.04");
  EXPECT_FALSE(found.serialLink);
  EXPECT_EQ(identity.flashSizeMB, 32);
  EXPECT_EQ(found.imageSizeKB, 0x1F00020u >> 10);

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
  EXPECT_EQ(common::FromUtf16(std::u16string(record->Text())), "Quor 5210NBTENG2.04");
}

TEST_F(DeviceServicesTest, SerialLinkLanguageAndModelRules) {
  SetHavlok(Answer("2.04    PTB", "Pocket Quor K5210WBT Serial", "64"));
  Identification found = Identify([] { return 0x100000u; });
  EXPECT_TRUE(found.identified);
  EXPECT_TRUE(found.serialLink);
  EXPECT_EQ(common::TextOf(identity.deviceLanguage), "");  // no Portuguese row on the device's table
  EXPECT_FALSE(found.imageSizeKB.has_value());
  EXPECT_EQ(identity.flashSizeMB, 64);

  identity = {};
  api.calls.clear();
  SetHavlok(Answer("2.04    ENG", "Pocket Quor K5310NBT ser", "32"));
  found = Identify();
  EXPECT_FALSE(found.identified);
  EXPECT_TRUE(found.answered);
  EXPECT_EQ(found.screen, 269);  // FEHLER 117, for the caller to show
  EXPECT_EQ(api.calls.back(), "uninit");  // the session ends before the screen
  EXPECT_EQ(common::TextOf(identity.deviceModel), "Quor 5310");
  EXPECT_FALSE(found.serialLink);  // "Ser" counts only as written
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
  EXPECT_FALSE(Identify().answered);
  api.functions.erase("Havlok.dll/Havlok");
  std::ofstream(dir_ / "Havlok.dll") << "back";
  const Identification found = Identify();
  EXPECT_FALSE(found.answered);
  EXPECT_EQ(found.screen, 0);
  EXPECT_EQ(common::TextOf(identity.deviceModel), "");
}

TEST_F(DeviceServicesTest, InvocationsGiveUpAfterFiveStartsAndGoOnWithoutTheirLibrary) {
  common::SetTimeScale(0.001);
  api.startFailures = -1;
  EXPECT_EQ(InvokeWriteArea(remote, dir_.string(), "Quor 5210NBTENG2.04"), 0);
  EXPECT_EQ(api.starts, 5);
  EXPECT_TRUE(api.files.empty());

  api.startFailures = 0;
  api.starts = 0;
  fs::remove(dir_ / "Dovrin.dll");
  EXPECT_EQ(InvokeSetSysTime(remote, dir_.string()), 1);
  EXPECT_EQ(std::count(api.calls.begin(), api.calls.end(), "invoke Dovrin.dll/SetSysTime"), 0);
  EXPECT_EQ(api.calls.back(), "uninit");
  common::SetTimeScale(0);
}

TEST_F(DeviceServicesTest, MainsCheckTakesTheSecondAnswer) {
  api.mains = {0, 1};
  EXPECT_EQ(CheckMainsPower(api), kPowerGoOn);
  api.mains = {1, -1};
  EXPECT_EQ(CheckMainsPower(api), kPowerUnknown);
  api.mains = {1, 0};
  EXPECT_EQ(CheckMainsPower(api), kPowerNoMains);
}

class ButtonLog : public session::WorkerPage {
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
  common::SetTimeScale(0.01);
  api.mains = {1, 1, 1, -1};  // three rounds on its system, then gone
  ButtonLog page;
  std::atomic<uint32_t> stop{0};
  int portTests = 0;
  RunBootLoaderWatch(api, page, stop, [&] { return ++portTests == 3 ? 1u : 0u; });
  EXPECT_EQ(portTests, 3);
  EXPECT_EQ(stop.load(), 1u);
  EXPECT_TRUE(page.enabled[1]);
  EXPECT_FALSE(page.enabled[1221]);

  // Stopped by the page while it probes: no more port tests.
  api.mains = {-1};
  stop = 1;
  portTests = 0;
  RunBootLoaderWatch(api, page, stop, [&] { return ++portTests, 0u; });
  EXPECT_EQ(portTests, 0);
  common::SetTimeScale(0);
}

}  // namespace
}  // namespace corvash::device
