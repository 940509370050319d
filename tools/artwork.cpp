#include "tools/artwork.h"

#include "addressbook/address_layout.h"
#include "settings/options_layout.h"

#include "addressbook/outlook_layout.h"

#include <QFont>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <algorithm>
#include <array>
#include <cmath>
#include <numbers>
#include <string_view>

namespace brisa::art {

namespace {

// Sea colours around the program icon's blue, rgb(22, 112, 160).
const QColor kIconBlue(22, 112, 160);
const QColor kBodyTop(26, 120, 166);
const QColor kBodyMiddle(18, 96, 140);
const QColor kBodyBottom(8, 44, 70);
const QColor kEdge(7, 34, 52);
const QColor kDeepWell(6, 34, 54);
const QColor kButtonTop(252, 254, 255);
const QColor kButtonBottom(208, 234, 246);
const QColor kButtonBorder(112, 170, 202);
const QColor kPanelLight(226, 241, 248);
const QColor kSand(255, 206, 112);
const QColor kSandDeep(246, 164, 72);
const QColor kInk(10, 46, 72);

constexpr int kMargin = 2; // button shapes reach this far beyond their labels

// Main window control rectangles (window pixels).
const QRect kLogo(22, 4, 47, 45);
const QRect kTitleStrip(184, 2, 271, 17);
const QRect kTo(152, 78, 329, 21);
const QRect kCc(152, 102, 329, 21);
const QRect kSubject(152, 126, 329, 21);
const QRect kZovid(392, 154, 88, 31); // drawn over by the partner picture
const QRect kMicLabel(514, 74, 17, 17);
const QRect kMicSlider(514, 26, 16, 47);
const QRect kVolSlider(542, 26, 16, 47);
const QRect kStatus(118, 194, 353, 17);
const QRect kBanner(50, 244, 468, 60);

QRectF Grow(const QRect& pRect, double pBy) {
    return QRectF(pRect).adjusted(-pBy, -pBy, pBy, pBy);
}

// A rectangle covering whole pixels from pRect's left-top to its right-bottom
// pixel, for strokes drawn on pixel centres.
QRectF PixelFrame(const QRectF& pRect) {
    return pRect.adjusted(0.5, 0.5, -0.5, -0.5);
}

QColor Alpha(QColor pColour, int pAlpha) {
    pColour.setAlpha(pAlpha);
    return pColour;
}

// Qt's default font at a pixel size, made to fit pMaxWidth when given.
QFont TextFont(int pPixelSize, bool pBold, const QString& pText = {}, int pMaxWidth = 0) {
    QFont font = QGuiApplication::font();
    font.setBold(pBold);
    font.setPixelSize(pPixelSize);
    font.setStyleStrategy(QFont::PreferAntialias);
    while (pMaxWidth > 0 && pPixelSize > 6 &&
           QFontMetrics(font).horizontalAdvance(pText) > pMaxWidth) {
        font.setPixelSize(--pPixelSize);
    }
    return font;
}

// A raised, rounded button shape around a label rectangle.
void DrawButton(QPainter& pPainter, const QRect& pLabel, const QColor& pTint = {}) {
    const QRectF shape = Grow(pLabel, kMargin);
    const QRectF frame = PixelFrame(shape.adjusted(0, 0, 1, 1));
    const double radius = 5;
    // Soft shadow one pixel below.
    pPainter.setPen(Qt::NoPen);
    pPainter.setBrush(QColor(0, 0, 0, 55));
    pPainter.drawRoundedRect(frame.translated(0, 1.2), radius, radius);
    QLinearGradient fill(shape.topLeft(), shape.bottomLeft());
    fill.setColorAt(0, kButtonTop);
    fill.setColorAt(1, pTint.isValid() ? pTint : kButtonBottom);
    pPainter.setBrush(fill);
    pPainter.setPen(QPen(kButtonBorder, 1));
    pPainter.drawRoundedRect(frame, radius, radius);
    // A glint along the top.
    pPainter.setPen(QPen(QColor(255, 255, 255, 200), 1));
    pPainter.drawLine(QPointF(frame.left() + radius, frame.top() + 1),
                      QPointF(frame.right() - radius, frame.top() + 1));
}

// The button shapes of a window; the close button is tinted.
void DrawButtons(QPainter& pPainter, const std::vector<SkinSpot>& pButtons) {
    for (const SkinSpot& button : pButtons)
        DrawButton(pPainter, button.rect, button.name == "cmdClose" ? QColor(246, 200, 190) : QColor());
}

// A band of light at x, pWidth wide, across a rounded badge.
void DrawShine(QPainter& pPainter, const QRectF& pBadge, double pRadius, double pX, double pWidth,
               double pHeight, int pAlpha) {
    QLinearGradient shine(QPointF(pX, 0), QPointF(pX + pWidth, 0));
    shine.setColorAt(0, QColor(255, 255, 255, 0));
    shine.setColorAt(0.5, QColor(255, 255, 255, pAlpha));
    shine.setColorAt(1, QColor(255, 255, 255, 0));
    QPainterPath clip;
    clip.addRoundedRect(pBadge, pRadius, pRadius);
    pPainter.setClipPath(clip);
    pPainter.setPen(Qt::NoPen);
    pPainter.setBrush(shine);
    pPainter.drawRect(QRectF(pX, 0, pWidth, pHeight));
}

// A sunken frame around an edit box: dark inside, shade above, light below.
void DrawWell(QPainter& pPainter, const QRect& pBox) {
    // One pixel around the box: the stacked boxes keep a pixel between their wells.
    const QRectF outer = PixelFrame(Grow(pBox, 1).adjusted(0, 0, 1, 1));
    pPainter.setPen(Qt::NoPen);
    pPainter.setBrush(kDeepWell);
    pPainter.drawRoundedRect(outer, 3, 3);
    pPainter.setBrush(Qt::NoBrush);
    pPainter.setPen(QPen(QColor(0, 0, 0, 120), 1));
    pPainter.drawLine(QPointF(outer.left() + 2, outer.top()),
                      QPointF(outer.right() - 2, outer.top()));
    pPainter.setPen(QPen(QColor(255, 255, 255, 90), 1));
    pPainter.drawLine(QPointF(outer.left() + 2, outer.bottom() + 1),
                      QPointF(outer.right() - 2, outer.bottom() + 1));
    pPainter.setPen(QPen(QColor(120, 190, 225, 70), 1));
    pPainter.drawRoundedRect(outer, 3, 3);
}

// A calm wave band filling everything below a sine line.
void DrawWave(QPainter& pPainter, double pBase, double pAmplitude, double pPeriod, double pPhase,
              const QColor& pColour, int pWidth, int pHeight) {
    QPainterPath wave;
    wave.moveTo(0, pHeight);
    for (int x = 0; x <= pWidth; x += 3)
        wave.lineTo(x, pBase + pAmplitude * std::sin(2 * std::numbers::pi * x / pPeriod + pPhase));
    wave.lineTo(pWidth, pHeight);
    wave.closeSubpath();
    pPainter.setPen(Qt::NoPen);
    pPainter.setBrush(pColour);
    pPainter.drawPath(wave);
}

// The microphone of the logo and the banner, centred on pCentre and pScale
// times its 47 x 45 size.
void DrawMicrophone(QPainter& pPainter, QPointF pCentre, double pScale, const QColor& pBody,
                    const QColor& pGrille) {
    pPainter.save();
    pPainter.translate(pCentre);
    pPainter.scale(pScale, pScale);
    // Capsule.
    pPainter.setPen(Qt::NoPen);
    pPainter.setBrush(pBody);
    pPainter.drawRoundedRect(QRectF(-5, -13, 10, 18), 5, 5);
    pPainter.setPen(QPen(pGrille, 1.2));
    for (double y : {-8.0, -5.0, -2.0})
        pPainter.drawLine(QPointF(-3, y), QPointF(3, y));
    // Holder, stem and foot.
    QPen holder(pBody, 2.2, Qt::SolidLine, Qt::RoundCap);
    pPainter.setPen(holder);
    pPainter.setBrush(Qt::NoBrush);
    pPainter.drawArc(QRectF(-8.5, -7.5, 17, 17), 180 * 16, 180 * 16);
    pPainter.drawLine(QPointF(0, 9.5), QPointF(0, 13));
    pPainter.drawLine(QPointF(-5, 14), QPointF(5, 14));
    pPainter.restore();
}

// Sound waves on both sides of a point: three arcs per side, each drawn with
// its own strength (0..1).
void DrawSoundWaves(QPainter& pPainter, QPointF pCentre, double pScale,
                    const std::array<double, 3>& pStrength, const QColor& pColour) {
    pPainter.save();
    pPainter.translate(pCentre);
    pPainter.scale(pScale, pScale);
    pPainter.setBrush(Qt::NoBrush);
    const double radii[3] = {11.0, 14.0, 17.0};
    for (int i = 0; i < 3; ++i) {
        if (pStrength[i] <= 0.01)
            continue;
        QPen pen(
            Alpha(pColour, static_cast<int>(std::lround(255 * std::clamp(pStrength[i], 0.0, 1.0)))),
            1.8, Qt::SolidLine, Qt::RoundCap);
        pPainter.setPen(pen);
        const QRectF arc(-radii[i], -radii[i], 2 * radii[i], 2 * radii[i]);
        pPainter.drawArc(arc, -38 * 16, 76 * 16); // right
        pPainter.drawArc(arc, 142 * 16, 76 * 16); // left
    }
    pPainter.restore();
}

QImage NewFrame(int pWidth, int pHeight, const QColor& pFill) {
    QImage image(pWidth, pHeight, QImage::Format_RGB32);
    image.fill(pFill);
    return image;
}

// The window's body inside its outline, lit from the upper left. Returns
// the outline's path; the painter is left clipped to it.
QPainterPath BeginBody(QPainter& pPainter, int pWidth, int pHeight, QPointF pGlowCentre,
                       double pGlowRadius) {
    pPainter.setRenderHint(QPainter::Antialiasing, true);
    // Filled on whole pixels so the cut edge is clean.
    QPolygonF outline(WindowOutline(pWidth, pHeight));
    outline.translate(0.5, 0.5);
    QPainterPath body;
    body.addPolygon(outline);
    body.closeSubpath();
    QLinearGradient depth(0, 0, 0, pHeight);
    depth.setColorAt(0.0, kBodyTop);
    depth.setColorAt(0.18, kBodyMiddle);
    depth.setColorAt(1.0, kBodyBottom);
    pPainter.setPen(Qt::NoPen);
    pPainter.setBrush(depth);
    pPainter.drawPath(body);
    pPainter.setClipPath(body);

    QRadialGradient glow(pGlowCentre, pGlowRadius);
    glow.setColorAt(0, QColor(255, 255, 255, 40));
    glow.setColorAt(1, QColor(255, 255, 255, 0));
    pPainter.setBrush(glow);
    pPainter.drawRect(QRect(0, 0, pWidth, pHeight));
    return body;
}

// The darker tab hanging from the top edge behind the title strip.
void DrawTitleTab(QPainter& pPainter, const QRect& pStrip) {
    const QRectF tab = PixelFrame(QRectF(pStrip).adjusted(-4, -3, 5, 4));
    QPainterPath tabPath;
    tabPath.addRoundedRect(tab, 6, 6);
    tabPath.addRect(tab.adjusted(0, 0, 0, -8)); // square top corners
    tabPath.setFillRule(Qt::WindingFill);
    pPainter.setPen(Qt::NoPen);
    pPainter.setBrush(QColor(9, 60, 92));
    pPainter.drawPath(tabPath.simplified());
    pPainter.setPen(QPen(QColor(255, 255, 255, 50), 1));
    pPainter.drawLine(QPointF(tab.left() + 6, tab.bottom() + 1),
                      QPointF(tab.right() - 6, tab.bottom() + 1));
}

// The cut edge and the light along the top.
void FinishBody(QPainter& pPainter, const QPainterPath& pBody, int pWidth) {
    pPainter.setClipping(false);
    pPainter.setPen(QPen(kEdge, 1));
    pPainter.setBrush(Qt::NoBrush);
    pPainter.drawPath(pBody);
    pPainter.setPen(QPen(QColor(255, 255, 255, 36), 1));
    pPainter.drawLine(QPointF(27, 2.5), QPointF(pWidth - 4, 2.5));
}

// A light panel sunk into the body: a flat face inside a dark rim, shade
// along the top and light along the bottom outside it.
void DrawSunkenPanel(QPainter& pPainter, const QRect& pPanel, const QColor& pFace) {
    const QRectF frame = PixelFrame(QRectF(pPanel).adjusted(0, 0, 1, 1));
    pPainter.setPen(QPen(QColor(255, 255, 255, 60), 1));
    pPainter.setBrush(Qt::NoBrush);
    pPainter.drawRoundedRect(frame.translated(0, 1), 5, 5);
    pPainter.setPen(QPen(QColor(4, 30, 48), 1));
    pPainter.setBrush(pFace);
    pPainter.drawRoundedRect(frame, 5, 5);
    // Shade under the top rim.
    pPainter.setPen(QPen(QColor(0, 0, 0, 45), 1));
    pPainter.drawLine(QPointF(frame.left() + 4, frame.top() + 1),
                      QPointF(frame.right() - 4, frame.top() + 1));
}

QRect ToQRect(const options_layout::Rect& pRect) {
    return QRect(pRect.left, pRect.top, pRect.width, pRect.height);
}

QRect ToQRect(const address_layout::Rect& pRect) {
    return QRect(pRect.left, pRect.top, pRect.width, pRect.height);
}

} // namespace

std::vector<SkinSpot> MainButtonLabels() {
    return {
        {"cmdHelp", QRect(530, 4, 15, 13)},   {"cmdClose", QRect(550, 4, 15, 13)},
        {"cmdRecord", QRect(10, 68, 71, 13)}, {"cmdPlay", QRect(10, 100, 71, 13)},
        {"cmdStop", QRect(10, 132, 71, 13)},  {"cmdSend", QRect(10, 164, 71, 13)},
        {"cmdHide", QRect(10, 196, 71, 13)},  {"cmdTo", QRect(104, 84, 41, 13)},
        {"cmdCC", QRect(104, 108, 41, 13)},   {"cmdConfigure", QRect(476, 194, 87, 13)},
    };
}

std::vector<SkinSpot> MainWhiteLabels() {
    return {{"lblSubject", QRect(88, 128, 59, 17)}, {"lblReturnReceipt", QRect(168, 154, 207, 17)}};
}

QPolygon WindowOutline(int pWidth, int pHeight) {
    const int w = pWidth - 2, h = pHeight - 2;
    QPolygon outline;
    outline << QPoint(25, 1) << QPoint(w, 1) << QPoint(w, h - 23) << QPoint(w - 1, h - 20)
            << QPoint(w - 2, h - 18) << QPoint(w - 9, h - 9) << QPoint(w - 18, h - 2)
            << QPoint(w - 20, h - 1) << QPoint(w - 23, h) << QPoint(3, h) << QPoint(3, 22)
            << QPoint(3, 20) << QPoint(4, 18) << QPoint(10, 11) << QPoint(20, 3) << QPoint(23, 2)
            << QPoint(25, 1);
    return outline;
}

QRgb OutsideColour() {
    return qRgb(40, 44, 48);
}

QImage DrawMainSkin() {
    QImage skin = NewFrame(kSkinWidth, kSkinHeight, QColor::fromRgb(OutsideColour()));
    QPainter p(&skin);
    const QPainterPath body = BeginBody(p, kSkinWidth, kSkinHeight, QPointF(140, -60), 420);

    // Header band with a soft rule under it.
    p.setBrush(QColor(255, 255, 255, 12));
    p.drawRect(QRectF(0, 0, kSkinWidth, 55));
    p.setPen(QPen(QColor(255, 255, 255, 45), 1));
    p.drawLine(QPointF(78, 55.5), QPointF(500, 55.5));
    p.setPen(QPen(QColor(0, 0, 0, 40), 1));
    p.drawLine(QPointF(78, 56.5), QPointF(500, 56.5));

    // Sea waves along the bottom.
    DrawWave(p, 236, 6, 260, 0.6, QColor(120, 210, 230, 16), kSkinWidth, kSkinHeight);
    DrawWave(p, 258, 7, 330, 2.1, QColor(120, 210, 230, 18), kSkinWidth, kSkinHeight);
    DrawWave(p, 282, 5, 210, 4.0, QColor(150, 225, 240, 20), kSkinWidth, kSkinHeight);

    // No halo or other detail behind the logo: on a large-font display the
    // logo keeps its picture's size at its scaled place over the stretched
    // skin, and its backdrop, cut from this skin, only blends in over the
    // body's smooth shading.

    // Title strip: a darker tab hanging from the top edge.
    DrawTitleTab(p, kTitleStrip);

    // The rail behind the transport buttons.
    p.setPen(QPen(QColor(255, 255, 255, 34), 1));
    p.setBrush(QColor(255, 255, 255, 16));
    p.drawRoundedRect(PixelFrame(QRectF(5, 58, 82, 160)), 8, 8);

    // The address panel: dark enough for the white labels on it.
    const QRectF panel = PixelFrame(QRectF(84, 68, 409, 121));
    p.setPen(QPen(QColor(255, 255, 255, 30), 1));
    p.setBrush(QColor(3, 24, 40, 125));
    p.drawRoundedRect(panel, 9, 9);
    DrawWell(p, kTo);
    DrawWell(p, kCc);
    DrawWell(p, kSubject);

    // Volume panel behind the two sliders and their labels.
    const QRectF volume = PixelFrame(QRectF(506, 22, 60, 73));
    QLinearGradient frost(volume.topLeft(), volume.bottomLeft());
    frost.setColorAt(0, kPanelLight);
    frost.setColorAt(1, QColor(196, 226, 240));
    p.setPen(QPen(kButtonBorder, 1));
    p.setBrush(frost);
    p.drawRoundedRect(volume, 7, 7);
    for (const QRect& track : {kMicSlider, kVolSlider}) {
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(150, 196, 218));
        p.drawRoundedRect(
            QRectF(track.center().x() - 1.5 + 0.5, track.top() + 2, 3, track.height() - 4), 1.5,
            1.5);
    }
    p.setPen(QPen(QColor(150, 196, 218), 1));
    p.drawLine(QPointF(volume.left() + 5, kMicLabel.top() - 1.5),
               QPointF(volume.right() - 5, kMicLabel.top() - 1.5));

