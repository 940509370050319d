#include "sending/post_builder.h"

#include "common/utilities.h"
#include "language/translation.h"
#include "platform/codepage.h"
#include "platform/program_folder.h"
#include "platform/system_info.h"
#include "settings/registry.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <langinfo.h>
#include <locale.h>
#include <sys/stat.h>
#include <unistd.h>

namespace brisa {

namespace {

constexpr const char* kCrLf = "\r\n";

std::string TwoDigits(int pValue) {
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "%02d", pValue);
    return buffer;
}

// The same moment with its weekday and year day filled in; the fields are
// taken as they stand, without any time-zone or daylight-saving shift.
std::tm Normalised(const std::tm& pTime) {
    std::tm copy = pTime;
    const time_t seconds = ::timegm(&copy);
    std::tm out{};
    ::gmtime_r(&seconds, &out);
    return out;
}

std::tm NextSecond(const std::tm& pTime) {
    std::tm copy = pTime;
    const time_t seconds = ::timegm(&copy) + 1;
    std::tm out{};
    ::gmtime_r(&seconds, &out);
    return out;
}

std::tm SystemNow() {
    const time_t now = ::time(nullptr);
    std::tm out{};
    ::localtime_r(&now, &out);
    return out;
}

void AppendUtf8(std::string& pOut, char32_t pCode) {
    if (pCode < 0x80) {
        pOut += static_cast<char>(pCode);
    } else if (pCode < 0x800) {
        pOut += static_cast<char>(0xC0 | (pCode >> 6));
        pOut += static_cast<char>(0x80 | (pCode & 0x3F));
    } else if (pCode < 0x10000) {
        pOut += static_cast<char>(0xE0 | (pCode >> 12));
        pOut += static_cast<char>(0x80 | ((pCode >> 6) & 0x3F));
        pOut += static_cast<char>(0x80 | (pCode & 0x3F));
    } else if (pCode < 0x110000) {
        pOut += static_cast<char>(0xF0 | (pCode >> 18));
        pOut += static_cast<char>(0x80 | ((pCode >> 12) & 0x3F));
        pOut += static_cast<char>(0x80 | ((pCode >> 6) & 0x3F));
        pOut += static_cast<char>(0x80 | (pCode & 0x3F));
    }
}

// The user's date and time conventions: the locale named by LC_ALL, LC_TIME
// or LANG, like the C library's setlocale(LC_TIME, ""), without touching the
// program-wide locale. The C locale when none is set or it is not installed.
class TimeLocale {
public:
    TimeLocale() {
        m_Locale = ::newlocale(LC_TIME_MASK, "", static_cast<locale_t>(nullptr));
        if (!m_Locale)
            m_Locale = ::newlocale(LC_TIME_MASK, "C", static_cast<locale_t>(nullptr));
    }
    ~TimeLocale() {
        if (m_Locale)
            ::freelocale(m_Locale);
    }
    TimeLocale(const TimeLocale&) = delete;
    TimeLocale& operator=(const TimeLocale&) = delete;

