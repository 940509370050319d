#include "skin/skinned_window.h"

#include "common/globals.h"
#include "platform/program_folder.h"
#include "skin/label_button.h"
#include "skin/window_shape.h"

#include <QCursor>
#include <QGuiApplication>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QRubberBand>
#include <QScreen>

#include <cmath>

namespace brisa {

cSkinnedWindow::cSkinnedWindow(const char* pName, QSize pDesignSize, std::string pSkin, QWidget* pParent)
    : QWidget(pParent, Qt::Window | Qt::FramelessWindowHint), m_SkinFile(std::move(pSkin)),
      m_DesignSize(pDesignSize) {
    setObjectName(pName);
    QFont f = font();
    f.setPointSizeF(8.0);
    setFont(f);
    setFixedSize(Design(0, 0, pDesignSize.width(), pDesignSize.height()).size());
    lblToolbar = new QLabel(this);
    lblToolbar->setObjectName("lblToolbar");
    lblToolbar->setAlignment(Qt::AlignCenter);
    lblToolbar->installEventFilter(this);
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
    connect(b, &cLabelButton::mouseMoved, this, [this, b] {
        if (!b->IsBold()) {
            b->SetBold(true);
            tmrFocus.start();
        }
    });
    return b;
}

bool cSkinnedWindow::PrepareSkin() {
    m_Skin.load(QString::fromStdString(ProgramPath(m_SkinFile)));
    m_Background = m_Skin;
    m_SkinOk = true;
    if (!gLargeFonts) return true;
    const QPixmap stretched = StretchSkin(m_Skin, size());
    m_SkinOk = !stretched.isNull();
    m_Background = stretched;
    return m_SkinOk;
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
    const QPoint cursor = mapFromGlobal(QCursor::pos());
    tmrFocus.stop();
    for (cLabelButton* b : m_HoverButtons) {
        const QRect r = b->geometry();
        const bool outside = cursor.x() < r.left() || cursor.y() < r.top() ||
                             cursor.x() > r.left() + r.width() || cursor.y() > r.top() + r.height();
        if (outside) b->SetBold(false);
        else tmrFocus.start();
    }
}

void cSkinnedWindow::DrawOutline(const QRect& pRect) {
    if (pRect.isEmpty()) {
        if (m_Outline) m_Outline->hide();
        m_Drag.drawnRect = QRect();
        return;
    }
    if (!m_Outline) m_Outline = new QRubberBand(QRubberBand::Rectangle);
    m_Outline->setGeometry(pRect);
    m_Outline->show();
    m_Drag.drawnRect = pRect;
}

void cSkinnedWindow::BeginDrag(QPoint pGlobal) {
    m_Drag.press = pGlobal;
    m_Drag.window = frameGeometry();
    m_Drag.active = true;
    // The outline of the previous drag shows until the first move.
    DrawOutline(m_Drag.newRect);
}

void cSkinnedWindow::ContinueDrag(QPoint pGlobal) {
    if (!m_Drag.active) return;
    const QPoint d = pGlobal - m_Drag.press;
    const QMargins in = DragInsets();
    m_Drag.newRect = QRect(QPoint(m_Drag.window.left() + in.left() + d.x(), m_Drag.window.top() + in.top() + d.y()),
                           QPoint(m_Drag.window.right() - in.right() + d.x(),
                                  m_Drag.window.bottom() - in.bottom() + d.y()));
    DrawOutline(m_Drag.newRect);
}

void cSkinnedWindow::EndDrag(QPoint pGlobal) {
    if (!m_Drag.active) return;
    m_Drag.active = false;
    DrawOutline(QRect());
    move(m_Drag.window.topLeft() + (pGlobal - m_Drag.press));
}

bool cSkinnedWindow::eventFilter(QObject* pWatched, QEvent* pEvent) {
    if (pWatched == lblToolbar) {
        switch (pEvent->type()) {
        case QEvent::MouseButtonPress: {
            auto* e = static_cast<QMouseEvent*>(pEvent);
            if (e->buttons() == Qt::LeftButton) BeginDrag(e->globalPosition().toPoint());
            return true;
        }
        case QEvent::MouseMove: {
            auto* e = static_cast<QMouseEvent*>(pEvent);
            if (e->buttons() == Qt::LeftButton) ContinueDrag(e->globalPosition().toPoint());
            return true;
        }
        case QEvent::MouseButtonRelease: {
            auto* e = static_cast<QMouseEvent*>(pEvent);
            if (e->button() == Qt::LeftButton) EndDrag(e->globalPosition().toPoint());
            return true;
        }
        default: break;
        }
    }
    return QWidget::eventFilter(pWatched, pEvent);
}

void cSkinnedWindow::paintEvent(QPaintEvent*) {
    QPainter p(this);
    if (!m_Background.isNull()) p.drawPixmap(0, 0, m_Background);
    else p.fillRect(rect(), palette().color(QPalette::Window));
    for (QWidget* w : m_AlwaysBevelled)
        if (w->isVisible()) DrawBevel(p, w->geometry());
    if (gLargeFonts && !m_SkinOk)
        for (QWidget* w : m_FallbackBevelled) DrawBevel(p, w->geometry());
}

} // namespace brisa
