// The pixels of the skinned frame: the outline the windows are cut to, the
// bevel rings, and what a window paints on a large-font display with its
// skin stretched, missing or unreadable.
#include "common/globals.h"
#include "skin/label_button.h"
#include "skin/skinned_window.h"
#include "skin/window_shape.h"
#include "tests/support/temp_env.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QPainter>
#include <QWidget>
#include <gtest/gtest.h>

namespace brisa::test {
namespace {

const QRgb kWhite = qRgb(255, 255, 255), kGrey = qRgb(128, 128, 128), kBlack = qRgb(0, 0, 0);

TEST(SkinPixels, BevelRings) {
    const struct {
        QRect control;
        int unit;
        QPoint at;
        QRgb colour;
    } cases[] = {
        // One ring around a control whose right is 35 and bottom 23.
        {{20, 10, 15, 13}, 1, {25, 8}, kWhite}, {{20, 10, 15, 13}, 1, {18, 15}, kWhite},
        {{20, 10, 15, 13}, 1, {36, 15}, kGrey}, {{20, 10, 15, 13}, 1, {25, 24}, kGrey},
        {{20, 10, 15, 13}, 1, {25, 15}, kBlack}, // the control itself
        {{20, 10, 15, 13}, 1, {19, 15}, kBlack}, {{20, 10, 15, 13}, 1, {25, 9}, kBlack}, // the gap
        {{20, 10, 15, 13}, 1, {35, 15}, kBlack}, {{20, 10, 15, 13}, 1, {25, 23}, kBlack},
        {{20, 10, 15, 13}, 1, {36, 8}, kWhite}, // the top edge runs over the right one
        {{20, 10, 15, 13}, 1, {18, 24}, kWhite}, {{20, 10, 15, 13}, 1, {36, 24}, kGrey},
        {{20, 10, 15, 13}, 1, {17, 8}, kBlack}, {{20, 10, 15, 13}, 1, {37, 15}, kBlack},
        // Two units: two rings, two pixels apart.
        {{20, 20, 10, 10}, 2, {25, 16}, kWhite}, {{20, 20, 10, 10}, 2, {25, 14}, kWhite},
        {{20, 20, 10, 10}, 2, {25, 15}, kBlack}, {{20, 20, 10, 10}, 2, {16, 25}, kWhite},
        {{20, 20, 10, 10}, 2, {14, 25}, kWhite}, {{20, 20, 10, 10}, 2, {32, 25}, kGrey},
        {{20, 20, 10, 10}, 2, {34, 25}, kGrey}, {{20, 20, 10, 10}, 2, {25, 34}, kGrey},
    };
    for (const auto& c : cases) {
        QImage image(60, 60, QImage::Format_RGB32);
        image.fill(Qt::black);
        QPainter painter(&image);
        DrawBevel(painter, c.control, c.unit);
        painter.end();
        EXPECT_EQ(image.pixel(c.at), c.colour) << c.unit << " unit(s), at " << c.at.x() << "," << c.at.y();
    }
}

TEST(SkinPixels, Outline) {
    // The options window: 445 x 369 pixels, so W = 443 and H = 367.
    EXPECT_EQ(ShapePolygon(443, 367),
              QPolygon({QPoint(25, 1), QPoint(443, 1), QPoint(443, 344), QPoint(442, 347), QPoint(441, 349),
                        QPoint(434, 358), QPoint(425, 365), QPoint(423, 366), QPoint(420, 367), QPoint(3, 367),
                        QPoint(3, 22), QPoint(3, 20), QPoint(4, 18), QPoint(10, 11), QPoint(20, 3),
                        QPoint(23, 2), QPoint(25, 1)}));
    const struct {
        QSize window;
        QPoint at;
        bool inside;
    } cases[] = {
        {{577, 324}, {100, 100}, true},  {{577, 324}, {570, 5}, true},    // square top-right corner
        {{577, 324}, {5, 318}, true},    {{577, 324}, {2, 2}, false},     // curved top-left corner
        {{577, 324}, {570, 318}, false}, {{577, 324}, {1, 100}, false},   // left of x = 3
        {{577, 324}, {100, 0}, false},   {{445, 369}, {442, 2}, true},    // above y = 1
        {{445, 369}, {444, 100}, false}, {{445, 369}, {440, 364}, false}, // right of W, curved corner
    };
    for (const auto& c : cases) {
        QWidget window;
        window.resize(c.window);
        EXPECT_EQ(MakeWindowShape(&window).contains(c.at), c.inside) << c.at.x() << "," << c.at.y();
        EXPECT_EQ(window.mask().contains(c.at), c.inside);
    }
}

// A small skinned window: Alpha gets a bevel only where the skin failed,
// Gamma always.
class TestWindow : public cSkinnedWindow {
public:
    TestWindow() : cSkinnedWindow("frmTest", QSize(300, 200), "/skins/frmTest.jpg") {
        alpha = AddButton("cmdAlpha", "Alpha", QRect(20, 60, 70, 13));
        gamma = AddButton("cmdGamma", "Gamma", QRect(20, 150, 70, 13));
        m_AlwaysBevelled = {gamma};
        m_FallbackBevelled = {alpha};
    }
    cLabelButton* alpha;
    cLabelButton* gamma;
};

bool BevelAround(const QImage& pImage, const QRect& pControl) {
    const QPoint c = pControl.center();
    return pImage.pixel(pControl.left() - 2, c.y()) == kWhite && pImage.pixel(c.x(), pControl.top() - 2) == kWhite &&
           pImage.pixel(pControl.left() + pControl.width() + 1, c.y()) == kGrey &&
           pImage.pixel(c.x(), pControl.top() + pControl.height() + 1) == kGrey;
}

TEST(SkinPixels, ALargeFontWindowWithItsSkinStretchedMissingOrUnreadable) {
    TempEnv env;
    gLargeFonts = true;
    gScaleX = gScaleY = 1.25f;
    const QRgb skinColour = qRgb(20, 90, 140);
    const struct {
        const char* skin; // nullptr: none
        bool painted;
    } cases[] = {{"good", true}, {nullptr, false}, {"not a picture at all", false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.skin ? c.skin : "no skin");
        QFile::remove(QString::fromStdString(env.Path("skins/frmTest.jpg")));
        if (c.skin && c.painted) {
            QImage skin(300, 200, QImage::Format_RGB32);
            skin.fill(skinColour);
            QDir().mkpath(QString::fromStdString(env.Path("skins")));
            ASSERT_TRUE(skin.save(QString::fromStdString(env.Path("skins/frmTest.jpg")), "JPG"));
        } else if (c.skin) {
            WriteFile(env.Path("skins/frmTest.jpg"), c.skin);
        }
        const QStringList files = QDir(QString::fromStdString(env.Path("skins"))).entryList(QDir::Files);
        TestWindow window;
        EXPECT_EQ(window.size(), QSize(375, 250));
        EXPECT_EQ(window.PrepareSkin(), c.painted);
        const QImage image = window.grab().toImage();
        // The stretched skin reaches the far corner; a plain window shows its own colour.
        const QRgb corner = image.pixel(370, 245);
        if (c.painted)
            EXPECT_TRUE(std::abs(qRed(corner) - 20) < 8 && std::abs(qGreen(corner) - 90) < 8 &&
                        std::abs(qBlue(corner) - 140) < 8);
        else
            EXPECT_EQ(corner, window.palette().color(QPalette::Window).rgb());
        EXPECT_TRUE(BevelAround(image, window.gamma->geometry()));
        EXPECT_EQ(BevelAround(image, window.alpha->geometry()), !c.painted);
        // Stretched in memory: nothing new in the program folder.
        EXPECT_EQ(QDir(QString::fromStdString(env.Path("skins"))).entryList(QDir::Files), files);
    }
    gLargeFonts = false;
    gScaleX = gScaleY = 1.0f;
}

} // namespace
} // namespace brisa::test
