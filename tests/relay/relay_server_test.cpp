// The relay as a server on 127.0.0.1: real posts written by BuildPost and
// sent by the sender's own code arrive as e-mails in a Maildir or at an SMTP
// server; hostile requests are refused and leave nothing behind.
#include "relay/relay_server.h"
#include "relay/mail_message.h"
#include "relay/post_reader.h"
#include "language/translation.h"
#include "sending/address_check.h"
#include "sending/dynazip.h"
#include "sending/post_builder.h"
#include "sending/post_sender.h"
#include "settings/registry.h"
#include "tests/fakes/fakes.h"
#include "tests/relay/relay_test_support.h"
#include "tests/support/temp_env.h"

#include <gtest/gtest.h>

#include <httplib.h>

#include <arpa/inet.h>
#include <condition_variable>
#include <csignal>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <random>
#include <thread>

namespace brisa {
namespace {

using test::DecodeBase64;
using test::DecodeQuotedPrintable;
using test::DecodeWords;
using test::FilesBelow;
using test::HttpReply;
using test::LongestLine;
using test::MakeWave;
using test::MakeZipBytes;
using test::ParseMail;
using test::PostBytes;
using test::ReadFile;
using test::SendRaw;
using test::SmtpServer;
using test::WriteFile;
using test::ZipEntry;

constexpr const char* kPostType = "multipart/form-data; boundary=------BrisaPost";

std::tm Time(int pYear, int pMonth, int pDay, int pHour, int pMinute, int pSecond) {
    std::tm t{};
    t.tm_year = pYear - 1900;
    t.tm_mon = pMonth - 1;
    t.tm_mday = pDay;
    t.tm_hour = pHour;
    t.tm_min = pMinute;
    t.tm_sec = pSecond;
    return t;
}

class RelayServerTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (const char* old = std::getenv("LC_ALL"))
            m_OldLocale = old;
        ::setenv("LC_ALL", "C", 1); // English day and month names in the Date row
        m_Store = std::make_unique<cRegistry>(m_Registry, nullptr);
        m_OldRegistry = gRegistry;
        gRegistry = m_Store.get();
        m_OldLanguage = gLanguageId;
        gLanguageId = "00000409";
        Translation.Clear();
        Translation.Add({"mail0001", "Voice message"});
        Translation.Add({"mail0002", "Listen to my message."});
        std::filesystem::create_directories(m_Env.Path("outbox"));
        m_System.userName = "ann";
        m_System.bias = -60;
        Put("Email", "ann@example.com");
        Put("Name", "Zo\xC3\xAB Smith");
        Put("Organization", "Example Ltd");
        m_Request.to = "bob@example.com, carl@example.org";
        m_Request.cc = "dora@example.net";
        m_Request.programFolder = m_Env.ProgramFolder();
        m_Request.system = &m_System;
        m_Request.clock = [this] { return m_Now; };

        m_Options.port = 0;
        m_Options.maildir = Maildir();
        m_Options.readTimeout = 2; // a body that stops short is given up after 2 s
        m_Options.log = [this](const std::string& pLine) {
            {
                std::lock_guard<std::mutex> lock(m_LogMutex);
                m_Log.push_back(pLine);
            }
            m_LogGrew.notify_all();
        };
        StartRelay();
    }

    void TearDown() override {
        m_Relay.reset();
        gRegistry = m_OldRegistry;
        gLanguageId = m_OldLanguage;
        Translation.Clear();
        if (m_OldLocale.empty())
            ::unsetenv("LC_ALL");
        else
            ::setenv("LC_ALL", m_OldLocale.c_str(), 1);
    }

    void StartRelay() {
        m_Relay.reset();
        m_Relay = std::make_unique<RelayServer>(m_Options);
        std::string problem;
        ASSERT_TRUE(m_Relay->Start(problem)) << problem;
    }

    void Put(const std::string& pName, const std::string& pValue) {
        m_Registry.Put(RootKey::LocalMachine, kProgramKey, pName, pValue);
    }
    std::string Maildir() const { return m_Env.Root() + "/mail/Maildir"; }
    int Port() const { return m_Relay->Port(); }
    std::string Url(const std::string& pPath = "/post") const {
        return "http://127.0.0.1:" + std::to_string(Port()) + pPath;
    }

    // A real post: the wave packed by MakeZip and written by BuildPost.
    std::string WritePost(const std::string& pWave, std::string pSubject = "Hello") {
        WriteFile(m_Env.Path("in.wav"), pWave);
        EXPECT_EQ(MakeZip(m_Env.Path("in.wav"), m_Env.Path("in.zip")), kZipWritten);
        std::string file = m_Env.Path("in.zip");
        EXPECT_EQ(BuildPost(m_Request, pSubject, file), kPostWritten);
        return file;
    }
    std::string BodyOf(const std::string& pPostFile) {
        std::vector<std::string> headers;
        std::string body, problem;
        EXPECT_TRUE(SplitPost(ReadFile(pPostFile), headers, body, problem)) << problem;
        return body;
    }
    DeliveryResult Send(const std::string& pPostFile, const std::string& pUrl) {
        SenderOptions options;
        options.connectTo = pUrl;
        options.connectTimeout = 5;
        options.stallTimeout = 20;
        options.totalTimeout = 60;
        return DeliverPost(pPostFile, options);
    }
    std::vector<std::string> Messages() {
        std::vector<std::string> messages;
        for (const auto& name : FilesBelow(Maildir() + "/new"))
            messages.push_back(ReadFile(Maildir() + "/new/" + name));
        return messages;
    }
    // The log once it holds pLines lines: the relay writes a request's line
    // after its answer has gone out.
    std::vector<std::string> Log(std::size_t pLines) {
        std::unique_lock<std::mutex> lock(m_LogMutex);
        m_LogGrew.wait_for(lock, std::chrono::seconds(30), [&] { return m_Log.size() >= pLines; });
        return m_Log;
    }
    // How many lines hold pText, once at least one does (or 30 s passed).
    int LogLinesWith(const std::string& pText) {
        auto count = [&] {
            return static_cast<int>(std::count_if(m_Log.begin(), m_Log.end(), [&](const auto& pLine) {
                return pLine.find(pText) != std::string::npos;
            }));
        };
        std::unique_lock<std::mutex> lock(m_LogMutex);
        m_LogGrew.wait_for(lock, std::chrono::seconds(30), [&] { return count() > 0; });
        return count();
    }

