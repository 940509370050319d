#include "relay/mail_message.h"

#include <unistd.h>

#include <array>
#include <cctype>
#include <cstdio>
#include <mutex>
#include <random>

namespace brisa {

namespace {

constexpr std::string_view kCrLf = "\r\n";
constexpr std::string_view kPostedField = "X-Brisa-Posted";
constexpr std::array<const char*, 7> kDays = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
constexpr std::array<const char*, 12> kMonths = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                                 "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
// Bytes of UTF-8 text in one encoded word, so that a word stays well inside
// a 78-character line after the field name.
constexpr std::size_t kWordBytes = 30;

// 0 = Sunday (days counted from the civil calendar).
int WeekDay(int pYear, int pMonth, int pDay) {
    const int y = pYear - (pMonth <= 2 ? 1 : 0);
    const int era = (y >= 0 ? y : y - 399) / 400;
    const int yoe = y - era * 400;
    const int mp = (pMonth + 9) % 12;
    const int doy = (153 * mp + 2) / 5 + pDay - 1;
    const int doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    const long days = static_cast<long>(era) * 146097 + doe - 719468; // since 1970-01-01, a Thursday
    return static_cast<int>(((days % 7) + 7 + 4) % 7);
}

std::string FormatDate(int pYear, int pMonth, int pDay, int pHour, int pMinute, int pSecond,
                       char pSign, int pZoneHours, int pZoneMinutes) {
    char text[64];
    std::snprintf(text, sizeof text, "%s, %02d %s %04d %02d:%02d:%02d %c%02d%02d",
                  kDays[static_cast<std::size_t>(WeekDay(pYear, pMonth, pDay))], pDay,
                  kMonths[static_cast<std::size_t>(pMonth - 1)], pYear, pHour, pMinute, pSecond,
                  pSign, pZoneHours, pZoneMinutes);
    return text;
}

bool IsAsciiText(std::string_view pText) {
    for (char c : pText) {
        const auto u = static_cast<unsigned char>(c);
        if (u >= 0x7F || (u < 0x20 && c != '\t'))
            return false;
    }
    return true;
}

std::string Base64(std::string_view pBytes) {
    static const char kAlphabet[] =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    out.reserve((pBytes.size() + 2) / 3 * 4);
    std::size_t i = 0;
    for (; i + 3 <= pBytes.size(); i += 3) {
        const std::uint32_t n = (std::uint32_t(static_cast<unsigned char>(pBytes[i])) << 16) |
                                (std::uint32_t(static_cast<unsigned char>(pBytes[i + 1])) << 8) |
                                std::uint32_t(static_cast<unsigned char>(pBytes[i + 2]));
        out += kAlphabet[(n >> 18) & 63];
        out += kAlphabet[(n >> 12) & 63];
        out += kAlphabet[(n >> 6) & 63];
        out += kAlphabet[n & 63];
    }
    const std::size_t left = pBytes.size() - i;
    if (left > 0) {
        std::uint32_t n = std::uint32_t(static_cast<unsigned char>(pBytes[i])) << 16;
        if (left == 2)
            n |= std::uint32_t(static_cast<unsigned char>(pBytes[i + 1])) << 8;
        out += kAlphabet[(n >> 18) & 63];
        out += kAlphabet[(n >> 12) & 63];
        out += left == 2 ? kAlphabet[(n >> 6) & 63] : '=';
        out += '=';
    }
    return out;
}

// RFC 2047 encoded words for UTF-8 text, separated by folding white space;
// no word splits a character.
std::string EncodedWords(std::string_view pText) {
    std::string out;
    std::size_t pos = 0;
    while (pos < pText.size()) {
        std::size_t end = std::min(pos + kWordBytes, pText.size());
        while (end > pos + 1 && end < pText.size() &&
               (static_cast<unsigned char>(pText[end]) & 0xC0) == 0x80)
            --end;
        if (!out.empty())
            out += "\r\n ";
        out += "=?UTF-8?B?" + Base64(pText.substr(pos, end - pos)) + "?=";
        pos = end;
    }
    return out;
}

// Joins items with ", ", folding the line before an item that would make
// it longer than 78 characters.
std::string FoldedList(std::string_view pName, const std::vector<std::string>& pItems) {
    std::string out = std::string(pName) + ": ";
    std::size_t lineLength = out.size();
    for (std::size_t i = 0; i < pItems.size(); ++i) {
        const std::string& item = pItems[i];
        const std::size_t firstLine = item.find('\r') == std::string::npos ? item.size()
                                                                             : item.find('\r');
        if (i > 0) {
            out += ",";
            ++lineLength;
            if (lineLength + 1 + firstLine > 78) {
                out += "\r\n ";
                lineLength = 1;
            } else {
                out += " ";
                ++lineLength;
            }
        }
        out += item;
        const auto lastBreak = item.rfind('\n');
        lineLength = lastBreak == std::string::npos ? lineLength + item.size()
                                                    : item.size() - lastBreak - 1;
    }
    return out + std::string(kCrLf);
}

std::string SafeHost(const std::string& pHost) {
    std::string host;
    for (char c : pHost)
        if (std::isalnum(static_cast<unsigned char>(c)) || c == '-' || c == '.')
            host += c;
    while (!host.empty() && host.front() == '.')
        host.erase(0, 1);
    while (!host.empty() && host.back() == '.')
        host.pop_back();
    return host.empty() ? std::string("brisa-relay.invalid") : host;
}

std::mt19937_64& Random(std::unique_lock<std::mutex>& pLock) {
    static std::mutex mutex;
    static std::mt19937_64 random([] {
        std::random_device device;
        return (std::uint64_t(device()) << 32) ^ device() ^
               static_cast<std::uint64_t>(::getpid());
    }());
    pLock = std::unique_lock<std::mutex>(mutex);
    return random;
}

std::string RandomHex(int pDigits) {
    std::unique_lock<std::mutex> lock;
    auto& random = Random(lock);
    std::string out;
    while (static_cast<int>(out.size()) < pDigits) {
        char text[17];
        std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(random()));
        out += text;
    }
    return out.substr(0, static_cast<std::size_t>(pDigits));
}

bool EqualsNoCaseAscii(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(a[i])) !=
            std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

} // namespace

