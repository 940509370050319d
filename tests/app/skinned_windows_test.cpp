// The skinned frame of the four windows: the main window's title-strip drag,
// its large-font layout with the skin painter succeeding and failing, the
// bevels each window paints, hover highlighting with a cursor the test
// places, keyboard use and the secondary windows leaving the screen on unload.
#include "addressbook/address_window.h"
#include "addressbook/outlook_window.h"
#include "platform/linux/vcard_contacts.h"
#include "app/main_window.h"
#include "common/globals.h"
#include "settings/options_window.h"
#include "settings/registry.h"
#include "skin/anigif.h"
#include "skin/label_button.h"
#include "skin/window_drag.h"
#include "tests/app/window_fixture.h"
#include "tests/fakes/fakes.h"
#include "tests/support/temp_env.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QRubberBand>
#include <QScreen>
#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

namespace brisa::test {
namespace {

const QRgb kWhite = qRgb(255, 255, 255);
const QRgb kGrey = qRgb(128, 128, 128);
const QRgb kSkinColour = qRgb(20, 90, 140);

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
bool Near(QRgb pActual, QRgb pExpected, int pTolerance = 8) {
    return std::abs(qRed(pActual) - qRed(pExpected)) <= pTolerance &&
           std::abs(qGreen(pActual) - qGreen(pExpected)) <= pTolerance &&
           std::abs(qBlue(pActual) - qBlue(pExpected)) <= pTolerance;
}

void Mouse(QWidget* pWidget, QEvent::Type pType, QPoint pGlobal, Qt::MouseButton pButton,
           Qt::MouseButtons pButtons) {
    QMouseEvent e(pType, QPointF(pWidget->mapFromGlobal(pGlobal)), QPointF(pGlobal), pButton, pButtons,
                  Qt::NoModifier);
    QCoreApplication::sendEvent(pWidget, &e);
}
// The mouse, with no button held, moved over pWidget as the window system
// reports it (enter and leave events included); pOffset from its centre.
void Hover(QWidget* w, QPoint pOffset = {}) {
    QTest::mouseMove(w->window()->windowHandle(), w->geometry().center() + pOffset);
    QCoreApplication::processEvents();
}

std::vector<std::string> Names(const std::vector<cLabelButton*>& pButtons) {
    std::vector<std::string> names;
    for (cLabelButton* b : pButtons) names.push_back(b->objectName().toStdString());
    return names;
}

// The label buttons a window reaches with Tab, starting from pFirst.
std::vector<cLabelButton*> TabReachable(QWidget* pWindow, QWidget* pFirst) {
    std::vector<cLabelButton*> found;
    QWidget* w = pFirst;
    for (int i = 0; i < 200; ++i) {
        if (auto* b = qobject_cast<cLabelButton*>(w); b && b->window() == pWindow &&
                                                      (b->focusPolicy() & Qt::TabFocus))
            if (std::find(found.begin(), found.end(), b) == found.end()) found.push_back(b);
        w = w->nextInFocusChain();
        if (w == pFirst) break;
    }
    return found;
}

class SkinnedWindows : public MainWindowTest {
protected:
    frmMM& Start(int pDpi = 96) {
        fakes.system.dpiX = fakes.system.dpiY = pDpi;
        return MainWindowTest::Start();
    }
    // A one-colour skin of the window's designed size.
    void WriteSkin(const char* pWindow, QSize pSize) {
        QImage skin(pSize, QImage::Format_RGB32);
        skin.fill(kSkinColour);
        QDir().mkpath(QString::fromStdString(env.Path("skins")));
        ASSERT_TRUE(skin.save(QString::fromStdString(env.Path(std::string("skins/") + pWindow + ".jpg")), "JPG"));
    }
    QStringList ProgramFiles() const {
        QStringList files;
        for (const QFileInfo& f : QDir(QString::fromStdString(env.ProgramFolder()))
                                      .entryInfoList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden))
            files << f.fileName();
        files.sort();
        return files;
    }

};

// ---- the main window's drag ---------------------------------------------------------------

TEST_F(SkinnedWindows, MainWindowIsDraggedByItsTitleStrip) {
    frmMM& w = Start();
    w.move(120, 90);
    const QRect frame = w.frameGeometry();
    // 5 pixels inside on the left, right and bottom, 4 above the top of a
    // window without a frame.
    EXPECT_EQ(w.DragInsets(), QMargins(5, -4, 5, 5));
    ASSERT_NE(w.m_TitleDrag, nullptr);
    QWidget* strip = w.lblToolbar;
    const QPoint press = strip->mapToGlobal(QPoint(50, 8));
    Mouse(strip, QEvent::MouseButtonPress, press, Qt::LeftButton, Qt::LeftButton);
    Mouse(strip, QEvent::MouseMove, press + QPoint(-30, 45), Qt::NoButton, Qt::LeftButton);
    const QRect outline(QPoint(frame.left() + 5 - 30, frame.top() - 4 + 45),
                        QPoint(frame.right() - 5 - 30, frame.bottom() - 5 + 45));
    ASSERT_NE(w.m_TitleDrag->Outline(), nullptr);
    EXPECT_TRUE(w.m_TitleDrag->Outline()->isVisible());
    EXPECT_EQ(w.m_TitleDrag->Outline()->geometry(), outline);
    EXPECT_EQ(w.pos(), QPoint(120, 90));
    Mouse(strip, QEvent::MouseButtonRelease, press + QPoint(-30, 45), Qt::LeftButton, Qt::NoButton);
    EXPECT_FALSE(w.m_TitleDrag->Outline()->isVisible());
    EXPECT_EQ(w.pos(), QPoint(90, 135));

    // The next press shows where the last outline was; a release without a
    // move leaves the window in place.
    const QPoint again = strip->mapToGlobal(QPoint(50, 8));
    Mouse(strip, QEvent::MouseButtonPress, again, Qt::LeftButton, Qt::LeftButton);
    EXPECT_TRUE(w.m_TitleDrag->Outline()->isVisible());
    EXPECT_EQ(w.m_TitleDrag->Outline()->geometry(), outline);
    Mouse(strip, QEvent::MouseButtonRelease, again, Qt::LeftButton, Qt::NoButton);
    EXPECT_EQ(w.pos(), QPoint(90, 135));

    // The right button drags nothing.
    Mouse(strip, QEvent::MouseButtonPress, again, Qt::RightButton, Qt::RightButton);
    Mouse(strip, QEvent::MouseMove, again + QPoint(100, 100), Qt::NoButton, Qt::RightButton);
    Mouse(strip, QEvent::MouseButtonRelease, again + QPoint(100, 100), Qt::RightButton, Qt::NoButton);
    EXPECT_EQ(w.pos(), QPoint(90, 135));
}

// ---- the main window's skin and bevels -------------------------------------------------------

TEST_F(SkinnedWindows, AtNinetySixDpiThePainterNeverRunsAndOnlyTheTitleButtonsHaveBevels) {
    WriteSkin("frmMM", QSize(577, 324));
    frmMM& w = Start();
    EXPECT_FALSE(gLargeFonts);
    EXPECT_EQ(w.m_Background.size(), QSize(577, 324));
    EXPECT_TRUE(w.Picture1->isHidden());
    EXPECT_TRUE(w.Picture2->isHidden());
    const QImage image = w.grab().toImage();
    EXPECT_TRUE(Near(image.pixel(300, 230), kSkinColour));
    EXPECT_TRUE(BevelAround(image, w.cmdHelp->geometry()));
    EXPECT_TRUE(BevelAround(image, w.cmdClose->geometry()));
    for (cLabelButton* b : {w.cmdRecord, w.cmdPlay, w.cmdStop, w.cmdSend, w.cmdHide, w.cmdConfigure,
                            w.cmdTo, w.cmdCC})
        EXPECT_TRUE(NoBevelAround(image, b->geometry())) << b->objectName().toStdString();
}

TEST_F(SkinnedWindows, LargeFontsStretchTheSkinToTheWindowInMemory) {
    WriteSkin("frmMM", QSize(577, 324));
    const QStringList before = ProgramFiles();
    frmMM& w = Start(120);
    ASSERT_TRUE(gLargeFonts);
    EXPECT_FLOAT_EQ(gScaleX, 1.25f);
    EXPECT_TRUE(w.m_SkinOk);
    EXPECT_EQ(w.size(), QSize(721, 405));
    EXPECT_EQ(w.m_Background.size(), QSize(721, 405));
    // Nothing was left in the program folder but the outbox start-up makes.
    QStringList expected = before;
    expected << "outbox";
    expected.sort();
    EXPECT_EQ(ProgramFiles(), expected);
    EXPECT_TRUE(w.Picture1->isHidden());
    EXPECT_TRUE(w.Picture2->isHidden());
    // The check box keeps its designed size.
    EXPECT_EQ(w.chkReturnReceipt->geometry(), QRect(190, 192, 13, 13));
    EXPECT_NE(w.lblStatus->palette().color(QPalette::WindowText), QColor(0, 128, 0));
    const QImage image = w.grab().toImage();
    EXPECT_TRUE(Near(image.pixel(715, 370), kSkinColour)); // the skin reaches the far corner
    // Beyond the curved corner nothing is painted: the desktop shows there.
    EXPECT_EQ(qAlpha(image.pixel(715, 400)), 0);
    EXPECT_EQ(qAlpha(image.pixel(1, 1)), 0);
    EXPECT_TRUE(BevelAround(image, w.cmdHelp->geometry()));
    EXPECT_TRUE(BevelAround(image, w.cmdClose->geometry()));
    for (cLabelButton* b : {w.cmdRecord, w.cmdHide, w.cmdConfigure, w.cmdTo})
        EXPECT_TRUE(NoBevelAround(image, b->geometry())) << b->objectName().toStdString();
}

TEST_F(SkinnedWindows, AMissingOrUnreadableSkinLeavesAPlainWindowWithBevelsAroundEveryButton) {
    for (bool garbage : {false, true}) {
        SCOPED_TRACE(garbage ? "unreadable skin" : "missing skin");
        if (garbage) WriteFile(env.Path("skins/frmMM.jpg"), "GIF89a, not a JPEG");
        frmMM& w = Start(120);
        EXPECT_FALSE(w.m_SkinOk);
        EXPECT_TRUE(w.m_Background.isNull());
        EXPECT_EQ(w.lblStatus->palette().color(QPalette::WindowText), QColor(0, 128, 0));
        // The white labels would vanish on the plain background.
        EXPECT_NE(w.lblSubject->palette().color(QPalette::WindowText), QColor(Qt::white));
        EXPECT_NE(w.lblReturnReceipt->palette().color(QPalette::WindowText), QColor(Qt::white));
        EXPECT_EQ(w.chkReturnReceipt->size(), QSize(16, 16)); // grown with the layout
        const QImage image = w.grab().toImage();
        EXPECT_EQ(image.pixel(300, 230), w.palette().color(QPalette::Window).rgb());
        for (cLabelButton* b : w.HoverButtons())
            EXPECT_TRUE(BevelAround(image, b->geometry())) << b->objectName().toStdString();
        window.reset();
        gLargeFonts = false;
    }
}

TEST_F(SkinnedWindows, PartnerSpacesHaveBevelsOnlyOverTheSkin) {
    Put("ShowZered", "Yes");
    Put("ShowZovid", "Yes");
    {
        frmMM& w = Start();
        const QImage image = w.grab().toImage();
        EXPECT_TRUE(BevelAround(image, w.tsZeredButton1->geometry()));
        EXPECT_TRUE(BevelAround(image, w.tsZeredButton2->geometry()));
        EXPECT_TRUE(BevelAround(image, w.gifZovid->geometry()));
        window.reset();
    }
    frmMM& w = Start(120); // no skin: the plain window
    const QImage image = w.grab().toImage();
    EXPECT_TRUE(NoBevelAround(image, w.tsZeredButton1->geometry()));
    EXPECT_TRUE(NoBevelAround(image, w.gifZovid->geometry()));
}

// ---- the main window's hover highlighting ------------------------------------------------------

TEST_F(SkinnedWindows, MainWindowHoverFollowsTheMouseFromButtonToButton) {
    frmMM& w = Start();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
    EXPECT_EQ(Names(w.HoverButtons()),
              (std::vector<std::string>{"cmdRecord", "cmdPlay", "cmdStop", "cmdSend", "cmdHide",
                                        "cmdConfigure", "cmdTo", "cmdCC", "cmdHelp", "cmdClose"}));
    EXPECT_EQ(w.tmrFocus.interval(), 100);
    Hover(w.cmdHelp);
    EXPECT_TRUE(w.cmdHelp->IsBold());
    EXPECT_TRUE(w.tmrFocus.isActive());
    // Over to its neighbour: bold at once there, gone from the first at the next tick.
    Hover(w.cmdClose);
    EXPECT_TRUE(w.cmdHelp->IsBold());
    EXPECT_TRUE(w.cmdClose->IsBold());
    w.tmrFocus_Timer();
    EXPECT_FALSE(w.cmdHelp->IsBold());
    EXPECT_TRUE(w.cmdClose->IsBold());
    EXPECT_TRUE(w.tmrFocus.isActive());
    // Off the button, just below it.
    Hover(w.cmdClose, QPoint(0, w.cmdClose->height()));
    w.tmrFocus_Timer();
    EXPECT_FALSE(w.cmdClose->IsBold());
    EXPECT_FALSE(w.tmrFocus.isActive());
}

// ---- keyboard ------------------------------------------------------------------------------------

TEST_F(SkinnedWindows, MainWindowButtonsAreNamedAndReachedWithTab) {
    frmMM& w = Start();
    const std::vector<cLabelButton*> reachable = TabReachable(&w, w.cmdRecord);
    for (cLabelButton* b : w.HoverButtons()) {
        EXPECT_FALSE(b->accessibleName().isEmpty()) << b->objectName().toStdString();
        EXPECT_EQ(b->accessibleName(), b->text().remove('&')) << b->objectName().toStdString();
        EXPECT_NE(std::find(reachable.begin(), reachable.end(), b), reachable.end())
            << b->objectName().toStdString();
    }
    // The tip tells a screen reader what the button does.
    EXPECT_FALSE(w.cmdHelp->accessibleDescription().isEmpty());
    // Space on the focused Record button records.
    w.cmdRecord->setFocus();
    QTest::keyClick(w.cmdRecord, Qt::Key_Space);
    EXPECT_EQ(w.m_RecordState, "record");
}

TEST_F(SkinnedWindows, ShortcutsDoWhatTheClicksDoOnlyWhileTheButtonIsEnabled) {
    frmMM& w = Start();
    w.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&w));
    w.txtSubject->setFocus(); // typing in the subject does not stop the shortcuts
    QSignalSpy record(w.cmdRecord, &cLabelButton::clicked), play(w.cmdPlay, &cLabelButton::clicked),
        stop(w.cmdStop, &cLabelButton::clicked), send(w.cmdSend, &cLabelButton::clicked);
    QWidget* focus = QApplication::focusWidget();
    ASSERT_NE(focus, nullptr);

    // Play, Stop and Send are disabled after start-up.
    QTest::keyClick(focus, Qt::Key_P, Qt::ControlModifier);
    QTest::keyClick(focus, Qt::Key_Period, Qt::ControlModifier);
    QTest::keyClick(focus, Qt::Key_Return, Qt::ControlModifier);
    EXPECT_EQ(play.count() + stop.count() + send.count(), 0);
    EXPECT_TRUE(fakes.mci.commands.empty());

    // Ctrl+R records, pauses and resumes, as the Record button does.
    QTest::keyClick(focus, Qt::Key_R, Qt::ControlModifier);
    EXPECT_EQ(record.count(), 1);
    EXPECT_EQ(w.m_RecordState, "record");
    EXPECT_NE(std::find(fakes.mci.commands.begin(), fakes.mci.commands.end(), "record brisamsg overwrite"),
              fakes.mci.commands.end());
    QTest::keyClick(focus, Qt::Key_R, Qt::ControlModifier);
    EXPECT_EQ(w.m_RecordState, "pause");
    QTest::keyClick(focus, Qt::Key_R, Qt::ControlModifier);
    EXPECT_EQ(w.m_RecordState, "record");

    // Ctrl+. stops; then Play and Send are enabled and answer their keys.
    QTest::keyClick(focus, Qt::Key_Period, Qt::ControlModifier);
    EXPECT_EQ(stop.count(), 1);
    EXPECT_EQ(w.m_RecordState, "");
    ASSERT_TRUE(w.cmdPlay->isEnabled());
    QTest::keyClick(focus, Qt::Key_P, Qt::ControlModifier);
    EXPECT_EQ(play.count(), 1);
    QTest::keyClick(focus, Qt::Key_Period, Qt::ControlModifier);
    EXPECT_EQ(stop.count(), 2);
    ASSERT_TRUE(w.cmdSend->isEnabled());
    QTest::keyClick(focus, Qt::Key_Return, Qt::ControlModifier);
    EXPECT_EQ(send.count(), 1);
    EXPECT_EQ(record.count(), 3);

    // A disabled Record button ignores its key.
    w.cmdRecord->setEnabled(false);
    QTest::keyClick(focus, Qt::Key_R, Qt::ControlModifier);
    EXPECT_EQ(record.count(), 3);
}

