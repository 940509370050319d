// The main window: start-up and shut-down of the whole program, the
// recording buttons, the recipients, sending, the tray and the automation
// entry other programs use.
#pragma once

#include "platform/sender.h"
#include "platform/services.h"
#include "platform/single_instance.h"
#include "skin/hover.h"

#include <QPixmap>
#include <QRegion>
#include <QTimer>
#include <QWidget>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class QAction;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QMenu;
class QSlider;

namespace brisa {

class cAniGif;
class cLabelButton;
class cSlider;
class cTimesink;
class cWindowDrag;

// Window messages the message hook delivers.
inline constexpr int WM_VSCROLL = 277;
inline constexpr int WM_TRAYNOTIFY = 1124;

class frmMM : public QWidget, public IAutomationTarget {
    Q_OBJECT
public:
    // pCommandLine: the program's arguments joined by blanks ("1" starts it
    // hidden in the tray).
    frmMM(const Services& pServices, std::string pCommandLine, QWidget* pParent = nullptr);
    ~frmMM() override;

    // The window's designed skin, in the program folder (start-up may have
    // it decoded ahead under this name).
    static constexpr const char* kSkinFile = "/skins/frmMM.jpg";

    // ---- start-up and shut-down ----
    // Runs start-up up to showing the window; what can wait until the window
    // is up (the mixer, the start sound, the banner, the partner picture and
    // the advertising) is left to FinishStartUp().
    void Form_Load();
    // The rest of start-up and its end (m_Mode becomes ""). Runs by itself
    // once the window has been painted, or before the first click, key
    // press, tray click or automation call reaches it; does nothing when
    // there is nothing left.
    void FinishStartUp();
    // True while start-up has steps left to run.
    bool IsStartingUp() const { return m_StartUpPending; }
    void Form_Unload(bool& Cancel);
    // True when Form_Load found another copy running and ended this one.
    bool IsSecondCopy() const { return m_SecondCopy; }
    // True once the window has been unloaded (the program ends).
    bool IsUnloaded() const { return m_Unloaded; }
    void mnuFileExit_Click();
    // The desktop session ends (a signal or the session manager): the same
    // take-down as Exit, at once and whatever runs. Asked for during
    // start-up, it follows the end of Form_Load.
    void EndSession();
    void cmdClose_Click();
    void cmdHide_Click();
    void LoadRecipientHistory();
    void SaveRecipientHistory();
    bool IsLowColor();
    bool IsSmallFonts(float& pScaleX, float& pScaleY);
    void tmrAdvertise_Timer();
    bool PaintSkin();

    // ---- reply entry, message hook, tray ----
    void DoReply(const std::string& pTo, const std::string& pCc, const std::string& pSubject,
                 int32_t pHwnd) override;
    void ShowImmediately(int32_t pHwnd) override;
    // The desktop's own activation (the menu entry of a running program),
    // with the activation token it handed over.
    void Activate(const std::string& pToken) override;
    void mnuFileSend_Click();
    void Subclass1_WndProc(int Msg, intptr_t wParam, intptr_t lParam, intptr_t& Result);
    void TrayCallback(int pMouseMessage);
    void tmrMessaging_Timer();
    void TrayAnimate(int pDirection, QWidget* pWindow);

    // ---- help and menu commands ----
    void mnuHelpContents_Click();
    void mnuHelpFAQ_Click();
    void mnuHelpAbout_Click();
    void cmdHelp_Click();
    void Form_KeyDown(int pKeyCode, int pShift);
    void gifLogo_Click();
    void gifZovid_Click();
    void mnuSpecial_Click();

    // ---- recording and playback ----
    void cmdRecord_Click();
    void cmdPlay_Click();
    void cmdStop_Click();
    void ShowMciError(uint32_t pCode, const std::string& pTitle);
    void tmrRecording_Timer();

    // ---- volume ----
    void InitVolumes();
    void OnVerticalScroll(intptr_t lParam);

    // ---- sending ----
    void cmdSend_Click();
    void m_CheckAddressList(std::string& pList, std::string& pBadEntry, int16_t& pResult);
    std::string ShortPathName(const std::string& pPath);
    void chkReturnReceipt_Click();
    void lblReturnReceipt_Click();
    void txtSubject_GotFocus();
    int16_t m_BuildPost(const std::string& pTo, const std::string& pCc, std::string& pSubject,
                        int pReturn, std::string& pMessageFile);
    void mSender_Done(const SenderDone& pDone);
    // Hands the posts a failed send or a crash left in the outbox to the sender.
    void SendWaitingPosts();

    // ---- recipients and options ----
    void cmdTo_Click();
    void cmdCC_Click();
    void cmbTo_Click();
    void cmbCc_Click();
    void cmdConfigure_Click();

    // ---- hover highlighting ----
    void tmrFocus_Timer();
    // The buttons that turn bold under the mouse, in the order the timer checks them.
    std::vector<cLabelButton*> HoverButtons() const;

    // ---- dragging by the title strip ----
    // Insets of the drag outline inside the window's frame (the top one is negative: above it).
    QMargins DragInsets() const;
    cWindowDrag* m_TitleDrag = nullptr; // owned by the window