    test::TempEnv m_Env;
    test::MemoryRegistry m_Registry;
    std::unique_ptr<cRegistry> m_Store;
    cRegistry* m_OldRegistry = nullptr;
    std::string m_OldLanguage, m_OldLocale;
    test::FakeSystemInfo m_System;
    PostRequest m_Request;
    std::tm m_Now = Time(1999, 3, 14, 15, 29, 7);
    RelayOptions m_Options;
    std::unique_ptr<RelayServer> m_Relay;
    std::mutex m_LogMutex;
    std::condition_variable m_LogGrew;
    std::vector<std::string> m_Log;
};

// ---- delivery into the Maildir ---------------------------------------------------

TEST_F(RelayServerTest, ABuiltPostArrivesAsAnEmailWithTheRecordingIntact) {
    Put("Note", "Call me back.");
    m_Request.returnReceipt = 1;
    const std::string wave = MakeWave(16000, 8000, 1, 16);
    const std::string post = WritePost(wave);

    const std::time_t before = std::time(nullptr);
    const DeliveryResult result = Send(post, Url());
    const std::time_t after = std::time(nullptr);
    EXPECT_EQ(result.outcome, Delivery::Sent) << result.done.status;
    EXPECT_FALSE(std::filesystem::exists(post)); // the sender let go of it

    EXPECT_TRUE(FilesBelow(Maildir() + "/tmp").empty());
    EXPECT_TRUE(std::filesystem::is_directory(Maildir() + "/cur"));
    const auto messages = Messages();
    ASSERT_EQ(messages.size(), 1u);
    const auto name = FilesBelow(Maildir() + "/new").front();
    EXPECT_EQ(name.find('/'), std::string::npos);
    EXPECT_EQ(std::count(name.begin(), name.end(), '.') >= 2, true) << name;

    const auto mail = ParseMail(messages[0]);
    // The relay's own clock and zone; the post's date row is kept beside it.
    const std::string date = mail.Header("Date");
    EXPECT_TRUE(date == MailDateNow(before) || date == MailDateNow(after) ||
                (before < after && date.substr(0, 16) == MailDateNow(after).substr(0, 16)))
        << date;
    EXPECT_EQ(mail.Header("X-Brisa-Posted"), "Sun, 14 Mar 1999 15:29 0100");
    EXPECT_EQ(DecodeWords(mail.Header("From")), "Zo\xC3\xAB Smith <ann@example.com>");
    EXPECT_NE(mail.Header("From").find("=?UTF-8?B?"), std::string::npos); // RFC 2047
    EXPECT_EQ(mail.Header("To"), "bob@example.com, carl@example.org");
    EXPECT_EQ(mail.Header("Cc"), "dora@example.net");
    EXPECT_EQ(mail.Header("Subject"), "Hello");
    EXPECT_EQ(mail.Header("MIME-Version"), "1.0");
    const std::string id = mail.Header("Message-ID");
    EXPECT_TRUE(id.size() > 4 && id.front() == '<' && id.back() == '>' &&
                id.find('@') != std::string::npos)
        << id;
    EXPECT_EQ(mail.Header("Disposition-Notification-To"), "ann@example.com");
    // The client's X- lines travel along.
    EXPECT_EQ(mail.Header("X-Organization"), "Example Ltd");
    EXPECT_EQ(mail.Header("X-Return-Receipt"), "Yes");
    EXPECT_EQ(mail.Header("X-Language"), "00000409");
    EXPECT_EQ(mail.Header("X-Mailer"), "BrisaMailer");
    EXPECT_EQ(mail.Header("X-MailerVersion"), "2.0.0");
    EXPECT_EQ(mail.Header("X-TSworking"), "Yes");
    EXPECT_EQ(mail.Count("X-Distributor"), 1);
    EXPECT_EQ(mail.Header("X-UniqueId"), "ann");
    EXPECT_EQ(mail.Count("X-Brisa-Date"), 0);

    ASSERT_EQ(mail.parts.size(), 2u);
    EXPECT_EQ(mail.parts[0].headers.at("content-type"), "text/plain; charset=utf-8");
    EXPECT_EQ(DecodeQuotedPrintable(mail.parts[0].content), "Call me back.\r\n");
    EXPECT_EQ(mail.parts[1].headers.at("content-type"), "audio/wav; name=\"message.wav\"");
    EXPECT_EQ(DecodeBase64(mail.parts[1].content), wave);

    const auto log = Log(1);
    ASSERT_EQ(log.size(), 1u);
    EXPECT_NE(log[0].find("127.0.0.1:"), std::string::npos) << log[0];
    EXPECT_NE(log[0].find("\"POST /post\" 200 stored new/" + name), std::string::npos) << log[0];
}

TEST_F(RelayServerTest, NoReceiptHeaderUnlessAskedAndTheRootPathTakesPostsToo) {
    m_Request.returnReceipt = 0;
    m_Request.cc.clear();
    const std::string wave = MakeWave(3000);
    const std::string post = WritePost(wave, "Gr\xC3\xBC\xC3\x9F" "e");
    EXPECT_EQ(Send(post, "http://127.0.0.1:" + std::to_string(Port())).outcome, Delivery::Sent);
    const auto messages = Messages();
    ASSERT_EQ(messages.size(), 1u);
    const auto mail = ParseMail(messages[0]);
    EXPECT_EQ(mail.Count("Disposition-Notification-To"), 0);
    EXPECT_EQ(mail.Count("X-Return-Receipt"), 0);
    EXPECT_EQ(mail.Count("Cc"), 0);
    EXPECT_EQ(mail.Header("Subject").rfind("=?UTF-8?B?", 0), 0u);
    EXPECT_EQ(DecodeWords(mail.Header("Subject")), "Gr\xC3\xBC\xC3\x9F" "e");
    EXPECT_EQ(DecodeQuotedPrintable(mail.parts.at(0).content), "Listen to my message.\r\n");
    EXPECT_EQ(DecodeBase64(mail.parts.at(1).content), wave);
}

TEST_F(RelayServerTest, PostsSentAtTheSameTimeAllArriveUnderTheirOwnNames) {
    std::vector<std::string> bodies;
    for (int i = 0; i < 4; ++i)
        bodies.push_back(BodyOf(WritePost(MakeWave(2000 + i * 100))));
    std::vector<int> statuses(bodies.size());
    std::vector<std::thread> threads;
    for (std::size_t i = 0; i < bodies.size(); ++i)
        threads.emplace_back([&, i] { statuses[i] = PostBytes(Port(), bodies[i]).status; });
    for (auto& thread : threads)
        thread.join();
    for (int status : statuses)
        EXPECT_EQ(status, 200);
    const auto messages = Messages();
    ASSERT_EQ(messages.size(), 4u);
    std::vector<std::string> waves;
    for (const auto& message : messages)
        waves.push_back(DecodeBase64(ParseMail(message).parts.at(1).content));
    for (int i = 0; i < 4; ++i)
        EXPECT_NE(std::find(waves.begin(), waves.end(), MakeWave(2000 + i * 100)), waves.end());
}