// ---- the secondary windows ---------------------------------------------------------------------

struct Secondary {
    std::unique_ptr<cSkinnedWindow> window;
    std::vector<std::string> hover;  // the buttons the timer checks, in order
    std::vector<std::string> always; // bevelled on every paint
    std::vector<std::string> fallback;
};

cLabelButton* Button(QWidget* pWindow, const std::string& pName) {
    return pWindow->findChild<cLabelButton*>(QString::fromStdString(pName));
}

class SecondaryWindows : public SkinnedWindows {
protected:
    std::vector<Secondary> Open() {
        services = fakes.Wire();
        std::vector<Secondary> all;
        auto* options = new frmOptions(services);
        options->Form_Load();
        all.push_back({std::unique_ptr<cSkinnedWindow>(options),
                       {"cmdSearch", "cmdMisc", "cmdBook", "cmdMail", "cmdApply", "cmdOk", "cmdCancel",
                        "cmdHelp", "cmdClose"},
                       {"cmdHelp", "cmdClose"},
                       {"cmdOk", "cmdCancel", "cmdApply", "cmdMail", "cmdMisc", "cmdBook"}});
        auto* addresses = new frmAddresses(services);
        addresses->Form_Load();
        all.push_back({std::unique_ptr<cSkinnedWindow>(addresses),
                       {"cmdSet", "cmdOk", "cmdCancel", "cmdHelp", "cmdClose"},
                       {"cmdHelp", "cmdClose"},
                       {"cmdOk", "cmdCancel", "cmdSet"}});
        auto* outlook = new frmOutlook(services);
        outlook->Form_Load();
        all.push_back({std::unique_ptr<cSkinnedWindow>(outlook),
                       {"cmdOk", "cmdCancel", "cmdHelp", "cmdClose"},
                       {"cmdHelp", "cmdClose"},
                       {"cmdOk", "cmdCancel"}});
        return all;
    }
    void CheckBevels(const Secondary& pWindow, bool pFallback) {
        SCOPED_TRACE(pWindow.window->objectName().toStdString());
        const QImage image = pWindow.window->grab().toImage();
        for (const std::string& name : pWindow.always)
            EXPECT_TRUE(BevelAround(image, Button(pWindow.window.get(), name)->geometry())) << name;
        for (const std::string& name : pWindow.fallback) {
            const QRect r = Button(pWindow.window.get(), name)->geometry();
            if (pFallback) EXPECT_TRUE(BevelAround(image, r)) << name;
            else EXPECT_TRUE(NoBevelAround(image, r)) << name;
        }
    }
};

