#pragma once

class QWidget;

namespace brisa {

// Shows a secondary window modally and returns when it has hidden itself.
// The window blocks its owner's window only: the tray icon and its menu, which
// belong to no window, still answer while it is open.
class IModalRunner {
public:
    virtual ~IModalRunner() = default;
    virtual void ShowModal(QWidget* pWindow, QWidget* pOwner) = 0;
};

} // namespace brisa
