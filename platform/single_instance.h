#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace brisa {

// What other programs may ask of the running copy.
class IAutomationTarget {
public:
    virtual ~IAutomationTarget() = default;
    virtual void DoReply(const std::string& pTo, const std::string& pCc,
                         const std::string& pSubject, int32_t pHwnd) = 0;
    virtual void ShowImmediately(int32_t pHwnd) = 0;
    // The desktop asks the running program to come up (it was chosen in the
    // menu again); pToken lets the window take the focus (Wayland's
    // activation token or X11's startup id; empty when there is none).
    virtual void Activate(const std::string& pToken) {
        (void)pToken;
        ShowImmediately(1);
    }
};

// Makes sure one copy of the program runs per user session and offers the
// automation calls to other programs.
class ISingleInstance {
public:
    virtual ~ISingleInstance() = default;
    // Claims the session for this copy. False when another copy already
    // runs; that copy is left alone.
    virtual bool Claim() = 0;
    // Routes automation calls to pTarget (nullptr stops routing).
    virtual void SetTarget(IAutomationTarget* pTarget) = 0;
};

} // namespace brisa