TEST_F(SecondaryWindows, EachRegistersItsHoverButtonsInOrderAndNamesThemForTheKeyboard) {
    for (const Secondary& s : Open()) {
        SCOPED_TRACE(s.window->objectName().toStdString());
        EXPECT_EQ(Names(s.window->HoverButtons()), s.hover);
        EXPECT_EQ(s.window->tmrFocus.interval(), 100);
        EXPECT_FALSE(s.window->tmrFocus.isActive());
        EXPECT_EQ(s.window->DragInsets(), QMargins(3, 0, 3, 3));
        const std::vector<cLabelButton*> reachable = TabReachable(s.window.get(), s.window->HoverButtons()[0]);
        for (cLabelButton* b : s.window->HoverButtons()) {
            const std::string name = b->objectName().toStdString();
            EXPECT_NE(std::find(reachable.begin(), reachable.end(), b), reachable.end()) << name;
            // A button is named by the caption the user sees.
            EXPECT_EQ(b->accessibleName(), b->text().remove('&')) << name;
        }
    }
}

TEST_F(SecondaryWindows, HoverClearsAButtonTheMouseLeft) {
    for (const Secondary& s : Open()) {
        SCOPED_TRACE(s.window->objectName().toStdString());
        cSkinnedWindow& w = *s.window;
        w.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
        cLabelButton* help = Button(&w, "cmdHelp");
        cLabelButton* close = Button(&w, "cmdClose");
        Hover(help);
        Hover(close);
        w.tmrFocus_Timer();
        EXPECT_FALSE(help->IsBold());
        EXPECT_TRUE(close->IsBold());
        EXPECT_TRUE(w.tmrFocus.isActive());
        // Onto the title strip, away from every button.
        Hover(w.lblToolbar);
        w.tmrFocus_Timer();
        EXPECT_FALSE(close->IsBold());
        EXPECT_FALSE(w.tmrFocus.isActive());
    }
}

