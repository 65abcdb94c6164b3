#include <memory>

#include "desktop/pages/screen_procedures.h"
#include "tests/pages/page_test_support.h"

namespace corvash::pages::testing {
namespace {

using common::CopyText;

class IncompatibleImageTest : public PageTest {
 protected:
  void SetUp() override {
    PageTest::SetUp();
    CopyText(S().handheld.deviceModel, "Quor 5210");
    CopyText(S().handheld.deviceVersion, "2.04");
    CopyText(S().handheld.deviceLangCode, "ger");
    CopyText(S().image.imageModel, "Quor 5210");
    CopyText(S().image.imageVersion, "2.04");
    CopyText(S().image.imageLanguage, "French");
  }
};

TEST_F(IncompatibleImageTest, OnlyTheLanguageRowsAreRedAndEveryFlagIsClearedAfter) {
  S().flow.languageMismatch.store(1);
  OpenPage screen(123, Run());
  const std::map<int, Colouring> expected = {{1058, Colouring::kRedBackground},
                                             {1062, Colouring::kRedBackground}};
  EXPECT_EQ(screen.dialog.Colourings(), expected);
  screen.Press(kCommandCancel);
  EXPECT_EQ(screen.Result(), 1);
  EXPECT_EQ(S().flow.modelMismatch.load(), 0u);
  EXPECT_EQ(S().flow.versionMismatch.load(), 0u);
  EXPECT_EQ(S().flow.languageMismatch.load(), 0u);
}

TEST_F(IncompatibleImageTest, EnterAlsoClearsEveryFlagAndEndsWithZero) {
  S().flow.modelMismatch.store(1);
  S().flow.versionMismatch.store(1);
  OpenPage screen(123, Run());
  EXPECT_EQ(screen.dialog.ColouringOf(1056), Colouring::kRedBackground);
  EXPECT_EQ(screen.dialog.ColouringOf(1060), Colouring::kRedBackground);
  EXPECT_EQ(screen.dialog.ColouringOf(1057), Colouring::kRedBackground);
  EXPECT_EQ(screen.dialog.ColouringOf(1061), Colouring::kRedBackground);
  EXPECT_EQ(screen.dialog.ColouringOf(1058), Colouring::kDefault);
  screen.Press(kCommandOk);
  EXPECT_EQ(screen.Result(), 0);
  EXPECT_EQ(S().flow.modelMismatch.load() | S().flow.versionMismatch.load() | S().flow.languageMismatch.load(), 0u);
}

TEST_F(IncompatibleImageTest, RowsShowDeviceAndImage) {
  OpenPage screen(123, Run());
  EXPECT_EQ(screen.Text(1055), "FEHLER 100: INKOMPATIBLES IMAGE");
  EXPECT_TRUE(screen.dialog.HasTitleFont(1055));
  EXPECT_EQ(screen.Text(1056), "Modell: Quor 5210");
  EXPECT_EQ(screen.Text(1057), "ROM-Version: 2.04");
  EXPECT_EQ(screen.Text(1058), "Sprache: Deutsch");
  EXPECT_EQ(screen.Text(1061), "ROM-Version: 2.04");
  EXPECT_EQ(screen.Text(1062), "Sprache: Französisch");
  EXPECT_EQ(screen.Text(2), "Beenden");
}

TEST_F(IncompatibleImageTest, LanguageRowsFallBackClearly) {
  CopyText(S().handheld.deviceLangCode, "PTB");
  CopyText(S().image.imageLanguage, "Klingon");
  OpenPage screen(123, Run());
  EXPECT_EQ(screen.Text(1058), "Sprache: PTB");  // a code the table lacks stands as it is
  EXPECT_EQ(screen.Text(1062), "Sprache: Englisch");
}

class ImageTooLargeTest : public PageTest {};

TEST_F(ImageTooLargeTest, SizesInWholeMegabytesRoundedDown) {
  S().image.imageSizeKB = 32767;
  S().handheld.flashSizeMB = 32;
  OpenPage screen(151, Run());
  EXPECT_EQ(screen.Text(1120), "31 MB");
  EXPECT_EQ(screen.Text(1121), "32 MB");
  EXPECT_EQ(screen.Text(1118), "Größe der Image-Datei:");
  EXPECT_EQ(screen.Text(1119), "Größe des Flash-ROM:");
}

class ErrorScreenTest : public PageTest {};

TEST_F(ErrorScreenTest, ImageNotFoundEndsTheRunItself) {
  OpenPage screen(140, Run());
  screen.Press(kCommandOk);
  EXPECT_FALSE(screen.dialog.Ended());
  EXPECT_EQ(S().flow.mainWindow.load(), 1u);
  screen.Press(kCommandCancel);
  EXPECT_EQ(screen.Result(), 1);
  EXPECT_EQ(S().flow.mainWindow.load(), 0u);
}

TEST_F(ErrorScreenTest, OtherScreensLeaveTheMainWindowToTheirOpener) {
  for (int templateId : {138, 139, 141, 144, 145, 147, 151, 114, 123}) {
    OpenPage screen(templateId, Run());
    screen.Press(kCommandCancel);
    EXPECT_EQ(screen.Result(), 1) << templateId;
    EXPECT_EQ(S().flow.mainWindow.load(), 1u) << templateId;
  }
}

TEST_F(ErrorScreenTest, HeadingsInTheTitleFontWithTheirTexts) {
  struct Heading {
    int templateId, control;
    const char* text;
  };
  const Heading headings[] = {
      {138, 1091, "FEHLER 101: VERBINDUNGSFEHLER"},
      {139, 1093, "FEHLER 102: PRÜFSUMMENFEHLER BEI IMAGE-DATEI."},
      {140, 1095, "FEHLER 103: ROM-IMAGE-DATEI NICHT GEFUNDEN"},
      {141, 1097, "FEHLER 104: ROM-IMAGE-DATEI KANN NICHT GEÖFFNET WERDEN"},
      {144, 1106, "FEHLER 106: PROGRAMM FÜR REMOTE-KOMMUNIKATION FEHLGESCHLAGEN"},
      {145, 1108, "FEHLER 107: SYSTEM KANN AKTUELLES ROM-IMAGE NICHT SICHERN"},
      {147, 1113, "FEHLER 109:  AKTUELLES ROM-IMAGE KANN NICHT GESICHERT WERDEN"},
      {151, 1116, "FEHLER 110: IMAGE-DATEI IST ZU GROSS"},
      {114, 1039, "FEHLER 113:  UPDATE-FEHLER"},
      {165, 1172, "FEHLER 115: UNGÜLTIGE VERSION VON ACTIVESYNC"},
      {268, 1224, "FEHLER 116: FEHLER BEI DER IDENTIFIKATION DES Quor"},
      {269, 1206, "FEHLER 117: UNGÜLTIGE MODELL-ID"},
      {105, 1040, "WARNUNG 111: NETZTEIL NICHT EINGESTECKT"},
      {152, 1122, "WARNUNG 112: DIE VON IHNEN AUSGEWÄHLTE DATEI IST BEREITS VORHANDEN"},
  };
  for (const Heading& h : headings) {
    OpenPage screen(h.templateId, Run());
    EXPECT_EQ(screen.Text(h.control), h.text) << h.templateId;
    EXPECT_TRUE(screen.dialog.HasTitleFont(h.control)) << h.templateId;
    EXPECT_EQ(screen.dialog.Caption(), T(11035)) << h.templateId;
    EXPECT_EQ(screen.dialog.PictureShown(), h.templateId == 114 ? Picture::kButtons : Picture::kMain)
        << h.templateId;
  }
}

class UpdateErrorTest : public PageTest {
 protected:
  CountingWorkers workers;
  const PageServices services = workers.Services();
};

TEST_F(UpdateErrorTest, SerialLinkReleasesThePortAndLeavesTheLinkUp) {
  S().serialLink.store(1);
  OpenPage screen(114, Run(), services);
  EXPECT_EQ(workers.portReleases.load(), 1);
  EXPECT_EQ(workers.linkCloses.load(), 0);
}

TEST_F(UpdateErrorTest, UsbLinkIsLeftAlone) {
  S().serialLink.store(0);
  OpenPage screen(114, Run(), services);
  EXPECT_EQ(workers.portReleases.load(), 0);
  EXPECT_EQ(workers.linkCloses.load(), 0);
}

// Power status as the device would report it, and a watch that forwards
// scripted states to the open warning.
class ScriptedPower final : public PowerWatch {
 public:
  int QueryMainsStatus() override {
    ++queries;
    return mains.load();
  }
  void RunPowerWatch(session::WorkerPage& warning) override {
    ++watchStarts;
    target.store(&warning);
    release.Wait();
  }
  std::atomic<int> mains{0};
  std::atomic<int> queries{0};
  std::atomic<int> watchStarts{0};
  std::atomic<session::WorkerPage*> target{nullptr};
  Gate release;
};

class PowerWarningTest : public PageTest {
 protected:
  void TearDown() override {
    power.release.Open();
    EXPECT_TRUE(WaitFor([this] { return !watches_.PowerWatchRunning(); }));
    PageTest::TearDown();
  }
  ScriptedPower power;
  const PageServices services{.powerWatch = power};
};

TEST_F(PowerWarningTest, StaysOpenOnWeiterWhileOnBattery) {
  OpenPage warning(105, Run(), services);
  power.mains.store(0);
  warning.Press(1);
  EXPECT_FALSE(warning.dialog.Ended());
  power.mains.store(255);  // unknown counts as no mains power
  warning.Press(1);
  EXPECT_FALSE(warning.dialog.Ended());
  power.mains.store(1);
  warning.Press(1);
  EXPECT_EQ(warning.Result(), 0);
  EXPECT_EQ(power.queries.load(), 3);
}

TEST_F(PowerWarningTest, UnreadableStatusLetsTheUserThrough) {
  OpenPage warning(105, Run(), services);
  power.mains.store(-1);
  warning.Press(1);
  EXPECT_EQ(warning.Result(), 0);
}

TEST_F(PowerWarningTest, OneWatchServesEachWarningInTurn) {
  {
    OpenPage first(105, Run(), services);
    ASSERT_TRUE(WaitFor([&] { return power.target.load() != nullptr; }));
    power.target.load()->Enable(1, false);
    EXPECT_FALSE(first.dialog.IsEnabled(1));
    first.Press(2);
    EXPECT_EQ(first.Result(), 1);
  }
  power.target.load()->Enable(1, true);  // no warning open: reaches nothing
  OpenPage second(105, Run(), services);
  power.target.load()->Enable(1, false);
  EXPECT_FALSE(second.dialog.IsEnabled(1));
  EXPECT_EQ(power.watchStarts.load(), 1);
}

}  // namespace
}  // namespace corvash::pages::testing
