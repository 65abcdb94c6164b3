// The page text table: fixed buffers, clean cuts, empty texts for absent ids.
#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "desktop/resources/resource_script.h"
#include "desktop/resources/text_table.h"

namespace corvash::resources {
namespace {

class TextTableTest : public ::testing::Test {
 protected:
  void TearDown() override { LoadTextTable(); }  // the next test starts from the shipped table
};

TEST_F(TextTableTest, ShippedTableHoldsEveryTextWhole) {
  LoadTextTable();
  const ResourceScript& script = ResourceScript::LoadDefault();
  for (int id = kFirstTextId; id <= kLastTextId; ++id) EXPECT_EQ(Text(id), script.String(id)) << id;
  EXPECT_STREQ(Text(11057), "Die Informationen auf Ihrem Quor Pocket PC werden überprüft...  Bitte warten...");
}

TEST_F(TextTableTest, AbsentAndOutOfRangeIdsAreEmpty) {
  LoadTextTable();
  EXPECT_STREQ(Text(11010), "");
  EXPECT_STREQ(Text(kFirstTextId - 1), "");
  EXPECT_STREQ(Text(kLastTextId + 1), "");
  EXPECT_STREQ(Text(-5), "");
}

TEST_F(TextTableTest, LongTextIsCutBeforeAWholeCharacter) {
  // "Größe": G(1) r(1) ö(2) ß(2) e(1). A buffer of 4 holds "Gr" and its
  // terminator; the first byte of ö must not stay.
  const ResourceScript script = ResourceScript::Parse("STRINGTABLE\nBEGIN\n 11020, \"Größe\"\nEND\n");
  LoadTextTable(script, 4);
  EXPECT_STREQ(Text(11020), "Gr");
  LoadTextTable(script, 5);
  EXPECT_STREQ(Text(11020), "Grö");
  LoadTextTable(script, 7);
  EXPECT_STREQ(Text(11020), "Größ");
  LoadTextTable(script, 8);
  EXPECT_STREQ(Text(11020), "Größe");
}

TEST_F(TextTableTest, TextsFromAnEarlierLoadStayReadable) {
  const ResourceScript script = ResourceScript::Parse("STRINGTABLE\nBEGIN\n 11011, \"alt\"\nEND\n");
  LoadTextTable(script);
  const char* old = Text(11011);
  LoadTextTable();
  EXPECT_STREQ(old, "alt");
  EXPECT_STREQ(Text(11011), "Abbrechen");
}

TEST_F(TextTableTest, EmptyScriptGivesEmptyTexts) {
  LoadTextTable(ResourceScript::Parse("garbage \"\x01\x02"));
  for (int id = kFirstTextId; id <= kLastTextId; ++id) ASSERT_STREQ(Text(id), "") << id;
}

// Worker threads read texts while the table is loaded again: every read
// sees a whole text of one load or the other.
TEST_F(TextTableTest, ReadersDuringAReloadSeeWholeTexts) {
  const ResourceScript other = ResourceScript::Parse("STRINGTABLE\nBEGIN\n 11057, \"anders\"\nEND\n");
  const std::string shipped = ResourceScript::LoadDefault().String(11057);
  std::atomic<bool> stop{false};
  std::atomic<int> bad{0};
  std::vector<std::thread> readers;
  for (int i = 0; i < 3; ++i) {
    readers.emplace_back([&] {
      while (!stop.load()) {
        const std::string text = Text(11057);
        if (text != shipped && text != "anders") bad.fetch_add(1);
      }
    });
  }
  for (int round = 0; round < 20; ++round) LoadTextTable(round % 2 == 0 ? other : ResourceScript::LoadDefault());
  stop.store(true);
  for (std::thread& reader : readers) reader.join();
  EXPECT_EQ(bad.load(), 0);
}

class CopyTextCutTest : public ::testing::Test {
 protected:
  std::string Cut(std::string_view text, size_t capacity) {
    std::string buffer(capacity + 4, '#');
    const size_t length = CopyTextCut(buffer.data(), capacity, text);
    EXPECT_EQ(buffer[length], '\0');
    EXPECT_EQ(buffer.substr(capacity), "####") << "wrote past the buffer";
    return std::string(buffer.c_str());
  }
};

TEST_F(CopyTextCutTest, KeepsOneByteForTheTerminator) {
  EXPECT_EQ(Cut("Weiter", 7), "Weiter");
  EXPECT_EQ(Cut("Weiter", 6), "Weite");
  EXPECT_EQ(Cut("Weiter", 1), "");
}

TEST_F(CopyTextCutTest, NeverSplitsMultiByteCharacters) {
  const std::string euro = "a\xE2\x82\xAC";        // a + 3-byte €
  const std::string emoji = "a\xF0\x9F\x98\x80";   // a + 4-byte character
  for (size_t capacity = 2; capacity <= 4; ++capacity) EXPECT_EQ(Cut(euro, capacity), "a") << capacity;
  EXPECT_EQ(Cut(euro, 5), euro);
  for (size_t capacity = 2; capacity <= 5; ++capacity) EXPECT_EQ(Cut(emoji, capacity), "a") << capacity;
  EXPECT_EQ(Cut(emoji, 6), emoji);
}

TEST_F(CopyTextCutTest, ZeroCapacityWritesNothing) {
  char byte = 'x';
  EXPECT_EQ(CopyTextCut(&byte, 0, "abc"), 0u);
  EXPECT_EQ(byte, 'x');
  EXPECT_EQ(CopyTextCut(nullptr, 10, "abc"), 0u);
}

}  // namespace
}  // namespace corvash::resources
