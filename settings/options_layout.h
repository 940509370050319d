// Where the options window's controls sit, in pixels at 96 dpi over its
// 445 x 369 skin. The window places its controls from these rectangles and
// the artwork generator draws the skin's button shapes and panels from the
// same ones, so the two always agree. Plain values only: no Qt here.
#pragma once

namespace brisa::options_layout {

struct Rect {
    int left, top, width, height;
    constexpr int right() const { return left + width; }
    constexpr int bottom() const { return top + height; }
};

struct NamedRect {
    const char* name;
    Rect rect;
};

struct Rgb {
    int r, g, b;
};

inline constexpr int kWidth = 445;
inline constexpr int kHeight = 369;

// Title strip with the help and close buttons at its right.
inline constexpr Rect lblToolbar{28, 3, 368, 17};
inline constexpr Rect cmdHelp{404, 5, 15, 13};
inline constexpr Rect cmdClose{424, 5, 15, 13};

// Page buttons down the left side.
inline constexpr Rect cmdMail{12, 44, 96, 13};
inline constexpr Rect cmdBook{12, 70, 96, 13};
inline constexpr Rect cmdMisc{12, 96, 96, 13};

// The page panel every page's controls lie on. Its face is one flat colour,
// so the window can paint over the search button's shape with it while the
// Address Books page is not shown.
inline constexpr Rect kPagePanel{118, 30, 318, 292};
inline constexpr Rgb kPageFace{226, 241, 248};

// Mail page: a caption above each box.
inline constexpr Rect Label1[5] = {{126, 38, 220, 15},
                                   {126, 86, 300, 15},
                                   {126, 128, 300, 15},
                                   {126, 170, 300, 15},
                                   {126, 212, 300, 15}};
inline constexpr Rect txtName{126, 60, 300, 21};
inline constexpr Rect txtOrganization{126, 102, 300, 21};
inline constexpr Rect txtEmail{126, 144, 300, 21};
inline constexpr Rect txtCC{126, 186, 300, 21};
inline constexpr Rect txtNote{126, 228, 300, 86};

// Address Books page. The column headings move to the list's tab stop when
// the window loads; their rectangles here give the row they sit on.
inline constexpr Rect Drive1{126, 38, 218, 22};
inline constexpr Rect cmdSearch{356, 42, 70, 13};
inline constexpr Rect lblType{128, 68, 100, 15};
inline constexpr Rect lblPath{232, 68, 194, 15};
inline constexpr Rect lvBooks{126, 84, 300, 230};

// Miscellaneous page: below the search button's row.
inline constexpr Rect chkSounds{130, 68, 13, 13};
inline constexpr Rect lblPlayNavigationSounds{150, 66, 276, 17};
inline constexpr Rect chkAutorun{130, 94, 13, 13};
inline constexpr Rect lblAutorun{150, 92, 276, 17};
inline constexpr Rect lblServer{126, 124, 300, 15};
inline constexpr Rect txtServer{126, 140, 300, 21};

// OK, Cancel and Apply at the bottom right.
// Wide enough for the longest translation in bold ("Übernehmen").
inline constexpr Rect cmdOk{180, 336, 70, 13};
inline constexpr Rect cmdCancel{258, 336, 76, 13};
inline constexpr Rect cmdApply{342, 336, 84, 13};

// Every button label, in the order hover highlighting checks them.
inline constexpr NamedRect kButtons[] = {
    {"cmdSearch", cmdSearch}, {"cmdMisc", cmdMisc},   {"cmdBook", cmdBook},
    {"cmdMail", cmdMail},     {"cmdApply", cmdApply}, {"cmdOk", cmdOk},
    {"cmdCancel", cmdCancel}, {"cmdHelp", cmdHelp},   {"cmdClose", cmdClose}};

// The edit boxes and lists of the three pages (the skin sinks the page
// panel behind all of them; each page shows only its own).
inline constexpr NamedRect kBoxes[] = {{"txtName", txtName},   {"txtOrganization", txtOrganization},
                                       {"txtEmail", txtEmail}, {"txtCC", txtCC},
                                       {"txtNote", txtNote},   {"Drive1", Drive1},
                                       {"lvBooks", lvBooks},   {"txtServer", txtServer}};

// How far the skin's drawn shape reaches beyond a button label, with its
// shadow: the area the window paints over to hide the search button's shape.
inline constexpr int kButtonShapeReach = 6;

} // namespace brisa::options_layout