    // ---- advertising ----
    void tsBannerAd_Click();
    void TsZeredButton1_Click();
    void TsZeredButton2_Click();

    // ---- controls (positions in pixels at 96 dpi, see Layout()) ----
    cAniGif* gifLogo = nullptr;
    QLabel* lblToolbar = nullptr;
    cLabelButton* cmdHelp = nullptr;
    cLabelButton* cmdClose = nullptr;
    cLabelButton* cmdRecord = nullptr;
    cLabelButton* cmdPlay = nullptr;
    cLabelButton* cmdStop = nullptr;
    cLabelButton* cmdSend = nullptr;
    cLabelButton* cmdHide = nullptr;
    cLabelButton* cmdTo = nullptr;
    cLabelButton* cmdCC = nullptr;
    QComboBox* cmbTo = nullptr;
    QComboBox* cmbCc = nullptr;
    QLabel* lblSubject = nullptr;
    QLineEdit* txtSubject = nullptr;
    QCheckBox* chkReturnReceipt = nullptr;
    QLabel* lblReturnReceipt = nullptr;
    cAniGif* gifZovid = nullptr;
    cAniGif* tsZeredButton1 = nullptr;
    cAniGif* tsZeredButton2 = nullptr;
    QLabel* lblMic = nullptr;
    QLabel* lblVol = nullptr;
    QLabel* lblStatus = nullptr;
    cLabelButton* cmdConfigure = nullptr;
    cAniGif* tsBannerAd = nullptr;
    QLabel* Picture1 = nullptr;
    QLabel* Picture2 = nullptr;

    QTimer tmrFocus;
    QTimer tmrRecording;
    QTimer tmrAdvertise;
    QTimer tmrMessaging;

    // The tray menu.
    QMenu* mnuFile = nullptr;
    QAction* mnuFileSend = nullptr;
    QAction* mnuSep1 = nullptr;
    QAction* mnuHelpContents = nullptr;
    QAction* mnuHelpFAQ = nullptr;
    QAction* mnuSep2 = nullptr;
    QAction* mnuSpecial = nullptr;
    QAction* mnuSep3 = nullptr;
    QAction* mnuHelpAbout = nullptr;
    QAction* mnuSep4 = nullptr;
    QAction* mnuFileExit = nullptr;
    std::string mnuSpecialTag;
    // True when the tray icon carries mnuFile and the desktop opens it.
    bool m_TrayShowsMenu = false;

    // ---- state shared across the window's parts ----
    std::string m_Mode;
    std::string m_NoRecipient = "<None>";
    bool m_SkinOk = false;
    std::unique_ptr<cSlider> m_InSlider;
    std::unique_ptr<cSlider> m_OutSlider;
    std::string m_RecordState;
    int32_t m_Elapsed = 0;
    int32_t m_RecordedLength = 0;
    std::string m_MciError;
    double m_NotifyTime = 0;
    bool m_BlinkInverted = false;
    std::unique_ptr<ISender> mSender;
    bool m_MixerOpen = false;
    // The token of the activation under way (empty when none was handed over).
    std::string m_ActivationToken;
    // The window's own message procedure behind the hook: gets every message but 277 and 1124.
    std::function<intptr_t(int, intptr_t, intptr_t)> m_WindowProc;
    QRegion m_WindowRegion;

    // The skin as designed and as shown (stretched on large-font displays).
    QPixmap m_Skin;
    QPixmap m_Background;

    const Services& Svc() const { return m_Services; }
    // Where the designed control rectangle lands on this display.
    QRect Design(int pLeft, int pTop, int pWidth, int pHeight) const;

protected:
    void paintEvent(QPaintEvent* pEvent) override;
    void closeEvent(QCloseEvent* pEvent) override;
    void keyPressEvent(QKeyEvent* pEvent) override;
    void contextMenuEvent(QContextMenuEvent* pEvent) override;
    bool eventFilter(QObject* pWatched, QEvent* pEvent) override;

private:
    void CreateControls();
    void Layout();
    void SetTexts();
    void TakeBookKinds();
    void ConnectHandlers();
    void PlaySound(const char* pRelative, int pMode);
    void Unload();
    void HideToTray();
    // Shows the window normal and in front, on every platform.
    void BringUp();
    // Sets the enabled state of the six transport buttons (-1 leaves one as it is).
    void SetButtons(int pRecord, int pPlay, int pStop, int pSend, int pClose, int pHide);
    void Refresh();
    // Ends the settings batch of start-up: its writes are lasting afterwards.
    void SettingsToDisk();

    Services m_Services;
    bool m_StartUpPending = false;
    bool m_FinishQueued = false;
    bool m_HiddenStart = false;
    bool m_ShowZovid = false;
    std::unique_ptr<QObject> m_FirstInput; // ends start-up at the first input
    std::string m_CommandLine;
    bool m_SecondCopy = false;
    bool m_Unloaded = false;
    // Form_Load is running: automation calls and a session end wait in
    // m_Waiting until it has finished, then run in the order they came.
    bool m_Starting = false;
    std::vector<std::function<void()>> m_Waiting;
    std::unique_ptr<cTimesink> m_Ads;
    QMenu* m_WindowMenu = nullptr; // the tray menu's entries on the window
};

// Lets pending window events run once.
void DoEvents();

} // namespace brisa