    // Status strip.
    const QRectF status = PixelFrame(Grow(kStatus, 1).adjusted(-1, 0, 1, 1));
    p.setPen(QPen(QColor(4, 30, 48), 1));
    p.setBrush(kPanelLight);
    p.drawRoundedRect(status, 4, 4);
    p.setPen(QPen(QColor(255, 255, 255, 110), 1));
    p.drawLine(QPointF(status.left() + 3, status.bottom() + 1),
               QPointF(status.right() - 3, status.bottom() + 1));

    // Banner bay.
    const QRectF bay = PixelFrame(Grow(kBanner, 4).adjusted(0, 0, 1, 1));
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(255, 255, 255, 40));
    p.drawRoundedRect(bay.translated(0, 1), 6, 6);
    p.setBrush(QColor(4, 26, 42));
    p.drawRoundedRect(bay, 6, 6);
    p.setPen(QPen(QColor(0, 0, 0, 90), 1));
    p.setBrush(QColor(10, 54, 82));
    p.drawRect(PixelFrame(Grow(kBanner, 1).adjusted(0, 0, 1, 1)));

    // Buttons.
    DrawButtons(p, MainButtonLabels());

    // The cut edge.
    FinishBody(p, body, kSkinWidth);
    p.end();
    return skin;
}

