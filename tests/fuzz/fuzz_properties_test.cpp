// The properties the fuzz targets in fuzz/ check, pinned on inputs written
// out here: texts near the edges of each format, damaged binary books, and
// the input that showed the letter-case behaviour of ReplaceText.
#include "addressbook/readers.h"
#include "common/utilities.h"
#include "language/translation.h"
#include "platform/file_registry.h"
#include "platform/vcard.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace brisa {
namespace {

using namespace std::string_literals;

// ---- the registry file: what is read is written back the same way ----------------

void ExpectRoundTrip(const std::string& pText) {
    bool damaged = false;
    const FileRegistry::Content first = FileRegistry::Parse(pText, &damaged);
    const std::string written = FileRegistry::Format(first);
    bool damagedAgain = true;
    const FileRegistry::Content second = FileRegistry::Parse(written, &damagedAgain);
    EXPECT_FALSE(damagedAgain) << written;
    ASSERT_EQ(first.size(), second.size()) << written;
    for (auto a = first.begin(), b = second.begin(); a != first.end(); ++a, ++b) {
        EXPECT_EQ(a->first, b->first);
        EXPECT_EQ(a->second.name, b->second.name);
        EXPECT_EQ(a->second.values, b->second.values) << written;
        EXPECT_EQ(a->second.types, b->second.types) << written;
    }
    EXPECT_EQ(FileRegistry::Format(second), written);
}

TEST(FuzzRegression, RegistryTextsSurviveWritingAndReading) {
    ExpectRoundTrip("");
    ExpectRoundTrip("REGEDIT4\n[K]\n\"a\\\"b\\\\\"=\"x\\\\\\\"y\"\n");
    ExpectRoundTrip("\xEF\xBB\xBFREGEDIT4\r\n[a]b]\r\n\"\"=\"empty name\"\r\n@=\"default\"\r\n");
    ExpectRoundTrip(
        "REGEDIT4\n[K]\n\"Name\"=\"1\"\n\"NAME\"=\"2\"\n[k]\n\"name\"=dword:ffffffff\n");
    ExpectRoundTrip("REGEDIT4\n[K]\n\"m\"=hex(7):41,00,\\\n 42,00,\\\n00\n\"b\"=hex:\n");
    ExpectRoundTrip("REGEDIT4\n[K]\n\"s\"=hex(1):41,42\n\"z\"=hex(1):\n\"d\"=hex(4):01,02,03\n");
    ExpectRoundTrip("REGEDIT4\n[K]\n\"\xC3\x84rger\"=\"\xC3\xA4\"\n\"\xC3\xA4rger\"=\"second\"\n");
    ExpectRoundTrip("REGEDIT4\n[K]\n\"bad\"=\"\xFF\xFE\"\n\"cr\"=\"a\rb\"\n\"t\"=hex(0):\n");
    ExpectRoundTrip("no header\n\"orphan\"=\"value\"\n[K]\n\"v\"=hex:1,2,\n\"w\"=hex(x):00\n");
}

// ---- ReplaceText, NextToken, LastIndexOf -------------------------------------------

TEST(FuzzRegression, ReplacingTextWithItselfOnlyChangesLetterCase) {
    // The first input the utilities target stopped on: matches ignore case
    // and overlap (the search goes on one character after a match began),
    // so every "A" ends up replaced.
    const std::string text = "AAaAaaA";
    const std::string same = ReplaceText(text, "aa", "aa");
    EXPECT_EQ(same, "aaaaaaa");
    EXPECT_TRUE(EqualsNoCase(same, text));
    // A longer replacement: matches inside what was just put in are stepped
    // over, so the text grows but the replacing ends.
    EXPECT_EQ(ReplaceText(text, "aa", "aaa"), std::string(13, 'a'));
}

TEST(FuzzRegression, TokenDelimiterAndRestGiveTheTextBack) {
    for (const auto& [text, delimiter] : std::vector<std::pair<std::string, std::string>>{
             {"caf\xC3\xA9 \xC3\x89t\xC3\xA9", "\xC3\x89"},
             {"a,,b", ""},
             {"xYzXyZ", "XYZ"},
             {"\xC3", "\xC3"},
         }) {
        std::string rest = text;
        const std::string token = NextToken(rest, delimiter, true);
        const std::string used = delimiter.empty() ? "," : delimiter;
        ASSERT_EQ(token.size() + used.size() + rest.size(), text.size()) << text;
        EXPECT_EQ(text.substr(0, token.size()), token);
        EXPECT_EQ(text.substr(text.size() - rest.size()), rest);
        const int last = LastIndexOf(text, used);
        ASSERT_GT(last, 0);
        EXPECT_EQ(IndexOf(text, used, last + 1), 0) << text;
    }
}

// ---- vCards: the same cards however the input is cut -------------------------------

TEST(FuzzRegression, VCardsDoNotDependOnHowTheInputIsCut) {
    const std::string input =
        "BEGIN:VCARD\r\nVERSION:2.1\r\nN;ENCODING=QUOTED-PRINTABLE;CHARSET=UTF-8:J=C3=B6rg;=\r\n"
        "Bob\r\nEMAIL;PREF;INTERNET:bob@example.org\r\nEND:VCARD\r\n"
        "BEGIN:VCARD\nFN:Caf\xC3\xA9\n  au lait\nEMAIL;PREF=2:two@example.net\n"
        "EMAIL;PREF=1:one@example.net\nEND:VCARD\rBEGIN:VCARD\rFN:\x01tab\there\r";
    const std::vector<cVCard> whole = ParseVCards(input);
    ASSERT_EQ(whole.size(), 3u);
    EXPECT_EQ(whole[1].Email, "one@example.net");
    for (size_t step : {1u, 2u, 3u, 7u}) {
        std::vector<cVCard> cards;
        cVCardParser parser([&](cVCard&& pCard) { cards.push_back(std::move(pCard)); });
        for (size_t at = 0; at < input.size(); at += step)
            parser.Feed(std::string_view(input).substr(at, step));
        parser.Finish();
        ASSERT_EQ(cards.size(), whole.size()) << step;
        for (size_t i = 0; i < cards.size(); ++i) {
            EXPECT_EQ(cards[i].Name, whole[i].Name) << step;
            EXPECT_EQ(cards[i].Email, whole[i].Email) << step;
        }
    }
    for (const cVCard& card : whole)
        for (char c : card.Name + card.Email)
            EXPECT_GE(static_cast<unsigned char>(c), 0x20u);
}

TEST(FuzzRegression, TextBooksWithBrokenValuesKeepTheGoodRows) {
    cAddressList list;
    ReadLdifFile(cMemorySource("dn: a\rcn:: ====\rmail:: YUBiLmM=\rdn: b\ncn:: QW5u\nmail: a@b.c\n"
                               "dn: c\ncn:: !!\nmail: c@d.e\n"),
                 list);
    ASSERT_EQ(list.Count(), 1u);
    EXPECT_EQ(list.Row(0), "Ann\ta@b.c");

    // Aliases naming themselves and each other expand without end nowhere.
    ReadNicknameFile(cMemorySource("alias loop loop,loop\nalias self self@example.com,loop\n"
                                   "alias \"unclosed ann@example.com\n"),
                     list);
    for (const std::string& row : list.Rows()) {
        EXPECT_NE(row.find('\t'), std::string::npos) << row;
        EXPECT_LT(row.size(), kMaxExpandedRow + 64) << row;
    }
}

// ---- language files ------------------------------------------------------------------

TEST(FuzzRegression, EveryLanguageLineIsFoundByItsId) {
    cTranslation table;
    ParseLanguageText("  MM0001  \t  Record  \t(note)\r\nmm0001\tsecond\n\xE9t\xE9\tsummer\n"
                      "'comment\tx\n\tno id\nlonely\n",
                      table);
    ASSERT_NE(table.Find("mm0001"), nullptr);
    EXPECT_EQ(table.Find("Mm0001")->Translation, "Record");
    ASSERT_NE(table.Find("\xC3\xA9t\xC3\xA9"), nullptr);
    EXPECT_EQ(table.Find("\xC3\xA9t\xC3\xA9")->Translation, "summer");
    ASSERT_NE(table.Find("lonely"), nullptr);
    EXPECT_EQ(table.Find("lonely")->Translation, "");
    EXPECT_EQ(table.Find("'comment"), nullptr);
}

} // namespace
} // namespace brisa
