#pragma once

#include <string>

namespace brisa {

// Message box styles and answers, with the values the program's callers use.
enum MsgBoxStyle : int {
    vbOKOnly = 0,
    vbOKCancel = 1,
    vbYesNo = 4,
    vbCritical = 16,
    vbQuestion = 32,
    vbExclamation = 48,
    vbInformation = 64,
};
enum MsgBoxResult : int { vbOK = 1, vbCancel = 2, vbYes = 6, vbNo = 7 };

class IMessageBox {
public:
    virtual ~IMessageBox() = default;
    // Shows a modal message box and returns the button pressed.
    virtual int Show(const std::string& pText, const std::string& pTitle, int pStyle) = 0;
};

} // namespace brisa