TEST_F(SecondaryWindows, BevelsAtNinetySixDpiAndWithAFailedOrGoodStretch) {
    {
        SCOPED_TRACE("96 dpi");
        for (const Secondary& s : Open()) CheckBevels(s, false);
    }
    gLargeFonts = true;
    gScaleX = gScaleY = 1.25f;
    {
        SCOPED_TRACE("120 dpi without skins");
        for (const Secondary& s : Open()) {
            EXPECT_FALSE(s.window->m_SkinOk);
            CheckBevels(s, true);
        }
    }
    WriteSkin("frmOptions", QSize(445, 369));
    WriteSkin("frmAddresses", QSize(482, 220));
    WriteSkin("frmOutlook", QSize(398, 142));
    const QStringList before = ProgramFiles();
    {
        SCOPED_TRACE("120 dpi with skins");
        for (const Secondary& s : Open()) {
            EXPECT_TRUE(s.window->m_SkinOk);
            EXPECT_EQ(s.window->m_Background.size(), s.window->size());
            CheckBevels(s, false);
        }
    }
    EXPECT_EQ(ProgramFiles(), before);
}

TEST_F(SecondaryWindows, TheSearchButtonHasItsBevelOnlyOnItsPage) {
    services = fakes.Wire();
    frmOptions w(services);
    w.Form_Load();
    EXPECT_TRUE(NoBevelAround(w.grab().toImage(), w.cmdSearch->geometry()));
    w.cmdBook_Click();
    EXPECT_TRUE(BevelAround(w.grab().toImage(), w.cmdSearch->geometry()));
    w.cmdMisc_Click();
    EXPECT_TRUE(NoBevelAround(w.grab().toImage(), w.cmdSearch->geometry()));
}

