// The assembled program (app/composition.h) as a user meets it. Only the
// world outside the program is set up by the test: temporary program,
// settings and data folders, ALSA "file" devices as microphone and speaker,
// the test's private session bus, a server on 127.0.0.1, the desktop's
// "open this address" (Qt's URL handlers) and the real executable as a
// second copy. The display is an offscreen screen of 120 dpi, a large-font
// desktop (main() at the end sets it up).
#include "app/composition.h"

#include "addressbook/address_window.h"
#include "addressbook/outlook_window.h"
#include "common/globals.h"
#include "platform/program_folder.h"
#include "settings/options_window.h"
#include "skin/anigif.h"
#include "skin/label_button.h"
#include "tests/sending/test_servers.h"
#include "tests/app/program_fixture.h"
#include "tests/support/temp_env.h"

#include <QAccessible>
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDesktopServices>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QSystemTrayIcon>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QUrl>
#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <functional>
#include <future>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace brisa::test {
namespace {

int Lines(const std::string& pText) {
    return static_cast<int>(std::count(pText.begin(), pText.end(), '\n'));
}

// A pipe in a file's place, with a writer that would feed it one text as
// soon as something opened it for reading.
class PipeInPlace {
public:
    PipeInPlace(const std::string& pPath, std::string pText) : m_Path(pPath) {
        std::filesystem::create_directories(std::filesystem::path(pPath).parent_path());
        EXPECT_EQ(::mkfifo(pPath.c_str(), 0600), 0);
        m_Writer = std::thread([this, text = std::move(pText)] {
            sigset_t pipeSignal;
            sigemptyset(&pipeSignal);
            sigaddset(&pipeSignal, SIGPIPE);
            pthread_sigmask(SIG_BLOCK, &pipeSignal, nullptr);
            const int fd = ::open(m_Path.c_str(), O_WRONLY | O_CLOEXEC);
            if (fd < 0) return;
            [[maybe_unused]] const ssize_t n = ::write(fd, text.data(), text.size());
            ::close(fd);
        });
    }
    ~PipeInPlace() { Release(); }
    // Lets a writer still waiting for a reader go.
    void Release() {
        if (!m_Writer.joinable()) return;
        const int fd = ::open(m_Path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
        if (fd >= 0) ::close(fd);
        m_Writer.join();
    }

private:
    std::string m_Path;
    std::thread m_Writer;
};

// A first day: the program sends what waited in the outbox, the user
// records, picks contacts through the contacts window, switches on the
// start at log-on, and the session ends with a signal.
TEST_F(ProgramScenario, AFirstDayFromStartToSessionEnd) {
    HttpServer server;
    server.Queue({200,
                  {{"X-Brisa-Notify-Caption", "Read the news"},
                   {"X-Brisa-Notify-Target", "/etc/passwd"},
                   {"X-Brisa-Notify-Time", "0"}}});

    // The program folder holds data only; the executable is this test.
    std::string language = ShippedLanguage();
    const std::string tip62 = "BrisaMail records and sends voice messages: speak, pick, send!";
    ASSERT_EQ(tip62.size(), 62u);
    const size_t at = language.find("mm0001\t");
    language.replace(at, language.find("\r\n", at) - at, "mm0001\t" + tip62 + "\xFC" "ber all");
    WriteFile(env.Path("lang/00000409.txt"), language);
    std::filesystem::create_symlink(BRISA_TEST_SENDER, env.Path("brisa-sender"));
    WriteFile(env.Path("outbox/000000000001.txt"), "Content-Type: text/plain\r\n\r\nwaiting since yesterday");
    std::string history;
    for (int i = 1; i <= 20; ++i) history += "friend" + std::to_string(i) + "@example.com\r\n";
    WriteFile(env.Path("Tos.txt"), history);

    // Contacts in vCard folders: two accounts, each with one contact folder.
    const std::string contacts = data + "/contacts";
    WriteFile(contacts + "/home/displayname", "Home\n");
    WriteFile(contacts + "/home/family/carol.vcf",
              "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:Carol\r\nEMAIL:carol@example.com\r\nEND:VCARD\r\n");
    WriteFile(contacts + "/work/displayname", "Work\n");
    WriteFile(contacts + "/work/friends/people.vcf",
              "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:Ann\r\nEMAIL:ann@example.com\r\nEND:VCARD\r\n"
              "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:Bob\r\nEMAIL:bob@example.com\r\nEND:VCARD\r\n");

    Set("ConnectTo", server.Url());
    Set("LogoClick", "www.example.com");
    Set("AddressBook", "Microsoft Outlook\t" + contacts);
    Set("LargeFontWarning", "1");

    OpenedAddresses opened;
    Program program("");
    ASSERT_TRUE(program.Start());
    frmMM& window = program.window;
    ASSERT_TRUE(window.isVisible());

    // The tray tip is cut at 63 bytes, before the character that would not fit.
    EXPECT_EQ(program.tray.Tip().toStdString(), tip62);

    // The waiting post went out; the server's entry names a file outside the
    // program folder: choosing it opens nothing and ends the notification.
    ASSERT_TRUE(WaitFor([&] { return window.mnuSpecial->isVisible(); }));
    EXPECT_EQ(server.Requests().size(), 1u);
    EXPECT_EQ(window.mnuSpecial->text(), "Read the news");
    window.mnuSpecial->trigger();
    EXPECT_TRUE(opened.urls.isEmpty()) << opened.urls.join(' ').toStdString();
    EXPECT_FALSE(window.mnuSpecial->isVisible());
    EXPECT_FALSE(window.tmrMessaging.isActive());

    // The logo's address without a scheme is a web address.
    QTest::mouseClick(window.gifLogo, Qt::LeftButton);
    EXPECT_EQ(opened.urls.join(' ').toStdString(), "http://www.example.com");

    // Every status the line shows is what a screen reader hears.
    ExpectLabelsSpeakTheirText(&window, "after start-up");
    QTest::mouseClick(window.cmdRecord, Qt::LeftButton);
    EXPECT_TRUE(window.lblStatus->text().startsWith("Recording: 0:0"));
    ExpectLabelsSpeakTheirText(&window, "recording");
    QTest::mouseClick(window.cmdStop, Qt::LeftButton);
    EXPECT_EQ(window.lblStatus->text(), "Stopped. Play it back or send it.");
    ExpectLabelsSpeakTheirText(&window, "stopped");

    // To >>: the contacts window comes up over the address window; the user
    // picks the Work account; its contacts fill the address window.
    bool outlookSeen = false, addressesSeen = false;
    When([] { return Showing<frmOutlook>() != nullptr; }, [&] {
        frmOutlook* outlook = Showing<frmOutlook>();
        outlookSeen = true;
        ExpectLabelsSpeakTheirText(outlook, "contacts window");
        EXPECT_EQ(outlook->cboProfile->currentText(), "Home");
        outlook->cboProfile->setFocus();
        QTest::keyClick(outlook->cboProfile, Qt::Key_Down);
        EXPECT_EQ(outlook->cboProfile->currentText(), "Work");
        EXPECT_EQ(outlook->cboFolder->currentText(), "friends");
        QTest::mouseClick(outlook->cmdOk, Qt::LeftButton);
    });
    When(
        // Once the contacts window is gone (it is created and dropped while the
        // address window loads its book).
        [] { return Showing<frmAddresses>() && !Alive<frmOutlook>(); },
        [&] {
            frmAddresses* addresses = Showing<frmAddresses>();
            addressesSeen = true;
            ExpectLabelsSpeakTheirText(addresses, "address window");
            EXPECT_EQ(addresses->Rows(),
                      (std::vector<std::string>{"Ann\tann@example.com", "Bob\tbob@example.com"}));
            addresses->lvAddresses->selectAll();
            QTest::mouseClick(addresses->cmdOk, Qt::LeftButton);
        });
    QTest::mouseClick(window.cmdTo, Qt::LeftButton);
    EXPECT_TRUE(outlookSeen);
    EXPECT_TRUE(addressesSeen);
    EXPECT_EQ(window.cmbTo->currentText().toStdString(), "ann@example.com, bob@example.com");

    // Start at log-on names the executable that runs, not the data folder.
    bool optionsSeen = false;
    When([] { return Showing<frmOptions>() != nullptr; }, [&] {
        frmOptions* options = Showing<frmOptions>();
        optionsSeen = true;
        ExpectLabelsSpeakTheirText(options, "options window");
        options->chkAutorun->setChecked(true);
        QTest::mouseClick(options->cmdOk, Qt::LeftButton);
    });
    QTest::mouseClick(window.cmdConfigure, Qt::LeftButton);
    EXPECT_TRUE(optionsSeen);
    const std::string entry = ReadFile(env.Root() + "/config/autostart/brisamail.desktop");
    const std::string running = QFileInfo(QCoreApplication::applicationFilePath()).canonicalFilePath().toStdString();
    EXPECT_NE(entry.find("\nExec=\"" + running + "\" 1\n"), std::string::npos) << entry;

    // The session ends with SIGTERM: the same take-down as Exit.
    std::raise(SIGTERM);
    ASSERT_TRUE(WaitFor([&] { return window.IsUnloaded(); }));
    EXPECT_EQ(Lines(ReadFile(env.Path("Tos.txt"))), 17);
    EXPECT_TRUE(program.tray.Tip().isEmpty()) << "the tray icon is still there";
}

// A start at log-on ("1") on a large-font desktop seen for the first time,
// with pipes where Tos.txt, the language file and the skin should be: replies that
// come while the warning is up are carried out, later copies end at once
// and leave the first alone, and the session manager's end saves the history.
TEST_F(ProgramScenario, StartAtLogOnOnALargeFontDesktop) {
    // What the pipes would feed a program that waited on them.
    PipeInPlace tos(env.Path("Tos.txt"), "fifo@example.com\r\n");
    PipeInPlace lang(env.Path("lang/00000409.txt"), "mm0036\tRead from a pipe\r\n");
    PipeInPlace skin(env.Path("skins/frmMM.jpg"), "");

    std::future<std::vector<QDBusMessage>> replies;
    bool warned = false;
    // Another program asks for two replies while the warning is up.
    When([] { return Showing<QMessageBox>() != nullptr; }, [&] {
        warned = true;
        EXPECT_EQ(Showing<QMessageBox>()->windowTitle(), "Large Fonts Detected");
        replies = std::async(std::launch::async, [] {
            QDBusConnection bus = QDBusConnection::connectToBus(QDBusConnection::SessionBus, "scenario-caller");
            std::vector<QDBusMessage> answers;
            for (const char* to : {"ann@example.com", "bob@example.com"}) {
                QDBusMessage call = QDBusMessage::createMethodCall(kDBusService, kDBusPath, kDBusInterface, "DoReply");
                call << QString(to) << QString() << QString(to[0] == 'a' ? "Lunch" : "Dinner") << 0;
                answers.push_back(bus.call(call, QDBus::Block, 20000));
            }
            return answers;
        });
        When([&] { return replies.wait_for(std::chrono::seconds(0)) == std::future_status::ready; },
             [] { Showing<QMessageBox>()->button(QMessageBox::Ok)->click(); });
    });

    Program program("1");
    ASSERT_TRUE(program.Start());
    frmMM& window = program.window;
    ASSERT_TRUE(warned);
    for (const QDBusMessage& reply : replies.get())
        EXPECT_EQ(reply.type(), QDBusMessage::ReplyMessage) << reply.errorMessage().toStdString();
    QDBusConnection::disconnectFromBus("scenario-caller");
    EXPECT_EQ(window.cmbTo->currentText().toStdString(), "bob@example.com");
    EXPECT_EQ(window.txtSubject->text().toStdString(), "Re: Dinner");

    tos.Release();
    lang.Release();
    skin.Release();
    // No pipe was waited for: each counts as missing, and the window is
    // drawn without its skin.
    EXPECT_FALSE(window.m_SkinOk);
    EXPECT_EQ(window.cmbTo->findText("fifo@example.com"), -1);
    EXPECT_NE(window.lblStatus->text().toStdString(), "Read from a pipe");

    // Hidden in the tray; without one it waits minimised on the task bar.
    const bool trayShown = QSystemTrayIcon::isSystemTrayAvailable();
    auto startedAsAtLogOn = [&] { return trayShown ? !window.isVisible() : window.isMinimized(); };
    EXPECT_TRUE(startedAsAtLogOn());
    EXPECT_TRUE(trayShown || window.isVisible());

    // Copies started later end at once with status 0, touch no file and
    // leave the first as it is: one on the bus, one without a bus.
    WriteFile(env.Path("in5.wav"), "RIFF");
    EXPECT_EQ(RunAnotherCopy(ChildEnvironment()), 0);
    QProcessEnvironment noBus = ChildEnvironment();
    noBus.insert("DBUS_SESSION_BUS_ADDRESS", QString::fromStdString("unix:path=" + env.Root() + "/no-bus"));
    EXPECT_EQ(RunAnotherCopy(noBus), 0);
    QApplication::processEvents();
    EXPECT_TRUE(QFile::exists(QString::fromStdString(env.Path("in5.wav"))));
    EXPECT_TRUE(startedAsAtLogOn());

    // The session manager ends the session by asking the application to
    // quit (the event loop is left in any case, so the test goes on).
    bool unloadedByQuit = false;
    QTimer::singleShot(0, qApp, [&] {
        QCoreApplication::quit();
        unloadedByQuit = window.IsUnloaded();
        QCoreApplication::exit(0);
    });
    QApplication::exec();
    EXPECT_TRUE(unloadedByQuit);
    struct stat saved {};
    ASSERT_EQ(::stat(env.Path("Tos.txt").c_str(), &saved), 0);
    EXPECT_TRUE(S_ISREG(saved.st_mode));
}

} // namespace
} // namespace brisa::test

int main(int argc, char** argv) { return brisa::test::ScenarioMain(argc, argv); }
