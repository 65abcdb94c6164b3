#include "common/fixed_text.h"

#include <gtest/gtest.h>

#include <string>

#include "desktop/session/update_session.h"

namespace corvash::common {
namespace {

TEST(FixedTextTest, LongTextIsCutAndTerminated) {
  char field[5];
  std::memset(field, 'x', sizeof field);
  CopyText(field, "2.04-extra");
  EXPECT_EQ("2.04", std::string(TextOf(field)));
  EXPECT_EQ('\0', field[4]);
}

TEST(FixedTextTest, ShorterTextLeavesNoOldCharacters) {
  char field[10];
  CopyText(field, "Quor 5210");
  CopyText(field, "AB");
  EXPECT_EQ("AB", std::string(TextOf(field)));
  for (size_t i = 2; i < sizeof field; ++i) EXPECT_EQ('\0', field[i]);
}

TEST(FixedTextTest, CutNeverSplitsAUtf8Sequence) {
  char field[6];
  CopyText(field, "Zur\xC3\xBC" "ck");  // "Zurück": the cut falls inside "ü"
  EXPECT_EQ("Zur\xC3\xBC", std::string(TextOf(field)));
  char shorter[5];
  CopyText(shorter, "Zur\xC3\xBC" "ck");
  EXPECT_EQ("Zur", std::string(TextOf(shorter)));
  char raw[4];
  CopyText(raw, "\x80\x80\x80\x80\x80");  // not text: cut at the capacity
  EXPECT_EQ(3u, TextOf(raw).size());
}

TEST(FixedTextTest, CaseFreeComparison) {
  EXPECT_TRUE(EqualsNoCase("Quor 5210", "QUOR 5210"));
  EXPECT_FALSE(EqualsNoCase("ENG", "ENGL"));
  EXPECT_FALSE(EqualsNoCase("ENG", "GER"));
}

TEST(UpdateSessionTest, DefaultsAndBoundedPath) {
  session::UpdateSession s;
  EXPECT_EQ(1u, s.serialLink.load());
  EXPECT_EQ(1u, s.flow.backAllowed.load());
  CopyText(s.image.imagePath, std::string(400, 'a'));
  EXPECT_EQ(259u, TextOf(s.image.imagePath).size());
  s.Reset();
  EXPECT_TRUE(TextOf(s.image.imagePath).empty());
}

}  // namespace
}  // namespace corvash::common
