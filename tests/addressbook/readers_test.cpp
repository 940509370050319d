// The chosen address book read into rows, for every kind of book, over
// good, damaged and hostile bytes. The books are made byte by byte here.
#include "addressbook/readers.h"
#include "common/utilities.h"
#include "language/translation.h"
#include "settings/registry.h"
#include "tests/fakes/fakes.h"
#include "tests/support/temp_env.h"

#include <gtest/gtest.h>

#include <QDir>
#include <sys/stat.h>

namespace brisa {
namespace {

using Rows = std::vector<std::string>;
using Pairs = std::vector<std::pair<std::string, std::string>>;

// pBytes with pText at pOffset, grown with zero bytes as needed.
std::string Put(std::string pBytes, size_t pOffset, const std::string& pText) {
    pBytes.resize(std::max(pBytes.size(), pOffset + pText.size()), '\0');
    return pBytes.replace(pOffset, pText.size(), pText);
}

std::string Le(uint64_t pValue, int pSize) {
    std::string bytes;
    for (int i = 0; i < pSize; ++i)
        bytes += static_cast<char>(pValue >> (8 * i));
    return bytes;
}

// AddrBk.lst: records of 1658 bytes after a header of what is left over,
// the name at 26, the address at 58.
std::string AddrBk(const std::string& pHeader, const Pairs& pRecords) {
    std::string file = pHeader;
    for (const auto& [name, address] : pRecords)
        file +=
            Put(Put(std::string(1658, 'f'), 58, address + '\0'), 26, name + '\0').substr(0, 1658);
    return file;
}

// .wab: count at 20, name table offset at 48, address table offset at 96;
// entries of 36 bytes, text and a zero, the id at 32.
std::string Wab(uint32_t pCount, const Pairs& pNames, const Pairs& pAddresses,
                uint32_t pNameTable = 100, int64_t pAddressTable = -1) {
    std::string file = Put(Put(std::string(100, 'U'), 20, Le(pCount, 4)), 48, Le(pNameTable, 4));
    file =
        Put(file, 96,
            Le(pAddressTable >= 0 ? static_cast<uint64_t>(pAddressTable) : 100 + 36 * pNames.size(),
               4));
    for (const Pairs* table : {&pNames, &pAddresses})
        for (const auto& [text, id] : *table)
            file += Put(Put(std::string(36, '\0'), 0, text.substr(0, 32)), 32, id);
    return file;
}

// abook.nab: base B at 356, count byte at B + 7, records of 68 bytes from
// B + 8, the address at 4 and the name at 36.
std::string Nab(uint16_t pBase, int pCount, const Pairs& pRecords) {
    std::string file = Put(Put(std::string(pBase + 8u, '\x11'), 356, Le(pBase, 2)), pBase + 7u,
                           Le(static_cast<uint64_t>(pCount), 1));
    for (const auto& [address, name] : pRecords)
        file += Put(Put(std::string(68, '\0'), 4, address), 36, name);
    return file;
}

std::string Id(int pId) {
    return std::string(1, static_cast<char>(pId));
}

// The book chosen in the settings, read as the address window reads it.
struct Books {
    Books() {
        m_Store.VerifyRegistry();
        gRegistry = &m_Store;
        Translation.Clear();
        Translation.Add(cString{"add0006", "Please choose an address book"});
        QDir().mkpath(QString::fromStdString(m_Env.Root() + "/folder"));
        ::mkfifo((m_Env.Root() + "/pipe").c_str(), 0600);
    }
    ~Books() { gRegistry = nullptr; }
    // pPlace: "book" a file of pBytes, or "missing", "folder", "pipe".
    Rows Load(const std::string& pKind, const std::string& pBytes,
              const std::string& pPlace = "book") {
        const std::string path = m_Env.Root() + "/" + pPlace;
        if (pPlace == "book")
            test::WriteFile(path, pBytes);
        m_Store.AddressBook(pKind + "\t" + path);
        cAddressList list;
        list.AddEntry("left over", "x@y");
        LoadAddressBook(list, {"AOL", "WAB", "Outlook", "NAB", "LDIF", "Eudora"}, [] {
            return cOutlookResult{false, {{"Olga\r\n", "o@x\t"}}};
        });
        return list.Rows();
    }

