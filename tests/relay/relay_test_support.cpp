#include "tests/relay/relay_test_support.h"

#include <crypt.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>
#include <zlib.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <functional>

namespace brisa::test {

// ---- wave files and zip archives ---------------------------------------------------

std::string Le16(unsigned pValue) {
    std::string out(2, '\0');
    out[0] = static_cast<char>(pValue & 0xFF);
    out[1] = static_cast<char>((pValue >> 8) & 0xFF);
    return out;
}

std::string Le32(std::uint32_t pValue) {
    std::string out(4, '\0');
    for (int i = 0; i < 4; ++i)
        out[static_cast<std::size_t>(i)] = static_cast<char>((pValue >> (8 * i)) & 0xFF);
    return out;
}

std::string MakeWave(int pFrames, int pRate, int pChannels, int pBits) {
    const int bytesPerSample = pBits / 8;
    const unsigned blockAlign = static_cast<unsigned>(pChannels * bytesPerSample);
    std::string data;
    std::uint32_t noise = 12345;
    for (int frame = 0; frame < pFrames; ++frame) {
        for (int channel = 0; channel < pChannels; ++channel) {
            noise = noise * 1103515245u + 12345u;
            const double tone = std::sin(2.0 * M_PI * 440.0 * frame / pRate) * 0.5 +
                                (static_cast<double>((noise >> 16) & 0x3FF) / 1023.0 - 0.5) * 0.2;
            if (pBits == 8) {
                data += static_cast<char>(static_cast<unsigned char>(128 + tone * 127));
            } else {
                const auto sample = static_cast<std::int16_t>(tone * 32767);
                data += Le16(static_cast<std::uint16_t>(sample));
            }
        }
    }
    std::string fmt = Le16(1) + Le16(static_cast<unsigned>(pChannels)) +
                      Le32(static_cast<std::uint32_t>(pRate)) +
                      Le32(static_cast<std::uint32_t>(pRate) * blockAlign) + Le16(blockAlign) +
                      Le16(static_cast<unsigned>(pBits));
    std::string chunks = "fmt " + Le32(16) + fmt + "data" +
                         Le32(static_cast<std::uint32_t>(data.size())) + data;
    if (data.size() % 2)
        chunks += '\0';
    return "RIFF" + Le32(static_cast<std::uint32_t>(4 + chunks.size())) + "WAVE" + chunks;
}

std::string WaveWithData(const std::string& pData) {
    const std::string fmt = Le16(1) + Le16(1) + Le32(8000) + Le32(16000) + Le16(2) + Le16(16);
    std::string chunks = "fmt " + Le32(16) + fmt + "data" +
                         Le32(static_cast<std::uint32_t>(pData.size())) + pData;
    if (pData.size() % 2)
        chunks += '\0';
    return "RIFF" + Le32(static_cast<std::uint32_t>(4 + chunks.size())) + "WAVE" + chunks;
}

namespace {

struct Compressed {
    std::string bytes;
    std::uint32_t crc = 0;
    std::uint64_t size = 0;
};

Compressed Deflate(const std::string& pData) {
    Compressed out;
    out.size = pData.size();
    out.crc = static_cast<std::uint32_t>(
        crc32(0, reinterpret_cast<const Bytef*>(pData.data()), static_cast<uInt>(pData.size())));
    z_stream z{};
    deflateInit2(&z, 6, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY);
    out.bytes.resize(deflateBound(&z, static_cast<uLong>(pData.size())) + 16);
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(pData.data()));
    z.avail_in = static_cast<uInt>(pData.size());
    z.next_out = reinterpret_cast<Bytef*>(out.bytes.data());
    z.avail_out = static_cast<uInt>(out.bytes.size());
    deflate(&z, Z_FINISH);
    out.bytes.resize(z.total_out);
    deflateEnd(&z);
    return out;
}

std::string Archive(const std::vector<std::pair<ZipEntry, Compressed>>& pEntries) {
    std::string zip, central;
    for (const auto& [entry, data] : pEntries) {
        const auto offset = static_cast<std::uint32_t>(zip.size());
        const auto claimed = static_cast<std::uint32_t>(entry.claimedSize.value_or(data.size));
        const std::string common = Le16(entry.flags) + Le16(entry.method) + Le16(0) + Le16(0x21) +
                                   Le32(data.crc) +
                                   Le32(static_cast<std::uint32_t>(data.bytes.size())) +
                                   Le32(claimed) +
                                   Le16(static_cast<unsigned>(entry.name.size())) + Le16(0);
        zip += Le32(0x04034b50) + Le16(20) + common + entry.name + data.bytes;
        central += Le32(0x02014b50) + Le16(20) + Le16(20) + common + Le16(0) + Le16(0) + Le16(0) +
                   Le32(0) + Le32(offset) + entry.name;
    }
    const auto centralOffset = static_cast<std::uint32_t>(zip.size());
    zip += central;
    zip += Le32(0x06054b50) + Le16(0) + Le16(0) + Le16(static_cast<unsigned>(pEntries.size())) +
           Le16(static_cast<unsigned>(pEntries.size())) +
           Le32(static_cast<std::uint32_t>(central.size())) + Le32(centralOffset) + Le16(0);
    return zip;
}

} // namespace

