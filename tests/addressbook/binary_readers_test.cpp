// The three binary readers (AddrBk.lst, .wab, abook.nab) on good files and on
// truncated, hostile and random ones.
#include "addressbook/readers.h"
#include "tests/addressbook/book_builders.h"

#include <gtest/gtest.h>

#include <chrono>

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

// ---- AddrBk.lst --------------------------------------------------------------

TEST(AddrBkListReader, ReadsRecordsAfterAHeaderOfAnyLength) {
    const std::string file =
        AddrBkFile("HEADER-17-BYTES!!",
                   {AddrBkRecord("Zoe", "zoe@example.com"), AddrBkRecord("ann", "ann@example.com"),
                    AddrBkRecord("Bob", "bob@example.org")});
    EXPECT_EQ(ReadAddrBk(file),
              (Rows{"ann\tann@example.com", "Bob\tbob@example.org", "Zoe\tzoe@example.com"}));
}

TEST(AddrBkListReader, MemberNamesBecomeAolAddresses) {
    const std::string file =
        AddrBkFile("", {AddrBkRecord("Ann", "Ann  Smith 2"), AddrBkRecord("Bob", "bob@x.com")});
    EXPECT_EQ(ReadAddrBk(file), (Rows{"Ann\tAnnSmith2@aol.com", "Bob\tbob@x.com"}));
}

TEST(AddrBkListReader, RemovesTrailingCrLfAndConvertsWindows1252) {
    const std::string file = AddrBkFile("", {AddrBkRecord("Ren\xe9\r\n", "rene@example.com\r\n")});
    EXPECT_EQ(ReadAddrBk(file), (Rows{"Ren\xc3\xa9\trene@example.com"}));
}

TEST(AddrBkListReader, SkipsRecordsWithAnEmptyFieldOrWithoutZeroByte) {
    std::string unterminated = AddrBkRecord("Cy", "");
    std::fill(unterminated.begin() + 58, unterminated.end(),
              'x'); // address runs to the record's end
    const std::string file =
        AddrBkFile("", {AddrBkRecord("", "nobody@x.com"), AddrBkRecord("Ann", ""), unterminated,
                        AddrBkRecord("Dee", "dee@x.com")});
    EXPECT_EQ(ReadAddrBk(file), (Rows{"Dee\tdee@x.com"}));
}

TEST(AddrBkListReader, EmptyOrShortFileGivesNoRows) {
    EXPECT_TRUE(ReadAddrBk("").empty());
    EXPECT_TRUE(ReadAddrBk(std::string(1657, 'a')).empty());
}

TEST(AddrBkListReader, EveryTruncationIsSafeAndWholeRecordsAreKept) {
    const std::vector<std::string> records = {AddrBkRecord("One", "one@x.com"),
                                              AddrBkRecord("Two", "two@x.com"),
                                              AddrBkRecord("Three", "three@x.com")};
    const std::string header = "hdr";
    const std::string file = AddrBkFile(header, records);
    const Rows all = ReadAddrBk(file);
    ASSERT_EQ(all.size(), 3u);
    for (size_t length = 0; length <= file.size(); ++length) {
        const Rows rows = ReadAddrBk(file.substr(0, length));
        EXPECT_LE(rows.size(), length / 1658) << length;
        const size_t tail = length - header.size();
        if (length >= header.size() && tail % 1658 == 0) {
            // Cut after whole records: exactly those records.
            const Rows expected = ReadAddrBk(
                AddrBkFile(header, Rows(records.begin(), records.begin() + tail / 1658)));
            EXPECT_EQ(rows, expected) << length;
            EXPECT_TRUE(IsSubsetOf(rows, all));
        }
    }
}

// ---- .wab --------------------------------------------------------------------

TEST(WabReader, PairsNamesAndAddressesById) {
    const std::string file = WabFile(3, {{"Carol", 3}, {"Ann", 1}, {"Bob", 2}},
                                     {{"ann@x.com", 1}, {"bob@x.com", 2}, {"carol@x.com", 3}});
    EXPECT_EQ(ReadWab(file), (Rows{"Ann\tann@x.com", "Bob\tbob@x.com", "Carol\tcarol@x.com"}));
}

TEST(WabReader, MissingNameLeavesThatIdOut) {
    const std::string file =
        WabFile(3, {{"Ann", 1}, {"Carol", 3}}, {{"a@x", 1}, {"b@x", 2}, {"c@x", 3}});
    EXPECT_EQ(ReadWab(file), (Rows{"Ann\ta@x", "Carol\tc@x"}));
}

