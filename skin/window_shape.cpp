#include "skin/window_shape.h"

#include <QApplication>
#include <QLabel>
#include <QPainter>
#include <QPalette>
#include <QRegion>
#include <QWidget>

namespace brisa {

QPolygon ShapePolygon(int W, int H) {
    QPolygon p;
    p << QPoint(25, 1) << QPoint(W, 1) << QPoint(W, H - 23) << QPoint(W - 1, H - 20)
      << QPoint(W - 2, H - 18) << QPoint(W - 9, H - 9) << QPoint(W - 18, H - 2)
      << QPoint(W - 20, H - 1) << QPoint(W - 23, H) << QPoint(3, H) << QPoint(3, 22)
      << QPoint(3, 20) << QPoint(4, 18) << QPoint(10, 11) << QPoint(20, 3) << QPoint(23, 2)
      << QPoint(25, 1);
    return p;
}

QRegion MakeWindowShape(QWidget* pWindow) {
    if (!pWindow) return {};
    const QRegion region(ShapePolygon(pWindow->width() - 2, pWindow->height() - 2), Qt::WindingFill);
    pWindow->setMask(region);
    return region;
}

void SetTitleStrip(QLabel* pToolbar, const QString& pTitle) {
    if (!pToolbar) return;
    const QPalette system = QApplication::palette();
    QPalette pal = pToolbar->palette();
    pal.setColor(QPalette::Window, system.color(QPalette::Active, QPalette::Highlight));
    pal.setColor(QPalette::WindowText, system.color(QPalette::Active, QPalette::HighlightedText));
    pToolbar->setPalette(pal);
    pToolbar->setAutoFillBackground(true);
    pToolbar->setText(pTitle);
    pToolbar->setAccessibleName(pTitle);
}

QPixmap StretchSkin(const QPixmap& pSkin, const QSize& pSize) {
    if (pSkin.isNull() || pSize.isEmpty()) return {};
    return pSkin.scaled(pSize, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
}

void DrawBevel(QPainter& p, const QRect& c, int pUnit, int pFirstRing) {
    const int u = pUnit;
    const int T = c.top() - u, L = c.left() - u;
    const int R = c.left() + c.width(), B = c.top() + c.height();
    const QPen grey(QColor(128, 128, 128), 1);
    const QPen white(QColor(255, 255, 255), 1);
    const QPen before = p.pen();
    const bool antialiased = p.testRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::Antialiasing, false);
    for (int i = pFirstRing; i <= u + pFirstRing - 1; ++i) {
        const int dx = i * u, dy = i * u;
        // Each edge runs up to, but not including, its end point.
        p.setPen(grey);
        p.drawLine(R + dx, B + dy, R + dx, T - dy + 1);
        p.drawLine(R + dx, B + dy, L - dx + 1, B + dy);
        p.setPen(white);
        p.drawLine(R + dx, T - dy, L - dx - u + 1, T - dy);
        p.drawLine(L - dx, B + dy, L - dx, T - dy + 1);
    }
    p.setPen(before);
    p.setRenderHint(QPainter::Antialiasing, antialiased);
}

} // namespace brisa
