// The sending program's logic against servers on 127.0.0.1: what arrives,
// which posts stay in the outbox, and the report line.
#include "sending/post_sender.h"

#include "sending/post_builder.h"
#include "tests/fakes/fakes.h"
#include "tests/sending/test_servers.h"
#include "tests/support/temp_env.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QProcess>
#include <chrono>
#include <cstdlib>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace brisa {
namespace {

using test::HttpServer;
using test::RawMode;
using test::RawServer;
using test::ReadFile;
using test::WriteFile;

bool Exists(const std::string& pPath) {
    struct stat info {};
    return ::stat(pPath.c_str(), &info) == 0;
}

// A multipart body of one text part.
std::string Form(const std::string& pText) {
    return "--------BrisaPost\r\n"
           "Content-Disposition: form-data; name=\"header\"; filename=\"header.txt\"\r\n"
           "Content-Type: text/plain\r\n\r\n" +
           pText + "\r\n--------BrisaPost--\r\n";
}

// The text of the one part the server found.
std::string PartText(const test::ReceivedRequest& pRequest) {
    return pRequest.parts.size() == 1 ? pRequest.parts[0].content : "<not one part>";
}

// A post file's bytes around a body, with a correct Content-Length.
std::string PostBytes(const std::string& pBody) {
    return "User-Agent: BrisaMail Client\r\n"
           "Content-Type: multipart/form-data; boundary=------BrisaPost\r\n"
           "Content-Length: " +
           std::to_string(pBody.size()) + "\r\n\r\n" + pBody;
}

// Keeps the proxy environment of the machine out of the tests.
class ProxyEnvironment {
public:
    ProxyEnvironment() {
        for (const char* name : kNames) {
            if (const char* value = std::getenv(name))
                m_Saved.emplace_back(name, value);
            ::unsetenv(name);
        }
    }
    ~ProxyEnvironment() {
        for (const char* name : kNames)
            ::unsetenv(name);
        for (const auto& [name, value] : m_Saved)
            ::setenv(name.c_str(), value.c_str(), 1);
    }

private:
    static constexpr const char* kNames[] = {"http_proxy",  "HTTP_PROXY", "https_proxy",
                                             "HTTPS_PROXY", "all_proxy",  "ALL_PROXY",
                                             "no_proxy",    "NO_PROXY"};
    std::vector<std::pair<std::string, std::string>> m_Saved;
};

class PostSenderTest : public ::testing::Test {
protected:
    void SetUp() override { QDir().mkpath(QString::fromStdString(Outbox())); }

    std::string Outbox() const { return m_Env.Path("outbox"); }
    std::string PostPath(const std::string& pName = "990314152907.txt") const {
        return Outbox() + "/" + pName;
    }
    // A post of one text part.
    std::string WritePost(const std::string& pText, const std::string& pName = "990314152907.txt") {
        WriteFile(PostPath(pName), PostBytes(Form(pText)));
        return PostPath(pName);
    }
    SenderOptions Options(const std::string& pUrl) const {
        SenderOptions options;
        options.connectTo = pUrl;
        options.proxy = "XXX";
        options.connectTimeout = 5;
        options.stallTimeout = 2;
        options.totalTimeout = 30;
        return options;
    }

