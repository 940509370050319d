// The volume sliders of the assembled program (app/composition.h) on a real
// sound server: PulseAudio with a null sink and source, reached as ALSA's
// "default" through the pulse plugin, which is what most desktops run. The
// test starts its own server in a private folder.
#include "app/composition.h"
#include "recording/slider.h"
#include "tests/support/temp_env.h"

#include <QDir>
#include <QMenu>
#include <QProcess>
#include <QRegularExpression>
#include <QSlider>
#include <QStandardPaths>
#include <QTest>
#include <gtest/gtest.h>

namespace brisa::test {
namespace {

class PulseMixer : public ::testing::Test {
protected:
    void SetUp() override {
        if (QStandardPaths::findExecutable("pulseaudio").isEmpty() ||
            QStandardPaths::findExecutable("pactl").isEmpty())
            GTEST_SKIP() << "pulseaudio or pactl is not installed (scripts/setup installs them)";
        const QString runtime = QString::fromStdString(env.Root()) + "/pulse";
        QDir().mkdir(runtime, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        QProcessEnvironment own = QProcessEnvironment::systemEnvironment();
        for (const char* name : {"HOME", "XDG_RUNTIME_DIR", "PULSE_RUNTIME_PATH"}) own.insert(name, runtime);
        own.remove("PULSE_SERVER");
        server.setProcessEnvironment(own);
        server.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        server.start("pulseaudio", {"--daemonize=no", "-n", "--exit-idle-time=-1", "--use-pid-file=no",
                                    "--disable-shm=yes", "--load=module-null-sink sink_name=brisa_out",
                                    "--load=module-null-source source_name=brisa_in",
                                    "--load=module-native-protocol-unix auth-anonymous=1 socket=" +
                                        runtime + "/native"});
        // This process (ALSA's pulse plugin) and pactl find it here.
        qputenv("PULSE_SERVER", ("unix:" + runtime + "/native").toUtf8());
        qunsetenv("BRISAMAIL_AUDIO_DEVICE");
        ASSERT_TRUE(QTest::qWaitFor([this] { return Pactl({"info"}).contains("brisa_out"); }, 15000))
            << "the sound server did not start";
    }
    void TearDown() override {
        if (server.state() != QProcess::NotRunning) {
            server.terminate();
            server.waitForFinished(5000);
        }
        qunsetenv("PULSE_SERVER");
    }
    static QString Pactl(const QStringList& pArguments) {
        QProcess pactl;
        pactl.start("pactl", pArguments);
        pactl.waitForFinished(5000);
        return QString::fromUtf8(pactl.readAllStandardOutput());
    }
    // The volume of the default sink or source in percent, as pactl reads it.
    static int Percent(const char* pWhat) {
        const QString text = Pactl({QString("get-%1-volume").arg(pWhat), QString("@DEFAULT_%1@").arg(QString(pWhat).toUpper())});
        const auto match = QRegularExpression("(\\d+)%").match(text);
        return match.hasMatch() ? match.captured(1).toInt() : -1;
    }
    TempEnv env;
    QProcess server;
};

TEST_F(PulseMixer, SlidersSetTheServersVolumesAndTheTrayWritesOneChangedElsewhereAgain) {
    Program program(""); // its mixer is ALSA's "default", as on the desktop
    ASSERT_TRUE(program.Start());
    frmMM& w = program.window;
    // The mixer is opened once the window is up.
    ASSERT_TRUE(QTest::qWaitFor([&] { return !w.IsStartingUp(); }, 10000));
    ASSERT_TRUE(w.m_InSlider->IsEnabled());
    ASSERT_TRUE(w.m_OutSlider->IsEnabled());
    // A first start sets both to a third of full volume.
    EXPECT_EQ(Percent("sink"), 33);
    EXPECT_EQ(Percent("source"), 33);

    // Upwards is louder.
    QTest::keyClick(w.m_OutSlider->GetTracBarHwnd(), Qt::Key_PageUp);
    for (int i = 0; i < 3; ++i) QCoreApplication::processEvents();
    const int chosen = Percent("sink");
    EXPECT_GT(chosen, 33);

    // Another program turns the speakers down; the tray's right click (the
    // icon's menu about to show) puts the slider's volume back. The
    // server's news may take a moment to arrive.
    Pactl({"set-sink-volume", "@DEFAULT_SINK@", "5%"});
    ASSERT_EQ(Percent("sink"), 5);
    EXPECT_TRUE(QTest::qWaitFor(
        [&] {
            w.mnuFile->popup(QPoint(0, 0));
            w.mnuFile->hide();
            return Percent("sink") == chosen;
        },
        10000));
}

} // namespace
} // namespace brisa::test
