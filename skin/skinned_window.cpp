#include "skin/skinned_window.h"

#include "common/globals.h"
#include "common/utilities.h"
#include "platform/picture_file.h"
#include "platform/program_folder.h"
#include "platform/services.h"
#include "platform/shell.h"
#include "platform/window_system.h"
#include "platform/sound.h"
#include "skin/captions.h"
#include "skin/label_button.h"
#include "skin/window_drag.h"
#include "skin/window_shape.h"

#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QScreen>

#include <cmath>

namespace brisa {

cSkinnedWindow::cSkinnedWindow(const char* pName, QSize pDesignSize, std::string pSkin, QWidget* pParent)
    : QWidget(pParent, Qt::Window | Qt::FramelessWindowHint), m_SkinFile(std::move(pSkin)),
      m_DesignSize(pDesignSize) {
    setObjectName(pName);
    WindowSystem::PrepareShaped(this);
    QFont f = font();
    f.setPointSizeF(WindowPointSize(this));
    setFont(f);
    setFixedSize(Design(0, 0, pDesignSize.width(), pDesignSize.height()).size());
    lblToolbar = new QLabel(this);
    lblToolbar->setObjectName("lblToolbar");
    lblToolbar->setAlignment(Qt::AlignCenter);
    m_Drag = new cWindowDrag(this, lblToolbar, [this] { return DragInsets(); });
    tmrFocus.setInterval(100);
    connect(&tmrFocus, &QTimer::timeout, this, [this] { tmrFocus_Timer(); });
}

cSkinnedWindow::~cSkinnedWindow() = default;

QRect cSkinnedWindow::Design(int pLeft, int pTop, int pWidth, int pHeight) const {
    const double sx = gLargeFonts ? gScaleX : 1.0;
    const double sy = gLargeFonts ? gScaleY : 1.0;
    auto whole = [](double v) { return static_cast<int>(std::nearbyint(v)); };
    return QRect(whole(pLeft * sx), whole(pTop * sy), whole(pWidth * sx), whole(pHeight * sy));
}

cLabelButton* cSkinnedWindow::AddButton(const char* pName, const QString& pCaption, QRect pDesign) {
    auto* b = new cLabelButton(pCaption, this);
    b->setObjectName(pName);
    b->setGeometry(Design(pDesign.x(), pDesign.y(), pDesign.width(), pDesign.height()));
    m_HoverButtons.push_back(b);
    WatchHover(b, tmrFocus);
    return b;
}

bool cSkinnedWindow::PrepareSkin() {
    // A missing or unreadable file leaves the skin empty.
    m_Skin = QPixmap::fromImage(ReadPictureFile(ProgramPath(m_SkinFile)));
    m_Background = m_Skin;
    m_SkinOk = true;
    if (!gLargeFonts) return true;
    m_SkinOk = PaintSkin();
    // Without a stretched skin the window keeps a plain background and its
    // buttons get bevels instead.
    if (!m_SkinOk) m_Background = QPixmap();
    return m_SkinOk;
}

bool cSkinnedWindow::PaintSkin() {
    // Stretched in memory: nothing is written to the program folder.
    const QPixmap stretched = StretchSkin(m_Skin, size());
    if (stretched.isNull()) return false;
    m_Background = stretched;
    return true;
}

void cSkinnedWindow::ShapeAndTitle(const QString& pTitle) {
    m_WindowRegion = MakeWindowShape(this);
    SetTitleStrip(lblToolbar, pTitle);
    setWindowTitle(pTitle);
    setAccessibleName(pTitle);
}

void cSkinnedWindow::MoveOutOfSight() {
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (screen) move(screen->geometry().width(), screen->geometry().height());
    m_WindowRegion = QRegion();
}

void cSkinnedWindow::tmrFocus_Timer() {
    HoverTick(tmrFocus, m_HoverButtons);
}

void cSkinnedWindow::paintEvent(QPaintEvent*) {
    QPainter p(this);
    // Nothing is painted outside the outline, so the desktop shows there
    // where the outline does not cut the window itself.
    if (!m_WindowRegion.isEmpty()) p.setClipRegion(m_WindowRegion);
    if (!m_Background.isNull()) p.drawPixmap(0, 0, m_Background);
    else p.fillRect(rect(), palette().color(QPalette::Window));
    // A control hidden on purpose (the search button off its page) has none.
    for (QWidget* w : m_AlwaysBevelled)
        if (!w->isHidden()) DrawBevel(p, w->geometry());
    if (gLargeFonts && !m_SkinOk)
        for (QWidget* w : m_FallbackBevelled) DrawBevel(p, w->geometry());
}

void cSkinnedWindow::keyPressEvent(QKeyEvent* pEvent) {
    if (pEvent->key() == Qt::Key_Escape) {
        OnKeyAscii(27);
        pEvent->accept();
        return;
    }
    if (pEvent->key() == Qt::Key_F1) {
        OnKeyDown(112);
        pEvent->accept();
        return;
    }
    QWidget::keyPressEvent(pEvent);
}

void PlayClickSound(const Services& pServices) {
    if (SoundsEnabled() && pServices.sound)
        pServices.sound->Play(ProgramPath("/sounds/click.wav"), SND_ASYNC);
}

void OpenStartupHelp(const Services& pServices) {
    if (pServices.shell) pServices.shell->Open(ProgramPath("/htm/startup.htm"), ProgramFolder());
}

} // namespace brisa
