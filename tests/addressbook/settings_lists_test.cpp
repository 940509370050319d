// LoadAddressBook (AddressBook setting to rows) and FillBookList
// (KnownAddressBooks to book-list rows), over a settings store in memory.
#include "addressbook/discovery.h"
#include "addressbook/readers.h"
#include "language/translation.h"
#include "tests/addressbook/book_builders.h"
#include "tests/support/temp_env.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

namespace brisa {
namespace {

using Rows = std::vector<std::string>;

cKindLabels Labels() {
    return cKindLabels{
        "Netscape AddrBk", "Windows Address Book", "Outlook", "Netscape Abook", "LDIF",
        "Nicknames"};
}

class LoadAddressBookTest : public ::testing::Test {
protected:
    void SetUp() override {
        Translation.Clear();
        Translation.Add(cString{"add0006", "Please choose an address book"});
        ldif = env.Root() + "/books/contacts.ldif";
        test::WriteFile(ldif, "dn: a\r\ncn: Ann\r\nmail: ann@x.com\r\n");
        list.AddEntry("old", "row@x");
    }
    void TearDown() override { Translation.Clear(); }
    void Choose(const std::string& pLabel, const std::string& pPath) {
        settings.Store().AddressBook(pLabel + "\t" + pPath);
    }

    test::TempEnv env;
    test::SettingsInMemory settings;
    std::string ldif;
    cAddressList list;
};

TEST_F(LoadAddressBookTest, ReadsTheChosenBookWithTheReaderOfItsLabel) {
    Choose("ldif", ldif); // labels compare without regard to case
    LoadAddressBook(list, Labels());
    EXPECT_EQ(list.Rows(), (Rows{"Ann\tann@x.com"}));
}

TEST_F(LoadAddressBookTest, EachLabelChoosesItsReader) {
    const std::string nab = env.Root() + "/abook.nab";
    test::WriteFile(nab, test::NabFile(400, 1, {{"n@x", "Nab Person"}}));
    Choose("Netscape Abook", nab);
    LoadAddressBook(list, Labels());
    EXPECT_EQ(list.Rows(), (Rows{"Nab Person\tn@x"}));

    const std::string nicknames = env.Root() + "/nndbase.txt";
    test::WriteFile(nicknames, "alias a a@x\nalias b a\n");
    Choose("Nicknames", nicknames);
    LoadAddressBook(list, Labels());
    EXPECT_EQ(list.Rows(), (Rows{"a\ta@x", "b\ta@x"}));

    const std::string wab = env.Root() + "/x.wab";
    test::WriteFile(wab, test::WabFile(1, {{"W", 1}}, {{"w@x", 1}}));
    Choose("Windows Address Book", wab);
    LoadAddressBook(list, Labels());
    EXPECT_EQ(list.Rows(), (Rows{"W\tw@x"}));

    const std::string lst = env.Root() + "/AddrBk.lst";
    test::WriteFile(lst, test::AddrBkFile("h", {test::AddrBkRecord("Member", "some one")}));
    Choose("Netscape AddrBk", lst);
    LoadAddressBook(list, Labels());
    EXPECT_EQ(list.Rows(), (Rows{"Member\tsomeone@aol.com"}));
}

TEST_F(LoadAddressBookTest, OutlookLabelAsksTheContactWindow) {
    const std::string pst = env.Root() + "/outlook.pst";
    test::WriteFile(pst, "not read");
    Choose("Outlook", pst);
    LoadAddressBook(list, Labels(), [] { return cOutlookResult{false, {{"Olga", "o@x"}}}; });
    EXPECT_EQ(list.Rows(), (Rows{"Olga\to@x"}));
    LoadAddressBook(list, Labels()); // no contact window yet: no rows
    EXPECT_EQ(list.Count(), 0u);
}

TEST_F(LoadAddressBookTest, UnknownLabelAppendsTheNoticeRow) {
    Choose("Carnet d'adresses LDIF", ldif); // saved under another language
    LoadAddressBook(list, Labels());
    EXPECT_EQ(list.Rows(), (Rows{"old\trow@x", "Please choose an address book\t"}));
}

TEST_F(LoadAddressBookTest, MissingPathOrFileLeavesTheListAsItIs) {
    settings.Store().AddressBook("");
    LoadAddressBook(list, Labels());
    Choose("LDIF", "");
    LoadAddressBook(list, Labels());
    Choose("LDIF", env.Root() + "/gone.ldif");
    LoadAddressBook(list, Labels());
    Choose("LDIF", env.Root());
    LoadAddressBook(list, Labels()); // a folder is no file
    EXPECT_EQ(list.Rows(), (Rows{"old\trow@x"}));
}

TEST_F(LoadAddressBookTest, PipeWithABookNameDoesNotBlock) {
    const std::string pipe = env.Root() + "/pipe.ldif";
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
    Choose("LDIF", pipe);
    LoadAddressBook(list, Labels());
    EXPECT_EQ(list.Count(), 0u);
}

// ---- FillBookList ---------------------------------------------------------------

class FillBookListTest : public ::testing::Test {
protected:
    test::SettingsInMemory settings;
};

TEST_F(FillBookListTest, OneRowPerKnownPathSortedByKind) {
    settings.Store().KnownAddressBooks(
        "/h/a/nndbase.txt\t/h/b/x.WAB\t/h/c/AddrBk.lst\t/h/d.ldif\t/h/e.pst\t");
    const cBookList books = FillBookList(Labels());
    EXPECT_EQ(books.rows, (Rows{"LDIF\t/h/d.ldif", "Netscape AddrBk\t/h/c/AddrBk.lst",
                                "Nicknames\t/h/a/nndbase.txt", "Outlook\t/h/e.pst",
                                "Windows Address Book\t/h/b/x.WAB"}));
    EXPECT_EQ(books.selected, -1);
}

TEST_F(FillBookListTest, HandEditedPathGetsTheLabelOfTheTextItContains) {
    settings.Store().KnownAddressBooks("/x/notes.txt\t/x/old.wab.bak\t");
    EXPECT_EQ(FillBookList(Labels()).rows,
              (Rows{"\t/x/notes.txt", "Windows Address Book\t/x/old.wab.bak"}));
}

TEST(KindLabels, FileNameDecidesBeforeTheFolders) {
    const cKindLabels k = Labels();
    EXPECT_EQ(KindLabelOf("/home/ann/backup.pst.d/contacts.ldif", k), "LDIF");
    EXPECT_EQ(KindLabelOf("/x.wab.d/abook.nab", k), "Netscape Abook");
    EXPECT_EQ(KindLabelOf("/x/mail.WAB.pst", k), "Outlook");
    EXPECT_EQ(KindLabelOf("/x/ADDRBK.LST", k), "Netscape AddrBk");
    EXPECT_EQ(KindLabelOf("/x/NNDBASE.TXT", k), "Nicknames");
    EXPECT_EQ(KindLabelOf("/x/addrbk.lst.old", k), "Netscape AddrBk"); // contains rule
    EXPECT_EQ(KindLabelOf("/x/readme", k), "");
}

} // namespace
} // namespace brisa
