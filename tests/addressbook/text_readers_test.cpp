// The LDIF and nickname readers, nickname expansion and the sorted row list;
// every reader over names and addresses holding control characters.
#include "addressbook/readers.h"
#include "common/utilities.h"
#include "platform/codepage.h"
#include "tests/addressbook/book_builders.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <functional>

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

// ---- LDIF and nickname files ----------------------------------------------------

TEST(TextReaders, LdifFiles) {
    const std::pair<std::string, Rows> cases[] = {
        {"dn: cn=Ann\r\ncn: Ann Smith\r\nmail: ann@example.com\r\n",
         {"Ann Smith\tann@example.com"}},
        {"DN: x\rCN:   Bob  \rMail:  bob@x.com \rmailAlternateAddress: other@x.com\r",
         {"Bob\tbob@x.com"}},
        // a name without mail is carried into the next entry
        {"dn: a\r\ncn: Lonely\r\n\r\ndn: b\r\nmail: b@x.com\r\ndn: c\r\ncn: Carl\r\nmail: "
         "c@x.com\r\n",
         {"Carl\tc@x.com", "Lonely\tb@x.com"}},
        {"dn: a\ncn: Only A Name\n", {}},
        {"dn: 1\rcn: Ann\rmail: a@x\rdn: 2\rcn: Bob\rmail: b@x", {"Ann\ta@x", "Bob\tb@x"}},
        {"dn: 1\ncn: Ann\nmail: a@x\n\ndn: 2\ncn: Bob\nmail: b@x\n", {"Ann\ta@x", "Bob\tb@x"}},
        // UTF-8 when valid, Windows-1252 otherwise; plain and base 64 alike
        {"dn: x\ncn: J\xc3\xb6rg\nmail: j@x\n", {"J\xc3\xb6rg\tj@x"}},
        {"dn: x\ncn: Ren\xe9 M\xfcller\nmail: r@x\n", {"Ren\xc3\xa9 M\xc3\xbcller\tr@x"}},
        {"dn: a\ncn:: SsO2cmc=\nmail: j@x\n", {"J\xc3\xb6rg\tj@x"}},
        {"dn: a\ncn:: UmVu6Q==\nmail: r@x\n", {"Ren\xc3\xa9\tr@x"}},
        {"dn: a\ncn:: ***\nmail: r@x\n", {}}, // a broken value is empty
        {" cn: Ghost\ndn: a\ncn: Real\nmail: r@x\n", {"Real\tr@x"}},
        {"dn: a\r\ncn: Ann\r\nmail: a@x\r\ndn:: Yg==\r\ncn:: Qm9i\r\nmail: b@x\r\n",
         {"Ann\ta@x", "Bob\tb@x"}},
        {"", {}},
    };
    for (const auto& [text, rows] : cases)
        EXPECT_EQ(Ldif(text), rows) << text;
    const Rows cut = Ldif("dn: a\ncn: " + std::string(kMaxLineLength * 2, 'n') + "\nmail: a@x\n");
    ASSERT_EQ(cut.size(), 1u);
    EXPECT_EQ(cut[0].size(), (kMaxLineLength - 4) + 1 + 3); // "cn: " and the rest of the line cut
}

TEST(TextReaders, NicknameFiles) {
    const std::pair<std::string, Rows> cases[] = {
        {"# comment\r\nalias \"The Team\" ann@x.com,bob@x.com,\r\nALIAS carl  carl@x.com  \r\n"
         "aliases are not lines to read\r\n",
         {"carl\tcarl@x.com", "The Team\tann@x.com,bob@x.com"}},
        {"alias lonely\r\nalias \"quoted only\"\r\nalias \"unclosed x@y\r\nalias \r\n", {}},
        {"alias ann ann@x.com\nalias bob bob@x.com\nalias team ann,bob\n"
         "alias mixed ANN,stranger,carl@x.com\nalias spaced ann, bob\n",
         {"ann\tann@x.com", "bob\tbob@x.com", "mixed\tann@x.com,carl@x.com", "spaced\tann@x.com",
          "team\tann@x.com,bob@x.com"}},
        // one level, in list order: aa names bb (after it), zz names yy (before it)
        {"alias aa bb\nalias bb cc\nalias cc c@x\nalias zz yy\nalias yy ww\nalias ww w@x\n",
         {"aa\tcc", "bb\tc@x", "cc\tc@x", "ww\tw@x", "yy\tw@x", "zz\tw@x"}},
        {"alias a a@x\ralias a a@x\r", {"a\ta@x", "a\ta@x"}},
        {"alias a a@x,,b@x\n", {"a\ta@x"}},
    };
    for (const auto& [text, rows] : cases)
        EXPECT_EQ(Nicknames(text), rows) << text;
}

TEST(TextReaders, NestedNicknamesCannotExhaustMemory) {
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
    const Rows rows = Nicknames(text);
    ASSERT_EQ(rows.size(), 40u);
    for (const std::string& row : rows)
        EXPECT_LE(row.size(), 4 + kMaxExpandedRow);
}

