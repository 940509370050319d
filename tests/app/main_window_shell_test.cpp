// The volume sliders over the mixer, reply entry and activation, the message
// hook, the tray icon and its menu, and the help commands of the main window,
// with fake platform services and a temporary program folder.
#include "app/main_window.h"

#include "common/globals.h"
#include "platform/icons.h"
#include "platform/linux/linux_services.h"
#include "recording/slider.h"
#include "settings/registry.h"
#include "skin/anigif.h"
#include "skin/label_button.h"
#include "tests/app/window_fixture.h"
#include "tests/fakes/fakes.h"
#include "tests/support/temp_env.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QMenu>
#include <QRegularExpression>
#include <QRubberBand>
#include <QSlider>
#include <QWheelEvent>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include <functional>
#include <map>

namespace brisa::test {
namespace {

using Writes = std::vector<std::pair<MixerLine, uint32_t>>;

class MainWindowShell : public MainWindowTest {
protected:
    // Lets the slider's own notification reach the window.
    static void Settle() {
        for (int i = 0; i < 3; ++i) QApplication::processEvents();
    }
    static bool SameIcon(const QIcon& a, const QIcon& b) {
        return a.pixmap(32).toImage() == b.pixmap(32).toImage();
    }
};

// ---- the slider class -------------------------------------------------------------

TEST(Slider, CreateNeedsAParentAndRoundsHalvesToEven) {
    cSlider orphan;
    EXPECT_FALSE(orphan.IsEnabled());
    EXPECT_FALSE(orphan.Create(1, 2, 16, 47, true));
    EXPECT_EQ(orphan.GetTracBarHwnd(), nullptr);
    EXPECT_FALSE(orphan.IsEnabled());

    QWidget parent;
    cSlider slider;
    slider.Parent(&parent);
    EXPECT_EQ(slider.Parent(), &parent);
    ASSERT_TRUE(slider.Create(2.5, 3.5, 16.4, 46.6, false));
    ASSERT_NE(slider.GetTracBarHwnd(), nullptr);
    EXPECT_TRUE(slider.IsEnabled());
    EXPECT_EQ(slider.GetTracBarHwnd()->parentWidget(), &parent);
    EXPECT_EQ(slider.GetTracBarHwnd()->geometry(), QRect(2, 4, 16, 47));
    // Always vertical, whatever the flag says.
    EXPECT_EQ(slider.GetTracBarHwnd()->orientation(), Qt::Vertical);
    EXPECT_EQ(slider.GetTracBarMin(), -65000);
    EXPECT_EQ(slider.GetTracBarMax(), 1);
    EXPECT_EQ(slider.GetTracBarPos(), 0);
}

TEST(Slider, PositionIsKeptInsideTheRangeAndFieldsAreKept) {
    QWidget parent;
    cSlider slider;
    slider.Parent(&parent);
    slider.Create(0, 0, 16, 47, true);
    slider.SetTracBarPos(-70000);
    EXPECT_EQ(slider.GetTracBarPos(), -65000);
    slider.SetTracBarPos(5);
    EXPECT_EQ(slider.GetTracBarPos(), 1);
    slider.SetTracBarPos(-123);
    EXPECT_EQ(slider.GetTracBarPos(), -123);
    slider.SetOldValue(-4242);
    EXPECT_EQ(slider.GetOldValue(), -4242);
    slider.SetEnabled(false);
    EXPECT_FALSE(slider.IsEnabled());
    slider.DestroyTracBar();
    EXPECT_EQ(slider.GetTracBarHwnd(), nullptr);
    EXPECT_EQ(parent.findChildren<QSlider*>().size(), 0);
}

TEST(Slider, PositionMembersLetPendingEventsRun) {
    QWidget parent;
    cSlider slider;
    slider.Parent(&parent);
    slider.Create(0, 0, 16, 47, true);
    int ran = 0;
    QTimer::singleShot(0, [&] { ++ran; });
    slider.GetTracBarPos();
    EXPECT_EQ(ran, 1);
    QTimer::singleShot(0, [&] { ++ran; });
    slider.SetTracBarPos(-5);
    EXPECT_EQ(ran, 2);
}

TEST(Slider, UserMovesAreReportedAfterThePositionChanged) {
    QWidget parent;
    cSlider slider;
    slider.Parent(&parent);
    slider.Create(0, 0, 16, 47, true);
    std::vector<int> seen;
    QObject::connect(&slider, &cSlider::scrolled, [&](QSlider* bar) {
        EXPECT_EQ(bar, slider.GetTracBarHwnd());
        seen.push_back(bar->value());
    });
    slider.GetTracBarHwnd()->triggerAction(QAbstractSlider::SliderToMinimum);
    for (int i = 0; i < 3; ++i) QApplication::processEvents();
    EXPECT_EQ(seen, std::vector<int>{-65000});
    // Programmatic changes are no user moves.
    slider.SetTracBarPos(-10);
    for (int i = 0; i < 3; ++i) QApplication::processEvents();
    EXPECT_EQ(seen.size(), 1u);
}

TEST(Slider, TheUpperEndIsTheLouderOneForMouseKeysAndWheel) {
    QWidget parent;
    parent.resize(40, 80);
    cSlider slider;
    slider.Parent(&parent);
    slider.Create(10, 10, 16, 47, true);
    parent.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&parent));
    QSlider* bar = slider.GetTracBarHwnd();
    const QPoint top(bar->width() / 2, 2), bottom(bar->width() / 2, bar->height() - 3);
    const struct {
        const char* what;
        std::function<void()> act;
        bool louder; // the position moves towards -65000
    } cases[] = {
        {"Up", [&] { QTest::keyClick(bar, Qt::Key_Up); }, true},
        {"Page Up", [&] { QTest::keyClick(bar, Qt::Key_PageUp); }, true},
        {"Down", [&] { QTest::keyClick(bar, Qt::Key_Down); }, false},
        {"Page Down", [&] { QTest::keyClick(bar, Qt::Key_PageDown); }, false},
        {"wheel up",
         [&] {
             QWheelEvent wheel(QPointF(top), QPointF(bar->mapToGlobal(top)), {}, QPoint(0, 120), Qt::NoButton,
                               Qt::NoModifier, Qt::NoScrollPhase, false);
             QApplication::sendEvent(bar, &wheel);
         },
         true},
        // A click beside the thumb moves it towards the click, as it is drawn.
        {"click above the thumb", [&] { QTest::mouseClick(bar, Qt::LeftButton, {}, top); }, true},
        {"click below the thumb", [&] { QTest::mouseClick(bar, Qt::LeftButton, {}, bottom); }, false},
    };
    for (const auto& c : cases) {
        slider.SetTracBarPos(-32500);
        c.act();
        const int now = slider.GetTracBarPos();
        if (c.louder) EXPECT_LT(now, -32500) << c.what;
        else EXPECT_GT(now, -32500) << c.what;
    }
}

