// The language table: choosing the language file, reading its lines and
// looking texts up.
#include "language/translation.h"

#include "tests/fakes/fakes.h"
#include "tests/support/temp_env.h"

#include <gtest/gtest.h>

#include <algorithm>

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

// The system's language, else its primary language, else English; a file
// of the language's own country before the primary one.
TEST_F(LoadLanguageTest, ChoosesTheFileOfTheSystemsLanguage) {
    struct Case {
        uint16_t system;
        std::vector<const char*> files; // ids that have a file with "mm0063\t<id>"
        const char* chosen;
        const char* text; // "" no table
    };
    const std::vector<Case> cases = {
        {0x0407, {"00000409", "00000407"}, "00000407", "00000407"},
        {0x0807, {"00000409", "00000407"}, "00000407", "00000407"}, // German, Switzerland
        {0x0C07, {"00000407", "00000C07"}, "00000C07", "00000C07"},
        {0x0411, {"00000409", "00000407"}, "00000409", "00000409"}, // Japanese
        {0, {"00000409"}, "00000409", "00000409"},
        {0x0411, {}, "00000409", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.system);
        TempEnv folder;
        for (const char* id : c.files)
            WriteLanguageFile(folder, id, std::string("mm0063\t") + id + "\r\n");
        system.languageId = c.system;
        LoadLanguage(system, folder.ProgramFolder());
        EXPECT_EQ(gLanguageId, c.chosen);
        EXPECT_EQ(Tr("mm0063").value_or(""), c.text);
    }
    // A folder in the place of the file is not taken for it; loading again
    // replaces the earlier table.
    WriteLanguageFile(env, "00000409", "mm0063\tRecord\r\nmm0064\tPlay\r\n");
    WriteFile(env.Path("lang/00000407.txt/keep"), "x");
    system.languageId = 0x0407;
    LoadLanguage(system, env.ProgramFolder());
    EXPECT_EQ(gLanguageId, "00000409");
    WriteLanguageFile(env, "00000C07", "mm0063\tAufnahme\r\n");
    system.languageId = 0x0C07;
    LoadLanguage(system, env.ProgramFolder());
    EXPECT_EQ(Tr("mm0063"), "Aufnahme");
    EXPECT_FALSE(Tr("mm0064").has_value());
}

TEST_F(LoadLanguageTest, Windows1252BytesBecomeUtf8) {
    std::string bytes = "opt0003\t\xDC"
                        "bernehmen\r\nmm0001\t\xC4 \x80 \x84x\x93\r\n" // Ü; Ä € „ “
                        "mm0002\t\x92\x96\x9F\r\n";                    // ’ – Ÿ
    for (int i = 0; i < 256; ++i)
        bytes += static_cast<char>(i); // and a line of every byte
    bytes += "\r\nmm0036\tstill read\r\n";
    WriteLanguageFile(env, "00000407", bytes);
    system.languageId = 0x0407;
    LoadLanguage(system, env.ProgramFolder());
    EXPECT_EQ(Tr("opt0003"), "\xC3\x9C"
                             "bernehmen");
    EXPECT_EQ(Tr("mm0001"), "\xC3\x84 \xE2\x82\xAC \xE2\x80\x9Ex\xE2\x80\x9C");
    EXPECT_EQ(Tr("mm0002"), "\xE2\x80\x99\xE2\x80\x93\xC5\xB8");
    EXPECT_EQ(Tr("mm0036"), "still read");
}

// ---- reading lines -----------------------------------------------------

TEST(ParseLanguageTextTest, Lines) {
    struct Case {
        std::string text;
        std::vector<std::pair<const char*, const char*>> found; // id, text ("<missing>" none)
    };
    const std::vector<Case> cases = {
        {"' a comment\r\n   ' after blanks\r\n\r\n     \r\nmm0036\tReady\r\n",
         {{"mm0036", "Ready"}, {"' a comment", "<missing>"}}},
        {"mm0036\tfirst text\tsecond text\r\n", {{"mm0036", "first text"}}},
        {"mm0036\tIt's ready 'now'\r\n", {{"mm0036", "It's ready 'now'"}}},
        {"MM0036\tupper\r\n", {{"mm0036", "upper"}, {"Mm0036", "upper"}}},
        {"mm0036\tfirst\r\nmm0036\tsecond\r\nMM0036\tthird\r\n", {{"mm0036", "first"}}},
        {"mm0036\r\n  mm0037   \r\n", {{"mm0036", ""}, {"mm0037", ""}}},
        {"   mm0036   \t   some text   \r\nmm0037\t\tafter two "
         "tabs\r\n\tmm0038\ttext\r\nmm0039\ttext\t\r\n",
         {{"mm0036", "some text"},
          {"mm0037", ""},
          {"mm0038", "<missing>"},
          {"", "mm0038"},
          {"mm0039", "text"}}},
        {"' comment\nmm0036\tone\nmm0037\ttwo", {{"mm0036", "one"}, {"mm0037", "two"}}},
        {std::string("mm0036\tbefore\r\n\x00\x01\xFF\x81\x8D\x8F\x90\x9D\t\t\x00\r\r\n\0\0\0\r\nmm0"
                     "037\tafter\r\n",
                     48),
         {{"mm0036", "before"}, {"mm0037", "after"}}},
        {"", {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        cTranslation table;
        ParseLanguageText(c.text, table);
        for (const auto& [id, text] : c.found)
            EXPECT_EQ(TextOf(table, id), text) << id;
    }
}

// ---- lookup ------------------------------------------------------------

TEST(TrTest, MissingIdGivesNothingAndEmptyTextIsAText) {
    Translation.Clear();
    ParseLanguageText("mm0036\tReady\r\nmm0037\r\n", Translation);
    EXPECT_EQ(Tr("MM0036"), "Ready");
    ASSERT_TRUE(Tr("mm0037").has_value());
    EXPECT_EQ(*Tr("mm0037"), "");
    EXPECT_FALSE(Tr("mm9999").has_value());
    EXPECT_FALSE(Translation.Add({"MM0036", "Again"}));
    Translation.Clear();
}

} // namespace
} // namespace brisa
