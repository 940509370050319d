// The relay: post bodies, good and hostile, byte for byte through its
// reading, checks and e-mail; the server on 127.0.0.1 with the sender's own
// posts, hostile requests, an SMTP server and slow clients; brisa-relay
// itself with accounts, limits, TLS and the loopback rule.
#include "relay/relay_accounts.h"
#include "relay/relay_server.h"
#include "sending/dynazip.h"
#include "sending/post_builder.h"
#include "sending/post_sender.h"
#include "settings/registry.h"
#include "tests/fakes/fakes.h"
#include "tests/sending/test_servers.h"
#include "tests/support/temp_env.h"

#include <gtest/gtest.h>
#include <httplib.h>

#include <QByteArray>
#include <QProcess>
#include <QTemporaryDir>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <functional>
#include <map>
#include <set>

namespace brisa {
namespace {

const std::string kPostType = "multipart/form-data; boundary=------BrisaPost";
const std::vector<std::string> kRows = {"To: bob@example.com", "From: ann@example.com",
                                        "Subject: s", "Date: Sun, 14 Mar 1999 15:29 0100"};

// ---- bytes -------------------------------------------------------------------------

// pValue little-endian in pWidth bytes, written over pBytes at each of pAt.
std::string Le(std::uint32_t pValue, int pWidth, std::string pBytes = {},
               std::vector<std::size_t> pAt = {0}) {
    pBytes.resize(std::max(pBytes.size(), static_cast<std::size_t>(pWidth)));
    for (auto at : pAt)
        for (int i = 0; i < pWidth; ++i)
            pBytes.at(at + static_cast<std::size_t>(i)) = static_cast<char>(pValue >> (8 * i));
    return pBytes;
}

// A 16-bit mono 8 kHz wave of noise, which does not deflate to nothing.
std::string MakeWave(int pFrames) {
    std::string data;
    for (std::uint32_t frame = 0, noise = 1; frame < static_cast<std::uint32_t>(pFrames); ++frame)
        data += Le((noise = noise * 1103515245u + 12345u) >> 16, 2);
    const auto size = static_cast<std::uint32_t>(data.size());
    return "RIFF" + Le(36 + size, 4) + "WAVEfmt " + Le(16, 4) + Le(1, 2) + Le(1, 2) + Le(8000, 4) +
           Le(16000, 4) + Le(2, 2) + Le(16, 2) + "data" + Le(size, 4) + data;
}

// The bytes packed by the sender's own zip writer.
std::string ZipOf(const std::string& pBytes) {
    QTemporaryDir folder;
    const std::string path = folder.path().toStdString();
    test::WriteFile(path + "/in.wav", pBytes);
    EXPECT_EQ(MakeZip(path + "/in.wav", path + "/in.zip"), kZipWritten);
    return test::ReadFile(path + "/in.zip");
}

// A post body as the sender writes it, from header rows without their CR LF.
std::string PostBody(const std::vector<std::string>& pRows, const std::string& pNote,
                     const std::string& pArchive) {
    std::string body = "--------BrisaPost\r\nContent-Disposition: form-data; name=\"header\"; "
                       "filename=\"header.txt\"\r\nContent-Type: text/plain\r\n\r\n";
    for (const auto& row : pRows)
        body += row + "\r\n";
    return body + "\r\n" + pNote +
           "\r\n\r\n--------BrisaPost\r\nContent-Disposition: form-data; name=\"body\"; "
           "filename=\"in.zip\"\r\nContent-Type: application/x-zip-compressed\r\n\r\n" +
           pArchive + "\r\n\r\n--------BrisaPost--\r\n";
}

std::string Replaced(std::string pText, const std::string& pFind, const std::string& pWith) {
    return pText.replace(pText.find(pFind), pFind.size(), pWith); // throws when pFind is missing
}

std::set<std::string> FilesIn(const std::string& pFolder) {
    std::set<std::string> files;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(pFolder, error))
        files.insert(entry.path().filename().string());
    return files;
}

std::string FromBase64(const std::string& pText) {
    return QByteArray::fromBase64(QByteArray::fromStdString(pText)).toStdString();
}

// An e-mail as the relay writes it: the header fields unfolded, their
// encoded words decoded, and the note and the recording out of their parts.
struct Mail {
    explicit Mail(const std::string& pMessage) {
        for (std::size_t pos = 0, eol; pos < pMessage.size();
             pos = eol == std::string::npos ? eol : eol + 2) {
            eol = pMessage.find("\r\n", pos);
            longestLine = std::max(longestLine, eol == std::string::npos ? eol : eol - pos);
        }
        std::string block = pMessage.substr(0, pMessage.find("\r\n\r\n")) + "\r\n";
        for (auto fold = block.find("\r\n "); fold != std::string::npos; fold = block.find("\r\n "))
            block.erase(fold, 2);
        for (std::size_t pos = 0, eol; (eol = block.find("\r\n", pos)) != std::string::npos;
             pos = eol + 2) {
            std::string name = block.substr(pos, block.find(':', pos) - pos), plain;
            std::string value = block.substr(pos + name.size() + 2, eol - pos - name.size() - 2);
            for (std::size_t at; (at = value.find("=?UTF-8?B?")) != std::string::npos;) {
                const auto end = value.find("?=", at + 10);
                if (value.find_first_not_of(' ') < at)
                    plain += value.substr(0, at);
                plain += FromBase64(value.substr(at + 10, end - at - 10));
                value.erase(0, end + 2);
            }
            std::transform(name.begin(), name.end(), name.begin(), ::tolower);
            headers.emplace(name, plain + value);
        }
        const std::string type = Header("content-type");
        const auto quote = type.find('"');
        const std::string boundary = "\r\n--" + type.substr(quote + 1, type.size() - quote - 2);
        std::vector<std::string> parts;
        for (auto at = pMessage.find(boundary); at != std::string::npos;) {
            const auto next = pMessage.find(boundary, at + 1),
                       start = pMessage.find("\r\n\r\n", at);
            if (next != std::string::npos)
                parts.push_back(pMessage.substr(start + 4, next - start - 4));
            at = next;
        }
        note = parts.size() == 2 ? parts[0] : std::string();
        wave = parts.size() == 2 ? FromBase64(parts[1]) : std::string();
    }
    std::string Header(const std::string& pLowerName) const {
        const auto it = headers.find(pLowerName);
        return it == headers.end() ? std::string() : it->second;
    }
    std::multimap<std::string, std::string> headers; // names in lower case
    std::string note, wave;      // the note as it stands (quoted-printable), the recording decoded
    std::size_t longestLine = 0; // npos when a line lacks its CR LF
};

// ---- reading a post ------------------------------------------------------------------

// Every body is either delivered whole, as an e-mail with the right rows and
// the recording intact, or refused with its reason and nothing stored.
TEST(RelayPosts, EachBodyIsDeliveredWholeOrRefusedWithItsReason) {
    test::TempEnv env;
    RelayOptions options;
    options.maildir = env.Root() + "/Maildir";
    const std::string wave = MakeWave(3000), zip = ZipOf(wave), good = PostBody(kRows, "n", zip);
    auto with = [&](std::vector<std::string> pMore, std::size_t pDrop = 99) {
        std::vector<std::string> rows = kRows;
        if (pDrop < rows.size())
            rows.erase(rows.begin() + static_cast<long>(pDrop));
        rows.insert(rows.end(), pMore.begin(), pMore.end());
        return PostBody(rows, "n", zip);
    };
    auto list = [](int pFirst, int pCount) {
        std::string text;
        while (pCount-- > 0)
            text += "u" + std::to_string(pFirst++) + "@x.io; ";
        return text;
    };
    // A field of the archive's local header, and the same in its central directory.
    const std::size_t central = zip.find(std::string("PK\x01\x02", 4));
    auto zipWith = [&](std::size_t pAt, std::uint32_t pValue, int pWidth) {
        return PostBody(kRows, "n", Le(pValue, pWidth, zip, {pAt, central + pAt + 2}));
    };
    auto waveWith = [&](std::size_t pAt, std::uint32_t pValue, int pWidth) {
        return PostBody(kRows, "n", ZipOf(Le(pValue, pWidth, wave, {pAt})));
    };
    const std::string archivePart =
        "--------BrisaPost\r\nContent-Disposition: form-data; name=\"body\"";

    struct Row {
        std::string body, reason; // reason: "" for a body that is delivered
        std::function<void(const Mail&)> check = {};
    };
    const std::vector<Row> table = {
        // As the sender writes them: Windows-1252 text, ';' lists, the
        // user's name between quotes as it stands, the client's X- rows.
        {PostBody({"To: Bob <bob@example.com>; carl@example.org", "Cc: \"Smith; Dora\" <d@x.net>",
                   "From: \"Zo\xEB \"the boss\" Smith\" <ann@example.com>",
                   "Subject: Gr\xFC\xDF\x65", "Date: Sun, 14 Mar 1999 15:29 0100",
                   "X-Return-Receipt: Yes", "X-Mailer: BrisaMailer", "X-Brisa-Posted: forged"},
                  "Call me\r\nback. \x80", zip),
         "",
         [&](const Mail& pMail) {
             EXPECT_EQ(pMail.Header("to"), "\"Bob\" <bob@example.com>, carl@example.org");
             EXPECT_EQ(pMail.Header("cc"), "\"Smith; Dora\" <d@x.net>");
             EXPECT_EQ(pMail.Header("from"), "Zo\xC3\xAB \"the boss\" Smith <ann@example.com>");
             EXPECT_EQ(pMail.Header("subject"), "Gr\xC3\xBC\xC3\x9F\x65");
             EXPECT_EQ(pMail.Header("disposition-notification-to"), "ann@example.com");
             EXPECT_EQ(pMail.headers.count("x-brisa-posted"), 1u);
             EXPECT_EQ(pMail.Header("x-brisa-posted"), "Sun, 14 Mar 1999 15:29 0100");
             EXPECT_NE(pMail.Header("date"), pMail.Header("x-brisa-posted"));
             EXPECT_EQ(pMail.note, "Call me\r\nback. =E2=82=AC\r\n");
         }},
        // The longest rows and the most recipients still make lines of at most 998.
        {PostBody({"To: " + std::string(900, 'x') + " <a@b.cc>; " + list(1, 59),
                   "Cc: " + list(60, 40), "From: a@b.cc", "Subject: " + std::string(3000, 's'),
                   "Date: " + std::string(992, 'd'), "X-Long: " + std::string(3000, 'x')},
                  std::string(2048, 'n') + "\r\n" + std::string(1500, '='), zip),
         "",
         [](const Mail& pMail) {
             EXPECT_EQ(pMail.Header("to").substr(0, 909), std::string(900, 'x') + " <a@b.cc>");
             EXPECT_EQ(pMail.Header("subject"), std::string(3000, 's'));
             EXPECT_EQ(pMail.Header("x-brisa-posted"), std::string(992, 'd'));
             EXPECT_EQ(pMail.Header("x-long"), std::string(3000, 'x'));
         }},
        {Replaced(good.substr(0, good.size() - 2), "x-zip-compressed", "zip"), "",
         [](const Mail& pMail) {
             EXPECT_EQ(pMail.headers.count("cc") + pMail.headers.count("x-return-receipt"), 0u);
         }},
        // The multipart frame.
        {"", "empty"},
        {"garbage", "does not begin with the boundary"},
        {Replaced(good, "--------BrisaPost\r\n", "--------BrisaPostX\r\n"), "does not begin"},
        {good.substr(0, good.size() - 5), "closing boundary"},
        {Replaced(good, "--------BrisaPost\r\nContent-Disposition: form-data; name=\"body\"",
                  "--------BrisaPost-X\r\nContent-Disposition: form-data; name=\"body\""),
         "boundary line after the header part is malformed"},
        {good.substr(0, good.find(archivePart)) + "--------BrisaPost--\r\n", "only one part"},
        {Replaced(good, "name=\"header\"", "name=\"body\""), "wrong order"},
        {Replaced(good, "\r\n--------BrisaPost--",
                  "\r\n" + archivePart + "\r\n\r\nx\r\n--------BrisaPost--"),
         "more than two parts"},
        {Replaced(good, "name=\"header\"", "name=\"head\""), "first part must be"},
        {Replaced(good, "application/x-zip-compressed", "text/html"), "archive part must be"},
        {Replaced(good, "Content-Type: text/plain\r\n", ""), "no Content-Type"},
        {Replaced(good, "text/plain\r\n", "text/plain\r\nTo: eve@x.io\r\n"), "unexpected line"},
        {Replaced(good, "text/plain\r\n", "text/plain\r\nContent-Type: x\r\n"), "two Content-Type"},
        {Replaced(good, "text/plain\r\n", "text/plain; charset\r\n"), "malformed"},
        {Replaced(good, "text/plain\r\n", "text/html\r\n"), "must be text/plain"},
        {Replaced(good, "name=\"header\"; ", ""), "has no name"},
        {Replaced(good, "header.txt\"", "header.txt\"; x=" + std::string(999, 'x')), "998"},
        {Replaced(good, "name=\"body\"", "name=\"header\""), "must come second"},
        {Replaced(good, "name=\"body\"", "name=\"other\""), "second part must be"},
        {Replaced(good, "\r\n\r\n--------BrisaPost--", "\r\n--------BrisaPost--"), "two CR LF"},
        // The header rows: nothing may slip into the e-mail's header.
        {with({}, 0), "no To line"},
        {with({"From: me"}, 1), "From line"},
        {with({"To: eve@x.io"}), "two To lines"},
        {with({"Bcc: eve@x.io"}), "unexpected header line"},
        {with({"X-Note: a\nBcc: eve@x.io"}), "control character"},
        {with({"Subject: s\rBcc: eve@x.io"}, 2), "control character"},
        {with({" Bcc: eve@x.io"}), "not of the form"},
        {with({"X-Long: " + std::string(64 * 1024, 'x')}), "at most 65536"},
        {with({"Cc: " + list(1, 100)}), "101 recipients"},
        {with({"Cc: a@b..cc"}), "no valid domain"},
        {with({"Cc: a@b.c!c"}), "no valid domain"},
        {with({}, 1), "no From line"},
        {with({}, 2), "no Subject line"},
        {with({}, 3), "no Date line"},
        {with({"From: "}, 1), "From line is empty"},
        {with({"Cc: a@b.cc>"}), "not an e-mail address"},
        {with({"Cc: @b.cc"}), "not an e-mail address"},
        {with({"Cc: <a@b.cc"}), "does not end with '>'"},
        {with({"Cc: \"open <a@b.cc>"}), "not properly quoted"},
        {with({"Cc: a@b\xE9.cc"}), "not allowed"},
        // The archive and the recording in it.
        {PostBody(kRows, "n", "PKzip"), "not a readable zip"},
        {PostBody(kRows, "n", ZipOf(std::string(3000, 'x'))), "not a WAVE"},
        {PostBody(kRows, "n", ZipOf(wave.substr(0, 1000))), "cut short"},
        {waveWith(20, 0, 2), "no sample format"},
        {waveWith(22, 0, 2), "0 channels"},
        {waveWith(24, 0, 4), "not sensible"},
        {waveWith(28, 9999, 4), "does not add up"},
        {waveWith(32, 0, 2), "block size is 0"},
        {waveWith(12, 0x6b6e756a, 4), "before its format"}, // "junk"
        {waveWith(36, 0x62746164, 4), "no sound data"},     // "datb"
        {waveWith(16, 0x7fffff00, 4), "runs past"},
        {PostBody(kRows, "n", ""), "archive is empty"},
        {PostBody(kRows, "n", Le('/', 1, zip, {35, central + 51})), "folder"},
        {zipWith(22, 1u << 30, 4), "at most 268435456"},
        {zipWith(22, static_cast<std::uint32_t>(central) * 1100 + 9000, 4), "cannot be"},
        {zipWith(6, 1, 2), "encrypted"},
        {zipWith(8, 12, 2), "compression method 12"},
        {zipWith(14, 0x12345678, 4), "damaged"},
    };
    std::size_t stored = 0;
    for (const auto& row : table) {
        SCOPED_TRACE(row.reason.empty() ? row.body.substr(0, 120) : row.reason);
        const auto before = FilesIn(options.maildir + "/new");
        const RelayAnswer answer = ProcessPost(options, "------BrisaPost", row.body);
        const auto after = FilesIn(options.maildir + "/new");
        EXPECT_TRUE(FilesIn(options.maildir + "/tmp").empty());
        if (!row.reason.empty()) {
            EXPECT_EQ(answer.status, 400);
            EXPECT_EQ(answer.text.rfind("Not a valid post: ", 0), 0u) << answer.text;
            EXPECT_NE(answer.text.find(row.reason), std::string::npos) << answer.text;
            EXPECT_EQ(after, before);
            continue;
        }
        ASSERT_EQ(answer.status, 200) << answer.text;
        ASSERT_EQ(after.size(), ++stored);
        std::vector<std::string> added;
        std::set_difference(after.begin(), after.end(), before.begin(), before.end(),
                            std::back_inserter(added));
        const Mail mail(test::ReadFile(options.maildir + "/new/" + added.at(0)));
        EXPECT_LE(mail.longestLine, 998u);
        EXPECT_EQ(mail.wave, wave);
        row.check(mail);
    }
    // A Maildir that cannot be made: 503, worth sending again.
    test::WriteFile(env.Root() + "/blocker", "a file");
    options.maildir = env.Root() + "/blocker/Maildir";
    EXPECT_EQ(ProcessPost(options, "------BrisaPost", good).status, 503);
}

// ---- the server ------------------------------------------------------------------------

// A connection from pFrom (a loopback address) to 127.0.0.1:pPort.
int Connect(int pPort, const char* pFrom = "127.0.0.1") {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in from{AF_INET, 0, {}, {}};
    sockaddr_in to{AF_INET, htons(static_cast<uint16_t>(pPort)), {htonl(INADDR_LOOPBACK)}, {}};
    ::inet_pton(AF_INET, pFrom, &from.sin_addr);
    EXPECT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&from), sizeof from), 0);
    EXPECT_EQ(::connect(fd, reinterpret_cast<sockaddr*>(&to), sizeof to), 0);
    return fd;
}