TEST(WabReader, FirstEntryOfAnIdWinsAndIdsAboveTheCountNeverPair) {
    const std::string file =
        WabFile(2, {{"First", 1}, {"Second", 1}, {"Beyond", 3}, {"Zero", 0}},
                {{"", 1}, {"one@x", 1}, {"two@x", 1}, {"three@x", 3}, {"zero@x", 0}});
    // Only the first two entries of each table count (count 2); the empty
    // address text does not take the id.
    EXPECT_EQ(ReadWab(file), (Rows{"First\tone@x"}));
}

TEST(WabReader, TextWithoutZeroByteInItsFieldIsSkipped) {
    const std::string file =
        WabFile(2, {{std::string(32, 'N'), 1}, {"Bob", 2}}, {{"a@x", 1}, {"b@x", 2}});
    EXPECT_EQ(ReadWab(file), (Rows{"Bob\tb@x"}));
}

TEST(WabReader, HugeCountStopsAtTheFileEnd) {
    std::vector<test::WabEntry> names, addresses;
    for (int id = 1; id <= 300; ++id) {
        names.push_back({"N" + std::to_string(id), static_cast<uint8_t>(id % 256)});
        addresses.push_back({"a" + std::to_string(id) + "@x", static_cast<uint8_t>(id % 256)});
    }
    const std::string file = WabFile(0xFFFFFFFFu, names, addresses);
    const auto start = std::chrono::steady_clock::now();
    const Rows rows = ReadWab(file);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
    // Ids 1..255; the entries 256..300 carry ids 0..44, already taken.
    EXPECT_EQ(rows.size(), 255u);
}

TEST(WabReader, OffsetsPastTheEndGiveNoRows) {
    EXPECT_TRUE(ReadWab(WabFile(2, {{"Ann", 1}}, {{"a@x", 1}}, 0xFFFFFFF0, 100)).empty());
    EXPECT_TRUE(ReadWab(WabFile(2, {{"Ann", 1}}, {{"a@x", 1}}, 100, 0xFFFFFFFF)).empty());
    // An entry that starts inside the file but ends outside it.
    const std::string file = WabFile(1, {{"Ann", 1}}, {{"a@x", 1}});
    EXPECT_TRUE(
        ReadWab(WabFile(1, {{"Ann", 1}}, {{"a@x", 1}}, 100, static_cast<int64_t>(file.size()) - 35))
            .empty());
}

TEST(WabReader, ShortHeaderGivesNoRows) {
    const std::string file = WabFile(1, {{"Ann", 1}}, {{"a@x", 1}});
    EXPECT_TRUE(ReadWab("").empty());
    EXPECT_TRUE(ReadWab(file.substr(0, 99)).empty());
}

TEST(WabReader, EveryTruncationGivesRowsOfTheWholeFile) {
    std::vector<test::WabEntry> names, addresses;
    for (uint8_t id = 1; id <= 6; ++id) {
        names.push_back({"Name" + std::to_string(id), id});
        addresses.push_back({"n" + std::to_string(id) + "@x.com", id});
    }
    const std::string file = WabFile(6, names, addresses);
    const Rows all = ReadWab(file);
    ASSERT_EQ(all.size(), 6u);
    size_t previous = 0;
    for (size_t length = 0; length <= file.size(); ++length) {
        const Rows rows = ReadWab(file.substr(0, length));
        EXPECT_TRUE(IsSubsetOf(rows, all)) << length;
        EXPECT_GE(rows.size(), previous) << length;
        previous = rows.size();
    }
    EXPECT_EQ(previous, 6u);
}

// ---- abook.nab ---------------------------------------------------------------

TEST(NabReader, ReadsRecordsFromTheBaseOffset) {
    const std::string file =
        NabFile(400, 3, {{"zed@x.com", "Zed"}, {"amy@x.com", "Amy"}, {"", "NoAddress"}});
    EXPECT_EQ(ReadNab(file), (Rows{"Amy\tamy@x.com", "Zed\tzed@x.com"}));
}

TEST(NabReader, CountLargerThanTheFileKeepsWholeRecordsOnly) {
    const std::string file = NabFile(400, 255, {{"a@x", "A"}, {"b@x", "B"}});
    EXPECT_EQ(ReadNab(file), (Rows{"A\ta@x", "B\tb@x"}));
    EXPECT_EQ(ReadNab(file.substr(0, file.size() - 1)), (Rows{"A\ta@x"}));
}

