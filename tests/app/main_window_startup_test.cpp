// Start-up, shut-down and the recipient history of the main window, with
// fake platform services and a temporary program folder.
#include "app/main_window.h"

#include "common/globals.h"
#include "language/translation.h"
#include "platform/file_registry.h"
#include "recording/slider.h"
#include "settings/registry.h"
#include "skin/anigif.h"
#include "skin/label_button.h"
#include "tests/app/window_fixture.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QSignalSpy>
#include <QSlider>
#include <QTest>
#include <gtest/gtest.h>

namespace brisa::test {
namespace {

const std::string kRunKey = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";

class MainWindowStartup : public MainWindowTest {};

TEST_F(MainWindowStartup, SecondCopyEndsBeforeTouchingFilesOrSettings) {
    fakes.instance.firstCopy = false;
    WriteFile(env.Path("in.wav"), "old");
    frmMM& w = Start();
    EXPECT_TRUE(w.IsSecondCopy());
    EXPECT_FALSE(w.isVisible());
    EXPECT_TRUE(QFile::exists(QString::fromStdString(env.Path("in.wav"))));
    EXPECT_FALSE(QDir(QString::fromStdString(env.Path("outbox"))).exists());
    EXPECT_FALSE(fakes.registry.OpenKey(RootKey::LocalMachine, kProgramKey));
    EXPECT_TRUE(fakes.sound.played.empty());
    EXPECT_FALSE(fakes.tray.added);
}

TEST_F(MainWindowStartup, FreshStartPreparesFolderSettingsTrayAndWindow) {
    WriteFile(env.Path("in.wav"), "old");
    WriteFile(env.Path("in2.WAV"), "old");
    WriteFile(env.Path("inbox.txt"), "keep");
    frmMM& w = Start();
    EXPECT_FALSE(w.IsSecondCopy());
    EXPECT_TRUE(w.isVisible());
    EXPECT_EQ(w.m_Mode, "");
    EXPECT_FALSE(QFile::exists(QString::fromStdString(env.Path("in.wav"))));
    EXPECT_FALSE(QFile::exists(QString::fromStdString(env.Path("in2.WAV"))));
    EXPECT_TRUE(QFile::exists(QString::fromStdString(env.Path("inbox.txt"))));
    EXPECT_TRUE(QDir(QString::fromStdString(env.Path("outbox"))).exists());
    EXPECT_TRUE(fakes.registry.OpenKey(RootKey::LocalMachine, kProgramKey));
    EXPECT_TRUE(fakes.registry.OpenKey(RootKey::Users, ".Default\\Software\\Microsoft\\Multimedia\\Audio"));
    EXPECT_EQ(Setting("Autorun"), "0");
    EXPECT_EQ(Setting("BrisaMail", kRunKey), "");
    ASSERT_EQ(fakes.autostart.commands.size(), 1u);
    EXPECT_EQ(fakes.autostart.commands[0], "");
    EXPECT_EQ(Setting("LowResVideoWarning"), "0");
    EXPECT_EQ(Setting("LargeFontWarning"), "0");
    EXPECT_TRUE(fakes.messageBox.shown.empty());
    ASSERT_EQ(fakes.sound.Names(), std::vector<std::string>{"start.wav"});
    EXPECT_EQ(fakes.sound.played[0].mode, SND_ASYNC);
    EXPECT_TRUE(fakes.tray.added);
    EXPECT_EQ(fakes.tray.icon, "ID_NORMAL");
    EXPECT_EQ(fakes.tray.tip, *Tr("mm0001"));
    EXPECT_EQ(fakes.instance.target, &w);
    EXPECT_EQ(w.windowTitle(), "BrisaMail");
    EXPECT_EQ(w.lblToolbar->text(), "BrisaMail");
    EXPECT_EQ(w.tmrMessaging.interval(), 530);
    EXPECT_FALSE(w.tmrMessaging.isActive());
    // No advertising library here: the timer stays off.
    EXPECT_FALSE(w.tmrAdvertise.isActive());
}

TEST_F(MainWindowStartup, SettingsOfAStartAreOnTheDiskBeforeAnythingCanBeActedOn) {
    // The real settings file; a low-colour display, so a message box comes up.
    const std::string file = env.Path("config/registry.reg");
    FileRegistry store(file);
    struct Box : IMessageBox {
        std::string file, fileAtBox;
        int Show(const std::string&, const std::string&, int) override {
            fileAtBox = ReadFile(file);
            return vbOK;
        }
    } box;
    box.file = file;
    fakes.system.bitsPerPixel = 8;
    services = fakes.Wire();
    services.registry = &store;
    services.messageBox = &box;
    window = std::make_unique<frmMM>(services, "");
    window->Form_Load();

    // What came before the box is on the disk when the box shows.
    const std::string programSection = "[HKEY_LOCAL_MACHINE\\" + kProgramKey + "]";
    EXPECT_NE(box.fileAtBox.find(programSection), std::string::npos);
    EXPECT_EQ(box.fileAtBox.find("LowResVideoWarning"), std::string::npos);
    // Everything else is on the disk before the window can be used.
    EXPECT_TRUE(window->isVisible());
    window->FinishStartUp();
    FileRegistry fresh(file);
    auto stored = [&](const std::string& key, const std::string& name) {
        std::string data = "<missing>";
        fresh.QueryValue(RootKey::LocalMachine, key, name, data);
        return data.substr(0, data.find('\0'));
    };
    EXPECT_EQ(stored(kProgramKey, "LowResVideoWarning"), "1");
    EXPECT_EQ(stored(kProgramKey, "LargeFontWarning"), "0");
    EXPECT_EQ(stored(kProgramKey, "Autorun"), "0");
    EXPECT_EQ(stored(kRunKey, "BrisaMail"), "");
    EXPECT_TRUE(fresh.OpenKey(RootKey::Users, ".Default\\Software\\Microsoft\\Multimedia\\Audio"));
    window.reset(); // before the store it uses
}

TEST_F(MainWindowStartup, WhatWaitsForTheWindowRunsBeforeTheFirstKeyIsHandled) {
    Put("InVolume", "1234");
    services = fakes.Wire();
    window = std::make_unique<frmMM>(services, "");
    frmMM& w = *window;
    w.Form_Load();
    EXPECT_TRUE(w.isVisible());
    EXPECT_TRUE(w.IsStartingUp());
    EXPECT_EQ(w.m_Mode, "Initializing");
    EXPECT_TRUE(fakes.sound.played.empty());
    EXPECT_TRUE(fakes.mixer.writes.empty());

    w.txtSubject->setFocus();
    QTest::keyClick(w.txtSubject, Qt::Key_A);
    EXPECT_FALSE(w.IsStartingUp());
    EXPECT_EQ(w.m_Mode, "");
    EXPECT_EQ(fakes.sound.Names(), std::vector<std::string>{"start.wav"});
    ASSERT_EQ(fakes.mixer.writes.size(), 2u);
    EXPECT_EQ(fakes.mixer.writes[0].second, 1234u);
    EXPECT_EQ(w.txtSubject->text(), "a");
    w.FinishStartUp(); // nothing left: nothing runs twice
    EXPECT_EQ(fakes.sound.played.size(), 1u);
}

TEST_F(MainWindowStartup, EndingBeforeStartUpFinishedKeepsTheStoredVolumes) {
    Put("InVolume", "1234");
    services = fakes.Wire();
    window = std::make_unique<frmMM>(services, "");
    window->Form_Load();
    window.reset();
    EXPECT_EQ(Setting("InVolume"), "1234");
    EXPECT_EQ(Setting("OutVolume"), "<missing>");
    EXPECT_TRUE(fakes.mixer.writes.empty());
}

TEST_F(MainWindowStartup, HiddenStartKeepsRunCommandAndStaysSilent) {
    fakes.registry.CreateKey(RootKey::LocalMachine, kRunKey);
    fakes.registry.Put(RootKey::LocalMachine, kRunKey, "BrisaMail", std::string("/opt/brisa/brisamail 1") + '\0');
    frmMM& w = Start("1");
    EXPECT_FALSE(w.isVisible());
    EXPECT_TRUE(fakes.sound.played.empty());
    EXPECT_EQ(Setting("BrisaMail", kRunKey), "/opt/brisa/brisamail 1");
    EXPECT_TRUE(fakes.autostart.commands.empty());
    EXPECT_TRUE(fakes.tray.added);
}

TEST_F(MainWindowStartup, AutorunOnKeepsRunCommand) {
    Put("Autorun", "1");
    fakes.registry.Put(RootKey::LocalMachine, kRunKey, "BrisaMail", std::string("x 1") + '\0');
    Start("");
    EXPECT_EQ(Setting("Autorun"), "1");
    EXPECT_EQ(Setting("BrisaMail", kRunKey), "x 1");
}

TEST_F(MainWindowStartup, LowColourWarningShownOncePerStretchOfLowColourRuns) {
    fakes.system.bitsPerPixel = 8;
    Start();
    ASSERT_EQ(fakes.messageBox.shown.size(), 1u);
    EXPECT_EQ(fakes.messageBox.shown[0].title, "8 Bit Color Detected");
    EXPECT_NE(fakes.messageBox.shown[0].text.find("at least 16 bit color.  To change"), std::string::npos);
    EXPECT_EQ(Setting("LowResVideoWarning"), "1");
    Exit();
    Start();
    EXPECT_EQ(fakes.messageBox.shown.size(), 1u);
    Exit();
    fakes.system.bitsPerPixel = 24;
    Start();
    EXPECT_EQ(Setting("LowResVideoWarning"), "0");
    Exit();
    fakes.system.bitsPerPixel = 8;
    Start();
    EXPECT_EQ(fakes.messageBox.shown.size(), 2u);
}

TEST_F(MainWindowStartup, LargeFontsScaleLayoutAndWarnOnce) {
    fakes.system.dpiX = fakes.system.dpiY = 120;
    frmMM& w = Start();
    EXPECT_TRUE(gLargeFonts);
    EXPECT_FLOAT_EQ(gScaleX, 1.25f);
    EXPECT_FLOAT_EQ(gScaleY, 1.25f);
    ASSERT_EQ(fakes.messageBox.shown.size(), 1u);
    EXPECT_EQ(fakes.messageBox.shown[0].title, "Large Fonts Detected");
    EXPECT_EQ(Setting("LargeFontWarning"), "1");
    // Window and controls grow with the display; the sliders keep their size.
    EXPECT_EQ(w.size(), QSize(721, 405));
    EXPECT_EQ(w.cmdRecord->geometry(), QRect(12, 85, 89, 16));
    const QRect in = w.m_InSlider->GetTracBarHwnd()->geometry();
    EXPECT_EQ(in, QRect(642, 32, 16, 47)); // 514 * 1.25 = 642.5 -> 642 (halves to even)
    EXPECT_EQ(w.m_OutSlider->GetTracBarHwnd()->geometry().topLeft(), QPoint(678, 32));
    Exit();
    Start();
    EXPECT_EQ(fakes.messageBox.shown.size(), 1u);
}

TEST_F(MainWindowStartup, WhichDisplaysCountAsLargeFonts) {
    fakes.system.dpiX = fakes.system.dpiY = 72;
    Start();
    EXPECT_TRUE(gLargeFonts);
    Exit();
    fakes.system.dpiX = 120;
    fakes.system.dpiY = 96;
    Start();
    EXPECT_FALSE(gLargeFonts);
}

TEST_F(MainWindowStartup, TextsComeFromTheLanguageOfTheSystem) {
    fakes.system.languageId = 0x0807; // German (Switzerland): falls back to German
    frmMM& w = Start();
    EXPECT_EQ(gLanguageId, "00000407");
    ASSERT_TRUE(Tr("mm0063"));
    EXPECT_EQ(w.cmdRecord->text().toStdString(), *Tr("mm0063"));
    EXPECT_EQ(w.cmdRecord->accessibleName(), w.cmdRecord->text().remove('&'));
    EXPECT_EQ(w.cmdRecord->toolTip().toStdString(), *Tr("mm0038"));
    EXPECT_EQ(w.m_NoRecipient, *Tr("mm0002"));
    EXPECT_EQ(gBookKinds.ldif, *Tr("opt0035"));
}

TEST_F(MainWindowStartup, MissingTextsKeepDesignedCaptions) {
    WriteFile(env.Path("lang/00000409.txt"), "' nearly empty\r\nmm0064\tAbspielen\r\n");
    frmMM& w = Start();
    EXPECT_EQ(w.cmdRecord->text(), "Record");
    EXPECT_EQ(w.cmdPlay->text(), "Abspielen");
    EXPECT_EQ(w.lblSubject->text(), "Subject:");
    EXPECT_EQ(fakes.tray.tip, "BrisaMail");
}

TEST_F(MainWindowStartup, ButtonsAfterStartUp) {
    frmMM& w = Start();
    EXPECT_TRUE(w.cmdRecord->isEnabled());
    EXPECT_TRUE(w.cmdClose->isEnabled());
    EXPECT_TRUE(w.cmdHide->isEnabled());
    EXPECT_FALSE(w.cmdPlay->isEnabled());
    EXPECT_FALSE(w.cmdStop->isEnabled());
    EXPECT_FALSE(w.cmdSend->isEnabled());
}

TEST_F(MainWindowStartup, WithoutHistoryBothBoxesShowThePlaceholder) {
    frmMM& w = Start();
    ASSERT_EQ(w.cmbTo->count(), 1);
    EXPECT_EQ(w.cmbTo->currentText().toStdString(), w.m_NoRecipient);
    EXPECT_EQ(w.cmbCc->count(), 1);
    EXPECT_EQ(w.cmbCc->currentText().toStdString(), w.m_NoRecipient);
}

TEST_F(MainWindowStartup, HistoryFillsBoxesMostRecentFirst) {
    WriteFile(env.Path("Tos.txt"), "ann@example.com\r\n\r\n   \r\n  bob@example.com \r\nJos\xE9@example.com\n");
    frmMM& w = Start();
    ASSERT_EQ(w.cmbTo->count(), 3);
    EXPECT_EQ(w.cmbTo->currentText(), "ann@example.com");
    EXPECT_EQ(w.cmbTo->itemText(1), "  bob@example.com ");
    EXPECT_EQ(w.cmbTo->itemText(2), QString::fromUtf8("José@example.com"));
    ASSERT_EQ(w.cmbCc->count(), 4);
    EXPECT_EQ(w.cmbCc->currentIndex(), 0);
    EXPECT_EQ(w.cmbCc->currentText().toStdString(), w.m_NoRecipient);
}

TEST_F(MainWindowStartup, HistorySavesFirstSeventeenTrimmedWithoutPlaceholder) {
    frmMM& w = Start();
    for (int i = 0; i < 30; ++i) w.cmbTo->addItem(QString(" user%1@example.com ").arg(i));
    Exit();
    const std::string saved = ReadFile(env.Path("Tos.txt"));
    std::string expected;
    // Position 0 is the placeholder, so 16 addresses make it in.
    for (int i = 0; i < 16; ++i) expected += "user" + std::to_string(i) + "@example.com\r\n";
    EXPECT_EQ(saved, expected);
}

TEST_F(MainWindowStartup, HistoryIsWrittenInWindows1252) {
    WriteFile(env.Path("Tos.txt"), "Jos\xE9@example.com\r\n");
    Start();
    Exit();
    EXPECT_EQ(ReadFile(env.Path("Tos.txt")), "Jos\xE9@example.com\r\n");
}

TEST_F(MainWindowStartup, ExitIsRefusedWhileBusyAndRunsOnce) {
    frmMM& w = Start();
    w.m_Mode = "Recording";
    w.mnuFileExit_Click();
    EXPECT_FALSE(w.tmrAdvertise.isActive());
    EXPECT_EQ(w.m_Mode, "Recording");
    w.m_Mode = "";
    fakes.sound.played.clear();
    w.mnuFileExit_Click();
    w.mnuFileExit_Click();
    EXPECT_EQ(w.m_Mode, "Terminating");
    EXPECT_EQ(w.tmrAdvertise.interval(), 100);
    EXPECT_TRUE(w.tmrAdvertise.isActive());
    ASSERT_EQ(fakes.sound.Names(), std::vector<std::string>{"exit.wav"});
    EXPECT_EQ(fakes.sound.played[0].mode, SND_SYNC);
    w.tmrAdvertise_Timer();
    EXPECT_TRUE(w.IsUnloaded());
    EXPECT_FALSE(w.isVisible());
    EXPECT_EQ(fakes.mci.commands, std::vector<std::string>{"close brisamsg"});
    EXPECT_FALSE(fakes.tray.added);
    EXPECT_EQ(fakes.instance.target, nullptr);
    EXPECT_EQ(gRegistry, nullptr);
    EXPECT_EQ(Translation.Count(), 0u);
}

TEST_F(MainWindowStartup, UnloadStoresVolumesOfSlidersWithAMixer) {
    fakes.mixer.speakerVolume = false;
    frmMM& w = Start();
    w.m_InSlider->SetTracBarPos(-40000);
    Exit();
    EXPECT_EQ(Setting("InVolume"), "40000");
    EXPECT_EQ(Setting("OutVolume"), "<missing>");
}

TEST_F(MainWindowStartup, CloseAndHideGoToTheTrayAndKeepRunning) {
    frmMM& w = Start();
    fakes.sound.played.clear();
    w.cmdClose_Click();
    EXPECT_FALSE(w.isVisible());
    EXPECT_FALSE(w.IsUnloaded());
    EXPECT_TRUE(fakes.tray.added);
    w.mnuFileSend_Click();
    EXPECT_TRUE(w.isVisible());
    w.cmdHide_Click();
    EXPECT_FALSE(w.isVisible());
    EXPECT_EQ(fakes.sound.Names(), (std::vector<std::string>{"exit.wav", "start.wav", "exit.wav"}));
    // Exit.wav plays whatever the sounds setting says.
    EXPECT_EQ(Setting("PlaySounds"), "<missing>");
}

TEST_F(MainWindowStartup, WithoutANotificationAreaCloseMinimises) {
    fakes.tray.available = false;
    frmMM& w = Start();
    w.cmdClose_Click();
    EXPECT_TRUE(w.isMinimized() || w.windowState().testFlag(Qt::WindowMinimized));
}

TEST_F(MainWindowStartup, PartnerPictureFollowsShowZovid) {
    Put("ShowZovid", "no");
    frmMM& w = Start();
    EXPECT_TRUE(w.gifZovid->isHidden());
    EXPECT_EQ(w.gifZovid->pos(), QPoint(w.width(), w.height()));
}

TEST_F(MainWindowStartup, ReplyFillsRecipientsAndSubject) {
    frmMM& w = Start("1");
    w.DoReply("ann@example.com", "", "  hello", 0);
    EXPECT_EQ(w.cmbTo->currentText(), "ann@example.com");
    EXPECT_EQ(w.cmbCc->currentText().toStdString(), w.m_NoRecipient);
    EXPECT_EQ(w.txtSubject->text(), "Re:   hello");
    EXPECT_FALSE(w.isVisible());
    w.DoReply("", "", "RE: again", 7);
    EXPECT_EQ(w.txtSubject->text(), "RE: again");
    EXPECT_TRUE(w.isVisible());
    EXPECT_EQ(w.m_Mode, "");
}

} // namespace
} // namespace brisa::test