// What arrives on pFd until the other side closes (at most 30 s of silence).
std::string ReadToEnd(int pFd) {
    std::string text;
    char buffer[8192];
    for (int quiet = 0; quiet < 300;) {
        pollfd p{pFd, POLLIN, 0};
        if (::poll(&p, 1, 100) <= 0 && ++quiet)
            continue;
        const ssize_t n = ::recv(pFd, buffer, sizeof buffer, 0);
        if (n <= 0)
            break;
        text.append(buffer, static_cast<std::size_t>(n));
    }
    return text;
}

// The answer to pRequest, sent as it stands from pFrom (a loopback address).
std::string SendRaw(int pPort, const std::string& pRequest, const char* pFrom = "127.0.0.1") {
    const int fd = Connect(pPort, pFrom);
    ::send(fd, pRequest.data(), pRequest.size(), MSG_NOSIGNAL);
    const std::string answer = ReadToEnd(fd);
    ::close(fd);
    return answer;
}

std::string PostBytes(int pPort, const std::string& pBody, const std::string& pHead = {},
                      const char* pFrom = "127.0.0.1") {
    return SendRaw(pPort,
                   "POST /post HTTP/1.1\r\nHost: x\r\nContent-Type: " + kPostType +
                       "\r\nContent-Length: " + std::to_string(pBody.size()) + "\r\n" + pHead +
                       "\r\n" + pBody,
                   pFrom);
}

