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

} // namespace
} // namespace brisa::test
