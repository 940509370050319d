// The LDIF and nickname readers, nickname expansion and the sorted row list.
#include "addressbook/readers.h"
#include "tests/addressbook/book_builders.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>

namespace brisa {
namespace {

using Rows = std::vector<std::string>;

Rows Ldif(const std::string& pBytes) {
    cAddressList list;
    list.AddEntry("left over", "x@y");
    cMemorySource source(pBytes);
    ReadLdifFile(source, list);
    return list.Rows();
}

Rows Nicknames(const std::string& pBytes) {
    cAddressList list;
    list.AddEntry("left over", "x@y");
    cMemorySource source(pBytes);
    ReadNicknameFile(source, list);
    return list.Rows();
}

// ---- sorted row list ----------------------------------------------------------

TEST(AddressList, KeepsRowsSortedIgnoringCaseWithEqualRowsInArrivalOrder) {
    cAddressList list;
    list.AddEntry("bob", "1");
    list.AddEntry("Ann", "2");
    list.AddEntry("BOB", "1");
    list.AddEntry("\xc3\x89mile", "3"); // É sorts with é, after the ASCII letters
    list.AddEntry("carl", "4");
    EXPECT_EQ(list.Rows(), (Rows{"Ann\t2", "bob\t1", "BOB\t1", "carl\t4", "\xc3\x89mile\t3"}));
    EXPECT_EQ(list.FindPrefix("BoB\t"), 1);
    EXPECT_EQ(list.FindPrefix("\xc3\xa9MILE\t"), 4);
    EXPECT_EQ(list.FindPrefix("dora"), -1);
    list.AddEntry("Al", "5"); // added after reading: still sorted
    EXPECT_EQ(list.Row(0), "Al\t5");
}

TEST(AddressList, RowsAddedAfterAnOutOfOrderReplacementStillFindTheirPlace) {
    cAddressList list;
    list.AddEntry("a", "1");
    list.AddEntry("a", "2");
    list.AddEntry("c", "3");
    list.SetRow(0, "a\t9"); // now "a\t9" stands before "a\t2"
    list.AddEntry("b", "");
    EXPECT_EQ(list.Rows(), (Rows{"a\t9", "a\t2", "b\t", "c\t3"}));
}

// ---- LDIF ---------------------------------------------------------------------

TEST(LdifReader, SingleEntryGivesOneRow) {
    EXPECT_EQ(Ldif("dn: cn=Ann\r\ncn: Ann Smith\r\nmail: ann@example.com\r\n"),
              (Rows{"Ann Smith\tann@example.com"}));
}

TEST(LdifReader, PrefixesIgnoreCaseAndValuesAreTrimmed) {
    EXPECT_EQ(Ldif("DN: x\rCN:   Bob  \rMail:  bob@x.com \rmailAlternateAddress: other@x.com\r"),
              (Rows{"Bob\tbob@x.com"}));
}

TEST(LdifReader, NameWithoutMailIsCarriedIntoTheNextEntry) {
    const std::string text = "dn: a\r\ncn: Lonely\r\n\r\ndn: b\r\nmail: b@x.com\r\n"
                             "dn: c\r\ncn: Carl\r\nmail: c@x.com\r\n";
    EXPECT_EQ(Ldif(text), (Rows{"Carl\tc@x.com", "Lonely\tb@x.com"}));
}

TEST(LdifReader, EntryWithoutMailAddsNothing) {
    EXPECT_TRUE(Ldif("dn: a\ncn: Only A Name\n").empty());
}

TEST(LdifReader, LinesMayEndWithCrLfCrOrLfAlone) {
    const Rows expected{"Ann\ta@x", "Bob\tb@x"};
    EXPECT_EQ(Ldif("dn: 1\r\ncn: Ann\r\nmail: a@x\r\ndn: 2\r\ncn: Bob\r\nmail: b@x\r\n"), expected);
    EXPECT_EQ(Ldif("dn: 1\rcn: Ann\rmail: a@x\rdn: 2\rcn: Bob\rmail: b@x"), expected);
    EXPECT_EQ(Ldif("dn: 1\ncn: Ann\nmail: a@x\n\ndn: 2\ncn: Bob\nmail: b@x\n"), expected);
}

TEST(LdifReader, PlainValuesAreWindows1252) {
    EXPECT_EQ(Ldif("dn: x\ncn: Ren\xe9 M\xfcller\nmail: r@x\n"),
              (Rows{"Ren\xc3\xa9 M\xc3\xbcller\tr@x"}));
}

TEST(LdifReader, ThunderbirdExportWithBase64AndFoldedLines) {
    // "Jürgen Groß" and "Zoë" as UTF-8 in base 64; a folded dn and a folded
    // mail line; line feeds only.
    const std::string text = "dn:: Y249SsO8cmdlbiBHcm/Dnyxt\n"
                             " YWlsPWpAeC5kZQ==\n"
                             "objectclass: top\n"
                             "objectclass: person\n"
                             "givenName:: SsO8cmdlbg==\n"
                             "cn:: SsO8cmdlbiBHcm/Dnw==\n"
                             "mail: j\n"
                             " uergen@x.de\n"
                             "modifytimestamp: 0Z\n"
                             "\n"
                             "dn: cn=Zoe,mail=zoe@x.org\n"
                             "cn::Wm/Dqw==\n"
                             "mail: zoe@x.org\n"
                             "\n";
    EXPECT_EQ(Ldif(text),
              (Rows{"J\xc3\xbcrgen Gro\xc3\x9f\tjuergen@x.de", "Zo\xc3\xab\tzoe@x.org"}));
}

TEST(LdifReader, EncodedValuesThatAreNotUtf8OrBrokenOrHoldControls) {
    // "Ren\xe9" is not UTF-8: it is read as Windows-1252.
    EXPECT_EQ(Ldif("dn: a\ncn:: UmVu6Q==\nmail: r@x\n"), (Rows{"Ren\xc3\xa9\tr@x"}));
    // A broken value is empty, so this entry has no name.
    EXPECT_TRUE(Ldif("dn: a\ncn:: ***\nmail: r@x\n").empty());
    // "A\tB\nC" must not split the row.
    EXPECT_EQ(Ldif("dn: a\ncn:: QQlCCkM=\nmail: r@x\n"), (Rows{"A B C\tr@x"}));
}

TEST(LdifReader, ContinuationWithoutALineBeforeItIsIgnored) {
    EXPECT_EQ(Ldif(" cn: Ghost\ndn: a\ncn: Real\nmail: r@x\n"), (Rows{"Real\tr@x"}));
}

TEST(LdifReader, TruncatedFilesNeverCrash) {
    const std::string text =
        "dn: a\r\ncn: Ann\r\nmail: a@x\r\ndn:: Yg==\r\ncn:: Qm9i\r\nmail: b@x\r\n";
    for (size_t length = 0; length <= text.size(); ++length) {
        const Rows rows = Ldif(text.substr(0, length));
        EXPECT_LE(rows.size(), 2u);
    }
    EXPECT_EQ(Ldif(text).size(), 2u);
    EXPECT_TRUE(Ldif("").empty());
}

TEST(LdifReader, VeryLongLineIsCut) {
    std::string text = "dn: a\ncn: " + std::string(kMaxLineLength * 2, 'n') + "\nmail: a@x\n";
    const Rows rows = Ldif(text);
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].size(), (kMaxLineLength - 4) + 1 + 3); // "cn: " and the rest of the line cut
}

