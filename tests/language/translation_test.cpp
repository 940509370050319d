// The language table: choosing the language file, reading its lines and
// looking texts up.
#include "language/translation.h"

#include "tests/fakes/fakes.h"
#include "tests/support/temp_env.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>

namespace brisa {
namespace {

using test::FakeSystemInfo;
using test::TempEnv;
using test::WriteFile;

// Writes lang/<id>.txt in the program folder.
void WriteLanguageFile(const TempEnv& pEnv, const std::string& pId, const std::string& pBytes) {
    WriteFile(pEnv.Path("lang/" + pId + ".txt"), pBytes);
}

std::string TextOf(const cTranslation& pTable, const std::string& pId) {
    const cString* entry = pTable.Find(pId);
    return entry ? entry->Translation : "<missing>";
}

class LoadLanguageTest : public ::testing::Test {
protected:
    void SetUp() override {
        Translation.Clear();
        gLanguageId = "unset";
    }
    void TearDown() override {
        Translation.Clear();
        gLanguageId.clear();
    }
    TempEnv env;
    FakeSystemInfo system;
};

// ---- choosing the file -------------------------------------------------

TEST_F(LoadLanguageTest, SystemLanguageWithItsOwnFileReadsThatFile) {
    WriteLanguageFile(env, "00000409", "mm0063\tRecord\r\n");
    WriteLanguageFile(env, "00000407", "mm0063\tAufnahme\r\n");
    system.languageId = 0x0407;
    LoadLanguage(system, env.ProgramFolder());
    EXPECT_EQ(gLanguageId, "00000407");
    EXPECT_EQ(Tr("mm0063"), "Aufnahme");
}

TEST_F(LoadLanguageTest, SubLanguageWithoutFileFallsBackToPrimaryLanguage) {
    WriteLanguageFile(env, "00000409", "mm0063\tRecord\r\n");
    WriteLanguageFile(env, "00000407", "mm0063\tAufnahme\r\n");
    system.languageId = 0x0807; // German, Switzerland
    LoadLanguage(system, env.ProgramFolder());
    EXPECT_EQ(gLanguageId, "00000407");
    EXPECT_EQ(Tr("mm0063"), "Aufnahme");
}

TEST_F(LoadLanguageTest, SubLanguageWithItsOwnFileIsPreferredOverPrimary) {
    WriteLanguageFile(env, "00000407", "mm0063\tAufnahme\r\n");
    WriteLanguageFile(env, "00000C07", "mm0063\tAufnahme (AT)\r\n");
    system.languageId = 0x0C07;
    LoadLanguage(system, env.ProgramFolder());
    EXPECT_EQ(gLanguageId, "00000C07");
    EXPECT_EQ(Tr("mm0063"), "Aufnahme (AT)");
}

TEST_F(LoadLanguageTest, LanguageWithoutAnyFileFallsBackToEnglish) {
    WriteLanguageFile(env, "00000409", "mm0063\tRecord\r\n");
    WriteLanguageFile(env, "00000407", "mm0063\tAufnahme\r\n");
    system.languageId = 0x0411; // Japanese
    LoadLanguage(system, env.ProgramFolder());
    EXPECT_EQ(gLanguageId, "00000409");
    EXPECT_EQ(Tr("mm0063"), "Record");
}

TEST_F(LoadLanguageTest, UnknownSystemLanguageMeansEnglish) {
    WriteLanguageFile(env, "00000409", "mm0063\tRecord\r\n");
    system.languageId = 0;
    LoadLanguage(system, env.ProgramFolder());
    EXPECT_EQ(gLanguageId, "00000409");
    EXPECT_EQ(Tr("mm0063"), "Record");
}

TEST_F(LoadLanguageTest, MissingEnglishFileLeavesTheTableEmpty) {
    system.languageId = 0x0411;
    LoadLanguage(system, env.ProgramFolder());
    EXPECT_EQ(gLanguageId, "00000409");
    EXPECT_EQ(Translation.Count(), 0u);
    EXPECT_FALSE(Tr("mm0063").has_value());
}

TEST_F(LoadLanguageTest, MissingProgramFolderLeavesTheTableEmpty) {
    system.languageId = 0x0407;
    LoadLanguage(system, env.Path("does/not/exist"));
    EXPECT_EQ(gLanguageId, "00000409");
    EXPECT_EQ(Translation.Count(), 0u);
}

TEST_F(LoadLanguageTest, FolderInPlaceOfTheFileIsNotTakenForIt) {
    WriteLanguageFile(env, "00000409", "mm0063\tRecord\r\n");
    WriteFile(env.Path("lang/00000407.txt/keep"), "x");
    system.languageId = 0x0407;
    LoadLanguage(system, env.ProgramFolder());
    EXPECT_EQ(gLanguageId, "00000409");
    EXPECT_EQ(Tr("mm0063"), "Record");
}

TEST_F(LoadLanguageTest, LoadingAgainReplacesTheEarlierTable) {
    WriteLanguageFile(env, "00000409", "mm0063\tRecord\r\nmm0064\tPlay\r\n");
    WriteLanguageFile(env, "00000407", "mm0063\tAufnahme\r\n");
    system.languageId = 0x0409;
    LoadLanguage(system, env.ProgramFolder());
    system.languageId = 0x0407;
    LoadLanguage(system, env.ProgramFolder());
    EXPECT_EQ(Tr("mm0063"), "Aufnahme");
    EXPECT_FALSE(Tr("mm0064").has_value());
}

TEST_F(LoadLanguageTest, Windows1252BytesBecomeUtf8) {
    WriteLanguageFile(env, "00000407",
                      "opt0003\t\xDC"
                      "bernehmen\r\n"                      // Ü
                      "mm0069\tEmpfangsbest\xE4tigung\r\n" // ä
                      "mm0075\tSchlie\xDF"
                      "en\r\n"                            // ß
                      "mm0001\t\xC4 \x80 \x84x\x93\r\n"); // Ä € „ “
    system.languageId = 0x0407;
    LoadLanguage(system, env.ProgramFolder());
    EXPECT_EQ(Tr("opt0003"), "\xC3\x9C"
                             "bernehmen");
    EXPECT_EQ(Tr("mm0069"), "Empfangsbest\xC3\xA4tigung");
    EXPECT_EQ(Tr("mm0075"), "Schlie\xC3\x9F"
                            "en");
    EXPECT_EQ(Tr("mm0001"), "\xC3\x84 \xE2\x82\xAC \xE2\x80\x9Ex\xE2\x80\x9C");
}

// ---- LanguageId --------------------------------------------------------

TEST(LanguageIdTest, FormatsAsEightUpperCaseHexDigits) {
    FakeSystemInfo system;
    system.languageId = 0x0409;
    EXPECT_EQ(LanguageId(system), "00000409");
    system.languageId = 0x0C07;
    EXPECT_EQ(LanguageId(system), "00000C07");
    system.languageId = 0xFFFF;
    EXPECT_EQ(LanguageId(system), "0000FFFF");
}

TEST(LanguageIdTest, UnknownLanguageGivesEmptyText) {
    FakeSystemInfo system;
    system.languageId = 0;
    EXPECT_EQ(LanguageId(system), "");
}

// ---- reading lines -----------------------------------------------------

TEST(ParseLanguageTextTest, CommentsAndBlankLinesAreSkipped) {
    cTranslation table;
    ParseLanguageText("' a comment\r\n"
                      "   ' a comment after blanks\r\n"
                      "\r\n"
                      "     \r\n"
                      "mm0036\tReady\r\n",
                      table);
    EXPECT_EQ(table.Count(), 1u);
    EXPECT_EQ(TextOf(table, "mm0036"), "Ready");
}

TEST(ParseLanguageTextTest, OnlyTheTextBeforeASecondTabCounts) {
    cTranslation table;
    ParseLanguageText("mm0036\tfirst text\tsecond text\r\n", table);
    EXPECT_EQ(TextOf(table, "mm0036"), "first text");
}

TEST(ParseLanguageTextTest, ApostropheInsideTheTextStays) {
    cTranslation table;
    ParseLanguageText("mm0036\tIt's ready 'now'\r\n", table);
    EXPECT_EQ(TextOf(table, "mm0036"), "It's ready 'now'");
}

TEST(ParseLanguageTextTest, KeysIgnoreLetterCase) {
    cTranslation table;
    ParseLanguageText("MM0036\tupper\r\n", table);
    EXPECT_EQ(TextOf(table, "mm0036"), "upper");
    EXPECT_EQ(TextOf(table, "Mm0036"), "upper");
    ASSERT_NE(table.Find("mm0036"), nullptr);
    EXPECT_EQ(table.Find("mm0036")->Id, "MM0036"); // the id as written is kept
}

TEST(ParseLanguageTextTest, FirstLineOfAnIdWins) {
    cTranslation table;
    ParseLanguageText("mm0036\tfirst\r\nmm0036\tsecond\r\nMM0036\tthird\r\n", table);
    EXPECT_EQ(table.Count(), 1u);
    EXPECT_EQ(TextOf(table, "mm0036"), "first");
}

TEST(ParseLanguageTextTest, IdWithoutTabGivesEmptyText) {
    cTranslation table;
    ParseLanguageText("mm0036\r\n  mm0037   \r\n", table);
    EXPECT_EQ(table.Count(), 2u);
    EXPECT_EQ(TextOf(table, "mm0036"), "");
    EXPECT_EQ(TextOf(table, "mm0037"), "");
}

TEST(ParseLanguageTextTest, BlanksAreTrimmedButTabsAreNot) {
    cTranslation table;
    ParseLanguageText("   mm0036   \t   some text   \r\n" // blanks around id and text
                      "mm0037\t\tafter two tabs\r\n"      // empty text before the 2nd TAB
                      "\tmm0038\ttext\r\n"                // a leading TAB makes the id empty
                      "mm0039\ttext\t\r\n",               // a trailing TAB ends the text
                      table);
    EXPECT_EQ(TextOf(table, "mm0036"), "some text");
    EXPECT_EQ(TextOf(table, "mm0037"), "");
    EXPECT_EQ(TextOf(table, "mm0038"), "<missing>");
    EXPECT_EQ(TextOf(table, ""), "mm0038");
    EXPECT_EQ(TextOf(table, "mm0039"), "text");
}

TEST(ParseLanguageTextTest, LineFeedOnlyLinesWork) {
    cTranslation table;
    ParseLanguageText("' comment\nmm0036\tone\nmm0037\ttwo", table);
    EXPECT_EQ(table.Count(), 2u);
    EXPECT_EQ(TextOf(table, "mm0036"), "one");
    EXPECT_EQ(TextOf(table, "mm0037"), "two"); // last line without a line end
}

TEST(ParseLanguageTextTest, EmptyInputGivesEmptyTable) {
    cTranslation table;
    ParseLanguageText("", table);
    EXPECT_EQ(table.Count(), 0u);
}

TEST(ParseLanguageTextTest, BinaryGarbageDoesNotStopGoodLines) {
    std::string bytes("mm0036\tbefore\r\n", 15);
    bytes += std::string("\x00\x01\xFF\x81\x8D\x8F\x90\x9D\t\t\x00\r\r\n", 14);
    bytes += std::string(3, '\0') + "\r\n";
    bytes += "mm0037\tafter\r\n";
    cTranslation table;
    ParseLanguageText(bytes, table);
    EXPECT_EQ(TextOf(table, "mm0036"), "before");
    EXPECT_EQ(TextOf(table, "mm0037"), "after");
}

TEST(ParseLanguageTextTest, RandomBytesNeverCrash) {
    std::mt19937 random(1234);
    std::uniform_int_distribution<int> byte(0, 255);
    for (int round = 0; round < 200; ++round) {
        std::string bytes(static_cast<size_t>(random() % 4096), '\0');
        for (auto& c : bytes)
            c = static_cast<char>(byte(random));
        cTranslation table;
        ParseLanguageText(bytes, table);
        // Every entry came from one line, so there are never more entries
        // than line ends plus one.
        const auto lines = static_cast<size_t>(std::count(bytes.begin(), bytes.end(), '\n')) + 1;
        EXPECT_LE(table.Count(), lines);
    }
}

TEST_F(LoadLanguageTest, DamagedFileLoadsWithoutCrashing) {
    std::string bytes(std::string("\xEF\xBB\xBFmm0001\tx\r\n", 13));
    for (int i = 0; i < 256; ++i)
        bytes += static_cast<char>(i);
    bytes += "\r\nmm0036\tstill read\r\n";
    WriteLanguageFile(env, "00000409", bytes);
    LoadLanguage(system, env.ProgramFolder());
    EXPECT_EQ(Tr("mm0036"), "still read");
}

// ---- lookup ------------------------------------------------------------

TEST(TrTest, MissingIdGivesNothingAndEmptyTextIsAText) {
    Translation.Clear();
    ParseLanguageText("mm0036\tReady\r\nmm0037\r\n", Translation);
    EXPECT_EQ(Tr("MM0036"), "Ready");
    ASSERT_TRUE(Tr("mm0037").has_value());
    EXPECT_EQ(*Tr("mm0037"), "");
    EXPECT_FALSE(Tr("mm9999").has_value());
    Translation.Clear();
}

TEST(cTranslationTest, AddRefusesASecondEntryUnderTheSameKey) {
    cTranslation table;
    EXPECT_TRUE(table.Add({"opt0001", "OK"}));
    EXPECT_FALSE(table.Add({"OPT0001", "Okay"}));
    EXPECT_EQ(table.Count(), 1u);
    EXPECT_EQ(TextOf(table, "opt0001"), "OK");
}

} // namespace
} // namespace brisa
