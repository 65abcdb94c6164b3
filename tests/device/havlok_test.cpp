// Havlok.dll's answer, taken apart as the desktop's device identification
// takes it: three 25-unit fields, read to their terminators as narrow text.
#include <gtest/gtest.h>

#include <cstdlib>

#include "common/utf16_text.h"
#include "tests/device/handheld_fixture.h"

#ifdef HAVLOK_PATH
namespace corvash::device::test {
namespace {

struct DesktopView {
  std::string version, language, model, variant;
  bool serialLink = false;
  int flashSizeMB = 0;
};

std::string Field(const std::vector<uint8_t>& answer, size_t offset) {
  std::string text;
  for (size_t i = 0; i < 24 && offset + 2 * i + 1 < answer.size(); ++i) {
    const uint16_t unit = static_cast<uint16_t>(answer[offset + 2 * i] | (answer[offset + 2 * i + 1] << 8));
    if (unit == 0) break;
    text.push_back(static_cast<char>(unit));
  }
  return text;
}

DesktopView Decode(const std::vector<uint8_t>& answer) {
  DesktopView view;
  const std::string version = Field(answer, 0);
  const std::string model = Field(answer, 50);
  view.version = version.substr(0, 4);
  view.language = version.size() > 8 ? version.substr(8) : std::string();
  view.serialLink = model.find("Ser") != std::string::npos;
  if (model.size() >= 20) {
    view.model = model.substr(7, 4) + model[11] + model.substr(13, 4);
    view.variant = model.substr(17, 3);
  }
  view.flashSizeMB = std::atoi(Field(answer, 100).c_str());
  return view;
}

class HavlokTest : public HandheldFixture {
 protected:
  DeviceLibrary library_{HAVLOK_PATH, "Havlok"};
};

TEST_F(HavlokTest, AnswersTheHandheldsIdentityAndLink) {
  ASSERT_NE(library_.function(), nullptr);
  CallResult usb = Call(library_.function(), {});
  ASSERT_EQ(usb.status, 0);
  EXPECT_EQ(usb.output.size(), 150u);
  const DesktopView view = Decode(usb.output);
  EXPECT_EQ(view.model, "Quor 5210");
  EXPECT_EQ(view.variant, "NBT");
  EXPECT_EQ(view.language, "ENG");
  EXPECT_EQ(view.version, "2.04");
  EXPECT_FALSE(view.serialLink);
  EXPECT_EQ(view.flashSizeMB, 32);

  WriteConfig({{"variant", "WBT"}, {"language", "GER"}, {"version", "1.10"}, {"flash_mb", "64"}, {"port", "com2"}});
  const DesktopView serial = Decode(Call(library_.function(), {}).output);
  EXPECT_EQ(serial.model, "Quor 5210");
  EXPECT_EQ(serial.variant, "WBT");
  EXPECT_EQ(serial.language, "GER");
  EXPECT_EQ(serial.version, "1.10");
  EXPECT_TRUE(serial.serialLink);
  EXPECT_EQ(serial.flashSizeMB, 64);

  WriteConfig({{"variant", "NBT"}, {"language", "ENG"}, {"version", "2.04"}, {"flash_mb", "32"}, {"port", "wceusbsh002"}});
  EXPECT_FALSE(Decode(Call(library_.function(), {}).output).serialLink);
}

TEST_F(HavlokTest, TheVersionIsTheOneTheFlashCarries) {
  // A flash rewrote the reserve area: a retired record, then the current one.
  std::vector<uint8_t> retired(common::kSlotLength, 0);
  std::vector<uint8_t> current(common::kSlotLength, 0);
  common::WriteUtf16Field(current, u"Quor 5210NBTENG2.05");
  Store(common::kReserveArea.first, retired);
  Store(common::kReserveArea.first + common::kSlotLength, current);
  EXPECT_EQ(Decode(Call(library_.function(), {}).output).version, "2.05");
}

TEST_F(HavlokTest, AHandheldWithoutItsConfigurationFailsTheCall) {
  std::filesystem::remove(Dir() / "handheld.conf");
  const CallResult result = Call(library_.function(), {});
  EXPECT_LT(result.status, 0);
  EXPECT_FALSE(result.outputSet);
}

}  // namespace
}  // namespace corvash::device::test
#endif
