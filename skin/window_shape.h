// The outline, title strip and skin of the program's borderless windows.
#pragma once

#include <QPixmap>
#include <QPolygon>
#include <QString>

class QLabel;
class QPainter;
class QWidget;

namespace brisa {

// The 17-point outline for a window of W x H pixels (W and H already less
// the 2-pixel margin): a rectangle with curved top-left and bottom-right
// corners.
QPolygon ShapePolygon(int pW, int pH);

// Cuts the window to its outline; returns the region it was given.
QRegion MakeWindowShape(QWidget* pWindow);

// Colours the title strip like an active caption and sets its text.
void SetTitleStrip(QLabel* pToolbar, const QString& pTitle);

// The skin stretched to pSize in memory; a null pixmap when it cannot be.
QPixmap StretchSkin(const QPixmap& pSkin, const QSize& pSize);

// Draws a raised bevel around pControl (in its parent's coordinates): white
// top and left edges, grey right and bottom edges, pUnit pixels per ring,
// rings pFirstRing to pUnit + pFirstRing - 1. With the defaults one ring:
// white 2 pixels outside the control's top and left, grey just beyond its
// right (left + width) and bottom (top + height).
void DrawBevel(QPainter& pPainter, const QRect& pControl, int pUnit = 1, int pFirstRing = 1);

} // namespace brisa
