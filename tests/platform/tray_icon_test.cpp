// The tray icon's reports: what the desktop says about a click becomes the
// mouse message the main window understands, once per click or double click.
#include "platform/linux/linux_services.h"

#include <QApplication>
#include <QMenu>
#include <QSystemTrayIcon>
#include <QTest>
#include <gtest/gtest.h>

#include <vector>

namespace brisa {
namespace {

class TrayIconReports : public ::testing::Test {
protected:
    void SetUp() override {
        tray.SetCallback([this](int message) { messages.push_back(message); });
    }
    QtTrayIcon tray;
    std::vector<int> messages;
};

TEST_F(TrayIconReports, ClickAndContextRequestBecomeMouseMessages) {
    tray.Activated(QSystemTrayIcon::Trigger);
    tray.Activated(QSystemTrayIcon::Context);
    tray.Activated(QSystemTrayIcon::MiddleClick);
    tray.Activated(QSystemTrayIcon::Unknown);
    EXPECT_EQ(messages, (std::vector<int>{WM_LBUTTONDBLCLK, WM_RBUTTONDOWN}));
}

TEST_F(TrayIconReports, ADoubleClickIsReportedOnceEvenAfterItsFirstClick) {
    tray.Activated(QSystemTrayIcon::Trigger);
    tray.Activated(QSystemTrayIcon::DoubleClick);
    EXPECT_EQ(messages, std::vector<int>{WM_LBUTTONDBLCLK});
    // A double click without a click before it (some desktops) counts too.
    tray.Activated(QSystemTrayIcon::DoubleClick);
    EXPECT_EQ(messages, (std::vector<int>{WM_LBUTTONDBLCLK, WM_LBUTTONDBLCLK}));
}

TEST_F(TrayIconReports, ALaterDoubleClickIsANewOne) {
    tray.Activated(QSystemTrayIcon::Trigger);
    QTest::qWait(QApplication::doubleClickInterval() + 250);
    tray.Activated(QSystemTrayIcon::DoubleClick);
    EXPECT_EQ(messages.size(), 2u);
}

TEST_F(TrayIconReports, WithAMenuTheRightClickIsReportedAsTheMenuShows) {
    QMenu menu;
    menu.addAction("Exit");
    ASSERT_TRUE(tray.SetMenu(&menu));
    // The desktop opens the menu itself; the request alone reports nothing.
    tray.Activated(QSystemTrayIcon::Context);
    EXPECT_TRUE(messages.empty());
    menu.popup(QPoint(10, 10));
    EXPECT_EQ(messages, std::vector<int>{WM_RBUTTONDOWN});
    menu.hide();
    tray.SetMenu(nullptr);
    tray.Activated(QSystemTrayIcon::Context);
    EXPECT_EQ(messages.size(), 2u);
}

TEST_F(TrayIconReports, NothingIsReportedWithoutAnOwner) {
    tray.SetCallback(nullptr);
    tray.Activated(QSystemTrayIcon::Trigger);
    EXPECT_TRUE(messages.empty());
}

TEST(TrayIcon, LifeCycleWithoutANotificationArea) {
    QtTrayIcon tray;
    TrayRect where;
    EXPECT_FALSE(tray.IconRect(where));
    EXPECT_FALSE(tray.Modify("ID_INVERTED")) << "not added yet";
    EXPECT_EQ(tray.Add("ID_NORMAL", "BrisaMail"), tray.Available());
    EXPECT_TRUE(tray.Modify("ID_INVERTED"));
    tray.Remove();
    tray.Remove();
    EXPECT_FALSE(tray.Modify("ID_NORMAL"));
}

} // namespace
} // namespace brisa