// ---- volumes ----------------------------------------------------------------------

TEST_F(MainWindowShell, FirstRunPutsBothSlidersAtAThird) {
    frmMM& w = Start();
    EXPECT_TRUE(w.m_InSlider->IsEnabled());
    EXPECT_TRUE(w.m_OutSlider->IsEnabled());
    EXPECT_EQ(w.m_InSlider->GetTracBarPos(), -21667);
    EXPECT_EQ(w.m_OutSlider->GetTracBarPos(), -21667);
    EXPECT_EQ(fakes.mixer.writes,
              (Writes{{MixerLine::Microphone, 21667}, {MixerLine::Speakers, 21667}}));
    Exit();
    EXPECT_EQ(Setting("InVolume"), "21667");
    EXPECT_EQ(Setting("OutVolume"), "21667");
}

TEST_F(MainWindowShell, StoredFullVolumeStandsAtTheTopAndIsStoredAgain) {
    Put("InVolume", "65000");
    Put("OutVolume", "90000"); // more than the slider holds
    frmMM& w = Start();
    EXPECT_EQ(w.m_InSlider->GetTracBarPos(), w.m_InSlider->GetTracBarMin());
    EXPECT_EQ(w.m_InSlider->GetTracBarPos(), -65000);
    EXPECT_EQ(w.m_OutSlider->GetTracBarPos(), -65000);
    EXPECT_EQ(fakes.mixer.writes,
              (Writes{{MixerLine::Microphone, 65000}, {MixerLine::Speakers, 65000}}));
    Exit();
    EXPECT_EQ(Setting("InVolume"), "65000");
    EXPECT_EQ(Setting("OutVolume"), "65000");
}

TEST_F(MainWindowShell, StoredVolumeThatIsNoNumberCountsAsUnset) {
    Put("InVolume", "loud");
    Put("OutVolume", " 1200 ");
    frmMM& w = Start();
    EXPECT_EQ(w.m_InSlider->GetTracBarPos(), -21667);
    EXPECT_EQ(w.m_OutSlider->GetTracBarPos(), -1200);
}

