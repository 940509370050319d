// The real program started as a Wayland client under a headless weston the
// test starts itself, with a session bus of its own: the window shows, a
// reply asked for with gdbus fills it in, and the desktop shows through the
// corners the outline cuts off.
#include "tests/support/temp_env.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QLibraryInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

#include <filesystem>

namespace {

const QRgb kDesktop = qRgb(255, 0, 255); // the background weston is given

class WaylandStart : public ::testing::Test {
protected:
    void SetUp() override {
        for (const char* tool : {"weston", "weston-screenshooter", "gdbus", "dbus-daemon"})
            if (QStandardPaths::findExecutable(tool).isEmpty())
                GTEST_SKIP() << tool << " is not installed (scripts/setup installs it)";
        if (!QFile::exists(QLibraryInfo::path(QLibraryInfo::PluginsPath) + "/platforms/libqwayland-generic.so"))
            GTEST_SKIP() << "Qt's Wayland platform (qt6-wayland) is not installed";
        ASSERT_TRUE(dir.isValid());
        const QString root = dir.path();
        for (const char* sub : {"run", "home", "config"}) QDir(root).mkdir(sub);
        QFile::setPermissions(root + "/run", QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        // The program folder: the build's, without the program itself.
        namespace fs = std::filesystem;
        const fs::path bin = fs::path(BRISA_PROGRAM).parent_path();
        fs::copy(bin, (root + "/home").toStdString(), fs::copy_options::recursive);
        fs::remove((root + "/home/brisamail").toStdString());
        brisa::test::WriteFile((root + "/weston.ini").toStdString(),
                               "[core]\nshell=desktop-shell.so\n[shell]\nbackground-color=0xffff00ff\npanel-position=none\n"
                               "startup-animation=none\nanimation=none\nclose-animation=none\nfocus-animation=none\n");

        environment = QProcessEnvironment::systemEnvironment();
        environment.insert("XDG_RUNTIME_DIR", root + "/run");
        environment.insert("WAYLAND_DISPLAY", "brisa-test");
        environment.insert("QT_QPA_PLATFORM", "wayland");
        environment.insert("BRISAMAIL_HOME", root + "/home");
        environment.insert("XDG_CONFIG_HOME", root + "/config");
        environment.remove("DISPLAY");

        bus.setProcessEnvironment(environment);
        bus.start("dbus-daemon", {"--session", "--nofork", "--print-address=1",
                                  "--address=unix:path=" + root + "/run/bus"});
        ASSERT_TRUE(bus.waitForReadyRead(10000)) << "no session bus";
        environment.insert("DBUS_SESSION_BUS_ADDRESS", QString::fromUtf8(bus.readLine()).trimmed());

        weston.setProcessEnvironment(environment);
        weston.setWorkingDirectory(root);
        weston.start("weston", {"--backend=headless-backend.so", "--use-pixman", "--socket=brisa-test", "--debug",
                                "--width=1280", "--height=1024", "--idle-time=0", "--config=" + root + "/weston.ini"});
        ASSERT_TRUE(QTest::qWaitFor([&] { return QFile::exists(root + "/run/brisa-test"); }, 15000))
            << "weston did not start";

        program.setProcessEnvironment(environment);
        program.setProcessChannelMode(QProcess::ForwardedChannels);
        program.start(BRISA_PROGRAM, {});
        ASSERT_TRUE(QTest::qWaitFor([&] { return Run("gdbus", {"introspect", "--session", "--dest",
                                                              "com.brisamail.BrisaMail", "--object-path", "/Brisa"}); },
                                    20000))
            << "the program did not take its bus name";
    }
    void TearDown() override {
        for (QProcess* p : {&program, &weston, &bus}) {
            if (p->state() == QProcess::NotRunning) continue;
            p->terminate();
            if (!p->waitForFinished(5000)) p->kill();
        }
    }
    bool Run(const QString& pTool, const QStringList& pArguments) {
        QProcess tool;
        tool.setProcessEnvironment(environment);
        tool.setWorkingDirectory(dir.path());
        tool.start(pTool, pArguments);
        return tool.waitForFinished(10000) && tool.exitStatus() == QProcess::NormalExit && tool.exitCode() == 0;
    }
    // A picture of the whole screen.
    QImage Screen() {
        QDir here(dir.path());
        for (const QString& old : here.entryList({"wayland-screenshot*.png"})) here.remove(old);
        if (!Run("weston-screenshooter", {})) return {};
        const QStringList shots = here.entryList({"wayland-screenshot*.png"});
        return shots.isEmpty() ? QImage() : QImage(here.filePath(shots.first())).convertToFormat(QImage::Format_RGB32);
    }
    // Where anything but the desktop is on the screen.
    static QRect Drawn(const QImage& pScreen) {
        QRect drawn;
        for (int y = 0; y < pScreen.height(); ++y)
            for (int x = 0; x < pScreen.width(); ++x) drawn |= pScreen.pixel(x, y) != kDesktop ? QRect(x, y, 1, 1) : QRect();
        return drawn;
    }
    // Dark pixels (text) in pRect.
    static int Ink(const QImage& pScreen, const QRect& pRect) {
        int ink = 0;
        for (int y = pRect.top(); y <= pRect.bottom(); ++y)
            for (int x = pRect.left(); x <= pRect.right(); ++x) ink += qGray(pScreen.pixel(x, y)) < 100;
        return ink;
    }
    // The window is up once the screen shows something of its size.
    QImage ShownWindow(QRect& pWindow) {
        QImage screen;
        (void)QTest::qWaitFor(
            [&] {
                screen = Screen();
                // (and the desktop itself shows its own colour, no fading)
                pWindow = screen.isNull() || screen.pixel(0, 0) != kDesktop ? QRect() : Drawn(screen);
                return pWindow.width() > 500 && pWindow.height() > 300;
            },
            20000);
        return screen;
    }

    QTemporaryDir dir;
    QProcessEnvironment environment;
    QProcess bus, weston, program;
};

TEST_F(WaylandStart, TheWindowShowsWithSeeThroughCornersAndTakesAReply) {
    QRect window;
    const QImage before = ShownWindow(window);
    ASSERT_GT(window.width(), 500) << "the window did not show";
    // The outline (from (3, 1) of the window on) cuts its top-left and
    // bottom-right corners round: the desktop shows there. The other two
    // corners are square.
    EXPECT_EQ(before.pixel(window.topLeft()), kDesktop);
    EXPECT_EQ(before.pixel(window.bottomRight()), kDesktop);
    EXPECT_NE(before.pixel(window.topRight()), kDesktop);
    EXPECT_NE(before.pixel(window.bottomLeft()), kDesktop);
    // The subject box, empty so far.
    const QPoint subject(149, 125);
    const QRect text(subject + QPoint(4, 4), QSize(80, 13));
    const int empty = Ink(before, text.translated(window.topLeft()));

    ASSERT_TRUE(Run("gdbus", {"call", "--session", "--dest", "com.brisamail.BrisaMail", "--object-path", "/Brisa",
                              "--method", "com.brisamail.Brisa.DoReply", "ann@example.com", "", "Hello", "1"}));
    QImage after;
    EXPECT_TRUE(QTest::qWaitFor(
        [&] {
            after = ShownWindow(window);
            return !after.isNull() && Ink(after, text.translated(window.topLeft())) > empty + 20;
        },
        20000))
        << "the reply's subject did not show: ink " << empty << " before, "
        << (after.isNull() ? -1 : Ink(after, text.translated(window.topLeft()))) << " after";
}

} // namespace