std::string MakeZipBytes(const std::vector<ZipEntry>& pEntries) {
    std::vector<std::pair<ZipEntry, Compressed>> entries;
    for (const auto& entry : pEntries) {
        Compressed data;
        if (entry.method == 8) {
            data = Deflate(entry.data);
        } else {
            data.bytes = entry.data;
            data.size = entry.data.size();
            data.crc = static_cast<std::uint32_t>(
                crc32(0, reinterpret_cast<const Bytef*>(entry.data.data()),
                      static_cast<uInt>(entry.data.size())));
        }
        entries.emplace_back(entry, std::move(data));
    }
    return Archive(entries);
}

std::string ZeroBombZip(std::uint64_t pZeros, std::uint64_t pClaimed) {
    Compressed data;
    data.size = pZeros;
    const std::string zeros(1 << 20, '\0');
    z_stream z{};
    deflateInit2(&z, 1, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY);
    std::string out(1 << 16, '\0');
    auto pump = [&](const char* pData, std::size_t pSize, int pFlush) {
        z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(pData));
        z.avail_in = static_cast<uInt>(pSize);
        do {
            z.next_out = reinterpret_cast<Bytef*>(out.data());
            z.avail_out = static_cast<uInt>(out.size());
            deflate(&z, pFlush);
            data.bytes.append(out.data(), out.size() - z.avail_out);
        } while (z.avail_out == 0);
    };
    const uLong zeroCrc = crc32(0, reinterpret_cast<const Bytef*>(zeros.data()),
                                static_cast<uInt>(zeros.size()));
    uLong crc = 0;
    std::uint64_t left = pZeros;
    while (left > 0) {
        const std::size_t piece = static_cast<std::size_t>(std::min<std::uint64_t>(left, zeros.size()));
        pump(zeros.data(), piece, Z_NO_FLUSH);
        crc = piece == zeros.size()
                  ? crc32_combine(crc, zeroCrc, static_cast<z_off_t>(piece))
                  : crc32(crc, reinterpret_cast<const Bytef*>(zeros.data()), static_cast<uInt>(piece));
        left -= piece;
    }
    pump(nullptr, 0, Z_FINISH);
    deflateEnd(&z);
    data.crc = static_cast<std::uint32_t>(crc);
    ZipEntry entry;
    entry.claimedSize = pClaimed;
    return Archive({{entry, data}});
}

// ---- a post body -----------------------------------------------------------------

std::string PostBody(const std::vector<std::string>& pHeaderLines, const std::string& pNote,
                     const std::string& pArchive, const std::string& pBoundary) {
    std::string body = "--" + pBoundary + "\r\n" +
                       "Content-Disposition: form-data; name=\"header\"; filename=\"header.txt\"\r\n"
                       "Content-Type: text/plain\r\n\r\n";
    for (const auto& line : pHeaderLines)
        body += line + "\r\n";
    body += "\r\n" + pNote + "\r\n\r\n";
    body += "--" + pBoundary + "\r\n" +
            "Content-Disposition: form-data; name=\"body\"; filename=\"in.zip\"\r\n"
            "Content-Type: application/x-zip-compressed\r\n\r\n" +
            pArchive + "\r\n\r\n--" + pBoundary + "--\r\n";
    return body;
}

// ---- HTTP --------------------------------------------------------------------------

