// The three binary readers (AddrBk.lst, .wab, abook.nab) on good files and on
// truncated, hostile and random ones.
#include "addressbook/readers.h"
#include "tests/addressbook/book_builders.h"

#include <gtest/gtest.h>

#include <functional>
#include <optional>

namespace brisa {
namespace {

using test::AddrBkFile;
using test::AddrBkRecord;
using test::IsSubsetOf;
using test::NabFile;
using test::WabFile;
using Rows = std::vector<std::string>;

template <typename Reader> Rows Read(Reader pReader, const std::string& pBytes) {
    cAddressList list;
    list.AddEntry("left over", "from before"); // every reader starts afresh
    cMemorySource source(pBytes);
    pReader(source, list);
    return list.Rows();
}

Rows ReadAddrBk(const std::string& b) {
    return Read([](auto& s, auto& l) { ReadAddrBkList(s, l); }, b);
}
Rows ReadWab(const std::string& b) {
    return Read([](auto& s, auto& l) { ReadWabFile(s, l); }, b);
}
Rows ReadNab(const std::string& b) {
    return Read([](auto& s, auto& l) { ReadNabFile(s, l); }, b);
}

std::string Unterminated(std::string pRecord, size_t pFrom, size_t pTo, char pFill) {
    std::fill(pRecord.begin() + static_cast<long>(pFrom), pRecord.begin() + static_cast<long>(pTo),
              pFill);
    return pRecord;
}

// Good books, and books with damaged records among good ones: a damaged
// record is skipped, the records after it are still read.
TEST(BinaryReaders, GoodAndDamagedBooks) {
    struct Case {
        const char* what;
        Rows (*read)(const std::string&);
        std::string bytes;
        Rows rows;
    };
    std::vector<test::WabEntry> many, manyAddresses;
    for (int id = 1; id <= 300; ++id) {
        many.push_back({"N" + std::to_string(id), static_cast<uint8_t>(id % 256)});
        manyAddresses.push_back({"a" + std::to_string(id) + "@x", static_cast<uint8_t>(id % 256)});
    }
    std::string nabHugeBase(358, '\0');
    test::PutLe(nabHugeBase, 356, 0xFFFF, 2);
    const std::string wabOne = WabFile(1, {{"Ann", 1}}, {{"a@x", 1}});
    const std::vector<Case> cases = {
        {"AddrBk after a header of any length",
         ReadAddrBk,
         AddrBkFile("HEADER-17-BYTES!!",
                    {AddrBkRecord("Zoe", "zoe@example.com"), AddrBkRecord("ann", "ann@example.com"),
                     AddrBkRecord("Bob", "bob@example.org")}),
         {"ann\tann@example.com", "Bob\tbob@example.org", "Zoe\tzoe@example.com"}},
        {"AddrBk member names, CR LF, Windows-1252",
         ReadAddrBk,
         AddrBkFile("", {AddrBkRecord("Ann", "Ann  Smith 2"),
                         AddrBkRecord("Ren\xe9\r\n", "rene@example.com\r\n")}),
         {"Ann\tAnnSmith2@aol.com", "Ren\xc3\xa9\trene@example.com"}},
        {"AddrBk damaged records first",
         ReadAddrBk,
         AddrBkFile("", {AddrBkRecord("", "nobody@x.com"), AddrBkRecord("Ann", ""),
                         Unterminated(AddrBkRecord("Cy", ""), 58, 1658, 'x'),
                         Unterminated(AddrBkRecord("Cy", "cy@x.com"), 26, 1658, 'n'),
                         AddrBkRecord("Dee", "dee@x.com")}),
         {"Dee\tdee@x.com"}},
        {"AddrBk too short", ReadAddrBk, std::string(1657, 'a'), {}},
        {"WAB pairs by id",
         ReadWab,
         WabFile(3, {{"Carol", 3}, {"Ann", 1}, {"Bob", 2}},
                 {{"ann@x.com", 1}, {"bob@x.com", 2}, {"carol@x.com", 3}}),
         {"Ann\tann@x.com", "Bob\tbob@x.com", "Carol\tcarol@x.com"}},
        {"WAB id without name",
         ReadWab,
         WabFile(3, {{"Ann", 1}, {"Carol", 3}}, {{"a@x", 1}, {"b@x", 2}, {"c@x", 3}}),
         {"Ann\ta@x", "Carol\tc@x"}},
        {"WAB first entry of an id wins, count bounds the ids",
         ReadWab,
         WabFile(2, {{"First", 1}, {"Second", 1}, {"Beyond", 3}, {"Zero", 0}},
                 {{"", 1}, {"one@x", 1}, {"two@x", 1}, {"three@x", 3}, {"zero@x", 0}}),
         {"First\tone@x"}},
        {"WAB name without zero byte",
         ReadWab,
         WabFile(2, {{std::string(32, 'N'), 1}, {"Bob", 2}}, {{"a@x", 1}, {"b@x", 2}}),
         {"Bob\tb@x"}},
        {"WAB offsets past the end",
         ReadWab,
         WabFile(2, {{"Ann", 1}}, {{"a@x", 1}}, 0xFFFFFFF0, 100),
         {}},
        {"WAB table ending outside the file",
         ReadWab,
         WabFile(1, {{"Ann", 1}}, {{"a@x", 1}}, 100, static_cast<int64_t>(wabOne.size()) - 35),
         {}},
        {"WAB short header", ReadWab, wabOne.substr(0, 99), {}},
        {"NAB from its base offset",
         ReadNab,
         NabFile(400, 3, {{"zed@x.com", "Zed"}, {"amy@x.com", "Amy"}, {"", "NoAddress"}}),
         {"Amy\tamy@x.com", "Zed\tzed@x.com"}},
        {"NAB count beyond the file",
         ReadNab,
         NabFile(400, 255, {{"a@x", "A"}, {"b@x", "B"}}),
         {"A\ta@x", "B\tb@x"}},
        {"NAB name without zero byte",
         ReadNab,
         Unterminated(NabFile(400, 3, {{"a@x", "A"}, {"b@x", "B"}, {"c@x", "C"}}), 408 + 36,
                      408 + 68, 'n'),
         {"B\tb@x", "C\tc@x"}},
        {"NAB base outside the file", ReadNab, nabHugeBase, {}},
        {"NAB short", ReadNab, std::string(357, '\0'), {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(c.read(c.bytes), c.rows);
        EXPECT_TRUE(c.read("").empty());
    }
    EXPECT_EQ(ReadWab(WabFile(0xFFFFFFFFu, many, manyAddresses)).size(), 255u); // ids 1..255 once
}

// A book cut anywhere gives some of its rows and never one it does not hold;
// cut after whole records, exactly those.
TEST(BinaryReaders, EveryTruncationGivesRowsOfTheWholeBook) {
    std::vector<test::WabEntry> names, addresses;
    std::vector<test::NabRecord> nab;
    std::vector<std::string> addrBk;
    for (uint8_t id = 1; id <= 5; ++id) {
        const std::string n = std::to_string(id);
        names.push_back({"Name" + n, id});
        addresses.push_back({"n" + n + "@x.com", id});
        nab.push_back({"p" + n + "@x", "P" + n});
        addrBk.push_back(AddrBkRecord("A" + n, "a" + n + "@x.com"));
    }
    struct Book {
        Rows (*read)(const std::string&);
        std::string bytes;
        // The rows of the book cut to pLength when they are known exactly.
        std::function<std::optional<Rows>(size_t)> exactly;
    };
    const Book books[] = {
        {ReadAddrBk, AddrBkFile("hdr", addrBk),
         [&](size_t length) -> std::optional<Rows> {
             if (length < 3 || (length - 3) % 1658 != 0)
                 return std::nullopt; // the header is what is left over: rows may be garbage
             const auto whole = static_cast<long>((length - 3) / 1658);
             return ReadAddrBk(AddrBkFile("hdr", Rows(addrBk.begin(), addrBk.begin() + whole)));
         }},
        {ReadWab, WabFile(5, names, addresses), [](size_t) { return std::nullopt; }},
        {ReadNab, NabFile(380, 5, nab),
         [&](size_t length) -> std::optional<Rows> {
             const Rows all = ReadNab(NabFile(380, 5, nab));
             const size_t whole = length >= 388 ? std::min<size_t>((length - 388) / 68, 5) : 0;
             return Rows(all.begin(), all.begin() + static_cast<long>(whole));
         }},
    };
    for (const auto& book : books) {
        const Rows all = book.read(book.bytes);
        ASSERT_EQ(all.size(), 5u);
        for (size_t length = 0; length <= book.bytes.size(); ++length) {
            const Rows rows = book.read(book.bytes.substr(0, length));
            if (const auto expected = book.exactly(length)) {
                EXPECT_EQ(rows, *expected) << length;
            } else if (book.read != ReadAddrBk) {
                EXPECT_TRUE(IsSubsetOf(rows, all)) << length;
            }
        }
    }
}

} // namespace
} // namespace brisa
