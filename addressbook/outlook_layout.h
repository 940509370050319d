// Where the Outlook contacts window's controls sit, in pixels at 96 dpi over
// its 398 x 142 skin. The window places its controls from these rectangles
// and the artwork generator draws the skin's button shapes and panel from
// the same ones. Plain values only: no Qt here.
#pragma once

namespace brisa::outlook_layout {

struct Rect {
    int left, top, width, height;
    constexpr int right() const { return left + width; }
    constexpr int bottom() const { return top + height; }
};

struct NamedRect {
    const char* name;
    Rect rect;
};

inline constexpr int kWidth = 398;
inline constexpr int kHeight = 142;

// Title strip with the help and close buttons at its right.
inline constexpr Rect lblToolbar{28, 3, 320, 17};
inline constexpr Rect cmdHelp{357, 5, 15, 13};
inline constexpr Rect cmdClose{377, 5, 15, 13};

// The light panel holding the two lists and their labels.
inline constexpr Rect kListPanel{10, 28, 378, 76};
inline constexpr Rect lblProfile{20, 40, 104, 15};
inline constexpr Rect cboProfile{128, 37, 248, 21};
inline constexpr Rect lblContacts{20, 72, 104, 15};
inline constexpr Rect cboFolder{128, 69, 248, 21};

// OK and Cancel at the bottom right.
inline constexpr Rect cmdOk{214, 115, 70, 13};
inline constexpr Rect cmdCancel{296, 115, 70, 13};

// Every button label, in the order hover highlighting checks them.
inline constexpr NamedRect kButtons[] = {
    {"cmdOk", cmdOk}, {"cmdCancel", cmdCancel}, {"cmdHelp", cmdHelp}, {"cmdClose", cmdClose}};

} // namespace brisa::outlook_layout
