// SenderProcess: the main window's side of brisa-sender, with the real
// program and with stand-in scripts that misbehave.
#include "sending/sender_process.h"

#include "sending/post_sender.h"
#include "tests/sending/test_servers.h"
#include "tests/support/temp_env.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QTest>
#include <sys/stat.h>

namespace brisa {
namespace {

using test::HttpServer;
using test::ReadFile;
using test::WriteFile;

bool Exists(const std::string& pPath) {
    struct stat info {};
    return ::stat(pPath.c_str(), &info) == 0;
}

// A post of one text part.
std::string PostBytes(const std::string& pText) {
    const std::string body =
        "--------BrisaPost\r\n"
        "Content-Disposition: form-data; name=\"header\"; filename=\"header.txt\"\r\n"
        "Content-Type: text/plain\r\n\r\n" +
        pText + "\r\n--------BrisaPost--\r\n";
    return "User-Agent: BrisaMail Client\r\n"
           "Content-Type: multipart/form-data; boundary=------BrisaPost\r\n"
           "Content-Length: " +
           std::to_string(body.size()) + "\r\n\r\n" + body;
}

class SenderProcessTest : public ::testing::Test {
protected:
    void SetUp() override {
        QDir().mkpath(QString::fromStdString(Outbox()));
        m_Callback = [this](const SenderDone& pDone) {
            ++m_Calls;
            m_Done = pDone;
        };
    }

    std::string Outbox() const { return m_Env.Path("outbox"); }
    std::string WritePost(const std::string& pBody, const std::string& pName = "990314152907.txt") {
        const std::string path = Outbox() + "/" + pName;
        WriteFile(path, PostBytes(pBody));
        return path;
    }
    // A stand-in for the sending program.
    std::string Script(const std::string& pBody) {
        const std::string path = m_Env.Path("fake-sender.sh");
        WriteFile(path, "#!/bin/sh\n" + pBody + "\n");
        ::chmod(path.c_str(), 0755);
        return path;
    }
    // Runs the event loop until the callback came (and a little longer, to
    // see that it does not come twice).
    bool WaitForDone(int pTimeoutMs = 30000) {
        const bool came = QTest::qWaitFor([this] { return m_Calls > 0; }, pTimeoutMs);
        QTest::qWait(200);
        return came;
    }

