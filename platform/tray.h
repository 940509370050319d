#pragma once

#include <functional>
#include <string>

class QMenu;

namespace brisa {

// Mouse messages the tray icon reports to its owner.
enum TrayMouse : int { WM_LBUTTONDBLCLK = 515, WM_RBUTTONDOWN = 516 };

// Where the icon sits on the screen, in pixels.
struct TrayRect {
    int left = 0, top = 0, width = 0, height = 0;
};

class ITrayIcon {
public:
    virtual ~ITrayIcon() = default;
    // Adds the icon with its tool tip; true when the desktop shows it.
    virtual bool Add(const std::string& pIconName, const std::string& pTip) = 0;
    // Changes the icon ("ID_NORMAL" or "ID_INVERTED").
    virtual bool Modify(const std::string& pIconName) = 0;
    virtual void Remove() = 0;
    // False when the desktop has no notification area.
    virtual bool Available() = 0;
    // Receives the mouse messages (TrayMouse) of the icon.
    virtual void SetCallback(std::function<void(int)> pCallback) = 0;
    // The icon's place on the screen; false when the desktop does not tell
    // (the window then goes to the tray without an animation).
    virtual bool IconRect(TrayRect& pRect) {
        (void)pRect;
        return false;
    }
    // Gives the icon the owner's menu, which the desktop then opens at the
    // icon; WM_RBUTTONDOWN comes just before it shows, so the owner can set
    // up its entries. False when the icon carries no menu: the owner then
    // pops up the menu itself on WM_RBUTTONDOWN.
    virtual bool SetMenu(QMenu* pMenu) {
        (void)pMenu;
        return false;
    }
};

} // namespace brisa