    ProxyEnvironment m_Proxy;
    test::TempEnv m_Env;
};

// ---- one post -----------------------------------------------------------------

TEST_F(PostSenderTest, DeliversTheBodyWithThePostsHeadersAndRemovesThePost) {
    RawServer server(RawMode::Capture);
    const std::string body = std::string("--------BrisaPost\r\nbinary \0\r\n\xFF\x80 end\r\n", 35) +
                             "--------BrisaPost--\r\n";
    const std::string post = PostPath();
    WriteFile(post, PostBytes(body));

    const DeliveryResult result = DeliverPost(post, Options(server.Url()));

    EXPECT_EQ(result.outcome, Delivery::Sent);
    EXPECT_EQ(result.done.status, "Sent to " + server.Url());
    EXPECT_EQ(result.done.specialCaption, "");
    EXPECT_EQ(result.done.notifyTime, 0);
    EXPECT_FALSE(Exists(post));
    const auto requests = server.Captured();
    ASSERT_EQ(requests.size(), 1u);
    const auto headEnd = requests[0].find("\r\n\r\n");
    ASSERT_NE(headEnd, std::string::npos);
    const std::string head = requests[0].substr(0, headEnd + 2);
    EXPECT_EQ(requests[0].substr(headEnd + 4), body);
    EXPECT_EQ(head.rfind("POST /post HTTP/1.1\r\n", 0), 0u) << head;
    EXPECT_NE(head.find("\r\nUser-Agent: BrisaMail Client\r\n"), std::string::npos) << head;
    EXPECT_NE(head.find("\r\nContent-Type: multipart/form-data; boundary=------BrisaPost\r\n"),
              std::string::npos)
        << head;
    EXPECT_NE(head.find("\r\nContent-Length: " + std::to_string(body.size()) + "\r\n"),
              std::string::npos)
        << head;
    EXPECT_EQ(head.find("Content-Length:"), head.rfind("Content-Length:")) << head;
    EXPECT_EQ(head.find("Content-Type:"), head.rfind("Content-Type:")) << head;
    EXPECT_EQ(head.find("Expect:"), std::string::npos) << head;
}

TEST_F(PostSenderTest, APostWrittenByThePostWriterArrivesWhole) {
    test::MemoryRegistry registry;
    test::FakeSystemInfo system;
    const std::string archive("PK\x03\x04\0\r\n\xEE", 8);
    WriteFile(m_Env.Path("in.zip"), archive);
    PostRequest request;
    request.to = "bob@example.com";
    request.programFolder = m_Env.ProgramFolder();
    request.system = &system;
    std::string subject = "Hi", first = m_Env.Path("in.zip"), second = first;
    ASSERT_EQ(BuildPost(request, subject, first), kPostWritten);
    ASSERT_EQ(BuildPost(request, subject, second), kPostWritten);
    const std::string bytes = ReadFile(first);
    const std::string body = bytes.substr(bytes.find("\r\n\r\n") + 4);

    // Byte for byte on the wire.
    RawServer raw(RawMode::Capture);
    EXPECT_EQ(DeliverPost(first, Options(raw.Url())).outcome, Delivery::Sent);
    ASSERT_EQ(raw.Captured().size(), 1u);
    const std::string request0 = raw.Captured()[0];
    EXPECT_EQ(request0.substr(request0.find("\r\n\r\n") + 4), body);
    EXPECT_FALSE(Exists(first));

    // And a server reading the form finds both parts.
    HttpServer server;
    EXPECT_EQ(DeliverPost(second, Options(server.Url())).outcome, Delivery::Sent);
    const auto requests = server.Requests();
    ASSERT_EQ(requests.size(), 1u);
    ASSERT_EQ(requests[0].parts.size(), 2u);
    const auto& body0 = requests[0].parts[0];
    const auto& header = requests[0].parts[1];
    EXPECT_EQ(header.name, "header");
    EXPECT_EQ(header.filename, "header.txt");
    EXPECT_EQ(header.contentType, "text/plain");
    EXPECT_EQ(header.content.rfind("To: bob@example.com\r\nFrom: \r\nSubject: Hi\r\n", 0), 0u);
    EXPECT_EQ(body0.name, "body");
    EXPECT_EQ(body0.filename, "in.zip");
    EXPECT_EQ(body0.contentType, "application/x-zip-compressed");
    // The post puts one CR LF more after the archive than the form needs.
    EXPECT_EQ(body0.content, archive + "\r\n");
}

// The sorting of answers beyond what the scenario through the program
// shows: only a 4xx other than 408 and 429 sets a post aside, and then the
// server's reason, not its own notification, makes the tray entry.
TEST_F(PostSenderTest, AnswersAreSortedIntoDeliveredWaitingAndSetAside) {
    struct Case {
        int status;
        Delivery outcome;
        const char* place; // "" removed, "outbox", "refused"
    };
    const Case cases[] = {
        {204, Delivery::Sent, ""},           {302, Delivery::Deferred, "outbox"},
        {404, Delivery::Refused, "refused"}, {408, Delivery::Deferred, "outbox"},
        {422, Delivery::Refused, "refused"}, {500, Delivery::Deferred, "outbox"},
    };
    HttpServer server;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.status);
        const std::string reason = "Reason " + std::to_string(c.status);
        server.Queue({c.status,
                      {{"Location", "/elsewhere"}, {"X-Brisa-Notify-Caption", "From the server"}},
                      reason + "\nmore"});
        const std::string name = "9903141529" + std::to_string(c.status % 100 + 10) + ".txt";
        const DeliveryResult result = DeliverPost(WritePost("b", name), Options(server.Url()));
        EXPECT_EQ(result.outcome, c.outcome);
        EXPECT_EQ(result.httpStatus, c.status);
        EXPECT_EQ(Exists(PostPath(name)), std::string(c.place) == "outbox");
        EXPECT_EQ(Exists(Outbox() + "/refused/" + name), std::string(c.place) == "refused");
        EXPECT_EQ(result.done.specialCaption,
                  c.outcome == Delivery::Refused ? RefusedCaption(reason) : "From the server");
    }
    EXPECT_EQ(server.Requests().size(), std::size(cases)); // the redirect was not followed
}