TEST_F(MainWindowShell, DraggingTheSpeakerSliderToTheBottomWritesOne) {
    frmMM& w = Start();
    fakes.mixer.writes.clear();
    QSlider* bar = w.m_OutSlider->GetTracBarHwnd();
    // The user drags the thumb down, step by step, to the bottom.
    bar->setSliderDown(true);
    bar->setSliderPosition(-30000);
    Settle();
    bar->setSliderPosition(1);
    Settle();
    bar->setSliderDown(false);
    Settle();
    ASSERT_FALSE(fakes.mixer.writes.empty());
    EXPECT_EQ(fakes.mixer.writes.front(), std::make_pair(MixerLine::Speakers, uint32_t{30000}));
    EXPECT_EQ(fakes.mixer.writes.back(), std::make_pair(MixerLine::Speakers, uint32_t{1}));
    for (const auto& write : fakes.mixer.writes) EXPECT_EQ(write.first, MixerLine::Speakers);
    EXPECT_EQ(bar->value(), 1);
    Exit();
    EXPECT_EQ(Setting("OutVolume"), "1");
}

TEST_F(MainWindowShell, KeyboardOnTheMicrophoneSliderDrivesTheMicrophone) {
    frmMM& w = Start();
    fakes.mixer.writes.clear();
    QTest::keyClick(w.m_InSlider->GetTracBarHwnd(), Qt::Key_Home); // to the top
    Settle();
    EXPECT_EQ(fakes.mixer.writes, (Writes{{MixerLine::Microphone, 65000}}));
}

TEST_F(MainWindowShell, ScrollFromAnotherSourceCountsAsTheSpeakerSlider) {
    frmMM& w = Start();
    fakes.mixer.writes.clear();
    intptr_t result = 0;
    w.Subclass1_WndProc(WM_VSCROLL, 0, 0, result);
    EXPECT_EQ(fakes.mixer.writes, (Writes{{MixerLine::Speakers, 21667}}));
    EXPECT_EQ(result, 0);
}

TEST_F(MainWindowShell, WithoutAMixerSlidersSnapBackAndNothingIsStored) {
    fakes.mixer.present = false;
    Put("InVolume", "30000");
    frmMM& w = Start();
    EXPECT_FALSE(w.m_InSlider->IsEnabled());
    EXPECT_FALSE(w.m_OutSlider->IsEnabled());
    EXPECT_TRUE(w.m_InSlider->GetTracBarHwnd()->isVisible());
    EXPECT_EQ(w.m_InSlider->GetTracBarPos(), 0);
    EXPECT_EQ(w.m_OutSlider->GetTracBarPos(), 0);
    QTest::keyClick(w.m_OutSlider->GetTracBarHwnd(), Qt::Key_Down);
    QTest::keyClick(w.m_InSlider->GetTracBarHwnd(), Qt::Key_End);
    Settle();
    EXPECT_EQ(w.m_OutSlider->GetTracBarPos(), -65000);
    EXPECT_EQ(w.m_InSlider->GetTracBarPos(), -65000);
    EXPECT_TRUE(fakes.mixer.writes.empty());
    Exit();
    EXPECT_EQ(Setting("InVolume"), "30000");
    EXPECT_EQ(Setting("OutVolume"), "<missing>");
}

TEST_F(MainWindowShell, ALineWithoutVolumeOnlyDisablesItsOwnSlider) {
    fakes.mixer.micVolume = false;
    frmMM& w = Start();
    EXPECT_FALSE(w.m_InSlider->IsEnabled());
    EXPECT_TRUE(w.m_OutSlider->IsEnabled());
    EXPECT_EQ(w.m_InSlider->GetTracBarPos(), 0);
    EXPECT_EQ(fakes.mixer.writes, (Writes{{MixerLine::Speakers, 21667}}));
}

// ---- reply entry and activation ----------------------------------------------------

TEST_F(MainWindowShell, EmptyReplyWithoutActivationSelectsFirstEntriesOnly) {
    WriteFile(env.Path("Tos.txt"), "ann@example.com\r\nbob@example.com\r\n");
    frmMM& w = Start("1");
    w.cmbTo->setCurrentIndex(1);
    w.cmbCc->setCurrentIndex(2);
    w.txtSubject->setText("kept");
    fakes.sound.played.clear();
    w.DoReply("", "  ", "   ", 0);
    EXPECT_EQ(w.cmbTo->currentText(), "ann@example.com");
    EXPECT_EQ(w.cmbCc->currentText().toStdString(), w.m_NoRecipient);
    EXPECT_EQ(w.txtSubject->text(), "kept");
    EXPECT_FALSE(w.isVisible());
    EXPECT_TRUE(fakes.sound.played.empty());
    EXPECT_EQ(w.m_Mode, "");
}

