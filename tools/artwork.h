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

// An animation ready for the GIF encoder: equal-sized pictures and their
// delays in hundredths of a second.
struct Animation {
    std::vector<QImage> frames;
    std::vector<int> delaysCs;
};

// 47 x 45: a microphone sending out sound waves. The first frame is the
// resting picture. Drawn over the part of pSkin it will cover.
Animation LogoAnimation(const QImage& pSkin);

// 88 x 31: the "BrisaMail Tips" partner picture, drawn over pSkin too.
Animation ZovidAnimation(const QImage& pSkin);

// 468 x 60: the banner telling what the program does.
Animation BannerAnimation();

} // namespace brisa::art
