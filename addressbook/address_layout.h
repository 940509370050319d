// Where the address window's controls sit, in pixels at 96 dpi over its
// 482 x 220 skin. The window places its controls from these rectangles and
// the artwork generator draws the skin's button shapes and panels from the
// same ones. Plain values only: no Qt here.
#pragma once

namespace brisa::address_layout {

struct Rect {
    int left, top, width, height;
    constexpr int right() const { return left + width; }
    constexpr int bottom() const { return top + height; }
};

struct NamedRect {
    const char* name;
    Rect rect;
};

inline constexpr int kWidth = 482;
inline constexpr int kHeight = 220;

// Title strip with the help and close buttons at its right.
inline constexpr Rect lblToolbar{28, 3, 404, 17};
inline constexpr Rect cmdHelp{441, 5, 15, 13};
inline constexpr Rect cmdClose{461, 5, 15, 13};

// The light panel holding the column headings and the list. The address
// heading moves to the list's tab stop when the window loads.
inline constexpr Rect kListPanel{8, 25, 466, 162};
inline constexpr Rect lblName{18, 29, 120, 15};
inline constexpr Rect lblAddress{150, 29, 312, 15};
inline constexpr Rect lvAddresses{14, 45, 454, 136};

// Change Book at the left, OK and Cancel at the right.
inline constexpr Rect cmdSet{14, 198, 96, 13};
inline constexpr Rect cmdOk{300, 198, 70, 13};
inline constexpr Rect cmdCancel{380, 198, 70, 13};

// Every button label, in the order hover highlighting checks them.
inline constexpr NamedRect kButtons[] = {{"cmdSet", cmdSet},
                                         {"cmdOk", cmdOk},
                                         {"cmdCancel", cmdCancel},
                                         {"cmdHelp", cmdHelp},
                                         {"cmdClose", cmdClose}};

} // namespace brisa::address_layout
