// The pictures shipped with the program: the main window's skin and the
// animated logo, partner picture and banner. Everything is drawn in code.
#pragma once

#include <QImage>
#include <QPolygon>
#include <QRect>
#include <string>
#include <vector>

namespace brisa::art {

constexpr int kSkinWidth = 577;
constexpr int kSkinHeight = 324;

// A named control rectangle of the main window, in window pixels.
struct SkinSpot {
    std::string name;
    QRect rect;
};

// The main window's button labels; each gets a drawn button shape under it.
std::vector<SkinSpot> MainButtonLabels();

// The labels drawn in white over the skin (the area behind them is dark).
std::vector<SkinSpot> MainWhiteLabels();

// Outline of a window of pWidth x pHeight pixels: the 17-point polygon that
// cuts it to its leaf shape (everything outside is cut away on screen).
QPolygon WindowOutline(int pWidth, int pHeight);

// The flat colour painted outside the outline.
QRgb OutsideColour();

// The main window's skin, kSkinWidth x kSkinHeight, without any text.
QImage DrawMainSkin();

// The options window's skin (445 x 369): page buttons down the left, the
// page panel, OK, Cancel and Apply at the bottom and the title strip.
QImage DrawOptionsSkin();
// Its button labels (each with a button shape under it) and the flat face
// of its page panel, which the window paints over the search button's
// shape with while another page is shown.
std::vector<SkinSpot> OptionsButtonLabels();
QRgb OptionsPageFace();
// The options window's edit boxes and lists, all on the page panel.
std::vector<SkinSpot> OptionsBoxes();

// The address window's skin (482 x 220): the list panel with a well around
// the list, Change Book, OK and Cancel, and the title strip.
QImage DrawAddressesSkin();
std::vector<SkinSpot> AddressesButtonLabels();
// The list and the light panel behind it and its column headings.
QRect AddressesList();
QRect AddressesListPanel();

// An animation ready for the GIF encoder: equal-sized pictures and their
// delays in hundredths of a second.
struct Animation {
    std::vector<QImage> frames;
    std::vector<int> delaysCs;
};

// 47 x 45: a microphone sending out sound waves. The first frame is the
// resting picture. Drawn over the part of pSkin it will cover.
Animation LogoAnimation(const QImage& pSkin);

// 88 x 31: the "BrisaMail Tips" partner picture, drawn over pSkin too
// (in German when pGerman is set).
Animation ZovidAnimation(const QImage& pSkin, bool pGerman = false);

// 468 x 60: the banner telling what the program does.
Animation BannerAnimation(bool pGerman = false);

// The program's own advertisements, served from ads/ by its advertising
// library (ads/ads.txt ties each to a help page): banners of 468 x 60 for
// the banner space and buttons of 55 x 25 for the two partner-button spaces.
// English ones in ads/, each translation in ads/<language id>/ under the
// same name.
struct HouseAd {
    enum class Icon { Microphone, Book, Tray, None };
    std::string file;     // below the program folder, "ads/..."
    int location = 0;     // 0 banner, 5 and 6 the partner buttons
    std::string headline; // banner headline or button caption
    std::string line;     // banner second line (empty for a button)
    Icon icon = Icon::None; // the banner's badge
    std::string more;     // the banner's call to click ("Learn how")
};
std::vector<HouseAd> HouseAdPictures();
// The picture of one of them: 468 x 60 for location 0, 55 x 25 otherwise.
Animation HouseAdAnimation(const HouseAd& pAd);

// The Outlook contacts window's skin, 398 x 142, without any text: the
// button shapes and the panel of the two lists sit under the rectangles of
// addressbook/outlook_layout.h.
QImage DrawOutlookSkin();

} // namespace brisa::art