std::string MailDateNow(std::time_t pTime) {
    std::tm local{};
    if (!::localtime_r(&pTime, &local))
        ::gmtime_r(&pTime, &local);
    const long offset = local.tm_gmtoff;
    const long magnitude = (offset < 0 ? -offset : offset) / 60;
    return FormatDate(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour,
                      local.tm_min, local.tm_sec > 59 ? 59 : local.tm_sec, offset < 0 ? '-' : '+',
                      static_cast<int>(magnitude / 60), static_cast<int>(magnitude % 60));
}

std::string RelayHostName() {
    char name[256] = {};
    if (::gethostname(name, sizeof name - 1) != 0)
        return SafeHost("");
    return SafeHost(name);
}

MailStamp NewMailStamp(std::time_t pNow, const std::string& pHost) {
    MailStamp stamp;
    stamp.now = pNow;
    std::tm utc{};
    ::gmtime_r(&pNow, &utc);
    char when[32];
    std::snprintf(when, sizeof when, "%04d%02d%02d%02d%02d%02d", utc.tm_year + 1900,
                  utc.tm_mon + 1, utc.tm_mday, utc.tm_hour, utc.tm_min, utc.tm_sec);
    // Built by constructing and appending only: GCC 12 at -O3 reports a
    // false -Wrestrict overlap where a literal is inserted or assigned into
    // a std::string (`"<" + text`, `text = "<"`).
    std::string id(1, '<');
    id.append(when).append(".").append(RandomHex(16)).append("@").append(SafeHost(pHost)).append(">");
    stamp.messageId = std::move(id);
    // "=_" never occurs in base64 or quoted-printable text.
    std::string boundary("=_BrisaRelay_");
    boundary.append(RandomHex(24));
    stamp.boundary = std::move(boundary);
    return stamp;
}

std::string Base64Lines(std::string_view pBytes) {
    std::string out;
    out.reserve((pBytes.size() + 56) / 57 * 78);
    for (std::size_t pos = 0; pos < pBytes.size(); pos += 57) {
        out += Base64(pBytes.substr(pos, 57));
        out += kCrLf;
    }
    return out;
}