TEST_F(MainWindowShell, ReplySubjectGetsReOnlyWhenItHasNone) {
    frmMM& w = Start("1");
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"Hello", "Re: Hello"},       {"re: hi", "re: hi"},     {"RE:x", "RE:x"},
        {"Re:", "Re:"},               {" Re: x", "Re:  Re: x"}, {"Reply", "Re: Reply"},
        {"Grüße", "Re: Grüße"},
    };
    for (const auto& [subject, expected] : cases) {
        w.DoReply("", "", subject, 0);
        EXPECT_EQ(w.txtSubject->text().toStdString(), expected) << subject;
    }
}

TEST_F(MainWindowShell, ReplyKeepsRecipientTextsAsGiven) {
    frmMM& w = Start("1");
    w.DoReply(" ann@example.com, bob@example.com ", "carl@example.com", "", 0);
    EXPECT_EQ(w.cmbTo->currentText(), " ann@example.com, bob@example.com ");
    EXPECT_EQ(w.cmbCc->currentText(), "carl@example.com");
}

TEST_F(MainWindowShell, ShowImmediatelyBringsAHiddenWindowUpWithTheStartSound) {
    Put("PlaySounds", "0");
    frmMM& w = Start("1");
    w.ShowImmediately(0);
    EXPECT_FALSE(w.isVisible());
    EXPECT_TRUE(fakes.sound.played.empty());
    w.ShowImmediately(-1);
    EXPECT_TRUE(w.isVisible());
    ASSERT_EQ(fakes.sound.Names(), std::vector<std::string>{"start.wav"});
    EXPECT_EQ(fakes.sound.played[0].mode, SND_ASYNC);
    EXPECT_EQ(w.m_Mode, "");
    // Already visible: only raised, no second sound.
    w.ShowImmediately(1);
    EXPECT_TRUE(w.isVisible());
    EXPECT_EQ(fakes.sound.played.size(), 1u);
}

TEST_F(MainWindowShell, ActivationRunsInStartingUpMode) {
    frmMM& w = Start("1");
    std::string seen;
    fakes.sound.played.clear();
    QTimer::singleShot(0, [&] { seen = w.m_Mode; });
    w.ShowImmediately(1);
    EXPECT_EQ(seen, "Starting Up");
    EXPECT_EQ(w.m_Mode, "");
}

TEST_F(MainWindowShell, ActivationDuringARecordingKeepsItsMode) {
    frmMM& w = Start("1");
    w.m_Mode = "Recording";
    w.DoReply("ann@example.com", "", "", 1);
    EXPECT_TRUE(w.isVisible());
    EXPECT_EQ(w.m_Mode, "Recording");
    // Exit is still refused while the recording runs.
    w.mnuFileExit_Click();
    EXPECT_FALSE(w.tmrAdvertise.isActive());
}

TEST_F(MainWindowShell, ActivationAfterExitWasChosenLeavesTheExitGoing) {
    frmMM& w = Start("1");
    w.mnuFileExit_Click();
    fakes.sound.played.clear();
    w.ShowImmediately(1);
    EXPECT_EQ(w.m_Mode, "Terminating");
    EXPECT_FALSE(w.isVisible());
    EXPECT_TRUE(fakes.sound.played.empty());
    w.tmrAdvertise_Timer();
    EXPECT_TRUE(w.IsUnloaded());
}

TEST_F(MainWindowShell, SendEntryOfTheMenuActivatesWithoutConsultingSounds) {
    Put("PlaySounds", "0");
    frmMM& w = Start("1");
    w.mnuFileSend->trigger();
    EXPECT_TRUE(w.isVisible());
    EXPECT_EQ(fakes.sound.Names(), std::vector<std::string>{"start.wav"});
}

// ---- message hook ------------------------------------------------------------------

TEST_F(MainWindowShell, OtherMessagesGoToTheWindowProcedureWithTheirResult) {
    frmMM& w = Start();
    std::vector<std::tuple<int, intptr_t, intptr_t>> received;
    w.m_WindowProc = [&](int msg, intptr_t wParam, intptr_t lParam) -> intptr_t {
        received.emplace_back(msg, wParam, lParam);
        return 4711;
    };
    intptr_t result = 0;
    w.Subclass1_WndProc(0x0201, 3, 0x00140028, result);
    EXPECT_EQ(result, 4711);
    ASSERT_EQ(received.size(), 1u);
    EXPECT_EQ(received[0], std::make_tuple(0x0201, intptr_t{3}, intptr_t{0x00140028}));
    // The hook's own messages never reach it, and their result stays 0.
    result = 0;
    w.Subclass1_WndProc(WM_VSCROLL, 0, 0, result);
    w.Subclass1_WndProc(WM_TRAYNOTIFY, 0, 512, result);
    EXPECT_EQ(result, 0);
    EXPECT_EQ(received.size(), 1u);
}