// ---- hostile requests ------------------------------------------------------------

TEST_F(RelayServerTest, HostileRequestsGet400AndLeaveNothingBehind) {
    const std::string good = BodyOf(WritePost(MakeWave(1500)));
    const std::vector<std::string> lines = {"To: bob@example.com", "From: ann@example.com",
                                            "Subject: s", "Date: Sun, 14 Mar 1999 15:29 0100"};
    ZipEntry wave;
    wave.data = MakeWave(1500);
    const std::string zip = MakeZipBytes({wave});
    ZipEntry text = wave;
    text.data = "This is no recording at all. " + std::string(2000, 'x');
    auto withZip = [&](const std::string& pZip) { return test::PostBody(lines, "n", pZip); };
    auto withLines = [&](std::vector<std::string> pLines) {
        return test::PostBody(pLines, "n", zip);
    };
    auto request = [](const std::string& pHead, const std::string& pBody) {
        return "POST /post HTTP/1.1\r\nHost: 127.0.0.1\r\n" + pHead + "\r\n" + pBody;
    };
    const std::string headerOnly =
        good.substr(0, good.find("--------BrisaPost\r\nContent-Disposition: form-data; name=\"body\""));
    const auto second = good.find("--------BrisaPost\r\nContent-Disposition: form-data; name=\"body\"");
    const std::string bodyPart = good.substr(second, good.rfind("--------BrisaPost--") - second);
    const std::string longLine = "Subject: " + std::string(kMaxPostRow, 'x');

    ASSERT_EQ(PostBytes(Port(), withZip(zip)).status, 200); // the hand-made post is fine
    const std::size_t delivered = Messages().size();

    struct Case {
        std::string name, request, reason;
    };
    auto posted = [&](const std::string& pName, const std::string& pBody, const std::string& pReason,
                      const std::string& pType = kPostType) {
        return Case{pName,
                    request("Content-Type: " + pType + "\r\nContent-Length: " +
                                std::to_string(pBody.size()) + "\r\n",
                            pBody),
                    pReason};
    };
    const std::vector<Case> cases = {
        posted("wrong boundary", good, "does not begin with the boundary",
               "multipart/form-data; boundary=OtherBoundary"),
        posted("no boundary", good, "boundary", "multipart/form-data"),
        posted("not multipart", good, "multipart/form-data", "application/octet-stream"),
        // The body's own faults are the reader's tests; one of each kind
        // goes through the server here.
        posted("parts swapped", bodyPart + headerOnly + "--------BrisaPost--\r\n", "wrong order"),
        posted("not a wave", withZip(MakeZipBytes({text})), "not a WAVE"),
        posted("huge header line", withLines({"To: bob@example.com", "From: ann@example.com",
                                              longLine, "Date: d"}),
               "at most 65536"),
        posted("empty body", "", "empty"),
        posted("no closing line", good.substr(0, good.size() - 4), "closing boundary"),
        Case{"Content-Length smaller than the body",
             request(std::string("Content-Type: ") + kPostType + "\r\nContent-Length: " +
                         std::to_string(good.size() - 100) + "\r\n",
                     good),
             "closing boundary"},
        Case{"no Content-Length",
             request(std::string("Content-Type: ") + kPostType + "\r\n", good), "Content-Length"},
        Case{"two Content-Lengths",
             request(std::string("Content-Type: ") + kPostType + "\r\nContent-Length: " +
                         std::to_string(good.size()) + "\r\nContent-Length: " +
                         std::to_string(good.size()) + "\r\n",
                     good),
             "more than one Content-Length"},
        Case{"chunked",
             request(std::string("Content-Type: ") + kPostType +
                         "\r\nTransfer-Encoding: chunked\r\n",
                     "5\r\nhello\r\n0\r\n\r\n"),
             "Transfer-Encoding"},
        Case{"compressed",
             request(std::string("Content-Type: ") + kPostType + "\r\nContent-Encoding: gzip\r\n" +
                         "Content-Length: " + std::to_string(good.size()) + "\r\n",
                     good),
             "Content-Encoding"},
        Case{"two Content-Types",
             request(std::string("Content-Type: ") + kPostType + "\r\nContent-Type: " + kPostType +
                         "\r\nContent-Length: " + std::to_string(good.size()) + "\r\n",
                     good),
             "more than one Content-Type"},
    };
    for (const auto& c : cases) {
        const HttpReply reply = SendRaw(Port(), c.request);
        EXPECT_EQ(reply.status, 400) << c.name << ": " << reply.head;
        EXPECT_EQ(reply.body.rfind("Not a valid post: ", 0), 0u) << c.name << ": " << reply.body;
        EXPECT_NE(reply.body.find(c.reason), std::string::npos)
            << c.name << ": expected '" << c.reason << "' in '" << reply.body << "'";
        EXPECT_NE(reply.head.find("Content-Type: text/plain"), std::string::npos) << c.name;
    }
    // A body that stops short may be a broken connection: worth sending again.
    const HttpReply short_ = SendRaw(
        Port(), request(std::string("Content-Type: ") + kPostType + "\r\nContent-Length: " +
                            std::to_string(good.size() + 100) + "\r\n",
                        good));
    EXPECT_EQ(short_.status, 408) << short_.body;
    EXPECT_NE(short_.body.find("stopped short"), std::string::npos) << short_.body;
    EXPECT_EQ(Messages().size(), delivered);
    EXPECT_TRUE(FilesBelow(Maildir() + "/tmp").empty());
    EXPECT_EQ(FilesBelow(Maildir()).size(), delivered);
    // One log line for every request.
    EXPECT_EQ(Log(cases.size() + 2).size(), cases.size() + 2);
}

TEST_F(RelayServerTest, ABodyOver64MegabytesIsRefusedFromItsHeadAlone) {
    const auto start = std::chrono::steady_clock::now();
    const HttpReply reply =
        SendRaw(Port(), std::string("POST /post HTTP/1.1\r\nHost: x\r\nContent-Type: ") + kPostType +
                            "\r\nContent-Length: " + std::to_string(kMaxPostBytes + 1) +
                            "\r\n\r\n--------BrisaPost\r\n");
    EXPECT_EQ(reply.status, 400);
    EXPECT_NE(reply.body.find("64 MB"), std::string::npos) << reply.body;
    // Answered at once, without waiting for the body.
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(4));
    EXPECT_TRUE(FilesBelow(m_Env.Root() + "/mail").empty());
}