std::string QuotedPrintable(std::string_view pText) {
    static const char kHex[] = "0123456789ABCDEF";
    std::string out;
    std::size_t pos = 0;
    while (pos <= pText.size()) {
        auto end = pText.find(kCrLf, pos);
        const bool last = end == std::string_view::npos;
        if (last)
            end = pText.size();
        const std::string_view line = pText.substr(pos, end - pos);
        std::size_t length = 0;
        for (std::size_t i = 0; i < line.size(); ++i) {
            const auto u = static_cast<unsigned char>(line[i]);
            const bool atEnd = i + 1 == line.size();
            std::string token;
            if ((u >= 33 && u <= 126 && u != '=') || ((u == ' ' || u == '\t') && !atEnd))
                token = static_cast<char>(u);
            else
                token = {'=', kHex[u >> 4], kHex[u & 15]};
            if (length + token.size() > 75) {
                out += "=\r\n";
                length = 0;
            }
            out += token;
            length += token.size();
        }
        if (last)
            break;
        out += kCrLf;
        pos = end + 2;
    }
    return out;
}

std::string UnstructuredHeader(std::string_view pName, std::string_view pValue) {
    // Plain text as it stands, unless it would make a line longer than 998
    // characters: encoded words can be folded.
    if (IsAsciiText(pValue) && pName.size() + 2 + pValue.size() <= 998)
        return std::string(pName) + ": " + std::string(pValue) + std::string(kCrLf);
    return std::string(pName) + ": " + EncodedWords(pValue) + std::string(kCrLf);
}

std::string FormatMailbox(const MailAddress& pAddress) {
    if (pAddress.name.empty())
        return pAddress.address;
    std::string quoted = "\"";
    for (char c : pAddress.name) {
        if (c == '"' || c == '\\')
            quoted += '\\';
        quoted += c;
    }
    quoted += '"';
    // A name outside ASCII, or too long for one line, as encoded words.
    if (!IsAsciiText(pAddress.name) || quoted.size() > 76)
        return EncodedWords(pAddress.name) + " <" + pAddress.address + ">";
    return quoted + " <" + pAddress.address + ">";
}

std::string ComposeMail(const ReceivedPost& pPost, const std::string& pWave,
                        const MailStamp& pStamp) {
    auto mailboxes = [](const std::vector<MailAddress>& pList) {
        std::vector<std::string> items;
        for (const auto& address : pList)
            items.push_back(FormatMailbox(address));
        return items;
    };

    std::string mail;
    mail.reserve(pWave.size() / 57 * 78 + pPost.note.size() * 3 + 4096);
    // The relay's clock: the post's own date has only whole hours in its zone
    // and comes from a clock the relay cannot check.
    mail += "Date: " + MailDateNow(pStamp.now) + std::string(kCrLf);
    mail += FoldedList("From", {FormatMailbox(pPost.from)});
    mail += FoldedList("To", mailboxes(pPost.to));
    if (!pPost.cc.empty())
        mail += FoldedList("Cc", mailboxes(pPost.cc));
    mail += UnstructuredHeader("Subject", pPost.subject);
    mail += "Message-ID: " + pStamp.messageId + std::string(kCrLf);
    mail += "MIME-Version: 1.0\r\n";
    if (pPost.returnReceipt)
        mail += "Disposition-Notification-To: " + pPost.from.address + std::string(kCrLf);
    for (const auto& field : pPost.extra) {
        if (EqualsNoCaseAscii(field.name, kPostedField))
            continue; // the relay's own line below
        mail += UnstructuredHeader(field.name, field.value);
    }
    mail += UnstructuredHeader(kPostedField, pPost.date);
    mail += "Content-Type: multipart/mixed; boundary=\"" + pStamp.boundary + "\"\r\n";
    mail += kCrLf;
    mail += "This is a multi-part message in MIME format.\r\n";

    mail += "\r\n--" + pStamp.boundary + std::string(kCrLf);
    mail += "Content-Type: text/plain; charset=utf-8\r\n";
    mail += "Content-Transfer-Encoding: quoted-printable\r\n";
    mail += kCrLf;
    mail += QuotedPrintable(pPost.note);
    mail += kCrLf;

    mail += "\r\n--" + pStamp.boundary + std::string(kCrLf);
    mail += "Content-Type: audio/wav; name=\"message.wav\"\r\n";
    mail += "Content-Disposition: attachment; filename=\"message.wav\"\r\n";
    mail += "Content-Transfer-Encoding: base64\r\n";
    mail += kCrLf;
    mail += Base64Lines(pWave); // its last CR LF starts the closing delimiter
    mail += "--" + pStamp.boundary + "--\r\n";
    return mail;
}

} // namespace brisa