// ---- tray --------------------------------------------------------------------------

TEST_F(MainWindowShell, NotificationBlinksUntilItsTimeRunsOut) {
    frmMM& w = Start("1");
    auto notify = [&] {
        w.m_NotifyTime = 10000;
        w.tmrMessaging.setInterval(500);
        w.tmrMessaging.start();
    };
    notify();
    fakes.tray.modifications.clear();
    for (int step = 1; step <= 19; ++step) {
        w.tmrMessaging_Timer();
        ASSERT_TRUE(w.tmrMessaging.isActive()) << step;
        EXPECT_EQ(fakes.tray.modifications.back(), step % 2 ? "ID_INVERTED" : "ID_NORMAL") << step;
    }
    EXPECT_TRUE(SameIcon(w.windowIcon(), ProgramIcon("ID_INVERTED")));
    w.tmrMessaging_Timer();
    EXPECT_FALSE(w.tmrMessaging.isActive());
    EXPECT_EQ(fakes.tray.modifications.size(), 20u);
    EXPECT_EQ(fakes.tray.modifications.back(), "ID_NORMAL");
    EXPECT_TRUE(SameIcon(w.windowIcon(), ProgramIcon("ID_NORMAL")));
    // The next notification begins inverted.
    notify();
    w.tmrMessaging_Timer();
    EXPECT_EQ(fakes.tray.modifications.back(), "ID_INVERTED");
}

TEST_F(MainWindowShell, RightClickWhileHiddenOffersSendAsDefault) {
    Put("PlaySounds", "1");
    frmMM& w = Start("1");
    fakes.mixer.writes.clear();
    ASSERT_TRUE(fakes.tray.callback);
    fakes.tray.callback(WM_RBUTTONDOWN);
    EXPECT_TRUE(w.mnuFile->isVisible());
    EXPECT_TRUE(w.mnuFileSend->isVisible());
    EXPECT_TRUE(w.mnuSep1->isVisible());
    EXPECT_EQ(w.mnuFile->defaultAction(), w.mnuFileSend);
    EXPECT_TRUE(w.mnuFileExit->isEnabled());
    EXPECT_EQ(fakes.sound.Names(), std::vector<std::string>{"swoosh.wav"});
    EXPECT_EQ(fakes.mixer.writes, (Writes{{MixerLine::Speakers, 21667}}));
    w.mnuFile->hide();
}

TEST_F(MainWindowShell, RightClickWhileVisibleHidesSendAndDefaultsToHelp) {
    Put("PlaySounds", "0");
    frmMM& w = Start();
    fakes.sound.played.clear();
    fakes.tray.callback(WM_RBUTTONDOWN);
    EXPECT_TRUE(w.mnuFile->isVisible());
    EXPECT_FALSE(w.mnuFileSend->isVisible());
    EXPECT_FALSE(w.mnuSep1->isVisible());
    EXPECT_EQ(w.mnuFile->defaultAction(), w.mnuHelpContents);
    EXPECT_TRUE(w.mnuFileExit->isEnabled());
    EXPECT_TRUE(fakes.sound.played.empty());
    w.mnuFile->hide();
    // Hidden again: Send comes back.
    w.cmdHide_Click();
    fakes.tray.callback(WM_RBUTTONDOWN);
    EXPECT_TRUE(w.mnuFileSend->isVisible());
    EXPECT_TRUE(w.mnuSep1->isVisible());
    w.mnuFile->hide();
}

TEST_F(MainWindowShell, ExitIsGreyWhileASecondaryWindowIsOpen) {
    frmMM& w = Start();
    QDialog options;
    options.show();
    fakes.tray.callback(WM_RBUTTONDOWN);
    EXPECT_FALSE(w.mnuFileExit->isEnabled());
    w.mnuFile->hide();
    EXPECT_TRUE(w.mnuFileExit->isEnabled());
    options.hide();
    fakes.tray.callback(WM_RBUTTONDOWN);
    EXPECT_TRUE(w.mnuFileExit->isEnabled());
    w.mnuFile->hide();
}

