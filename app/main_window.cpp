// Start-up, shut-down, the recipient history and hiding to the tray.
#include "app/main_window.h"

#include "ads/timesink.h"
#include "common/globals.h"
#include "common/utilities.h"
#include "language/translation.h"
#include "platform/codepage.h"
#include "platform/message_box.h"
#include "platform/picture_file.h"
#include "platform/preloaded_pictures.h"
#include "platform/mci.h"
#include "platform/program_folder.h"
#include "platform/regular_file.h"
#include "platform/sound.h"
#include "platform/system_info.h"
#include "platform/window_system.h"
#include "platform/tray.h"
#include "recording/slider.h"
#include "settings/registry.h"
#include "skin/anigif.h"
#include "skin/captions.h"
#include "skin/label_button.h"
#include "skin/window_drag.h"
#include "skin/window_shape.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPainter>
#include <QSaveFile>
#include <QShortcut>

#include <algorithm>
#include <cmath>
#include <filesystem>

namespace brisa {

namespace {

QString Q(const std::string& s) { return QString::fromStdString(s); }

// Sets a control's caption from the language table; a missing text leaves
// the designed caption in place.
template <typename W> void Caption(W* pControl, const char* pId) {
    if (const auto text = Tr(pId)) {
        if constexpr (std::is_same_v<W, cLabelButton>) pControl->SetCaption(Q(*text));
        else pControl->setText(Q(*text));
    }
}

void Tip(QWidget* pControl, const char* pId) {
    if (const auto text = Tr(pId)) {
        pControl->setToolTip(Q(*text));
        // A label button is named by its caption; its tip describes it.
        if (dynamic_cast<cLabelButton*>(pControl)) pControl->setAccessibleDescription(Q(*text));
        if (pControl->accessibleName().isEmpty() || !dynamic_cast<cLabelButton*>(pControl))
            if (!dynamic_cast<QLabel*>(pControl) || dynamic_cast<cAniGif*>(pControl))
                pControl->setAccessibleName(Q(*text));
    }
}

int Whole(double v) { return static_cast<int>(std::nearbyint(v)); }

// When the window shows no paint (no screen to paint on), the rest of
// start-up runs after this long all the same.
constexpr int kFinishStartUpLatestMs = 500;

// Watches every event of the program for the first one a user makes.
class FirstInputWatch : public QObject {
public:
    explicit FirstInputWatch(std::function<void()> pOnInput) : m_OnInput(std::move(pOnInput)) {}

protected:
    bool eventFilter(QObject*, QEvent* pEvent) override {
        switch (pEvent->type()) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonDblClick:
        case QEvent::KeyPress:
        case QEvent::Wheel:
        case QEvent::TouchBegin:
        case QEvent::ContextMenu:
        case QEvent::Shortcut:
            m_OnInput();
            break;
        default: break;
        }
        return false;
    }

private:
    std::function<void()> m_OnInput;
};

} // namespace

void DoEvents() { QCoreApplication::processEvents(); }

frmMM::frmMM(const Services& pServices, std::string pCommandLine, QWidget* pParent)
    : QWidget(pParent, Qt::Window | Qt::FramelessWindowHint), m_Services(pServices),
      m_CommandLine(TrimSpace(pCommandLine)), m_Ads(std::make_unique<cTimesink>(pServices.ads, this)) {
    setObjectName("frmMM");
    WindowSystem::PrepareShaped(this);
    setWindowTitle("BrisaMail");
    setAccessibleName("BrisaMail");
    m_InSlider = std::make_unique<cSlider>();
    m_OutSlider = std::make_unique<cSlider>();
    CreateControls();
    Layout();
    ConnectHandlers();
}

frmMM::~frmMM() {
    if (!m_Unloaded && !m_SecondCopy && gRegistry) {
        bool cancel = false;
        Form_Unload(cancel);
    }
    // The controls go with the base class, after this window's own part:
    // nothing they report on their way out may reach its handlers.
    for (QObject* child : findChildren<QObject*>()) child->disconnect(this);
    if (m_Services.tray) m_Services.tray->SetMenu(nullptr);
}

// ---- controls ---------------------------------------------------------------

