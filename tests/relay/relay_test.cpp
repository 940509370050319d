// The relay: post bodies, good and hostile, byte for byte through its
// reading, checks and e-mail; the server on 127.0.0.1 with the sender's own
// posts, hostile requests, an SMTP server and slow clients; brisa-relay
// itself with accounts, limits, TLS and the loopback rule.
#include "relay/relay_server.h"
#include "sending/dynazip.h"
#include "sending/post_builder.h"
#include "sending/post_sender.h"
#include "settings/registry.h"
#include "tests/fakes/fakes.h"
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

#include <cmath>
#include <condition_variable>
#include <csignal>
#include <filesystem>
#include <functional>
#include <map>

namespace brisa {
namespace {

using test::ReadFile;

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

// A 16-bit mono 8 kHz wave: a tone with noise, so that it does not deflate to nothing.
std::string MakeWave(int pFrames) {
    std::string data;
    for (std::uint32_t frame = 0, noise = 1; frame < static_cast<std::uint32_t>(pFrames); ++frame) {
        noise = noise * 1103515245u + 12345u;
        const double tone = std::sin(frame * 0.35) * 0.5 + ((noise >> 16) & 0x3FF) / 8000.0;
        data += Le(static_cast<std::uint16_t>(static_cast<std::int16_t>(tone * 32767)), 2);
    }
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
    return ReadFile(path + "/in.zip");
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
    const auto at = pText.find(pFind);
    return at == std::string::npos ? "(no " + pFind + ")" : pText.replace(at, pFind.size(), pWith);
}

std::vector<std::string> FilesIn(const std::string& pFolder) {
    std::vector<std::string> files;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(pFolder, error))
        files.push_back(entry.path().filename().string());
    std::sort(files.begin(), files.end());
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
        for (std::size_t i = 0; parts.size() == 2 && i < parts[0].size(); ++i) {
            if (parts[0][i] != '=')
                note += parts[0][i];
            else if (parts[0].compare(i + 1, 2, "\r\n") != 0)
                note += static_cast<char>(std::stoi(parts[0].substr(i + 1, 2), nullptr, 16));
            i += parts[0][i] == '=' ? 2 : 0;
        }
        wave = parts.size() == 2 ? FromBase64(parts[1]) : std::string();
    }
    std::string Header(const std::string& pLowerName) const {
        const auto it = headers.find(pLowerName);
        return it == headers.end() ? std::string() : it->second;
    }
    std::multimap<std::string, std::string> headers; // names in lower case
    std::string note, wave;
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
        for (int i = pFirst; i < pFirst + pCount; ++i)
            text += "u" + std::to_string(i) + "@x.io; ";
        return text;
    };
    // A field of the archive's local header, and the same in its central directory.
    const std::size_t central = zip.find(std::string("PK\x01\x02", 4));
    auto zipWith = [&](std::size_t pAt, std::uint32_t pValue, int pWidth) {
        return PostBody(kRows, "n", Le(pValue, pWidth, zip, {pAt, central + pAt + 2}));
    };
    const auto second =
        good.find("--------BrisaPost\r\nContent-Disposition: form-data; name=\"body\"");
    const std::string header = good.substr(0, second);
    const std::string body = good.substr(second, good.rfind("--------BrisaPost--") - second);

    struct Row {
        std::string body, reason; // reason: "" for a body that is delivered
        std::function<void(const Mail&)> check = {};
    };
    const std::vector<Row> table = {
        // As the sender writes them: Windows-1252 text, ';' lists, the
        // user's name between quotes as it stands, the client's X- rows.
        {PostBody({"To: Bob <bob@example.com>; carl@example.org", "Cc: \"Smith; Dora\" <d@x.net>",
                   "From: \"Zo\xEB \"the boss\" Smith\" <ann@example.com>",
                   "Subject: Gr\xFC\xDF"
                   "e",
                   "Date: Sun, 14 Mar 1999 15:29 0100", "X-Return-Receipt: Yes",
                   "X-Mailer: BrisaMailer", "X-Brisa-Posted: forged"},
                  "Call me\r\nback. \x80", zip),
         "",
         [&](const Mail& pMail) {
             EXPECT_EQ(pMail.Header("to"), "\"Bob\" <bob@example.com>, carl@example.org");
             EXPECT_EQ(pMail.Header("cc"), "\"Smith; Dora\" <d@x.net>");
             EXPECT_EQ(pMail.Header("from"), "Zo\xC3\xAB \"the boss\" Smith <ann@example.com>");
             EXPECT_EQ(pMail.Header("subject"), "Gr\xC3\xBC\xC3\x9F"
                                                "e");
             EXPECT_EQ(pMail.Header("disposition-notification-to"), "ann@example.com");
             EXPECT_EQ(pMail.Header("x-mailer"), "BrisaMailer");
             EXPECT_EQ(pMail.headers.count("x-brisa-posted"), 1u);
             EXPECT_EQ(pMail.Header("x-brisa-posted"), "Sun, 14 Mar 1999 15:29 0100");
             EXPECT_NE(pMail.Header("date"), pMail.Header("x-brisa-posted"));
             EXPECT_EQ(pMail.note, "Call me\r\nback. \xE2\x82\xAC\r\n");
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
             EXPECT_EQ(pMail.note,
                       std::string(2048, 'n') + "\r\n" + std::string(1500, '=') + "\r\n");
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
        {header + "--------BrisaPost--\r\n", "only one part"},
        {body + header + "--------BrisaPost--\r\n", "wrong order"},
        {header + body + body + "--------BrisaPost--\r\n", "more than two parts"},
        {Replaced(good, "name=\"header\"", "name=\"head\""), "first part must be"},
        {Replaced(good, "application/x-zip-compressed", "text/html"), "archive part must be"},
        {Replaced(good, "Content-Type: text/plain\r\n", ""), "no Content-Type"},
        {Replaced(good, "text/plain\r\n", "text/plain\r\nTo: eve@x.io\r\n"), "unexpected line"},
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
        // The archive and the recording in it.
        {PostBody(kRows, "n", "PKzip"), "not a readable zip"},
        {PostBody(kRows, "n", ZipOf(std::string(3000, 'x'))), "not a WAVE"},
        {PostBody(kRows, "n", ZipOf(wave.substr(0, 1000))), "cut short"},
        {PostBody(kRows, "n", ZipOf(Le(0, 2, wave, {22}))), "0 channels"},
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
        const Mail mail(ReadFile(options.maildir + "/new/" + added.at(0)));
        EXPECT_LE(mail.longestLine, 998u);
        EXPECT_EQ(mail.wave, wave);
        row.check(mail);
    }
}

// ---- the server ------------------------------------------------------------------------

// A connection from pFrom (a loopback address) to 127.0.0.1:pPort.
int Connect(int pPort, const char* pFrom = "127.0.0.1") {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in from{AF_INET, 0, {}, {}}, to{AF_INET, htons(static_cast<uint16_t>(pPort)), {}, {}};
    ::inet_pton(AF_INET, pFrom, &from.sin_addr);
    ::inet_pton(AF_INET, "127.0.0.1", &to.sin_addr);
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
        const ssize_t n = ::poll(&p, 1, 100) > 0 ? ::recv(pFd, buffer, sizeof buffer, 0) : -2;
        if (n == -2)
            ++quiet;
        else if (n <= 0)
            break;
        else
            text.append(buffer, static_cast<std::size_t>(n));
    }
    return text;
}