int Status(const std::string& pAnswer) { // 0: no answer
    return pAnswer.rfind("HTTP/1.1 ", 0) == 0 ? std::atoi(pAnswer.c_str() + 9) : 0;
}

// A RelayServer on a free port.
std::unique_ptr<RelayServer> StartRelay(RelayOptions pOptions) {
    pOptions.port = 0;
    auto relay = std::make_unique<RelayServer>(pOptions);
    std::string problem;
    EXPECT_TRUE(relay->Start(problem)) << problem;
    return relay;
}

TEST(RelayServer, APostFromTheSenderIsStoredAndEveryOtherRequestAnsweredWithItsReason) {
    test::TempEnv env;
    test::MemoryRegistry store;
    cRegistry settings(store, nullptr);
    gRegistry = &settings;
    for (const auto& [name, value] : std::map<std::string, std::string>{
             {"Email", "ann@example.com"}, {"Name", "Zo\xC3\xAB Smith"}, {"Note", "Call me back."}})
        store.Put(RootKey::LocalMachine, kProgramKey, name, value);
    std::filesystem::create_directories(env.Path("outbox"));
    const std::string wave = MakeWave(8000);
    test::WriteFile(env.Path("in.zip"), ZipOf(wave));
    PostRequest request;
    request.to = "bob@example.com; carl@example.org";
    request.cc = "dora@example.net";
    request.programFolder = env.ProgramFolder();
    std::string subject = "Hello", post = env.Path("in.zip");
    ASSERT_EQ(BuildPost(request, subject, post), kPostWritten);
    RelayOptions options;
    options.maildir = env.Root() + "/Maildir";
    options.readTimeout = 1;
    const auto relay = StartRelay(options);
    SenderOptions sender;
    sender.connectTo = "http://127.0.0.1:" + std::to_string(relay->Port()) + "/post";

    // The sender's post: once it is answered, the message is in new/.
    std::vector<std::string> head;
    std::string body, problem;
    ASSERT_TRUE(SplitPost(test::ReadFile(post), head, body, problem)) << problem;
    EXPECT_EQ(DeliverPost(post, sender).outcome, Delivery::Sent);
    const auto stored = FilesIn(options.maildir + "/new");
    ASSERT_EQ(stored.size(), 1u);
    const Mail mail(test::ReadFile(options.maildir + "/new/" + *stored.begin()));
    EXPECT_EQ(mail.Header("from"), "Zo\xC3\xAB Smith <ann@example.com>");
    EXPECT_EQ(mail.Header("to"), "bob@example.com, carl@example.org");
    EXPECT_EQ(mail.Header("subject"), "Hello");
    EXPECT_EQ(mail.note, "Call me back.\r\n");
    EXPECT_EQ(mail.wave, wave);

    // Requests as they come over the wire.
    const std::string type = "Content-Type: " + kPostType + "\r\n";
    const std::string length = "Content-Length: " + std::to_string(body.size()) + "\r\n";
    auto posted = [](const std::string& pHead, const std::string& pBody,
                     const char* pPath = "/post") {
        return "POST " + std::string(pPath) + " HTTP/1.1\r\nHost: x\r\n" + pHead + "\r\n" + pBody;
    };
    const std::string quoted = "Content-Type: Multipart/Form-Data; boundary=\"------BrisaPost\"";
    struct Exchange {
        std::string request;
        int status;
        std::string reason;
    };
    const std::vector<Exchange> exchanges = {
        {posted(type + length, body, "/"), 200, "stored"},
        {posted(quoted + "\r\n" + length, body), 200, "stored"},
        {posted(Replaced(type, "Post", "Pos") + length, body), 400, "does not begin"},
        {posted(Replaced(type, "; boundary=------BrisaPost", "") + length, body), 400, "boundary"},
        {posted("Content-Type: text/plain\r\n" + length, body), 400, "multipart/form-data"},
        {posted(type + type + length, body), 400, "more than one Content-Type"},
        {posted(type, body), 400, "no Content-Length"},
        {posted(type + length + length, body), 400, "more than one Content-Length"},
        {posted(type + "Content-Length: 12abc\r\n", body), 400, "not a number"},
        {posted(type + "Transfer-Encoding: chunked\r\n", "5\r\nhello\r\n0\r\n\r\n"), 400,
         "Transfer-Encoding"},
        {posted(type + "Content-Encoding: gzip\r\n" + length, body), 400, "Content-Encoding"},
        // Refused from the head alone, without waiting for the body.
        {posted(type + "Content-Length: 67108865\r\n", "--------BrisaPost\r\n"), 400, "64 MB"},
        // A body that stops short may be a broken connection: worth sending again.
        {posted(type + "Content-Length: 1" + length.substr(16), body), 408, "stopped short"},
        {posted(type + length, body, "/upload"), 404, "/post"},
        {"GET /post HTTP/1.1\r\nHost: x\r\n\r\n", 405, "Only POST"},
        {"NONSENSE\r\n\r\n", 400, "HTTP 400"},
    };
    for (const auto& exchange : exchanges) {
        const std::string reply = SendRaw(relay->Port(), exchange.request);
        EXPECT_EQ(Status(reply), exchange.status) << exchange.request.substr(0, 200);
        EXPECT_NE(reply.find(exchange.reason), std::string::npos) << reply;
        EXPECT_NE(reply.find("Content-Type: text/plain"), std::string::npos) << reply;
    }
    EXPECT_EQ(FilesIn(options.maildir + "/new").size(), 3u);
    EXPECT_TRUE(FilesIn(options.maildir + "/tmp").empty());

    gRegistry = nullptr;
}

