#pragma once

class QWidget;

namespace brisa {

// Shows a secondary window modally and returns when it has hidden itself.
class IModalRunner {
public:
    virtual ~IModalRunner() = default;
    virtual void ShowModal(QWidget* pWindow, QWidget* pOwner) = 0;
};

} // namespace brisa