    test::TempEnv m_Env;
    test::MemoryRegistry m_Memory;
    cRegistry m_Store{m_Memory, nullptr};
};

TEST(AddressBooks, GoodDamagedAndHostileBooks) {
    Pairs many, manyAddresses;
    Rows manyRows;
    for (int id = 1; id <= 300; ++id) {
        many.push_back({"N" + std::to_string(1000 + id), Id(id)});
        manyAddresses.push_back({"a@" + std::to_string(id), Id(id)});
        if (id < 256)
            manyRows.push_back(many.back().first + "\t" + manyAddresses.back().first);
    }
    const std::string wabOne = Wab(1, {{"Ann", Id(1)}}, {{"a@x", Id(1)}});
    const std::string longName(kMaxLineLength - 4, 'n');
    struct Row {
        std::string kind, bytes;
        Rows rows;
        std::string place = "book";
    };
    // clang-format off
    const std::vector<Row> rows = {
        // AOL: a header of what is left over, member names, Windows-1252, damaged records skipped
        {"AOL", AddrBk("HEADER-17-BYTES!!", {{"Zoe", "z@x.com"}, {"ann", "a@x\t.com"}, {"B\nb", "b@x"}}), {"ann\ta@x .com", "B b\tb@x", "Zoe\tz@x.com"}},
        {"aol", AddrBk("", {{"Ann", "Ann  Smith 2"}, {"Ren\xE9\r\n", "rene@example.com\r\n"}}), {"Ann\tAnnSmith2@aol.com", "Ren\xC3\xA9\trene@example.com"}},
        {"AOL", AddrBk("", {{"", "n@x"}, {"Ann", ""}, {"Cy", std::string(1600, 'x')}, {std::string(1632, 'n'), ""}, {"Dee", "d@x"}}), {"Dee\td@x"}},
        {"AOL", std::string(1657, 'a'), {}},
        // WAB: paired by id, the first of an id, as many entries as the count says, all in the file
        {"WAB", Wab(3, {{"Bob\x1B", Id(2)}, {"Ann", Id(1)}, {"Second", Id(1)}, {"Carol", Id(3)}}, {{"", Id(1)}, {"a@x", Id(1)}, {"b@x", Id(2)}, {"c@x", Id(3)}}), {"Ann\ta@x", "Bob \tb@x"}},
        {"WAB", Wab(2, {{std::string(32, 'N'), Id(1)}, {"Bob", Id(2)}}, {{"a@x", Id(1)}, {"b@x", Id(2)}}), {"Bob\tb@x"}},
        {"WAB", Wab(0xFFFFFFFFu, many, manyAddresses), manyRows},
        {"WAB", Wab(2, {{"Ann", Id(1)}}, {{"a@x", Id(1)}}, 0xFFFFFFF0, 100), {}},
        {"WAB", Wab(1, {{"Ann", Id(1)}}, {{"a@x", Id(1)}}, 100, static_cast<int64_t>(wabOne.size()) - 35), {}},
        {"WAB", wabOne.substr(0, 99), {}},
        // NAB: from the base, no more records than the file holds
        {"NAB", Nab(400, 3, {{"zed@x.com\x7F", "Zed\x81"}, {"amy@x.com", "Amy"}, {"", "Nobody"}}), {"Amy\tamy@x.com", "Zed \tzed@x.com "}},
        {"NAB", Nab(400, 255, {{"a@x", "A"}, {"b@x", "B"}}), {"A\ta@x", "B\tb@x"}},
        {"NAB", Put(Nab(400, 3, {{"a@x", "A"}, {"b@x", "B"}, {"c@x", "C"}}), 444, std::string(32, 'n')), {"B\tb@x", "C\tc@x"}},
        {"NAB", Nab(0xFFFF, 1, {}).substr(0, 358), {}},
        {"NAB", std::string(357, '\0'), {}},
        // LDIF: any line end, equal names ignoring case in the order read, a name carried on
        {"LDIF", "dn: a\r\ncn: bob\r\nmail: b@x\r\ndn: b\rCN:   Ann  \rMail:  a@x \rmailX: o@x\rdn: c\ncn: BOB\nmail: B@x\n\n"
                 "dn: d\ncn: \xC3\x89mile\nmail: e@x\ndn: e\ncn: carl\nmail: c@x\xC2\x85", {"Ann\ta@x", "bob\tb@x", "BOB\tB@x", "carl\tc@x ", "\xC3\x89mile\te@x"}},
        {"LDIF", "dn: a\ncn: Lonely\n\ndn: b\nmail: b@x.com\ndn: c\ncn: Only A Name\n", {"Lonely\tb@x.com"}},
        // UTF-8 when valid, Windows-1252 otherwise, plain and base 64; a broken value is empty
        {"LDIF", "dn: 1\ncn: J\xC3\xB6rg\nmail: j@x\ndn: 2\ncn: Ren\xE9\nmail: r@x\ndn:: Yg==\ncn:: SsO2cmcy\nmail: k@x\ndn: 3\ncn:: UmVu6TI=\n"
                 "mail: s@x\ndn: 4\ncn:: ***\nmail: t@x\ndn: 5\ncn:: RXZlDQpCY2M=\nmail:: ZXZlQHgNCkJjYzogc3B5QGV2Lmls\n",
         {"Eve  Bcc\teve@x  Bcc: spy@ev.il", "J\xC3\xB6rg\tj@x", "J\xC3\xB6rg2\tk@x", "Ren\xC3\xA9\tr@x", "Ren\xC3\xA9" "2\ts@x"}},
        {"LDIF", "dn: a\ncn: " + longName + std::string(kMaxLineLength, 'm') + "\nmail: a@x\n", {longName + "\ta@x"}},
        // nicknames, quoted and plain; expanded one level, in list order
        {"Eudora", "# comment\r\nalias \"The\x90Team\" ann@x.com,bob@x.com,\r\nALIAS carl  carl@x.com  \r\naliases x\r\n"
                   "alias lonely\r\nalias \"quoted only\"\r\nalias \"unclosed x@y\r\nalias \r\n", {"carl\tcarl@x.com", "The Team\tann@x.com,bob@x.com"}},
        {"Eudora", "alias ann ann@x.com\nalias bob bob@x.com\nalias team ann,bob\nalias aa bb\nalias bb cc\nalias mixed ANN,stranger,c@x.com\n"
                   "alias cc c@x\nalias zz yy\nalias yy w@x\nalias a a@x,,b@x\n",
         {"a\ta@x", "aa\tcc", "ann\tann@x.com", "bb\tc@x", "bob\tbob@x.com", "cc\tc@x", "mixed\tann@x.com,c@x.com", "team\tann@x.com,bob@x.com", "yy\tw@x", "zz\tw@x"}},
        // Outlook: the contacts window, also for the folder of vCard folders
        {"Outlook", "not read", {"Olga  \to@x "}},
        {"Outlook", "", {"Olga  \to@x "}, "folder"},
        // a folder of another kind, a pipe, a missing book, a kind saved under another language
        {"LDIF", "", {"left over\tx@y"}, "folder"},
        {"LDIF", "", {}, "pipe"},
        {"LDIF", "", {"left over\tx@y"}, "missing"},
        {"Carnet LDIF", "dn: a\ncn: A\nmail: a@x\n", {"left over\tx@y", "Please choose an address book\t"}},
    };
    // clang-format on
    Books books;
    for (const Row& row : rows) {
        EXPECT_EQ(books.Load(row.kind, row.bytes, row.place), row.rows) << row.bytes.substr(0, 60);
    }

    // Each nickname names the one before it twenty times: unlimited, the last
    // row would be 20^40 addresses long.
    std::string nested = "alias n0 someone@example.com\n";
    for (int k = 1; k < 40; ++k) {
        nested += "alias n" + std::to_string(k) + " ";
        for (int r = 0; r < 20; ++r)
            nested += "n" + std::to_string(k - 1) + ",";
        nested += "\n";
    }
    const Rows expanded = books.Load("Eudora", nested);
    EXPECT_EQ(expanded.size(), 40u);
    for (const std::string& row : expanded)
        EXPECT_LE(row.size(), 4 + kMaxExpandedRow);
}

} // namespace
} // namespace brisa