TEST_F(MainWindowShell, TheTrayMenuAnswersWhileTheOptionsWindowIsOpen) {
    EventLoopModalRunner modal; // the program's own
    services = fakes.Wire();
    services.modal = &modal;
    window = std::make_unique<frmMM>(services, "");
    window->Form_Load();
    window->FinishStartUp();
    frmMM& w = *window;
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
    // The tray icon's own window belongs to no other window, like this one.
    QWidget trayIcon;
    trayIcon.resize(24, 24);
    trayIcon.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&trayIcon));
    // Presses that reach a widget, by the window it is in.
    struct Presses : QObject {
        std::map<QWidget*, int> count;
        bool eventFilter(QObject* pWatched, QEvent* pEvent) override {
            if (auto* widget = qobject_cast<QWidget*>(pWatched); widget && pEvent->type() == QEvent::MouseButtonPress)
                ++count[widget->window()];
            return false;
        }
    } presses;
    qApp->installEventFilter(&presses);
    bool checked = false;
    QTimer::singleShot(0, [&] {
        QWidget* options = QApplication::activeModalWidget();
        ASSERT_NE(options, nullptr);
        ASSERT_TRUE(QTest::qWaitForWindowExposed(options));
        // The options window blocks the main window, not the tray icon.
        QTest::mouseClick(w.windowHandle(), Qt::RightButton, {}, QPoint(300, 300));
        QTest::mouseClick(trayIcon.windowHandle(), Qt::RightButton, {}, QPoint(12, 12));
        EXPECT_EQ(presses.count[&w], 0);
        EXPECT_EQ(presses.count[&trayIcon], 1);
        fakes.tray.callback(WM_RBUTTONDOWN);
        ASSERT_TRUE(QTest::qWaitForWindowExposed(w.mnuFile));
        EXPECT_FALSE(w.mnuFileExit->isEnabled());
        // A click on an entry reaches the menu: the options window does not block it.
        QTest::mouseClick(w.mnuFile->windowHandle(), Qt::LeftButton, {},
                          w.mnuFile->actionGeometry(w.mnuHelpAbout).center());
        EXPECT_EQ(fakes.shell.opened, std::vector<std::string>{env.Path("htm/about.htm")});
        EXPECT_FALSE(w.mnuFile->isVisible());
        EXPECT_TRUE(w.mnuFileExit->isEnabled());
        options->hide();
        qApp->removeEventFilter(&presses);
        checked = true;
    });
    w.cmdConfigure_Click();
    EXPECT_TRUE(checked);
}

TEST_F(MainWindowShell, DoubleClickWhileBlinkingOpensTheNotification) {
    frmMM& w = Start("1");
    w.mnuSpecial->setText("Your message was delivered");
    w.mnuSpecial->setVisible(true);
    w.mnuSep3->setVisible(true);
    w.mnuSpecialTag = "https://example.com/status";
    w.m_NotifyTime = 60000;
    w.tmrMessaging.start();
    fakes.tray.modifications.clear();
    fakes.tray.callback(WM_LBUTTONDBLCLK);
    EXPECT_EQ(fakes.shell.opened, std::vector<std::string>{"https://example.com/status"});
    EXPECT_FALSE(w.isVisible());
    EXPECT_FALSE(w.tmrMessaging.isActive());
    EXPECT_EQ(fakes.tray.modifications, std::vector<std::string>{"ID_NORMAL"});
    EXPECT_EQ(w.mnuSpecial->text(), "special");
    EXPECT_EQ(w.mnuSpecialTag, "");
    EXPECT_FALSE(w.mnuSpecial->isVisible());
    EXPECT_FALSE(w.mnuSep3->isVisible());
    // The next double click shows the window.
    fakes.tray.callback(WM_LBUTTONDBLCLK);
    EXPECT_TRUE(w.isVisible());
}

TEST_F(MainWindowShell, DoubleClickShowsTheHiddenWindowWithSoundWhenSoundsAreOn) {
    Put("PlaySounds", "1");
    frmMM& w = Start("1");
    fakes.mixer.writes.clear();
    fakes.tray.callback(WM_LBUTTONDBLCLK);
    EXPECT_TRUE(w.isVisible());
    EXPECT_EQ(fakes.sound.Names(), std::vector<std::string>{"start.wav"});
    EXPECT_EQ(fakes.mixer.writes, (Writes{{MixerLine::Speakers, 21667}}));
    // Visible already: no sound.
    fakes.tray.callback(WM_LBUTTONDBLCLK);
    EXPECT_EQ(fakes.sound.played.size(), 1u);
}

