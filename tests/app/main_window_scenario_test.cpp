// The main window and its skinned secondary windows in the assembled
// program (app/composition.h), driven as a user and other programs drive
// them: start-ups with their settings file, the tray icon's menu, the
// desktop opening pages and links, calls over the session bus, address
// books through To >> and Cc >>, the options window in German, and the
// mouse and keyboard over the skinned windows.
#include "app/composition.h"

#include "addressbook/address_window.h"
#include "addressbook/outlook_window.h"
#include "common/globals.h"
#include "platform/file_registry.h"
#include "settings/options_window.h"
#include "skin/anigif.h"
#include "skin/label_button.h"
#include "tests/app/program_fixture.h"
#include "tests/sending/test_servers.h"
#include "tools/gif_encoder.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMessageBox>
#include <QRegularExpression>
#include <QRubberBand>
#include <QSystemTrayIcon>
#include <QTest>
#include <QTimer>
#include <QXmlStreamReader>
#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <future>
#include <map>

// Texts in a failure message as they read.
void PrintTo(const QString& pText, std::ostream* pOut) { *pOut << '"' << pText.toStdString() << '"'; }

namespace brisa::test {
namespace {

const std::string kProgramKey = "SOFTWARE\\BrisaMail, Inc.\\BrisaMailer";

// One value as a fresh reader of the settings file finds it.
std::string Stored(const std::string& pName) {
    FileRegistry store(FileRegistry::DefaultPath());
    std::string data = "<missing>";
    store.QueryValue(RootKey::LocalMachine, kProgramKey, pName, data);
    return data.substr(0, data.find('\0'));
}

std::string SettingsFile() { return ReadFile(FileRegistry::DefaultPath()); }

std::string FileUrl(const std::string& pPath) {
    return QUrl::fromLocalFile(QString::fromStdString(pPath)).toString().toStdString();
}

// Another program's call to the running copy, from a thread and a bus
// connection of its own; the test's thread keeps the program's events going.
std::future<QDBusMessage> Call(const char* pMethod, const QList<QVariant>& pArguments,
                               const char* pPath = kDBusPath, const char* pInterface = kDBusInterface) {
    return std::async(std::launch::async, [=] {
        QDBusConnection bus = QDBusConnection::connectToBus(QDBusConnection::SessionBus, "window-caller");
        QDBusMessage call = QDBusMessage::createMethodCall(kDBusService, pPath, pInterface, pMethod);
        call.setArguments(pArguments);
        return bus.call(call, QDBus::Block, 20000);
    });
}

bool Answered(const std::future<QDBusMessage>& pCall) {
    return pCall.wait_for(std::chrono::seconds(0)) == std::future_status::ready;
}

// The call's answer, once it has come.
QDBusMessage Answer(std::future<QDBusMessage> pCall) {
    EXPECT_TRUE(WaitFor([&] { return Answered(pCall); }));
    return pCall.get();
}

// Methods and their argument signatures of one interface in an
// introspection document.
std::map<QString, QString> Methods(const QString& pXml) {
    std::map<QString, QString> methods;
    QXmlStreamReader xml(pXml);
    bool inside = false;
    QString method;
    while (!xml.atEnd()) {
        xml.readNext();
        if (xml.isStartElement() && xml.name() == u"interface")
            inside = xml.attributes().value("name") == QString(kDBusInterface);
        else if (inside && xml.isStartElement() && xml.name() == u"method")
            methods[method = xml.attributes().value("name").toString()];
        else if (inside && xml.isStartElement() && xml.name() == u"arg" &&
                 xml.attributes().value("direction") != u"out")
            methods[method] += xml.attributes().value("type").toString();
        else if (xml.isEndElement() && xml.name() == u"interface")
            inside = false;
    }
    return methods;
}

// While it lives, a message box fails the test and is clicked away.
class NoMessageBox {
public:
    NoMessageBox() {
        QObject::connect(&m_Poll, &QTimer::timeout, [] {
            if (QMessageBox* box = Showing<QMessageBox>()) {
                ADD_FAILURE() << "message box: " << box->text().toStdString();
                box->button(QMessageBox::Ok)->click();
            }
        });
        m_Poll.start(10);
    }

private:
    QTimer m_Poll;
};

// Where a window goes when it leaves the screen for the tray: hidden, or,
// without a notification area, minimised on the task bar.
bool InTray(const QWidget& pWindow) {
    return QSystemTrayIcon::isSystemTrayAvailable() ? !pWindow.isVisible() : pWindow.isMinimized();
}

bool OnScreen(const QWidget& pWindow) { return pWindow.isVisible() && !pWindow.isMinimized(); }

// The desktop opens the tray icon's menu at the icon.
void OpenTrayMenu(frmMM& pWindow) {
    pWindow.mnuFile->popup(QPoint(600, 500));
    ASSERT_TRUE(QTest::qWaitForWindowExposed(pWindow.mnuFile));
}

// The user clicks one entry of the open tray menu.
void Choose(frmMM& pWindow, QAction* pEntry) {
    ASSERT_TRUE(pWindow.mnuFile->isVisible());
    QTest::mouseClick(pWindow.mnuFile->windowHandle(), Qt::LeftButton, {},
                      pWindow.mnuFile->actionGeometry(pEntry).center());
}

void ExitFromTheTray(Program& pProgram) {
    OpenTrayMenu(pProgram.window);
    Choose(pProgram.window, pProgram.window.mnuFileExit);
    ASSERT_TRUE(WaitFor([&] { return pProgram.window.IsUnloaded(); }));
    EXPECT_TRUE(pProgram.tray.Tip().isEmpty()) << "the tray icon is still there";
}

// The mouse, no button held, over a point of a window.
void Hover(QWidget* pWindow, QPoint pAt) {
    QTest::mouseMove(pWindow->windowHandle(), pAt);
    QApplication::processEvents();
}
void Hover(QWidget* pControl) { Hover(pControl->window(), pControl->geometry().center()); }

// Hovering turns a button bold; the bold goes once the mouse has left it.
void ExpectHoverFollowsTheMouse(QWidget* pWindow, cLabelButton* pFirst, cLabelButton* pSecond,
                                QWidget* pNoButton) {
    SCOPED_TRACE(pWindow->objectName().toStdString());
    Hover(pFirst);
    EXPECT_TRUE(pFirst->IsBold());
    Hover(pSecond);
    EXPECT_TRUE(pSecond->IsBold());
    EXPECT_TRUE(WaitFor([&] { return !pFirst->IsBold(); }));
    Hover(pNoButton);
    EXPECT_TRUE(WaitFor([&] { return !pSecond->IsBold(); }));
}

// The controls Tab reaches in one round from the focused one.
std::vector<QWidget*> TabRound() {
    std::vector<QWidget*> reached{QApplication::focusWidget()};
    for (int i = 0; i < 60; ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QWidget* now = QApplication::focusWidget();
        if (!now || now == reached.front()) break;
        reached.push_back(now);
    }
    return reached;
}

class WindowScenario : public ProgramScenario {
protected:
    void SetUp() override {
        ProgramScenario::SetUp();
        WriteFile(env.Path("lang/00000409.txt"), ShippedLanguage());
    }
    void TearDown() override {
        QDBusConnection::disconnectFromBus("window-caller");
        ProgramScenario::TearDown();
    }
};

// A first start on a large-font desktop warns once; a reply another program
// asks for meanwhile is carried out; what start-up settled is in the
// settings file. The next start, at log-on, finds it all there.
TEST_F(WindowScenario, AFirstStartWritesItsSettingsAndALaterOneFindsThem) {
    WriteFile(env.Path("in.wav"), "RIFF");
    WriteFile(env.Path("Tos.txt"), "ann@example.com\r\n\r\n   \r\nJos\xE9@example.com\n");
    std::future<QDBusMessage> reply;
    bool warned = false;
    When([] { return Showing<QMessageBox>() != nullptr; }, [&] {
        warned = true;
        EXPECT_EQ(Showing<QMessageBox>()->windowTitle(), "Large Fonts Detected");
        // What came before the warning is on the disk while it is up.
        EXPECT_NE(SettingsFile().find("[HKEY_LOCAL_MACHINE\\" + kProgramKey + "]"), std::string::npos);
        reply = Call("DoReply", {QString("bob@example.com"), QString(), QString("Lunch"), 1});
        When([&] { return Answered(reply); }, [] { Showing<QMessageBox>()->button(QMessageBox::Ok)->click(); });
    });
    {
        Program program("");
        ASSERT_TRUE(program.Start());
        frmMM& window = program.window;
        ASSERT_TRUE(warned);
        EXPECT_EQ(reply.get().type(), QDBusMessage::ReplyMessage);
        EXPECT_TRUE(OnScreen(window));
        EXPECT_EQ(window.cmbTo->currentText(), "bob@example.com");
        EXPECT_EQ(window.txtSubject->text(), "Re: Lunch");
        EXPECT_EQ(Stored("LargeFontWarning"), "1");
        EXPECT_EQ(Stored("LowResVideoWarning"), "0");
        EXPECT_EQ(Stored("Autorun"), "0");
        EXPECT_FALSE(QFile::exists(QString::fromStdString(env.Path("in.wav"))));
        EXPECT_TRUE(QDir(QString::fromStdString(env.Path("outbox"))).exists());
        ASSERT_EQ(window.cmbTo->count(), 2);
        EXPECT_EQ(window.cmbTo->itemText(1), QString::fromUtf8("José@example.com"));
        EXPECT_EQ(window.cmbCc->currentText(), "(no recipient)");
        ExitFromTheTray(program);
    }
    // The history is written back as the program writes it: Windows-1252,
    // one address a line.
    EXPECT_EQ(ReadFile(env.Path("Tos.txt")), "ann@example.com\r\nJos\xE9@example.com\r\n");

    NoMessageBox noWarning;
    Program program("1");
    ASSERT_TRUE(program.Start());
    frmMM& window = program.window;
    EXPECT_TRUE(InTray(window));
    EXPECT_EQ(window.cmbTo->count(), 2);
    // A click on the tray icon brings it up.
    program.tray.Activated(QSystemTrayIcon::Trigger);
    EXPECT_TRUE(WaitFor([&] { return OnScreen(window); }));
    window.cmbTo->setFocus();
    QTest::keyClick(window.cmbTo, Qt::Key_Down);
    EXPECT_EQ(window.cmbTo->currentText(), QString::fromUtf8("José@example.com"));
    ExitFromTheTray(program);
}

// The tray icon's menu, the trip to the tray and back, and what the
// desktop is asked to open: help pages, the partner's link.
TEST_F(WindowScenario, TheTrayMenuAndThePagesTheWindowOpens) {
    HttpServer server;
    server.Queue({200, {{"X-Brisa-Notify-Caption", "Delivered"}, {"X-Brisa-Notify-Target", "https://example.com/status"}}});
    std::filesystem::create_symlink(BRISA_TEST_SENDER, env.Path("brisa-sender"));
    WriteFile(env.Path("outbox/000000000001.txt"), "Content-Type: text/plain\r\n\r\nwaiting since yesterday");
    Set("ConnectTo", server.Url());
    Set("LargeFontWarning", "1");
    Set("PlaySounds", "1");
    Set("LogoClick", "www.example.com");
    Set("ShowZovid", "Yes");
    Set("ZovidClick", "https://partner.example.com/");
    std::vector<QImage> frames;
    for (QRgb colour : {qRgb(255, 0, 0), qRgb(0, 0, 255)}) {
        frames.emplace_back(8, 6, QImage::Format_RGB32);
        frames.back().fill(colour);
    }
    WriteFile(env.Path("logo.gif"), art::EncodeAnimation(frames, {5, 5}));
    WriteFile(env.Path("zovid.gif"), "GIF89a, and then nothing");
    NoMessageBox quiet;
    OpenedAddresses opened;
    Program program("");
    ASSERT_TRUE(program.Start());
    frmMM& window = program.window;
    auto lastOpened = [&] { return opened.urls.isEmpty() ? std::string() : opened.urls.last().toStdString(); };

    // On the large-font desktop the pictures fill the frames the skin draws
    // for them, stretched with it.
    ASSERT_TRUE(WaitFor([&] { return !window.IsStartingUp(); }));
    for (auto [picture, frame] : {std::pair{window.gifLogo, QRect(22, 4, 47, 45)},
                                  std::pair{window.gifZovid, QRect(392, 154, 88, 31)},
                                  std::pair{window.tsBannerAd, QRect(50, 244, 468, 60)}}) {
        EXPECT_EQ(picture->geometry(), window.Design(frame.x(), frame.y(), frame.width(), frame.height()))
            << picture->objectName().toStdString();
        EXPECT_TRUE(picture->hasScaledContents()) << picture->objectName().toStdString();
    }

    // The window is up: its menu offers no Send, and Help is the default.
    OpenTrayMenu(window);
    EXPECT_FALSE(window.mnuFileSend->isVisible());
    EXPECT_EQ(window.mnuFile->defaultAction(), window.mnuHelpContents);
    Choose(window, window.mnuHelpFAQ);
    EXPECT_EQ(lastOpened(), FileUrl(env.Path("htm/faq.htm")));
    QTest::keyClick(&window, Qt::Key_F1);
    EXPECT_EQ(lastOpened(), FileUrl(env.Path("htm/startup.htm")));
    QTest::mouseClick(window.gifZovid, Qt::LeftButton);
    EXPECT_EQ(lastOpened(), "https://partner.example.com/");
    QTest::mouseClick(window.gifLogo, Qt::LeftButton);
    EXPECT_EQ(lastOpened(), "http://www.example.com");
    QTest::mouseClick(window.cmdHelp, Qt::LeftButton);
    EXPECT_EQ(lastOpened(), FileUrl(env.Path("htm/startup.htm")));

    // The waiting post went out and the server's answer blinks in the tray;
    // a click on the icon opens what it names and ends the blinking.
    ASSERT_TRUE(WaitFor([&] { return window.mnuSpecial->isVisible(); }));
    EXPECT_EQ(window.mnuSpecial->text(), "Delivered");
    program.tray.Activated(QSystemTrayIcon::Trigger);
    EXPECT_EQ(lastOpened(), "https://example.com/status");
    EXPECT_FALSE(window.mnuSpecial->isVisible());

    // A right click on the window offers the tray menu's entries there too.
    QContextMenuEvent rightClick(QContextMenuEvent::Mouse, QPoint(300, 300), window.mapToGlobal(QPoint(300, 300)));
    QApplication::sendEvent(&window, &rightClick);
    QMenu* menu = Showing<QMenu>();
    ASSERT_NE(menu, nullptr);
    EXPECT_EQ(menu->defaultAction(), window.mnuHelpContents);
    menu->hide();

    // The logo moves while a recording runs; the status line is heard as shown.
    EXPECT_FALSE(window.gifLogo->IsRunning());
    QTest::mouseClick(window.cmdRecord, Qt::LeftButton);
    EXPECT_TRUE(window.gifLogo->IsRunning());
    ExpectLabelsSpeakTheirText(&window, "recording");
    QTest::mouseClick(window.cmdStop, Qt::LeftButton);
    EXPECT_FALSE(window.gifLogo->IsRunning());
    ExpectLabelsSpeakTheirText(&window, "stopped");

    // Close puts it away; the menu then offers Send, which brings it back.
    QTest::mouseClick(window.cmdClose, Qt::LeftButton);
    EXPECT_TRUE(InTray(window));
    OpenTrayMenu(window);
    EXPECT_TRUE(window.mnuFileSend->isVisible());
    EXPECT_EQ(window.mnuFile->defaultAction(), window.mnuFileSend);
    Choose(window, window.mnuFileSend);
    EXPECT_TRUE(WaitFor([&] { return OnScreen(window); }));

    // While the options window is open the menu still answers, but Exit
    // waits for it.
    bool optionsSeen = false;
    When([] { return Showing<frmOptions>() != nullptr; }, [&] {
        optionsSeen = true;
        OpenTrayMenu(window);
        EXPECT_FALSE(window.mnuFileExit->isEnabled());
        Choose(window, window.mnuFileExit);
        Choose(window, window.mnuHelpAbout);
        EXPECT_EQ(lastOpened(), FileUrl(env.Path("htm/about.htm")));
        EXPECT_TRUE(WaitFor([&] { return !window.mnuFile->isVisible(); }));
        EXPECT_TRUE(window.mnuFileExit->isEnabled());
        QTest::mouseClick(Showing<frmOptions>()->cmdCancel, Qt::LeftButton);
    });
    QTest::mouseClick(window.cmdConfigure, Qt::LeftButton);
    EXPECT_TRUE(optionsSeen);
    EXPECT_FALSE(window.IsUnloaded());
    ExitFromTheTray(program);
}

// Other programs ask for replies and for the window over the session bus,
// as the interface file the program ships describes it.
TEST_F(WindowScenario, OtherProgramsReachTheWindowOverTheBus) {
    Set("LargeFontWarning", "1");
    NoMessageBox quiet;
    Program program("1");
    ASSERT_TRUE(program.Start());
    frmMM& window = program.window;

    const QDBusMessage live = Answer(Call("Introspect", {}, kDBusPath, "org.freedesktop.DBus.Introspectable"));
    ASSERT_EQ(live.type(), QDBusMessage::ReplyMessage) << live.errorMessage().toStdString();
    const QString shipped = QString::fromStdString(ReadFile(BRISA_SOURCE_DIR "/data/dbus/com.brisamail.Brisa.xml"));
    EXPECT_EQ(Methods(shipped), (std::map<QString, QString>{{"DoReply", "sssi"}, {"ShowImmediately", "i"}}));
    EXPECT_EQ(Methods(live.arguments().value(0).toString()), Methods(shipped));

    // Without a window handle the reply is only filled in; blanks change nothing.
    const QString greeting = QString::fromUtf8("RE: Grüße");
    EXPECT_EQ(Answer(Call("DoReply", {QString(" "), QString(), greeting, 0})).type(), QDBusMessage::ReplyMessage);
    EXPECT_EQ(window.txtSubject->text(), greeting);
    EXPECT_EQ(window.cmbTo->currentText(), "(no recipient)");
    EXPECT_TRUE(InTray(window));

    Answer(Call("DoReply", {QString("ann@example.com, bob@example.com"), QString("carl@example.com"),
                            QString("Lunch"), 1}));
    EXPECT_TRUE(WaitFor([&] { return OnScreen(window); }));
    EXPECT_EQ(window.cmbTo->currentText(), "ann@example.com, bob@example.com");
    EXPECT_EQ(window.cmbCc->currentText(), "carl@example.com");
    EXPECT_EQ(window.txtSubject->text(), "Re: Lunch");

    const QDBusMessage wrong = Answer(Call("DoReply", {QString("only one")}));
    EXPECT_EQ(wrong.type(), QDBusMessage::ErrorMessage);
    EXPECT_EQ(window.txtSubject->text(), "Re: Lunch");

    QTest::mouseClick(window.cmdHide, Qt::LeftButton);
    Answer(Call("ShowImmediately", {0}));
    EXPECT_TRUE(InTray(window));
    Answer(Call("ShowImmediately", {5}));
    EXPECT_TRUE(WaitFor([&] { return OnScreen(window); }));

    // The desktop's own activation (its menu entry, DBusActivatable).
    QTest::mouseClick(window.cmdHide, Qt::LeftButton);
    const QDBusMessage activated = Answer(Call("Activate", {QVariantMap{{"activation-token", QString("t")}}},
                                               kDBusApplicationPath, kDBusApplicationInterface));
    EXPECT_EQ(activated.type(), QDBusMessage::ReplyMessage) << activated.errorMessage().toStdString();
    EXPECT_TRUE(WaitFor([&] { return OnScreen(window); }));

    ExitFromTheTray(program);
    Answer(Call("ShowImmediately", {1}));
    EXPECT_FALSE(window.isVisible());
}

// To >> and Cc >> over the contacts folder, an LDIF file and a nickname
// file; the book is changed from inside the address window.
TEST_F(WindowScenario, RecipientsFromTheAddressBooks) {
    const std::string ldif = env.Root() + "/books/friends.ldif", nicknames = env.Root() + "/books/nndbase.txt";
    WriteFile(ldif, "dn: a\ncn: Carl\nmail: carl@example.com\n\ndn: b\ncn: anna\nmail: anna@example.com\n\n"
                    "dn: c\ncn: Bert\nmail: bert@example.org\n");
    WriteFile(nicknames, "alias boss boss@work.example\nalias team boss, zed@work.example\n");
    WriteFile(data + "/contacts/home/friends/dora.vcf",
              "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:Dora\r\nEMAIL:dora@example.com\r\nEND:VCARD\r\n");
    Set("LargeFontWarning", "1");
    Set("ConnectTo", "http://voice.example/post");
    Set("AddressBook", "Microsoft Outlook\t" + data + "/contacts");
    Set("KnownAddressBooks", ldif + "\t" + nicknames + "\t");
    NoMessageBox quiet;
    Program program("");
    ASSERT_TRUE(program.Start());
    frmMM& window = program.window;

    // The contacts window first, then its contacts; Change Book there picks
    // the LDIF file. Marked rows become the To text in the list's order,
    // replacing what was typed.
    std::vector<std::string> contacts, rows;
    When([] { return Showing<frmOutlook>() != nullptr; },
         [] { QTest::mouseClick(Showing<frmOutlook>()->cmdOk, Qt::LeftButton); });
    When([] { return Showing<frmAddresses>() && !Alive<frmOutlook>(); }, [&] {
        frmAddresses* addresses = Showing<frmAddresses>();
        contacts = addresses->Rows();
        ExpectLabelsSpeakTheirText(addresses, "address window");
        When([] { return Showing<frmOptions>() != nullptr; }, [] {
            QListWidget* books = Showing<frmOptions>()->lvBooks;
            QTest::mouseClick(books->viewport(), Qt::LeftButton, {}, books->visualItemRect(books->item(1)).center());
            QTest::mouseClick(Showing<frmOptions>()->cmdOk, Qt::LeftButton);
        });
        QTest::mouseClick(addresses->cmdSet, Qt::LeftButton);
        rows = addresses->Rows();
        addresses->lvAddresses->item(2)->setSelected(true);
        addresses->lvAddresses->item(0)->setSelected(true);
        QTest::mouseClick(addresses->cmdOk, Qt::LeftButton);
    });
    window.cmbTo->setEditText("typed@example.com");
    QTest::mouseClick(window.cmdTo, Qt::LeftButton);
    EXPECT_EQ(contacts, std::vector<std::string>{"Dora\tdora@example.com"});
    EXPECT_EQ(rows, (std::vector<std::string>{"anna\tanna@example.com", "Bert\tbert@example.org",
                                              "Carl\tcarl@example.com"}));
    EXPECT_EQ(window.cmbTo->currentText(), "anna@example.com, carl@example.com");

    // Esc leaves the address window as Cancel does: no recipient.
    When([] { return Showing<frmAddresses>() != nullptr; }, [&] {
        Showing<frmAddresses>()->lvAddresses->item(1)->setSelected(true);
        QTest::keyClick(Showing<frmAddresses>(), Qt::Key_Escape);
    });
    window.cmbCc->setEditText("typed@example.com");
    QTest::mouseClick(window.cmdCC, Qt::LeftButton);
    EXPECT_EQ(window.cmbCc->currentText(), "(no recipient)");
    EXPECT_EQ(window.cmbTo->currentText(), "anna@example.com, carl@example.com");

    // Change Book: the options window picks the nickname file ("Eudora"
    // sorts first); the address window shows its nicknames.
    When([] { return Showing<frmAddresses>() != nullptr; }, [&] {
        frmAddresses* addresses = Showing<frmAddresses>();
        When([] { return Showing<frmOptions>() != nullptr; }, [] {
            frmOptions* options = Showing<frmOptions>();
            EXPECT_EQ(options->CurrentPage(), 1);
            QListWidget* books = options->lvBooks;
            QTest::mouseClick(books->viewport(), Qt::LeftButton, {}, books->visualItemRect(books->item(0)).center());
            QTest::mouseClick(options->cmdOk, Qt::LeftButton);
        });
        QTest::mouseClick(addresses->cmdSet, Qt::LeftButton);
        rows = addresses->Rows();
        addresses->lvAddresses->item(1)->setSelected(true);
        QTest::mouseClick(addresses->cmdOk, Qt::LeftButton);
    });
    QTest::mouseClick(window.cmdTo, Qt::LeftButton);
    EXPECT_EQ(rows, (std::vector<std::string>{"boss\tboss@work.example",
                                              "team\tboss@work.example, zed@work.example"}));
    EXPECT_EQ(window.cmbTo->currentText(), "boss@work.example, zed@work.example");
    EXPECT_EQ(Stored("AddressBook"), "Eudora\t" + nicknames);
    ExitFromTheTray(program);
}

// The skinned windows under the mouse and the keyboard: the main window is
// dragged by its title strip, buttons light up under the mouse, Tab reaches
// every button and Space presses it; the options window and the address
// window answer the same way, and their labels say what they show.
TEST_F(WindowScenario, TheSkinnedWindowsUnderMouseAndKeyboard) {
    const QRgb skinColour = qRgb(20, 90, 140);
    QImage skin(577, 324, QImage::Format_RGB32);
    skin.fill(skinColour);
    QDir().mkpath(QString::fromStdString(env.Path("skins")));
    ASSERT_TRUE(skin.save(QString::fromStdString(env.Path("skins/frmMM.jpg")), "JPG"));
    Set("LargeFontWarning", "1");
    NoMessageBox quiet;
    OpenedAddresses opened;
    Program program("");
    ASSERT_TRUE(program.Start());
    frmMM& window = program.window;
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    // The skin, stretched to the large-font window, reaches its far corner.
    const QRgb corner = window.grab().toImage().pixel(window.width() - 6, window.height() - 40);
    EXPECT_LT(std::abs(qRed(corner) - 20) + std::abs(qGreen(corner) - 90) + std::abs(qBlue(corner) - 140), 24);

    // The drag shows an outline that follows the mouse; the window follows
    // on release.
    window.move(120, 90);
    const QPoint grip = window.lblToolbar->geometry().center();
    QTest::mousePress(window.windowHandle(), Qt::LeftButton, {}, grip);
    QTest::mouseMove(window.windowHandle(), grip + QPoint(-30, 45));
    QRubberBand* outline = Showing<QRubberBand>();
    ASSERT_NE(outline, nullptr);
    EXPECT_EQ(outline->geometry().topLeft() - window.frameGeometry().topLeft(), QPoint(5 - 30, -4 + 45));
    EXPECT_EQ(window.pos(), QPoint(120, 90));
    QTest::mouseRelease(window.windowHandle(), Qt::LeftButton, {}, grip + QPoint(-30, 45));
    EXPECT_EQ(Showing<QRubberBand>(), nullptr);
    EXPECT_EQ(window.pos(), QPoint(90, 135));

    ExpectHoverFollowsTheMouse(&window, window.cmdHelp, window.cmdClose, window.lblStatus);

    window.cmdRecord->setFocus();
    const std::vector<QWidget*> reached = TabRound();
    for (cLabelButton* button : window.HoverButtons()) {
        if (!button->isEnabled()) continue;
        EXPECT_EQ(std::count(reached.begin(), reached.end(), button), 1) << button->objectName().toStdString();
    }

    // Space on the focused options button; in the options window, each
    // page's labels are heard as shown and Esc leaves it.
    int pages = 0;
    When([] { return Showing<frmOptions>() != nullptr; }, [&] {
        frmOptions* options = Showing<frmOptions>();
        for (cLabelButton* page : {options->cmdMail, options->cmdBook, options->cmdMisc}) {
            page->setFocus();
            QTest::keyClick(page, Qt::Key_Space);
            pages += options->CurrentPage() == pages;
            ExpectLabelsSpeakTheirText(options, page->objectName().toUtf8().constData());
        }
        ExpectHoverFollowsTheMouse(options, options->cmdOk, options->cmdCancel, options->lblToolbar);
        QTest::keyClick(options, Qt::Key_F1);
        EXPECT_EQ(opened.urls.size(), 1);
        QTest::keyClick(options, Qt::Key_Escape);
    });
    window.cmdConfigure->setFocus();
    QTest::keyClick(window.cmdConfigure, Qt::Key_Space);
    EXPECT_EQ(pages, 3);

    // No address book yet: the address window says so; Enter on OK leaves it.
    bool addressesSeen = false;
    When([] { return Showing<frmAddresses>() != nullptr; }, [&] {
        frmAddresses* addresses = Showing<frmAddresses>();
        addressesSeen = true;
        ExpectHoverFollowsTheMouse(addresses, addresses->cmdHelp, addresses->cmdClose, addresses->lblToolbar);
        addresses->cmdOk->setFocus();
        QTest::keyClick(addresses->cmdOk, Qt::Key_Return);
    });
    window.cmdTo->setFocus();
    QTest::keyClick(window.cmdTo, Qt::Key_Space);
    EXPECT_TRUE(addressesSeen);
    EXPECT_EQ(window.cmbTo->currentText(), "(no recipient)");
    ExitFromTheTray(program);
}

// In German: the options window's changes are dropped with Cancel and
// written with OK, after the server address was put right.
TEST_F(WindowScenario, OptionsInGermanKeptWithOkAndDroppedWithCancel) {
    struct German {
        German() { qputenv("LC_ALL", "de_DE.UTF-8"); }
        ~German() { qunsetenv("LC_ALL"); }
    } german;
    WriteFile(env.Path("lang/00000407.txt"), ReadFile(BRISA_SOURCE_DIR "/data/lang/00000407.txt"));
    Set("LargeFontWarning", "1");
    Set("ConnectTo", "http://voice.example/post");
    Set("Name", "Ann");
    Set("PlaySounds", "0");
    Program program("");
    ASSERT_TRUE(program.Start());
    frmMM& window = program.window;
    EXPECT_EQ(window.cmdRecord->text(), "Aufnahme");
    ASSERT_TRUE(WaitFor([&] { return !window.IsStartingUp(); }));
    ExpectLabelsSpeakTheirText(&window, "German");
    const std::string before = SettingsFile();

    auto edit = [](QLineEdit* pBox, const char* pText) {
        pBox->selectAll();
        QTest::keyClicks(pBox, pText);
    };
    When([] { return Showing<frmOptions>() != nullptr; }, [&] {
        frmOptions* options = Showing<frmOptions>();
        EXPECT_EQ(options->windowTitle(), "BrisaMail-Optionen");
        EXPECT_EQ(options->txtName->text(), "Ann");
        ExpectLabelsSpeakTheirText(options, "German");
        edit(options->txtName, "Bob");
        QTest::mouseClick(options->cmdMisc, Qt::LeftButton);
        QTest::mouseClick(options->chkSounds, Qt::LeftButton);
        edit(options->txtServer, "http://elsewhere.example/post");
        QTest::mouseClick(options->cmdCancel, Qt::LeftButton);
    });
    QTest::mouseClick(window.cmdConfigure, Qt::LeftButton);
    EXPECT_EQ(SettingsFile(), before);

    // A server address with a scheme the sender does not speak is refused;
    // one without a scheme is refused once and given one.
    std::string refusal;
    int refusals = 0;
    When([] { return Showing<frmOptions>() != nullptr; }, [&] {
        frmOptions* options = Showing<frmOptions>();
        EXPECT_EQ(options->txtName->text(), "Ann");
        edit(options->txtName, "Bob");
        QTest::mouseClick(options->cmdApply, Qt::LeftButton);
        EXPECT_FALSE(options->cmdApply->isEnabled());
        EXPECT_NE(SettingsFile().find("\"Name\"=\"Bob\"\n"), std::string::npos);
        edit(options->txtEmail, "bob@example.com");
        QTest::mouseClick(options->cmdMisc, Qt::LeftButton);
        QTest::mouseClick(options->lblPlayNavigationSounds, Qt::LeftButton);
        EXPECT_TRUE(options->chkSounds->isChecked());
        auto refused = [&] {
            When([] { return Showing<QMessageBox>() != nullptr; }, [&] {
                refusal = Showing<QMessageBox>()->windowTitle().toStdString();
                ++refusals;
                Showing<QMessageBox>()->button(QMessageBox::Ok)->click();
            });
        };
        edit(options->txtServer, "ftp://voice.example/in");
        refused();
        QTest::mouseClick(options->cmdOk, Qt::LeftButton);
        EXPECT_TRUE(options->isVisible());
        EXPECT_EQ(options->txtServer->text(), "ftp://voice.example/in");
        edit(options->txtServer, "voice.example/in");
        refused();
        QTest::mouseClick(options->cmdOk, Qt::LeftButton);
        EXPECT_TRUE(options->isVisible());
        EXPECT_EQ(options->txtServer->text(), "http://voice.example/in");
        QTest::mouseClick(options->cmdOk, Qt::LeftButton);
    });
    QTest::mouseClick(window.cmdConfigure, Qt::LeftButton);
    EXPECT_EQ(refusal, "Serveradresse");
    EXPECT_EQ(refusals, 2);
    const std::string after = SettingsFile();
    for (const char* line : {"\"Name\"=\"Bob\"\n", "\"Email\"=\"bob@example.com\"\n", "\"PlaySounds\"=\"1\"\n",
                             "\"ConnectTo\"=\"http://voice.example/in\"\n"})
        EXPECT_NE(after.find(line), std::string::npos) << line << after;

    // The session ends while the window is open: it closes unsaved, then
    // the program ends.
    When([] { return Showing<frmOptions>() != nullptr; }, [&] {
        edit(Showing<frmOptions>()->txtName, "Carl");
        std::raise(SIGTERM);
    });
    QTest::mouseClick(window.cmdConfigure, Qt::LeftButton);
    ASSERT_TRUE(WaitFor([&] { return window.IsUnloaded(); }));
    EXPECT_EQ(Stored("Name"), "Bob");
}

// The pages the help commands open are shipped, and every link between
// them leads to a page and an anchor that are there.
TEST(HelpPages, AreShippedAndLinkedToEachOther) {
    std::map<std::string, std::string> pages;
    for (const char* name : {"help.htm", "faq.htm", "about.htm", "startup.htm"})
        pages[name] = ReadFile(BRISA_SOURCE_DIR "/data/htm/" + std::string(name));
    const QRegularExpression href(R"re(href="([^"#:]*)(#[^"]*)?")re");
    for (const auto& [name, text] : pages) {
        EXPECT_EQ(text.rfind("<!DOCTYPE html>", 0), 0u) << name;
        for (const auto& [other, unused] : pages)
            EXPECT_NE(text.find("href=\"" + other + "\""), std::string::npos) << name << " -> " << other;
        for (auto links = href.globalMatch(QString::fromStdString(text)); links.hasNext();) {
            const QRegularExpressionMatch link = links.next();
            const std::string page = link.captured(1).toStdString(), anchor = link.captured(2).toStdString();
            const auto there = pages.find(page);
            ASSERT_TRUE(page.empty() || there != pages.end()) << name << ": " << page;
            const std::string& target = page.empty() ? text : there->second;
            if (anchor.empty()) continue;
            EXPECT_NE(target.find("id=\"" + anchor.substr(1) + "\""), std::string::npos) << name << ": " << anchor;
        }
    }
}

} // namespace
} // namespace brisa::test

int main(int argc, char** argv) { return brisa::test::ScenarioMain(argc, argv); }
