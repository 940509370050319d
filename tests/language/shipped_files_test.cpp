// The language files shipped with the program: English and German hold the
// same ids, every id the program asks for, and usable texts.
#include "language/translation.h"

#include "tests/fakes/fakes.h"
#include "tests/support/temp_env.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

namespace brisa {
namespace {

// Every string id the program looks up.
// clang-format off
const std::vector<std::string> kProgramIds = {
    "add0001", "add0002", "add0003", "add0004", "add0005", "add0006", "add0007",
    "mail0001", "mail0002", "mail0003",
    "mm0001", "mm0002", "mm0003", "mm0004", "mm0005", "mm0008", "mm0010", "mm0011", "mm0013",
    "mm0036", "mm0037", "mm0038", "mm0039", "mm0040", "mm0041", "mm0042", "mm0043", "mm0044",
    "mm0045", "mm0046", "mm0047", "mm0048", "mm0049", "mm0050", "mm0051", "mm0053", "mm0054",
    "mm0055", "mm0056", "mm0057", "mm0060", "mm0061", "mm0062", "mm0063", "mm0064", "mm0065",
    "mm0066", "mm0067", "mm0068", "mm0069", "mm0070", "mm0071", "mm0072", "mm0073", "mm0074",
    "mm0075", "mm0076", "mm0077", "mm0078", "mm0079", "mm0080", "mm0081", "mm0082", "mm0083",
    "opt0001", "opt0002", "opt0003", "opt0004", "opt0005", "opt0006", "opt0007", "opt0008",
    "opt0009", "opt0010", "opt0011", "opt0012", "opt0013", "opt0014", "opt0015", "opt0016",
    "opt0017", "opt0018", "opt0019", "opt0020", "opt0021", "opt0022", "opt0023", "opt0024",
    "opt0025", "opt0026", "opt0027", "opt0028", "opt0029", "opt0031", "opt0032", "opt0033",
    "opt0034", "opt0035",
    "out0001", "out0002", "out0003", "out0004", "out0005",
    "snd0001", "snd0002", "snd0003",
};
// clang-format on

const char* const kShipped[] = {"00000409", "00000407"};

std::string ShippedPath(const std::string& pId) {
    return std::string(BRISA_SOURCE_DIR) + "/data/lang/" + pId + ".txt";
}

std::string Text(const cTranslation& pTable, const std::string& pId) {
    const cString* entry = pTable.Find(pId);
    return entry ? entry->Translation : "";
}

class ShippedFileTest : public ::testing::TestWithParam<const char*> {
protected:
    void SetUp() override {
        bytes = test::ReadFile(ShippedPath(GetParam()));
        ASSERT_FALSE(bytes.empty()) << ShippedPath(GetParam());
        ParseLanguageText(bytes, table);
    }
    std::string bytes;
    cTranslation table;
};

TEST(ShippedFilesTest, ProgramIdListHasNoDuplicates) {
    EXPECT_EQ(std::set<std::string>(kProgramIds.begin(), kProgramIds.end()).size(), 106u);
}

TEST_P(ShippedFileTest, HoldsExactlyTheProgramsIdsWithTexts) {
    for (const auto& id : kProgramIds) {
        const cString* entry = table.Find(id);
        ASSERT_NE(entry, nullptr) << GetParam() << " lacks " << id;
        EXPECT_FALSE(entry->Translation.empty()) << GetParam() << " " << id;
    }
    // All ids present and nothing more: both files hold the same set.
    EXPECT_EQ(table.Count(), kProgramIds.size());
}

TEST_P(ShippedFileTest, EveryLineEndsInCrLfAndNoIdRepeats) {
    size_t entries = 0, start = 0;
    while (start < bytes.size()) {
        const auto end = bytes.find('\n', start);
        ASSERT_NE(end, std::string::npos) << "last line without line end";
        ASSERT_GT(end, start) << "bare LF at byte " << end;
        EXPECT_EQ(bytes[end - 1], '\r') << "bare LF at byte " << end;
        const std::string line = bytes.substr(start, end - start - 1);
        if (!line.empty() && line[0] != '\'') {
            ++entries;
            const auto tab = line.find('\t');
            ASSERT_NE(tab, std::string::npos) << line;
            EXPECT_EQ(line.find('\t', tab + 1), std::string::npos) << "second TAB: " << line;
        }
        start = end + 1;
    }
    EXPECT_EQ(entries, table.Count()) << "an id occurs twice";
    EXPECT_EQ(bytes.rfind("'", 0), 0u) << "the file starts with a comment";
}

TEST_P(ShippedFileTest, UsesOnlyDefinedWindows1252Bytes) {
    for (unsigned char c : bytes) {
        EXPECT_TRUE(c >= 0x20 || c == '\t' || c == '\r' || c == '\n') << int(c);
        EXPECT_TRUE(c != 0x81 && c != 0x8D && c != 0x8F && c != 0x90 && c != 0x9D) << int(c);
        EXPECT_NE(c, 0x7F);
    }
}

TEST_P(ShippedFileTest, TextsFitTheirUse) {
    // The recording, playback and pause words tell the states apart and are
    // followed by ": 0:05" in the status line.
    const std::string recording = Text(table, "mm0050"), playing = Text(table, "mm0051"),
                      paused = Text(table, "mm0081");
    EXPECT_NE(recording, playing);
    EXPECT_NE(recording, paused);
    EXPECT_NE(playing, paused);
    EXPECT_EQ(recording.find(' '), std::string::npos);
    EXPECT_EQ(playing.find(' '), std::string::npos);

    // Address-book kind labels identify the reader, so they must differ.
    std::set<std::string> kinds;
    for (const char* id : {"opt0005", "opt0006", "opt0007", "opt0008", "opt0009", "opt0035"}) {
        std::string folded = Text(table, id);
        for (auto& c : folded)
            if (c >= 'A' && c <= 'Z')
                c = static_cast<char>(c + 32);
        kinds.insert(folded);
    }
    EXPECT_EQ(kinds.size(), 6u);

    // The program appends ":" to these labels itself.
    for (const char* id :
         {"opt0021", "opt0022", "opt0023", "opt0024", "opt0025", "opt0031", "out0004", "out0005"}) {
        const std::string text = Text(table, id);
        EXPECT_TRUE(text.empty() || text.back() != ':') << id;
    }

    // The empty-recipient entry must not pass for an address.
    EXPECT_EQ(Text(table, "mm0002").find('@'), std::string::npos);

    // The tray tip has a 64-character field, one of it the closing NUL.
    EXPECT_LT(Text(table, "mm0001").size(), 64u);

    // Menu captions carry an access key.
    for (const char* id : {"mm0053", "mm0054", "mm0055", "mm0056", "mm0057"})
        EXPECT_NE(Text(table, id).find('&'), std::string::npos) << id;
}

INSTANTIATE_TEST_SUITE_P(Languages, ShippedFileTest, ::testing::ValuesIn(kShipped));

TEST(ShippedFilesTest, GermanSystemsGetTheGermanFile) {
    test::TempEnv env;
    for (const char* id : kShipped)
        test::WriteFile(env.Path(std::string("lang/") + id + ".txt"),
                        test::ReadFile(ShippedPath(id)));
    test::FakeSystemInfo system;

    system.languageId = 0x0807; // German, Switzerland
    LoadLanguage(system, env.ProgramFolder());
    EXPECT_EQ(gLanguageId, "00000407");
    EXPECT_EQ(Tr("mm0075"), "Schlie\xC3\x9F"
                            "en");
    EXPECT_EQ(Tr("mm0063"), "Aufnahme");

    system.languageId = 0x0409;
    LoadLanguage(system, env.ProgramFolder());
    EXPECT_EQ(gLanguageId, "00000409");
    EXPECT_EQ(Tr("mm0063"), "Record");
    EXPECT_EQ(Tr("mm0077"), "Pause");
    EXPECT_EQ(Tr("mm0079"), "Resume");

    Translation.Clear();
    gLanguageId.clear();
}

} // namespace
} // namespace brisa
