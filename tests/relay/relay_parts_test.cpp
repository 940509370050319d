// The relay's pieces without a server: reading a post body, the recording
// in its archive, and the e-mail made from it.
#include "relay/mail_message.h"
#include "relay/post_reader.h"
#include "relay/relay_accounts.h"
#include "relay/relay_server.h"
#include "relay/wave_archive.h"
#include "tests/relay/relay_test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>

namespace brisa {
namespace {

using test::DecodeBase64;
using test::DecodeQuotedPrintable;
using test::DecodeWords;
using test::Le16;
using test::Le32;
using test::LongestLine;
using test::MakeWave;
using test::MakeZipBytes;
using test::ParseMail;
using test::PostBody;
using test::WaveWithData;
using test::ZipEntry;

const std::vector<std::string> kLines = {
    "To: bob@example.com, carl@example.org",
    "From: \"Zo\xEB Smith\" <ann@example.com>",
    "Subject: Hello",
    "Date: Sun, 14 Mar 1999 15:29 0100",
    "Cc: dora@example.net",
    "X-Return-Receipt: Yes",
    "X-Mailer: BrisaMailer",
};

// ---- the request head ------------------------------------------------------------

TEST(CheckPostHead, TakesTheClientsHead) {
    std::string boundary, problem;
    std::uint64_t length = 0;
    ASSERT_TRUE(CheckPostHead("multipart/form-data; boundary=------BrisaPost", {"645"}, "", "",
                              boundary, length, problem))
        << problem;
    EXPECT_EQ(boundary, "------BrisaPost");
    EXPECT_EQ(length, 645u);
    ASSERT_TRUE(CheckPostHead("Multipart/Form-Data; boundary=\"other b\"", {"1"}, "", "identity",
                              boundary, length, problem));
    EXPECT_EQ(boundary, "other b");
}

TEST(CheckPostHead, RefusesEveryOtherHead) {
    struct Case {
        std::string type;
        std::vector<std::string> lengths;
        std::string transfer, encoding, reason;
    };
    const std::string ok = "multipart/form-data; boundary=------BrisaPost";
    const std::vector<Case> cases = {
        {"text/plain", {"10"}, "", "", "multipart/form-data"},
        {"multipart/form-data", {"10"}, "", "", "boundary"},
        {"multipart/form-data; boundary=", {"10"}, "", "", "boundary"},
        {"multipart/form-data; boundary=" + std::string(71, 'a'), {"10"}, "", "", "boundary"},
        {ok, {}, "", "", "no Content-Length"},
        {ok, {"10", "10"}, "", "", "more than one"},
        {ok, {"-1"}, "", "", "not a number"},
        {ok, {"12abc"}, "", "", "not a number"},
        {ok, {"99999999999999999999999"}, "", "", "not a number"},
        {ok, {"67108865"}, "", "", "64 MB"},
        {ok, {"0"}, "", "", "empty"},
        {ok, {"10"}, "chunked", "", "Transfer-Encoding"},
        {ok, {"10"}, "", "gzip", "Content-Encoding"},
    };
    for (const auto& c : cases) {
        std::string boundary, problem;
        std::uint64_t length = 0;
        EXPECT_FALSE(CheckPostHead(c.type, c.lengths, c.transfer, c.encoding, boundary, length,
                                   problem))
            << c.type;
        EXPECT_NE(problem.find(c.reason), std::string::npos) << problem;
    }
    std::string boundary, problem;
    std::uint64_t length = 0;
    EXPECT_TRUE(CheckPostHead(ok, {"67108864"}, "", "", boundary, length, problem));
}

// ---- the body ----------------------------------------------------------------------

TEST(ReadPostBody, ReadsTheHeaderPartAndKeepsTheArchiveByteForByte) {
    // Archive bytes that end with CR LF themselves: only the two pairs
    // written after them are cut off.
    const std::string archive("PK\x03\x04\r\n\0--------BrisaPost\xFF\r\n\r\n", 30);
    ReceivedPost post;
    std::string problem;
    ASSERT_TRUE(ReadPostBody(PostBody(kLines, "Call me\r\nback. \x80", archive), "------BrisaPost",
                             post, problem))
        << problem;
    EXPECT_EQ(post.archive, archive);
    EXPECT_EQ(post.archiveName, "in.zip");
    ASSERT_EQ(post.to.size(), 2u);
    EXPECT_EQ(post.to[0].address, "bob@example.com");
    EXPECT_EQ(post.to[1].address, "carl@example.org");
    ASSERT_EQ(post.cc.size(), 1u);
    EXPECT_EQ(post.from.name, "Zo\xC3\xAB Smith"); // Windows-1252 read as UTF-8
    EXPECT_EQ(post.from.address, "ann@example.com");
    EXPECT_EQ(post.subject, "Hello");
    EXPECT_EQ(post.date, "Sun, 14 Mar 1999 15:29 0100");
    EXPECT_TRUE(post.returnReceipt);
    ASSERT_EQ(post.extra.size(), 2u);
    EXPECT_EQ(post.extra[1].name, "X-Mailer");
    EXPECT_EQ(post.extra[1].value, "BrisaMailer");
    EXPECT_EQ(post.note, "Call me\r\nback. \xE2\x82\xAC");
}

TEST(ReadPostBody, AnEmptyArchiveAndAClosingLineWithoutCrLf) {
    std::string body = PostBody(kLines, "", "");
    body.resize(body.size() - 2);
    ReceivedPost post;
    std::string problem;
    ASSERT_TRUE(ReadPostBody(body, "------BrisaPost", post, problem)) << problem;
    EXPECT_EQ(post.archive, "");
    EXPECT_EQ(post.note, "");
}

TEST(ReadPostBody, RefusesMalformedBodiesWithAReason) {
    const std::string zip = "PKzip";
    const std::string good = PostBody(kLines, "note", zip);
    auto replaced = [&](const std::string& pFind, const std::string& pWith) {
        std::string body = good;
        const auto at = body.find(pFind);
        EXPECT_NE(at, std::string::npos) << pFind;
        if (at != std::string::npos)
            body.replace(at, pFind.size(), pWith);
        return body;
    };
    auto withLines = [&](std::vector<std::string> pLines) { return PostBody(pLines, "n", zip); };
    const std::string headerPart =
        "--------BrisaPost\r\nContent-Disposition: form-data; name=\"header\"; "
        "filename=\"header.txt\"\r\nContent-Type: text/plain\r\n\r\nTo: a@b.cc\r\n"
        "From: a@b.cc\r\nSubject: s\r\nDate: d\r\n\r\nn\r\n\r\n";
    const std::string bodyPart =
        "--------BrisaPost\r\nContent-Disposition: form-data; name=\"body\"; "
        "filename=\"in.zip\"\r\nContent-Type: application/x-zip-compressed\r\n\r\nPK\r\n\r\n";
    const std::string longLine = "X-Long: " + std::string(kMaxPostRow - 7, 'x');

    struct Case {
        std::string body, reason;
    };
    const std::vector<Case> cases = {
        {"", "empty"},
        {"garbage", "does not begin"},
        {good.substr(0, good.size() - 5), "closing boundary"},
        {headerPart + "--------BrisaPost--\r\n", "only one part"},
        {bodyPart + headerPart + "--------BrisaPost--\r\n", "wrong order"},
        {headerPart + bodyPart + "--------BrisaPost\r\nContent-Disposition: form-data; "
                                 "name=\"x\"\r\nContent-Type: text/plain\r\n\r\nx\r\n"
                                 "--------BrisaPost--\r\n",
         "more than two parts"},
        {replaced("name=\"header\"", "name=\"head\""), "first part must be"},
        {replaced("filename=\"header.txt\"", "filename=\"h.txt\""), "first part must be"},
        {replaced("; filename=\"in.zip\"", ""), "second part must be"},
        {replaced("application/x-zip-compressed", "text/html"), "archive part must be"},
        {replaced("Content-Type: text/plain\r\n", ""), "no Content-Type"},
        {replaced("Content-Type: text/plain\r\n", "Content-Type: text/plain\r\nX-Extra: 1\r\n"),
         "unexpected line"},
        {replaced("form-data; name=\"header\"", "attachment; name=\"header\""), "form-data"},
        {replaced(zip + "\r\n\r\n", zip + "\r\n"), "two CR LF pairs"},
        {replaced("note\r\n\r\n", "note\r\n"), "does not end with CR LF"},
        {replaced("\r\n\r\nnote", "\r\nnote"), "not of the form"},
        {withLines({"From: a@b.cc", "Subject: s", "Date: d"}), "no To line"},
        {withLines({"To: a@b.cc", "Subject: s", "Date: d"}), "no From line"},
        {withLines({"To: a@b.cc", "From: a@b.cc", "Date: d"}), "no Subject line"},
        {withLines({"To: a@b.cc", "From: a@b.cc", "Subject: s"}), "no Date line"},
        {withLines({"To: , ,", "From: a@b.cc", "Subject: s", "Date: d"}), "names no recipient"},
        {withLines({"To: bob", "From: a@b.cc", "Subject: s", "Date: d"}), "no '@'"},
        {withLines({"To: bob@host", "From: a@b.cc", "Subject: s", "Date: d"}), "no '.'"},
        {withLines({"To: a@b.cc", "From: ", "Subject: s", "Date: d"}), "From line is empty"},
        {withLines({"To: a@b.cc", "From: me", "Subject: s", "Date: d"}), "From line"},
        {withLines({"To: a@b.cc", "To: c@d.ee", "From: a@b.cc", "Subject: s", "Date: d"}),
         "two To lines"},
        {withLines({"To: a@b.cc", "From: a@b.cc", "Subject: s", "Date: d", "Bcc: x@y.zz"}),
         "unexpected header line"},
        {withLines({"To: a@b.cc", "From: a@b.cc", "Subject: s\x01", "Date: d"}), "control"},
        {withLines({"To: a@b.cc", "From: a@b.cc", "Subject: s\nBcc: x@y.zz", "Date: d"}),
         "control"},
        {withLines({"To: a@b.cc", "From: a@b.cc", " folded", "Subject: s", "Date: d"}),
         "not of the form"},
        {withLines({"To: a@b.cc", "From: a@b.cc", "Subject: s", "Date: d", longLine}),
         "at most 65536"},
    };
    for (const auto& c : cases) {
        ReceivedPost post;
        std::string problem;
        EXPECT_FALSE(ReadPostBody(c.body, "------BrisaPost", post, problem)) << c.reason;
        EXPECT_NE(problem.find(c.reason), std::string::npos)
            << "expected '" << c.reason << "', got '" << problem << "'";
    }
}

TEST(ReadPostBody, AtMostAHundredRecipientsOverToAndCc) {
    auto list = [](int pFirst, int pCount) {
        std::string text;
        for (int i = pFirst; i < pFirst + pCount; ++i)
            text += (text.empty() ? "" : ", ") + std::string("u") + std::to_string(i) + "@x.io";
        return text;
    };
    ReceivedPost post;
    std::string problem;
    EXPECT_TRUE(ReadPostBody(PostBody({"To: " + list(0, 60), "Cc: " + list(60, 40),
                                       "From: a@b.cc", "Subject: s", "Date: d"},
                                      "n", "PK"),
                             "------BrisaPost", post, problem))
        << problem;
    EXPECT_EQ(post.to.size() + post.cc.size(), 100u);
    EXPECT_FALSE(ReadPostBody(PostBody({"To: " + list(0, 60), "Cc: " + list(60, 41),
                                        "From: a@b.cc", "Subject: s", "Date: d"},
                                       "n", "PK"),
                              "------BrisaPost", post, problem));
    EXPECT_NE(problem.find("101 recipients"), std::string::npos) << problem;
}

TEST(ParseAddressList, FormsOfAddresses) {
    std::vector<MailAddress> list;
    std::string problem;
    ASSERT_TRUE(ParseAddressList(" a@b.cc ,; \"Smith; Bob\" <bob@x.org>; Carl <c@d.ee>,", list,
                                 problem))
        << problem;
    ASSERT_EQ(list.size(), 3u);
    EXPECT_EQ(list[0].address, "a@b.cc");
    EXPECT_EQ(list[0].name, "");
    EXPECT_EQ(list[1].name, "Smith; Bob");
    EXPECT_EQ(list[1].address, "bob@x.org");
    EXPECT_EQ(list[2].name, "Carl");
    // The client writes the user's name between quotes as it stands.
    MailAddress from;
    ASSERT_TRUE(ParseMailAddress("\"Ann \"the boss\" \\\" <a@b.cc>", from, problem)) << problem;
    EXPECT_EQ(from.name, "Ann \"the boss\" \\");
    ASSERT_TRUE(ParseAddressList("Bo <b> <b@c.dd>", list, problem)) << problem;
    EXPECT_EQ(list[0].name, "Bo <b>");
    for (const char* bad : {"a b@c.de", "<a@b.cc", "a@b.cc>", "a@@b.cc", "@b.cc", "a@.b",
                            "a@b.", "a@b..cc", "\"open <a@b.cc>", "a@b\xC3\xA9.cc", "x <y>"}) {
        EXPECT_FALSE(ParseAddressList(bad, list, problem)) << bad;
    }
}

// ---- the recording ---------------------------------------------------------------

TEST(ReadWave, TakesPcmAndRefusesBrokenFiles) {
    WaveFacts facts;
    std::string problem;
    const std::string wave = MakeWave(1001, 11025, 2, 16);
    ASSERT_TRUE(ReadWave(wave, facts, problem)) << problem;
    EXPECT_EQ(facts.channels, 2);
    EXPECT_EQ(facts.samplesPerSecond, 11025u);
    EXPECT_EQ(facts.dataBytes, 1001u * 4);
    ASSERT_TRUE(ReadWave(MakeWave(3, 8000, 1, 8), facts, problem)) << problem; // odd, padded

    const std::string fmt = "fmt " + Le32(16) + Le16(1) + Le16(1) + Le32(8000) + Le32(16000) +
                            Le16(2) + Le16(16);
    auto riff = [](const std::string& pChunks) {
        return "RIFF" + Le32(static_cast<std::uint32_t>(4 + pChunks.size())) + "WAVE" + pChunks;
    };
    struct Case {
        std::string bytes, reason;
    };
    const std::vector<Case> cases = {
        {"", "not a WAVE"},
        {"RIFF\x04\0\0\0WAVX", "not a WAVE"},
        {wave.substr(0, wave.size() - 10), "cut short"},
        {riff(fmt), "no sound data"},
        {riff("data" + Le32(2) + "ab" + fmt), "before its format"},
        {riff(fmt + "data" + Le32(100) + "ab"), "cut short"},
        {riff("fmt " + Le32(8) + "12345678" + "data" + Le32(0)), "too short"},
        {riff("fmt " + Le32(16) + Le16(1) + Le16(1) + Le32(8000) + Le32(9999) + Le16(2) +
              Le16(16) + "data" + Le32(0)),
         "does not add up"},
        {riff("fmt " + Le32(16) + Le16(1) + Le16(0) + Le32(8000) + Le32(0) + Le16(0) + Le16(16) +
              "data" + Le32(0)),
         "0 channels"},
        {riff(fmt + fmt + "data" + Le32(0)), "two fmt"},
        {riff("junk" + Le32(1000) + "x"), "runs past"},
    };
    for (const auto& c : cases) {
        EXPECT_FALSE(ReadWave(c.bytes, facts, problem)) << c.reason;
        EXPECT_NE(problem.find(c.reason), std::string::npos)
            << "expected '" << c.reason << "', got '" << problem << "'";
    }
}

TEST(ExtractWave, TakesTheOneEntryStoredOrDeflated) {
    const std::string wave = MakeWave(4000);
    for (std::uint16_t method : {0, 8}) {
        ZipEntry entry;
        entry.data = wave;
        entry.method = method;
        std::string out, name, problem;
        ASSERT_TRUE(ExtractWave(MakeZipBytes({entry}), out, name, problem)) << problem;
        EXPECT_EQ(out, wave);
        EXPECT_EQ(name, "in.wav");
    }
}

TEST(ExtractWave, RefusesHostileArchives) {
    ZipEntry good;
    good.data = MakeWave(2000);
    const std::string zip = MakeZipBytes({good});

    ZipEntry second = good;
    second.name = "other.wav";
    ZipEntry text = good;
    text.data = std::string(5000, 'x');
    ZipEntry folder;
    folder.name = "in/";
    folder.data = "";
    folder.method = 0;
    ZipEntry bzip = good;
    bzip.method = 12;
    bzip.data = "BZh91AY&SY not really";
    ZipEntry encrypted = good;
    encrypted.flags = 1;
    // A wave header and 8 MB of silence whose headers claim 4 KB: reading
    // stops at what the header declares.
    ZipEntry liar;
    liar.data = WaveWithData(std::string(8 << 20, '\0'));
    liar.claimedSize = 4096;
    ZipEntry stored = good;
    stored.method = 0;
    stored.claimedSize = good.data.size() + 10;
    std::string badCrc = zip;
    badCrc[14] = static_cast<char>(badCrc[14] ^ 0x55); // the CRC in the local header
    const std::string centralCrc = [&] {
        std::string z = zip;
        const auto at = z.find(std::string("PK\x01\x02", 4));
        z[at + 16] = static_cast<char>(z[at + 16] ^ 0x55);
        z[14] = static_cast<char>(z[14] ^ 0x55);
        return z;
    }();

    struct Case {
        std::string zip, reason;
    };
    const std::vector<Case> cases = {
        {"", "empty"},
        {"PK\x03\x04 not a zip at all", "not a readable zip"},
        {zip.substr(0, zip.size() / 2), "not a readable zip"},
        {zip.substr(0, zip.size() - 1), "not a readable zip"},
        {MakeZipBytes({}), "0 entries"},
        {MakeZipBytes({good, second}), "2 entries"},
        {MakeZipBytes({text}), "not a WAVE"},
        {MakeZipBytes({folder}), "folder"},
        {MakeZipBytes({bzip}), "compression method 12"},
        {MakeZipBytes({encrypted}), "encrypted"},
        {test::ZeroBombZip(4 << 20, 1ull << 30), "at most"},      // 1 GB claimed
        {test::ZeroBombZip(4 << 20, 200ull << 20), "cannot be"}, // more than deflate can give
        {MakeZipBytes({liar}), "archive's entry"},
        {MakeZipBytes({stored}), "cannot be"},
        {centralCrc, "damaged"},
    };
    for (const auto& c : cases) {
        std::string out, name, problem;
        EXPECT_FALSE(ExtractWave(c.zip, out, name, problem)) << c.reason;
        EXPECT_NE(problem.find(c.reason), std::string::npos)
            << "expected '" << c.reason << "', got '" << problem << "'";
        EXPECT_TRUE(out.empty());
    }
    std::string out, name, problem;
    EXPECT_FALSE(ExtractWave(badCrc, out, name, problem)); // local and central header disagree
}

// ---- the e-mail ------------------------------------------------------------------

TEST(MailDateNow, TakesTheRelaysZoneWithItsTrueOffset) {
    struct Case {
        const char* zone;
        std::time_t when;
        const char* date;
    };
    const Case cases[] = {
        {"EST5", 921443340, "Sun, 14 Mar 1999 15:29:00 -0500"},
        {"UTC0", 0, "Thu, 01 Jan 1970 00:00:00 +0000"},
        {"Asia/Kolkata", 1765100000, "Sun, 07 Dec 2025 15:03:20 +0530"},
        {"Australia/Sydney", 1765100000, "Sun, 07 Dec 2025 20:33:20 +1100"},
        {"America/St_Johns", 1765100000, "Sun, 07 Dec 2025 06:03:20 -0330"},
    };
    const char* old = std::getenv("TZ");
    const std::string saved = old ? old : "";
    for (const auto& c : cases) {
        ::setenv("TZ", c.zone, 1);
        ::tzset();
        EXPECT_EQ(MailDateNow(c.when), c.date) << c.zone;
    }
    if (old)
        ::setenv("TZ", saved.c_str(), 1);
    else
        ::unsetenv("TZ");
    ::tzset();
}

TEST(MailEncoding, Base64LinesAreSeventySixWide) {
    std::string bytes;
    for (int i = 0; i < 1000; ++i)
        bytes += static_cast<char>(i * 7);
    const std::string text = Base64Lines(bytes);
    std::size_t pos = 0;
    while (pos < text.size()) {
        const auto eol = text.find("\r\n", pos);
        ASSERT_NE(eol, std::string::npos);
        EXPECT_LE(eol - pos, 76u);
        if (eol + 2 < text.size()) {
            EXPECT_EQ(eol - pos, 76u);
        }
        pos = eol + 2;
    }
    EXPECT_EQ(DecodeBase64(text), bytes);
    EXPECT_EQ(Base64Lines(""), "");
}

TEST(MailEncoding, QuotedPrintableRoundTripsAndKeepsLinesShort) {
    const std::string text = "caf\xC3\xA9 = ok \r\n" + std::string(200, 'a') +
                             "\r\ntrailing \t\r\n.starts with a dot\r\n\x01";
    const std::string encoded = QuotedPrintable(text);
    EXPECT_EQ(DecodeQuotedPrintable(encoded), text);
    std::size_t pos = 0;
    while (pos < encoded.size()) {
        auto eol = encoded.find("\r\n", pos);
        if (eol == std::string::npos)
            eol = encoded.size();
        EXPECT_LE(eol - pos, 76u);
        const std::string line = encoded.substr(pos, eol - pos);
        EXPECT_TRUE(line.empty() || (line.back() != ' ' && line.back() != '\t')) << line;
        for (char c : line)
            EXPECT_TRUE(c >= 32 && c < 127) << line;
        pos = eol + 2;
    }
    EXPECT_NE(encoded.find("caf=C3=A9 =3D ok=20"), std::string::npos);
}

TEST(MailEncoding, NonAsciiHeadersBecomeEncodedWords) {
    EXPECT_EQ(UnstructuredHeader("Subject", "Hello there"), "Subject: Hello there\r\n");
    const std::string long_ = "Gr\xC3\xBC\xC3\x9F" "e aus K\xC3\xB6ln, " + std::string(60, 'x') +
                              " \xE2\x82\xAC\xE2\x82\xAC\xE2\x82\xAC\xE2\x82\xAC\xE2\x82\xAC";
    const std::string header = UnstructuredHeader("Subject", long_);
    ASSERT_EQ(header.rfind("Subject: =?UTF-8?B?", 0), 0u);
    std::size_t pos = 0;
    while (pos < header.size()) {
        const auto eol = header.find("\r\n", pos);
        EXPECT_LE(eol - pos, 78u);
        pos = eol + 2;
    }
    std::string unfolded = header.substr(9, header.size() - 11);
    for (auto at = unfolded.find("\r\n"); at != std::string::npos; at = unfolded.find("\r\n"))
        unfolded.erase(at, 2);
    EXPECT_EQ(DecodeWords(unfolded), long_);

    EXPECT_EQ(FormatMailbox({"", "a@b.cc"}), "a@b.cc");
    EXPECT_EQ(FormatMailbox({"Ann \"the\" \\Boss", "a@b.cc"}),
              "\"Ann \\\"the\\\" \\\\Boss\" <a@b.cc>");
    EXPECT_EQ(DecodeWords(FormatMailbox({"Zo\xC3\xAB", "a@b.cc"})), "Zo\xC3\xAB <a@b.cc>");
}

TEST(ComposeMail, AWholeMessage) {
    ReceivedPost post;
    std::string problem;
    ASSERT_TRUE(ReadPostBody(PostBody(kLines, "Hi.\r\n.\r\nBye", "PK"), "------BrisaPost", post,
                             problem));
    const std::string wave = MakeWave(500);
    MailStamp stamp;
    stamp.now = 0;
    stamp.messageId = "<1.abc@host.example>";
    stamp.boundary = "=_b";
    const std::string message = ComposeMail(post, wave, stamp);

    // Every line ends with CR LF and fits in 998 characters.
    std::size_t pos = 0;
    while (pos < message.size()) {
        const auto eol = message.find("\r\n", pos);
        ASSERT_NE(eol, std::string::npos);
        EXPECT_LE(eol - pos, 998u);
        EXPECT_EQ(message.substr(pos, eol - pos).find('\n'), std::string::npos);
        pos = eol + 2;
    }
    const auto mail = ParseMail(message);
    EXPECT_EQ(mail.Header("Date"), MailDateNow(0));
    EXPECT_EQ(mail.Header("X-Brisa-Posted"), "Sun, 14 Mar 1999 15:29 0100");
    EXPECT_EQ(DecodeWords(mail.Header("From")), "Zo\xC3\xAB Smith <ann@example.com>");
    EXPECT_EQ(mail.Header("To"), "bob@example.com, carl@example.org");
    EXPECT_EQ(mail.Header("Cc"), "dora@example.net");
    EXPECT_EQ(mail.Header("Subject"), "Hello");
    EXPECT_EQ(mail.Header("Message-ID"), "<1.abc@host.example>");
    EXPECT_EQ(mail.Header("MIME-Version"), "1.0");
    EXPECT_EQ(mail.Header("Disposition-Notification-To"), "ann@example.com");
    EXPECT_EQ(mail.Header("X-Return-Receipt"), "Yes");
    EXPECT_EQ(mail.Header("X-Mailer"), "BrisaMailer");
    EXPECT_EQ(mail.Header("Content-Type"), "multipart/mixed; boundary=\"=_b\"");
    ASSERT_EQ(mail.parts.size(), 2u);
    EXPECT_EQ(mail.parts[0].headers.at("content-type"), "text/plain; charset=utf-8");
    EXPECT_EQ(DecodeQuotedPrintable(mail.parts[0].content), "Hi.\r\n.\r\nBye\r\n");
    EXPECT_EQ(mail.parts[1].headers.at("content-type"), "audio/wav; name=\"message.wav\"");
    EXPECT_EQ(mail.parts[1].headers.at("content-disposition"),
              "attachment; filename=\"message.wav\"");
    EXPECT_EQ(mail.parts[1].headers.at("content-transfer-encoding"), "base64");
    EXPECT_EQ(DecodeBase64(mail.parts[1].content), wave);
}

TEST(ComposeMail, LinesStayWithin998CharactersForTheLongestPosts) {
    const std::string name(900, '\\');
    const std::string note = std::string(2048, 'n') + "\r\n" + std::string(1500, '=');
    ReceivedPost post;
    std::string problem;
    ASSERT_TRUE(ReadPostBody(PostBody({"To: " + name + " <a@b.cc>", "From: a@b.cc",
                                       "Subject: " + std::string(5000, 's'),
                                       "Date: " + std::string(992, 'd'),
                                       "X-Long: " + std::string(3000, 'x')},
                                      note, "PK"),
                             "------BrisaPost", post, problem))
        << problem;
    const std::string message = ComposeMail(post, MakeWave(100), NewMailStamp(0, "h"));
    EXPECT_LE(LongestLine(message), 998u);
    const auto mail = ParseMail(message);
    EXPECT_EQ(DecodeWords(mail.Header("To")), name + " <a@b.cc>");
    EXPECT_EQ(DecodeWords(mail.Header("X-Brisa-Posted")), std::string(992, 'd'));
    EXPECT_EQ(DecodeWords(mail.Header("Subject")), std::string(5000, 's'));
    EXPECT_EQ(DecodeWords(mail.Header("X-Long")), std::string(3000, 'x'));
    EXPECT_EQ(DecodeQuotedPrintable(mail.parts.at(0).content), note + "\r\n");
}

TEST(ComposeMail, TheDateIsTheRelaysAndThePostsOwnIsKept) {
    std::vector<std::string> lines = kLines;
    lines[3] = "Date: So, 14 M\xE4r 1999 15:29 0100";
    lines.erase(lines.begin() + 5); // no receipt
    lines.push_back("X-Brisa-Posted: forged");
    ReceivedPost post;
    std::string problem;
    ASSERT_TRUE(ReadPostBody(PostBody(lines, "n", "PK"), "------BrisaPost", post, problem));
    MailStamp stamp = NewMailStamp(921443340, "host.example");
    const auto mail = ParseMail(ComposeMail(post, MakeWave(10), stamp));
    EXPECT_EQ(mail.Header("Date"), MailDateNow(921443340));
    EXPECT_EQ(mail.Count("X-Brisa-Posted"), 1);
    EXPECT_EQ(DecodeWords(mail.Header("X-Brisa-Posted")), "So, 14 M\xC3\xA4r 1999 15:29 0100");
    EXPECT_EQ(mail.Count("Disposition-Notification-To"), 0);
    const std::string id = mail.Header("Message-ID");
    EXPECT_EQ(id.rfind("<19990314202900.", 0), 0u) << id;
    EXPECT_NE(id.find("@host.example>"), std::string::npos) << id;
    EXPECT_NE(NewMailStamp(0, "h").messageId, NewMailStamp(0, "h").messageId);
    EXPECT_NE(NewMailStamp(0, "h").boundary, NewMailStamp(0, "h").boundary);
}

// ---- accounts and exposure ---------------------------------------------------------

TEST(ParseAccounts, TakesHtpasswdBcryptLinesAndNamesTheLineOfAnyOther) {
    const std::string ann = test::BcryptHash("secret");
    const std::string bob = test::BcryptHash("other", "$2b$");
    ASSERT_EQ(ann.size(), 60u);
    struct Case {
        std::string text;
        std::vector<std::string> addresses; // read, when problem is empty
        std::string problem;
    };
    const std::vector<Case> cases = {
        {"ann@example.com:" + ann + "\n", {"ann@example.com"}, ""},
        {"# accounts\n\n  \nann@example.com:" + ann + "\r\nBob@Example.org:" + bob,
         {"ann@example.com", "Bob@Example.org"}, ""},
        {"", {}, ""},
        {"ann@example.com:$apr1$abcdefgh$0123456789abcdefghijkl\n", {}, "line 1: "},
        {"\nann@example.com:$apr1$abcdefgh$0123456789abcdefghijkl\n", {}, "Apache MD5"},
        {"ann@example.com:{SHA}W6ph5Mm5Pz8GgiULbPgzG37mj9g=", {}, "SHA-1"},
        {"ann@example.com:abJnggxhB/yWI", {}, "DES crypt"},
        {"ann@example.com:$6$salt$abc", {}, "SHA-2 crypt"},
        {"ann@example.com:secret", {}, "plain-text"},
        {"ann@example.com:" + ann.substr(0, 59), {}, "damaged bcrypt"},
        {"ann@example.com:", {}, "is empty"},
        {"ann@example.com " + ann, {}, "not of the form"},
        {"ann:" + ann, {}, "not an e-mail address"},
        {"Ann <ann@example.com>:" + ann, {}, "not an e-mail address"},
        {"ann@example.com:" + ann + "\nANN@example.com:" + bob, {}, "line 2: ANN@example.com has"},
    };
    for (const auto& c : cases) {
        std::vector<RelayAccount> accounts;
        std::string problem;
        const bool read = ParseAccounts(c.text, accounts, problem);
        EXPECT_EQ(read, c.problem.empty()) << c.text << ": " << problem;
        if (!c.problem.empty()) {
            EXPECT_NE(problem.find(c.problem), std::string::npos) << problem;
            EXPECT_EQ(problem.find("secret"), std::string::npos) << problem;
            continue;
        }
        std::vector<std::string> addresses;
        for (const auto& account : accounts)
            addresses.push_back(account.address);
        EXPECT_EQ(addresses, c.addresses) << c.text;
    }

    std::vector<RelayAccount> accounts;
    std::string problem;
    ASSERT_TRUE(ParseAccounts("ann@example.com:" + ann, accounts, problem));
    const RelayAccount* found = FindAccount(accounts, "ANN@example.COM");
    ASSERT_NE(found, nullptr);
    EXPECT_TRUE(PasswordMatches(found->hash, "secret"));
    for (const char* wrong : {"Secret", "secret ", "", "secre"})
        EXPECT_FALSE(PasswordMatches(found->hash, wrong)) << wrong;
    EXPECT_FALSE(PasswordMatches(found->hash, std::string("secret\0x", 8)));
    EXPECT_EQ(FindAccount(accounts, "bob@example.com"), nullptr);
}

TEST(ReadBasicAuthorization, SplitsAtTheFirstColon) {
    struct Case {
        std::string value;
        bool read;
        std::string user, password;
    };
    const std::vector<Case> cases = {
        {"Basic YW5uQGV4YW1wbGUuY29tOnNlY3JldA==", true, "ann@example.com", "secret"},
        {"basic  YTpiOmM=", true, "a", "b:c"},
        {"Basic Og==", true, "", ""},
        {"Bearer YTpi", false, "", ""},
        {"Basic YWJj", false, "", ""}, // "abc": no colon
        {"Basic ###", false, "", ""},
        {"Basic", false, "", ""},
    };
    for (const auto& c : cases) {
        std::string user, password;
        EXPECT_EQ(ReadBasicAuthorization(c.value, user, password), c.read) << c.value;
        if (c.read) {
            EXPECT_EQ(user, c.user);
            EXPECT_EQ(password, c.password);
        }
    }
}

TEST(ExposureProblem, OnlyLoopbackMayGoWithoutAccounts) {
    struct Case {
        const char* listen;
        bool loopback;
    };
    const Case cases[] = {
        {"127.0.0.1", true},  {"127.8.9.10", true},   {"localhost", true},
        {"LocalHost", true},  {"::1", true},          {"[::1]", true},
        {"::ffff:127.0.0.1", true}, {"0.0.0.0", false}, {"::", false},
        {"192.168.1.5", false}, {"128.0.0.1", false}, {"relay.example.com", false},
        {"127.1", false}, {"::ffff:10.0.0.1", false}, {"", false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(IsLoopbackAddress(c.listen), c.loopback) << c.listen;
        RelayOptions options;
        options.listen = c.listen;
        const std::string problem = ExposureProblem(options);
        EXPECT_EQ(problem.empty(), c.loopback) << c.listen;
        if (!c.loopback) {
            EXPECT_NE(problem.find("--accounts"), std::string::npos) << problem;
            EXPECT_NE(problem.find("--no-auth"), std::string::npos) << problem;
            EXPECT_EQ(problem.find('\n'), std::string::npos) << problem;
        }
        options.accountsFile = "/etc/accounts";
        EXPECT_TRUE(ExposureProblem(options).empty()) << c.listen;
        // Beyond loopback, credentials over plain HTTP are warned about.
        EXPECT_EQ(ExposureWarnings(options).size(), c.loopback ? 0u : 1u) << c.listen;
        options.tlsCert = options.tlsKey = "/x";
        EXPECT_TRUE(ExposureWarnings(options).empty()) << c.listen;
        options.accountsFile.clear();
        options.tlsCert.clear();
        options.noAuth = true;
        EXPECT_TRUE(ExposureProblem(options).empty()) << c.listen;
    }
}

} // namespace
} // namespace brisa
