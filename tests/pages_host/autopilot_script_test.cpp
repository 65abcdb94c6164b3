#include <gtest/gtest.h>

#include "desktop/automation/autopilot_script.h"

namespace corvash::pages {

using automation::AutopilotStep;
using automation::ParseAutopilotScript;
using automation::kDefaultWaitEnabledMs;

namespace {

using Kind = AutopilotStep::Kind;

TEST(AutopilotScriptTest, ReadsEveryKindOfStep) {
  std::string error;
  const auto steps = ParseAutopilotScript(
      "# recovery run\n"
      "\n"
      "103 check 1203\n"
      "  103 press 1   # Weiter\n"
      "169 wait-enabled 1\n"
      "169 wait-enabled 1 5000\n"
      "169 run k5210-emu ctl /tmp/state bootloader # kept for the shell\n"
      "file open /tmp/rom image.nbf\n"
      "file save /tmp/backup.nbf\n"
      "file cancel\n",
      &error);
  ASSERT_TRUE(steps.has_value()) << error;
  ASSERT_EQ(steps->size(), 8u);
  EXPECT_EQ((*steps)[0].kind, Kind::kCheck);
  EXPECT_EQ((*steps)[0].templateId, 103);
  EXPECT_EQ((*steps)[0].controlId, 1203);
  EXPECT_EQ((*steps)[0].line, 3);
  EXPECT_EQ((*steps)[1].kind, Kind::kPress);
  EXPECT_EQ((*steps)[1].controlId, 1);
  EXPECT_EQ((*steps)[2].waitMs, kDefaultWaitEnabledMs);
  EXPECT_EQ((*steps)[3].waitMs, 5000u);
  EXPECT_EQ((*steps)[4].kind, Kind::kRun);
  EXPECT_EQ((*steps)[4].argument, "k5210-emu ctl /tmp/state bootloader # kept for the shell");
  EXPECT_EQ((*steps)[5].kind, Kind::kFileOpen);
  EXPECT_EQ((*steps)[5].argument, "/tmp/rom image.nbf");
  EXPECT_EQ((*steps)[6].kind, Kind::kFileSave);
  EXPECT_EQ((*steps)[7].kind, Kind::kFileCancel);
  EXPECT_TRUE((*steps)[7].IsFileStep());
}

TEST(AutopilotScriptTest, EmptyScriptHasNoSteps) {
  std::string error;
  const auto steps = ParseAutopilotScript("# nothing\n\n", &error);
  ASSERT_TRUE(steps.has_value());
  EXPECT_TRUE(steps->empty());
}

TEST(AutopilotScriptTest, MalformedLinesSayWhereAndWhy) {
  const std::pair<const char*, const char*> cases[] = {
      {"103 press\n", "line 1: expected a control number"},
      {"\n103 push 1\n", "line 2: unknown action \"push\""},
      {"abc press 1\n", "line 1: expected a page number"},
      {"103 press 1 2\n", "line 1: unexpected \"2\""},
      {"103 wait-enabled 1 soon\n", "line 1: expected a time"},
      {"103 run\n", "line 1: \"run\" needs a command"},
      {"file open\n", "line 1: \"file open\" needs a path"},
      {"file delete x\n", "line 1: expected \"file open\""},
      {"file cancel now\n", "line 1: \"file cancel\" takes nothing more"},
      {"103 press 99999999999\n", "line 1: expected a control number"},
  };
  for (const auto& [script, expected] : cases) {
    std::string error;
    EXPECT_FALSE(ParseAutopilotScript(script, &error).has_value()) << script;
    EXPECT_NE(error.find(expected), std::string::npos) << script << " -> " << error;
  }
}

}  // namespace
}  // namespace corvash::pages
