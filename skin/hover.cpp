#include "skin/hover.h"

#include "skin/label_button.h"

#include <QTimer>

namespace brisa {

void WatchHover(cLabelButton* pButton, QTimer& pTimer) {
    QTimer* timer = &pTimer;
    QObject::connect(pButton, &cLabelButton::mouseMoved, timer, [pButton, timer] {
        if (pButton->IsBold()) return;
        pButton->SetBold(true);
        timer->start();
    });
}

void HoverTick(QTimer& pTimer, const std::vector<cLabelButton*>& pButtons) {
    pTimer.stop();
    for (cLabelButton* b : pButtons) {
        if (!b) continue;
        // Set by the enter and leave events the button itself received.
        if (!b->underMouse()) b->SetBold(false);
        else pTimer.start();
    }
}

} // namespace brisa
