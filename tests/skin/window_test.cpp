// The frame shared by the skinned windows: dragging by the title strip,
// hover highlighting driven by the window's own mouse events, the skin painter and the
// bevels of the paint handler.
#include "common/globals.h"
#include "skin/hover.h"
#include "skin/label_button.h"
#include "skin/skinned_window.h"
#include "skin/window_drag.h"
#include "tests/support/temp_env.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QImage>
#include <QLabel>
#include <QMouseEvent>
#include <QRubberBand>
#include <QTest>
#include <gtest/gtest.h>

namespace brisa::test {
namespace {

const QRgb kWhite = qRgb(255, 255, 255);
const QRgb kGrey = qRgb(128, 128, 128);

// A small skinned window with three buttons: Alpha and Beta side by side
// (Beta starts where Alpha ends), Gamma below them.
class TestWindow : public cSkinnedWindow {
public:
    TestWindow() : cSkinnedWindow("frmTest", QSize(300, 200), "/skins/frmTest.jpg") {
        lblToolbar->setGeometry(Design(28, 3, 200, 17));
        alpha = AddButton("cmdAlpha", "Alpha", QRect(20, 60, 70, 13));
        beta = AddButton("cmdBeta", "Beta", QRect(90, 60, 70, 13));
        gamma = AddButton("cmdGamma", "Gamma", QRect(20, 150, 70, 13));
        m_AlwaysBevelled = {gamma};
        m_FallbackBevelled = {alpha, beta};
    }
    cLabelButton* alpha;
    cLabelButton* beta;
    cLabelButton* gamma;
};

void Mouse(QWidget* pWidget, QEvent::Type pType, QPoint pGlobal, Qt::MouseButton pButton,
           Qt::MouseButtons pButtons) {
    QMouseEvent e(pType, QPointF(pWidget->mapFromGlobal(pGlobal)), QPointF(pGlobal), pButton, pButtons,
                  Qt::NoModifier);
    QCoreApplication::sendEvent(pWidget, &e);
}
void Press(QWidget* w, QPoint g, Qt::MouseButton b = Qt::LeftButton) {
    Mouse(w, QEvent::MouseButtonPress, g, b, b);
}
void MoveHeld(QWidget* w, QPoint g, Qt::MouseButtons b = Qt::LeftButton) {
    Mouse(w, QEvent::MouseMove, g, Qt::NoButton, b);
}
void Release(QWidget* w, QPoint g, Qt::MouseButton b = Qt::LeftButton) {
    Mouse(w, QEvent::MouseButtonRelease, g, b, Qt::NoButton);
}
// The mouse, with no button held, moved to pPoint of the window as the
// window system reports it (enter and leave events included).
void MoveTo(QWidget* pWindow, QPoint pPoint) {
    QTest::mouseMove(pWindow->windowHandle(), pPoint);
    QCoreApplication::processEvents();
}
// The mouse moved over a label.
void Hover(QWidget* w) { MoveTo(w->window(), w->geometry().center()); }

bool OutlineShown(const cWindowDrag& pDrag) {
    return pDrag.Outline() && pDrag.Outline()->isVisible();
}

// One ring around pControl: white two pixels outside its top and left, grey
// just beyond its right and bottom.
bool BevelAround(const QImage& pImage, const QRect& pControl) {
    const QPoint c = pControl.center();
    return pImage.pixel(pControl.left() - 2, c.y()) == kWhite &&
           pImage.pixel(c.x(), pControl.top() - 2) == kWhite &&
           pImage.pixel(pControl.left() + pControl.width() + 1, c.y()) == kGrey &&
           pImage.pixel(c.x(), pControl.top() + pControl.height() + 1) == kGrey;
}
bool NoBevelAround(const QImage& pImage, const QRect& pControl) {
    const QPoint c = pControl.center();
    for (QPoint p : {QPoint(pControl.left() - 2, c.y()), QPoint(c.x(), pControl.top() - 2),
                     QPoint(pControl.left() + pControl.width() + 1, c.y()),
                     QPoint(c.x(), pControl.top() + pControl.height() + 1)})
        if (pImage.pixel(p) == kWhite || pImage.pixel(p) == kGrey) return false;
    return true;
}

class SkinnedWindowTest : public ::testing::Test {
protected:
    void TearDown() override {
        gLargeFonts = false;
        gScaleX = gScaleY = 1.0f;
    }
    void LargeFonts() {
        gLargeFonts = true;
        gScaleX = gScaleY = 1.25f;
    }
    void WriteSkin(QRgb pColour) {
        QImage skin(300, 200, QImage::Format_RGB32);
        skin.fill(pColour);
        QDir().mkpath(QString::fromStdString(env.Path("skins")));
        ASSERT_TRUE(skin.save(QString::fromStdString(env.Path("skins/frmTest.jpg")), "JPG"));
    }
    QStringList ProgramFiles() const {
        QStringList files;
        QDir dir(QString::fromStdString(env.ProgramFolder()));
        for (const QFileInfo& f : dir.entryInfoList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden))
            files << f.fileName();
        return files;
    }
    TempEnv env;
};

// ---- dragging ------------------------------------------------------------------------

TEST_F(SkinnedWindowTest, DragShowsTheOutlineAndMovesTheWindowByTheMouseTravelOnRelease) {
    TestWindow w;
    w.move(100, 80);
    w.show();
    const QRect frame = w.frameGeometry();
    EXPECT_EQ(w.DragInsets(), QMargins(3, 0, 3, 3));
    QWidget* strip = w.lblToolbar;
    const QPoint press = strip->mapToGlobal(QPoint(10, 5));
    Press(strip, press);
    EXPECT_TRUE(w.Drag().Record().active);
    EXPECT_FALSE(OutlineShown(w.Drag())); // nothing from an earlier drag
    MoveHeld(strip, press + QPoint(40, 25));
    // 3 pixels inside on the left, right and bottom, flush at the top.
    const QRect expected(QPoint(frame.left() + 3 + 40, frame.top() + 25),
                         QPoint(frame.right() - 3 + 40, frame.bottom() - 3 + 25));
    EXPECT_EQ(w.Drag().Record().drawnRect, expected);
    ASSERT_TRUE(OutlineShown(w.Drag()));
    EXPECT_EQ(w.Drag().Outline()->geometry(), expected);
    EXPECT_EQ(w.pos(), QPoint(100, 80)); // only the outline follows the mouse
    MoveHeld(strip, press + QPoint(-7, 12));
    EXPECT_EQ(w.Drag().Outline()->geometry(), expected.translated(-47, -13));
    Release(strip, press + QPoint(-7, 12));
    EXPECT_FALSE(OutlineShown(w.Drag()));
    EXPECT_FALSE(w.Drag().Record().active);
    EXPECT_EQ(w.pos(), QPoint(93, 92));
    EXPECT_EQ(w.size(), QSize(300, 200));
}

TEST_F(SkinnedWindowTest, TheNextPressShowsThePreviousOutlineAndAClickLeavesTheWindow) {
    TestWindow w;
    w.move(50, 50);
    w.show();
    QWidget* strip = w.lblToolbar;
    const QPoint p = strip->mapToGlobal(QPoint(20, 8));
    Press(strip, p);
    MoveHeld(strip, p + QPoint(30, 10));
    const QRect last = w.Drag().Record().drawnRect;
    Release(strip, p + QPoint(30, 10));
    ASSERT_EQ(w.pos(), QPoint(80, 60));

    // Press without a move: the outline where the last drag ended shows ...
    const QPoint p2 = strip->mapToGlobal(QPoint(20, 8));
    Press(strip, p2);
    ASSERT_TRUE(OutlineShown(w.Drag()));
    EXPECT_EQ(w.Drag().Outline()->geometry(), last);
    // ... and the release takes it away and leaves the window where it is.
    Release(strip, p2);
    EXPECT_FALSE(OutlineShown(w.Drag()));
    EXPECT_EQ(w.pos(), QPoint(80, 60));

    // At the next press it shows again until the first move replaces it.
    Press(strip, p2);
    EXPECT_EQ(w.Drag().Outline()->geometry(), last);
    MoveHeld(strip, p2 + QPoint(1, 1));
    EXPECT_EQ(w.Drag().Outline()->geometry(), w.frameGeometry().adjusted(3, 0, -3, -3).translated(1, 1));
    Release(strip, p2 + QPoint(1, 1));
    EXPECT_EQ(w.pos(), QPoint(81, 61));
}

TEST_F(SkinnedWindowTest, OtherButtonsThanTheLeftDoNotDrag) {
    TestWindow w;
    w.move(40, 40);
    w.show();
    QWidget* strip = w.lblToolbar;
    const QPoint p = strip->mapToGlobal(QPoint(10, 5));
    Press(strip, p, Qt::RightButton);
    MoveHeld(strip, p + QPoint(60, 60), Qt::RightButton);
    EXPECT_FALSE(w.Drag().Record().active);
    EXPECT_FALSE(OutlineShown(w.Drag()));
    Release(strip, p + QPoint(60, 60), Qt::RightButton);
    EXPECT_EQ(w.pos(), QPoint(40, 40));
    // Moving with both buttons held is no drag either.
    Press(strip, p);
    MoveHeld(strip, p + QPoint(20, 0), Qt::LeftButton | Qt::RightButton);
    EXPECT_FALSE(OutlineShown(w.Drag()));
    Release(strip, p);
    EXPECT_EQ(w.pos(), QPoint(40, 40));
}

TEST(WindowDrag, InsetsComeFromTheWindowAtEachMove) {
    QWidget window(nullptr, Qt::Window | Qt::FramelessWindowHint);
    auto* strip = new QLabel("title", &window);
    strip->setGeometry(0, 0, 100, 17);
    window.setGeometry(200, 100, 320, 240);
    window.show();
    QMargins insets(5, -4, 5, 5);
    cWindowDrag drag(&window, strip, [&insets] { return insets; });
    const QRect frame = window.frameGeometry();
    drag.BeginDrag(QPoint(210, 105));
    drag.ContinueDrag(QPoint(220, 125));
    // 5 inside on the left, right and bottom, 4 above the top.
    EXPECT_EQ(drag.Record().newRect, QRect(QPoint(frame.left() + 5 + 10, frame.top() - 4 + 20),
                                           QPoint(frame.right() - 5 + 10, frame.bottom() - 5 + 20)));
    drag.EndDrag(QPoint(220, 125));
    EXPECT_EQ(window.pos(), QPoint(210, 120));
    // A release with no press before it moves nothing.
    drag.EndDrag(QPoint(500, 500));
    EXPECT_EQ(window.pos(), QPoint(210, 120));
}

// ---- hover highlighting --------------------------------------------------------------------

TEST_F(SkinnedWindowTest, HoverMovesFromAButtonToItsNeighbourAndEndsWhenTheMouseLeavesThem) {
    TestWindow w;
    w.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
    EXPECT_EQ(w.tmrFocus.interval(), 100);
    EXPECT_FALSE(w.tmrFocus.isActive());
    std::vector<std::string> order;
    for (cLabelButton* b : w.HoverButtons()) order.push_back(b->objectName().toStdString());
    EXPECT_EQ(order, (std::vector<std::string>{"cmdAlpha", "cmdBeta", "cmdGamma"}));

    Hover(w.alpha);
    EXPECT_TRUE(w.alpha->IsBold());
    EXPECT_TRUE(w.tmrFocus.isActive());
    w.tmrFocus_Timer();
    EXPECT_TRUE(w.alpha->IsBold());
    EXPECT_TRUE(w.tmrFocus.isActive());

    // Into the neighbour: it turns bold at its first move, Alpha at the next tick loses it.
    Hover(w.beta);
    EXPECT_TRUE(w.beta->IsBold());
    EXPECT_TRUE(w.alpha->IsBold());
    w.tmrFocus_Timer();
    EXPECT_FALSE(w.alpha->IsBold());
    EXPECT_TRUE(w.beta->IsBold());
    EXPECT_TRUE(w.tmrFocus.isActive());

    // Off every button: the button's leave event tells, not the global
    // cursor position (which goes stale on Wayland once the pointer has left
    // the window). The next tick clears it and stops the timer.
    MoveTo(&w, QPoint(250, 20));
    EXPECT_FALSE(w.beta->underMouse());
    w.tmrFocus_Timer();
    EXPECT_FALSE(w.beta->IsBold());
    EXPECT_FALSE(w.tmrFocus.isActive());
}

TEST_F(SkinnedWindowTest, TheTimerClearsTheBoldOnItsOwnAndStops) {
    TestWindow w;
    w.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
    Hover(w.gamma);
    ASSERT_TRUE(w.tmrFocus.isActive());
    MoveTo(&w, QPoint(250, 20)); // over none of them
    QTRY_VERIFY(!w.gamma->IsBold());
    EXPECT_FALSE(w.tmrFocus.isActive());
}

TEST_F(SkinnedWindowTest, DisabledButtonsNeverTurnBoldButHiddenOnesAreStillTested) {
    TestWindow w;
    w.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
    w.alpha->setEnabled(false);
    Hover(w.alpha);
    EXPECT_FALSE(w.alpha->IsBold());
    EXPECT_FALSE(w.tmrFocus.isActive());
    // A bold button that was hidden meanwhile is tested like the others: the
    // mouse has left it, so it loses the bold.
    Hover(w.gamma);
    w.gamma->hide();
    w.tmrFocus_Timer();
    EXPECT_FALSE(w.gamma->IsBold());
    EXPECT_FALSE(w.tmrFocus.isActive());
}

// ---- the skin painter and the bevels ----------------------------------------------------------

TEST_F(SkinnedWindowTest, SmallFontsShowTheSkinAsItIsWithOnlyTheAlwaysBevels) {
    WriteSkin(qRgb(20, 90, 140));
    TestWindow w;
    EXPECT_TRUE(w.PrepareSkin());
    EXPECT_TRUE(w.m_SkinOk);
    EXPECT_EQ(w.m_Background.size(), QSize(300, 200));
    const QImage image = w.grab().toImage();
    EXPECT_TRUE(BevelAround(image, w.gamma->geometry()));
    EXPECT_TRUE(NoBevelAround(image, w.alpha->geometry()));
    EXPECT_TRUE(NoBevelAround(image, w.beta->geometry()));
}

TEST_F(SkinnedWindowTest, LargeFontsStretchTheSkinInMemory) {
    WriteSkin(qRgb(20, 90, 140));
    LargeFonts();
    const QStringList before = ProgramFiles();
    TestWindow w;
    EXPECT_EQ(w.size(), QSize(375, 250));
    EXPECT_TRUE(w.PrepareSkin());
    EXPECT_TRUE(w.m_SkinOk);
    EXPECT_EQ(w.m_Background.size(), QSize(375, 250));
    EXPECT_EQ(ProgramFiles(), before); // no picture.bmp, nothing new
    const QImage image = w.grab().toImage();
    const QRgb corner = image.pixel(370, 245); // the stretched skin reaches the far corner
    EXPECT_NEAR(qRed(corner), 20, 8);
    EXPECT_NEAR(qGreen(corner), 90, 8);
    EXPECT_NEAR(qBlue(corner), 140, 8);
    EXPECT_TRUE(BevelAround(image, w.gamma->geometry()));
    EXPECT_TRUE(NoBevelAround(image, w.alpha->geometry()));
}

TEST_F(SkinnedWindowTest, AMissingOrUnreadableSkinGivesAPlainWindowWithBevelsOnEveryButton) {
    LargeFonts();
    for (bool garbage : {false, true}) {
        SCOPED_TRACE(garbage ? "unreadable skin" : "missing skin");
        if (garbage) WriteFile(env.Path("skins/frmTest.jpg"), "not a picture at all");
        TestWindow w;
        EXPECT_FALSE(w.PrepareSkin());
        EXPECT_FALSE(w.m_SkinOk);
        EXPECT_TRUE(w.m_Background.isNull());
        const QImage image = w.grab().toImage();
        EXPECT_EQ(image.pixel(200, 120), w.palette().color(QPalette::Window).rgb());
        for (cLabelButton* b : {w.alpha, w.beta, w.gamma}) EXPECT_TRUE(BevelAround(image, b->geometry()));
    }
}

TEST_F(SkinnedWindowTest, UnloadingMovesTheWindowOutOfSight) {
    TestWindow w;
    w.show();
    w.ShapeAndTitle("Test");
    EXPECT_FALSE(w.m_WindowRegion.isEmpty());
    EXPECT_EQ(w.lblToolbar->text(), "Test");
    w.MoveOutOfSight();
    const QRect screen = w.screen()->geometry();
    EXPECT_EQ(w.pos(), QPoint(screen.width(), screen.height()));
    EXPECT_EQ(w.size(), QSize(300, 200));
    EXPECT_TRUE(w.m_WindowRegion.isEmpty());
}

} // namespace
} // namespace brisa::test