    // An item of the locale as UTF-8 (the wide items do not depend on the
    // locale's character set).
    std::string Item(nl_item pItem) const {
        if (!m_Locale)
            return {};
        const auto* wide = reinterpret_cast<const wchar_t*>(::nl_langinfo_l(pItem, m_Locale));
        std::string out;
        if (!wide)
            return out;
        for (; *wide; ++wide)
            AppendUtf8(out, static_cast<char32_t>(*wide));
        return out;
    }

private:
    locale_t m_Locale = nullptr;
};

// The character between hours and minutes in the locale's time format
// ("%H:%M:%S" gives ':'); ':' when the format does not show one.
std::string TimeSeparator(const TimeLocale& pLocale) {
    const std::string format = pLocale.Item(_NL_WT_FMT);
    for (size_t i = 0; i + 2 < format.size(); ++i) {
        if (format[i] != '%')
            continue;
        const char field = format[i + 1];
        if (field == '%') {
            ++i;
            continue;
        }
        if (field != 'H' && field != 'I' && field != 'k' && field != 'l')
            continue;
        // The separator runs up to the next field.
        const auto next = format.find('%', i + 2);
        if (next == std::string::npos || next == i + 2)
            return ":";
        const std::string separator = format.substr(i + 2, next - (i + 2));
        return separator.empty() ? ":" : separator;
    }
    return ":";
}

// The archive's name in the body: the path after its last separator.
std::string BareName(const std::string& pPath) {
    const auto slash = pPath.find_last_of("/\\");
    return slash == std::string::npos ? pPath : pPath.substr(slash + 1);
}

bool ReadArchive(const std::string& pPath, std::string& pBytes) {
    // Non-blocking so that a named pipe in its place cannot stop the program.
    const int fd = ::open(pPath.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        return false;
    struct stat info {};
    bool ok = ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode);
    if (ok) {
        pBytes.resize(static_cast<size_t>(info.st_size));
        size_t done = 0;
        while (ok && done < pBytes.size()) {
            const ssize_t n = ::read(fd, pBytes.data() + done, pBytes.size() - done);
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                ok = false;
            else
                done += static_cast<size_t>(n);
        }
        // A file that grew meanwhile is taken as far as it was long.
    }
    ::close(fd);
    return ok;
}

bool WriteAll(int pFd, const std::string& pBytes) {
    size_t done = 0;
    while (done < pBytes.size()) {
        const ssize_t n = ::write(pFd, pBytes.data() + done, pBytes.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += static_cast<size_t>(n);
    }
    return true;
}

// Moves the finished temporary file to its final name without replacing an
// existing file. 0 on success, EEXIST when the name is taken, another errno
// value on failure.
int MoveIntoPlace(const std::string& pTemp, const std::string& pFinal) {
    if (::renameat2(AT_FDCWD, pTemp.c_str(), AT_FDCWD, pFinal.c_str(), RENAME_NOREPLACE) == 0)
        return 0;
    const int error = errno;
    if (error != EINVAL && error != ENOSYS && error != EOPNOTSUPP)
        return error;
    // A file system without the exclusive rename: a hard link also refuses
    // an existing name.
    if (::link(pTemp.c_str(), pFinal.c_str()) != 0)
        return errno;
    ::unlink(pTemp.c_str());
    return 0;
}

// Writes pBytes as a new post in pOutbox named after pTime (or a later free
// second); the post's path, or "" on failure.
std::string WritePostFile(const std::string& pOutbox, std::tm pTime, const std::string& pBytes) {
    std::string temp = pOutbox + "/." + PostFileName(pTime) + ".XXXXXX";
    const int fd = ::mkostemp(temp.data(), O_CLOEXEC);
    if (fd < 0)
        return {};
    const bool written = WriteAll(fd, pBytes);
    if (::close(fd) != 0 || !written) {
        ::unlink(temp.c_str());
        return {};
    }
    // A day's worth of taken names is more than any outbox will hold.
    for (int attempt = 0; attempt < 86400; ++attempt) {
        const std::string path = pOutbox + "/" + PostFileName(pTime);
        const int result = MoveIntoPlace(temp, path);
        if (result == 0)
            return path;
        if (result != EEXIST)
            break;
        pTime = NextSecond(pTime);
    }
    ::unlink(temp.c_str());
    return {};
}

std::string Setting(std::string (cRegistry::*pGetter)()) {
    return gRegistry ? (gRegistry->*pGetter)() : std::string();
}

std::string Text(const char* pId) {
    return Tr(pId).value_or(std::string());
}

} // namespace

std::string PostZone(int pBias) {
    // Half hours, halves to the even neighbour; then hours, halves away
    // from zero.
    const double halfHours = std::nearbyint(static_cast<double>(pBias) / 30.0);
    const long hours = std::lround(halfHours / 2.0);
    std::string text =
        (hours < 0 ? "-" : "") + TwoDigits(static_cast<int>(std::labs(hours))) + "00";
    // UTC = local + bias, so the sign of the offset is the other way round.
    if (!text.empty() && text.front() == '-')
        text.erase(0, 1);
    else
        text.insert(text.begin(), '-');
    return text;
}

std::string PostDate(const std::tm& pTime) {
    const std::tm t = Normalised(pTime);
    const TimeLocale locale;
    const std::string day = locale.Item(static_cast<nl_item>(_NL_WABDAY_1 + t.tm_wday));
    const std::string month = locale.Item(static_cast<nl_item>(_NL_WABMON_1 + t.tm_mon));
    return day + ", " + TwoDigits(t.tm_mday) + " " + month + " " +
           std::to_string(t.tm_year + 1900) + " " + TwoDigits(t.tm_hour) + TimeSeparator(locale) +
           TwoDigits(t.tm_min);
}

std::string PostFileName(const std::tm& pTime) {
    const std::tm t = Normalised(pTime);
    return TwoDigits((t.tm_year + 1900) % 100) + TwoDigits(t.tm_mon + 1) + TwoDigits(t.tm_mday) +
           TwoDigits(t.tm_hour) + TwoDigits(t.tm_min) + TwoDigits(t.tm_sec) + ".txt";
}

int BuildPost(const PostRequest& pRequest, std::string& pSubject, std::string& pMessageFile) {
    const LocalClock clock = pRequest.clock ? pRequest.clock : LocalClock(SystemNow);

    // 1. The archive must exist; nothing else happens when it does not.
    struct stat info {};
    if (::stat(pMessageFile.c_str(), &info) != 0)
        return kPostArchiveMissing;

    // 2., 3. The archive's name and the request header block.
    const std::string archiveName = BareName(pMessageFile);
    const std::string delimiter = std::string("--") + kPostBoundary;
    const std::string head = std::string("User-Agent: BrisaMail Client") + kCrLf +
                             "Content-Type: multipart/form-data; boundary=" + kPostBoundary + kCrLf;

    // 4. The text of the body, each setting read as its row is written.
    std::string text;
    auto row = [&text](const std::string& pRow) { text += pRow + kCrLf; };
    row(delimiter);
    row(R"(Content-Disposition: form-data; name="header"; filename="header.txt")");
    row("Content-Type: text/plain");
    row("");
    row("To: " + pRequest.to);
    {
        const std::string name = Setting(&cRegistry::MyName);
        const std::string email = Setting(&cRegistry::MyEmail);
        row(name.empty() ? "From: " + email : "From: \"" + name + "\" <" + email + ">");
    }
    if (pSubject.empty())
        pSubject = Text("mail0001");
    row("Subject: " + pSubject);
    {
        int bias = 0;
        if (!pRequest.system || !pRequest.system->TimeZoneBias(bias))
            bias = 0;
        row("Date: " + PostDate(clock()) + " " + PostZone(bias));
    }
    {
        const std::string myCc = Setting(&cRegistry::MyCc);
        std::string cc;
        if (TrimBlanks(myCc).empty())
            cc = TrimBlanks(pRequest.cc);
        else if (!pRequest.cc.empty())
            cc = pRequest.cc + ", " + myCc;
        else
            cc = myCc;
        if (!cc.empty())
            row("Cc: " + cc);
    }
    if (const std::string organisation = Setting(&cRegistry::MyOrganization); !organisation.empty())
        row("X-Organization: " + organisation);
    if (pRequest.returnReceipt == 1)
        row("X-Return-Receipt: Yes");
    row("X-Language: " + gLanguageId);
    row("X-Mailer: BrisaMailer");
    row("X-MailerVersion: " + std::to_string(BRISA_VERSION_MAJOR) + "." +
        std::to_string(BRISA_VERSION_MINOR) + "." + std::to_string(BRISA_VERSION_PATCH));
    row(std::string("X-TSworking: ") + (pRequest.bannerMarker.empty() ? "Yes" : "No"));
    row("X-Distributor: " + Setting(&cRegistry::DistributorCode));
    {
        std::string user;
        if (!pRequest.system || !pRequest.system->UserName(user))
            user = Setting(&cRegistry::MyName);
        if (const auto nul = user.find('\0'); nul != std::string::npos)
            user.resize(nul);
        row("X-UniqueId: " + user);
    }
    row("");
    {
        const std::string note = Setting(&cRegistry::MyNote);
        row(TrimBlanks(note).empty() ? Text("mail0002") : note);
    }
    row("");
    row(delimiter);
    row("Content-Disposition: form-data; name=\"body\"; filename=\"" + archiveName + "\"");
    row("Content-Type: application/x-zip-compressed");
    row("");

    // 5. The archive's bytes, unchanged.
    std::string archive;
    if (!ReadArchive(pMessageFile, archive))
        return kPostArchiveUnreadable;

    // 6. The closing rows.
    std::string body = Utf8ToCp1252(text);
    body += archive;
    body += std::string(kCrLf) + kCrLf + delimiter + "--" + kCrLf;

    // 7. - 9. The whole post in one piece, under the time of this moment.
    const std::string post = Utf8ToCp1252(head) + "Content-Length: " + std::to_string(body.size()) +
                             kCrLf + kCrLf + body;
    const std::string folder =
        pRequest.programFolder.empty() ? ProgramFolder() : pRequest.programFolder;
    const std::string path = WritePostFile(folder + "/outbox", clock(), post);
    if (path.empty()) {
        pMessageFile.clear();
        return kPostNotWritable;
    }
    pMessageFile = path;
    return kPostWritten;
}

} // namespace brisa