// ---- every reader over hostile rows ---------------------------------------------------

std::string Base64(const std::string& pBytes) {
    static const char* kAlphabet =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    for (size_t i = 0; i < pBytes.size(); i += 3) {
        uint32_t n = static_cast<uint32_t>(static_cast<unsigned char>(pBytes[i])) << 16;
        if (i + 1 < pBytes.size())
            n |= static_cast<unsigned char>(pBytes[i + 1]) << 8;
        if (i + 2 < pBytes.size())
            n |= static_cast<unsigned char>(pBytes[i + 2]);
        out += kAlphabet[(n >> 18) & 63];
        out += kAlphabet[(n >> 12) & 63];
        out += i + 1 < pBytes.size() ? kAlphabet[(n >> 6) & 63] : '=';
        out += i + 2 < pBytes.size() ? kAlphabet[n & 63] : '=';
    }
    return out;
}

template <typename Reader> Rows ReadBytes(Reader pReader, const std::string& pBytes) {
    cAddressList list;
    cMemorySource source(pBytes);
    pReader(source, list);
    return list.Rows();
}

// A book of one contact, its name and address given as the file's bytes.
struct BookFormat {
    const char* name;
    bool windows1252;  // single bytes 0x80..0x9F are text of the file
    bool utf8;         // UTF-8 sequences are text of the file
    bool linesInValue; // a value can hold CR and LF (not a plain text line)
    std::function<Rows(const std::string&, const std::string&)> read;
};

const std::vector<BookFormat>& BookFormats() {
    using test::AddrBkFile;
    using test::AddrBkRecord;
    static const std::vector<BookFormat> formats = {
        {"AddrBk.lst", true, false, true,
         [](const std::string& n, const std::string& a) {
             return ReadBytes([](auto& s, auto& l) { ReadAddrBkList(s, l); },
                              AddrBkFile("hdr", {AddrBkRecord(n, a)}));
         }},
        {".wab", true, false, true,
         [](const std::string& n, const std::string& a) {
             return ReadBytes([](auto& s, auto& l) { ReadWabFile(s, l); },
                              test::WabFile(1, {{n, 1}}, {{a, 1}}));
         }},
        {"abook.nab", true, false, true,
         [](const std::string& n, const std::string& a) {
             return ReadBytes([](auto& s, auto& l) { ReadNabFile(s, l); },
                              test::NabFile(400, 1, {{a, n}}));
         }},
        {".ldif", true, true, false,
         [](const std::string& n, const std::string& a) {
             return Ldif("dn: x\r\ncn: " + n + "\r\nmail: " + a + "\r\n");
         }},
        {".ldif base 64", true, true, true,
         [](const std::string& n, const std::string& a) {
             return Ldif("dn: x\ncn:: " + Base64(n) + "\nmail:: " + Base64(a) + "\n");
         }},
        {"nndbase.txt", true, false, false,
         [](const std::string& n, const std::string& a) {
             return Nicknames("alias \"" + n + "\" " + a + "\r\n");
         }},
        {"Outlook contacts", false, true, true,
         [](const std::string& n, const std::string& a) {
             cAddressList list;
             ReadOutlookContacts("", list, [&] { return cOutlookResult{false, {{n, a}}}; });
             return list.Rows();
         }},
    };
    return formats;
}

TEST(EveryReader, ControlCharactersInNamesAndAddressesBecomeBlanks) {
    // Each C0 control, DEL, the C1 controls Windows-1252 leaves undefined
    // (bytes there) and a C1 control written in UTF-8.
    std::vector<std::string> controls;
    for (int c = 1; c < 0x20; ++c)
        controls.push_back(std::string(1, static_cast<char>(c)));
    for (const char* c : {"\x7f", "\x81", "\x8d", "\x8f", "\x90", "\x9d", "\xc2\x85"})
        controls.push_back(c);

    for (const BookFormat& format : BookFormats()) {
        for (const std::string& c : controls) {
            if ((c.size() == 2 && !format.utf8) ||
                (c.size() == 1 && (c[0] & 0x80) && !format.windows1252)) {
                continue; // bytes that are no control in this format's text
            }
            const bool lineEnd = c == "\r" || c == "\n";
            const std::string name = "Eve" + c + "Bcc";
            const std::string address = "eve@ex.com" + c + "Bcc: spy@ev.il";
            const Rows rows = format.read(name, address);
            for (const std::string& row : rows) {
                std::string rest = row;
                const std::string first = NextToken(rest, "\t", true);
                EXPECT_FALSE(HoldsControlCharacter(first) || HoldsControlCharacter(rest))
                    << format.name << " " << int(static_cast<unsigned char>(c[0]));
            }
            if (lineEnd && !format.linesInValue)
                continue; // the line ends there: whatever is left is clean
            EXPECT_EQ(rows, (Rows{"Eve Bcc\teve@ex.com Bcc: spy@ev.il"}))
                << format.name << " " << int(static_cast<unsigned char>(c[0]));
        }
    }
}

} // namespace
} // namespace brisa