// ---- nickname file -------------------------------------------------------------

TEST(NicknameReader, QuotedAndPlainNicknames) {
    const std::string text = "# comment\r\n"
                             "alias \"The Team\" ann@x.com,bob@x.com,\r\n"
                             "ALIAS carl  carl@x.com  \r\n"
                             "aliases are not lines to read\r\n";
    EXPECT_EQ(Nicknames(text), (Rows{"carl\tcarl@x.com", "The Team\tann@x.com,bob@x.com"}));
}

TEST(NicknameReader, LinesWithoutAddressesGiveNoRow) {
    EXPECT_TRUE(
        Nicknames("alias lonely\r\nalias \"quoted only\"\r\nalias \"unclosed x@y\r\nalias \r\n")
            .empty());
}

TEST(NicknameReader, ExpandsNicknamesOfTheSameFile) {
    const std::string text = "alias ann ann@x.com\n"
                             "alias bob bob@x.com\n"
                             "alias team ann,bob\n"
                             "alias mixed ANN,stranger,carl@x.com\n"
                             "alias spaced ann, bob\n";
    EXPECT_EQ(Nicknames(text),
              (Rows{"ann\tann@x.com", "bob\tbob@x.com", "mixed\tann@x.com,carl@x.com",
                    "spaced\tann@x.com", "team\tann@x.com,bob@x.com"}));
}