struct HttpReply {
    int status = 0; // 0: no answer
    std::string head, body;
};

HttpReply SendRaw(int pPort, const std::string& pRequest, const char* pFrom = "127.0.0.1") {
    const int fd = Connect(pPort, pFrom);
    ::send(fd, pRequest.data(), pRequest.size(), MSG_NOSIGNAL);
    const std::string answer = ReadToEnd(fd);
    ::close(fd);
    const auto split = answer.find("\r\n\r\n");
    if (answer.rfind("HTTP/1.1 ", 0) != 0 || split == std::string::npos)
        return {};
    return {std::atoi(answer.c_str() + 9), answer.substr(0, split), answer.substr(split + 4)};
}

HttpReply PostBytes(int pPort, const std::string& pBody, const std::string& pHead = {},
                    const char* pFrom = "127.0.0.1") {
    return SendRaw(pPort,
                   "POST /post HTTP/1.1\r\nHost: x\r\nContent-Type: " + kPostType +
                       "\r\nContent-Length: " + std::to_string(pBody.size()) + "\r\n" + pHead +
                       "\r\n" + pBody,
                   pFrom);
}

// A RelayServer on a free port whose log the test reads.
class Relay {
public:
    explicit Relay(RelayOptions pOptions) {
        pOptions.log = [this](const std::string& pLine) {
            std::lock_guard<std::mutex> lock(m_Mutex);
            m_Log.push_back(pLine);
            m_Grew.notify_all();
        };
        pOptions.port = 0;
        m_Server = std::make_unique<RelayServer>(pOptions);
        std::string problem;
        EXPECT_TRUE(m_Server->Start(problem)) << problem;
    }
    int Port() const { return m_Server->Port(); }
    std::string Url() const { return "http://127.0.0.1:" + std::to_string(Port()) + "/post"; }
    // The log once it has pLines lines and one holds pText (the relay logs
    // a request after its answer; 30 s at most).
    std::vector<std::string> Log(std::size_t pLines, const std::string& pText = "") {
        std::unique_lock<std::mutex> lock(m_Mutex);
        m_Grew.wait_for(lock, std::chrono::seconds(30), [&] {
            return m_Log.size() >= pLines &&
                   std::any_of(m_Log.begin(), m_Log.end(), [&](const std::string& pLine) {
                       return pLine.find(pText) != std::string::npos;
                   });
        });
        return m_Log;
    }

private:
    std::mutex m_Mutex;
    std::condition_variable m_Grew;
    std::vector<std::string> m_Log;
    std::unique_ptr<RelayServer> m_Server;
};

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
    auto writePost = [&] {
        test::WriteFile(env.Path("in.zip"), ZipOf(wave));
        PostRequest request;
        request.to = "bob@example.com; carl@example.org";
        request.cc = "dora@example.net";
        request.returnReceipt = 1;
        request.programFolder = env.ProgramFolder();
        std::string subject = "Hello", file = env.Path("in.zip");
        EXPECT_EQ(BuildPost(request, subject, file), kPostWritten);
        return file;
    };
    RelayOptions options;
    options.maildir = env.Root() + "/Maildir";
    options.readTimeout = 1;
    auto relay = std::make_unique<Relay>(options);
    SenderOptions sender;
    sender.connectTo = relay->Url();

    // The sender's post: once it is answered, the message is in new/.
    const std::string post = writePost();
    std::vector<std::string> head;
    std::string body, problem;
    ASSERT_TRUE(SplitPost(ReadFile(post), head, body, problem)) << problem;
    EXPECT_EQ(DeliverPost(post, sender).outcome, Delivery::Sent);
    const auto stored = FilesIn(options.maildir + "/new");
    ASSERT_EQ(stored.size(), 1u);
    EXPECT_TRUE(FilesIn(options.maildir + "/tmp").empty());
    const Mail mail(ReadFile(options.maildir + "/new/" + stored[0]));
    EXPECT_EQ(mail.Header("from"), "Zo\xC3\xAB Smith <ann@example.com>");
    EXPECT_EQ(mail.Header("to"), "bob@example.com, carl@example.org");
    EXPECT_EQ(mail.Header("cc"), "dora@example.net");
    EXPECT_EQ(mail.Header("subject"), "Hello");
    EXPECT_EQ(mail.Header("disposition-notification-to"), "ann@example.com");
    EXPECT_EQ(mail.Header("x-mailer"), "BrisaMailer");
    EXPECT_EQ(mail.note, "Call me back.\r\n");
    EXPECT_EQ(mail.wave, wave);
    const std::string line = relay->Log(1, "stored").at(0);
    EXPECT_NE(line.find(" 127.0.0.1:"), std::string::npos) << line;
    EXPECT_NE(line.find("\"POST /post\" 200 stored new/" + stored[0]), std::string::npos) << line;

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
        {posted(type + "Content-Length: 0\r\n", ""), 400, "empty"},
        {posted(type + "Transfer-Encoding: chunked\r\n", "5\r\nhello\r\n0\r\n\r\n"), 400,
         "Transfer-Encoding"},
        {posted(type + "Content-Encoding: gzip\r\n" + length, body), 400, "Content-Encoding"},
        // Refused from the head alone, without waiting for the body.
        {posted(type + "Content-Length: 67108865\r\n", "--------BrisaPost\r\n"), 400, "64 MB"},
        // A body that stops short may be a broken connection: worth sending again.
        {posted(type + "Content-Length: 1" + length.substr(16), body), 408, "stopped short"},
        {posted(type + length, body, "/upload"), 404, "/post"},
        {"GET /post HTTP/1.1\r\nHost: x\r\n\r\n", 405, "Only POST"},
        {"PUT / HTTP/1.1\r\nHost: x\r\nContent-Length: 1\r\n\r\nx", 405, "Only POST"},
        {"NONSENSE\r\n\r\n", 400, "HTTP 400"},
    };
    for (const auto& exchange : exchanges) {
        const HttpReply reply = SendRaw(relay->Port(), exchange.request);
        EXPECT_EQ(reply.status, exchange.status) << exchange.request.substr(0, 200);
        EXPECT_NE(reply.body.find(exchange.reason), std::string::npos) << reply.body;
        EXPECT_NE(reply.head.find("Content-Type: text/plain"), std::string::npos) << reply.head;
    }
    EXPECT_EQ(FilesIn(options.maildir + "/new").size(), 3u);
    EXPECT_TRUE(FilesIn(options.maildir + "/tmp").empty());
    EXPECT_EQ(relay->Log(exchanges.size() + 1).size(), exchanges.size() + 1);

    // A Maildir that cannot be made: 503, and the sender keeps its post.
    test::WriteFile(env.Root() + "/blocker", "a file");
    options.maildir = env.Root() + "/blocker/Maildir";
    relay = std::make_unique<Relay>(options);
    sender.connectTo = relay->Url();
    const std::string waiting = writePost();
    EXPECT_EQ(DeliverPost(waiting, sender).outcome, Delivery::Deferred);
    EXPECT_TRUE(std::filesystem::exists(waiting));
    EXPECT_NE(relay->Log(1, "503").back().find("could not be stored"), std::string::npos);
    gRegistry = nullptr;
}