void frmMM::CreateControls() {
    auto button = [this](const char* name, const char* caption) {
        auto* b = new cLabelButton(caption, this);
        b->setObjectName(name);
        return b;
    };
    auto label = [this](const char* name, const char* caption) {
        // No fixed accessible name: a label is announced by its current text.
        auto* l = new QLabel(caption, this);
        l->setObjectName(name);
        return l;
    };
    auto picture = [this](const char* name) {
        auto* g = new cAniGif(this);
        g->setObjectName(name);
        return g;
    };
    gifLogo = picture("gifLogo");
    lblToolbar = label("lblToolbar", "Label1");
    lblToolbar->setAlignment(Qt::AlignCenter);
    cmdHelp = button("cmdHelp", "?");
    cmdClose = button("cmdClose", "X");
    cmdRecord = button("cmdRecord", "Record");
    cmdPlay = button("cmdPlay", "Play");
    cmdStop = button("cmdStop", "Stop");
    cmdSend = button("cmdSend", "Send");
    cmdHide = button("cmdHide", "Close");
    cmdTo = button("cmdTo", "To >>");
    cmdCC = button("cmdCC", "Cc >>");
    cmbTo = new QComboBox(this);
    cmbTo->setObjectName("cmbTo");
    cmbTo->setEditable(true);
    cmbTo->setInsertPolicy(QComboBox::NoInsert);
    cmbTo->setAccessibleName("To");
    cmbCc = new QComboBox(this);
    cmbCc->setObjectName("cmbCc");
    cmbCc->setEditable(true);
    cmbCc->setInsertPolicy(QComboBox::NoInsert);
    cmbCc->setAccessibleName("Cc");
    lblSubject = label("lblSubject", "Subject:");
    lblSubject->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    txtSubject = new QLineEdit(this);
    txtSubject->setObjectName("txtSubject");
    txtSubject->setAccessibleName("Subject");
    chkReturnReceipt = new QCheckBox(this);
    chkReturnReceipt->setObjectName("chkReturnReceipt");
    chkReturnReceipt->setAccessibleName("Return receipt requested");
    lblReturnReceipt = label("lblReturnReceipt", "Return receipt requested");
    for (QLabel* white : {lblSubject, lblReturnReceipt}) {
        QPalette pal = white->palette();
        pal.setColor(QPalette::WindowText, Qt::white);
        white->setPalette(pal);
    }
    gifZovid = picture("gifZovid");
    tsZeredButton1 = picture("tsZeredButton1");
    tsZeredButton2 = picture("tsZeredButton2");
    lblMic = label("lblMic", "Mic");
    lblVol = label("lblVol", "Vol");
    lblMic->setAlignment(Qt::AlignCenter);
    lblVol->setAlignment(Qt::AlignCenter);
    lblStatus = label("lblStatus", "");
    lblStatus->setAlignment(Qt::AlignCenter);
    cmdConfigure = button("cmdConfigure", "Options");
    tsBannerAd = picture("tsBannerAd");
    // The pictures fill their frames: on a large-font display they are
    // stretched with the skin, so they stay inside the frames the skin
    // draws for them and their drawn backgrounds still match it.
    for (cAniGif* g : {gifLogo, gifZovid, tsZeredButton1, tsZeredButton2, tsBannerAd})
        g->setScaledContents(true);
    Picture1 = new QLabel(this);
    Picture1->setObjectName("Picture1");
    Picture1->hide();
    Picture2 = new QLabel(this);
    Picture2->setObjectName("Picture2");
    Picture2->hide();

    // Keyboard order follows the window from top to bottom.
    setTabOrder(cmdRecord, cmdPlay);
    setTabOrder(cmdPlay, cmdStop);
    setTabOrder(cmdStop, cmdSend);
    setTabOrder(cmdSend, cmdHide);
    setTabOrder(cmdHide, cmdTo);
    setTabOrder(cmdTo, cmbTo);
    setTabOrder(cmbTo, cmdCC);
    setTabOrder(cmdCC, cmbCc);
    setTabOrder(cmbCc, txtSubject);
    setTabOrder(txtSubject, chkReturnReceipt);
    setTabOrder(chkReturnReceipt, cmdConfigure);
    setTabOrder(cmdConfigure, cmdHelp);
    setTabOrder(cmdHelp, cmdClose);

    tmrFocus.setInterval(100);
    tmrRecording.setInterval(1000);
    tmrAdvertise.setInterval(1000);
    tmrMessaging.setInterval(1000);

    mnuFile = new QMenu(this);
    mnuFile->setObjectName("mnuFile");
    auto entry = [this](const char* name, const char* caption) {
        QAction* a = mnuFile->addAction(caption);
        a->setObjectName(name);
        return a;
    };
    auto separator = [this](const char* name) {
        QAction* a = mnuFile->addSeparator();
        a->setObjectName(name);
        return a;
    };
    mnuFileSend = entry("mnuFileSend", "Send a &BrisaMail!");
    mnuSep1 = separator("mnuSep1");
    mnuHelpContents = entry("mnuHelpContents", "Help &Contents");
    mnuHelpFAQ = entry("mnuHelpFAQ", "View the &BrisaMail FAQ");
    mnuSep2 = separator("mnuSep2");
    mnuSpecial = entry("mnuSpecial", "special");
    mnuSpecial->setVisible(false);
    mnuSep3 = separator("mnuSep3");
    mnuSep3->setVisible(false);
    mnuHelpAbout = entry("mnuHelpAbout", "&About BrisaMail");
    mnuSep4 = separator("mnuSep4");
    mnuFileExit = entry("mnuFileExit", "E&xit");
    // The same entries on the window itself, for desktops without a tray.
    m_WindowMenu = new QMenu(this);
    m_WindowMenu->setObjectName("mnuWindow");
    m_WindowMenu->addActions(mnuFile->actions());
}

QRect frmMM::Design(int pLeft, int pTop, int pWidth, int pHeight) const {
    const double sx = gLargeFonts ? gScaleX : 1.0;
    const double sy = gLargeFonts ? gScaleY : 1.0;
    return QRect(Whole(pLeft * sx), Whole(pTop * sy), Whole(pWidth * sx), Whole(pHeight * sy));
}