TEST_F(MainWindowShell, DoubleClickWithSoundsOffIsSilent) {
    Put("PlaySounds", "0");
    frmMM& w = Start("1");
    fakes.tray.callback(WM_LBUTTONDBLCLK);
    EXPECT_TRUE(w.isVisible());
    EXPECT_TRUE(fakes.sound.played.empty());
}

TEST_F(MainWindowShell, OtherTrayMouseMessagesDoNothing) {
    Put("PlaySounds", "1");
    frmMM& w = Start("1");
    for (int message : {512, 513, 514, 517, 518, 519}) fakes.tray.callback(message);
    EXPECT_FALSE(w.isVisible());
    EXPECT_FALSE(w.mnuFile->isVisible());
    EXPECT_TRUE(fakes.sound.played.empty());
    EXPECT_TRUE(fakes.mixer.writes.size() == 2u); // only those of start-up
}

TEST_F(MainWindowShell, NoTrayAnimationWithoutAScreenOrTheIconsPlace) {
    frmMM& w = Start();
    const int before = QApplication::topLevelWidgets().size();
    QElapsedTimer clock;
    clock.start();
    w.TrayAnimate(1, &w);
    w.TrayAnimate(0, &w);
    w.TrayAnimate(7, &w);
    w.TrayAnimate(0, nullptr);
    EXPECT_LT(clock.elapsed(), 250);
    EXPECT_EQ(QApplication::topLevelWidgets().size(), before);
}

// A tray whose icon sits in the bottom right corner of the screen.
class PlacedTray : public FakeTray {
public:
    bool IconRect(TrayRect& pRect) override {
        pRect = TrayRect{1000, 740, 22, 22};
        return true;
    }
};

TEST_F(MainWindowShell, TrayAnimationGlidesAFrameWithoutHoldingUpTheWindow) {
    if (QGuiApplication::platformName() == "offscreen")
        GTEST_SKIP() << "needs a screen (run with QT_QPA_PLATFORM=vnc, for example)";
    PlacedTray tray;
    services = fakes.Wire();
    services.tray = &tray;
    window = std::make_unique<frmMM>(services, "");
    window->Form_Load();
    window->FinishStartUp();
    auto frames = [] {
        QWidgetList visible;
        for (QWidget* w : QApplication::topLevelWidgets())
            if (qobject_cast<QRubberBand*>(w) && w->isVisible()) visible << w;
        return visible;
    };
    QElapsedTimer clock;
    clock.start();
    window->TrayAnimate(1, window.get());
    EXPECT_LT(clock.elapsed(), 50);
    ASSERT_EQ(frames().size(), 1);
    EXPECT_EQ(frames()[0]->geometry(), window->frameGeometry());
    QElapsedTimer wait;
    wait.start();
    while (!frames().isEmpty() && wait.elapsed() < 2000) QApplication::processEvents(QEventLoop::AllEvents, 10);
    EXPECT_TRUE(frames().isEmpty());
    EXPECT_LT(wait.elapsed(), 600);
    window.reset(); // before the tray goes
}

// ---- help and picture commands -----------------------------------------------------------

TEST_F(MainWindowShell, HelpEntriesOpenTheirPages) {
    frmMM& w = Start();
    fakes.sound.played.clear();
    w.mnuHelpContents->trigger();
    w.mnuHelpFAQ->trigger();
    w.mnuHelpAbout->trigger();
    const std::string folder = env.ProgramFolder();
    EXPECT_EQ(fakes.shell.opened, (std::vector<std::string>{folder + "/htm/help.htm",
                                                            folder + "/htm/faq.htm",
                                                            folder + "/htm/about.htm"}));
    EXPECT_TRUE(fakes.sound.played.empty());
}

TEST_F(MainWindowShell, F1OpensTheStartPageWithoutASound) {
    Put("PlaySounds", "1");
    frmMM& w = Start();
    fakes.sound.played.clear();
    QTest::keyClick(&w, Qt::Key_F1);
    EXPECT_EQ(fakes.shell.opened, std::vector<std::string>{env.ProgramFolder() + "/htm/startup.htm"});
    EXPECT_TRUE(fakes.sound.played.empty());
    // Other keys open nothing.
    w.Form_KeyDown(113, 0);
    EXPECT_EQ(fakes.shell.opened.size(), 1u);
}