TEST(RelayServer, HandsTheMessageToAnSmtpServerAndPassesOnItsRefusals) {
    const std::string wave = MakeWave(4000), body = PostBody(kRows, "n", ZipOf(wave));
    struct Case {
        std::string reply; // to the message; "": no server
        int status;
        std::string says;
    };
    for (const auto& c :
         {Case{"250 OK queued", 200, "took the message"}, Case{"550 5.7.1 refused", 422, "550"},
          Case{"451 4.3.0 later", 503, "451"}, Case{"", 503, "SMTP"}}) {
        // An SMTP server for one session: it keeps what the client says.
        const int listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{AF_INET, 0, {htonl(INADDR_LOOPBACK)}, {}};
        socklen_t size = sizeof address;
        ::bind(listener, reinterpret_cast<sockaddr*>(&address), size);
        ::listen(listener, 1);
        ::getsockname(listener, reinterpret_cast<sockaddr*>(&address), &size);
        std::string said;
        std::thread smtp([&] {
            pollfd p{listener, POLLIN, 0};
            const int fd = c.reply.empty() || ::poll(&p, 1, 30000) <= 0
                               ? -1
                               : ::accept(listener, nullptr, nullptr);
            auto say = [&](std::string pLine) {
                pLine += "\r\n";
                ::send(fd, pLine.data(), pLine.size(), MSG_NOSIGNAL);
            };
            say("220 test.example ESMTP");
            char data[8192];
            bool message = false; // after DATA: up to the line with the dot
            std::size_t pos = 0;
            for (ssize_t n; fd >= 0 && (n = ::recv(fd, data, sizeof data, 0)) > 0;) {
                said.append(data, static_cast<std::size_t>(n));
                for (std::size_t end;
                     (end = said.find(message ? "\r\n.\r\n" : "\r\n", message ? pos - 2 : pos)) !=
                     std::string::npos;) {
                    const std::string verb = said.substr(pos, 4);
                    pos = end + (message ? 5 : 2);
                    say(message          ? c.reply
                        : verb == "DATA" ? "354 go on"
                        : verb == "QUIT" ? "221 bye"
                                         : "250 test.example");
                    message = !message && verb == "DATA";
                }
            }
            ::close(fd);
        });
        RelayOptions options;
        options.smtp.url =
            "smtp://127.0.0.1:" + std::to_string(c.reply.empty() ? 1 : ntohs(address.sin_port));
        Relay relay(options);
        const HttpReply reply = PostBytes(relay.Port(), body);
        smtp.join();
        ::close(listener);
        EXPECT_EQ(reply.status, c.status) << reply.body;
        EXPECT_NE(reply.body.find(c.says), std::string::npos) << reply.body;
        // The sender sets a refusal aside for good and keeps the others.
        EXPECT_EQ(RefusedForGood(reply.status), c.status == 422);
        if (c.reply.empty())
            continue;
        EXPECT_NE(said.find("MAIL FROM:<ann@example.com>\r\nRCPT TO:<bob@example.com>\r\nDATA\r\n"),
                  std::string::npos)
            << said;
        const auto start = said.find("DATA\r\n") + 6;
        EXPECT_EQ(Mail(said.substr(start, said.find("\r\n.\r\n") + 2 - start)).wave, wave);
    }
}