HttpReply SendRaw(int pPort, const std::string& pRequest, bool pHalfClose, const char* pFrom) {
    HttpReply reply;
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return reply;
    if (pFrom) {
        sockaddr_in source{};
        source.sin_family = AF_INET;
        ::inet_pton(AF_INET, pFrom, &source.sin_addr);
        if (::bind(fd, reinterpret_cast<sockaddr*>(&source), sizeof source) != 0) {
            ::close(fd);
            return reply;
        }
    }
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(static_cast<uint16_t>(pPort));
    if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        ::close(fd);
        return reply;
    }
    std::size_t sent = 0;
    while (sent < pRequest.size()) {
        const ssize_t n = ::send(fd, pRequest.data() + sent, pRequest.size() - sent, MSG_NOSIGNAL);
        if (n <= 0)
            break; // the server may have answered and closed already
        sent += static_cast<std::size_t>(n);
    }
    if (pHalfClose)
        ::shutdown(fd, SHUT_WR);
    std::string answer;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    char buffer[65536];
    while (std::chrono::steady_clock::now() < deadline) {
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, 200) <= 0)
            continue;
        const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
        if (n <= 0)
            break;
        answer.append(buffer, static_cast<std::size_t>(n));
    }
    ::close(fd);
    const auto headEnd = answer.find("\r\n\r\n");
    reply.head = answer.substr(0, headEnd);
    if (headEnd != std::string::npos)
        reply.body = answer.substr(headEnd + 4);
    if (answer.rfind("HTTP/1.", 0) == 0 && answer.size() >= 12)
        reply.status = std::atoi(answer.substr(9, 3).c_str());
    return reply;
}

HttpReply PostBytes(int pPort, const std::string& pBody, const std::string& pContentType,
                    const std::string& pPath, const std::string& pExtraHead, const char* pFrom) {
    const std::string request = "POST " + pPath + " HTTP/1.1\r\nHost: 127.0.0.1\r\n"
                                "User-Agent: BrisaMail Client\r\n" + pExtraHead +
                                "Content-Type: " + pContentType + "\r\n" +
                                "Content-Length: " + std::to_string(pBody.size()) + "\r\n\r\n" +
                                pBody;
    return SendRaw(pPort, request, false, pFrom);
}

std::string BasicAuthorization(const std::string& pUser, const std::string& pPassword) {
    static const char kAlphabet[] =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    const std::string text = pUser + ":" + pPassword;
    std::string out;
    for (std::size_t i = 0; i < text.size(); i += 3) {
        std::uint32_t n = std::uint32_t(static_cast<unsigned char>(text[i])) << 16;
        if (i + 1 < text.size())
            n |= std::uint32_t(static_cast<unsigned char>(text[i + 1])) << 8;
        if (i + 2 < text.size())
            n |= std::uint32_t(static_cast<unsigned char>(text[i + 2]));
        out += kAlphabet[(n >> 18) & 63];
        out += kAlphabet[(n >> 12) & 63];
        out += i + 1 < text.size() ? kAlphabet[(n >> 6) & 63] : '=';
        out += i + 2 < text.size() ? kAlphabet[n & 63] : '=';
    }
    return "Authorization: Basic " + out + "\r\n";
}

// ---- accounts and certificates -------------------------------------------------------

std::string BcryptHash(const std::string& pPassword, const char* pPrefix) {
    char setting[CRYPT_GENSALT_OUTPUT_SIZE];
    if (!::crypt_gensalt_rn(pPrefix, 5, nullptr, 0, setting, sizeof setting))
        return {};
    crypt_data data{};
    const char* hash = ::crypt_rn(pPassword.c_str(), setting, &data, sizeof data);
    return hash && hash[0] != '*' ? std::string(hash) : std::string();
}