void frmMM::Layout() {
    QFont f = font();
    f.setPointSizeF(WindowPointSize(this));
    setFont(f);
    setFixedSize(Design(0, 0, 577, 324).size());
    gifLogo->setGeometry(Design(22, 4, 47, 45));
    lblToolbar->setGeometry(Design(184, 2, 271, 17));
    cmdHelp->setGeometry(Design(530, 4, 15, 13));
    cmdClose->setGeometry(Design(550, 4, 15, 13));
    cmdRecord->setGeometry(Design(10, 68, 71, 13));
    cmdPlay->setGeometry(Design(10, 100, 71, 13));
    cmdStop->setGeometry(Design(10, 132, 71, 13));
    cmdSend->setGeometry(Design(10, 164, 71, 13));
    cmdHide->setGeometry(Design(10, 196, 71, 13));
    cmdTo->setGeometry(Design(104, 84, 41, 13));
    cmdCC->setGeometry(Design(104, 108, 41, 13));
    cmbTo->setGeometry(Design(152, 78, 329, 21));
    cmbCc->setGeometry(Design(152, 102, 329, 21));
    lblSubject->setGeometry(Design(88, 128, 59, 17));
    txtSubject->setGeometry(Design(152, 126, 329, 21));
    chkReturnReceipt->setGeometry(Design(152, 154, 13, 13));
    lblReturnReceipt->setGeometry(Design(168, 154, 207, 17));
    gifZovid->setGeometry(Design(392, 154, 88, 31));
    tsZeredButton1->setGeometry(Design(496, 114, 55, 25));
    tsZeredButton2->setGeometry(Design(496, 150, 55, 25));
    // The slider captions are centred under their sliders, as wide as the
    // volume panel lets them be, so that "Mic", "Vol" and their
    // translations show whole.
    lblMic->setGeometry(Design(509, 74, 26, 17));
    lblVol->setGeometry(Design(537, 74, 26, 17));
    lblStatus->setGeometry(Design(118, 194, 353, 17));
    cmdConfigure->setGeometry(Design(476, 194, 87, 13));
    tsBannerAd->setGeometry(Design(50, 244, 468, 60));
}

void frmMM::SetTexts() {
    Caption(lblStatus, "mm0036");
    if (auto t = Tr("mm0053")) mnuFileSend->setText(Q(*t));
    if (auto t = Tr("mm0054")) mnuHelpContents->setText(Q(*t));
    if (auto t = Tr("mm0055")) mnuHelpFAQ->setText(Q(*t));
    if (auto t = Tr("mm0056")) mnuHelpAbout->setText(Q(*t));
    if (auto t = Tr("mm0057")) mnuFileExit->setText(Q(*t));
    struct ButtonText {
        cLabelButton* control;
        const char* caption;
        const char* tip;
    };
    for (const ButtonText& b : {ButtonText{cmdConfigure, "mm0062", "mm0037"},
                                ButtonText{cmdRecord, "mm0063", "mm0038"},
                                ButtonText{cmdPlay, "mm0064", "mm0039"},
                                ButtonText{cmdStop, "mm0065", "mm0040"},
                                ButtonText{cmdSend, "mm0066", "mm0041"},
                                ButtonText{cmdClose, "mm0067", "mm0042"},
                                ButtonText{cmdHide, "mm0075", "mm0076"},
                                ButtonText{cmdTo, "mm0060", "mm0043"},
                                ButtonText{cmdCC, "mm0061", "mm0044"},
                                ButtonText{cmdHelp, "mm0073", "mm0074"}}) {
        Caption(b.control, b.caption);
        Tip(b.control, b.tip);
    }
    Tip(cmbTo, "mm0045");
    Tip(cmbCc, "mm0046");
    Tip(txtSubject, "mm0047");
    Caption(lblSubject, "mm0068");
    Tip(chkReturnReceipt, "mm0048");
    Caption(lblReturnReceipt, "mm0069");
    Caption(lblMic, "mm0070");
    Caption(lblVol, "mm0071");
    Tip(gifLogo, "mm0072");
    // The boxes are named by the captions shown beside them, in the user's
    // language; their tips describe them.
    const auto named = [](QWidget* pBox, QString pCaption) {
        pCaption.remove(QStringLiteral(">>"));
        if (pCaption.endsWith(':')) pCaption.chop(1);
        pBox->setAccessibleDescription(pBox->toolTip());
        pBox->setAccessibleName(pCaption.trimmed());
    };
    named(cmbTo, cmdTo->Caption());
    named(cmbCc, cmdCC->Caption());
    named(txtSubject, lblSubject->text());
    named(chkReturnReceipt, lblReturnReceipt->text());
}

void frmMM::TakeBookKinds() {
    if (auto t = Tr("opt0005")) gBookKinds.addrBkLst = *t;
    if (auto t = Tr("opt0006")) gBookKinds.wab = *t;
    if (auto t = Tr("opt0007")) gBookKinds.pst = *t;
    if (auto t = Tr("opt0008")) gBookKinds.nab = *t;
    if (auto t = Tr("opt0035")) gBookKinds.ldif = *t;
    if (auto t = Tr("opt0009")) gBookKinds.nndbase = *t;
}

