// The address window over books written to a temporary folder: loading,
// marking, OK and Cancel, and choosing another book through the options
// window.
#include "addressbook/address_window.h"

#include "common/globals.h"
#include "language/translation.h"
#include "platform/program_folder.h"
#include "settings/options_window.h"
#include "settings/registry.h"
#include "skin/label_button.h"
#include "tests/fakes/fakes.h"
#include "tests/support/temp_env.h"

#include <QGuiApplication>
#include <QLabel>
#include <QListWidget>
#include <QScreen>
#include <QTest>
#include <gtest/gtest.h>

namespace brisa::test {
namespace {

using Rows = std::vector<std::string>;

class AddressWindow : public ::testing::Test {
protected:
    void SetUp() override {
        ParseLanguageText(ReadFile(std::string(BRISA_SOURCE_DIR) + "/data/lang/00000409.txt"),
                          Translation);
        gBookKinds = BookKinds{};
        gConnectTo = "http://voice.example/post";
        services = fakes.Wire();
        store = std::make_unique<cRegistry>(fakes.registry, &fakes.autostart);
        store->VerifyRegistry();
        gRegistry = store.get();
        WriteFile(Path("friends.ldif"), "dn: a\ncn: Carl\nmail: carl@example.com\n\n"
                                        "dn: b\ncn: anna\nmail: anna@example.com\n\n"
                                        "dn: c\ncn: Bert\nmail: bert@example.org\n");
        WriteFile(Path("work/nndbase.txt"),
                  "alias boss boss@work.example\nalias team boss, zed@work.example\n");
        store->KnownAddressBooks(Path("friends.ldif") + "\t" + Path("work/nndbase.txt") + "\t");
        store->AddressBook("LDIF file\t" + Path("friends.ldif"));
    }
    void TearDown() override {
        window.reset();
        gRegistry = nullptr;
        Translation.Clear();
        gConnectTo.clear();
    }

    std::string Path(const std::string& pName) const { return env.Root() + "/books/" + pName; }
    frmAddresses& Open() {
        window = std::make_unique<frmAddresses>(services);
        window->show();
        return *window;
    }
    void ClickRow(int pRow) {
        QListWidget* list = window->lvAddresses;
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                          list->visualItemRect(list->item(pRow)).center());
    }