TEST(NabReader, FieldWithoutZeroByteSkipsTheRecord) {
    std::string file = NabFile(400, 2, {{"a@x", "A"}, {"b@x", "B"}});
    std::fill(file.begin() + 408 + 36, file.begin() + 408 + 68, 'n');
    EXPECT_EQ(ReadNab(file), (Rows{"B\tb@x"}));
}

TEST(NabReader, BaseOrCountOutsideTheFileGivesNoRows) {
    EXPECT_TRUE(ReadNab("").empty());
    EXPECT_TRUE(ReadNab(std::string(357, '\0')).empty());
    std::string file(358, '\0');
    test::PutLe(file, 356, 0xFFFF, 2);
    EXPECT_TRUE(ReadNab(file).empty());
}

TEST(NabReader, EveryTruncationGivesAPrefixOfTheRecords) {
    std::vector<test::NabRecord> records;
    for (int k = 0; k < 5; ++k)
        records.push_back({"p" + std::to_string(k) + "@x", "P" + std::to_string(k)});
    const std::string file = NabFile(380, 5, records);
    const Rows all = ReadNab(file);
    ASSERT_EQ(all.size(), 5u);
    for (size_t length = 0; length <= file.size(); ++length) {
        const Rows rows = ReadNab(file.substr(0, length));
        const size_t whole = length >= 388 ? (length - 388) / 68 : 0;
        EXPECT_EQ(rows,
                  Rows(all.begin(), all.begin() + static_cast<long>(std::min<size_t>(whole, 5))))
            << length;
    }
}

// ---- any reader on random bytes ----------------------------------------------

TEST(BinaryReaders, RandomBytesNeverCrash) {
    std::mt19937 random(20240611);
    for (int round = 0; round < 400; ++round) {
        const size_t length = random() % 4000;
        std::string bytes = test::RandomBytes(random, length);
        if (round % 2 == 0 && bytes.size() >= 100) {
            // Plausible header numbers so the tables are actually walked.
            test::PutLe(bytes, 20, random() % 400, 4);
            test::PutLe(bytes, 48, random() % length, 4);
            test::PutLe(bytes, 96, random() % length, 4);
        }
        if (round % 3 == 0 && bytes.size() >= 358)
            test::PutLe(bytes, 356, random() % length, 2);
        EXPECT_LE(ReadAddrBk(bytes).size(), length / 1658);
        EXPECT_LE(ReadWab(bytes).size(), 255u);
        EXPECT_LE(ReadNab(bytes).size(), 255u);
    }
}

TEST(BinaryReaders, DamagedGoodFilesNeverCrash) {
    // Good files with a few bytes changed at random, counts and offsets included.
    const std::string wab =
        WabFile(3, {{"Ann", 1}, {"Bob", 2}, {"Cy", 3}}, {{"a@x", 1}, {"b@x", 2}, {"c@x", 3}});
    const std::string nab = NabFile(360, 3, {{"a@x", "A"}, {"b@x", "B"}, {"c@x", "C"}});
    const std::string lst = AddrBkFile("hh", {AddrBkRecord("A", "a b"), AddrBkRecord("B", "b@x")});
    std::mt19937 random(99);
    for (int round = 0; round < 1500; ++round) {
        for (const std::string* good : {&wab, &nab, &lst}) {
            std::string bytes = *good;
            const int changes = 1 + static_cast<int>(random() % 6);
            for (int c = 0; c < changes; ++c) {
                // Mostly the header, where the numbers are.
                const size_t at = random() % 2 ? random() % std::min<size_t>(bytes.size(), 400)
                                               : random() % bytes.size();
                bytes[at] = static_cast<char>(random() % 3 == 0 ? 0xFF : random() & 0xFF);
            }
            if (random() % 4 == 0)
                bytes.resize(random() % bytes.size());
            EXPECT_LE(ReadWab(bytes).size(), 255u);
            EXPECT_LE(ReadNab(bytes).size(), 255u);
            EXPECT_LE(ReadAddrBk(bytes).size(), 2u);
        }
    }
}

TEST(BinaryReaders, MissingFileGivesAnEmptyList) {
    cAddressList list;
    list.AddEntry("old", "row");
    ReadAddrBkList("/nonexistent/AddrBk.lst", list);
    EXPECT_EQ(list.Count(), 0u);
    list.AddEntry("old", "row");
    ReadWabFile("/nonexistent/x.wab", list);
    EXPECT_EQ(list.Count(), 0u);
    list.AddEntry("old", "row");
    ReadNabFile("/", list); // a folder is no file
    EXPECT_EQ(list.Count(), 0u);
}

} // namespace
} // namespace brisa