void frmMM::ConnectHandlers() {
    connect(cmdRecord, &cLabelButton::clicked, this, [this] { cmdRecord_Click(); });
    connect(cmdPlay, &cLabelButton::clicked, this, [this] { cmdPlay_Click(); });
    connect(cmdStop, &cLabelButton::clicked, this, [this] { cmdStop_Click(); });
    connect(cmdSend, &cLabelButton::clicked, this, [this] { cmdSend_Click(); });
    connect(cmdHide, &cLabelButton::clicked, this, [this] { cmdHide_Click(); });
    connect(cmdClose, &cLabelButton::clicked, this, [this] { cmdClose_Click(); });
    connect(cmdHelp, &cLabelButton::clicked, this, [this] { cmdHelp_Click(); });
    connect(cmdConfigure, &cLabelButton::clicked, this, [this] { cmdConfigure_Click(); });
    connect(cmdTo, &cLabelButton::clicked, this, [this] { cmdTo_Click(); });
    connect(cmdCC, &cLabelButton::clicked, this, [this] { cmdCC_Click(); });
    connect(cmbTo, QOverload<int>::of(&QComboBox::activated), this, [this](int) { cmbTo_Click(); });
    connect(cmbCc, QOverload<int>::of(&QComboBox::activated), this, [this](int) { cmbCc_Click(); });
    connect(chkReturnReceipt, &QCheckBox::clicked, this, [this] { chkReturnReceipt_Click(); });
    connect(gifLogo, &cAniGif::clicked, this, [this] { gifLogo_Click(); });
    connect(gifZovid, &cAniGif::clicked, this, [this] { gifZovid_Click(); });
    connect(tsBannerAd, &cAniGif::clicked, this, [this] { tsBannerAd_Click(); });
    connect(tsZeredButton1, &cAniGif::clicked, this, [this] { TsZeredButton1_Click(); });
    connect(tsZeredButton2, &cAniGif::clicked, this, [this] { TsZeredButton2_Click(); });
    connect(&tmrFocus, &QTimer::timeout, this, [this] { tmrFocus_Timer(); });
    connect(&tmrRecording, &QTimer::timeout, this, [this] { tmrRecording_Timer(); });
    connect(&tmrAdvertise, &QTimer::timeout, this, [this] { tmrAdvertise_Timer(); });
    connect(&tmrMessaging, &QTimer::timeout, this, [this] { tmrMessaging_Timer(); });
    connect(mnuFileSend, &QAction::triggered, this, [this] { mnuFileSend_Click(); });
    connect(mnuHelpContents, &QAction::triggered, this, [this] { mnuHelpContents_Click(); });
    connect(mnuHelpFAQ, &QAction::triggered, this, [this] { mnuHelpFAQ_Click(); });
    connect(mnuHelpAbout, &QAction::triggered, this, [this] { mnuHelpAbout_Click(); });
    connect(mnuSpecial, &QAction::triggered, this, [this] { mnuSpecial_Click(); });
    connect(mnuFileExit, &QAction::triggered, this, [this] { mnuFileExit_Click(); });
    lblReturnReceipt->installEventFilter(this);
    txtSubject->installEventFilter(this);
    // Hover highlighting: a button under the mouse turns bold until tmrFocus sees the mouse leave.
    for (cLabelButton* b : HoverButtons()) WatchHover(b, tmrFocus);
    // The window is dragged by its title strip.
    m_TitleDrag = new cWindowDrag(this, lblToolbar, [this] { return DragInsets(); });
    // Keyboard shortcuts for the transport buttons: each does what a click
    // does, and only while its button is enabled.
    struct Shortcut {
        QKeySequence keys;
        cLabelButton* button;
    };
    for (const Shortcut& s : {Shortcut{QKeySequence(Qt::CTRL | Qt::Key_R), cmdRecord},
                              Shortcut{QKeySequence(Qt::CTRL | Qt::Key_P), cmdPlay},
                              Shortcut{QKeySequence(Qt::CTRL | Qt::Key_Period), cmdStop},
                              Shortcut{QKeySequence(Qt::CTRL | Qt::Key_Return), cmdSend},
                              Shortcut{QKeySequence(Qt::CTRL | Qt::Key_Enter), cmdSend}}) {
        auto* shortcut = new QShortcut(s.keys, this);
        cLabelButton* button = s.button;
        connect(shortcut, &QShortcut::activated, this, [button] { button->Click(); });
    }
}

std::vector<cLabelButton*> frmMM::HoverButtons() const {
    return {cmdRecord, cmdPlay, cmdStop, cmdSend, cmdHide, cmdConfigure, cmdTo, cmdCC, cmdHelp, cmdClose};
}

QMargins frmMM::DragInsets() const {
    // 5 pixels inside on the left, right and bottom; the top 4 pixels above
    // the client area (the frame's height above it counts in).
    const int frame = frameGeometry().height() - height();
    return QMargins(5, -4 + frame, 5, 5);
}

bool frmMM::eventFilter(QObject* pWatched, QEvent* pEvent) {
    if (pWatched == lblReturnReceipt && pEvent->type() == QEvent::MouseButtonRelease) {
        lblReturnReceipt_Click();
        return true;
    }
    if (pWatched == txtSubject && pEvent->type() == QEvent::FocusIn) {
        const bool handled = QWidget::eventFilter(pWatched, pEvent);
        // Select after the box has taken the focus (its own handling comes first).
        QTimer::singleShot(0, this, [this] { txtSubject_GotFocus(); });
        return handled;
    }
    return QWidget::eventFilter(pWatched, pEvent);
}

void frmMM::PlaySound(const char* pRelative, int pMode) {
    if (m_Services.sound) m_Services.sound->Play(ProgramPath(pRelative), pMode);
}

