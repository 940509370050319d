// Helpers for the relay tests: wave files and hand-made zip archives, real
// posts written by BuildPost, raw HTTP requests, a small SMTP server on
// 127.0.0.1, and a reader for the e-mails the relay writes.
#pragma once

#include <atomic>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace brisa::test {

// ---- wave files and zip archives ---------------------------------------------------

// A PCM wave file of pFrames frames: a tone with a little noise, so that it
// does not compress to nothing.
std::string MakeWave(int pFrames, int pRate = 8000, int pChannels = 1, int pBits = 16);
// "RIFF....WAVE" + fmt (16-bit mono 8 kHz) + data chunk with pData.
std::string WaveWithData(const std::string& pData);
// A little-endian number of 2 or 4 bytes.
std::string Le16(unsigned pValue);
std::string Le32(std::uint32_t pValue);

// One entry of a hand-made zip archive.
struct ZipEntry {
    std::string name = "in.wav";
    std::string data;                          // the uncompressed bytes
    std::uint16_t method = 8;                  // 0 stored, 8 deflated, others: data as is
    std::optional<std::uint64_t> claimedSize;  // the uncompressed size written in the headers
    std::uint16_t flags = 0;                   // general purpose flags (bit 0: encrypted)
};
// An archive with a local header, data and central directory entry per
// entry and the end record. Deflated data comes from zlib.
std::string MakeZipBytes(const std::vector<ZipEntry>& pEntries);
// A deflated entry of pZeros zero bytes, made piece by piece (so a
// gigabyte costs little memory); its headers claim pClaimed bytes.
std::string ZeroBombZip(std::uint64_t pZeros, std::uint64_t pClaimed);

// ---- a post body made by hand -----------------------------------------------------

// A post body like BuildPost writes: the header part from pHeaderLines
// (each without CR LF) and pNote, then the archive part.
std::string PostBody(const std::vector<std::string>& pHeaderLines, const std::string& pNote,
                     const std::string& pArchive, const std::string& pBoundary = "------BrisaPost");

// ---- HTTP ----------------------------------------------------------------------------

struct HttpReply {
    int status = 0; // 0: no answer
    std::string head, body;
};

// Sends pRequest as it stands on a new connection to 127.0.0.1:pPort, then
// (with pHalfClose) shuts the sending side, and reads the answer until the
// server closes the connection (10 s at most).
// pFrom: the loopback address to send from (127.0.0.1 when null).
HttpReply SendRaw(int pPort, const std::string& pRequest, bool pHalfClose = false,
                  const char* pFrom = nullptr);

// A POST with the given Content-Type and a correct Content-Length;
// pExtraHead: more header lines, each ending with CR LF.
HttpReply PostBytes(int pPort, const std::string& pBody,
                    const std::string& pContentType = "multipart/form-data; boundary=------BrisaPost",
                    const std::string& pPath = "/post", const std::string& pExtraHead = {},
                    const char* pFrom = nullptr);

// "Authorization: Basic ..." with its CR LF.
std::string BasicAuthorization(const std::string& pUser, const std::string& pPassword);

// ---- accounts and certificates -------------------------------------------------------

// A bcrypt hash of pPassword as "htpasswd -B" writes it (cost 5).
std::string BcryptHash(const std::string& pPassword, const char* pPrefix = "$2y$");
// A self-signed certificate for 127.0.0.1 and its key, PEM files.
bool MakeCertificate(const std::string& pCertPath, const std::string& pKeyPath);

// ---- a small SMTP server -------------------------------------------------------------

struct SmtpSession {
    std::string mailFrom;
    std::vector<std::string> recipients;
    std::string data; // the message as it arrived, dot-stuffing undone
    bool quit = false;
};

class SmtpServer {
public:
    enum class Mode {
        Accept,        // takes every message
        RefuseRecipient, // 550 for RCPT
        RefuseData,    // 550 after the message
        DeferData      // 451 after the message
    };
    explicit SmtpServer(Mode pMode);
    ~SmtpServer();
    SmtpServer(const SmtpServer&) = delete;
    SmtpServer& operator=(const SmtpServer&) = delete;

    std::string Url() const;
    std::vector<SmtpSession> Sessions() const;

private:
    void Serve();
    void Talk(int pSocket);

    Mode m_Mode;
    int m_Listener = -1;
    int m_Port = 0;
    std::atomic<bool> m_Stop{false};
    std::thread m_Thread;
    mutable std::mutex m_Mutex;
    std::vector<SmtpSession> m_Sessions;
};

// ---- reading the e-mails ---------------------------------------------------------------

struct MailPart {
    std::map<std::string, std::string> headers; // names in lower case
    std::string content;                        // as it stands, without the delimiter's CR LF
};

struct Mail {
    std::vector<std::pair<std::string, std::string>> headers; // unfolded, in order
    std::string body;
    std::vector<MailPart> parts; // of a multipart body
    // The first value of a header ("" when absent); names compare without case.
    std::string Header(const std::string& pName) const;
    int Count(const std::string& pName) const;
};

// Reads a message: header block, unfolded, and the parts of its multipart body.
Mail ParseMail(const std::string& pMessage);
// The length of the message's longest line; npos when a line lacks its CR LF.
std::size_t LongestLine(const std::string& pMessage);
std::string DecodeBase64(const std::string& pText);
std::string DecodeQuotedPrintable(const std::string& pText);
// Replaces RFC 2047 encoded words (UTF-8, B or Q) by their text.
std::string DecodeWords(const std::string& pValue);

// Every file below pFolder, as paths relative to it, sorted.
std::vector<std::string> FilesBelow(const std::string& pFolder);

} // namespace brisa::test
