// The To and Cc pickers and the options button of the main window, with the
// address and options windows run by a scripted modal runner.
#include "app/main_window.h"

#include "addressbook/address_window.h"
#include "common/globals.h"
#include "language/translation.h"
#include "platform/program_folder.h"
#include "settings/options_window.h"
#include "settings/registry.h"
#include "skin/label_button.h"
#include "tests/fakes/fakes.h"
#include "tests/support/temp_env.h"

#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <gtest/gtest.h>

namespace brisa::test {
namespace {

const std::string kProgramKey = "SOFTWARE\\BrisaMail, Inc.\\BrisaMailer";

class Recipients : public ::testing::Test {
protected:
    void SetUp() override {
        const std::string from = std::string(BRISA_SOURCE_DIR) + "/data/lang/00000409.txt";
        WriteFile(env.Path("lang/00000409.txt"), ReadFile(from));
        WriteFile(Book("friends.ldif"), "dn: a\ncn: Carl\nmail: carl@example.com\n\n"
                                        "dn: b\ncn: anna\nmail: anna@example.com\n\n"
                                        "dn: c\ncn: Bert\nmail: bert@example.org\n");
        WriteFile(Book("nndbase.txt"),
                  "alias boss boss@work.example\nalias team boss, zed@work.example\n");
        Put("AddressBook", "LDIF file\t" + Book("friends.ldif"));
        Put("KnownAddressBooks", Book("friends.ldif") + "\t" + Book("nndbase.txt") + "\t");
        Put("ConnectTo", "http://voice.example/post");
    }
    void TearDown() override {
        window.reset();
        gLargeFonts = false;
        gScaleX = gScaleY = 1.0f;
    }

    std::string Book(const std::string& pName) const { return env.Root() + "/books/" + pName; }
    void Put(const std::string& pName, const std::string& pValue) {
        fakes.registry.Put(RootKey::LocalMachine, kProgramKey, pName, pValue + '\0');
    }
    frmMM& Start() {
        services = fakes.Wire();
        window = std::make_unique<frmMM>(services, "");
        window->Form_Load();
        window->FinishStartUp();
        fakes.sound.played.clear();
        return *window;
    }
    // The user marks the given rows of the address window and presses OK
    // (or Cancel).
    void MarkAndConfirm(std::vector<int> pRows, bool pCancel = false) {
        fakes.modal.script = [this, pRows, pCancel](QWidget* pWindow) {
            auto* addresses = qobject_cast<frmAddresses*>(pWindow);
            ASSERT_NE(addresses, nullptr);
            shownRows = addresses->Rows();
            for (int row : pRows)
                addresses->lvAddresses->item(row)->setSelected(true);
            if (pCancel)
                addresses->cmdCancel->Click();
            else
                addresses->cmdOk->Click();
        };
    }
    std::string To() const { return window->cmbTo->currentText().toStdString(); }
    std::string Cc() const { return window->cmbCc->currentText().toStdString(); }

