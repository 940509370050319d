// Hover highlighting of label buttons: a button turns bold when the mouse
// moves over it, and the window's polling timer takes the bold off every
// button the cursor is no longer over, stopping itself once the cursor is
// over none of them.
#pragma once

#include <QPoint>

#include <functional>
#include <vector>

class QTimer;
class QWidget;

namespace brisa {

class cLabelButton;

// Where the mouse cursor is, on the screen; windows take one so tests can
// put the cursor anywhere.
using CursorPosition = std::function<QPoint()>;
// The real cursor (QCursor::pos()).
QPoint SystemCursorPosition();

// A mouse move over pButton makes it bold and starts pTimer (only when it
// was not bold yet).
void WatchHover(cLabelButton* pButton, QTimer& pTimer);

// One tick of the polling timer: stops pTimer, then, in the list's order,
// takes the bold off each button the cursor (pCursor, on the screen) is
// outside of, and starts pTimer again for each one it is inside. The edges
// count as inside; hidden and disabled buttons are tested like the others.
void HoverTick(const QWidget* pWindow, QPoint pCursor, QTimer& pTimer,
               const std::vector<cLabelButton*>& pButtons);

} // namespace brisa
