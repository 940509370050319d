// The Outlook contacts window: its lists, sounds, captions and buttons over a
// fake contact store, and the address-book reader's source over the real
// vCard folders.
#include "addressbook/outlook_layout.h"
#include "addressbook/outlook_window.h"

#include "language/translation.h"
#include "platform/linux/vcard_contacts.h"
#include "platform/program_folder.h"
#include "skin/label_button.h"
#include "tests/addressbook/book_builders.h"
#include "tests/fakes/fakes.h"
#include "tests/support/temp_env.h"
#include "tools/art_files.h"
#include "tools/artwork.h"

#include <QComboBox>
#include <QLabel>
#include <QTest>
#include <gtest/gtest.h>

#include <QGuiApplication>
#include <QScreen>
#include <map>

namespace brisa::test {
namespace {

// A contact store in memory that records the calls made to it.
class FakeContacts : public IContacts {
public:
    struct Folder {
        int type;
        std::string name;
        std::vector<ContactItemInfo> items;
    };
    struct Store {
        std::string name;
        std::vector<Folder> folders;
    };
    std::vector<Store> stores;
    bool available = true;
    bool nameSpaceFails = false;
    std::vector<std::string> calls;

    std::unique_ptr<IContactApplication> GetApplication() override;

    const Store* FindStore(const std::string& pName) const {
        for (const Store& s : stores)
            if (s.name == pName)
                return &s;
        return nullptr;
    }
};

class FakeNameSpace : public IContactNameSpace {
public:
    explicit FakeNameSpace(FakeContacts& pOwner) : m_Owner(pOwner) {}
    bool Logon(const std::string& pProfile, const std::string& pPassword, bool pShowDialog,
               bool pNewSession) override {
        m_Owner.calls.push_back("Logon(" + pProfile + "," + pPassword + "," +
                                (pShowDialog ? "1" : "0") + "," + (pNewSession ? "1" : "0") + ")");
        return true;
    }
    bool Folders(std::vector<std::string>& pStores) override {
        m_Owner.calls.push_back("Folders");
        pStores.clear();
        for (const auto& s : m_Owner.stores)
            pStores.push_back(s.name);
        return true;
    }
    bool StoreFolders(const std::string& pStore,
                      std::vector<ContactFolderInfo>& pFolders) override {
        m_Owner.calls.push_back("StoreFolders(" + pStore + ")");
        pFolders.clear();
        const auto* store = m_Owner.FindStore(pStore);
        if (!store)
            return false;
        for (const auto& f : store->folders)
            pFolders.push_back({f.type, f.name});
        return true;
    }
    bool FolderItems(const std::string& pStore, const std::string& pFolder,
                     std::vector<ContactItemInfo>& pItems) override {
        m_Owner.calls.push_back("FolderItems(" + pStore + "," + pFolder + ")");
        pItems.clear();
        const auto* store = m_Owner.FindStore(pStore);
        if (!store)
            return false;
        for (const auto& f : store->folders)
            if (f.name == pFolder) {
                pItems = f.items;
                return true;
            }
        return false;
    }

private:
    FakeContacts& m_Owner;
};

class FakeApplication : public IContactApplication {
public:
    explicit FakeApplication(FakeContacts& pOwner) : m_Owner(pOwner) {}
    std::unique_ptr<IContactNameSpace> GetNameSpace(const std::string& pType) override {
        m_Owner.calls.push_back("GetNameSpace(" + pType + ")");
        if (m_Owner.nameSpaceFails)
            return nullptr;
        return std::make_unique<FakeNameSpace>(m_Owner);
    }

private:
    FakeContacts& m_Owner;
};

std::unique_ptr<IContactApplication> FakeContacts::GetApplication() {
    calls.push_back("GetApplication");
    if (!available)
        return nullptr;
    return std::make_unique<FakeApplication>(*this);
}

using Rows = std::vector<std::string>;
using Texts = std::vector<std::string>;

Texts Entries(const QComboBox* pList) {
    Texts out;
    for (int i = 0; i < pList->count(); ++i)
        out.push_back(pList->itemText(i).toStdString());
    return out;
}

Rows ContactRows(const std::vector<cContact>& pContacts) {
    Rows out;
    for (const cContact& c : pContacts)
        out.push_back(c.Name + "\t" + c.Address);
    return out;
}

class OutlookWindow : public ::testing::Test {
protected:
    void SetUp() override {
        services = fakes.Wire();
        services.contacts = &contacts;
        settings.Store().PlaySounds("1");
        // "work" sorts after "Archive"; folders are offered sorted too.
        contacts.stores = {
            {"work",
             {{2, "Team", {{"Uma", "uma@work.example"}, {"Bob", "bob@work.example"}}},
              {1, "Calendar", {{"Meeting", "m@work.example"}}},
              {2,
               "Customers",
               {{"Carl", "carl@customer.example"},
                {"carl", "second-carl@customer.example"},
                {"Dora", "dora@customer.example"},
                {"Carl", "third-carl@customer.example"},
                {"", "nameless@customer.example"},
                {"All Customers", ""}}}}},
            {"Archive", {{0, "Old Mail", {}}}},
        };
    }
    void TearDown() override { Translation.Clear(); }