void frmMM::SetButtons(int pRecord, int pPlay, int pStop, int pSend, int pClose, int pHide) {
    auto set = [](cLabelButton* b, int on) {
        if (on >= 0) b->setEnabled(on != 0);
    };
    set(cmdRecord, pRecord);
    set(cmdPlay, pPlay);
    set(cmdStop, pStop);
    set(cmdSend, pSend);
    set(cmdClose, pClose);
    set(cmdHide, pHide);
}

void frmMM::Refresh() {
    update();
    repaint();
}

// ---- display checks -----------------------------------------------------------

bool frmMM::IsLowColor() {
    return m_Services.system && m_Services.system->BitsPerPixel() < 9;
}

bool frmMM::IsSmallFonts(float& pScaleX, float& pScaleY) {
    if (!m_Services.system) return true;
    const int x = m_Services.system->LogPixelsX();
    const int y = m_Services.system->LogPixelsY();
    pScaleX = static_cast<float>(x / 96.0);
    pScaleY = static_cast<float>(y / 96.0);
    return y == 96;
}

bool frmMM::PaintSkin() {
    // Picture2 holds the skin as designed, Picture1 takes it stretched to the
    // window's client area. The stretch happens in memory, so nothing is
    // written to the program folder. A missing or unreadable skin file left
    // the skin empty: that is a failure, and the boxes stay as they are.
    if (m_Skin.isNull()) return false;
    Picture2->setPixmap(m_Skin);
    Picture2->resize(m_Skin.size());
    Picture2->show();
    Picture1->resize(size());
    Picture1->show();
    const QPixmap stretched = StretchSkin(m_Skin, Picture1->size());
    if (stretched.isNull()) return false;
    m_Background = stretched;
    for (QLabel* picture : {Picture1, Picture2}) {
        picture->clear();
        picture->hide();
    }
    return true;
}

// ---- start-up -------------------------------------------------------------------