TEST_F(SecondaryWindows, UnloadingMovesEachOutOfSight) {
    services = fakes.Wire();
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    const QPoint away(screen.width(), screen.height());
    {
        frmOptions w(services);
        w.Form_Load();
        const QSize size = w.size();
        w.Form_Unload();
        EXPECT_EQ(w.pos(), away);
        EXPECT_EQ(w.size(), size);
        EXPECT_TRUE(w.m_WindowRegion.isEmpty());
    }
    {
        frmAddresses w(services);
        w.Form_Load();
        w.Form_Unload();
        EXPECT_EQ(w.pos(), away);
        EXPECT_TRUE(w.m_WindowRegion.isEmpty());
    }
    {
        frmOutlook w(services);
        w.Form_Load();
        w.Form_Unload();
        EXPECT_EQ(w.pos(), away);
        EXPECT_TRUE(w.m_WindowRegion.isEmpty());
    }
}

// ---- every window's captions and outline, in both languages and at both densities ------------

// What a user would find wrong with a window's layout: a caption that does
// not fit its control (a button's in bold too, as it shows under the
// mouse), or a control reaching outside the window's outline.
std::vector<std::string> LayoutFaults(QWidget* pWindow, const QRegion& pOutline) {
    std::vector<std::string> faults;
    const QString window = pWindow->objectName();
    for (QWidget* child : pWindow->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        if (!child->isVisibleTo(pWindow)) continue;
        const QString name = window + "." + child->objectName();
        if (!(QRegion(child->geometry()) - pOutline).isEmpty())
            faults.push_back(name.toStdString() + " reaches outside the outline");
        auto* label = qobject_cast<QLabel*>(child);
        if (!label || label->text().isEmpty()) continue;
        QFont font = label->font();
        if (qobject_cast<cLabelButton*>(label)) font.setBold(true);
        const QFontMetrics metrics(font);
        const int needed = metrics.horizontalAdvance(label->text());
        const QRect room = label->contentsRect();
        if (needed > room.width() || metrics.height() > room.height() + 2)
            faults.push_back(QString("%1 \"%2\" needs %3 x %4, has %5 x %6")
                                 .arg(name, label->text())
                                 .arg(needed)
                                 .arg(metrics.height())
                                 .arg(room.width())
                                 .arg(room.height())
                                 .toStdString());
    }
    return faults;
}

