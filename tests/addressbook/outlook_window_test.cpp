// The contacts window over the real vCard folders, as the address-book
// reader's source: what is offered, what OK and Cancel import.
#include "addressbook/outlook_window.h"
#include "language/translation.h"
#include "platform/linux/vcard_contacts.h"
#include "skin/label_button.h"
#include "tests/addressbook/book_builders.h"
#include "tests/fakes/fakes.h"
#include "tests/support/temp_env.h"

#include <QComboBox>
#include <gtest/gtest.h>

namespace brisa::test {
namespace {

using Rows = std::vector<std::string>;
using Texts = std::vector<std::string>;

Texts Entries(const QComboBox* pList) {
    Texts out;
    for (int i = 0; i < pList->count(); ++i)
        out.push_back(pList->itemText(i).toStdString());
    return out;
}

class OutlookOverVdir : public ::testing::Test {
protected:
    void SetUp() override {
        services = fakes.Wire();
        services.contacts = &vcards;
        settings.Store().PlaySounds("1");
    }
    void TearDown() override { Translation.Clear(); }
    std::string Root() const { return env.Root() + "/contacts"; }
    static std::string Card(const std::string& pName, const std::string& pEmail) {
        return "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:" + pName + "\r\nEMAIL;TYPE=INTERNET:" + pEmail +
               "\r\nEND:VCARD\r\n";
    }
    void WriteStores() {
        WriteFile(Root() + "/home/displayname", "Home");
        WriteFile(Root() + "/home/family/displayname", "Family");
        WriteFile(Root() + "/home/family/a.vcf",
                  Card("Mum", "mum@home.example") + Card("Dad", "dad@home.example"));
        WriteFile(Root() + "/home/family/b.vcf", Card("mum", "other-mum@home.example"));
        WriteFile(Root() + "/home/calendar/x.ics", "BEGIN:VCALENDAR\r\nEND:VCALENDAR\r\n");
        WriteFile(Root() + "/home/friends/c.vcf", Card("Pat", "pat@home.example"));
        WriteFile(Root() + "/office/o.vcf", Card("Olga", "olga@office.example"));
    }
    Rows Import() {
        cAddressList list;
        list.AddEntry("left over", "x@y");
        ReadOutlookContacts("", list, MakeOutlookSource(services));
        return list.Rows();
    }

    TempEnv env;
    SettingsInMemory settings;
    FakeServices fakes;
    VCardContacts vcards{Root()};
    Services services;
};

TEST_F(OutlookOverVdir, ChoosingAnotherStoreAndFolderImportsThatFolder) {
    WriteStores();
    fakes.modal.script = [](QWidget* pWindow) {
        auto* window = static_cast<frmOutlook*>(pWindow);
        window->cboProfile->setCurrentIndex(1);
        window->cboProfile_Click();
        EXPECT_EQ(Entries(window->cboFolder), (Texts{"office"}));
        window->cboProfile->setCurrentIndex(0);
        Q_EMIT window->cboProfile->activated(0); // as the user's choice arrives
        window->cboFolder->setCurrentIndex(1);   // friends
        window->cboFolder_Click();
        window->cmdOk->Click();
    };
    EXPECT_EQ(Import(), (Rows{"Pat\tpat@home.example"}));
    EXPECT_EQ(fakes.sound.Names(),
              (Texts{"click.wav", "click.wav", "click.wav", "click.wav", "click.wav"}));
    fakes.modal.script = [](QWidget* pWindow) {
        auto* window = static_cast<frmOutlook*>(pWindow);
        window->cboProfile->setCurrentIndex(1);
        window->cboProfile_Click();
        window->cmdCancel->Click();
    };
    EXPECT_TRUE(Import().empty());
}

TEST_F(OutlookOverVdir, ConfirmingImportsTheFirstContactFolderOfTheFirstStore) {
    WriteStores();

    frmOutlook* seen = nullptr;
    fakes.modal.script = [&](QWidget* pWindow) {
        seen = static_cast<frmOutlook*>(pWindow);
        EXPECT_EQ(Entries(seen->cboProfile), (Texts{"Home", "office"}));
        EXPECT_EQ(Entries(seen->cboFolder), (Texts{"Family", "friends"}));
        seen->cmdOk->Click();
    };
    cAddressList list;
    ReadOutlookContacts("", list, MakeOutlookSource(services));
    EXPECT_NE(seen, nullptr);
    EXPECT_EQ(list.Rows(), (Rows{"Dad\tdad@home.example", "Mum\tmum@home.example"}));
    EXPECT_EQ(fakes.sound.Names(), (Texts{"click.wav", "click.wav"})); // opening, OK
}

TEST_F(OutlookOverVdir, AStoreWithItsOwnCardsOffersItselfAsAFolder) {
    WriteFile(Root() + "/office/o.vcf", Card("Olga", "olga@office.example"));
    fakes.modal.script = [&](QWidget* pWindow) {
        auto* window = static_cast<frmOutlook*>(pWindow);
        EXPECT_EQ(Entries(window->cboFolder), (Texts{"office"}));
        window->cmdOk->Click();
    };
    cAddressList list;
    ReadOutlookContacts("", list, MakeOutlookSource(services));
    EXPECT_EQ(list.Rows(), (Rows{"Olga\tolga@office.example"}));
}

TEST_F(OutlookOverVdir, NoContactsRootHidesTheWindowAndYieldsNothing) {
    cAddressList list;
    list.AddEntry("left over", "x@y");
    ReadOutlookContacts("", list, MakeOutlookSource(services));
    EXPECT_EQ(fakes.modal.shown, 0);
    EXPECT_EQ(list.Count(), 0u);
    EXPECT_TRUE(fakes.sound.Names().empty());
}

} // namespace
} // namespace brisa::test