// Named rectangles of a layout table as skin spots.
template <typename Table> std::vector<SkinSpot> SpotsOf(const Table& pTable) {
    std::vector<SkinSpot> spots;
    for (const auto& entry : pTable) spots.push_back({entry.name, ToQRect(entry.rect)});
    return spots;
}

std::vector<SkinSpot> OptionsButtonLabels() { return SpotsOf(options_layout::kButtons); }

std::vector<SkinSpot> OptionsBoxes() { return SpotsOf(options_layout::kBoxes); }

QRgb OptionsPageFace() {
    const auto face = options_layout::kPageFace;
    return qRgb(face.r, face.g, face.b);
}

QImage DrawOptionsSkin() {
    namespace L = options_layout;
    QImage skin = NewFrame(L::kWidth, L::kHeight, QColor::fromRgb(OutsideColour()));
    QPainter p(&skin);
    const QPainterPath body = BeginBody(p, L::kWidth, L::kHeight, QPointF(90, -50), 360);

    // Sea waves along the bottom, under the dialog buttons.
    DrawWave(p, 318, 5, 240, 0.9, QColor(120, 210, 230, 16), L::kWidth, L::kHeight);
    DrawWave(p, 340, 6, 300, 2.4, QColor(150, 225, 240, 20), L::kWidth, L::kHeight);

    DrawTitleTab(p, ToQRect(L::lblToolbar));

    // The rail behind the page buttons.
    const QRect first = ToQRect(L::cmdMail), last = ToQRect(L::cmdMisc);
    p.setPen(QPen(QColor(255, 255, 255, 34), 1));
    p.setBrush(QColor(255, 255, 255, 16));
    p.drawRoundedRect(PixelFrame(QRectF(first.left() - 6, first.top() - 10, first.width() + 12,
                                        last.bottom() - first.top() + 21)),
                      8, 8);

    // The page panel: one flat face for all three pages; the edit boxes and
    // lists of the page shown lie in it.
    DrawSunkenPanel(p, ToQRect(L::kPagePanel), QColor::fromRgb(OptionsPageFace()));

    DrawButtons(p, OptionsButtonLabels());

    FinishBody(p, body, L::kWidth);
    p.end();
    return skin;
}