bool MakeCertificate(const std::string& pCertPath, const std::string& pKeyPath) {
    EVP_PKEY* key = EVP_EC_gen("P-256");
    X509* cert = X509_new();
    bool ok = key && cert;
    if (ok) {
        ASN1_INTEGER_set(X509_get_serialNumber(cert), 1);
        X509_gmtime_adj(X509_getm_notBefore(cert), -3600);
        X509_gmtime_adj(X509_getm_notAfter(cert), 3600L * 24);
        X509_set_pubkey(cert, key);
        X509_NAME* name = X509_get_subject_name(cert);
        X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_ASC,
                                   reinterpret_cast<const unsigned char*>("127.0.0.1"), -1, -1, 0);
        X509_set_issuer_name(cert, name);
        X509V3_CTX context;
        X509V3_set_ctx_nodb(&context);
        X509V3_set_ctx(&context, cert, cert, nullptr, nullptr, 0);
        const std::pair<const char*, const char*> extensions[] = {
            {"subjectAltName", "IP:127.0.0.1"}, {"basicConstraints", "critical,CA:TRUE"}};
        for (const auto& [extName, value] : extensions) {
            X509_EXTENSION* extension = X509V3_EXT_conf(nullptr, &context, extName, value);
            ok = ok && extension && X509_add_ext(cert, extension, -1) == 1;
            X509_EXTENSION_free(extension);
        }
        ok = ok && X509_sign(cert, key, EVP_sha256()) > 0;
    }
    if (ok) {
        FILE* certFile = std::fopen(pCertPath.c_str(), "w");
        FILE* keyFile = std::fopen(pKeyPath.c_str(), "w");
        ok = certFile && keyFile && PEM_write_X509(certFile, cert) == 1 &&
             PEM_write_PrivateKey(keyFile, key, nullptr, nullptr, 0, nullptr, nullptr) == 1;
        if (certFile)
            std::fclose(certFile);
        if (keyFile)
            std::fclose(keyFile);
    }
    X509_free(cert);
    EVP_PKEY_free(key);
    return ok;
}

// ---- SMTP server ------------------------------------------------------------------

SmtpServer::SmtpServer(Mode pMode) : m_Mode(pMode) {
    m_Listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(m_Listener, reinterpret_cast<sockaddr*>(&address), sizeof address);
    ::listen(m_Listener, 8);
    socklen_t length = sizeof address;
    ::getsockname(m_Listener, reinterpret_cast<sockaddr*>(&address), &length);
    m_Port = ntohs(address.sin_port);
    m_Thread = std::thread([this] { Serve(); });
}

SmtpServer::~SmtpServer() {
    m_Stop = true;
    if (m_Thread.joinable())
        m_Thread.join();
    ::close(m_Listener);
}

std::string SmtpServer::Url() const {
    return "smtp://127.0.0.1:" + std::to_string(m_Port);
}

std::vector<SmtpSession> SmtpServer::Sessions() const {
    std::lock_guard<std::mutex> lock(m_Mutex);
    return m_Sessions;
}

void SmtpServer::Serve() {
    while (!m_Stop) {
        pollfd p{m_Listener, POLLIN, 0};
        if (::poll(&p, 1, 50) <= 0)
            continue;
        const int client = ::accept4(m_Listener, nullptr, nullptr, SOCK_CLOEXEC);
        if (client < 0)
            continue;
        Talk(client);
        ::close(client);
    }
}

