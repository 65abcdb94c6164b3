// Reading resource scripts: the statement forms the reader understands, and
// broken input that must leave it standing with whatever could be read.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <utility>
#include <vector>

#include "desktop/resources/embedded_files.h"
#include "desktop/resources/resource_script.h"

namespace corvash::resources {
namespace {

std::string DefaultScriptText() {
  for (const EmbeddedFile& file : EmbeddedFiles())
    if (std::string_view(file.name) == "corvash.rc") return std::string(reinterpret_cast<const char*>(file.data), file.size);
  return {};
}

class ScriptFormsTest : public ::testing::Test {};

TEST_F(ScriptFormsTest, StringEscapesAsTheResourceCompilerReadsThem) {
  const ResourceScript script = ResourceScript::Parse(
      "STRINGTABLE\nBEGIN\n"
      "  1, \"Klicken Sie auf \"\"Weiter\"\".\"\n"
      "  2, \"a\\nb\\r\\n\\tc\\\\d\"\n"
      "  3 L\"Gr\\x00f6\\x00dfe\"\n"
      "  4, \"one \" \"two\"\n"
      "  5, \"\\101\\102\"\n"
      "END\n");
  EXPECT_EQ(script.String(1), "Klicken Sie auf \"Weiter\".");
  EXPECT_EQ(script.String(2), "a\nb\r\n\tc\\d");
  EXPECT_EQ(script.String(3), "Größe");
  EXPECT_EQ(script.String(4), "one two");
  EXPECT_EQ(script.String(5), "AB");
  EXPECT_TRUE(script.Warnings().empty());
}

// The names a script gives its ids stand for them wherever an id goes, and
// the reader keeps them in the order the script defines them.
TEST_F(ScriptFormsTest, NamedIdsResolveAndAreKeptInOrder) {
  const ResourceScript script = ResourceScript::Parse(
      "#define IDD_PAGE 7\n#define IDC_HEADING 1038\n#define IDS_TEXT_HELLO (11000 + 58)\n"
      "STRINGTABLE\nBEGIN\n  IDS_TEXT_HELLO, \"Hallo\"\nEND\n"
      "IDD_PAGE DIALOGEX 0, 0, 10, 10\nBEGIN\n  LTEXT \"\",IDC_HEADING,0,0,5,5\nEND\n"
      "#define IDC_HEADING 1039\n");
  EXPECT_EQ(script.String(11058), "Hallo");
  ASSERT_NE(script.Dialog(7), nullptr);
  EXPECT_NE(script.Dialog(7)->Control(1038), nullptr);
  std::vector<std::pair<std::string, int64_t>> names;
  for (const ScriptName& name : script.Names()) names.emplace_back(name.name, name.value);
  EXPECT_EQ(names, (std::vector<std::pair<std::string, int64_t>>{
                       {"IDD_PAGE", 7}, {"IDC_HEADING", 1038}, {"IDS_TEXT_HELLO", 11058}, {"IDC_HEADING", 1039}}));
  EXPECT_EQ(script.Names().back().line, 12);
  EXPECT_TRUE(script.Warnings().empty());
}

TEST_F(ScriptFormsTest, DefinesExpressionsAndStyles) {
  const ResourceScript script = ResourceScript::Parse(
      "#include \"resource.h\"\n"
      "#define IDD_PAGE 200\n#define IDC_TEXT (1000 + 5)\n#define IDC_STATIC -1\n"
      "/* a block\n comment */ // and a line comment\n"
      "IDD_PAGE DIALOGEX 0, 0, 0x64, 50\n"
      "STYLE WS_POPUP | WS_CAPTION\nCAPTION \"Titel\"\nFONT 8, \"Arial\"\n"
      "BEGIN\n"
      "  LTEXT \"\",IDC_TEXT,1,2,3,4,NOT WS_VISIBLE\n"
      "  CONTROL \"\",IDC_STATIC,\"Static\",SS_BLACKRECT | WS_DISABLED,5,6,4,4\n"
      "  CONTROL \"\",7,BUTTON,BS_AUTOCHECKBOX,5,6,10,10,WS_EX_CLIENTEDGE\n"
      "END\n");
  const DialogTemplate* dialog = script.Dialog(200);
  ASSERT_NE(dialog, nullptr);
  EXPECT_EQ(dialog->cx, 100);
  EXPECT_TRUE(dialog->hasCaption);
  EXPECT_EQ(dialog->caption, "Titel");
  ASSERT_EQ(dialog->controls.size(), 3u);
  const DialogControl& text = dialog->controls[0];
  EXPECT_EQ(text.id, 1005);
  EXPECT_FALSE(text.visible());
  EXPECT_EQ(text.kind, ControlKind::kText);
  const DialogControl& bullet = dialog->controls[1];
  EXPECT_EQ(bullet.id, -1);
  EXPECT_EQ(bullet.kind, ControlKind::kBlackRect);
  EXPECT_TRUE(bullet.visible());
  EXPECT_TRUE(bullet.disabled());
  EXPECT_EQ(dialog->controls[2].kind, ControlKind::kCheckBox);
  EXPECT_EQ(dialog->controls[2].className, "BUTTON");
  EXPECT_EQ(dialog->controls[2].exStyle, 0x200u);
}

TEST_F(ScriptFormsTest, DialogWithoutCaptionHasNoTitleBar) {
  const ResourceScript script = ResourceScript::Parse(
      "5 DIALOGEX 0,0,10,10\nSTYLE DS_MODALFRAME | WS_POPUP\nFONT 8, \"Arial\"\nBEGIN\nEND\n");
  ASSERT_NE(script.Dialog(5), nullptr);
  EXPECT_FALSE(script.Dialog(5)->hasCaption);
  EXPECT_NE(script.Dialog(5)->style & kDsSetFont, 0u);
}

TEST_F(ScriptFormsTest, OtherResourceKindsAreSkipped) {
  const ResourceScript script = ResourceScript::Parse(
      "1 VERSIONINFO\n FILEVERSION 1,0,0,1\n FILEFLAGSMASK 0x3fL\nBEGIN\n BLOCK \"StringFileInfo\"\n BEGIN\n END\nEND\n"
      "2 MENU\nBEGIN\n POPUP \"&Datei\"\n BEGIN\n MENUITEM \"Ende\", 100\n END\nEND\n"
      "IDR_NAMED BITMAP \"x.bmp\"\n"
      "3 BITMAP DISCARDABLE \"pictures\\\\three.bmp\"\n"
      "STRINGTABLE DISCARDABLE\nBEGIN\n 9 \"neun\"\nEND\n");
  EXPECT_EQ(script.String(9), "neun");
  EXPECT_EQ(script.BitmapFile(3), "pictures\\three.bmp");
  EXPECT_TRUE(script.Bitmap(3).empty());  // named, but no file attached
}

TEST_F(ScriptFormsTest, AttachedFilesServeTheirBitmaps) {
  ResourceScript script = ResourceScript::Parse("4 BITMAP \"b/4.bmp\"\n8 ICON \"b/8.ico\"\n");
  script.AttachFile("b/4.bmp", {'B', 'M'});
  EXPECT_EQ(script.Bitmap(4), (std::vector<uint8_t>{'B', 'M'}));
  EXPECT_TRUE(script.Icon(8).empty());
  EXPECT_TRUE(script.Bitmap(8).empty());
}

class MalformedScriptTest : public ::testing::Test {};

TEST_F(MalformedScriptTest, UnterminatedStringEndsAtItsLine) {
  const ResourceScript script = ResourceScript::Parse(
      "STRINGTABLE\nBEGIN\n 1, \"offen\n 2, \"zu\"\nEND\n");
  EXPECT_EQ(script.String(1), "offen");
  EXPECT_EQ(script.String(2), "zu");
  EXPECT_FALSE(script.Warnings().empty());
}

TEST_F(MalformedScriptTest, MissingEndKeepsWhatWasRead) {
  const ResourceScript script = ResourceScript::Parse(
      "7 DIALOGEX 0,0,100,50\nBEGIN\n LTEXT \"a\",1,0,0,10,10\n"
      "STRINGTABLE\nBEGIN\n 3, \"drei\"\n");
  ASSERT_NE(script.Dialog(7), nullptr);
  EXPECT_EQ(script.Dialog(7)->Control(1)->text, "a");
  EXPECT_FALSE(script.Warnings().empty());
}

TEST_F(MalformedScriptTest, ShortControlsAndGarbageAreSkipped) {
  const ResourceScript script = ResourceScript::Parse(
      "@@@ ;; 12\n"
      "7 DIALOGEX 0,0,100,50\nBEGIN\n"
      "  LTEXT \"kurz\",1,0\n"
      "  CONTROL \"\",2,\"Button\"\n"
      "  !!\n"
      "  PUSHBUTTON \"ok\",3,0,0,50,14\n"
      "  WIDGET 1,2,3\n"
      "END\n"
      "STRINGTABLE\nBEGIN\n , \"ohne id\"\n 4\n 5, \"fünf\"\n 5, \"doppelt\"\nEND\n");
  const DialogTemplate* dialog = script.Dialog(7);
  ASSERT_NE(dialog, nullptr);
  ASSERT_EQ(dialog->controls.size(), 1u);
  EXPECT_EQ(dialog->controls[0].id, 3);
  EXPECT_EQ(script.String(4), "");
  EXPECT_EQ(script.String(5), "fünf");
  EXPECT_GE(script.Warnings().size(), 5u);
}

TEST_F(MalformedScriptTest, InvalidUtf8BecomesReplacementCharacters) {
  const ResourceScript script = ResourceScript::Parse("STRINGTABLE\nBEGIN\n 1, \"a\xC3\" \"\xFF\x80z\"\nEND\n");
  EXPECT_EQ(script.String(1), "a\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBDz");
}

TEST_F(MalformedScriptTest, HugeNumbersAreClamped) {
  const ResourceScript script = ResourceScript::Parse(
      "9 DIALOGEX 0,0,99999999999999999999,0xFFFFFFFFFF\nBEGIN\n LTEXT \"\",1,-70000,0,1,1\nEND\n");
  ASSERT_NE(script.Dialog(9), nullptr);
  EXPECT_EQ(script.Dialog(9)->cx, 32767);
  EXPECT_EQ(script.Dialog(9)->controls.at(0).x, -32768);
}

TEST_F(MalformedScriptTest, EmptyAndBinaryInputsReadAsEmpty) {
  for (const std::string& text : {std::string(), std::string("\0\0\0", 3), std::string("BEGIN END } { ,,,|||"),
                                  std::string("STRINGTABLE"), std::string("1 DIALOGEX"), std::string("#define")}) {
    const ResourceScript script = ResourceScript::Parse(text);
    EXPECT_TRUE(script.DialogIds().empty());
    EXPECT_TRUE(script.StringIds().empty());
    EXPECT_EQ(script.String(11057), "");
    EXPECT_EQ(script.Dialog(103), nullptr);
  }
}

// Parentheses nested deeper than any script needs are skipped, not read on
// the stack; the rest of the script still reads.
TEST_F(MalformedScriptTest, DeeplyNestedParenthesesAreSkipped) {
  const std::string deep = std::string(100000, '(') + "1" + std::string(100000, ')');
  const ResourceScript script = ResourceScript::Parse("9 DIALOGEX 0,0," + deep + ",(((2+3)))\nBEGIN\n LTEXT \"\",1,0,0,1,1\nEND\n" +
                                                      "8 DIALOGEX 0,0," + std::string(100000, '(') + "\nBEGIN\nEND\n" +
                                                      "STRINGTABLE\nBEGIN\n 11057, \"after\"\nEND\n");
  ASSERT_NE(script.Dialog(9), nullptr);
  EXPECT_EQ(script.Dialog(9)->cx, 0);
  EXPECT_EQ(script.Dialog(9)->cy, 5);
  EXPECT_EQ(script.Dialog(9)->controls.size(), 1u);
  EXPECT_EQ(script.Dialog(8), nullptr);
  EXPECT_EQ(script.String(11057), "after");
  EXPECT_FALSE(script.Warnings().empty());
}

// Every cut of the real script reads without a crash, and the strings and
// templates before the cut come out as in the whole script.
TEST_F(MalformedScriptTest, EveryTruncationOfTheRealScriptReads) {
  const std::string text = DefaultScriptText();
  ASSERT_FALSE(text.empty());
  const ResourceScript whole = ResourceScript::Parse(text);
  for (size_t cut = 0; cut < text.size(); cut += 211) {
    const ResourceScript part = ResourceScript::Parse(std::string_view(text).substr(0, cut));
    std::vector<int> strings = part.StringIds();
    if (!strings.empty()) strings.pop_back();  // the one the cut went through
    for (const int id : strings) EXPECT_EQ(part.String(id), whole.String(id)) << "cut " << cut << " string " << id;
    for (const int id : part.DialogIds()) {
      ASSERT_NE(whole.Dialog(id), nullptr);
      EXPECT_LE(part.Dialog(id)->controls.size(), whole.Dialog(id)->controls.size());
    }
  }
}

TEST_F(MalformedScriptTest, RandomDamageToTheRealScriptReads) {
  const std::string text = DefaultScriptText();
  std::mt19937 random(20240611);
  for (int round = 0; round < 60; ++round) {
    std::string damaged = text;
    for (int n = 0; n < 20; ++n) {
      const size_t at = random() % damaged.size();
      switch (random() % 3) {
        case 0: damaged[at] = static_cast<char>(random() % 256); break;
        case 1: damaged.erase(at, random() % 16); break;
        default: damaged.insert(at, std::string(1, "\"{},|\\-\n"[random() % 8])); break;
      }
    }
    const ResourceScript script = ResourceScript::Parse(damaged);
    for (const int id : script.DialogIds()) ASSERT_NE(script.Dialog(id), nullptr);
    (void)script.String(11057);
  }
}

}  // namespace
}  // namespace corvash::resources