std::vector<SkinSpot> AddressesButtonLabels() { return SpotsOf(address_layout::kButtons); }

QRect AddressesList() {
    return ToQRect(address_layout::lvAddresses);
}

QRect AddressesListPanel() {
    return ToQRect(address_layout::kListPanel);
}

QImage DrawAddressesSkin() {
    namespace L = address_layout;
    QImage skin = NewFrame(L::kWidth, L::kHeight, QColor::fromRgb(OutsideColour()));
    QPainter p(&skin);
    const QPainterPath body = BeginBody(p, L::kWidth, L::kHeight, QPointF(110, -50), 330);

    DrawWave(p, 196, 4, 230, 1.3, QColor(120, 210, 230, 16), L::kWidth, L::kHeight);
    DrawWave(p, 206, 4, 170, 3.1, QColor(150, 225, 240, 20), L::kWidth, L::kHeight);

    DrawTitleTab(p, ToQRect(L::lblToolbar));

    // The headings sit on the light panel; the list has a well of its own.
    DrawSunkenPanel(p, AddressesListPanel(), kPanelLight);
    DrawWell(p, AddressesList());

    DrawButtons(p, AddressesButtonLabels());

    FinishBody(p, body, L::kWidth);
    p.end();
    return skin;
}

Animation LogoAnimation(const QImage& pSkin) {
    const QImage backdrop = pSkin.copy(kLogo).convertToFormat(QImage::Format_RGB32);
    const QPointF centre(23.5, 22.5);
    // Frame 0 rests with faint waves; then a pulse runs outwards and fades.
    const double pulse[8][3] = {
        {0.30, 0.22, 0.15}, {0.95, 0.30, 0.15}, {0.70, 0.95, 0.30}, {0.45, 0.70, 0.95},
        {0.95, 0.45, 0.70}, {0.70, 0.95, 0.45}, {0.45, 0.70, 0.95}, {0.35, 0.45, 0.70},
    };
    Animation logo;
    for (const auto& strength : pulse) {
        QImage frame = backdrop;
        QPainter p(&frame);
        p.setRenderHint(QPainter::Antialiasing, true);
        QRadialGradient disc(QPointF(17, 12), 30);
        disc.setColorAt(0, QColor(64, 168, 212));
        disc.setColorAt(1, kIconBlue.darker(115));
        p.setPen(QPen(QColor(255, 255, 255, 150), 1.2));
        p.setBrush(disc);
        p.drawEllipse(centre, 21.0, 21.0);
        DrawSoundWaves(p, centre + QPointF(0, -4), 1.0, {strength[0], strength[1], strength[2]},
                       QColor(230, 248, 255));
        DrawMicrophone(p, centre + QPointF(0, -1), 1.0, QColor(255, 255, 255), kIconBlue);
        p.end();
        logo.frames.push_back(frame);
        logo.delaysCs.push_back(10);
    }
    return logo;
}

