// The label buttons and the window outline.
#include "skin/label_button.h"
#include "skin/window_shape.h"

#include <QKeyEvent>
#include <QPainter>
#include <QSignalSpy>
#include <QTest>
#include <QWidget>
#include <gtest/gtest.h>

namespace brisa::test {
namespace {

TEST(LabelButton, CaptionIsItsAccessibleNameWithoutMnemonic) {
    cLabelButton b("&Record");
    EXPECT_EQ(b.accessibleName(), "Record");
    b.SetCaption("Pause");
    EXPECT_EQ(b.text(), "Pause");
    EXPECT_EQ(b.accessibleName(), "Pause");
    EXPECT_EQ(b.focusPolicy(), Qt::StrongFocus);
}

TEST(LabelButton, MouseSpaceAndEnterPressItOnlyWhileEnabled) {
    QWidget window;
    auto* b = new cLabelButton("Play", &window);
    b->setGeometry(10, 10, 71, 13);
    window.show();
    QSignalSpy clicks(b, &cLabelButton::clicked);
    QTest::mouseClick(b, Qt::LeftButton);
    QTest::keyClick(b, Qt::Key_Space);
    QTest::keyClick(b, Qt::Key_Return);
    QTest::keyClick(b, Qt::Key_Enter, Qt::KeypadModifier);
    EXPECT_EQ(clicks.count(), 4);
    QTest::mouseClick(b, Qt::RightButton);
    QTest::keyClick(b, Qt::Key_Space, Qt::ControlModifier);
    EXPECT_EQ(clicks.count(), 4);
    b->setEnabled(false);
    QTest::mouseClick(b, Qt::LeftButton);
    b->Click();
    EXPECT_EQ(clicks.count(), 4);
}

TEST(LabelButton, ReleaseOutsideTheLabelIsNoClick) {
    QWidget window;
    auto* b = new cLabelButton("Stop", &window);
    b->setGeometry(10, 10, 71, 13);
    window.show();
    QSignalSpy clicks(b, &cLabelButton::clicked);
    QTest::mousePress(b, Qt::LeftButton, {}, QPoint(5, 5));
    QTest::mouseRelease(b, Qt::LeftButton, {}, QPoint(200, 5));
    EXPECT_EQ(clicks.count(), 0);
}

TEST(LabelButton, BoldFollowsSetBold) {
    cLabelButton b("Send");
    EXPECT_FALSE(b.IsBold());
    b.SetBold(true);
    EXPECT_TRUE(b.IsBold());
    b.SetBold(false);
    EXPECT_FALSE(b.IsBold());
}

TEST(WindowShape, PolygonOfTheMainWindow) {
    const QPolygon p = ShapePolygon(575, 322);
    ASSERT_EQ(p.size(), 17);
    EXPECT_EQ(p.first(), QPoint(25, 1));
    EXPECT_EQ(p.last(), QPoint(25, 1));
    EXPECT_EQ(p[1], QPoint(575, 1));
    EXPECT_EQ(p[2], QPoint(575, 299));
    EXPECT_EQ(p[8], QPoint(552, 322));
    EXPECT_EQ(p[9], QPoint(3, 322));
    EXPECT_EQ(p[10], QPoint(3, 22));
}

TEST(WindowShape, MaskCutsTheCurvedCornersAndTheMargin) {
    QWidget w;
    w.resize(577, 324);
    const QRegion r = MakeWindowShape(&w);
    EXPECT_TRUE(r.contains(QPoint(100, 100)));
    EXPECT_TRUE(r.contains(QPoint(570, 5)));   // square top-right corner
    EXPECT_TRUE(r.contains(QPoint(5, 318)));   // square bottom-left corner
    EXPECT_FALSE(r.contains(QPoint(2, 2)));    // curved top-left corner
    EXPECT_FALSE(r.contains(QPoint(570, 318))); // curved bottom-right corner
    EXPECT_FALSE(r.contains(QPoint(1, 100)));  // left of x = 3
    EXPECT_FALSE(r.contains(QPoint(100, 0)));  // above y = 1
    EXPECT_FALSE(w.mask().isEmpty());
}

TEST(WindowShape, StretchedSkinHasTheWindowSize) {
    QPixmap skin(577, 324);
    skin.fill(Qt::blue);
    const QPixmap big = StretchSkin(skin, QSize(721, 405));
    EXPECT_EQ(big.size(), QSize(721, 405));
    EXPECT_TRUE(StretchSkin(QPixmap(), QSize(10, 10)).isNull());
}

TEST(WindowShape, BevelRingAroundAControl) {
    QImage image(60, 40, QImage::Format_RGB32);
    image.fill(Qt::black);
    {
        QPainter p(&image);
        DrawBevel(p, QRect(20, 10, 15, 13));
    }
    const QRgb white = qRgb(255, 255, 255), grey = qRgb(128, 128, 128);
    EXPECT_EQ(image.pixel(25, 8), white);  // top edge, 2 pixels above
    EXPECT_EQ(image.pixel(18, 15), white); // left edge, 2 pixels left
    EXPECT_EQ(image.pixel(36, 15), grey);  // right edge
    EXPECT_EQ(image.pixel(25, 24), grey);  // bottom edge
    EXPECT_EQ(image.pixel(25, 15), qRgb(0, 0, 0)); // the control itself is untouched
}

TEST(WindowShape, AllSeventeenPointsForASecondaryWindow) {
    // The options window: 445 x 369 pixels, so W = 443 and H = 367.
    const QPolygon p = ShapePolygon(443, 367);
    const QPolygon expected({QPoint(25, 1), QPoint(443, 1), QPoint(443, 344), QPoint(442, 347),
                             QPoint(441, 349), QPoint(434, 358), QPoint(425, 365), QPoint(423, 366),
                             QPoint(420, 367), QPoint(3, 367), QPoint(3, 22), QPoint(3, 20),
                             QPoint(4, 18), QPoint(10, 11), QPoint(20, 3), QPoint(23, 2),
                             QPoint(25, 1)});
    EXPECT_EQ(p, expected);
    QWidget w;
    w.resize(445, 369);
    const QRegion r = MakeWindowShape(&w);
    EXPECT_EQ(r.boundingRect().topLeft(), QPoint(3, 1));
    EXPECT_TRUE(r.contains(QPoint(442, 2)));    // square top-right corner
    EXPECT_FALSE(r.contains(QPoint(444, 100))); // right of x = W
    EXPECT_FALSE(r.contains(QPoint(440, 364))); // curved bottom-right corner
}

TEST(WindowShape, BevelLeavesAOnePixelGapAndPaintsItsCorners) {
    QImage image(60, 40, QImage::Format_RGB32);
    image.fill(Qt::black);
    {
        QPainter p(&image);
        DrawBevel(p, QRect(20, 10, 15, 13)); // right = 35, bottom = 23
    }
    const QRgb white = qRgb(255, 255, 255), grey = qRgb(128, 128, 128), black = qRgb(0, 0, 0);
    EXPECT_EQ(image.pixel(19, 15), black); // the gap left of the control
    EXPECT_EQ(image.pixel(25, 9), black);  // and above it
    EXPECT_EQ(image.pixel(35, 15), black); // right at left + width
    EXPECT_EQ(image.pixel(25, 23), black); // and at top + height
    EXPECT_EQ(image.pixel(36, 8), white);  // the top edge runs over the right one
    EXPECT_EQ(image.pixel(18, 24), white); // the left edge reaches the bottom
    EXPECT_EQ(image.pixel(36, 24), grey);
    EXPECT_EQ(image.pixel(17, 8), black); // nothing beyond the ring
    EXPECT_EQ(image.pixel(37, 15), black);
}

TEST(WindowShape, BevelOfTwoUnitsHasTwoRings) {
    QImage image(60, 60, QImage::Format_RGB32);
    image.fill(Qt::black);
    {
        QPainter p(&image);
        DrawBevel(p, QRect(20, 20, 10, 10), 2, 1);
    }
    const QRgb white = qRgb(255, 255, 255), grey = qRgb(128, 128, 128), black = qRgb(0, 0, 0);
    EXPECT_EQ(image.pixel(25, 16), white); // first ring: top - 4
    EXPECT_EQ(image.pixel(25, 14), white); // second ring: top - 6
    EXPECT_EQ(image.pixel(25, 15), black); // between them
    EXPECT_EQ(image.pixel(16, 25), white); // left - 4
    EXPECT_EQ(image.pixel(14, 25), white); // left - 6
    EXPECT_EQ(image.pixel(32, 25), grey);  // right + 2
    EXPECT_EQ(image.pixel(34, 25), grey);  // right + 4
    EXPECT_EQ(image.pixel(25, 32), grey);
    EXPECT_EQ(image.pixel(25, 34), grey);
}

} // namespace
} // namespace brisa::test
