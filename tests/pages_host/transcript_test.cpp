// The transcript of a page run on the real host: one line per opening, text
// set, change of enabled state and end, with texts escaped as C strings.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <thread>
#include <unistd.h>

#include "desktop/qt/qt_page.h"
#include "desktop/automation/transcript.h"
#include "tests/pages_host/qt_test_support.h"

namespace corvash::pages::test {

using automation::ClickOutcome;
using automation::EscapeCString;
using automation::Transcript;

namespace {

std::vector<std::string> ReadLines(const std::string& path) {
  std::ifstream in(path);
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

TEST(TranscriptEscapeTest, EscapesAsCStrings) {
  EXPECT_EQ(EscapeCString("Klicken Sie auf \"Weiter\""), "Klicken Sie auf \\\"Weiter\\\"");
  EXPECT_EQ(EscapeCString("a\r\n\nb\tc\\d"), "a\\r\\n\\nb\\tc\\\\d");
  EXPECT_EQ(EscapeCString(std::string("x\x01" "1\x7f", 4)), "x\\0011\\177") << "octal keeps three digits";
  EXPECT_EQ(EscapeCString("Bestätigen Sie"), "Bestätigen Sie") << "UTF-8 stays as it is";
}

class TranscriptTest : public QtHostFixture {
 protected:
  void SetUp() override {
    QtHostFixture::SetUp();
    path_ = ::testing::TempDir() + "transcript_" + std::to_string(getpid()) + ".txt";
    std::string error;
    ASSERT_TRUE(transcript_.Open(path_, &error)) << error;
    host_->AddObserver(&transcript_);
  }
  void TearDown() override {
    QtHostFixture::TearDown();
    transcript_.Close();
    std::remove(path_.c_str());
  }

  std::string path_;
  Transcript transcript_;
};

TEST_F(TranscriptTest, RecordsWhatThePageShowedInOrder) {
  onCommand_ = [](PageDialog& page, int commandId) {
    if (commandId == 1203) {
      page.Enable(1, page.IsChecked(1203));
      page.Enable(1, page.IsChecked(1203));  // no change: no line
      page.SetText(1000, "Zeile 1\r\nZeile \"2\"");
    }
    if (commandId == 1) page.End(0);
  };
  std::atomic<int> result{-100};
  std::thread driver([&] { result = host_->RunPage(kAckPage); });
  std::shared_ptr<qt::QtPage> page = WaitForPage(kAckPage);
  ASSERT_NE(page, nullptr);
  page->PostClick(1203, true, [](ClickOutcome) {});
  page->PostClick(1, false, [](ClickOutcome) {});
  ASSERT_TRUE(PumpUntil([&] { return result.load() != -100; }));
  driver.join();
  page->SetText(1000, "after the end");  // not recorded

  EXPECT_EQ(ReadLines(path_), (std::vector<std::string>{
                                  "open 900",
                                  "text 1000 \"opened\"",
                                  "enable 1 1",
                                  "text 1000 \"Zeile 1\\r\\nZeile \\\"2\\\"\"",
                                  "end 900 0",
                              }));
}

TEST(TranscriptOpenTest, AnUncreatableFileSaysWhy) {
  Transcript transcript;
  std::string error;
  EXPECT_FALSE(transcript.Open("/nonexistent-folder/transcript.txt", &error));
  EXPECT_NE(error.find("/nonexistent-folder/transcript.txt"), std::string::npos) << error;
  EXPECT_FALSE(transcript.IsOpen());
}

}  // namespace
}  // namespace corvash::pages::test
