// Hover highlighting of label buttons: a button turns bold when the mouse
// moves over it, and the window's polling timer takes the bold off every
// button the mouse is no longer over, stopping itself once the mouse is over
// none of them. Where the mouse is comes from the window's own enter and
// leave events, never from the global cursor position, which some window
// systems (Wayland) stop reporting once the pointer has left the window.
#pragma once

#include <vector>

class QTimer;

namespace brisa {

class cLabelButton;

// A mouse move over pButton makes it bold and starts pTimer (only when it
// was not bold yet).
void WatchHover(cLabelButton* pButton, QTimer& pTimer);

// One tick of the polling timer: stops pTimer, then, in the list's order,
// takes the bold off each button the mouse is not over, and starts pTimer
// again for each one it is over. Hidden and disabled buttons are tested like
// the others.
void HoverTick(QTimer& pTimer, const std::vector<cLabelButton*>& pButtons);

} // namespace brisa