TEST_F(PostSenderTest, ServerNotificationTextIsCleanedUp) {
    HttpServer server;
    server.Queue({200,
                  {{"X-Brisa-Notify-Caption", "Gr\xFC\xDF"
                                              "e"}, // Windows-1252 bytes
                   {"X-Brisa-Notify-Time", "soon"}}});
    const DeliveryResult result = DeliverPost(WritePost("b"), Options(server.Url()));
    EXPECT_EQ(result.done.specialCaption, "Gr\xC3\xBC\xC3\x9F"
                                          "e");
    EXPECT_EQ(result.done.notifyTime, 0);
    EXPECT_EQ(result.done.specialTarget, "");
}

TEST_F(PostSenderTest, ADamagedOrUnreadablePostIsSetAsideUnsent) {
    HttpServer server;
    WriteFile(PostPath("990314152901.txt"),
              "User-Agent: BrisaMail Client\r\nContent-Length: 99\r\n\r\nshort");
    WriteFile(PostPath("990314152902.txt"), "User-Agent: BrisaMail Client\r\nno empty line");
    WriteFile(PostPath("990314152903.txt"), "not a header line\r\n\r\nbody");
    QDir().mkpath(QString::fromStdString(PostPath("990314152904.txt")));
    for (const std::string name :
         {"990314152901.txt", "990314152902.txt", "990314152903.txt", "990314152904.txt"}) {
        SCOPED_TRACE(name);
        const DeliveryResult result = DeliverPost(PostPath(name), Options(server.Url()));
        EXPECT_EQ(result.outcome,
                  name == "990314152904.txt" ? Delivery::Unreadable : Delivery::Damaged);
        EXPECT_EQ(result.done.specialCaption, DamagedCaption());
        EXPECT_EQ(result.done.specialTarget, Outbox() + "/refused");
        EXPECT_FALSE(Exists(PostPath(name)));
        EXPECT_TRUE(Exists(Outbox() + "/refused/" + name));
    }
    // A post of the same name set aside later keeps the first.
    WriteFile(PostPath("990314152901.txt"), "damaged again");
    DeliverPost(PostPath("990314152901.txt"), Options(server.Url()));
    EXPECT_EQ(ReadFile(Outbox() + "/refused/990314152901-2.txt"), "damaged again");
    EXPECT_TRUE(server.Requests().empty());
}