    TempEnv env;
    FakeServices fakes;
    Services services;
    std::unique_ptr<cRegistry> store;
    std::unique_ptr<frmAddresses> window;
};

const Rows kFriends = {"anna\tanna@example.com", "Bert\tbert@example.org",
                       "Carl\tcarl@example.com"};

TEST_F(AddressWindow, LoadShowsTheChosenBookInListOrder) {
    frmAddresses& w = Open();
    EXPECT_EQ(w.Rows(), kFriends);
    EXPECT_TRUE(w.MarkedRows().empty());
    EXPECT_EQ(w.lvAddresses->selectionMode(), QAbstractItemView::MultiSelection);
    EXPECT_EQ(w.size(), QSize(482, 220));
    EXPECT_EQ(w.windowTitle(), "Address Book");
    EXPECT_EQ(w.lblToolbar->text(), "Address Book");
    EXPECT_EQ(w.cmdOk->Caption(), "OK");
    EXPECT_EQ(w.cmdCancel->Caption(), "Cancel");
    EXPECT_EQ(w.cmdSet->Caption(), "Change Book");
    EXPECT_EQ(w.lblName->text(), "Name");
    EXPECT_EQ(w.lblAddress->text(), "E-mail address");
    // The address heading stands over the second column.
    EXPECT_EQ(w.lblAddress->x() - w.lblName->x(), w.m_Columns->TabStop());
    EXPECT_TRUE(fakes.sound.played.empty());
}

TEST_F(AddressWindow, EachClickTogglesARowsMark) {
    frmAddresses& w = Open();
    ClickRow(2);
    ClickRow(0);
    EXPECT_EQ(w.MarkedRows(), (Rows{"anna\tanna@example.com", "Carl\tcarl@example.com"}));
    ClickRow(2);
    EXPECT_EQ(w.MarkedRows(), (Rows{"anna\tanna@example.com"}));
    // Space toggles the current row too.
    w.lvAddresses->setFocus();
    QTest::keyClick(w.lvAddresses, Qt::Key_Down);
    QTest::keyClick(w.lvAddresses, Qt::Key_Space);
    EXPECT_EQ(w.MarkedRows().size(), 2u);
}

TEST_F(AddressWindow, OkHidesWithTheMarksInPlace) {
    store->PlaySounds("1");
    frmAddresses& w = Open();
    ClickRow(1);
    w.cmdOk->Click();
    EXPECT_FALSE(w.isVisible());
    EXPECT_EQ(w.MarkedRows(), (Rows{"Bert\tbert@example.org"}));
    EXPECT_EQ(fakes.sound.Names(), Rows{"click.wav"});
    EXPECT_EQ(fakes.sound.played[0].mode, SND_ASYNC);
}

TEST_F(AddressWindow, CancelCloseAndEscClearEveryMark) {
    for (int way = 0; way < 3; ++way) {
        SCOPED_TRACE(way);
        frmAddresses& w = Open();
        ClickRow(0);
        ClickRow(2);
        ASSERT_EQ(w.MarkedRows().size(), 2u);
        if (way == 0)
            w.cmdCancel->Click();
        if (way == 1)
            w.cmdClose->Click();
        if (way == 2)
            QTest::keyClick(w.lvAddresses, Qt::Key_Escape);
        EXPECT_FALSE(w.isVisible());
        EXPECT_TRUE(w.MarkedRows().empty());
        EXPECT_EQ(w.Rows(), kFriends);
    }
    // Sounds were off.
    EXPECT_TRUE(fakes.sound.played.empty());
}

TEST_F(AddressWindow, ChangeBookShowsTheNewBooksContacts) {
    store->PlaySounds("1");
    int pageShown = -1;
    fakes.modal.script = [&](QWidget* pWindow) {
        auto* options = qobject_cast<frmOptions*>(pWindow);
        ASSERT_NE(options, nullptr);
        pageShown = options->CurrentPage();
        // The user picks the nickname file and presses OK.
        ASSERT_EQ(options->lvBooks->count(), 2);
        options->lvBooks->setCurrentRow(0);
        ASSERT_EQ(options->lvBooks->currentItem()->text().toStdString(),
                  "Eudora\t" + Path("work/nndbase.txt"));
        options->cmdOK_Click();
    };
    frmAddresses& w = Open();
    ClickRow(0);
    w.cmdSet->Click();
    EXPECT_EQ(fakes.modal.shown, 1);
    EXPECT_EQ(pageShown, 1);
    EXPECT_EQ(store->AddressBook(), "Eudora\t" + Path("work/nndbase.txt"));
    EXPECT_EQ(w.Rows(),
              (Rows{"boss\tboss@work.example", "team\tboss@work.example, zed@work.example"}));
    EXPECT_TRUE(w.MarkedRows().empty());
    EXPECT_TRUE(w.isVisible());
    // Change Book and OK in the options window clicked.
    EXPECT_EQ(fakes.sound.Names(), (Rows{"click.wav", "click.wav"}));
}

TEST_F(AddressWindow, ChangeBookCancelledKeepsTheRows) {
    fakes.modal.script = [](QWidget* pWindow) {
        qobject_cast<frmOptions*>(pWindow)->cmdCancel_Click();
    };
    frmAddresses& w = Open();
    w.cmdSet_Click();
    EXPECT_EQ(fakes.modal.shown, 1);
    EXPECT_EQ(w.Rows(), kFriends);
    EXPECT_EQ(store->AddressBook(), "LDIF file\t" + Path("friends.ldif"));
}

TEST_F(AddressWindow, BookThatCannotBeReadGivesAnEmptyList) {
    store->AddressBook("LDIF file\t" + Path("missing.ldif"));
    EXPECT_TRUE(Open().Rows().empty());
    store->AddressBook("");
    EXPECT_TRUE(Open().Rows().empty());
}

TEST_F(AddressWindow, BookOfAnUnknownKindShowsTheNotice) {
    store->AddressBook("Adressbuch\t" + Path("friends.ldif"));
    EXPECT_EQ(Open().Rows(), Rows{*Tr("add0006") + "\t"});
}

TEST_F(AddressWindow, HelpButtonAndF1OpenTheStartUpPage) {
    store->PlaySounds("1");
    frmAddresses& w = Open();
    w.cmdHelp->Click();
    QTest::keyClick(w.lvAddresses, Qt::Key_F1);
    EXPECT_EQ(fakes.shell.opened,
              (Rows{ProgramFolder() + "/htm/startup.htm", ProgramFolder() + "/htm/startup.htm"}));
    EXPECT_EQ(fakes.sound.Names(), Rows{"click.wav"});
    EXPECT_TRUE(w.isVisible());
}

TEST_F(AddressWindow, ControlsAreNamedInTabOrderAndUnloadHidesTheWindow) {
    frmAddresses& w = Open();
    for (QWidget* c : w.findChildren<QWidget*>()) {
        if (c->parentWidget() != &w || c->metaObject() == &QLabel::staticMetaObject)
            continue;
        EXPECT_FALSE(c->accessibleName().isEmpty()) << c->objectName().toStdString();
    }
    std::vector<QWidget*> chain;
    QWidget* next = w.lvAddresses;
    for (int i = 0; i < 6; ++i) {
        chain.push_back(next);
        next = next->nextInFocusChain();
        while (next->focusPolicy() == Qt::NoFocus || next->parentWidget() != &w)
            next = next->nextInFocusChain();
    }
    EXPECT_EQ(chain, (std::vector<QWidget*>{w.lvAddresses, w.cmdOk, w.cmdCancel, w.cmdSet,
                                            w.cmdHelp, w.cmdClose}));
    std::vector<std::string> hover;
    for (cLabelButton* b : w.HoverButtons())
        hover.push_back(b->objectName().toStdString());
    EXPECT_EQ(hover, (Rows{"cmdSet", "cmdOk", "cmdCancel", "cmdHelp", "cmdClose"}));

    w.cmdOk_Click();
    w.Form_Unload();
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    EXPECT_EQ(w.pos(), QPoint(screen.width(), screen.height()));
}

} // namespace
} // namespace brisa::test
