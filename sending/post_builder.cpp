#include "sending/post_builder.h"

#include "common/utilities.h"
#include "language/translation.h"
#include "platform/codepage.h"
#include "platform/program_folder.h"
#include "platform/system_info.h"
#include "settings/registry.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <langinfo.h>
#include <locale.h>
#include <memory>
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

// The archive, open for reading, with its length when it was opened. Its
// bytes are copied into the post file as that is written, never held whole
// in memory.
class ArchiveFile {
public:
    ArchiveFile() = default;
    ~ArchiveFile() {
        if (m_Fd >= 0)
            ::close(m_Fd);
    }
    ArchiveFile(const ArchiveFile&) = delete;
    ArchiveFile& operator=(const ArchiveFile&) = delete;

    // False when pPath is not a regular file that can be read.
    bool Open(const std::string& pPath) {
        // Non-blocking so that a named pipe in its place cannot stop the program.
        m_Fd = ::open(pPath.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
        if (m_Fd < 0)
            return false;
        struct stat info {};
        if (::fstat(m_Fd, &info) != 0 || !S_ISREG(info.st_mode))
            return false;
        m_Size = static_cast<uint64_t>(info.st_size);
        return true;
    }
    int Fd() const { return m_Fd; }
    // A file that grows meanwhile is taken as far as it was long.
    uint64_t Size() const { return m_Size; }

private:
    int m_Fd = -1;
    uint64_t m_Size = 0;
};

bool WriteAll(int pFd, const char* pData, size_t pLength) {
    size_t done = 0;
    while (done < pLength) {
        const ssize_t n = ::write(pFd, pData + done, pLength - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += static_cast<size_t>(n);
    }
    return true;
}

bool WriteAll(int pFd, const std::string& pBytes) {
    return WriteAll(pFd, pBytes.data(), pBytes.size());
}

enum class CopyResult { Copied, ReadFailed, WriteFailed };

// Copies the archive's bytes to the end of pTarget: inside the kernel where
// the file systems allow it, otherwise through a small buffer.
CopyResult CopyArchive(const ArchiveFile& pArchive, int pTarget) {
    uint64_t left = pArchive.Size();
    off_t offset = 0;
    while (left > 0) {
        const size_t piece = static_cast<size_t>(std::min<uint64_t>(left, 1u << 30));
        const ssize_t n = ::copy_file_range(pArchive.Fd(), &offset, pTarget, nullptr, piece, 0);
        if (n > 0) {
            left -= static_cast<uint64_t>(n);
            continue;
        }
        if (n == 0)
            return CopyResult::ReadFailed; // the archive ended early
        if (errno == EINTR)
            continue;
        break; // not possible here: the buffer below tells which side failed
    }
    if (left == 0)
        return CopyResult::Copied;
    constexpr size_t kBuffer = 256 * 1024;
    const std::unique_ptr<char[]> buffer(new char[kBuffer]);
    while (left > 0) {
        const ssize_t n = ::pread(pArchive.Fd(), buffer.get(),
                                  static_cast<size_t>(std::min<uint64_t>(left, kBuffer)), offset);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return CopyResult::ReadFailed;
        if (!WriteAll(pTarget, buffer.get(), static_cast<size_t>(n)))
            return CopyResult::WriteFailed;
        offset += n;
        left -= static_cast<uint64_t>(n);
    }
    return CopyResult::Copied;
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

// Makes the entries of a folder (a rename into it) durable.
void SyncFolder(const std::string& pFolder) {
    const int fd = ::open(pFolder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return;
    ::fsync(fd);
    ::close(fd);
}

// Writes a new post in pOutbox named after pTime (or a later free second):
// pBefore, the archive's bytes, pAfter. The post's path, or "" on failure;
// pArchiveFailed tells a failure to read the archive from one to write.
std::string WritePostFile(const std::string& pOutbox, std::tm pTime, const std::string& pBefore,
                          const ArchiveFile& pArchive, const std::string& pAfter,
                          bool& pArchiveFailed) {
    pArchiveFailed = false;
    std::string temp = pOutbox + "/." + PostFileName(pTime) + ".XXXXXX";
    const int fd = ::mkostemp(temp.data(), O_CLOEXEC);
    if (fd < 0)
        return {};
    bool written = WriteAll(fd, pBefore);
    if (written) {
        const CopyResult copied = CopyArchive(pArchive, fd);
        pArchiveFailed = copied == CopyResult::ReadFailed;
        written = copied == CopyResult::Copied && WriteAll(fd, pAfter);
    }
    // On the disk before it has a name a sender looks for: a power cut must
    // not leave an empty or short post behind.
    written = written && ::fsync(fd) == 0;
    if (::close(fd) != 0 || !written) {
        ::unlink(temp.c_str());
        return {};
    }
    // A day's worth of taken names is more than any outbox will hold.
    for (int attempt = 0; attempt < 86400; ++attempt) {
        const std::string path = pOutbox + "/" + PostFileName(pTime);
        const int result = MoveIntoPlace(temp, path);
        if (result == 0) {
            SyncFolder(pOutbox);
            return path;
        }
        if (result != EEXIST)
            break;
        pTime = NextSecond(pTime);
    }
    ::unlink(temp.c_str());
    return {};
}

// A header value on one line: every control character (C0, DEL, C1 and the
// Unicode line and paragraph separators) becomes a blank, so no value can
// end its row early and start a row of its own.
std::string OneLine(const std::string& pValue) {
    // The line and paragraph separators (U+2028, U+2029) end a line for some
    // readers too.
    return ReplaceText(ReplaceText(ReplaceControlCharacters(pValue), "\xE2\x80\xA8", " "),
                       "\xE2\x80\xA9", " ");
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
    // UTC = local + bias, so the sign of the offset is the other way round.
    const std::string digits = TwoDigits(static_cast<int>(std::labs(hours))) + "00";
    return hours < 0 ? digits : std::string("-").append(digits);
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
    row("To: " + OneLine(pRequest.to));
    {
        const std::string name = Setting(&cRegistry::MyName);
        const std::string email = Setting(&cRegistry::MyEmail);
        row(name.empty() ? "From: " + OneLine(email)
                         : "From: \"" + OneLine(name) + "\" <" + OneLine(email) + ">");
    }
    if (pSubject.empty())
        pSubject = Text("mail0001");
    row("Subject: " + OneLine(pSubject));
    {
        int bias = 0;
        if (!pRequest.system || !pRequest.system->TimeZoneBias(bias))
            bias = 0;
        row("Date: " + OneLine(PostDate(clock())) + " " + PostZone(bias));
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
            row("Cc: " + OneLine(cc));
    }
    if (const std::string organisation = Setting(&cRegistry::MyOrganization); !organisation.empty())
        row("X-Organization: " + OneLine(organisation));
    if (pRequest.returnReceipt == 1)
        row("X-Return-Receipt: Yes");
    row("X-Language: " + OneLine(gLanguageId));
    row("X-Mailer: BrisaMailer");
    row("X-MailerVersion: " + std::to_string(BRISA_VERSION_MAJOR) + "." +
        std::to_string(BRISA_VERSION_MINOR) + "." + std::to_string(BRISA_VERSION_PATCH));
    row(std::string("X-TSworking: ") + (pRequest.bannerMarker.empty() ? "Yes" : "No"));
    row("X-Distributor: " + OneLine(Setting(&cRegistry::DistributorCode)));
    {
        std::string user;
        if (!pRequest.system || !pRequest.system->UserName(user))
            user = Setting(&cRegistry::MyName);
        if (const auto nul = user.find('\0'); nul != std::string::npos)
            user.resize(nul);
        row("X-UniqueId: " + OneLine(user));
    }
    row("");
    {
        const std::string note = Setting(&cRegistry::MyNote);
        row(TrimBlanks(note).empty() ? Text("mail0002") : note);
    }
    row("");
    row(delimiter);
    row("Content-Disposition: form-data; name=\"body\"; filename=\"" + OneLine(archiveName) + "\"");
    row("Content-Type: application/x-zip-compressed");
    row("");

    // 5. The archive's bytes, unchanged (copied in as the post is written).
    ArchiveFile archive;
    if (!archive.Open(pMessageFile))
        return kPostArchiveUnreadable;

    // 6. The closing rows.
    const std::string before = Utf8ToCp1252(text);
    const std::string after = std::string(kCrLf) + kCrLf + delimiter + "--" + kCrLf;
    const uint64_t bodyLength = before.size() + archive.Size() + after.size();

    // 7. - 9. The whole post, under the time of this moment.
    const std::string requestHead = Utf8ToCp1252(head) + "Content-Length: " +
                                    std::to_string(bodyLength) + kCrLf + kCrLf;
    const std::string folder =
        pRequest.programFolder.empty() ? ProgramFolder() : pRequest.programFolder;
    bool archiveFailed = false;
    const std::string path = WritePostFile(folder + "/outbox", clock(), requestHead + before,
                                           archive, after, archiveFailed);
    if (archiveFailed)
        return kPostArchiveUnreadable;
    if (path.empty()) {
        pMessageFile.clear();
        return kPostNotWritable;
    }
    pMessageFile = path;
    return kPostWritten;
}

} // namespace brisa
