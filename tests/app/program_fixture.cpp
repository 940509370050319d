#include "tests/app/program_fixture.h"

#include "platform/file_registry.h"
#include "skin/captions.h"

#include <QAccessible>
#include <QCoreApplication>
#include <QDBusConnection>
#include <QDesktopServices>
#include <QElapsedTimer>
#include <QLabel>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>

namespace brisa::test {

namespace {
const std::string kProgramKey = "SOFTWARE\\BrisaMail, Inc.\\BrisaMailer";
const char* const kSchemes[] = {"http", "https", "file"};
} // namespace

OpenedAddresses::OpenedAddresses() {
    for (const char* scheme : kSchemes) QDesktopServices::setUrlHandler(scheme, this, "Open");
}

OpenedAddresses::~OpenedAddresses() {
    for (const char* scheme : kSchemes) QDesktopServices::unsetUrlHandler(scheme);
}

void OpenedAddresses::Open(const QUrl& pUrl) { urls << pUrl.toString(); }

bool WaitFor(const std::function<bool()>& pDone) {
    QElapsedTimer clock;
    clock.start();
    while (!pDone() && clock.elapsed() < 30000) QApplication::processEvents(QEventLoop::AllEvents, 20);
    return pDone();
}

void When(const std::function<bool()>& pReady, const std::function<void()>& pStep) {
    auto* poll = new QTimer(qApp);
    QObject::connect(poll, &QTimer::timeout, poll, [poll, pReady, pStep] {
        if (!pReady()) return;
        poll->stop();
        poll->deleteLater();
        pStep();
    });
    poll->start(10);
}

void ExpectLabelsSpeakTheirText(QWidget* pWindow, const char* pWhen) {
    SCOPED_TRACE(pWhen);
    auto plain = [](QString s) {
        s.remove('&');
        s = s.trimmed();
        if (s.endsWith(':')) s.chop(1);
        return s;
    };
    int checked = 0;
    for (QLabel* label : pWindow->findChildren<QLabel*>()) {
        // Buttons drawn as labels too: a screen reader says what the user sees.
        if (label->text().isEmpty()) continue;
        QAccessibleInterface* spoken = QAccessible::queryAccessibleInterface(label);
        ASSERT_NE(spoken, nullptr);
        EXPECT_EQ(plain(spoken->text(QAccessible::Name)).toStdString(), plain(label->text()).toStdString())
            << pWindow->objectName().toStdString() << "." << label->objectName().toStdString();
        // And sees all of it: no caption is cut by its control.
        EXPECT_TRUE(CaptionFits(label)) << pWindow->objectName().toStdString() << "."
                                        << label->objectName().toStdString() << " cuts \""
                                        << label->text().toStdString() << "\"";
        ++checked;
    }
    EXPECT_GT(checked, 0);
}

void Set(const std::string& pName, const std::string& pValue) {
    FileRegistry store(FileRegistry::DefaultPath());
    store.CreateKey(RootKey::LocalMachine, kProgramKey);
    store.SetValue(RootKey::LocalMachine, kProgramKey, pName, pValue + '\0');
}

std::string ShippedLanguage() {
    return ReadFile(std::string(BRISA_SOURCE_DIR) + "/data/lang/00000409.txt");
}

int RunAnotherCopy(const QProcessEnvironment& pEnvironment) {
    QProcess copy;
    copy.setProcessEnvironment(pEnvironment);
    copy.setProcessChannelMode(QProcess::ForwardedChannels);
    copy.start(BRISA_TEST_PROGRAM, {});
    EXPECT_TRUE(copy.waitForStarted());
    EXPECT_TRUE(WaitFor([&] { return copy.state() == QProcess::NotRunning; }));
    return copy.exitStatus() == QProcess::NormalExit ? copy.exitCode() : -1;
}

QProcessEnvironment ChildEnvironment() {
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("QT_QPA_PLATFORM", "offscreen");
    // Should it not end at once, it ends as soon as it has started.
    environment.insert("BRISAMAIL_EXIT_WHEN_SHOWN", "1");
    return environment;
}

void ProgramScenario::SetUp() {
    if (!QDBusConnection::sessionBus().isConnected())
        GTEST_SKIP() << "no session bus (run the tests inside dbus-run-session)";
    data = env.Root() + "/data";
    qputenv("XDG_DATA_HOME", QByteArray::fromStdString(data));
    qunsetenv("BRISAMAIL_CONTACTS");
}

void ProgramScenario::TearDown() { qunsetenv("XDG_DATA_HOME"); }

int ScenarioMain(int argc, char** argv) {
    QTemporaryDir outside;
    const QByteArray root = outside.path().toUtf8();
    WriteFile(root.toStdString() + "/screen.json",
              R"({"screens": [{"name": "large", "x": 0, "y": 0, "width": 1280, "height": 1024,)"
              R"( "logicalDpi": 120, "logicalBaseDpi": 96, "dpr": 1}]})");
    qputenv("QT_QPA_PLATFORM", "offscreen:configfile=" + root + "/screen.json");
    qputenv("QT_ENABLE_HIGHDPI_SCALING", "0");
    WriteFile(root.toStdString() + "/silence.raw", std::string(32000 * 30, '\0'));
    WriteFile(root.toStdString() + "/asound.conf",
              "</usr/share/alsa/alsa.conf>\n"
              "pcm.scenario_mic {\n  type file\n  slave.pcm \"null\"\n  file \"/dev/null\"\n"
              "  infile \"" + root.toStdString() + "/silence.raw\"\n  format \"raw\"\n}\n"
              "pcm.scenario_duplex {\n  type asym\n  capture.pcm \"scenario_mic\"\n"
              "  playback.pcm \"null\"\n}\n");
    qputenv("ALSA_CONFIG_PATH", root + "/asound.conf");
    qputenv("BRISAMAIL_AUDIO_DEVICE", "scenario_duplex");
    qputenv("BRISAMAIL_SOUND_DEVICE", "null");
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}

} // namespace brisa::test