// A client that sends the start of a request, then waits or trickles.
class SlowClient {
public:
    SlowClient(int pPort, const std::string& pStart) : m_Fd(Connect(pPort)) { Send(pStart); }
    ~SlowClient() { ::close(m_Fd); }
    void Send(const std::string& pBytes) {
        ::send(m_Fd, pBytes.data(), pBytes.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
    }
    bool Ended() {
        pollfd p{m_Fd, POLLIN, 0};
        return ::poll(&p, 1, 0) > 0;
    }
    std::string Rest() { return ReadToEnd(m_Fd); }

private:
    int m_Fd;
};

TEST(RelayServer, StalledAndTricklingClientsAreCutOffSoOthersAreServed) {
    test::TempEnv env;
    RelayOptions options;
    options.maildir = env.Root() + "/Maildir";
    options.workers = 2;
    options.readTimeout = 1;
    options.headDeadline = 1;
    options.requestDeadline = 2;
    Relay relay(options);
    const std::string body = PostBody(kRows, "n", ZipOf(MakeWave(2000)));
    const std::string head = "POST /post HTTP/1.1\r\nHost: x\r\nContent-Type: " + kPostType +
                             "\r\nContent-Length: " + std::to_string(body.size()) + "\r\n\r\n";

    // Clients that send a byte now and then, well within the read timeout,
    // are ended by the deadlines (the loop is bounded; its length is not asserted).
    SlowClient headTrickle(relay.Port(), "POST /post HTTP/1.1\r\nHost: x\r\n");
    SlowClient bodyTrickle(relay.Port(), head + body.substr(0, 100));
    for (std::size_t i = 0; i < 300 && !(headTrickle.Ended() && bodyTrickle.Ended()); ++i) {
        headTrickle.Send("X");
        bodyTrickle.Send(body.substr(100 + i, 1));
        ::usleep(100000);
    }
    EXPECT_EQ(headTrickle.Rest(), "");             // no answer: its client tries again later
    const std::string answer = bodyTrickle.Rest(); // may be lost to the reset
    EXPECT_TRUE(answer.empty() || answer.rfind("HTTP/1.1 408", 0) == 0) << answer;
    relay.Log(1, "closed: the request head did not arrive within 1 s");
    relay.Log(1, "\"POST /post\" 408 The request took longer than 2 seconds");

    // Two clients that fall silent in their bodies take both workers; a
    // good post still gets through once the read timeout ends them.
    SlowClient silent(relay.Port(), head + body.substr(0, 50)), mute(relay.Port(), head);
    EXPECT_EQ(PostBytes(relay.Port(), body).status, 200);
    EXPECT_EQ(silent.Rest().rfind("HTTP/1.1 408", 0), 0u);
    EXPECT_EQ(mute.Rest().rfind("HTTP/1.1 408", 0), 0u);
    EXPECT_EQ(FilesIn(options.maildir + "/new").size(), 1u);
}

// brisa-relay, its standard error and output read together.
struct RelayProgram : QProcess {
    RelayProgram(const QStringList& pArguments, const std::string& pHome) {
        auto environment = QProcessEnvironment::systemEnvironment();
        environment.insert("XDG_DATA_HOME", QString::fromStdString(pHome));
        setProcessEnvironment(environment);
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
    const std::string home = env.Root(), accounts = home + "/accounts";
    const QString file = QString::fromStdString(accounts), port = "18311";
    auto htpasswd = [&](const std::string& pFlags, const std::string& pUser,
                        const std::string& pPassword) {
        return std::system(("htpasswd -b " + pFlags + " " + accounts + " " + pUser + " " +
                            pPassword + " 2>/dev/null")
                               .c_str());
    };
    ASSERT_EQ(htpasswd("-c -m", "md5@example.com", "x"), 0); // htpasswd's default kind of hash
    // Command lines it does not take, a relay others could reach without
    // accounts, an accounts file it cannot use.
    const std::vector<std::tuple<QStringList, int, std::string>> starts = {
        {{"--listen", "0.0.0.0"}, 2, "without --accounts FILE"},
        {{"--port", "70000"}, 2, "--port needs a number"},
        {{"--no-auth", "--accounts", file}, 2, "exclude each other"},
        {{"--smtp", "http://x"}, 2, "smtp://"},
        {{"--tls-key", "k.pem"}, 2, "both"},
        {{"--help"}, 0, "Usage: brisa-relay"},
        {{"--accounts", file, "--port", port},
         1,
         "line 1: the password of md5@example.com is an Apache MD5"}};
    for (const auto& [arguments, status, says] : starts) {
        RelayProgram relay(arguments, home);
        EXPECT_EQ(relay.Stop(0), status) << relay.output;
        EXPECT_NE(relay.output.find(says), std::string::npos) << relay.output;
    }

    ASSERT_EQ(htpasswd("-c -B", "ann@example.com", "s3cret"), 0);
    ASSERT_EQ(htpasswd("-B", "bob@example.org", "bobs-own"), 0);
    const std::string maildir = home + "/Maildir";
    auto relay = std::make_unique<RelayProgram>(
        QStringList{"--port", port, "--maildir", QString::fromStdString(maildir), "--accounts",
                    file, "--max-per-hour", "2"},
        home);
    ASSERT_TRUE(relay->Shows("listening on http://127.0.0.1:18311")) << relay->output;
    const std::string body = PostBody(kRows, "n", ZipOf(MakeWave(1000)));
    auto post = [&](const std::string& pLogin, const char* pFrom = "127.0.0.1") {
        const auto login = QByteArray::fromStdString(pLogin).toBase64().toStdString();
        return PostBytes(18311, body,
                         pLogin.empty() ? "" : "Authorization: Basic " + login + "\r\n", pFrom);
    };

    // No credentials, a wrong password, an unknown account: 401.
    for (const char* login : {"", "ann@example.com:wrong", "eve@example.com:s3cret"}) {
        const HttpReply reply = post(login);
        EXPECT_EQ(reply.status, 401) << reply.body;
        EXPECT_NE(reply.head.find("WWW-Authenticate: Basic realm=\"brisa-relay\""),
                  std::string::npos);
    }
    // An account sends only as its own address, and only so many posts an hour.
    EXPECT_EQ(post("bob@example.org:bobs-own").status, 403);
    EXPECT_EQ(post("ANN@example.com:s3cret").status, 200);
    EXPECT_EQ(post("ann@example.com:s3cret").status, 200);
    const HttpReply third = post("ann@example.com:s3cret");
    EXPECT_EQ(third.status, 429) << third.body;
    EXPECT_NE(third.head.find("Retry-After: "), std::string::npos);
    EXPECT_EQ(FilesIn(maildir + "/new").size(), 2u);
    // Five failed logins from one address turn it away, right password or
    // not; another address is still served.
    for (int i = 0; i < 3; ++i) // two failed above
        EXPECT_EQ(post("bob@example.org:guess").status, 401);
    EXPECT_EQ(post("bob@example.org:bobs-own").status, 429);
    EXPECT_EQ(post("bob@example.org:bobs-own", "127.0.0.2").status, 403);
    // SIGHUP reads the accounts again.
    ASSERT_EQ(htpasswd("-c -B", "ann@example.com", "new-one"), 0);
    ::kill(static_cast<pid_t>(relay->processId()), SIGHUP);
    ASSERT_TRUE(relay->Shows("read the accounts again")) << relay->output;
    EXPECT_EQ(post("ann@example.com:s3cret", "127.0.0.3").status, 401);
    EXPECT_EQ(relay->Stop(), 0);
    for (const char* secret : {"s3cret", "bobs-own", "new-one", "Basic "})
        EXPECT_EQ(relay->output.find(secret), std::string::npos) << relay->output;

    // HTTPS with a certificate made here, into the Maildir below the data home.
    const std::string cert = home + "/cert.pem", key = home + "/key.pem";
    ASSERT_EQ(std::system(("openssl req -x509 -newkey ec -pkeyopt ec_paramgen_curve:P-256 -nodes "
                           "-days 1 -subj /CN=127.0.0.1 -addext subjectAltName=IP:127.0.0.1 "
                           "-keyout " +
                           key + " -out " + cert + " 2>/dev/null")
                              .c_str()),
              0);
    relay = std::make_unique<RelayProgram>(QStringList{"--port", port, "--tls-cert",
                                                       QString::fromStdString(cert), "--tls-key",
                                                       QString::fromStdString(key)},
                                           home);
    ASSERT_TRUE(relay->Shows("listening on https://127.0.0.1:18311")) << relay->output;
    httplib::SSLClient client("127.0.0.1", 18311);
    client.set_ca_cert_path(cert.c_str());
    client.enable_server_certificate_verification(true);
    const auto answer = client.Post("/post", body, kPostType);
    ASSERT_TRUE(answer) << httplib::to_string(answer.error());
    EXPECT_EQ(answer->status, 200) << answer->body;
    EXPECT_EQ(FilesIn(home + "/brisamail/relay/Maildir/new").size(), 1u);
}

} // namespace
} // namespace brisa