class EveryWindow : public SkinnedWindows, public ::testing::WithParamInterface<std::tuple<int, int>> {};

TEST_P(EveryWindow, ShowsEveryCaptionWholeInsideItsOutline) {
    const auto [language, dpi] = GetParam();
    fakes.system.languageId = static_cast<uint16_t>(language);
    Put("ShowZered", "Yes");
    Put("ShowZovid", "Yes");
    // The contacts folder as the address book, so To >> leads on to the contacts window.
    const std::string contacts = env.Path("contacts");
    WriteFile(contacts + "/Home/Friends/ann.vcf", "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:Ann\r\n"
                                                   "EMAIL:ann@example.com\r\nEND:VCARD\r\n");
    qputenv("BRISAMAIL_CONTACTS", QByteArray::fromStdString(contacts));
    Put("AddressBook", "Microsoft Outlook\t" + contacts);
    VCardContacts store;
    frmMM& w = Start(dpi);
    services.contacts = &store;

    // Text grows with the layout: 8 points at the density the program measured.
    EXPECT_NEAR(QFontInfo(w.font()).pixelSize(), 8.0 * dpi / 72, 1.0);
    // The pictures fill the frames the skin draws for them, stretched with it.
    for (auto [picture, frame] : {std::pair{w.gifLogo, QRect(22, 4, 47, 45)},
                                  std::pair{w.gifZovid, QRect(392, 154, 88, 31)},
                                  std::pair{w.tsZeredButton1, QRect(496, 114, 55, 25)},
                                  std::pair{w.tsZeredButton2, QRect(496, 150, 55, 25)},
                                  std::pair{w.tsBannerAd, QRect(50, 244, 468, 60)}}) {
        EXPECT_EQ(picture->geometry(), w.Design(frame.x(), frame.y(), frame.width(), frame.height()))
            << picture->objectName().toStdString();
        EXPECT_TRUE(picture->hasScaledContents()) << picture->objectName().toStdString();
    }
    std::vector<std::string> faults = LayoutFaults(&w, w.m_WindowRegion);
    std::vector<std::string> seen;
    fakes.modal.script = [&](QWidget* pWindow) {
        seen.push_back(pWindow->objectName().toStdString());
        auto* skinned = static_cast<cSkinnedWindow*>(pWindow);
        auto check = [&] {
            for (const std::string& f : LayoutFaults(pWindow, skinned->m_WindowRegion)) faults.push_back(f);
        };
        if (auto* options = qobject_cast<frmOptions*>(pWindow)) {
            for (cLabelButton* page : {options->cmdMail, options->cmdBook, options->cmdMisc}) {
                page->Click();
                check();
            }
        } else {
            check();
        }
    };
    w.cmdConfigure_Click();
    frmAddresses addresses(services);
    addresses.SetOutlookSource(MakeOutlookSource(services, &addresses));
    services.modal->ShowModal(&addresses, &w);
    EXPECT_EQ(seen, (std::vector<std::string>{"frmOptions", "frmOutlook", "frmAddresses"}));
    for (const std::string& f : faults) ADD_FAILURE() << f;
    qunsetenv("BRISAMAIL_CONTACTS");
}

INSTANTIATE_TEST_SUITE_P(LanguagesAndDensities, EveryWindow,
                         ::testing::Combine(::testing::Values(0x0409, 0x0407), ::testing::Values(96, 120)),
                         [](const auto& pInfo) {
                             return std::string(std::get<0>(pInfo.param) == 0x0407 ? "German" : "English") +
                                    std::to_string(std::get<1>(pInfo.param)) + "dpi";
                         });

} // namespace
} // namespace brisa::test