TEST_F(RelayServerTest, AZipBombIsRefusedWithoutInflatingIt) {
    // A gigabyte of zeros, deflated honestly, as the recording.
    const std::string bomb = test::ZeroBombZip(1ull << 30, 1ull << 30);
    ASSERT_LT(bomb.size(), 16u << 20);
    const std::string body = test::PostBody(
        {"To: bob@example.com", "From: ann@example.com", "Subject: s", "Date: d"}, "n", bomb);
    const HttpReply reply = PostBytes(Port(), body);
    EXPECT_EQ(reply.status, 400);
    EXPECT_NE(reply.body.find("at most 268435456"), std::string::npos) << reply.body;
    EXPECT_TRUE(FilesBelow(m_Env.Root() + "/mail").empty());
}

TEST_F(RelayServerTest, RandomGarbageIsRefusedAndTheRelayKeepsWorking) {
    std::mt19937 random(20240611);
    const std::string good = BodyOf(WritePost(MakeWave(800)));
    for (int i = 0; i < 120; ++i) {
        std::string body;
        const int kind = i % 3;
        const std::size_t length = random() % 3000;
        if (kind == 1)
            body = "--------BrisaPost\r\n"; // a plausible start, then noise
        else if (kind == 2)
            body = good.substr(0, random() % good.size()); // a good start, then noise
        for (std::size_t k = 0; k < length; ++k)
            body += static_cast<char>(random() & 0xFF);
        const HttpReply reply = PostBytes(Port(), body);
        ASSERT_EQ(reply.status, 400) << "body " << i << ": " << reply.body;
    }
    EXPECT_TRUE(FilesBelow(m_Env.Root() + "/mail").empty());
    EXPECT_EQ(PostBytes(Port(), good).status, 200);
    EXPECT_EQ(Messages().size(), 1u);
}

TEST_F(RelayServerTest, DamagedPostsAreEitherDeliveredWholeOrRefused) {
    std::mt19937 random(77);
    const std::string wave = MakeWave(800);
    const std::string good = BodyOf(WritePost(wave));
    int accepted = 0;
    for (int i = 0; i < 80; ++i) {
        std::string body = good;
        for (int flips = 1 + static_cast<int>(random() % 3); flips > 0; --flips)
            body[random() % body.size()] = static_cast<char>(random() & 0xFF);
        const int status = PostBytes(Port(), body).status;
        ASSERT_TRUE(status == 200 || status == 400) << status;
        accepted += status == 200 ? 1 : 0;
    }
    // Whatever got through holds the recording unharmed (the zip's CRC
    // guards it).
    const auto messages = Messages();
    EXPECT_EQ(static_cast<int>(messages.size()), accepted);
    for (const auto& message : messages)
        EXPECT_EQ(DecodeBase64(ParseMail(message).parts.at(1).content), wave);
    EXPECT_TRUE(FilesBelow(Maildir() + "/tmp").empty());
}

TEST_F(RelayServerTest, EveryCutOfAPostIsRefused) {
    const std::string good = BodyOf(WritePost(MakeWave(400)));
    // Only the last two bytes (the CR LF after the closing line) may go.
    for (std::size_t length = 1; length + 2 < good.size(); length += 1 + length / 7) {
        const HttpReply reply = PostBytes(Port(), good.substr(0, length));
        ASSERT_EQ(reply.status, 400) << "cut at " << length << ": " << reply.body;
    }
    EXPECT_TRUE(FilesBelow(m_Env.Root() + "/mail").empty());
    EXPECT_EQ(PostBytes(Port(), good.substr(0, good.size() - 2)).status, 200);
}

TEST_F(RelayServerTest, OtherMethodsAndPathsAreTurnedAway) {
    EXPECT_EQ(SendRaw(Port(), "GET /post HTTP/1.1\r\nHost: x\r\n\r\n").status, 405);
    const HttpReply elsewhere = PostBytes(Port(), "x", kPostType, "/upload");
    EXPECT_EQ(elsewhere.status, 404);
    EXPECT_NE(elsewhere.body.find("/post"), std::string::npos);
    EXPECT_EQ(SendRaw(Port(), "PUT /post HTTP/1.1\r\nHost: x\r\nContent-Length: 1\r\n\r\nx").status,
              405);
    EXPECT_EQ(SendRaw(Port(), "NONSENSE\r\n\r\n").status, 400);
    EXPECT_TRUE(FilesBelow(m_Env.Root() + "/mail").empty());
}

// ---- failures on the delivery side -------------------------------------------------

TEST_F(RelayServerTest, AMaildirThatCannotBeCreatedGives503AndTheSenderKeepsThePost) {
    WriteFile(m_Env.Root() + "/blocker", "a file, not a folder");
    m_Options.maildir = m_Env.Root() + "/blocker/Maildir";
    StartRelay();
    const std::string post = WritePost(MakeWave(1000));
    const HttpReply reply = PostBytes(Port(), BodyOf(post));
    EXPECT_EQ(reply.status, 503);
    EXPECT_NE(reply.body.find("try again later"), std::string::npos) << reply.body;
    const DeliveryResult result = Send(post, Url());
    EXPECT_EQ(result.outcome, Delivery::Deferred) << result.done.status;
    EXPECT_TRUE(std::filesystem::exists(post));
    EXPECT_EQ(ReadFile(m_Env.Root() + "/blocker"), "a file, not a folder");
}

// ---- SMTP --------------------------------------------------------------------------