TEST(RelayServer, HandsTheMessageToAnSmtpServerAndPassesOnItsRefusals) {
    const std::string wave = MakeWave(4000), body = PostBody(kRows, "n", ZipOf(wave));
    struct Case {
        std::string reply; // to the message
        int status;
        std::string says;
    };
    for (const auto& c :
         {Case{"250 OK queued", 200, "took the message"}, Case{"550 5.7.1 refused", 422, "550"},
          Case{"451 4.3.0 later", 503, "451"}}) {
        // An SMTP server for one session of one message; it keeps what the client says.
        int port = 0;
        const int listener = test::ListenOnLoopback(port, 1);
        std::string said;
        std::thread smtp([&] {
            pollfd p{listener, POLLIN, 0};
            const int fd = ::poll(&p, 1, 30000) <= 0 ? -1 : ::accept(listener, nullptr, nullptr);
            char data[8192];
            std::size_t pos = 0;
            // The greeting, then EHLO, MAIL, RCPT, DATA, the message and QUIT.
            const std::string replies[] = {"220 test.example", "250 test.example", "250 OK",
                                           "250 OK",           "354 go on",        c.reply,
                                           "221 bye"};
            for (const std::string& reply : replies) {
                const std::string until = &reply == replies       ? ""
                                          : &reply == &replies[5] ? "\r\n.\r\n"
                                                                  : "\r\n";
                for (ssize_t n = 1; fd >= 0 && n > 0 && said.find(until, pos) == std::string::npos;)
                    said.append(data, static_cast<std::size_t>(std::max<ssize_t>(
                                          0, n = ::recv(fd, data, sizeof data, 0))));
                pos = said.find(until, pos) + until.size();
                ::send(fd, (reply + "\r\n").data(), reply.size() + 2, MSG_NOSIGNAL);
            }
            ::close(fd);
        });
        RelayOptions options;
        options.smtp.url = "smtp://127.0.0.1:" + std::to_string(port);
        const std::string reply = PostBytes(StartRelay(options)->Port(), body);
        smtp.join();
        ::close(listener);
        EXPECT_EQ(Status(reply), c.status) << reply;
        EXPECT_NE(reply.find(c.says), std::string::npos) << reply;
        // The sender sets a refusal aside for good and keeps the others.
        EXPECT_EQ(RefusedForGood(Status(reply)), c.status == 422);
        EXPECT_NE(said.find("MAIL FROM:<ann@example.com>\r\nRCPT TO:<bob@example.com>\r\nDATA\r\n"),
                  std::string::npos)
            << said;
        const auto start = said.find("DATA\r\n") + 6;
        EXPECT_EQ(Mail(said.substr(start, said.find("\r\n.\r\n") + 2 - start)).wave, wave);
    }
}