void frmMM::Form_Load() {
    // 1. One copy per session: a second copy ends here, before it touches
    //    any file or setting.
    if (m_Services.instance && !m_Services.instance->Claim()) {
        m_SecondCopy = true;
        return;
    }
    // Calls from other programs are taken from now on; they wait for the
    // end of start-up (a display warning lets events run meanwhile).
    m_Starting = true;
    if (m_Services.instance) m_Services.instance->SetTarget(this);

    // 2. Left-over recordings.
    {
        QDir folder(Q(ProgramFolder()));
        const auto names = folder.entryList({"in*.wav"}, QDir::Files | QDir::Hidden | QDir::System,
                                            QDir::Name | QDir::IgnoreCase);
        for (const QString& name : names) folder.remove(name);
    }

    // 3.-4. The settings store. The settings start-up writes reach the disk
    // together, in one replace of the file, before anything can be acted on
    // (a message box below, or the window).
    m_Mode = "Initializing";
    if (m_Services.registry) m_Services.registry->BeginBatch();
    delete gRegistry;
    gRegistry = new cRegistry(*m_Services.registry, m_Services.autostart);
    gRegistry->VerifyRegistry();

    // The window's designed skin.
    {
        const std::string skin = ProgramPath(kSkinFile);
        QImage picture = m_Services.preloaded ? m_Services.preloaded->Take(skin) : QImage();
        if (picture.isNull()) picture = ReadPictureFile(skin);
        m_Skin = QPixmap::fromImage(std::move(picture));
    }
    m_Background = m_Skin;

    // 5. Colour check.
    if (IsLowColor()) {
        if (gRegistry->LowResVideoWarning() != "1") { // unset on a first run
            SettingsToDisk();
            if (m_Services.messageBox)
                m_Services.messageBox->Show(
                    "This program's appearance looks best when using at least 16 bit color.  To "
                    "change, right-mouse click on your desktop, go to settings and select a "
                    "different color palette.",
                    "8 Bit Color Detected", vbInformation | vbOKOnly);
            gRegistry->LowResVideoWarning("1");
        }
    } else {
        gRegistry->LowResVideoWarning("0");
    }

    // 6. Font check and the large-font layout.
    if (IsSmallFonts(gScaleX, gScaleY)) {
        gRegistry->LargeFontWarning("0");
        gLargeFonts = false;
    } else {
        if (gRegistry->LargeFontWarning() != "1") { // unset on a first run
            SettingsToDisk();
            if (m_Services.messageBox)
                m_Services.messageBox->Show(
                    "This program's appearance looks best when using small system fonts.  To "
                    "change, right-mouse click on your desktop, go to settings and select small "
                    "fonts.",
                    "Large Fonts Detected", vbInformation | vbOKOnly);
            gRegistry->LargeFontWarning("1");
        }
        gLargeFonts = true;
        Layout();
        Picture1->move(width(), height());
        Picture2->move(width(), height());
        if (PaintSkin()) {
            m_SkinOk = true;
            const QRect r = chkReturnReceipt->geometry();
            chkReturnReceipt->resize(Whole(r.width() / gScaleX), Whole(r.height() / gScaleY));
        } else {
            m_SkinOk = false;
            m_Background = QPixmap();
            QPalette pal = lblStatus->palette();
            pal.setColor(QPalette::WindowText, QColor(0, 128, 0));
            lblStatus->setPalette(pal);
            // The white labels stood on the skin's dark panel; on the plain
            // background they take the normal text colour, or they could
            // not be read.
            for (QLabel* label : {lblSubject, lblReturnReceipt}) {
                QPalette plain = label->palette();
                plain.setColor(QPalette::WindowText, palette().color(QPalette::WindowText));
                label->setPalette(plain);
            }
        }
    }

    // 7.-8. Texts.
    LoadLanguage(*m_Services.system, ProgramFolder());
    if (auto t = Tr("mm0002")) m_NoRecipient = *t;

    // 9. The logo rests on its first picture until a recording starts.
    gifLogo->Stop();
    gifLogo->LoadFile(ProgramPath("/logo.gif"));

    // 10. Start mode.
    const bool hiddenStart = EqualsNoCase(m_CommandLine, "1");
    if (hiddenStart) {
        setVisible(false);
    } else if (gRegistry->Autorun() != "1") {
        gRegistry->Autorun("0");
        gRegistry->SetRunAtInitialization("");
    }

    // 11.
    gConnectTo = gRegistry->ConnectTo();

    // 12. The volume sliders: their corners follow the display, their size does not.
    {
        const double sx = gLargeFonts ? gScaleX : 1.0;
        const double sy = gLargeFonts ? gScaleY : 1.0;
        m_InSlider->Parent(this);
        m_InSlider->Create(514 * sx, 26 * sy, 16, 47, true);
        m_OutSlider->Parent(this);
        m_OutSlider->Create(542 * sx, 26 * sy, 16, 47, true);
        if (auto t = Tr("mm0070")) m_InSlider->GetTracBarHwnd()->setAccessibleName(Q(*t));
        if (auto t = Tr("mm0071")) m_OutSlider->GetTracBarHwnd()->setAccessibleName(Q(*t));
    }

    // 13.-15.
    SetTexts();
    FitCaptions(this);
    TakeBookKinds();
    cmdRecord->setEnabled(true);
    cmdClose->setEnabled(true);
    cmdHide->setEnabled(true);
    cmdPlay->setEnabled(false);
    cmdStop->setEnabled(false);
    cmdSend->setEnabled(false);

    // 16. (17. and 18., the mixer and the start sound, wait until the
    // window is up: see FinishStartUp().)
    LoadRecipientHistory();

    // 19. Outline and title.
    m_WindowRegion = MakeWindowShape(this);
    SetTitleStrip(lblToolbar, "BrisaMail");
    setWindowTitle("BrisaMail");

    // 20. The outbox holds the messages waiting to go: its owner's alone,
    //     also one an earlier version left open to others.
    {
        const std::string outbox = ProgramPath("/outbox");
        const auto ownerOnly = QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner;
        if (!FolderExists(outbox))
            QDir().mkdir(Q(outbox), ownerOnly);
        else if (QFile::permissions(Q(outbox)) & (QFile::ReadGroup | QFile::WriteGroup | QFile::ExeGroup |
                                                    QFile::ReadOther | QFile::WriteOther | QFile::ExeOther))
            QFile::setPermissions(Q(outbox), ownerOnly);
    }

    // 21. The tray icon.
    if (m_Services.tray) {
        m_Services.tray->SetCallback([this](int mouse) {
            intptr_t result = 0;
            Subclass1_WndProc(WM_TRAYNOTIFY, 0, mouse, result);
        });
        std::string tip = "BrisaMail";
        if (auto t = Tr("mm0001")) tip = *t;
        // The tip field holds 63 bytes; a character is never cut in two.
        size_t length = std::min<size_t>(tip.size(), 63);
        while (length > 0 && length < tip.size() && (static_cast<unsigned char>(tip[length]) & 0xC0) == 0x80)
            --length;
        // The desktop opens the menu at the icon itself where it can.
        m_TrayShowsMenu = m_Services.tray->SetMenu(mnuFile);
        m_Services.tray->Add("ID_NORMAL", tip.substr(0, length));
    }

    // 22. Deliver the slider notifications.
    for (cSlider* slider : {m_InSlider.get(), m_OutSlider.get()}) {
        connect(slider, &cSlider::scrolled, this, [this](QSlider* bar) {
            intptr_t result = 0;
            Subclass1_WndProc(WM_VSCROLL, 0, reinterpret_cast<intptr_t>(bar), result);
        });
    }

    // 23.-24. The banner and the partner picture take their places; their
    // pictures follow once the window is up.
    tsBannerAd->Stop();
    m_ShowZovid = gRegistry->ShowZovid();
    if (m_ShowZovid) {
        gifZovid->Stop();
    } else {
        gifZovid->move(width(), height());
        gifZovid->hide();
    }

    // 26. The tray blinks at the caret's pace.
    {
        const int blink = m_Services.system ? m_Services.system->CaretBlinkTime() : 0;
        tmrMessaging.setInterval(blink > 0 ? blink : 1000);
    }

    // 27. The settings go to the disk while the window shows; they are there
    // before it can be used (FinishStartUp()).
    if (m_Services.registry) m_Services.registry->CommitBatchInBackground();
    m_HiddenStart = hiddenStart;
    m_StartUpPending = true;
    // The rest of start-up runs once the window has been painted (see
    // paintEvent()), and at the latest when the user or another program
    // first reaches the window.
    m_FirstInput = std::make_unique<FirstInputWatch>([this] { FinishStartUp(); });
    QCoreApplication::instance()->installEventFilter(m_FirstInput.get());
    // Without a notification area a hidden start would leave the program
    // unreachable: it starts minimised instead.
    if (!hiddenStart) show();
    else if (m_Services.tray && !m_Services.tray->Available()) showMinimized();
    if (hiddenStart) QTimer::singleShot(0, this, [this] { FinishStartUp(); });
    QTimer::singleShot(kFinishStartUpLatestMs, this, [this] { FinishStartUp(); });
    // Calls that came during a display warning need the whole start-up now.
    if (!m_Waiting.empty()) FinishStartUp();
}