void SmtpServer::Talk(int pSocket) {
    std::string buffer;
    auto say = [&](const std::string& pLine) {
        const std::string line = pLine + "\r\n";
        ::send(pSocket, line.data(), line.size(), MSG_NOSIGNAL);
    };
    // Reads until pEnd is in the buffer; false on silence, close or stop.
    auto fill = [&](const std::string& pEnd) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (buffer.find(pEnd) == std::string::npos) {
            if (m_Stop || std::chrono::steady_clock::now() > deadline)
                return false;
            pollfd p{pSocket, POLLIN, 0};
            if (::poll(&p, 1, 50) <= 0)
                continue;
            char data[8192];
            const ssize_t n = ::recv(pSocket, data, sizeof data, 0);
            if (n <= 0)
                return false;
            buffer.append(data, static_cast<std::size_t>(n));
        }
        return true;
    };
    // The session is on record from the greeting on, and every step is
    // recorded before it is answered.
    std::size_t index = 0;
    {
        std::lock_guard<std::mutex> lock(m_Mutex);
        index = m_Sessions.size();
        m_Sessions.emplace_back();
    }
    auto record = [&](const std::function<void(SmtpSession&)>& pChange) {
        std::lock_guard<std::mutex> lock(m_Mutex);
        pChange(m_Sessions[index]);
    };
    say("220 test.example ESMTP ready");
    while (fill("\r\n")) {
        const auto end = buffer.find("\r\n");
        const std::string line = buffer.substr(0, end);
        buffer.erase(0, end + 2);
        std::string verb = line.substr(0, 4);
        std::transform(verb.begin(), verb.end(), verb.begin(), ::toupper);
        if (verb == "EHLO" || verb == "HELO") {
            say("250 test.example");
        } else if (verb == "MAIL") {
            record([&](SmtpSession& pSession) { pSession.mailFrom = line.substr(line.find(':') + 1); });
            say("250 OK");
        } else if (verb == "RCPT") {
            record([&](SmtpSession& pSession) {
                pSession.recipients.push_back(line.substr(line.find(':') + 1));
            });
            say(m_Mode == Mode::RefuseRecipient ? "550 5.1.1 no such mailbox" : "250 OK");
        } else if (verb == "DATA") {
            say("354 end with <CRLF>.<CRLF>");
            buffer.insert(0, "\r\n");
            if (!fill("\r\n.\r\n"))
                break;
            const auto stop = buffer.find("\r\n.\r\n");
            std::string data = buffer.substr(2, stop); // up to and including the last CR LF
            buffer.erase(0, stop + 5);
            // Undo the dot-stuffing.
            std::string plain;
            std::size_t pos = 0;
            while (pos < data.size()) {
                auto eol = data.find("\r\n", pos);
                eol = eol == std::string::npos ? data.size() : eol + 2;
                std::string lineText = data.substr(pos, eol - pos);
                if (lineText.rfind("..", 0) == 0)
                    lineText.erase(0, 1);
                plain += lineText;
                pos = eol;
            }
            record([&](SmtpSession& pSession) { pSession.data = plain; });
            say(m_Mode == Mode::RefuseData   ? "550 5.7.1 message refused"
                : m_Mode == Mode::DeferData ? "451 4.3.0 try again later"
                                            : "250 OK queued");
        } else if (verb == "QUIT") {
            record([&](SmtpSession& pSession) { pSession.quit = true; });
            say("221 bye");
            break;
        } else if (verb == "RSET" || verb == "NOOP") {
            say("250 OK");
        } else {
            say("502 command not implemented");
        }
    }
}

// ---- reading e-mails ----------------------------------------------------------------