// A client that sends the start of a request, then waits or trickles.
struct SlowClient {
    SlowClient(int pPort, const std::string& pStart) : fd(Connect(pPort)) { Send(pStart); }
    ~SlowClient() { ::close(fd); }
    void Send(const std::string& pBytes) { ::send(fd, pBytes.data(), pBytes.size(), MSG_NOSIGNAL); }
    bool Ended() {
        pollfd p{fd, POLLIN, 0};
        return ::poll(&p, 1, 0) > 0;
    }
    int fd;
};

TEST(RelayServer, StalledAndTricklingClientsAreCutOffSoOthersAreServed) {
    test::TempEnv env;
    RelayOptions options;
    options.maildir = env.Root() + "/Maildir";
    options.workers = 2;
    options.readTimeout = 1;
    options.headDeadline = 1;
    options.requestDeadline = 2;
    const auto relay = StartRelay(options);
    const std::string body = PostBody(kRows, "n", ZipOf(MakeWave(2000)));
    const std::string head = "POST /post HTTP/1.1\r\nHost: x\r\nContent-Type: " + kPostType +
                             "\r\nContent-Length: " + std::to_string(body.size()) + "\r\n\r\n";

    // Clients that send a byte now and then, well within the read timeout,
    // are ended by the deadlines (the loop is bounded; its length is not asserted).
    SlowClient headTrickle(relay->Port(), "POST /post HTTP/1.1\r\nHost: x\r\n");
    SlowClient bodyTrickle(relay->Port(), head + body.substr(0, 100));
    for (std::size_t i = 0; i < 300 && !(headTrickle.Ended() && bodyTrickle.Ended()); ++i) {
        headTrickle.Send("X");
        bodyTrickle.Send(body.substr(100 + i, 1));
        ::usleep(100000);
    }
    EXPECT_EQ(ReadToEnd(headTrickle.fd), "");             // no answer: its client tries again later
    const std::string answer = ReadToEnd(bodyTrickle.fd); // may be lost to the reset
    EXPECT_TRUE(answer.empty() || answer.rfind("HTTP/1.1 408", 0) == 0) << answer;

    // Two clients that fall silent in their bodies take both workers; a
    // good post still gets through once the read timeout ends them.
    SlowClient silent(relay->Port(), head + body.substr(0, 50)), mute(relay->Port(), head);
    EXPECT_EQ(Status(PostBytes(relay->Port(), body)), 200);
    EXPECT_EQ(Status(ReadToEnd(silent.fd)), 408);
    EXPECT_EQ(Status(ReadToEnd(mute.fd)), 408);
    EXPECT_EQ(FilesIn(options.maildir + "/new").size(), 1u);
}