TEST_F(MainWindowShell, HelpButtonClicksFirstOnlyWhenSoundsAreOn) {
    Put("PlaySounds", "1");
    frmMM& w = Start();
    fakes.sound.played.clear();
    w.cmdHelp_Click();
    ASSERT_EQ(fakes.sound.Names(), std::vector<std::string>{"click.wav"});
    EXPECT_EQ(fakes.sound.played[0].mode, SND_ASYNC);
    EXPECT_EQ(fakes.sound.played[0].path, env.ProgramFolder() + "/sounds/click.wav");
    EXPECT_EQ(fakes.shell.opened, std::vector<std::string>{env.ProgramFolder() + "/htm/startup.htm"});
    Put("PlaySounds", "0");
    w.cmdHelp_Click();
    EXPECT_EQ(fakes.sound.played.size(), 1u);
    EXPECT_EQ(fakes.shell.opened.size(), 2u);
}

TEST_F(MainWindowShell, PicturesOpenTheirSettingsEvenWhenEmpty) {
    Put("ZovidClick", "https://partner.example.com/");
    frmMM& w = Start();
    w.gifLogo_Click();
    w.gifZovid_Click();
    EXPECT_EQ(fakes.shell.opened, (std::vector<std::string>{"", "https://partner.example.com/"}));
    EXPECT_TRUE(fakes.messageBox.shown.empty());
}

// The pages the help commands open are shipped, and each link between them
// leads to a page and an anchor that exist.
TEST(HelpPages, AreShippedAndLinkedToEachOther) {
    const std::string folder = std::string(BRISA_SOURCE_DIR) + "/data/htm/";
    const std::vector<std::string> names = {"help.htm", "faq.htm", "about.htm", "startup.htm"};
    std::map<std::string, std::string> pages;
    for (const std::string& name : names) {
        pages[name] = ReadFile(folder + name);
        ASSERT_FALSE(pages[name].empty()) << name;
    }
    const QRegularExpression href(R"re(href="([^"]*)")re");
    for (const auto& [name, text] : pages) {
        EXPECT_EQ(text.rfind("<!DOCTYPE html>", 0), 0u) << name;
        EXPECT_NE(text.find("<meta charset=\"utf-8\">"), std::string::npos) << name;
        EXPECT_NE(text.find("<title>"), std::string::npos) << name;
        for (const std::string& other : names) {
            EXPECT_NE(text.find("href=\"" + other + "\""), std::string::npos) << name << " -> " << other;
        }
        auto links = href.globalMatch(QString::fromStdString(text));
        while (links.hasNext()) {
            const std::string link = links.next().captured(1).toStdString();
            const std::string page = link.substr(0, link.find('#'));
            const std::string anchor = link.find('#') == std::string::npos ? "" : link.substr(link.find('#') + 1);
            const std::string& target = page.empty() ? text : pages[page];
            ASSERT_FALSE(target.empty()) << name << ": " << link;
            if (!anchor.empty()) {
                EXPECT_NE(target.find("id=\"" + anchor + "\""), std::string::npos) << name << ": " << link;
            }
        }
    }
}

TEST_F(MainWindowShell, NotificationEntryWithoutABlinkOnlyResetsItself) {
    frmMM& w = Start();
    w.mnuSpecial->setText("Waiting in the outbox");
    w.mnuSpecial->setVisible(true);
    w.mnuSep3->setVisible(true);
    w.mnuSpecialTag = env.ProgramFolder() + "/outbox";
    fakes.tray.modifications.clear();
    w.mnuSpecial->trigger();
    EXPECT_EQ(fakes.shell.opened, std::vector<std::string>{env.ProgramFolder() + "/outbox"});
    EXPECT_TRUE(fakes.tray.modifications.empty());
    EXPECT_EQ(w.mnuSpecial->text(), "special");
    EXPECT_FALSE(w.mnuSpecial->isVisible());
    EXPECT_FALSE(w.mnuSep3->isVisible());
}

TEST_F(MainWindowShell, BannerClickOpensItsTagWhenAdvertisingIsOff) {
    Put("PlaySounds", "1");
    frmMM& w = Start();
    fakes.sound.played.clear();
    w.tsBannerAd->Tag = "https://brisamail.example.com/";
    w.tsBannerAd_Click();
    EXPECT_EQ(fakes.sound.Names(), std::vector<std::string>{"click.wav"});
    EXPECT_EQ(fakes.shell.opened, std::vector<std::string>{"https://brisamail.example.com/"});
    w.tsBannerAd->Tag.clear();
    w.tsBannerAd_Click();
    EXPECT_EQ(fakes.shell.opened.size(), 1u);
}

} // namespace
} // namespace brisa::test