namespace {

std::string Lower(std::string pText) {
    std::transform(pText.begin(), pText.end(), pText.begin(), ::tolower);
    return pText;
}

std::vector<std::pair<std::string, std::string>> ParseHeaderBlock(const std::string& pBlock) {
    std::vector<std::pair<std::string, std::string>> headers;
    std::size_t pos = 0;
    while (pos < pBlock.size()) {
        auto eol = pBlock.find("\r\n", pos);
        if (eol == std::string::npos)
            eol = pBlock.size();
        const std::string line = pBlock.substr(pos, eol - pos);
        pos = eol + 2;
        if (!line.empty() && (line[0] == ' ' || line[0] == '\t')) {
            if (!headers.empty())
                headers.back().second += line; // unfolding removes only the CR LF
            continue;
        }
        const auto colon = line.find(':');
        if (colon == std::string::npos)
            continue;
        std::string value = line.substr(colon + 1);
        while (!value.empty() && value.front() == ' ')
            value.erase(0, 1);
        headers.emplace_back(line.substr(0, colon), value);
    }
    return headers;
}

int HexValue(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

} // namespace

std::string Mail::Header(const std::string& pName) const {
    for (const auto& [name, value] : headers)
        if (Lower(name) == Lower(pName))
            return value;
    return {};
}

int Mail::Count(const std::string& pName) const {
    int count = 0;
    for (const auto& header : headers)
        if (Lower(header.first) == Lower(pName))
            ++count;
    return count;
}

std::size_t LongestLine(const std::string& pMessage) {
    std::size_t pos = 0, longest = 0;
    while (pos < pMessage.size()) {
        const auto eol = pMessage.find("\r\n", pos);
        if (eol == std::string::npos) return std::string::npos;
        longest = std::max(longest, eol - pos);
        pos = eol + 2;
    }
    return longest;
}

Mail ParseMail(const std::string& pMessage) {
    Mail mail;
    const auto split = pMessage.find("\r\n\r\n");
    mail.headers = ParseHeaderBlock(pMessage.substr(0, split));
    if (split == std::string::npos)
        return mail;
    mail.body = pMessage.substr(split + 4);
    const std::string type = mail.Header("Content-Type");
    const auto at = type.find("boundary=\"");
    if (at == std::string::npos)
        return mail;
    const auto start = at + 10;
    const std::string boundary = "--" + type.substr(start, type.find('"', start) - start);
    auto pos = mail.body.find(boundary);
    while (pos != std::string::npos) {
        const auto lineEnd = mail.body.find("\r\n", pos);
        if (mail.body.compare(pos + boundary.size(), 2, "--") == 0 || lineEnd == std::string::npos)
            break;
        const auto next = mail.body.find("\r\n" + boundary, lineEnd);
        if (next == std::string::npos)
            break;
        const std::string part = mail.body.substr(lineEnd + 2, next - lineEnd - 2);
        const auto headEnd = part.find("\r\n\r\n");
        MailPart parsed;
        for (const auto& [name, value] : ParseHeaderBlock(part.substr(0, headEnd)))
            parsed.headers[Lower(name)] = value;
        if (headEnd != std::string::npos)
            parsed.content = part.substr(headEnd + 4);
        mail.parts.push_back(parsed);
        pos = next + 2;
    }
    return mail;
}

std::string DecodeBase64(const std::string& pText) {
    static const std::string kAlphabet =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    std::uint32_t bits = 0;
    int count = 0;
    for (char c : pText) {
        const auto index = kAlphabet.find(c);
        if (index == std::string::npos)
            continue; // line breaks and padding
        bits = (bits << 6) | static_cast<std::uint32_t>(index);
        count += 6;
        if (count >= 8) {
            count -= 8;
            out += static_cast<char>((bits >> count) & 0xFF);
        }
    }
    return out;
}

std::string DecodeQuotedPrintable(const std::string& pText) {
    std::string out;
    for (std::size_t i = 0; i < pText.size(); ++i) {
        if (pText[i] != '=') {
            out += pText[i];
            continue;
        }
        if (pText.compare(i + 1, 2, "\r\n") == 0) {
            i += 2; // soft line break
            continue;
        }
        if (i + 2 < pText.size() && HexValue(pText[i + 1]) >= 0 && HexValue(pText[i + 2]) >= 0) {
            out += static_cast<char>(HexValue(pText[i + 1]) * 16 + HexValue(pText[i + 2]));
            i += 2;
        } else {
            out += '=';
        }
    }
    return out;
}

std::string DecodeWords(const std::string& pValue) {
    std::string out;
    std::size_t pos = 0;
    bool lastWasWord = false;
    while (pos < pValue.size()) {
        const auto start = pValue.find("=?", pos);
        if (start == std::string::npos) {
            out += pValue.substr(pos);
            break;
        }
        const auto q1 = pValue.find('?', start + 2);
        const auto q2 = q1 == std::string::npos ? q1 : pValue.find('?', q1 + 1);
        const auto end = q2 == std::string::npos ? q2 : pValue.find("?=", q2 + 1);
        if (end == std::string::npos) {
            out += pValue.substr(pos);
            break;
        }
        const std::string between = pValue.substr(pos, start - pos);
        if (!(lastWasWord && between.find_first_not_of(" \t") == std::string::npos))
            out += between;
        const char encoding = static_cast<char>(::toupper(pValue[q1 + 1]));
        const std::string text = pValue.substr(q2 + 1, end - q2 - 1);
        if (encoding == 'B') {
            out += DecodeBase64(text);
        } else {
            std::string q = text;
            std::replace(q.begin(), q.end(), '_', ' ');
            out += DecodeQuotedPrintable(q);
        }
        pos = end + 2;
        lastWasWord = true;
    }
    return out;
}

std::vector<std::string> FilesBelow(const std::string& pFolder) {
    std::vector<std::string> files;
    std::error_code error;
    if (!std::filesystem::exists(pFolder, error))
        return files;
    for (auto it = std::filesystem::recursive_directory_iterator(pFolder, error);
         !error && it != std::filesystem::recursive_directory_iterator(); it.increment(error)) {
        if (!it->is_directory())
            files.push_back(std::filesystem::relative(it->path(), pFolder).string());
    }
    std::sort(files.begin(), files.end());
    return files;
}

} // namespace brisa::test