    std::unique_ptr<frmOutlook> Load() {
        auto window = std::make_unique<frmOutlook>(services);
        window->Form_Load();
        return window;
    }
    Texts Sounds() const { return fakes.sound.Names(); }

    TempEnv env;
    SettingsInMemory settings;
    FakeServices fakes;
    FakeContacts contacts;
    Services services;
};

// ---- loading ----------------------------------------------------------------------------

TEST_F(OutlookWindow, OpeningChoosesTheFirstStoreAndFolderWithOneClick) {
    auto window = Load();
    EXPECT_FALSE(window->EndedDuringLoad());
    EXPECT_EQ(Entries(window->cboProfile), (Texts{"Archive", "work"}));
    EXPECT_EQ(window->cboProfile->currentText().toStdString(), "Archive");
    // Archive has no contact folder: nothing is collected.
    EXPECT_TRUE(Entries(window->cboFolder).empty());
    EXPECT_TRUE(window->Contacts().empty());
    EXPECT_EQ(Sounds(), (Texts{"click.wav"}));
    EXPECT_EQ(fakes.sound.played[0].path, ProgramPath("/sounds/click.wav"));
    EXPECT_EQ(fakes.sound.played[0].mode, SND_ASYNC);
    EXPECT_FALSE(window->IsFilling());
    EXPECT_FALSE(window->Cancel());
    EXPECT_EQ(contacts.calls, (Texts{"GetApplication", "GetNameSpace(MAPI)", "Logon(,,1,1)",
                                     "Folders", "StoreFolders(Archive)"}));
}

TEST_F(OutlookWindow, TheFirstStoreInSortedOrderGivesItsFirstContactFolder) {
    contacts.stores.pop_back(); // only "work" now
    contacts.stores.push_back({"Zeta", {{2, "Z", {{"Zed", "zed@z.example"}}}}});
    auto window = Load();
    EXPECT_EQ(Entries(window->cboProfile), (Texts{"work", "Zeta"}));
    EXPECT_EQ(Entries(window->cboFolder),
              (Texts{"Customers", "Team"})); // Calendar is no contact folder
    EXPECT_EQ(window->cboFolder->currentText().toStdString(), "Customers");
    // Duplicate display names (ignoring case) stay once, the first; items
    // without name or address are skipped.
    EXPECT_EQ(ContactRows(window->Contacts()),
              (Rows{"Carl\tcarl@customer.example", "Dora\tdora@customer.example"}));
    EXPECT_EQ(Sounds(), (Texts{"click.wav"}));
}

TEST_F(OutlookWindow, NoSoundsWhenTheyAreOff) {
    settings.Store().PlaySounds("0");
    auto window = Load();
    window->cboProfile->setCurrentIndex(1);
    window->cboProfile_Click();
    window->cmdOk_Click();
    EXPECT_TRUE(Sounds().empty());
}

TEST_F(OutlookWindow, WithoutAContactStoreTheWindowHidesItselfWhileLoading) {
    contacts.available = false;
    auto window = Load();
    EXPECT_TRUE(window->EndedDuringLoad());
    EXPECT_FALSE(window->isVisible());
    EXPECT_EQ(window->cboProfile->count(), 0);
    EXPECT_TRUE(window->Contacts().empty());
    EXPECT_TRUE(Sounds().empty());
    EXPECT_EQ(contacts.calls, (Texts{"GetApplication"}));

    services.contacts = nullptr; // no provider at all: the same
    auto second = Load();
    EXPECT_TRUE(second->EndedDuringLoad());
}

TEST_F(OutlookWindow, AFailingNameSpaceLeavesTheListsEmptyButTheWindowOpen) {
    contacts.nameSpaceFails = true;
    auto window = Load();
    EXPECT_FALSE(window->EndedDuringLoad());
    EXPECT_EQ(window->cboProfile->count(), 0);
    EXPECT_TRUE(window->Contacts().empty());
    EXPECT_TRUE(Sounds().empty());
}

TEST_F(OutlookWindow, CaptionsAndTitleComeFromTheLanguageTable) {
    for (const auto& [id, text] :
         std::map<std::string, std::string>{{"out0001", "Fine"},
                                            {"out0002", "Stop"},
                                            {"out0003", "Contacts of Outlook"},
                                            {"out0004", "Store"},
                                            {"out0005", "Folder"}})
        Translation.Add({id, text});
    auto window = Load();
    EXPECT_EQ(window->cmdOk->Caption(), "Fine");
    EXPECT_EQ(window->cmdCancel->Caption(), "Stop");
    EXPECT_EQ(window->lblProfile->text(), "Store:");
    EXPECT_EQ(window->lblContacts->text(), "Folder:");
    EXPECT_EQ(window->lblToolbar->text(), "Contacts of Outlook");
}

TEST_F(OutlookWindow, MissingTranslationsKeepTheDesignedTexts) {
    auto window = Load();
    EXPECT_EQ(window->cmdOk->Caption(), "OK");
    EXPECT_EQ(window->cmdCancel->Caption(), "Cancel");
    EXPECT_EQ(window->lblProfile->text(), "Mailbox:");
    EXPECT_EQ(window->lblContacts->text(), "Contact folder:");
    EXPECT_EQ(window->lblToolbar->text(), "Outlook Contacts");
}

TEST_F(OutlookWindow, ControlsSitAtTheirDesignedPlaces) {
    auto window = Load();
    EXPECT_EQ(window->size(), QSize(398, 142));
    namespace layout = outlook_layout;
    auto rect = [](const layout::Rect& r) { return QRect(r.left, r.top, r.width, r.height); };
    EXPECT_EQ(window->cboProfile->geometry(), rect(layout::cboProfile));
    EXPECT_EQ(window->cboFolder->geometry(), rect(layout::cboFolder));
    EXPECT_EQ(window->lblToolbar->geometry(), rect(layout::lblToolbar));
    ASSERT_EQ(window->HoverButtons().size(), std::size(layout::kButtons));
    for (std::size_t i = 0; i < std::size(layout::kButtons); ++i) {
        EXPECT_EQ(window->HoverButtons()[i]->objectName().toStdString(), layout::kButtons[i].name);
        EXPECT_EQ(window->HoverButtons()[i]->geometry(), rect(layout::kButtons[i].rect));
    }
}

// ---- choosing ----------------------------------------------------------------------------

TEST_F(OutlookWindow, ChoosingAnotherStoreRefillsTheFoldersWithOneClick) {
    auto window = Load();
    fakes.sound.played.clear();
    window->cboProfile->setCurrentIndex(1);
    Q_EMIT window->cboProfile->activated(1); // as the user's choice arrives
    EXPECT_EQ(Entries(window->cboFolder), (Texts{"Customers", "Team"}));
    EXPECT_EQ(ContactRows(window->Contacts()),
              (Rows{"Carl\tcarl@customer.example", "Dora\tdora@customer.example"}));
    EXPECT_EQ(Sounds(), (Texts{"click.wav"}));
    EXPECT_FALSE(window->IsFilling());

    // Back to a store without contact folders: the contacts go too.
    window->cboProfile->setCurrentIndex(0);
    window->cboProfile_Click();
    EXPECT_EQ(window->cboFolder->count(), 0);
    EXPECT_TRUE(window->Contacts().empty());
}

TEST_F(OutlookWindow, ChoosingAFolderReplacesTheContactsWithOneClick) {
    auto window = Load();
    window->cboProfile->setCurrentIndex(1);
    window->cboProfile_Click();
    fakes.sound.played.clear();
    window->cboFolder->setCurrentIndex(1);
    Q_EMIT window->cboFolder->activated(1);
    EXPECT_EQ(ContactRows(window->Contacts()),
              (Rows{"Uma\tuma@work.example", "Bob\tbob@work.example"}));
    EXPECT_EQ(Sounds(), (Texts{"click.wav"}));
}

// ---- buttons and keys --------------------------------------------------------------------

TEST_F(OutlookWindow, OkAndCancelHideTheWindowAndSetCancel) {
    auto window = Load();
    window->show();
    fakes.sound.played.clear();
    window->cmdOk->Click();
    EXPECT_FALSE(window->isVisible());
    EXPECT_FALSE(window->Cancel());

    window->show();
    window->cmdCancel->Click();
    EXPECT_FALSE(window->isVisible());
    EXPECT_TRUE(window->Cancel());

    window->show();
    window->cmdOk_Click();
    window->show();
    window->cmdClose->Click();
    EXPECT_TRUE(window->Cancel());
    EXPECT_FALSE(window->isVisible());
    EXPECT_EQ(Sounds(), (Texts{"click.wav", "click.wav", "click.wav", "click.wav"}));
}

TEST_F(OutlookWindow, EscCancels) {
    auto window = Load();
    window->show();
    QTest::keyClick(window.get(), Qt::Key_Escape);
    EXPECT_TRUE(window->Cancel());
    EXPECT_FALSE(window->isVisible());
    window->show();
    window->cmdOk_Click();
    window->show();
    window->Form_KeyPress(13); // other keys do nothing
    EXPECT_TRUE(window->isVisible());
    EXPECT_FALSE(window->Cancel());
}

TEST_F(OutlookWindow, HelpOpensTheStartupPageAfterAClick) {
    auto window = Load();
    fakes.sound.played.clear();
    window->cmdHelp->Click();
    EXPECT_EQ(fakes.shell.opened, (Texts{ProgramPath("/htm/startup.htm")}));
    EXPECT_EQ(Sounds(), (Texts{"click.wav"}));
}

TEST_F(OutlookWindow, UnloadingMovesTheWindowOutOfSight) {
    auto window = Load();
    window->Form_Unload();
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    EXPECT_EQ(window->pos(), QPoint(screen.width(), screen.height()));
}

// ---- the skin ------------------------------------------------------------------------------

int Luminance(QRgb pColour) {
    return (299 * qRed(pColour) + 587 * qGreen(pColour) + 114 * qBlue(pColour)) / 1000;
}

TEST(OutlookSkin, ButtonShapesAndTheListPanelLieUnderTheLayout) {
    const QImage skin = art::DrawOutlookSkin();
    EXPECT_EQ(skin.size(), QSize(outlook_layout::kWidth, outlook_layout::kHeight));
    for (const auto& button : outlook_layout::kButtons) {
        SCOPED_TRACE(button.name);
        const QRect r(button.rect.left, button.rect.top, button.rect.width, button.rect.height);
        for (QPoint at :
             {r.center(), QPoint(r.left(), r.center().y()), QPoint(r.right(), r.center().y()),
              QPoint(r.center().x(), r.top()), QPoint(r.center().x(), r.bottom())})
            EXPECT_GT(Luminance(skin.pixel(at)), 170) << at.x() << "," << at.y();
    }
    // The labels sit on the light panel; beside the buttons the body is dark.
    for (const auto& label : {outlook_layout::lblProfile, outlook_layout::lblContacts})
        EXPECT_GT(Luminance(skin.pixel(label.left + 4, label.top + label.height / 2)), 200);
    EXPECT_LT(Luminance(skin.pixel(outlook_layout::cmdOk.left - 20, outlook_layout::cmdOk.top + 6)),
              130);
    // Outside the outline: the flat outside colour.
    for (QPoint at : {QPoint(1, 1), QPoint(skin.width() - 1, skin.height() - 1), QPoint(5, 5)})
        EXPECT_EQ(skin.pixel(at), art::OutsideColour()) << at.x() << "," << at.y();
}

TEST_F(OutlookWindow, LoadsItsSkinFromTheProgramFolder) {
    WriteFile(env.Path("skins/frmOutlook.jpg"), art::ArtFileBytes("skins/frmOutlook.jpg"));
    auto window = Load();
    EXPECT_EQ(window->m_Skin.size(), QSize(398, 142));
    EXPECT_TRUE(window->m_SkinOk);
}

// ---- the reader's source -----------------------------------------------------------------

TEST_F(OutlookWindow, OkImportsTheChosenFolderIntoTheAddressList) {
    fakes.modal.script = [](QWidget* pWindow) {
        auto* window = static_cast<frmOutlook*>(pWindow);
        window->cboProfile->setCurrentIndex(1);
        window->cboProfile_Click();
        window->cboFolder->setCurrentIndex(1); // Team
        window->cboFolder_Click();
        window->cmdOk->Click();
    };
    cAddressList list;
    list.AddEntry("left over", "x@y");
    ReadOutlookContacts("ignored.pst", list, MakeOutlookSource(services));
    EXPECT_EQ(fakes.modal.shown, 1);
    EXPECT_EQ(list.Rows(), (Rows{"Bob\tbob@work.example", "Uma\tuma@work.example"}));
    // Opening, store, folder, OK.
    EXPECT_EQ(Sounds(), (Texts{"click.wav", "click.wav", "click.wav", "click.wav"}));
}

TEST_F(OutlookWindow, CancelAfterChoosingImportsNothing) {
    fakes.modal.script = [](QWidget* pWindow) {
        auto* window = static_cast<frmOutlook*>(pWindow);
        window->cboProfile->setCurrentIndex(1);
        window->cboProfile_Click();
        ASSERT_FALSE(window->Contacts().empty());
        window->cmdCancel->Click();
    };
    cAddressList list;
    list.AddEntry("left over", "x@y");
    ReadOutlookContacts("", list, MakeOutlookSource(services));
    EXPECT_EQ(list.Count(), 0u);
}

TEST_F(OutlookWindow, ASourceWithoutContactStoreShowsNothingAndYieldsNothing) {
    contacts.available = false;
    cAddressList list;
    list.AddEntry("left over", "x@y");
    ReadOutlookContacts("", list, MakeOutlookSource(services));
    EXPECT_EQ(fakes.modal.shown, 0);
    EXPECT_EQ(list.Count(), 0u);
    EXPECT_TRUE(Sounds().empty());
}

// ---- over real vCard folders -------------------------------------------------------------

class OutlookOverVdir : public OutlookWindow {
protected:
    void SetUp() override {
        OutlookWindow::SetUp();
        vcards = std::make_unique<VCardContacts>(Root());
        services.contacts = vcards.get();
    }
    std::string Root() const { return env.Root() + "/contacts"; }
    static std::string Card(const std::string& pName, const std::string& pEmail) {
        return "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:" + pName + "\r\nEMAIL;TYPE=INTERNET:" + pEmail +
               "\r\nEND:VCARD\r\n";
    }
    std::unique_ptr<VCardContacts> vcards;
};

TEST_F(OutlookOverVdir, ConfirmingImportsTheFirstContactFolderOfTheFirstStore) {
    WriteFile(Root() + "/home/displayname", "Home");
    WriteFile(Root() + "/home/family/displayname", "Family");
    WriteFile(Root() + "/home/family/a.vcf",
              Card("Mum", "mum@home.example") + Card("Dad", "dad@home.example"));
    WriteFile(Root() + "/home/family/b.vcf", Card("mum", "other-mum@home.example"));
    WriteFile(Root() + "/home/calendar/x.ics", "BEGIN:VCALENDAR\r\nEND:VCALENDAR\r\n");
    WriteFile(Root() + "/home/friends/c.vcf", Card("Pat", "pat@home.example"));
    WriteFile(Root() + "/office/o.vcf", Card("Olga", "olga@office.example"));

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
    EXPECT_EQ(Sounds(), (Texts{"click.wav", "click.wav"})); // opening, OK
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
    EXPECT_TRUE(Sounds().empty());
}

} // namespace
} // namespace brisa::test
