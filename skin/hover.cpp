#include "skin/hover.h"

#include "skin/label_button.h"

#include <QCursor>
#include <QTimer>
#include <QWidget>

namespace brisa {

QPoint SystemCursorPosition() { return QCursor::pos(); }

void WatchHover(cLabelButton* pButton, QTimer& pTimer) {
    QTimer* timer = &pTimer;
    QObject::connect(pButton, &cLabelButton::mouseMoved, timer, [pButton, timer] {
        if (pButton->IsBold()) return;
        pButton->SetBold(true);
        timer->start();
    });
}

void HoverTick(const QWidget* pWindow, QPoint pCursor, QTimer& pTimer,
               const std::vector<cLabelButton*>& pButtons) {
    const QPoint cursor = pWindow->mapFromGlobal(pCursor);
    pTimer.stop();
    for (cLabelButton* b : pButtons) {
        if (!b) continue;
        // Position and size in the window's pixels; the far edges
        // (left + width, top + height) still count as inside.
        const QRect r = b->geometry();
        const bool outside = cursor.x() < r.left() || cursor.y() < r.top() ||
                             cursor.x() > r.left() + r.width() || cursor.y() > r.top() + r.height();
        if (outside) b->SetBold(false);
        else pTimer.start();
    }
}

} // namespace brisa
