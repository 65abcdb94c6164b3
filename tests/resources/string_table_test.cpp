// The German string table as the program ships it: every page text with its
// id, exact to the byte (umlauts, doubled blanks, line breaks).
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "desktop/resources/resource_script.h"

namespace corvash::resources {
namespace {

// Every text id that a page or screen shows.
const std::vector<int> kPageTextIds = {
    11011, 11012, 11013, 11014, 11018, 11028, 11029, 11031, 11033, 11035, 11036, 11037, 11038,
    11039, 11041, 11042, 11043, 11044, 11046, 11047, 11048, 11049, 11050, 11051, 11052, 11053,
    11054, 11055, 11056, 11057, 11058, 11059, 11060, 11062, 11063, 11069, 11070, 11074, 11075,
    11076, 11077, 11078, 11081, 11083, 11084, 11088, 11089, 11094, 11095, 11096, 11097, 11098,
    11099, 11100, 11101, 11102, 11103, 11108, 11110, 11112, 11113, 11115, 11116, 11117, 11118,
    11119, 11121, 11122, 11124, 11125, 11126, 11127, 11135, 11138, 11139, 11140, 11141, 11142,
    11143, 11144, 11145, 11146, 11147, 11149, 11151, 11155, 11156, 11166, 11167, 11172, 11173,
    11174, 11177, 11178, 11179, 11180, 11181, 11182, 11183, 11184, 11185, 11188, 11189, 11190
};

struct ExpectedText {
  int id;
  const char* text;
};

const ExpectedText kExactTexts[] = {
    {11011, "Abbrechen"},
    {11012, "Weiter"},
    {11035, " Merlix Quor Pocket PC Solvane V2.50.09"},
    {11039, "Klicken Sie auf \"Weiter\", um fortzufahren. Klicken Sie auf \"Abbrechen\", um den Vorgang abzubrechen."},
    {11042, "Modell:"},
    {11047, "FEHLER 100: INKOMPATIBLES IMAGE"},
    {11050, "Schauen Sie auf der Merlix Website nach, und laden Sie das korrekte ROM-Update herunter.\n\nKlicken Sie auf \"Beenden\", um den Vorgang zu beenden."},
    {11057, "Die Informationen auf Ihrem Quor Pocket PC werden überprüft...  Bitte warten..."},
    {11059, "Dieses Utility aktualisiert das ROM-Image auf Ihrem Quor Pocket PC. \n\nWährend der Aktualisierung wird das Solvane Folgendes ausführen:"},
    {11074, "Klicken Sie auf \"Beenden\", um das Programm zu beenden."},
    {11076, "FEHLER 102: PRÜFSUMMENFEHLER BEI IMAGE-DATEI."},
    {11078, "FEHLER 104: ROM-IMAGE-DATEI KANN NICHT GEÖFFNET WERDEN"},
    {11081, "3. Verbinden Sie Ihren Quor Pocket PC wieder mit der Docking Station bzw.\n     dem Kabel (USB oder seriell).\n\n4. Überprüfen Sie, ob die Docking Station / das Kabel ordnungsgemäß für die\n    Kommunikation angeschlossen ist.\n\n5. Führen Sie das Solvane noch einmal aus."},
    {11089, "Das Solvane kann das aktuelle ROM-Image nicht sichern.\r\n\r\nÜberprüfen Sie Folgendes:\r\n\r\n1. Überprüfen Sie, auf welches Ziellaufwerk Sie die Daten sichern.\r\n2. Überprüfen Sie, ob auf dem Ziellaufwerk genügend Speicherplatz zur\n    Verfügung steht.\r\n3. Löschen Sie die unvollständige Sicherungskopie des ROM-Image vom PC.\r\n4. Führen Sie das Solvane noch einmal aus, und versuchen Sie, die\n    Funktion Sichern erneut auszuführen."},
    {11102, "Klicken Sie auf \"Weiter\", um die vorhandene Datei zu ersetzen und mit der Sicherung fortzufahren.\n\nKlicken Sie auf \"Abbrechen\", um zurückzugehen und die Datei unter einem anderen Namen zu speichern."},
    {11116, "Das Solvane kann keine Verbindung zu Ihrem Quor Pocket PC herstellen. Prüfen Sie, ob die Docking Station bzw. das Kabel (USB oder seriell) korrekt an den PC und Ihren Quor Pocket PC angeschlossen ist.\n\nÜberprüfen Sie Folgendes, und starten Sie den Vorgang noch einmal:\n\n1. Der Quor Pocket PC ist mit Docking Station bzw. Kabel (USB oder seriell)\n    verbunden.\n2. Die Docking Station bzw. das Kabel (USB oder seriell) ist mit dem PC\n    verbunden."},
    {11121, "Das Solvane kann das Programm für die Remote-Kommunikation\nnicht ausführen.  Überprüfen Sie, ob die Docking Station bzw. das Kabel (USB oder seriell) für die Kommunikation ordnungsgemäß am PC und Ihrem Quor Pocket PC angeschlossen ist, und versuchen Sie es noch einmal."},
    {11127, "Während des Aktualisierungsvorgangs ist das Solvane auf\nKommunikationsfehler gestoßen. So fahren Sie mit dem Aktualisierungsvorgang fort:\n\n1. Trennen Sie Ihren Quor Pocket PC von der Docking Station bzw. dem Kabel\n     (USB oder seriell).\n\n2. Führen Sie Folgendes gleichzeitig durch:"},
    {11140, "Deutsch"},
    {11147, " Sie benötigen ActiveSync 3.5 oder höher, um das neue ROM-Image verwenden zu können. \n\n Installieren Sie ActiveSync 3.5 oder höher, und starten Sie dieses Utility noch einmal."},
    {11149, "                  Wenn Sie dieses Update installieren, werden alle Daten auf Ihrem Quor Pocket PC gelöscht, einschließlich der Daten im Quor File Store.  Lesen Sie die wichtigen Hinweise in der Readme-Datei, bevor Sie fortfahren."},
    {11156, "1. Nehmen Sie Ihren Quor Pocket PC aus der (USB/seriellen) Docking\n    Station bzw. trennen Sie ihn vom Kabel.\n2. Führen Sie die folgenden Schritte gleichzeitig aus: \n         Drücken und halten Sie die Quick Launch-Taste @1 und die\n         Anwendungstaste @4 \n         Halten Sie den Ein-/Aus-Schalter gedrückt, und drücken Sie die\n          Reset-Taste, bis das angezeigte Bild schwächer wird.\n         Lassen Sie alle Tasten los.\n3. Warten Sie etwa 60 Sekunden, und schließen Sie den Quor Pocket PC \n    dann wieder an die Docking Station bzw. das Kabel (USB oder seriell)\n    und die Netzstromversorgung an, um den Akku zu aktivieren. \n4. Trennen Sie den Quor von der Docking Station bzw. dem Kabel (USB\n    oder seriell) und folgen Sie den Anleitungen auf dem Display, um das Setup\n    für das Gerät abzuschließen.\n5. Verbinden Sie den Quor Pocket PC wieder mit der Docking Station bzw. dem\n    Kabel (USB oder seriell)."},
    {11166, "Achtung :"},
    {11167, "Drücken und halten Sie die Anwendungstaste @2 und den Ein-/Aus-Schalter.\nHalten Sie diese Tasten gedrückt, und führen Sie mit dem Stift einen normalen Reset aus."},
    {11174, "Ihr Quor muss vom Modell K5210 oder höher sein. Sehen Sie bitte auf\nder Merlix Website nach, und laden Sie ein kompatibles Solvane herunter."},
    {11181, "1"},
    {11183, "3. Schließen Sie die Docking Station bzw. das Kabel direkt an den USB- oder \n    seriellen Anschluss des Host-PC (und nicht an einen USB-Hub) an.\n4. Schließen Sie die Docking Station oder den Quor Pocket PC an die\n    Netzstromversorgung an.\n5. Deaktivieren Sie den Standbymodus und Ruhezustand auf dem Host-PC.\n6. Schließen Sie alle anderen Anwendungen auf dem Host-PC."},
    {11184, "Folgen Sie den nachstehenden Anleitungen, um den Quor Pocket PC auf die Aktualisierung/Wiederherstellung vorzubereiten:\n\n\n    1. Trennen Sie den Quor Pocket PC von der Docking Station bzw. dem Kabel\n        (USB oder seriell).\n    2. Führen Sie Folgendes gleichzeitig durch:"},
    {11185, "     3. Verbinden Sie den Quor Pocket PC wieder mit der Docking Station bzw.\n        dem Kabel (USB oder seriell)."},
    {11188, "Klicken Sie auf \"Weiter\", um fortzufahren."},
    {11190, "Ihr Quor Pocket PC konnte nicht identifiziert werden. \r\n\n\nFühren Sie auf Ihrem Quor Pocket PC einen normalen Reset aus, und führen Sie das Solvane erneut aus."},
    {11069, "Herzlichen Glückwunsch!  Die Aktualisierung des ROM ist jetzt abgeschlossen.  Ihr Quor Pocket PC kann wieder verwendet werden.\n\n\n\n\n\n\nFolgen Sie den Anleitungen auf Ihrem Host-PC, um wieder eine Partnerschaft herzustellen und Ihre Daten mit ActiveSync zu sychronisieren."},
    {11036, "Führen Sie zunächst Folgendes aus, um Ihren Quor Pocket PC auf den Aktualisierungsvorgang vorzubereiten.\n\n1. Entfernen Sie etwaige Expansion Packs vom Quor Pocket PC.\n2. Setzen Sie das Gerät normal zurück, indem Sie die Reset-Taste drücken."},
    {11038, "1. Verbinden Sie Ihren Quor Pocket PC mit der Docking Station bzw. dem\n    Kabel.\r\n\n2. Warten Sie erst etwa 30 Sekunden, um sicherzustellen, dass die Verbindung\n    zu ActiveSync hergestellt wurde, bevor Sie fortfahren."},
    {11062, "Sie können jetzt das ROM-Image aktualisieren. Bei einer USB-Verbindung dauert dieser Vorgang etwa 8 Minuten. Bei einer seriellen Verbindung dauert dieser Vorgang etwa 1 Stunde. \r\n\r\n\nWährend des Update-Vorgangs geschieht Folgendes:"},
    {11122, "HINWEIS:  Der Sicherungsvorgang wurde unterbrochen, und das gesicherte\nROM-Image ist nun unvollständig.  Löschen Sie die unvollständige Datei, und\nführen Sie das Solvane noch einmal aus."},
};

size_t CodePoints(const std::string& text) {
  return static_cast<size_t>(std::count_if(text.begin(), text.end(), [](char c) {
    return (static_cast<unsigned char>(c) & 0xC0) != 0x80;
  }));
}

class StringTableTest : public ::testing::Test {
 protected:
  const ResourceScript& script_ = ResourceScript::LoadDefault();
};

TEST_F(StringTableTest, ScriptReadsWithoutWarnings) {
  for (const std::string& warning : script_.Warnings()) ADD_FAILURE() << warning;
}

TEST_F(StringTableTest, EveryPageTextIsPresentAndNothingElse) {
  for (const int id : kPageTextIds) EXPECT_FALSE(script_.String(id).empty()) << id;
  EXPECT_EQ(script_.StringIds(), kPageTextIds);
}

TEST_F(StringTableTest, TextsAreExact) {
  for (const ExpectedText& expected : kExactTexts)
    EXPECT_EQ(script_.String(expected.id), expected.text) << "string " << expected.id;
}

TEST_F(StringTableTest, LongTextsHaveTheirLengthInCharacters) {
  EXPECT_EQ(CodePoints(script_.String(11036)), 240u);
  EXPECT_EQ(CodePoints(script_.String(11069)), 269u);
  EXPECT_EQ(CodePoints(script_.String(11149)), 229u);
  EXPECT_EQ(CodePoints(script_.String(11156)), 926u);
  EXPECT_EQ(CodePoints(script_.String(11183)), 370u);
  EXPECT_EQ(CodePoints(script_.String(11184)), 274u);
}

TEST_F(StringTableTest, TheFourReadyTextsAreEqual) {
  const std::string ready = script_.String(11062);
  EXPECT_EQ(script_.String(11063), ready);
  EXPECT_EQ(script_.String(11094), ready);
  EXPECT_EQ(script_.String(11095), ready);
}

TEST_F(StringTableTest, WelcomeWarningLeavesRoomForItsLabel) {
  const std::string warning = script_.String(11149);
  EXPECT_EQ(warning.find_first_not_of(' '), 18u);
}

TEST_F(StringTableTest, MissingIdsAreEmpty) {
  EXPECT_EQ(script_.String(11010), "");
  EXPECT_FALSE(script_.HasString(11010));
  EXPECT_EQ(script_.String(0), "");
  EXPECT_EQ(script_.String(-1), "");
  EXPECT_EQ(script_.String(99999), "");
}

}  // namespace
}  // namespace corvash::resources
