// Reply requests and activation over the session bus: the running main window
// owns com.brisamail.BrisaMail, another program calls /Brisa. Needs a session
// bus (CI runs the tests inside dbus-run-session); skipped without one.
#include "app/main_window.h"

#include "common/globals.h"
#include "platform/linux/dbus_single_instance.h"
#include "tests/fakes/fakes.h"
#include "tests/support/temp_env.h"

#include <QApplication>
#include <QComboBox>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusInterface>
#include <QDBusMessage>
#include <QDBusPendingCall>
#include <QDBusReply>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QXmlStreamReader>
#include <gtest/gtest.h>

#include <functional>
#include <future>
#include <map>

namespace brisa::test {
namespace {

// Lets events run until pDone holds or pMs have passed.
bool WaitUntil(const std::function<bool()>& pDone, int pMs = 5000) {
    QElapsedTimer clock;
    clock.start();
    while (!pDone() && clock.elapsed() < pMs) QApplication::processEvents(QEventLoop::AllEvents, 20);
    return pDone();
}

// Methods and their argument signatures in an introspection document.
std::map<QString, QString> Methods(const QString& pXml, const QString& pInterface) {
    std::map<QString, QString> methods;
    QXmlStreamReader xml(pXml);
    bool inside = false;
    QString method;
    while (!xml.atEnd()) {
        xml.readNext();
        if (xml.isStartElement() && xml.name() == u"interface")
            inside = xml.attributes().value("name") == pInterface;
        else if (xml.isEndElement() && xml.name() == u"interface")
            inside = false;
        else if (inside && xml.isStartElement() && xml.name() == u"method")
            methods[method = xml.attributes().value("name").toString()];
        else if (inside && xml.isStartElement() && xml.name() == u"arg" &&
                 xml.attributes().value("direction") != u"out")
            methods[method] += xml.attributes().value("type").toString();
    }
    EXPECT_FALSE(xml.hasError()) << xml.errorString().toStdString();
    return methods;
}

// What another program gets back from one call.
struct Answer {
    bool interfaceFound = false;
    QDBusMessage reply;
};

// Another program calls pMethod on /Brisa: from a thread and a bus connection
// of its own, through QDBusInterface (which introspects the object first),
// waiting for the answer as such a program would. The window thread keeps
// running its events meanwhile.
std::future<Answer> CallFromOutside(const QString& pMethod, const QList<QVariant>& pArguments,
                                    const QString& pPath = kDBusPath,
                                    const QString& pInterface = kDBusInterface) {
    return std::async(std::launch::async, [pMethod, pArguments, pPath, pInterface] {
        Answer answer;
        QDBusConnection bus =
            QDBusConnection::connectToBus(QDBusConnection::SessionBus, "brisa-test-caller");
        QDBusInterface brisa(kDBusService, pPath, pInterface, bus);
        answer.interfaceFound = brisa.isValid();
        brisa.setTimeout(5000);
        answer.reply = brisa.callWithArgumentList(QDBus::Block, pMethod, pArguments);
        return answer;
    });
}

bool Ready(const std::future<Answer>& pCall) {
    return pCall.wait_for(std::chrono::seconds(0)) == std::future_status::ready;
}

class MainWindowDBus : public ::testing::Test {
protected:
    void SetUp() override {
        if (!QDBusConnection::sessionBus().isConnected())
            GTEST_SKIP() << "no session bus (run the tests inside dbus-run-session)";
        const std::string from = std::string(BRISA_SOURCE_DIR) + "/data/lang/00000409.txt";
        WriteFile(env.Path("lang/00000409.txt"), ReadFile(from));
        services = fakes.Wire();
        services.instance = &instance;
        // Started hidden in the tray, as at log-on.
        window = std::make_unique<frmMM>(services, "1");
        window->Form_Load();
        ASSERT_FALSE(window->IsSecondCopy());
        caller = std::make_unique<QDBusConnection>(
            QDBusConnection::connectToBus(QDBusConnection::SessionBus, "brisa-test-caller"));
        ASSERT_TRUE(caller->isConnected());
    }
    void TearDown() override {
        window.reset();
        if (caller) {
            caller.reset();
            QDBusConnection::disconnectFromBus("brisa-test-caller");
        }
    }