void frmMM::SettingsToDisk() {
    if (m_Services.registry) m_Services.registry->CommitBatch();
}

void frmMM::FinishStartUp() {
    if (!m_StartUpPending) return;
    m_StartUpPending = false;
    QCoreApplication::instance()->removeEventFilter(m_FirstInput.get());
    if (m_Services.registry) m_Services.registry->Settle();

    // 17.
    InitVolumes();

    // 18.
    if (!m_HiddenStart) PlaySound("/sounds/start.wav", SND_ASYNC);

    // 23. The banner.
    if (tsBannerAd->LoadFile(TranslatedPicture("/brisa_banner.gif"))) tsBannerAd->Start();

    // 24. The partner picture.
    if (m_ShowZovid && gifZovid->LoadFile(TranslatedPicture("/zovid.gif"))) gifZovid->Start();

    // 25. Advertising.
    if (m_Ads->AdInit()) {
        if (m_Ads->AdCreateLocations()) {
            tsBannerAd->Tag.clear();
            tmrAdvertise.setInterval(1000);
            tmrAdvertise.start();
        } else {
            m_Ads->AdShutdown();
        }
    }

    // 28.
    m_Mode = "";
    SendWaitingPosts();

    m_Starting = false;
    const std::vector<std::function<void()>> waiting = std::move(m_Waiting);
    m_Waiting.clear();
    for (const auto& call : waiting) call();
}

// ---- recipient history ------------------------------------------------------------

void frmMM::LoadRecipientHistory() {
    std::string bytes;
    if (ReadRegularFile(ProgramPath("/Tos.txt"), bytes) == FileRead::Read) {
        const std::string text = Cp1252ToUtf8(bytes);
        size_t start = 0;
        while (start < text.size()) {
            size_t end = text.find('\n', start);
            if (end == std::string::npos) end = text.size();
            std::string line = text.substr(start, end - start);
            start = end + 1;
            if (!line.empty() && line.back() == '\r') line.pop_back();
            if (TrimSpace(line).empty()) continue;
            cmbTo->addItem(Q(line));
            cmbCc->addItem(Q(line));
        }
    }
    if (cmbTo->count() == 0) cmbTo->addItem(Q(m_NoRecipient));
    cmbTo->setCurrentIndex(0);
    cmbCc->insertItem(0, Q(m_NoRecipient));
    cmbCc->setCurrentIndex(0);
}

void frmMM::SaveRecipientHistory() {
    std::string bytes;
    for (int i = 0; i < cmbTo->count() && i <= 16; ++i) {
        const std::string entry = cmbTo->itemText(i).toStdString();
        if (EqualsNoCase(entry, m_NoRecipient)) continue;
        bytes += Utf8ToCp1252(TrimBlanks(entry)) + "\r\n";
    }
    // A history as it is on the disk already (and private) is not written
    // again; nor is an empty one where there is no file (it reads the same).
    const std::string path = ProgramPath("/Tos.txt");
    {
        namespace fs = std::filesystem;
        std::error_code error;
        const fs::file_status there = fs::symlink_status(path, error);
        std::string held;
        if (there.type() == fs::file_type::not_found ? bytes.empty()
                                                     : (fs::is_regular_file(there) &&
                                                        (there.permissions() & (fs::perms::group_all | fs::perms::others_all)) ==
                                                            fs::perms::none &&
                                                        ReadRegularFile(path, held) == FileRead::Read && held == bytes))
            return;
    }
    // Written whole under a temporary name, so a failed write never loses
    // the history that was there.
    QSaveFile file(Q(path));
    if (!file.open(QIODevice::WriteOnly)) return;
    // The people the user writes to are nobody else's business.
    file.setPermissions(QFile::ReadOwner | QFile::WriteOwner);
    file.write(bytes.data(), static_cast<qint64>(bytes.size()));
    file.commit();
}

// ---- hiding and exit ------------------------------------------------------------------

void frmMM::HideToTray() {
    TrayAnimate(1, this);
    // Without a notification area the window only goes to the task bar, so
    // the program never becomes unreachable.
    if (m_Services.tray && !m_Services.tray->Available()) showMinimized();
    else hide();
}

void frmMM::cmdClose_Click() {
    m_Ads->AdHideAll();
    PlaySound("/sounds/exit.wav", SND_ASYNC);
    HideToTray();
}

void frmMM::cmdHide_Click() { cmdClose_Click(); }

void frmMM::mnuFileExit_Click() {
    if (!m_Mode.empty()) return;
    PlaySound("/sounds/exit.wav", SND_SYNC);
    m_Mode = "Terminating";
    tmrAdvertise.setInterval(100);
    tmrAdvertise.start();
}