TEST(NicknameReader, ExpansionGoesOneLevelInListOrder) {
    // aa names bb, which comes after it: bb's text as read ("cc"). zz names
    // yy, which comes before it: yy's text already expanded ("w@x").
    const std::string text =
        "alias aa bb\nalias bb cc\nalias cc c@x\nalias zz yy\nalias yy ww\nalias ww w@x\n";
    EXPECT_EQ(Nicknames(text),
              (Rows{"aa\tcc", "bb\tc@x", "cc\tc@x", "ww\tw@x", "yy\tw@x", "zz\tw@x"}));
}

TEST(NicknameReader, IdenticalRowsAreKeptTwice) {
    EXPECT_EQ(Nicknames("alias a a@x\ralias a a@x\r"), (Rows{"a\ta@x", "a\ta@x"}));
}

TEST(NicknameReader, EmptyTokenEndsTheAddressText) {
    EXPECT_EQ(Nicknames("alias a a@x,,b@x\n"), (Rows{"a\ta@x"}));
}

TEST(NicknameReader, NestedNicknamesCannotExhaustMemory) {
    // Each nickname names the one before it twenty times: without a limit the
    // last row would be 20^40 addresses long.
    std::string text = "alias n00 someone@example.com\n";
    for (int k = 1; k < 40; ++k) {
        char name[8], previous[8];
        std::snprintf(name, sizeof name, "n%02d", k);
        std::snprintf(previous, sizeof previous, "n%02d", k - 1);
        text += std::string("alias ") + name + " ";
        for (int r = 0; r < 20; ++r)
            text += std::string(previous) + ",";
        text += "\n";
    }
    const auto start = std::chrono::steady_clock::now();
    const Rows rows = Nicknames(text);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
    ASSERT_EQ(rows.size(), 40u);
    for (const std::string& row : rows)
        EXPECT_LE(row.size(), 4 + kMaxExpandedRow);
    EXPECT_EQ(
        rows[1], "n01\t" + [] {
            std::string s;
            for (int r = 0; r < 20; ++r)
                s += (r ? "," : "") + std::string("someone@example.com");
            return s;
        }());
}

TEST(NicknameReader, TruncatedAndRandomFilesNeverCrash) {
    const std::string text = "alias \"A B\" a@x,\r\nalias c a b,c@x\r\nalias d \"A B\",c\r\n";
    for (size_t length = 0; length <= text.size(); ++length)
        EXPECT_LE(Nicknames(text.substr(0, length)).size(), 3u);
    std::mt19937 random(7);
    for (int round = 0; round < 200; ++round) {
        std::string bytes = test::RandomBytes(random, random() % 600);
        for (size_t i = 0; i + 6 < bytes.size(); i += 40)
            bytes.replace(i, 6, "alias ");
        Nicknames(bytes);
        Ldif(bytes);
    }
}

// ---- Outlook --------------------------------------------------------------------

TEST(OutlookReader, WithoutTheContactWindowThereAreNoRows) {
    cAddressList list;
    list.AddEntry("old", "row");
    ReadOutlookContacts("/x/outlook.pst", list, {});
    EXPECT_EQ(list.Count(), 0u);
}

TEST(OutlookReader, TakesTheContactsUnlessCancelled) {
    cAddressList list;
    OutlookContactSource confirmed = [] {
        return cOutlookResult{false, {{"Zed", "z@x"}, {"amy", "a@x"}}};
    };
    ReadOutlookContacts("", list, confirmed);
    EXPECT_EQ(list.Rows(), (Rows{"amy\ta@x", "Zed\tz@x"}));
    OutlookContactSource cancelled = [] { return cOutlookResult{true, {{"Zed", "z@x"}}}; };
    ReadOutlookContacts("", list, cancelled);
    EXPECT_EQ(list.Count(), 0u);
}

} // namespace
} // namespace brisa
