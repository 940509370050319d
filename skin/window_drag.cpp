#include "skin/window_drag.h"

#include "platform/window_system.h"

#include <QEvent>
#include <QMouseEvent>
#include <QRubberBand>
#include <QWidget>

namespace brisa {

cWindowDrag::cWindowDrag(QWidget* pWindow, QWidget* pTitleStrip, std::function<QMargins()> pInsets)
    : QObject(pWindow), m_Window(pWindow), m_TitleStrip(pTitleStrip), m_Insets(std::move(pInsets)) {
    if (m_TitleStrip) m_TitleStrip->installEventFilter(this);
}

cWindowDrag::~cWindowDrag() = default;

void cWindowDrag::Draw(const QRect& pRect) {
    if (pRect.isEmpty()) {
        if (m_Outline) m_Outline->hide();
        m_Drag.drawnRect = QRect();
        return;
    }
    // A window of its own, so the outline may run outside the dragged window.
    if (!m_Outline) m_Outline = std::make_unique<QRubberBand>(QRubberBand::Rectangle);
    m_Outline->setGeometry(pRect);
    m_Outline->show();
    m_Drag.drawnRect = pRect;
}

void cWindowDrag::BeginDrag(QPoint pGlobal) {
    m_Drag.press = pGlobal;
    m_Drag.current = pGlobal;
    m_Drag.window = m_Window->frameGeometry();
    m_Drag.active = true;
    // Where the compositor moves the window there is no outline; the press
    // alone stays a click on the strip.
    if (WindowSystem::CompositorMoves()) return;
    // The outline where the previous drag ended shows until the first move.
    Draw(m_Drag.newRect);
}

void cWindowDrag::ContinueDrag(QPoint pGlobal) {
    if (!m_Drag.active) return;
    m_Drag.current = pGlobal;
    if (WindowSystem::CompositorMoves()) {
        // The first movement hands the window to the compositor, which
        // moves it with the pointer until the button is let go.
        m_Drag.active = false;
        WindowSystem::StartMove(m_Window);
        return;
    }
    const QPoint d = pGlobal - m_Drag.press;
    const QMargins in = Insets();
    const QRect& w = m_Drag.window;
    m_Drag.newRect = QRect(QPoint(w.left() + in.left() + d.x(), w.top() + in.top() + d.y()),
                           QPoint(w.right() - in.right() + d.x(), w.bottom() - in.bottom() + d.y()));
    Draw(m_Drag.newRect);
}

void cWindowDrag::EndDrag(QPoint pGlobal) {
    if (!m_Drag.active) return;
    m_Drag.active = false;
    Draw(QRect());
    // Only the position changes; the size stays.
    m_Window->move(m_Drag.window.topLeft() + (pGlobal - m_Drag.press));
}

bool cWindowDrag::eventFilter(QObject* pWatched, QEvent* pEvent) {
    if (pWatched != m_TitleStrip) return QObject::eventFilter(pWatched, pEvent);
    switch (pEvent->type()) {
    case QEvent::MouseButtonPress: {
        auto* e = static_cast<QMouseEvent*>(pEvent);
        if (e->button() == Qt::LeftButton && e->buttons() == Qt::LeftButton)
            BeginDrag(e->globalPosition().toPoint());
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
    return QObject::eventFilter(pWatched, pEvent);
}

} // namespace brisa