    test::TempEnv m_Env;
    int m_Calls = 0;
    SenderDone m_Done;
    std::function<void(const SenderDone&)> m_Callback;
};

TEST_F(SenderProcessTest, SendsAPostWithTheRealProgram) {
    HttpServer server;
    const std::string post = WritePost("voice");
    SenderProcess sender(BRISA_TEST_SENDER);

    ASSERT_TRUE(sender.SendPost(-1, post, server.Url(), "XXX", "00000409", m_Callback));
    EXPECT_EQ(m_Calls, 0); // never from inside the call
    ASSERT_TRUE(WaitForDone());

    EXPECT_EQ(m_Calls, 1);
    EXPECT_EQ(m_Done.status, "Sent to " + server.Url());
    EXPECT_EQ(m_Done.specialCaption, "");
    EXPECT_FALSE(Exists(post));
    ASSERT_EQ(server.Requests().size(), 1u);
    ASSERT_EQ(server.Requests()[0].parts.size(), 1u);
    EXPECT_EQ(server.Requests()[0].parts[0].content, "voice");
    EXPECT_FALSE(sender.Running());
}

TEST_F(SenderProcessTest, AFailedSendIsAnnounced) {
    HttpServer server;
    server.Queue({503, {}});
    const std::string post = WritePost("voice");
    SenderProcess sender(BRISA_TEST_SENDER);
    ASSERT_TRUE(sender.SendPost(0, post, server.Url(), "XXX", "00000409", m_Callback));
    ASSERT_TRUE(WaitForDone());
    EXPECT_EQ(m_Calls, 1);
    EXPECT_EQ(m_Done.status, "The server refused the message: HTTP 503");
    EXPECT_EQ(m_Done.notifyTime, 30);
    EXPECT_EQ(m_Done.specialCaption, kWaitingCaption);
    EXPECT_EQ(m_Done.specialTarget, Outbox());
    EXPECT_TRUE(Exists(post));
}

TEST_F(SenderProcessTest, SendsTheOutbox) {
    HttpServer server;
    WritePost("1", "990101000001.txt");
    WritePost("2", "990101000002.txt");
    SenderProcess sender(BRISA_TEST_SENDER);
    ASSERT_TRUE(sender.SendOutbox(server.Url(), "XXX", m_Callback, Outbox()));
    ASSERT_TRUE(WaitForDone());
    EXPECT_EQ(m_Calls, 1);
    EXPECT_EQ(m_Done.status, "2 of 2 waiting messages sent");
    EXPECT_EQ(server.Requests().size(), 2u);
}

TEST_F(SenderProcessTest, OutboxOfTheProgramFolderByDefault) {
    HttpServer server;
    WritePost("1", "990101000001.txt");
    SenderProcess sender(BRISA_TEST_SENDER);
    ASSERT_TRUE(sender.SendOutbox(server.Url(), "XXX", m_Callback));
    ASSERT_TRUE(WaitForDone());
    EXPECT_EQ(m_Done.status, "1 of 1 waiting messages sent");
}

TEST_F(SenderProcessTest, PassesTheArgumentsInOrder) {
    const std::string record = m_Env.Path("arguments.txt");
    const std::string script = Script("for a in \"$@\"; do printf '[%s]' \"$a\" >> '" + record +
                                      "'; done\nprintf 'DONE\\tok\\t0\\t\\t\\n'");
    SenderProcess sender(script);
    ASSERT_TRUE(
        sender.SendPost(-1, "/x/outbox/1.txt", "http://host/post", "", "00000407", m_Callback));
    ASSERT_TRUE(WaitForDone());
    EXPECT_EQ(ReadFile(record),
              "[--post][/x/outbox/1.txt][--connect-to][http://host/post][--proxy][]"
              "[--language][00000407][--sounds][-1]");
    EXPECT_EQ(m_Done.status, "ok");
}

TEST_F(SenderProcessTest, TheLastReportAmongOtherOutputCounts) {
    SenderProcess sender(Script("echo starting\nprintf 'DONE\\tfinal\\t6\\tLook\\t/tmp/x\\n'\n"
                                "echo trailing noise"));
    ASSERT_TRUE(sender.SendPost(0, "/x/outbox/1.txt", "http://h/", "", "", m_Callback));
    ASSERT_TRUE(WaitForDone());
    EXPECT_EQ(m_Calls, 1);
    EXPECT_EQ(m_Done.status, "final");
    EXPECT_EQ(m_Done.notifyTime, 6);
    EXPECT_EQ(m_Done.specialCaption, "Look");
    EXPECT_EQ(m_Done.specialTarget, "/tmp/x");
}

TEST_F(SenderProcessTest, AProgramWithoutAReportStillEndsTheSend) {
    SenderProcess sender(Script("echo something else\nexit 3"));
    ASSERT_TRUE(
        sender.SendPost(0, Outbox() + "/990314152907.txt", "http://h/", "", "", m_Callback));
    ASSERT_TRUE(WaitForDone());
    EXPECT_EQ(m_Calls, 1);
    EXPECT_NE(m_Done.status.find("without a report (exit code 3)"), std::string::npos)
        << m_Done.status;
    EXPECT_EQ(m_Done.notifyTime, 30);
    EXPECT_EQ(m_Done.specialCaption, kWaitingCaption);
    EXPECT_EQ(m_Done.specialTarget, Outbox());
}

TEST_F(SenderProcessTest, ACrashStillEndsTheSend) {
    SenderProcess sender(Script("kill -SEGV $$"));
    ASSERT_TRUE(
        sender.SendPost(0, Outbox() + "/990314152907.txt", "http://h/", "", "", m_Callback));
    ASSERT_TRUE(WaitForDone());
    EXPECT_EQ(m_Calls, 1);
    EXPECT_NE(m_Done.status.find("crashed"), std::string::npos) << m_Done.status;
    EXPECT_EQ(m_Done.specialCaption, kWaitingCaption);
}

TEST_F(SenderProcessTest, AProgramThatCannotStartIsFalseAndNeverCalls) {
    SenderProcess missing(m_Env.Path("no-such-program"));
    EXPECT_FALSE(missing.SendPost(0, "/x/1.txt", "http://h/", "", "", m_Callback));
    const std::string notExecutable = m_Env.Path("plain.txt");
    WriteFile(notExecutable, "#!/bin/sh\n");
    SenderProcess plain(notExecutable);
    EXPECT_FALSE(plain.SendPost(0, "/x/1.txt", "http://h/", "", "", m_Callback));
    QTest::qWait(200);
    EXPECT_EQ(m_Calls, 0);
}

TEST_F(SenderProcessTest, OneTransmissionAtATimePerObject) {
    SenderProcess sender(Script("sleep 1\nprintf 'DONE\\tok\\t0\\t\\t\\n'"));
    ASSERT_TRUE(sender.SendPost(0, "/x/1.txt", "http://h/", "", "", m_Callback));
    EXPECT_TRUE(sender.Running());
    EXPECT_FALSE(sender.SendPost(0, "/x/2.txt", "http://h/", "", "", m_Callback));
    ASSERT_TRUE(WaitForDone());
    EXPECT_EQ(m_Calls, 1);
    // Once finished it can be used again.
    ASSERT_TRUE(sender.SendPost(0, "/x/3.txt", "http://h/", "", "", m_Callback));
    EXPECT_TRUE(QTest::qWaitFor([this] { return m_Calls == 2; }, 30000));
}

TEST_F(SenderProcessTest, TheCallbackMayReleaseTheSender) {
    HttpServer server;
    auto sender = std::make_unique<SenderProcess>(BRISA_TEST_SENDER);
    ASSERT_TRUE(
        sender->SendPost(0, WritePost("v"), server.Url(), "XXX", "", [&](const SenderDone& d) {
            ++m_Calls;
            m_Done = d;
            sender.reset();
        }));
    ASSERT_TRUE(WaitForDone());
    EXPECT_EQ(m_Calls, 1);
    EXPECT_EQ(sender, nullptr);
}

TEST_F(SenderProcessTest, ReleasingARunningSenderStopsItWithoutACall) {
    auto sender = std::make_unique<SenderProcess>(Script("exec sleep 30"));
    ASSERT_TRUE(sender->SendPost(0, "/x/1.txt", "http://h/", "", "", m_Callback));
    QElapsedTimer timer;
    timer.start();
    sender.reset();
    EXPECT_LT(timer.elapsed(), 5000);
    QTest::qWait(200);
    EXPECT_EQ(m_Calls, 0);
}

TEST_F(SenderProcessTest, DefaultProgramIsBesideTheProgramOrInItsFolder) {
    // The program folder (BRISAMAIL_HOME) has no sender: the one beside the
    // running test program would be taken, else the program folder's name.
    const std::string chosen = SenderProcess::DefaultProgram();
    EXPECT_TRUE(chosen == m_Env.Path("brisa-sender") ||
                chosen == QCoreApplication::applicationDirPath().toStdString() + "/brisa-sender")
        << chosen;
    const std::string inFolder = m_Env.Path("brisa-sender");
    WriteFile(inFolder, "#!/bin/sh\n");
    ::chmod(inFolder.c_str(), 0755);
    EXPECT_EQ(SenderProcess::DefaultProgram(), inFolder);
}

} // namespace
} // namespace brisa
