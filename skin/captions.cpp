#include "skin/captions.h"

#include "common/globals.h"
#include "skin/label_button.h"

#include <QLabel>
#include <QWidget>

namespace brisa {

namespace {

// The density the layout was made for, against the one Qt sizes fonts by
// (they are the same on a real display; a test may give the program another).
double DensityFactor(const QWidget* pWidget) {
    const double measured = 96.0 * (gLargeFonts ? gScaleY : 1.0);
    const int screen = pWidget ? pWidget->logicalDpiY() : 96;
    return screen > 0 ? measured / screen : 1.0;
}

} // namespace

double WindowPointSize(const QWidget* pWidget) { return 8.0 * DensityFactor(pWidget); }

double SmallestPointSize(const QWidget* pWidget) { return 7.0 * DensityFactor(pWidget); }

bool CaptionFits(const QLabel* pLabel) {
    if (!pLabel || pLabel->text().isEmpty()) return true;
    QFont font = pLabel->font();
    if (qobject_cast<const cLabelButton*>(pLabel)) font.setBold(true);
    const QFontMetrics metrics(font);
    return metrics.horizontalAdvance(pLabel->text()) <= pLabel->contentsRect().width();
}

void FitCaptions(QWidget* pWindow) {
    if (!pWindow) return;
    const double smallest = SmallestPointSize(pWindow);
    for (QLabel* label : pWindow->findChildren<QLabel*>(Qt::FindDirectChildrenOnly)) {
        QFont font = label->font();
        while (!CaptionFits(label) && font.pointSizeF() - 0.25 >= smallest - 0.001) {
            font.setPointSizeF(font.pointSizeF() - 0.25);
            label->setFont(font);
        }
    }
}

} // namespace brisa