TEST_F(PostSenderTest, APostAnotherSenderHoldsIsLeftAlone) {
    HttpServer server;
    const std::string post = WritePost("b");
    const int fd = ::open(post.c_str(), O_RDONLY);
    ASSERT_EQ(::flock(fd, LOCK_EX), 0);
    const DeliveryResult result = DeliverPost(post, Options(server.Url()));
    ::close(fd);
    EXPECT_EQ(result.outcome, Delivery::Busy);
    EXPECT_EQ(result.done.specialCaption, "");
    EXPECT_TRUE(server.Requests().empty());
    EXPECT_TRUE(Exists(post));
}

// ---- proxies ------------------------------------------------------------------

TEST_F(PostSenderTest, ANamedProxyCarriesThePost) {
    HttpServer proxy;
    SenderOptions options = Options("http://brisa.invalid/post");
    options.proxy = "127.0.0.1:" + std::to_string(proxy.Port());
    EXPECT_EQ(DeliverPost(WritePost("b"), options).outcome, Delivery::Sent);
    const auto requests = proxy.Requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].target, "http://brisa.invalid/post");
    EXPECT_EQ(PartText(requests[0]), "b");
}

// ---- the outbox ---------------------------------------------------------------

TEST_F(PostSenderTest, OutboxIsSentOldestFirst) {
    HttpServer server;
    WritePost("third", "990314152909.txt");
    WritePost("first", "990101000000.txt");
    WritePost("second", "990314152907.txt");
    WriteFile(PostPath("notes.txt"), "not a post");
    WriteFile(PostPath(".990314152910.txt.Ab12Cd"), "a post being written");
    WriteFile(PostPath("9903141529070.txt"), "thirteen digits");

    bool allSent = false;
    const SenderDone done = DeliverOutbox(Outbox(), Options(server.Url()), &allSent);

    EXPECT_TRUE(allSent);
    EXPECT_EQ(done.status, "3 of 3 waiting messages sent");
    EXPECT_EQ(done.specialCaption, "");
    const auto requests = server.Requests();
    ASSERT_EQ(requests.size(), 3u);
    EXPECT_EQ(PartText(requests[0]), "first");
    EXPECT_EQ(PartText(requests[1]), "second");
    EXPECT_EQ(PartText(requests[2]), "third");
    EXPECT_FALSE(Exists(PostPath("990101000000.txt")));
    EXPECT_TRUE(Exists(PostPath("notes.txt")));
    EXPECT_TRUE(Exists(PostPath(".990314152910.txt.Ab12Cd")));
    EXPECT_TRUE(Exists(PostPath("9903141529070.txt")));
}

TEST_F(PostSenderTest, OutboxStopsAtTheFirstFailureToConnect) {
    RawServer server(RawMode::Drop);
    WritePost("1", "990101000001.txt");
    WritePost("2", "990101000002.txt");
    WritePost("3", "990101000003.txt");
    const SenderDone done = DeliverOutbox(Outbox(), Options(server.Url()));
    EXPECT_EQ(done.status.rfind("0 of 3 waiting messages sent (", 0), 0u) << done.status;
    EXPECT_EQ(server.Connections(), 1);
    EXPECT_EQ(done.specialCaption, WaitingCaption());
    EXPECT_TRUE(Exists(PostPath("990101000001.txt")));
    EXPECT_TRUE(Exists(PostPath("990101000002.txt")));
    EXPECT_TRUE(Exists(PostPath("990101000003.txt")));
}

// ---- the report line ------------------------------------------------------------

TEST(DoneLine, WritesFiveTabSeparatedFieldsOnOneLine) {
    SenderDone done;
    done.status = "line one\nline\ttwo\r";
    done.notifyTime = 30;
    done.specialCaption = "caption";
    done.specialTarget = "/home/ann/outbox";
    EXPECT_EQ(FormatDoneLine(done), "DONE\tline one line two \t30\tcaption\t/home/ann/outbox\n");

    SenderDone read;
    ASSERT_TRUE(ParseDoneLine(FormatDoneLine(done), read));
    EXPECT_EQ(read.status, "line one line two ");
    EXPECT_EQ(read.notifyTime, 30);
    EXPECT_EQ(read.specialCaption, "caption");
    EXPECT_EQ(read.specialTarget, "/home/ann/outbox");
}

} // namespace
} // namespace brisa