TEST_F(RelayServerTest, SmtpModeHandsTheMessageToTheMailServer) {
    SmtpServer smtp(SmtpServer::Mode::Accept);
    m_Options.smtp.url = smtp.Url();
    m_Options.smtp.connectTimeout = 5;
    m_Options.smtp.totalTimeout = 30;
    StartRelay();
    Put("Note", ".a line with a dot\r\n.");
    const std::string wave = MakeWave(12000);
    const std::string post = WritePost(wave);
    const DeliveryResult result = Send(post, Url());
    EXPECT_EQ(result.outcome, Delivery::Sent) << result.done.status;

    const auto sessions = smtp.Sessions();
    ASSERT_EQ(sessions.size(), 1u);
    EXPECT_EQ(sessions[0].mailFrom, "<ann@example.com>");
    EXPECT_EQ(sessions[0].recipients,
              (std::vector<std::string>{"<bob@example.com>", "<carl@example.org>",
                                        "<dora@example.net>"}));
    const auto mail = ParseMail(sessions[0].data);
    EXPECT_EQ(mail.Header("To"), "bob@example.com, carl@example.org");
    EXPECT_EQ(mail.Header("Subject"), "Hello");
    ASSERT_EQ(mail.parts.size(), 2u);
    EXPECT_EQ(DecodeQuotedPrintable(mail.parts[0].content), ".a line with a dot\r\n.\r\n");
    EXPECT_EQ(DecodeBase64(mail.parts[1].content), wave);
    EXPECT_TRUE(FilesBelow(m_Env.Root() + "/mail").empty()); // nothing in the Maildir
    const auto log = Log(1);
    ASSERT_EQ(log.size(), 1u);
    EXPECT_NE(log[0].find("200 delivered by SMTP"), std::string::npos) << log[0];

    // With accounts, the envelope sender is the account's address.
    m_Options.accountsFile = m_Env.Root() + "/accounts";
    WriteFile(m_Options.accountsFile, "Ann@Example.com:" + test::BcryptHash("pw") + "\n");
    StartRelay();
    const HttpReply reply = PostBytes(Port(), BodyOf(WritePost(wave)), kPostType, "/post",
                                      test::BasicAuthorization("ann@example.com", "pw"));
    EXPECT_EQ(reply.status, 200) << reply.body;
    ASSERT_EQ(smtp.Sessions().size(), 2u);
    EXPECT_EQ(smtp.Sessions()[1].mailFrom, "<Ann@Example.com>");
}

TEST_F(RelayServerTest, AnSmtpRefusalForGoodGives422AndADelayGives503) {
    struct Case {
        SmtpServer::Mode mode;
        int status;
        const char* reason;
    };
    const Case cases[] = {{SmtpServer::Mode::RefuseRecipient, 422, "550"},
                          {SmtpServer::Mode::RefuseData, 422, "550"},
                          {SmtpServer::Mode::DeferData, 503, "451"}};
    for (const auto& c : cases) {
        SmtpServer smtp(c.mode);
        m_Options.smtp.url = smtp.Url();
        m_Options.smtp.connectTimeout = 5;
        m_Options.smtp.totalTimeout = 30;
        StartRelay();
        const std::string post = WritePost(MakeWave(1000));
        const HttpReply reply = PostBytes(Port(), BodyOf(post));
        EXPECT_EQ(reply.status, c.status) << reply.body;
        EXPECT_NE(reply.body.find(c.reason), std::string::npos) << reply.body;
        // The sender sets a refusal aside and keeps a delayed post waiting.
        const DeliveryResult result = Send(post, Url());
        EXPECT_EQ(result.outcome, c.status == 422 ? Delivery::Refused : Delivery::Deferred);
        std::filesystem::remove(post);
        EXPECT_EQ(smtp.Sessions().size(), 2u);
    }
}

TEST_F(RelayServerTest, AnSmtpServerThatIsDownGives503) {
    int port = 0;
    {
        SmtpServer gone(SmtpServer::Mode::Accept);
        port = std::stoi(gone.Url().substr(gone.Url().rfind(':') + 1));
    }
    m_Options.smtp.url = "smtp://127.0.0.1:" + std::to_string(port);
    m_Options.smtp.connectTimeout = 5;
    StartRelay();
    const HttpReply reply = PostBytes(Port(), BodyOf(WritePost(MakeWave(500))));
    EXPECT_EQ(reply.status, 503);
    EXPECT_NE(reply.body.find("SMTP"), std::string::npos) << reply.body;
}

// ---- what the client writes, the relay reads -------------------------------------

// The client's own checks and post writer, and the relay's reader and
// composer, over the same cases: whatever the client lets through arrives.
TEST_F(RelayServerTest, EveryPostTheClientWritesIsReadAndComposedWhole) {
    struct Case {
        std::string to, cc, myCc, subject, note;
        std::vector<std::string> recipients;
        std::string name = "Zo\xC3\xAB Smith";
    };
    const std::string longNote(2048, 'n');
    const std::string lines = std::string(1200, 'a') + "\r\n\r\n" + std::string(700, 'b') +
                              "\r\n" + std::string(140, ' ') + "=.";
    const std::vector<Case> cases = {
        {"bob@example.com; carl@example.org", "", "", "Hello", "Hi",
         {"bob@example.com", "carl@example.org"}},
        {"Bob Smith <bob@example.com>, \"Jane Doe\" <jane@example.org>;dora@example.net", "", "",
         "Hello", "Hi", {"bob@example.com", "jane@example.org", "dora@example.net"}},
        {"bob@example.com;", "a@x.io ; b@y.io", "c@z.io", "Hello", "Hi",
         {"bob@example.com", "a@x.io", "b@y.io", "c@z.io"}},
        {"bob@example.com", "", "", std::string(3000, 's'), longNote, {"bob@example.com"}},
        {"bob@example.com", "", "", "Gr\xC3\xBC\xC3\x9F" "e \xE2\x82\xAC", lines,
         {"bob@example.com"}},
        {"bob@example.com", "", "", "Caf\xC3\xA9", "\xC3\xA9t\xC3\xA9 " + std::string(2040, 'e'),
         {"bob@example.com"}},
        {"Bob \"B\" <bob@example.com>, <carl@example.org>", "", "", "s", "n",
         {"bob@example.com", "carl@example.org"}, "Ann \"the boss\" Smith \\"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.to + " / " + c.cc);
        std::string to = c.to, cc = c.cc, bad;
        int16_t result = -1;
        CheckAddressList(to, bad, result);
        ASSERT_EQ(result, kAddressListValid) << bad;
        if (!cc.empty()) {
            CheckAddressList(cc, bad, result);
            ASSERT_EQ(result, kAddressListValid) << bad;
        }
        m_Request.to = to;
        m_Request.cc = cc;
        Put("Cc", c.myCc);
        Put("Note", c.note);
        Put("Name", c.name);
        const std::string body = BodyOf(WritePost(MakeWave(200), c.subject));

        ReceivedPost post;
        std::string problem;
        ASSERT_TRUE(ReadPostBody(body, kPostBoundary, post, problem)) << problem;
        std::vector<std::string> recipients;
        for (const auto* list : {&post.to, &post.cc})
            for (const auto& address : *list)
                recipients.push_back(address.address);
        EXPECT_EQ(recipients, c.recipients);
        EXPECT_EQ(post.from.name, c.name);

        const std::string message = ComposeMail(post, MakeWave(200), NewMailStamp(0, "h"));
        EXPECT_LE(LongestLine(message), 998u);
        const auto mail = ParseMail(message);
        EXPECT_EQ(DecodeWords(mail.Header("Subject")), c.subject);
        EXPECT_EQ(DecodeQuotedPrintable(mail.parts.at(0).content), c.note + "\r\n");
    }
}