Animation ZovidAnimation(const QImage& pSkin, bool pGerman) {
    const QImage backdrop = pSkin.copy(kZovid).convertToFormat(QImage::Format_RGB32);
    const QRectF badge(0.5, 0.5, kZovid.width() - 1, kZovid.height() - 1);
    constexpr int kFrames = 10;
    Animation zovid;
    for (int n = 0; n < kFrames; ++n) {
        QImage frame = backdrop;
        QPainter p(&frame);
        p.setRenderHint(QPainter::Antialiasing, true);
        QLinearGradient sand(badge.topLeft(), badge.bottomLeft());
        sand.setColorAt(0, kSand);
        sand.setColorAt(1, kSandDeep);
        p.setPen(QPen(QColor(196, 112, 30), 1));
        p.setBrush(sand);
        p.drawRoundedRect(badge, 7, 7);

        // A light bulb whose rays breathe.
        const QPointF bulb(14, 14);
        const double glow = n == 0 ? 0.4 : 0.5 + 0.5 * std::sin(n * std::numbers::pi / 4.5);
        p.setPen(QPen(Alpha(QColor(255, 255, 255), static_cast<int>(120 + 135 * glow)), 1.4,
                      Qt::SolidLine, Qt::RoundCap));
        for (int ray = 0; ray < 8; ++ray) {
            const double a = ray * std::numbers::pi / 4;
            const double r0 = 8.0, r1 = 9.5 + 2.0 * glow;
            p.drawLine(bulb + QPointF(r0 * std::cos(a), r0 * std::sin(a)),
                       bulb + QPointF(r1 * std::cos(a), r1 * std::sin(a)));
        }
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(255, 250, 220));
        p.drawEllipse(bulb, 5.5, 5.5);
        p.setBrush(kInk);
        p.drawRoundedRect(QRectF(bulb.x() - 2.5, bulb.y() + 5, 5, 4), 1, 1);

        // Words.
        p.setPen(kInk);
        p.setFont(TextFont(12, true, QStringLiteral("BrisaMail"), 58));
        p.drawText(QRectF(27, 2, 59, 15), Qt::AlignLeft | Qt::AlignVCenter,
                   QStringLiteral("BrisaMail"));
        const QString tips = pGerman ? QStringLiteral("Tipps \u203A") : QStringLiteral("Tips \u203A");
        p.setFont(TextFont(11, false, tips, 58));
        p.drawText(QRectF(27, 15, 59, 14), Qt::AlignLeft | Qt::AlignVCenter, tips);

        // A shine sweeping across.
        if (n > 0) DrawShine(p, badge, 7, -20 + (n - 1) * 14.0, 16, kZovid.height(), 110);
        p.end();
        zovid.frames.push_back(frame);
        zovid.delaysCs.push_back(n == 0 ? 200 : 8);
    }
    return zovid;
}

