// The advertising spaces of the main window: the banner and the two partner
// buttons, filled by an advertising library when one is installed.
#pragma once

namespace brisa {

class cTimesink {
public:
    virtual ~cTimesink() = default;
    // True when the library started.
    virtual bool AdInit() { return false; }
    // True when every location that is to be shown was created.
    virtual bool AdCreateLocations() { return false; }
    // Marks the banner (and with ShowZered the partner buttons) shown/hidden.
    virtual void AdShowAll() {}
    virtual void AdHideAll() {}
    virtual void AdShutdown() {}
    // One tick of the advertising timer while advertising works.
    virtual void Progress() {}
};

} // namespace brisa
