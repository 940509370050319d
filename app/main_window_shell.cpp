// Reply entry, the message hook, the tray icon, help commands, hover
// highlighting and the advertising spaces' clicks.
#include "app/main_window.h"

#include "ads/timesink.h"
#include "common/utilities.h"
#include "language/translation.h"
#include "platform/icons.h"
#include "platform/mixer.h"
#include "platform/program_folder.h"
#include "platform/shell.h"
#include "platform/sound.h"
#include "platform/tray.h"
#include "platform/window_system.h"
#include "recording/slider.h"
#include "settings/registry.h"
#include "skin/anigif.h"
#include "skin/label_button.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QCursor>
#include <QLineEdit>
#include <QMenu>
#include <QRubberBand>
#include <QSlider>
#include <QVariantAnimation>

#include <cmath>
#include <cstdlib>

namespace brisa {

namespace {

QString Q(const std::string& s) { return QString::fromStdString(s); }

// How long the frame takes between the window and the tray. The animation
// runs alongside the window's own showing or hiding and never holds it up.
constexpr int kTrayAnimationMs = 200;

// Windows of the program that count as open secondary windows: dialogs and
// plain windows, not menus, tool tips, animation frames or the tray icon's
// own window.
bool IsSecondaryWindow(const QWidget* pWidget, const QWidget* pMain) {
    if (pWidget == pMain || !pWidget->isVisible() || !pWidget->isWindow()) return false;
    const Qt::WindowType type = pWidget->windowType();
    if (type != Qt::Window && type != Qt::Dialog && type != Qt::Sheet) return false;
    if (pWidget->windowFlags() & Qt::BypassWindowManagerHint) return false;
    if (pWidget->inherits("QSystemTrayIconSys")) return false;
    return true;
}

} // namespace

// ---- reply entry ------------------------------------------------------------------

void frmMM::DoReply(const std::string& pTo, const std::string& pCc, const std::string& pSubject,
                    int32_t pHwnd) {
    if (m_Starting) {
        m_Waiting.push_back([=, this] { DoReply(pTo, pCc, pSubject, pHwnd); });
        return;
    }
    if (!TrimBlanks(pTo).empty()) cmbTo->setCurrentText(Q(pTo));
    else if (cmbTo->count() > 0) cmbTo->setCurrentIndex(0);
    if (!TrimBlanks(pCc).empty()) cmbCc->setCurrentText(Q(pCc));
    else if (cmbCc->count() > 0) cmbCc->setCurrentIndex(0);
    if (!TrimBlanks(pSubject).empty()) {
        if (!StartsWithNoCase(pSubject, "Re:")) txtSubject->setText(Q("Re: " + pSubject));
        else txtSubject->setText(Q(pSubject));
    }
    ShowImmediately(pHwnd);
}

void frmMM::ShowImmediately(int32_t pHwnd) {
    if (m_Starting) {
        m_Waiting.push_back([=, this] { ShowImmediately(pHwnd); });
        return;
    }
    if (pHwnd == 0 || m_Unloaded) return;
    // The program is on its way out: it stays that way.
    if (EqualsNoCase(m_Mode, "Terminating")) return;
    // The activation may arrive in the middle of a recording or a playback;
    // their mode comes back afterwards, so the recording clock and the Exit
    // guard keep working. A handler that changed the mode meanwhile (the
    // recording reached its limit, say) keeps its change.
    const std::string before = m_Mode;
    m_Mode = "Starting Up";
    mnuFileSend_Click();
    if (m_Mode == "Starting Up") m_Mode = before;
}

void frmMM::Activate(const std::string& pToken) {
    m_ActivationToken = pToken;
    ShowImmediately(1);
    m_ActivationToken.clear();
}

void frmMM::BringUp() {
    // The platform decides how: a minimised window on Wayland, say, looks
    // like a visible one and has to be shown anew.
    WindowSystem::BringUp(this, QString::fromStdString(m_ActivationToken));
    m_ActivationToken.clear();
}

void frmMM::mnuFileSend_Click() {
    if (m_Unloaded) return;
    m_Ads->AdShowAll();
    if (!isVisible() || isMinimized()) {
        TrayAnimate(0, this);
        if (m_Services.sound) m_Services.sound->Play(ProgramPath("/sounds/start.wav"), SND_ASYNC);
    }
    BringUp();
    DoEvents();
}

// ---- message hook -------------------------------------------------------------------

void frmMM::Subclass1_WndProc(int Msg, intptr_t wParam, intptr_t lParam, intptr_t& Result) {
    if (Msg == WM_TRAYNOTIFY) {
        TrayCallback(static_cast<int>(lParam));
        return;
    }
    if (Msg == WM_VSCROLL) {
        OnVerticalScroll(lParam);
        return;
    }
    // Everything else belongs to the window's own procedure.
    Result = m_WindowProc ? m_WindowProc(Msg, wParam, lParam) : 0;
}

// ---- tray -----------------------------------------------------------------------------

void frmMM::TrayCallback(int pMouseMessage) {
    if (m_Unloaded) return;
    auto reapplySpeakers = [this] {
        if (m_OutSlider->IsEnabled() && m_Services.mixer)
            m_Services.mixer->SetVolume(MixerLine::Speakers,
                                        static_cast<uint32_t>(std::abs(m_OutSlider->GetTracBarPos())));
    };
    if (pMouseMessage == WM_LBUTTONDBLCLK) {
        // A pending notification is opened instead.
        if (tmrMessaging.isActive()) {
            mnuSpecial_Click();
            return;
        }
        reapplySpeakers();
        if (!isVisible() || isMinimized()) {
            if (SoundsEnabled() && m_Services.sound)
                m_Services.sound->Play(ProgramPath("/sounds/start.wav"), SND_ASYNC);
            TrayAnimate(0, this);
        }
        m_Ads->AdShowAll();
        DoEvents();
        BringUp();
        DoEvents();
        return;
    }
    if (pMouseMessage == WM_RBUTTONDOWN) {
        reapplySpeakers();
        if (SoundsEnabled() && m_Services.sound)
            m_Services.sound->Play(ProgramPath("/sounds/swoosh.wav"), SND_ASYNC);
        if (isVisible() && !isMinimized()) {
            mnuFileSend->setVisible(false);
            mnuSep1->setVisible(false);
            // Exit waits while a secondary window is open.
            int others = 0;
            for (QWidget* w : QApplication::topLevelWidgets())
                if (IsSecondaryWindow(w, this)) ++others;
            if (others > 0) {
                mnuFileExit->setEnabled(false);
                connect(
                    mnuFile, &QMenu::aboutToHide, this, [this] { mnuFileExit->setEnabled(true); },
                    Qt::SingleShotConnection);
            }
            mnuFile->setDefaultAction(mnuHelpContents);
        } else {
            mnuFileSend->setVisible(true);
            mnuSep1->setVisible(true);
            mnuFile->setDefaultAction(mnuFileSend);
        }
        // A tray that carries the menu is opening it at the icon already.
        if (!m_TrayShowsMenu) mnuFile->popup(QCursor::pos());
    }
}

void frmMM::tmrMessaging_Timer() {
    m_NotifyTime -= tmrMessaging.interval();
    std::string icon;
    if (m_NotifyTime <= 0) {
        // The notification is over: back to the normal icon, and the next
        // one begins inverted.
        tmrMessaging.stop();
        icon = "ID_NORMAL";
        m_BlinkInverted = false;
    } else if (m_BlinkInverted) {
        icon = "ID_NORMAL";
        m_BlinkInverted = false;
    } else {
        icon = "ID_INVERTED";
        m_BlinkInverted = true;
    }
    setWindowIcon(ProgramIcon(icon));
    if (m_Services.tray) m_Services.tray->Modify(icon);
}

void frmMM::TrayAnimate(int pDirection, QWidget* pWindow) {
    if ((pDirection != 0 && pDirection != 1) || !pWindow || !m_Services.tray) return;
    // Nothing to see without a screen.
    const QString platform = QGuiApplication::platformName();
    if (platform == "offscreen" || platform == "minimal") return;
    TrayRect icon;
    if (!m_Services.tray->Available() || !m_Services.tray->IconRect(icon)) return;
    const QRect tray(icon.left, icon.top, icon.width, icon.height);
    const QRect window = pWindow->frameGeometry();
    if (!window.isValid()) return;

    // A frame glides between the two rectangles: from the tray to the window
    // when showing (0), from the window to the tray when hiding (1).
    auto* frame = new QRubberBand(QRubberBand::Rectangle);
    frame->setAttribute(Qt::WA_TransparentForMouseEvents);
    frame->setAttribute(Qt::WA_ShowWithoutActivating);
    auto* animation = new QVariantAnimation(this);
    animation->setDuration(kTrayAnimationMs);
    animation->setStartValue(pDirection == 0 ? tray : window);
    animation->setEndValue(pDirection == 0 ? window : tray);
    animation->setEasingCurve(QEasingCurve::InOutQuad);
    connect(animation, &QVariantAnimation::valueChanged, frame,
            [frame](const QVariant& v) { frame->setGeometry(v.toRect()); });
    // The frame goes with the animation, also when the window goes first.
    connect(animation, &QObject::destroyed, frame, [frame] { delete frame; });
    frame->setGeometry(pDirection == 0 ? tray : window);
    frame->show();
    animation->start(QAbstractAnimation::DeleteWhenStopped);
}

// ---- help and picture commands ---------------------------------------------------------

namespace {
void OpenTarget(IShell* pShell, const std::string& pTarget) {
    if (pShell) pShell->Open(pTarget, ProgramFolder());
}
} // namespace

void frmMM::mnuHelpContents_Click() { OpenTarget(m_Services.shell, ProgramPath("/htm/help.htm")); }
void frmMM::mnuHelpFAQ_Click() { OpenTarget(m_Services.shell, ProgramPath("/htm/faq.htm")); }
void frmMM::mnuHelpAbout_Click() { OpenTarget(m_Services.shell, ProgramPath("/htm/about.htm")); }

void frmMM::cmdHelp_Click() {
    if (SoundsEnabled() && m_Services.sound)
        m_Services.sound->Play(ProgramPath("/sounds/click.wav"), SND_ASYNC);
    OpenTarget(m_Services.shell, ProgramPath("/htm/startup.htm"));
}

void frmMM::Form_KeyDown(int pKeyCode, int pShift) {
    (void)pShift;
    if (pKeyCode == 112) OpenTarget(m_Services.shell, ProgramPath("/htm/startup.htm"));
}

void frmMM::gifLogo_Click() { OpenTarget(m_Services.shell, gRegistry ? gRegistry->LogoClick() : ""); }

void frmMM::gifZovid_Click() { OpenTarget(m_Services.shell, gRegistry ? gRegistry->ZovidClick() : ""); }

void frmMM::mnuSpecial_Click() {
    OpenTarget(m_Services.shell, mnuSpecialTag);
    if (tmrMessaging.isActive()) {
        m_NotifyTime = 0;
        tmrMessaging_Timer();
    }
    mnuSpecial->setText("special");
    mnuSpecialTag.clear();
    mnuSpecial->setVisible(false);
    mnuSep3->setVisible(false);
}

// ---- hover highlighting ---------------------------------------------------------------

void frmMM::tmrFocus_Timer() {
    // Takes the bold off every button the mouse has left; keeps polling
    // while it is over one of them.
    HoverTick(tmrFocus, HoverButtons());
}

// ---- advertising spaces -----------------------------------------------------------------

void frmMM::tsBannerAd_Click() {
    if (SoundsEnabled() && m_Services.sound)
        m_Services.sound->Play(ProgramPath("/sounds/click.wav"), SND_ASYNC);
    // An empty marker means the advertising library serves the banner.
    if (tsBannerAd->Tag.empty()) m_Ads->AdClick(AdSpace::Banner);
    else OpenTarget(m_Services.shell, tsBannerAd->Tag);
}

// The partner buttons are served only with ShowZered; they make no sound.
void frmMM::TsZeredButton1_Click() {
    if (gRegistry && gRegistry->ShowZered()) m_Ads->AdClick(AdSpace::Button1);
}

void frmMM::TsZeredButton2_Click() {
    if (gRegistry && gRegistry->ShowZered()) m_Ads->AdClick(AdSpace::Button2);
}

} // namespace brisa