Animation BannerAnimation(bool pGerman) {
    constexpr int kWidth = 468, kHeight = 60;
    struct Scene {
        QString headline;
        QString line;
    };
    const Scene english[] = {
        {QStringLiteral("Record. Send. Smile."), QStringLiteral("Voice messages in three clicks")},
        {QStringLiteral("Say it with your voice"),
         QStringLiteral("Your friends hear you, not just your words")},
        {QStringLiteral("Reach anyone with e-mail"),
         QStringLiteral("Pick names straight from your address book")},
    };
    const Scene german[] = {
        {QStringLiteral("Aufnehmen. Senden. L\u00E4cheln."),
         QStringLiteral("Sprachnachrichten mit drei Klicks")},
        {QStringLiteral("Sagen Sie es mit Ihrer Stimme"),
         QStringLiteral("Man h\u00F6rt Sie, nicht nur Ihre Worte")},
        {QStringLiteral("Jeden per E-Mail erreichen"),
         QStringLiteral("Namen direkt aus Ihrem Adressbuch w\u00E4hlen")},
    };
    const Scene(&scenes)[3] = pGerman ? german : english;

    // The still part: sea gradient, waves, microphone badge, brand pill.
    QImage backdrop = NewFrame(kWidth, kHeight, kIconBlue);
    {
        QPainter p(&backdrop);
        p.setRenderHint(QPainter::Antialiasing, true);
        QLinearGradient sea(0, 0, kWidth, 0);
        sea.setColorAt(0, QColor(12, 78, 118));
        sea.setColorAt(1, QColor(26, 132, 176));
        p.setPen(Qt::NoPen);
        p.setBrush(sea);
        p.drawRect(backdrop.rect());
        DrawWave(p, 44, 3, 150, 0.4, QColor(140, 220, 240, 26), kWidth, kHeight);
        DrawWave(p, 51, 3, 110, 2.0, QColor(140, 220, 240, 30), kWidth, kHeight);

        const QPointF badge(30, 30);
        p.setPen(QPen(QColor(255, 255, 255, 160), 1.2));
        p.setBrush(kIconBlue);
        p.drawEllipse(badge, 22.0, 22.0);
        DrawSoundWaves(p, badge + QPointF(0, -4), 1.0, {0.9, 0.6, 0.35}, QColor(230, 248, 255));
        DrawMicrophone(p, badge + QPointF(0, -1), 1.0, QColor(255, 255, 255), kIconBlue);

        const QRectF pill(372.5, 18.5, 86, 24);
        p.setPen(QPen(QColor(196, 112, 30), 1));
        p.setBrush(kSand);
        p.drawRoundedRect(pill, 12, 12);
        p.setPen(kInk);
        p.setFont(TextFont(13, true, QStringLiteral("BrisaMail"), 76));
        p.drawText(pill, Qt::AlignCenter, QStringLiteral("BrisaMail"));
    }

    // Each scene slides in from the right, stays, and gives way to the next.
    const QRectF textArea(62, 0, 302, kHeight);
    const double slide[] = {64, 30, 10, 0};
    Animation banner;
    for (const Scene& scene : scenes) {
        for (std::size_t step = 0; step < std::size(slide); ++step) {
            QImage frame = backdrop;
            QPainter p(&frame);
            p.setRenderHint(QPainter::Antialiasing, true);
            p.setClipRect(textArea);
            const double offset = slide[step];
            const int alpha = static_cast<int>(255 - 150 * offset / slide[0]);
            p.setPen(QColor(255, 255, 255, alpha));
            p.setFont(TextFont(22, true, scene.headline, static_cast<int>(textArea.width()) - 4));
            p.drawText(QRectF(textArea.left() + offset, 5, textArea.width(), 30),
                       Qt::AlignLeft | Qt::AlignVCenter, scene.headline);
            p.setPen(QColor(190, 236, 250, alpha));
            p.setFont(TextFont(13, false, scene.line, static_cast<int>(textArea.width()) - 4));
            p.drawText(QRectF(textArea.left() + offset * 1.4, 34, textArea.width(), 20),
                       Qt::AlignLeft | Qt::AlignVCenter, scene.line);
            p.end();
            banner.frames.push_back(frame);
            banner.delaysCs.push_back(step + 1 == std::size(slide) ? 260 : 6);
        }
    }
    return banner;
}

QImage DrawOutlookSkin() {
    namespace layout = brisa::outlook_layout;
    const auto rect = [](const layout::Rect& r) { return QRect(r.left, r.top, r.width, r.height); };
    const int width = layout::kWidth, height = layout::kHeight;

    QImage skin = NewFrame(width, height, QColor::fromRgb(OutsideColour()));
    QPainter p(&skin);
    p.setRenderHint(QPainter::Antialiasing, true);

    // The window's body, filled on whole pixels so the cut edge is clean.
    QPolygonF outline(WindowOutline(width, height));
    outline.translate(0.5, 0.5);
    QPainterPath body;
    body.addPolygon(outline);
    body.closeSubpath();
    QLinearGradient depth(0, 0, 0, height);
    depth.setColorAt(0.0, kBodyTop);
    depth.setColorAt(0.3, kBodyMiddle);
    depth.setColorAt(1.0, kBodyBottom);
    p.setPen(Qt::NoPen);
    p.setBrush(depth);
    p.drawPath(body);
    p.setClipPath(body);

    // Light falling in from the upper left, and a calm sea along the bottom.
    QRadialGradient glow(QPointF(90, -40), 260);
    glow.setColorAt(0, QColor(255, 255, 255, 38));
    glow.setColorAt(1, QColor(255, 255, 255, 0));
    p.setBrush(glow);
    p.drawRect(skin.rect());
    DrawWave(p, 112, 4, 210, 0.9, QColor(120, 210, 230, 16), width, height);
    DrawWave(p, 126, 4, 160, 2.8, QColor(150, 225, 240, 20), width, height);

    // Title strip: a darker tab hanging from the top edge.
    const QRectF tab = PixelFrame(QRectF(rect(layout::lblToolbar)).adjusted(-4, -3, 5, 4));
    QPainterPath tabPath;
    tabPath.addRoundedRect(tab, 6, 6);
    tabPath.addRect(tab.adjusted(0, 0, 0, -8)); // square top corners
    tabPath.setFillRule(Qt::WindingFill);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(9, 60, 92));
    p.drawPath(tabPath.simplified());
    p.setPen(QPen(QColor(255, 255, 255, 50), 1));
    p.drawLine(QPointF(tab.left() + 6, tab.bottom() + 1),
               QPointF(tab.right() - 6, tab.bottom() + 1));

    // The light panel of the two lists, dark text on it.
    const QRectF panel = PixelFrame(QRectF(rect(layout::kListPanel)));
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0, 0, 0, 60));
    p.drawRoundedRect(panel.translated(0, 1.5), 8, 8);
    QLinearGradient frost(panel.topLeft(), panel.bottomLeft());
    frost.setColorAt(0, kPanelLight);
    frost.setColorAt(1, QColor(200, 228, 242));
    p.setPen(QPen(kButtonBorder, 1));
    p.setBrush(frost);
    p.drawRoundedRect(panel, 8, 8);
    // A rule between the two rows, and a soft frame where each list sits.
    const double rule = (layout::cboProfile.bottom() + layout::cboFolder.top) / 2.0 + 0.5;
    p.setPen(QPen(QColor(150, 196, 218), 1));
    p.drawLine(QPointF(panel.left() + 8, rule), QPointF(panel.right() - 8, rule));
    for (const layout::Rect& list : {layout::cboProfile, layout::cboFolder}) {
        p.setPen(QPen(QColor(112, 150, 176), 1));
        p.setBrush(Qt::white);
        p.drawRoundedRect(PixelFrame(Grow(rect(list), 1).adjusted(0, 0, 1, 1)), 2, 2);
    }

    // Buttons.
    for (const layout::NamedRect& button : layout::kButtons)
        DrawButton(p, rect(button.rect),
                   std::string_view(button.name) == "cmdClose" ? QColor(246, 200, 190) : QColor());

    // The cut edge.
    p.setClipping(false);
    p.setPen(QPen(kEdge, 1));
    p.setBrush(Qt::NoBrush);
    p.drawPath(body);
    p.setPen(QPen(QColor(255, 255, 255, 36), 1));
    p.drawLine(QPointF(27, 2.5), QPointF(width - 4, 2.5));
    p.end();
    return skin;
}

} // namespace brisa::art