    TempEnv env;
    FakeServices fakes;
    Services services;
    std::unique_ptr<frmMM> window;
    std::vector<std::string> shownRows;
};

TEST_F(Recipients, MarkedContactsBecomeTheToTextInListOrder) {
    Put("PlaySounds", "1");
    frmMM& w = Start();
    w.cmbTo->setEditText("typed@example.com");
    MarkAndConfirm({2, 0});
    w.cmdTo->Click();
    EXPECT_EQ(fakes.modal.shown, 1);
    EXPECT_EQ(shownRows,
              (std::vector<std::string>{"anna\tanna@example.com", "Bert\tbert@example.org",
                                        "Carl\tcarl@example.com"}));
    // Replaced, never extended; the order is the list's, not the clicks'.
    EXPECT_EQ(To(), "anna@example.com, carl@example.com");
    // The button's click and the address window's OK.
    EXPECT_EQ(fakes.sound.Names(), (std::vector<std::string>{"click.wav", "click.wav"}));
    EXPECT_EQ(fakes.sound.played[0].mode, SND_ASYNC);
}

TEST_F(Recipients, CcButtonFillsTheCcBoxOnly) {
    frmMM& w = Start();
    w.cmbTo->setEditText("keep@example.com");
    MarkAndConfirm({1});
    w.cmdCC_Click();
    EXPECT_EQ(Cc(), "bert@example.org");
    EXPECT_EQ(To(), "keep@example.com");
    EXPECT_TRUE(fakes.sound.played.empty()); // sounds are off
}

TEST_F(Recipients, CancelOrNoMarkGivesThePlaceholderOverTypedText) {
    frmMM& w = Start();
    ASSERT_EQ(w.m_NoRecipient, "(no recipient)");
    w.cmbTo->setEditText("typed@example.com");
    MarkAndConfirm({0, 1}, true);
    w.cmdTo_Click();
    EXPECT_EQ(To(), "(no recipient)");

    w.cmbTo->setEditText("typed@example.com");
    MarkAndConfirm({});
    w.cmdTo_Click();
    EXPECT_EQ(To(), "(no recipient)");

    // Esc in the address window is Cancel.
    w.cmbCc->setEditText("typed@example.com");
    fakes.modal.script = [](QWidget* pWindow) {
        auto* addresses = qobject_cast<frmAddresses*>(pWindow);
        addresses->lvAddresses->item(0)->setSelected(true);
        addresses->Form_KeyPress(27);
    };
    w.cmdCC_Click();
    EXPECT_EQ(Cc(), "(no recipient)");
}

TEST_F(Recipients, NicknameAddressesAreCopiedAsTheyStand) {
    Put("AddressBook", "Eudora\t" + Book("nndbase.txt"));
    frmMM& w = Start();
    MarkAndConfirm({0, 1});
    w.cmdTo_Click();
    EXPECT_EQ(To(), "boss@work.example, boss@work.example, zed@work.example");
}

TEST_F(Recipients, NoticeRowAloneGivesThePlaceholder) {
    Put("AddressBook", "Unknown kind\t" + Book("friends.ldif"));
    frmMM& w = Start();
    MarkAndConfirm({0});
    w.cmdTo_Click();
    ASSERT_EQ(shownRows.size(), 1u);
    EXPECT_EQ(To(), "(no recipient)");
}

TEST_F(Recipients, UnreadableBookConfirmedGivesThePlaceholder) {
    Put("AddressBook", "LDIF file\t" + Book("gone.ldif"));
    frmMM& w = Start();
    w.cmbTo->setEditText("typed@example.com");
    MarkAndConfirm({});
    w.cmdTo_Click();
    EXPECT_TRUE(shownRows.empty());
    EXPECT_EQ(To(), "(no recipient)");
}

TEST_F(Recipients, ChangingTheBookInsideTheAddressWindow) {
    frmMM& w = Start();
    fakes.modal.script = [this](QWidget* pWindow) {
        if (auto* options = qobject_cast<frmOptions*>(pWindow)) {
            // Inside Change Book: pick the nickname file ("Eudora" sorts first).
            options->lvBooks->setCurrentRow(0);
            options->cmdOK_Click();
            return;
        }
        auto* addresses = qobject_cast<frmAddresses*>(pWindow);
        ASSERT_NE(addresses, nullptr);
        addresses->cmdSet_Click();
        shownRows = addresses->Rows();
        addresses->lvAddresses->item(0)->setSelected(true);
        addresses->cmdOk_Click();
    };
    w.cmdTo_Click();
    EXPECT_EQ(fakes.modal.shown, 2);
    EXPECT_EQ(shownRows, (std::vector<std::string>{"boss\tboss@work.example",
                                                   "team\tboss@work.example, zed@work.example"}));
    EXPECT_EQ(To(), "boss@work.example");
    EXPECT_EQ(gRegistry->AddressBook(), "Eudora\t" + Book("nndbase.txt"));
}

TEST_F(Recipients, HistoryChoiceSwooshesExceptWhileStartingUp) {
    Put("PlaySounds", "1");
    frmMM& w = Start();
    w.m_Mode = "Initializing";
    w.cmbTo_Click();
    w.cmbCc_Click();
    EXPECT_TRUE(fakes.sound.played.empty());
    w.m_Mode = "initializing";
    w.cmbTo_Click();
    EXPECT_TRUE(fakes.sound.played.empty());
    w.m_Mode = "";
    w.cmbTo_Click();
    w.cmbCc_Click();
    EXPECT_EQ(fakes.sound.Names(), (std::vector<std::string>{"swoosh.wav", "swoosh.wav"}));
    EXPECT_EQ(fakes.sound.played[0].path, ProgramPath("/sounds/swoosh.wav"));
    EXPECT_EQ(fakes.sound.played[0].mode, SND_ASYNC);
    // The swoosh obeys the sounds setting.
    gRegistry->PlaySounds("0");
    w.cmbTo_Click();
    EXPECT_EQ(fakes.sound.played.size(), 2u);
}

TEST_F(Recipients, OptionsButtonOpensTheMailPage) {
    Put("PlaySounds", "1");
    frmMM& w = Start();
    int page = -1;
    fakes.modal.script = [&](QWidget* pWindow) {
        auto* options = qobject_cast<frmOptions*>(pWindow);
        ASSERT_NE(options, nullptr);
        page = options->CurrentPage();
        options->txtName->setText("Ann");
        options->cmdOK_Click();
    };
    w.cmdConfigure->Click();
    EXPECT_EQ(fakes.modal.shown, 1);
    EXPECT_EQ(page, 0);
    EXPECT_EQ(gRegistry->MyName(), "Ann");
    EXPECT_EQ(fakes.sound.Names(), (std::vector<std::string>{"click.wav", "click.wav"}));
}

} // namespace
} // namespace brisa::test
