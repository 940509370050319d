// The folder of vCard contact folders offered as an address book of the
// contacts (Outlook) kind: found by the search, labelled, and read through
// the contacts window.
#include "addressbook/discovery.h"
#include "addressbook/readers.h"
#include "language/translation.h"
#include "tests/addressbook/book_builders.h"
#include "tests/support/temp_env.h"

#include <QDir>
#include <gtest/gtest.h>

namespace brisa {
namespace {

cKindLabels Labels() {
    return cKindLabels{"AOL", "Outlook Express", "Outlook", "Netscape", "LDIF", "Eudora"};
}

class ContactsBook : public ::testing::Test {
protected:
    void SetUp() override {
        root = env.Root() + "/drive/home/.local/share/contacts";
        QDir().mkpath(QString::fromStdString(root + "/work"));
        test::WriteFile(root + "/work/ann.vcf", "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:Ann\r\nEMAIL:ann@x.com\r\nEND:VCARD\r\n");
        test::WriteFile(env.Root() + "/drive/home/books/contacts.ldif", "dn: a\r\ncn: Bo\r\nmail: bo@x.com\r\n");
        qputenv("BRISAMAIL_CONTACTS", QByteArray::fromStdString(root));
    }
    void TearDown() override { qunsetenv("BRISAMAIL_CONTACTS"); }
    test::TempEnv env;
    test::SettingsInMemory settings;
    std::string root;
};

TEST_F(ContactsBook, SearchOfTheDriveHoldingItListsTheContactsFolderLast) {
    const std::string found = SearchAddressBooks(env.Root() + "/drive", {});
    EXPECT_EQ(found, env.Root() + "/drive/home/books/contacts.ldif\t" + root + "\t");
    EXPECT_EQ(KindLabelOf(root, Labels()), "Outlook");
    EXPECT_EQ(KindLabelOf(root + "/", Labels()), "Outlook");
}

TEST_F(ContactsBook, SearchOfAnotherDriveLeavesItOut) {
    QDir().mkpath(QString::fromStdString(env.Root() + "/other"));
    EXPECT_EQ(SearchAddressBooks(env.Root() + "/other", {}), "");
}

TEST_F(ContactsBook, NoContactsFolderNothingAdded) {
    qputenv("BRISAMAIL_CONTACTS", QByteArray::fromStdString(env.Root() + "/missing"));
    EXPECT_EQ(SearchAddressBooks(env.Root() + "/drive", {}), env.Root() + "/drive/home/books/contacts.ldif\t");
}

TEST_F(ContactsBook, ChosenContactsFolderIsReadThroughTheContactsWindow) {
    settings.Store().AddressBook("Outlook\t" + root);
    cAddressList list;
    LoadAddressBook(list, Labels(), [] { return cOutlookResult{false, {{"Ann", "ann@x.com"}}}; });
    EXPECT_EQ(list.Rows(), std::vector<std::string>{"Ann\tann@x.com"});
    // Another kind never reads a folder.
    settings.Store().AddressBook("LDIF\t" + root);
    list.Clear();
    list.AddEntry("kept", "k@x");
    LoadAddressBook(list, Labels());
    EXPECT_EQ(list.Rows(), std::vector<std::string>{"kept\tk@x"});
}

} // namespace
} // namespace brisa