// ---- the house advertisements -------------------------------------------------------

namespace brisa::art {

namespace {

// Where the partner buttons sit on the main window.
const QRect kPartnerButton1(496, 114, 55, 25);
const QRect kPartnerButton2(496, 150, 55, 25);

// An open address book with an "@" on its page.
void DrawBook(QPainter& pPainter, QPointF pCentre, const QColor& pPage, const QColor& pInk) {
    pPainter.save();
    pPainter.translate(pCentre);
    pPainter.setPen(QPen(pInk, 1.2));
    pPainter.setBrush(pPage);
    pPainter.drawRoundedRect(QRectF(-11, -12, 22, 24), 2.5, 2.5);
    pPainter.setBrush(pInk);
    pPainter.setPen(Qt::NoPen);
    pPainter.drawRect(QRectF(-11, -12, 4, 24)); // the spine
    pPainter.setPen(QPen(pInk, 1.6));
    pPainter.setBrush(Qt::NoBrush);
    pPainter.drawEllipse(QPointF(2.5, -3), 4.0, 4.0);
    pPainter.drawEllipse(QPointF(2.5, -3), 1.6, 1.6);
    pPainter.setPen(QPen(pInk, 1.2));
    pPainter.drawLine(QPointF(-4, 5), QPointF(8, 5));
    pPainter.drawLine(QPointF(-4, 8.5), QPointF(6, 8.5));
    pPainter.restore();
}

// A strip of the desktop's panel with the program's icon lit to pGlow (0..1).
void DrawTray(QPainter& pPainter, QPointF pCentre, double pGlow, const QColor& pInk) {
    pPainter.save();
    pPainter.translate(pCentre);
    pPainter.setPen(QPen(QColor(255, 255, 255, 200), 1));
    pPainter.setBrush(QColor(230, 244, 250));
    pPainter.drawRoundedRect(QRectF(-14, 2, 28, 10), 2, 2);
    pPainter.setPen(Qt::NoPen);
    pPainter.setBrush(QColor(150, 190, 210));
    pPainter.drawRect(QRectF(-11, 5, 4, 4));
    pPainter.drawRect(QRectF(-5, 5, 4, 4));
    pPainter.setBrush(kSandDeep.lighter(static_cast<int>(100 + 40 * pGlow)));
    pPainter.drawEllipse(QPointF(7, 7), 3.2 + pGlow, 3.2 + pGlow);
    // The window rising out of it.
    pPainter.setPen(QPen(Alpha(pInk, 200), 1));
    pPainter.setBrush(QColor(255, 255, 255, 220));
    pPainter.drawRoundedRect(QRectF(-9, -13, 18, 12), 2, 2);
    pPainter.setBrush(pInk);
    pPainter.setPen(Qt::NoPen);
    pPainter.drawRect(QRectF(-9, -13, 18, 3));
    pPainter.restore();
}

Animation HouseBanner(const HouseAd& pAd) {
    constexpr int kWidth = 468, kHeight = 60;
    const QString headline = QString::fromStdString(pAd.headline);
    const QString line = QString::fromStdString(pAd.line);
    const QString more = QString::fromStdString(pAd.more) + QStringLiteral(" \u203A");
    const QRectF textArea(62, 0, 302, kHeight);
    const QRectF pill(372.5, 18.5, 86, 24);
    const QPointF badge(30, 30);

    // A short pulse: the badge's ring widens, the pill lights up, then all rests.
    const double pulse[] = {0.0, 0.5, 1.0, 0.5};
    Animation banner;
    for (std::size_t n = 0; n < std::size(pulse); ++n) {
        const double glow = pulse[n];
        QImage frame = NewFrame(kWidth, kHeight, kIconBlue);
        QPainter p(&frame);
        p.setRenderHint(QPainter::Antialiasing, true);
        QLinearGradient sea(0, 0, kWidth, 0);
        sea.setColorAt(0, QColor(10, 70, 108));
        sea.setColorAt(1, QColor(24, 124, 168));
        p.setPen(Qt::NoPen);
        p.setBrush(sea);
        p.drawRect(frame.rect());
        DrawWave(p, 46, 3, 170, 0.9 + 0.3 * static_cast<double>(n), QColor(140, 220, 240, 26),
                 kWidth, kHeight);
        DrawWave(p, 52, 3, 120, 2.6, QColor(140, 220, 240, 30), kWidth, kHeight);

        // The badge.
        p.setPen(QPen(QColor(255, 255, 255, static_cast<int>(90 + 120 * glow)), 1.2 + 1.2 * glow));
        p.setBrush(kIconBlue);
        p.drawEllipse(badge, 22.0, 22.0);
        switch (pAd.icon) {
        case HouseAd::Icon::Microphone:
            DrawSoundWaves(p, badge + QPointF(0, -4), 1.0, {0.4 + 0.6 * glow, 0.3 + 0.4 * glow, 0.2},
                           QColor(230, 248, 255));
            DrawMicrophone(p, badge + QPointF(0, -1), 1.0, QColor(255, 255, 255), kIconBlue);
            break;
        case HouseAd::Icon::Book:
            DrawBook(p, badge, QColor(255, 255, 255), kInk);
            break;
        case HouseAd::Icon::Tray:
            DrawTray(p, badge, glow, kInk);
            break;
        case HouseAd::Icon::None:
            break;
        }

        // The words.
        p.setClipRect(textArea);
        p.setPen(QColor(255, 255, 255));
        p.setFont(TextFont(21, true, headline, static_cast<int>(textArea.width()) - 4));
        p.drawText(QRectF(textArea.left(), 5, textArea.width(), 30), Qt::AlignLeft | Qt::AlignVCenter,
                   headline);
        p.setPen(QColor(190, 236, 250));
        p.setFont(TextFont(13, false, line, static_cast<int>(textArea.width()) - 4));
        p.drawText(QRectF(textArea.left(), 34, textArea.width(), 20), Qt::AlignLeft | Qt::AlignVCenter,
                   line);
        p.setClipping(false);

        // The pill that asks for the click.
        p.setPen(QPen(QColor(196, 112, 30), 1));
        p.setBrush(kSand.lighter(static_cast<int>(100 + 14 * glow)));
        p.drawRoundedRect(pill, 12, 12);
        p.setPen(kInk);
        p.setFont(TextFont(12, true, more, 74));
        p.drawText(pill.translated(glow * 2, 0), Qt::AlignCenter, more);
        p.end();
        banner.frames.push_back(frame);
        banner.delaysCs.push_back(n == 0 ? 300 : 12);
    }
    return banner;
}

Animation HouseButton(const HouseAd& pAd) {
    const QRect place = pAd.location == 6 ? kPartnerButton2 : kPartnerButton1;
    const QImage backdrop = DrawMainSkin().copy(place).convertToFormat(QImage::Format_RGB32);
    const QRectF badge(0.5, 0.5, place.width() - 1, place.height() - 1);
    const QString caption = QString::fromStdString(pAd.headline) + QStringLiteral(" \u203A");
    constexpr int kFrames = 6;
    Animation button;
    for (int n = 0; n < kFrames; ++n) {
        QImage frame = backdrop;
        QPainter p(&frame);
        p.setRenderHint(QPainter::Antialiasing, true);
        QLinearGradient sand(badge.topLeft(), badge.bottomLeft());
        sand.setColorAt(0, kSand);
        sand.setColorAt(1, kSandDeep);
        p.setPen(QPen(QColor(196, 112, 30), 1));
        p.setBrush(sand);
        p.drawRoundedRect(badge, 6, 6);
        p.setPen(kInk);
        p.setFont(TextFont(12, true, caption, place.width() - 8));
        p.drawText(badge, Qt::AlignCenter, caption);
        // A shine sweeping across.
        if (n > 0) DrawShine(p, badge, 6, -8 + (n - 1) * 14.0, 14, place.height(), 120);
        p.end();
        button.frames.push_back(frame);
        button.delaysCs.push_back(n == 0 ? 250 : 8);
    }
    return button;
}

} // namespace

std::vector<HouseAd> HouseAdPictures() {
    using Icon = HouseAd::Icon;
    // English in ads/, each other language in ads/<its language id>/ under
    // the same names.
    return {
        {"ads/banner_record.gif", 0, "Record in one click",
         "Press Record, speak, press Stop: your message is ready", Icon::Microphone, "Learn how"},
        {"ads/banner_books.gif", 0, "Your address book is already here",
         "BrisaMail reads the contacts of your mail program", Icon::Book, "Learn how"},
        {"ads/banner_tray.gif", 0, "Always at hand in the tray",
         "Double-click the tray icon to send a voice message", Icon::Tray, "Learn how"},
        {"ads/button_help.gif", 5, "Help", "", Icon::None, ""},
        {"ads/button_keys.gif", 5, "Keys", "", Icon::None, ""},
        {"ads/button_faq.gif", 6, "FAQ", "", Icon::None, ""},
        {"ads/button_setup.gif", 6, "Setup", "", Icon::None, ""},
        {"ads/00000407/banner_record.gif", 0, "Aufnehmen mit einem Klick",
         "Aufnahme, sprechen, Stopp: schon ist Ihre Nachricht fertig", Icon::Microphone,
         "So geht's"},
        {"ads/00000407/banner_books.gif", 0, "Ihr Adressbuch ist schon da",
         "BrisaMail liest die Kontakte Ihres Mailprogramms", Icon::Book, "So geht's"},
        {"ads/00000407/banner_tray.gif", 0, "Immer zur Hand im Infobereich",
         "Doppelklick aufs Symbol, und Sie senden eine Sprachnachricht", Icon::Tray, "So geht's"},
        {"ads/00000407/button_help.gif", 5, "Hilfe", "", Icon::None, ""},
        {"ads/00000407/button_keys.gif", 5, "Tasten", "", Icon::None, ""},
        {"ads/00000407/button_faq.gif", 6, "FAQ", "", Icon::None, ""},
        {"ads/00000407/button_setup.gif", 6, "Optionen", "", Icon::None, ""},
    };
}

Animation HouseAdAnimation(const HouseAd& pAd) {
    return pAd.location == 0 ? HouseBanner(pAd) : HouseButton(pAd);
}

} // namespace brisa::art