// brisa-relay, its standard error and output read together.
struct RelayProgram : QProcess {
    RelayProgram(const std::string& pHome, const QStringList& pArguments) {
        auto environment = QProcessEnvironment::systemEnvironment();
        environment.insert("XDG_DATA_HOME", QString::fromStdString(pHome));
        setProcessEnvironment(environment);
        setWorkingDirectory(QString::fromStdString(pHome));
        setProcessChannelMode(QProcess::MergedChannels);
        start(BRISA_TEST_RELAY, pArguments);
    }
    ~RelayProgram() override { Stop(); }
    bool Shows(const std::string& pText) {
        for (int i = 0; i < 300 && output.find(pText) == std::string::npos; ++i)
            if (waitForReadyRead(100) || state() == NotRunning)
                output += readAll().toStdString();
        return output.find(pText) != std::string::npos;
    }
    int Stop(int pSignal = SIGTERM) {
        if (state() != NotRunning && pSignal)
            ::kill(static_cast<pid_t>(processId()), pSignal);
        waitForFinished(30000);
        output += readAll().toStdString();
        return exitCode();
    }
    std::string output;
};

TEST(RelayProgram, KeepsItsAccountsLimitsTlsAndTheLoopbackRule) {
    test::TempEnv env;
    const std::string home = env.Root();
    // The accounts file and the certificate come from the tools an owner uses.
    auto shell = [&](const std::string& pCommand) {
        return std::system(("cd " + home + " && " + pCommand + " 2>/dev/null").c_str());
    };
    ASSERT_EQ(shell("htpasswd -cbm accounts md5@example.com x"), 0); // its default kind of hash
    // Command lines it does not take, a relay others could reach without
    // accounts, an accounts file it cannot use.
    const std::vector<std::tuple<QStringList, int, std::string>> starts = {
        {{"--listen", "0.0.0.0", "--smtp", "smtps://mail.example.com"}, 2, "without --accounts"},
        {{"--verbose"}, 2, "unknown argument"},
        {{"--maildir="}, 2, "needs a value"},
        {{"--port"}, 2, "needs a value"},
        {{"--max-per-hour", "-1"}, 2, "from 0"},
        {{"--listen", "192.0.2.1", "--no-auth", "--port", "18311"}, 1, "cannot listen"},
        {{"--listen", "[::1]", "--accounts", "/none"}, 1, "cannot read the accounts file"},
        {{"--tls-cert", "/none", "--tls-key", "/none", "--port", "18311"}, 1, "cannot read"},
        {{"--no-auth", "--accounts", "accounts"}, 2, "exclude each other"},
        {{"--smtp", "http://x"}, 2, "smtp://"},
        {{"--help"}, 0, "Usage: brisa-relay"},
        {{"--accounts", "accounts", "--port", "18311"},
         1,
         "line 1: the password of md5@example.com is an Apache MD5"}};
    for (const auto& [arguments, status, says] : starts) {
        RelayProgram relay(home, arguments);
        EXPECT_EQ(relay.Stop(0), status) << relay.output;
        EXPECT_NE(relay.output.find(says), std::string::npos) << relay.output;
    }

    ASSERT_EQ(shell("htpasswd -cbB accounts ann@example.com s3cret && "
                    "htpasswd -bB accounts bob@example.org bobs-own"),
              0);
    auto relay = std::make_unique<RelayProgram>(
        home, QStringList{"--port", "18311", "--maildir", "Maildir", "--accounts", "accounts",
                          "--max-per-hour", "2"});
    ASSERT_TRUE(relay->Shows("listening on http://127.0.0.1:18311")) << relay->output;
    const std::string body = PostBody(kRows, "n", ZipOf(MakeWave(1000)));
    auto post = [&](const std::string& pLogin, const char* pFrom = "127.0.0.1") {
        const auto login = QByteArray::fromStdString(pLogin).toBase64().toStdString();
        const bool raw = pLogin.empty() || pLogin.back() == '\n'; // header lines as they stand
        return PostBytes(18311, body, raw ? pLogin : "Authorization: Basic " + login + "\r\n",
                         pFrom);
    };

    // No credentials, a wrong password, an unknown account, credentials of
    // another kind: 401 (only the wrong password and the unknown account are failed logins).
    for (const char* login : {"", "ann@example.com:wrong", "eve@example.com:s3cret",
                              "Authorization: Bearer YTpi\r\n", "Authorization: Basic YWJj\r\n",
                              "Authorization: Basic #\r\n", "Expect: 100-continue\r\n"}) {
        const std::string reply = post(login);
        EXPECT_EQ(Status(reply), 401) << reply;
        EXPECT_NE(reply.find("WWW-Authenticate: Basic realm=\"brisa-relay\""), std::string::npos);
    }
    // An account sends only as its own address, and only so many posts an hour.
    EXPECT_EQ(Status(post("bob@example.org:bobs-own")), 403);
    EXPECT_EQ(Status(post("ANN@example.com:s3cret")), 200);
    EXPECT_EQ(Status(post("ann@example.com:s3cret")), 200);
    const std::string third = post("ann@example.com:s3cret");
    EXPECT_EQ(Status(third), 429) << third;
    EXPECT_NE(third.find("Retry-After: "), std::string::npos);
    EXPECT_EQ(FilesIn(home + "/Maildir/new").size(), 2u);
    // Five failed logins from one address turn it away, right password or
    // not; another address is still served.
    for (int i = 0; i < 3; ++i) // two failed above
        EXPECT_EQ(Status(post("bob@example.org:guess")), 401);
    EXPECT_EQ(Status(post("bob@example.org:bobs-own")), 429);
    EXPECT_EQ(Status(post("bob@example.org:bobs-own", "127.0.0.2")), 403);
    // SIGHUP reads the accounts again.
    ASSERT_EQ(shell("htpasswd -cbB accounts ann@example.com new-one"), 0);
    ::kill(static_cast<pid_t>(relay->processId()), SIGHUP);
    ASSERT_TRUE(relay->Shows("read the accounts again")) << relay->output;
    EXPECT_EQ(Status(post("ann@example.com:s3cret", "127.0.0.3")), 401);
    EXPECT_EQ(relay->Stop(), 0);
    // One line a request, with the account; never a password.
    EXPECT_NE(relay->output.find("\"POST /post\" 200 stored new/"), std::string::npos);
    EXPECT_NE(relay->output.find("[ann@example.com]"), std::string::npos) << relay->output;
    for (const char* secret : {"s3cret", "bobs-own", "new-one", "Basic "})
        EXPECT_EQ(relay->output.find(secret), std::string::npos) << relay->output;

    // HTTPS with a certificate made here, into the Maildir below the data home.
    ASSERT_EQ(shell("openssl req -x509 -newkey ec -pkeyopt ec_paramgen_curve:P-256 -nodes -days 1 "
                    "-subj /CN=127.0.0.1 -addext subjectAltName=IP:127.0.0.1 -keyout key.pem -out "
                    "cert.pem"),
              0);
    relay = std::make_unique<RelayProgram>(
        home, QStringList{"--port", "18311", "--tls-cert", "cert.pem", "--tls-key", "key.pem"});
    ASSERT_TRUE(relay->Shows("listening on https://127.0.0.1:18311")) << relay->output;
    httplib::SSLClient client("127.0.0.1", 18311);
    client.set_ca_cert_path((home + "/cert.pem").c_str());
    client.enable_server_certificate_verification(true);
    const auto answer = client.Post("/post", body, kPostType);
    ASSERT_TRUE(answer) << httplib::to_string(answer.error());
    EXPECT_EQ(answer->status, 200) << answer->body;
    EXPECT_EQ(FilesIn(home + "/brisamail/relay/Maildir/new").size(), 1u);
}

} // namespace
} // namespace brisa
