// What the desktop's window system lets the program do with its own
// windows. X11 lets a client place, raise and restore its windows and cuts
// a window to its shape; Wayland leaves placing, raising and restoring to
// the compositor and uses a window's shape only for input. The windows ask
// here and never test the platform themselves.
#pragma once

#include <QString>

class QWidget;

namespace brisa {

class WindowSystem {
public:
    // True when the compositor moves the windows (Wayland): a drag by the
    // title strip is handed over with StartMove instead of moving an outline
    // and then the window.
    static bool CompositorMoves();
    // Hands the move of pWindow, while the left button is held, to the
    // compositor; false when it did not take it.
    static bool StartMove(QWidget* pWindow);
    // Prepares a shaped window before it is first shown: where the shape
    // only takes input, the window becomes a translucent top-level, so that
    // its painting, clipped to the outline, leaves the desktop visible
    // around it.
    static void PrepareShaped(QWidget* pWindow);
    // Brings pWindow up, whatever state the window system reports: hidden,
    // minimised (Wayland never tells), or behind other windows. Where a
    // client's raise is ignored, the window is shown anew. pToken is the
    // activation token the desktop handed over (Wayland's activation token,
    // X11's startup id), empty when there is none. A modal window that is
    // open stays in front of pWindow and takes the activation.
    static void BringUp(QWidget* pWindow, const QString& pToken = {});

private:
    static bool IsWayland();
};

} // namespace brisa