    TempEnv env;
    FakeServices fakes;
    Services services;
    DBusSingleInstance instance;
    std::unique_ptr<frmMM> window;
    std::unique_ptr<QDBusConnection> caller; // another program on the bus
};

TEST_F(MainWindowDBus, TheRunningCopyOwnsTheName) {
    auto owner = caller->interface()->serviceOwner(kDBusService);
    ASSERT_TRUE(owner.isValid());
    EXPECT_EQ(owner.value(), QDBusConnection::sessionBus().baseService());
}

TEST_F(MainWindowDBus, DoReplyFromAnotherProgramFillsTheWindowAndShowsIt) {
    auto call = CallFromOutside("DoReply", {QString("ann@example.com"), QString("bob@example.com"),
                                            QString("Lunch"), 1});
    ASSERT_TRUE(WaitUntil([&] { return Ready(call) && window->isVisible(); }));
    const Answer answer = call.get();
    EXPECT_TRUE(answer.interfaceFound);
    EXPECT_EQ(answer.reply.type(), QDBusMessage::ReplyMessage) << answer.reply.errorMessage().toStdString();
    EXPECT_EQ(window->cmbTo->currentText(), "ann@example.com");
    EXPECT_EQ(window->cmbCc->currentText(), "bob@example.com");
    EXPECT_EQ(window->txtSubject->text(), "Re: Lunch");
    EXPECT_EQ(fakes.sound.Names(), std::vector<std::string>{"start.wav"});
    EXPECT_EQ(window->m_Mode, "");
}

TEST_F(MainWindowDBus, DoReplyWithZeroOnlyFillsIn) {
    auto call = CallFromOutside("DoReply", {QString(" "), QString(""), QString::fromUtf8("RE: Grüße"), 0});
    ASSERT_TRUE(WaitUntil([&] { return Ready(call); }));
    EXPECT_EQ(call.get().reply.type(), QDBusMessage::ReplyMessage);
    EXPECT_EQ(window->txtSubject->text(), QString::fromUtf8("RE: Grüße"));
    EXPECT_EQ(window->cmbTo->currentText().toStdString(), window->m_NoRecipient);
    EXPECT_FALSE(window->isVisible());
    EXPECT_TRUE(fakes.sound.played.empty());
}

TEST_F(MainWindowDBus, ShowImmediatelyBringsTheWindowUp) {
    auto nothing = CallFromOutside("ShowImmediately", {0});
    ASSERT_TRUE(WaitUntil([&] { return Ready(nothing); }));
    EXPECT_EQ(nothing.get().reply.type(), QDBusMessage::ReplyMessage);
    EXPECT_FALSE(window->isVisible());
    auto show = CallFromOutside("ShowImmediately", {5});
    EXPECT_TRUE(WaitUntil([&] { return Ready(show) && window->isVisible(); }));
}

TEST_F(MainWindowDBus, TheDesktopsActivationBringsTheWindowUp) {
    // What a desktop calls for a menu entry that says DBusActivatable=true.
    const QVariantMap platformData{{"activation-token", QString("menu-token")}};
    auto call = CallFromOutside("Activate", {platformData}, kDBusApplicationPath, kDBusApplicationInterface);
    ASSERT_TRUE(WaitUntil([&] { return Ready(call) && window->isVisible(); }));
    const Answer answer = call.get();
    EXPECT_TRUE(answer.interfaceFound);
    EXPECT_EQ(answer.reply.type(), QDBusMessage::ReplyMessage) << answer.reply.errorMessage().toStdString();
    EXPECT_EQ(fakes.sound.Names(), std::vector<std::string>{"start.wav"});
    // Opening files or actions: the program has none, they bring it up too.
    window->hide();
    auto open = CallFromOutside("Open", {QStringList{"file:///tmp/x"}, QVariantMap{}}, kDBusApplicationPath,
                                kDBusApplicationInterface);
    ASSERT_TRUE(WaitUntil([&] { return Ready(open) && window->isVisible(); }));
    EXPECT_EQ(open.get().reply.type(), QDBusMessage::ReplyMessage);
}

TEST_F(MainWindowDBus, WrongArgumentsAreRefusedByTheBusLayer) {
    auto call = CallFromOutside("DoReply", {QString("only one")});
    ASSERT_TRUE(WaitUntil([&] { return Ready(call); }));
    EXPECT_EQ(call.get().reply.type(), QDBusMessage::ErrorMessage);
    EXPECT_FALSE(window->isVisible());
    EXPECT_EQ(window->cmbTo->currentText().toStdString(), window->m_NoRecipient);
}

TEST_F(MainWindowDBus, CallsAfterUnloadAreIgnored) {
    window->mnuFileExit_Click();
    window->tmrAdvertise_Timer();
    ASSERT_TRUE(window->IsUnloaded());
    auto call = CallFromOutside("DoReply", {QString("x@example.com"), QString(), QString(), 1});
    ASSERT_TRUE(WaitUntil([&] { return Ready(call); }));
    EXPECT_FALSE(window->isVisible());
}

TEST_F(MainWindowDBus, ShippedInterfaceFileMatchesTheLiveObject) {
    QFile file(QString(BRISA_SOURCE_DIR) + "/data/dbus/com.brisamail.Brisa.xml");
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const auto shipped = Methods(QString::fromUtf8(file.readAll()), kDBusInterface);
    EXPECT_EQ(shipped, (std::map<QString, QString>{{"DoReply", "sssi"}, {"ShowImmediately", "i"}}));

    QDBusMessage introspect = QDBusMessage::createMethodCall(
        kDBusService, kDBusPath, "org.freedesktop.DBus.Introspectable", "Introspect");
    QDBusPendingCall call = caller->asyncCall(introspect, 3000);
    ASSERT_TRUE(WaitUntil([&] { return call.isFinished(); }));
    QDBusReply<QString> live = call.reply();
    ASSERT_TRUE(live.isValid()) << live.error().message().toStdString();
    EXPECT_EQ(Methods(live.value(), kDBusInterface), shipped);
}

// Without a bus the lock file beside the settings keeps a second copy out.
TEST(SingleInstanceLock, SecondHolderOfTheLockIsRefused) {
    TempEnv env;
    const QDBusConnection none = QDBusConnection::connectToBus(
        "unix:path=" + QString::fromStdString(env.Root()) + "/no-bus", "brisa-test-nobus");
    ASSERT_FALSE(none.isConnected());
    {
        DBusSingleInstance first("brisa-test-nobus");
        DBusSingleInstance second("brisa-test-nobus");
        EXPECT_TRUE(first.Claim());
        EXPECT_FALSE(second.Claim());
    }
    DBusSingleInstance again("brisa-test-nobus");
    EXPECT_TRUE(again.Claim());
    QDBusConnection::disconnectFromBus("brisa-test-nobus");
}

} // namespace
} // namespace brisa::test