void frmMM::EndSession() {
    if (m_Unloaded || m_SecondCopy) return;
    // While Form_Load runs (a display warning lets events run) the session
    // end waits for it; what start-up had left for later is then dropped.
    if (m_Starting && !m_StartUpPending) {
        m_Waiting.push_back([this] { EndSession(); });
        return;
    }
    // A secondary window is cancelled first; its caller finishes, then the
    // take-down follows.
    if (QWidget* modal = QApplication::activeModalWidget(); modal && modal != this) {
        modal->close();
        QTimer::singleShot(0, this, [this] { EndSession(); });
        return;
    }
    m_Mode = "Terminating";
    if (m_Services.mci) m_Services.mci->Send("close brisamsg");
    tmrAdvertise.stop();
    hide();
    Unload();
}

void frmMM::tmrAdvertise_Timer() {
    if (EqualsNoCase(m_Mode, "Terminating")) {
        if (m_Services.mci) m_Services.mci->Send("close brisamsg");
        tmrAdvertise.stop();
        TrayAnimate(1, this);
        hide();
        Unload();
        return;
    }
    if (tsBannerAd->Tag.empty()) m_Ads->Progress();
}

void frmMM::Unload() {
    if (m_Unloaded) return;
    bool cancel = false;
    Form_Unload(cancel);
    QCoreApplication::quit();
}

void frmMM::Form_Unload(bool& Cancel) {
    Cancel = false;
    if (m_Unloaded) return;
    m_Unloaded = true;
    // A program that ends before its start-up had finished leaves the rest
    // undone; the volumes it never set stay as they are stored.
    const bool volumesSet = !m_StartUpPending;
    if (m_Services.registry) m_Services.registry->Settle();
    if (m_StartUpPending) {
        m_StartUpPending = false;
        m_Starting = false;
        QCoreApplication::instance()->removeEventFilter(m_FirstInput.get());
    }
    m_Ads->AdShutdown();
    if (m_Services.tray) {
        m_Services.tray->Remove();
        m_Services.tray->SetCallback(nullptr);
    }
    if (m_Services.instance) m_Services.instance->SetTarget(nullptr);
    for (cSlider* slider : {m_InSlider.get(), m_OutSlider.get()}) disconnect(slider, nullptr, this, nullptr);
    tmrMessaging.stop();
    tmrRecording.stop();
    tmrAdvertise.stop();
    tmrFocus.stop();
    if (gRegistry && volumesSet) {
        if (m_InSlider->IsEnabled())
            gRegistry->InVolume(std::to_string(std::abs(static_cast<long>(m_InSlider->GetTracBarPos()))));
        if (m_OutSlider->IsEnabled())
            gRegistry->OutVolume(std::to_string(std::abs(static_cast<long>(m_OutSlider->GetTracBarPos()))));
    }
    SaveRecipientHistory();
    m_WindowRegion = QRegion();
    Translation.Clear();
    delete gRegistry;
    gRegistry = nullptr;
}

// ---- window events ------------------------------------------------------------------

void frmMM::closeEvent(QCloseEvent* pEvent) {
    if (m_Unloaded || m_SecondCopy) {
        pEvent->accept();
        return;
    }
    // Closing the window sends it to the tray; Exit ends the program.
    pEvent->ignore();
    cmdClose_Click();
}

void frmMM::keyPressEvent(QKeyEvent* pEvent) {
    if (pEvent->key() == Qt::Key_F1) {
        Form_KeyDown(112, 0);
        return;
    }
    QWidget::keyPressEvent(pEvent);
}

void frmMM::contextMenuEvent(QContextMenuEvent* pEvent) {
    // The tray menu is also offered on the window, for desktops without a
    // notification area; the window shows, so Send is left out.
    mnuFileSend->setVisible(false);
    mnuSep1->setVisible(false);
    m_WindowMenu->setDefaultAction(mnuHelpContents);
    m_WindowMenu->popup(pEvent->globalPos());
}

void frmMM::paintEvent(QPaintEvent*) {
    // The window is on the screen: the rest of start-up follows as soon as
    // this paint has reached it.
    if (m_StartUpPending && !m_FinishQueued) {
        m_FinishQueued = true;
        QTimer::singleShot(0, this, [this] { FinishStartUp(); });
    }
    QPainter p(this);
    // Nothing is painted outside the outline (see WindowSystem::PrepareShaped).
    if (!m_WindowRegion.isEmpty()) p.setClipRegion(m_WindowRegion);
    if (!m_Background.isNull()) p.drawPixmap(0, 0, m_Background);
    else p.fillRect(rect(), palette().color(QPalette::Window));
    DrawBevel(p, cmdHelp->geometry());
    DrawBevel(p, cmdClose->geometry());
    if (gLargeFonts && !m_SkinOk) {
        for (QWidget* w : std::initializer_list<QWidget*>{cmdRecord, cmdPlay, cmdStop, cmdSend, cmdHide,
                                                          cmdConfigure, cmdTo, cmdCC})
            DrawBevel(p, w->geometry());
    }
    const bool skinInUse = !gLargeFonts || m_SkinOk;
    if (skinInUse && gRegistry) {
        if (gRegistry->ShowZered()) {
            DrawBevel(p, tsZeredButton1->geometry());
            DrawBevel(p, tsZeredButton2->geometry());
        }
        if (gRegistry->ShowZovid()) DrawBevel(p, gifZovid->geometry());
    }
    // The advertising library draws its locations.
    m_Ads->AdDraw();
}

} // namespace brisa