// ---- slow and trickling clients ------------------------------------------------------

// A socket that has sent the start of a request and waits.
class SlowClient {
public:
    explicit SlowClient(int pPort) {
        m_Fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        address.sin_port = htons(static_cast<uint16_t>(pPort));
        m_Connected = ::connect(m_Fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    }
    ~SlowClient() { ::close(m_Fd); }
    bool Connected() const { return m_Connected; }
    void Send(const std::string& pBytes) {
        ::send(m_Fd, pBytes.data(), pBytes.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
    }
    // True once the relay has answered or closed the connection.
    bool Ended() {
        pollfd p{m_Fd, POLLIN, 0};
        return ::poll(&p, 1, 0) > 0;
    }
    // What arrived until the relay closed the connection (30 s at most).
    std::string Rest() {
        std::string rest;
        char buffer[4096];
        for (int i = 0; i < 300; ++i) {
            pollfd p{m_Fd, POLLIN, 0};
            if (::poll(&p, 1, 100) <= 0)
                continue;
            const ssize_t n = ::recv(m_Fd, buffer, sizeof buffer, 0);
            if (n <= 0)
                break;
            rest.append(buffer, static_cast<std::size_t>(n));
        }
        return rest;
    }

private:
    int m_Fd = -1;
    bool m_Connected = false;
};

TEST_F(RelayServerTest, FortySlowClientsDoNotHoldUpAGoodPost) {
    // Generous timeouts: only the relay's workers may let the good post
    // through while the slow clients still hang.
    m_Options.readTimeout = 30;
    m_Options.headDeadline = 120;
    StartRelay();
    const std::string good = BodyOf(WritePost(MakeWave(2000)));
    std::vector<std::unique_ptr<SlowClient>> slow;
    for (int i = 0; i < 40; ++i) {
        slow.push_back(std::make_unique<SlowClient>(Port()));
        ASSERT_TRUE(slow.back()->Connected());
        slow.back()->Send("POST /post HTTP/1.1\r\nHost: x\r\nX-Slow: ");
    }
    // They trickle a byte now and then (more often than the read timeout)
    // while the good post goes in.
    std::atomic<bool> done{false};
    std::thread trickle([&] {
        while (!done) {
            for (auto& client : slow)
                client->Send("a");
            std::this_thread::sleep_for(std::chrono::milliseconds(300));
        }
    });
    const HttpReply reply = PostBytes(Port(), good);
    const bool anyEnded =
        std::any_of(slow.begin(), slow.end(), [](auto& pClient) { return pClient->Ended(); });
    done = true;
    trickle.join();
    EXPECT_EQ(reply.status, 200) << reply.body;
    EXPECT_EQ(Messages().size(), 1u);
    // Served beside them, not after they were cut off.
    EXPECT_FALSE(anyEnded);
}

TEST_F(RelayServerTest, TricklingClientsAreCutOffAtTheirDeadlines) {
    m_Options.readTimeout = 30; // only the deadlines end them
    m_Options.headDeadline = 1;
    m_Options.requestDeadline = 2;
    StartRelay();
    const std::string good = BodyOf(WritePost(MakeWave(2000)));
    SlowClient head(Port()), body(Port());
    head.Send("POST /post HTTP/1.1\r\nHost: x\r\n");
    body.Send(std::string("POST /post HTTP/1.1\r\nHost: x\r\nContent-Type: ") + kPostType +
              "\r\nContent-Length: " + std::to_string(good.size()) + "\r\n\r\n" +
              good.substr(0, 100));
    // Both keep sending, each byte well within the read timeout, until the
    // relay ends them (the loop is bounded; its length is not asserted).
    for (std::size_t i = 0; i < 200 && !(head.Ended() && body.Ended()); ++i) {
        head.Send("X");
        body.Send(good.substr(100 + i, 1));
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    EXPECT_EQ(head.Rest(), ""); // closed without an answer: the client tries again later
    // The other is answered 408, though the answer may be lost to the
    // connection's reset, as the client did not stop sending.
    const std::string answer = body.Rest();
    EXPECT_TRUE(answer.empty() || answer.rfind("HTTP/1.1 408", 0) == 0) << answer;
    EXPECT_EQ(LogLinesWith("closed: the request head did not arrive within 1 s"), 1);
    EXPECT_EQ(LogLinesWith("\"POST /post\" 408 The request took longer than 2 seconds"), 1);
    EXPECT_TRUE(Messages().empty());
    EXPECT_EQ(PostBytes(Port(), good).status, 200);
}

// ---- brisa-relay with accounts and TLS ---------------------------------------------

// brisa-relay as a process of its own; its standard error is collected.
class RelayProcess {
public:
    RelayProcess(const std::vector<std::string>& pArguments, const std::string& pHome) {
        // Everything the child needs is made before the fork: other threads
        // run meanwhile, so the child may not allocate.
        std::vector<std::string> environment = {"XDG_DATA_HOME=" + pHome};
        for (char** variable = environ; *variable; ++variable)
            if (std::string(*variable).rfind("XDG_DATA_HOME=", 0) != 0)
                environment.push_back(*variable);
        std::vector<char*> argv{const_cast<char*>(BRISA_TEST_RELAY)}, envp;
        for (const auto& argument : pArguments)
            argv.push_back(const_cast<char*>(argument.c_str()));
        argv.push_back(nullptr);
        for (auto& variable : environment)
            envp.push_back(variable.data());
        envp.push_back(nullptr);
        int pipeFds[2];
        if (::pipe2(pipeFds, O_CLOEXEC) != 0)
            return;
        m_Pid = ::fork();
        if (m_Pid == 0) {
            ::dup2(pipeFds[1], 2);
            ::dup2(pipeFds[1], 1);
            ::execve(BRISA_TEST_RELAY, argv.data(), envp.data());
            ::_exit(127);
        }
        ::close(pipeFds[1]);
        m_Out = pipeFds[0];
    }
    ~RelayProcess() { Stop(); }

    // Reads the output until pText appears or the process ends.
    bool WaitFor(const std::string& pText) {
        char buffer[4096];
        for (int i = 0; i < 300 && m_Output.find(pText) == std::string::npos; ++i) {
            pollfd p{m_Out, POLLIN, 0};
            if (::poll(&p, 1, 100) <= 0)
                continue;
            const ssize_t n = ::read(m_Out, buffer, sizeof buffer);
            if (n <= 0)
                break;
            m_Output.append(buffer, static_cast<std::size_t>(n));
        }
        return m_Output.find(pText) != std::string::npos;
    }
    void Signal(int pSignal) { ::kill(m_Pid, pSignal); }
    // Ends the process; its exit status (-1 when it did not run).
    int Stop() {
        if (m_Pid > 0) {
            ::kill(m_Pid, SIGTERM);
            m_Status = Wait();
        }
        return m_Status;
    }
    int Wait() {
        if (m_Pid <= 0)
            return m_Status;
        int status = 0;
        ::waitpid(m_Pid, &status, 0);
        m_Pid = -1;
        WaitFor("\x01"); // the rest of the output
        ::close(m_Out);
        m_Status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        return m_Status;
    }
    const std::string& Output() const { return m_Output; }

private:
    pid_t m_Pid = -1;
    int m_Out = -1;
    int m_Status = -1;
    std::string m_Output;
};

int FreePort() {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
    socklen_t length = sizeof address;
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
    ::close(fd);
    return ntohs(address.sin_port);
}

TEST_F(RelayServerTest, TheRelayProgramWithAccountsAndTls) {
    const std::string secret = "s3cret-Pa55";
    const std::string accounts = m_Env.Root() + "/accounts";
    WriteFile(accounts, "# made by htpasswd -B\nann@example.com:" + test::BcryptHash(secret) +
                            "\nbob@example.org:" + test::BcryptHash("bobs-own") + "\n");
    std::filesystem::permissions(accounts, std::filesystem::perms::owner_read |
                                               std::filesystem::perms::owner_write);
    const std::string maildir = m_Env.Root() + "/relay-mail";
    const std::string port = std::to_string(FreePort());

    // Beyond loopback without accounts: one line, status 2.
    {
        RelayProcess open({"--listen", "0.0.0.0", "--port", port}, m_Env.Root());
        EXPECT_EQ(open.Wait(), 2);
        EXPECT_EQ(std::count(open.Output().begin(), open.Output().end(), '\n'), 1)
            << open.Output();
        EXPECT_NE(open.Output().find("--accounts"), std::string::npos) << open.Output();
    }

    RelayProcess relay({"--port", port, "--maildir", maildir, "--accounts", accounts,
                        "--max-per-hour", "2"},
                       m_Env.Root());
    ASSERT_TRUE(relay.WaitFor("listening on")) << relay.Output();
    const int p = std::stoi(port);
    const std::string good = BodyOf(WritePost(MakeWave(1500)));
    auto posted = [&](const std::string& pAuthorization, const char* pFrom = nullptr) {
        return PostBytes(p, good, kPostType, "/post", pAuthorization, pFrom);
    };
    auto delivered = [&] { return FilesBelow(maildir + "/new").size(); };

    // No credentials, a wrong password, an unknown account: 401, nothing delivered.
    for (const std::string& authorization :
         {std::string(), test::BasicAuthorization("ann@example.com", "wrong"),
          test::BasicAuthorization("eve@example.com", secret)}) {
        const HttpReply reply = posted(authorization);
        EXPECT_EQ(reply.status, 401) << reply.body;
        EXPECT_NE(reply.head.find("WWW-Authenticate: Basic realm=\"brisa-relay\""),
                  std::string::npos)
            << reply.head;
    }
    EXPECT_EQ(delivered(), 0u);

    // The right password, through the sender's own code with the
    // credentials in its server address.
    const std::string post = WritePost(MakeWave(1500));
    const DeliveryResult sent =
        Send(post, "http://ann%40example.com:" + secret + "@127.0.0.1:" + port + "/post");
    EXPECT_EQ(sent.outcome, Delivery::Sent) << sent.done.status;
    EXPECT_EQ(delivered(), 1u);

    // Another account's From: 403 with the reason.
    const HttpReply wrongFrom = posted(test::BasicAuthorization("bob@example.org", "bobs-own"));
    EXPECT_EQ(wrongFrom.status, 403);
    EXPECT_NE(wrongFrom.body.find("ann@example.com"), std::string::npos) << wrongFrom.body;

    // Ann's second post of the hour goes, the third waits.
    EXPECT_EQ(posted(test::BasicAuthorization("ANN@example.com", secret)).status, 200);
    const HttpReply third = posted(test::BasicAuthorization("ann@example.com", secret));
    EXPECT_EQ(third.status, 429) << third.body;
    EXPECT_NE(third.head.find("Retry-After: "), std::string::npos) << third.head;
    EXPECT_EQ(delivered(), 2u);

    // Five failures from one address in a minute turn that address away,
    // even with the right password; another address is still served.
    for (int i = 0; i < 3; ++i) // two failed above already
        EXPECT_EQ(posted(test::BasicAuthorization("bob@example.org", "guess")).status, 401);
    const HttpReply blocked = posted(test::BasicAuthorization("bob@example.org", "bobs-own"));
    EXPECT_EQ(blocked.status, 429) << blocked.body;
    EXPECT_NE(blocked.head.find("Retry-After: "), std::string::npos) << blocked.head;
    const HttpReply elsewhere =
        posted(test::BasicAuthorization("bob@example.org", "bobs-own"), "127.0.0.2");
    EXPECT_EQ(elsewhere.status, 403) << elsewhere.body; // past the login: bob is not the From

    // SIGHUP reads the accounts again: ann's old password no longer works.
    WriteFile(accounts, "ann@example.com:" + test::BcryptHash("new-one") + "\n");
    relay.Signal(SIGHUP);
    ASSERT_TRUE(relay.WaitFor("read the accounts again")) << relay.Output();
    EXPECT_EQ(posted(test::BasicAuthorization("ann@example.com", secret), "127.0.0.3").status,
              401);

    EXPECT_EQ(relay.Stop(), 0);
    const std::string output = relay.Output();
    EXPECT_EQ(output.find(secret), std::string::npos) << output;
    EXPECT_EQ(output.find("bobs-own"), std::string::npos) << output;
    EXPECT_EQ(output.find("Authorization"), std::string::npos) << output;
    EXPECT_EQ(output.find("Basic "), std::string::npos) << output;
    EXPECT_NE(output.find("401"), std::string::npos) << output;

    // HTTPS with a certificate made here.
    const std::string cert = m_Env.Root() + "/cert.pem", key = m_Env.Root() + "/key.pem";
    ASSERT_TRUE(test::MakeCertificate(cert, key));
    RelayProcess secure({"--port", port, "--maildir", maildir, "--accounts", accounts,
                         "--tls-cert", cert, "--tls-key", key},
                        m_Env.Root());
    ASSERT_TRUE(secure.WaitFor("listening on https://")) << secure.Output();
    httplib::SSLClient client("127.0.0.1", p);
    client.set_ca_cert_path(cert.c_str());
    client.enable_server_certificate_verification(true);
    client.set_basic_auth("ann@example.com", "new-one");
    const auto answer = client.Post("/post", good, kPostType);
    ASSERT_TRUE(answer) << httplib::to_string(answer.error());
    EXPECT_EQ(answer->status, 200) << answer->body;
    EXPECT_EQ(delivered(), 3u);
    // Plain HTTP to the HTTPS port is no post.
    EXPECT_NE(PostBytes(p, good, kPostType, "/post",
                        test::BasicAuthorization("ann@example.com", "new-one"))
                  .status,
              200);
    EXPECT_EQ(delivered(), 3u);
    EXPECT_EQ(secure.Stop(), 0);
    EXPECT_EQ(secure.Output().find("new-one"), std::string::npos) << secure.Output();
}

// ---- the command line --------------------------------------------------------------

TEST(RelayArguments, ReadsTheOptionsAndRefusesBadOnes) {
    ::setenv("BRISA_RELAY_SMTP_USER", "relay-user", 1);
    ::setenv("BRISA_RELAY_SMTP_PASSWORD", "secret", 1);
    RelayOptions options;
    bool help = false;
    std::string problem;
    ASSERT_TRUE(ParseRelayArguments({"--listen", "0.0.0.0", "--port=9000", "--maildir", "/tmp/m",
                                     "--smtp", "smtps://mail.example.com:465"},
                                    options, help, problem))
        << problem;
    EXPECT_FALSE(help);
    EXPECT_EQ(options.listen, "0.0.0.0");
    EXPECT_EQ(options.port, 9000);
    EXPECT_EQ(options.maildir, "/tmp/m");
    EXPECT_EQ(options.smtp.url, "smtps://mail.example.com:465");
    EXPECT_EQ(options.smtp.user, "relay-user");
    EXPECT_EQ(options.smtp.password, "secret");
    ::unsetenv("BRISA_RELAY_SMTP_USER");
    ::unsetenv("BRISA_RELAY_SMTP_PASSWORD");

    RelayOptions defaults;
    ASSERT_TRUE(ParseRelayArguments({}, defaults, help, problem));
    EXPECT_EQ(defaults.listen, "127.0.0.1");
    EXPECT_EQ(defaults.port, 8025);
    EXPECT_TRUE(defaults.smtp.url.empty());
    ASSERT_TRUE(ParseRelayArguments({"--help"}, defaults, help, problem));
    EXPECT_TRUE(help);
    EXPECT_NE(RelayUsage().find("--smtp"), std::string::npos);

    RelayOptions exposed;
    ASSERT_TRUE(ParseRelayArguments({"--accounts", "/etc/brisa/accounts", "--max-per-hour=5",
                                     "--tls-cert", "c.pem", "--tls-key", "k.pem"},
                                    exposed, help, problem))
        << problem;
    EXPECT_EQ(exposed.accountsFile, "/etc/brisa/accounts");
    EXPECT_EQ(exposed.maxPerHour, 5);
    EXPECT_EQ(exposed.tlsCert, "c.pem");
    EXPECT_EQ(exposed.tlsKey, "k.pem");
    EXPECT_EQ(defaults.maxPerHour, 60);
    ASSERT_TRUE(ParseRelayArguments({"--no-auth"}, exposed = {}, help, problem));
    EXPECT_TRUE(exposed.noAuth);

    const std::vector<std::vector<std::string>> bad = {
        {"--port", "0"},         {"--port", "70000"}, {"--port", "80x"}, {"--port"},
        {"--smtp", "http://x"},  {"--smtp", "smtp://"}, {"--listen", ""}, {"--maildir="},
        {"--verbose"},           {"--max-per-hour", "-1"}, {"--accounts", ""},
        {"--tls-cert", "c.pem"}, {"--tls-key", "k.pem"},
        {"--no-auth", "--accounts", "a"},
    };
    for (const auto& arguments : bad) {
        RelayOptions o;
        EXPECT_FALSE(ParseRelayArguments(arguments, o, help, problem)) << arguments[0];
        EXPECT_FALSE(problem.empty());
    }
}

TEST(RelayMaildir, DefaultsBelowTheDataHome) {
    const char* oldXdg = std::getenv("XDG_DATA_HOME");
    const std::string savedXdg = oldXdg ? oldXdg : "";
    const char* oldHome = std::getenv("HOME");
    const std::string savedHome = oldHome ? oldHome : "";
    ::setenv("XDG_DATA_HOME", "/srv/data", 1);
    EXPECT_EQ(DefaultMaildir(), "/srv/data/brisamail/relay/Maildir");
    ::unsetenv("XDG_DATA_HOME");
    ::setenv("HOME", "/home/ann", 1);
    EXPECT_EQ(DefaultMaildir(), "/home/ann/.local/share/brisamail/relay/Maildir");
    if (oldXdg)
        ::setenv("XDG_DATA_HOME", savedXdg.c_str(), 1);
    if (oldHome)
        ::setenv("HOME", savedHome.c_str(), 1);
    else
        ::unsetenv("HOME");
}

TEST(RelayMaildir, DeliveryCreatesTheFoldersAndNeverReplacesAMessage) {
    test::TempEnv env;
    const std::string maildir = env.Root() + "/deep/down/Maildir";
    std::string first, second, problem;
    ASSERT_TRUE(DeliverToMaildir(maildir, "one\r\n", first, problem)) << problem;
    ASSERT_TRUE(DeliverToMaildir(maildir, "two\r\n", second, problem)) << problem;
    EXPECT_NE(first, second);
    EXPECT_EQ(ReadFile(maildir + "/new/" + first), "one\r\n");
    EXPECT_EQ(ReadFile(maildir + "/new/" + second), "two\r\n");
    EXPECT_TRUE(std::filesystem::is_directory(maildir + "/cur"));
    EXPECT_TRUE(FilesBelow(maildir + "/tmp").empty());
    EXPECT_EQ((std::filesystem::status(maildir + "/new").permissions() &
               std::filesystem::perms::others_all),
              std::filesystem::perms::none);
}

TEST(RelayServerStart, APortInUseIsReported) {
    RelayOptions options;
    options.port = 0;
    RelayServer first(options);
    std::string problem;
    ASSERT_TRUE(first.Start(problem)) << problem;
    options.port = first.Port();
    RelayServer second(options);
    EXPECT_FALSE(second.Start(problem));
    EXPECT_NE(problem.find(std::to_string(first.Port())), std::string::npos) << problem;
}

} // namespace
} // namespace brisa
