#include "relay/mail_delivery.h"

#include <curl/curl.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <memory>
#include <pwd.h>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

namespace brisa {

namespace {

std::string ErrorText(int pError) {
    return std::strerror(pError);
}

bool IsFolder(const std::string& pPath) {
    struct stat info {};
    return ::stat(pPath.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

// mkdir -p with mode 0700 for the folders it creates.
bool MakeFolders(const std::string& pPath, std::string& pProblem) {
    if (pPath.empty()) {
        pProblem = "no Maildir folder is set";
        return false;
    }
    std::size_t pos = 0;
    while (pos != std::string::npos) {
        pos = pPath.find('/', pos + 1);
        const std::string part = pPath.substr(0, pos);
        if (part.empty() || IsFolder(part))
            continue;
        if (::mkdir(part.c_str(), 0700) != 0 && !(errno == EEXIST && IsFolder(part))) {
            pProblem = "cannot create the folder \"" + part + "\": " + ErrorText(errno);
            return false;
        }
    }
    return true;
}

// The host part of a Maildir name, with '/' and ':' written as octal escapes.
std::string MaildirHost() {
    char name[256] = {};
    if (::gethostname(name, sizeof name - 1) != 0 || name[0] == '\0')
        return "localhost";
    std::string host;
    for (const char* c = name; *c; ++c) {
        if (*c == '/')
            host += "\\057";
        else if (*c == ':')
            host += "\\072";
        else
            host += *c;
    }
    return host;
}

bool WriteAll(int pFile, const std::string& pBytes) {
    std::size_t done = 0;
    while (done < pBytes.size()) {
        const ssize_t n = ::write(pFile, pBytes.data() + done, pBytes.size() - done);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        if (n == 0) {
            errno = EIO;
            return false;
        }
        done += static_cast<std::size_t>(n);
    }
    return true;
}

void SyncFolder(const std::string& pFolder) {
    const int folder = ::open(pFolder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folder >= 0) {
        ::fsync(folder);
        ::close(folder);
    }
}

// Moves pFrom to pTo without ever replacing a file at pTo. EEXIST when
// pTo is taken.
bool MoveWithoutReplacing(const std::string& pFrom, const std::string& pTo) {
    if (::renameat2(AT_FDCWD, pFrom.c_str(), AT_FDCWD, pTo.c_str(), RENAME_NOREPLACE) == 0)
        return true;
    if (errno != EINVAL && errno != ENOSYS)
        return false;
    // A file system without RENAME_NOREPLACE: the classic link and unlink.
    if (::link(pFrom.c_str(), pTo.c_str()) != 0)
        return false;
    ::unlink(pFrom.c_str());
    return true;
}

struct CurlDeleter {
    void operator()(CURL* pCurl) const { curl_easy_cleanup(pCurl); }
};
struct ListDeleter {
    void operator()(curl_slist* pList) const { curl_slist_free_all(pList); }
};

struct Upload {
    const std::string* message = nullptr;
    std::size_t position = 0;
};

std::size_t ReadUpload(char* pBuffer, std::size_t pSize, std::size_t pCount, void* pUpload) {
    auto* upload = static_cast<Upload*>(pUpload);
    const std::size_t room = pSize * pCount;
    const std::size_t left = upload->message->size() - upload->position;
    const std::size_t n = room < left ? room : left;
    std::memcpy(pBuffer, upload->message->data() + upload->position, n);
    upload->position += n;
    return n;
}

bool StartsWithNoCaseAscii(const std::string& pText, const char* pPrefix) {
    const std::size_t n = std::strlen(pPrefix);
    return pText.size() >= n && ::strncasecmp(pText.c_str(), pPrefix, n) == 0;
}

} // namespace

std::string DefaultMaildir() {
    std::string data;
    if (const char* xdg = std::getenv("XDG_DATA_HOME"); xdg && xdg[0] == '/')
        data = xdg;
    else {
        std::string home;
        if (const char* h = std::getenv("HOME"); h && *h)
            home = h;
        else if (const passwd* user = ::getpwuid(::getuid()); user && user->pw_dir)
            home = user->pw_dir;
        data = home + "/.local/share";
    }
    return data + "/brisamail/relay/Maildir";
}

bool PrepareMaildir(const std::string& pMaildir, std::string& pProblem) {
    if (!MakeFolders(pMaildir, pProblem))
        return false;
    for (const char* sub : {"/tmp", "/new", "/cur"}) {
        const std::string folder = pMaildir + sub;
        if (::mkdir(folder.c_str(), 0700) != 0 && !(errno == EEXIST && IsFolder(folder))) {
            pProblem = "cannot create the folder \"" + folder + "\": " + ErrorText(errno);
            return false;
        }
    }
    return true;
}

bool DeliverToMaildir(const std::string& pMaildir, const std::string& pMessage,
                      std::string& pName, std::string& pProblem) {
    static std::atomic<unsigned long> counter{0};
    if (!PrepareMaildir(pMaildir, pProblem))
        return false;
    const std::string host = MaildirHost();
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::string name = std::to_string(static_cast<long long>(std::time(nullptr))) + "." +
                                 std::to_string(::getpid()) + "_" + std::to_string(++counter) +
                                 "." + host;
        const std::string temporary = pMaildir + "/tmp/" + name;
        const std::string final = pMaildir + "/new/" + name;
        const int file = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        if (file < 0) {
            if (errno == EEXIST)
                continue;
            pProblem = "cannot create \"" + temporary + "\": " + ErrorText(errno);
            return false;
        }
        bool ok = WriteAll(file, pMessage);
        int error = ok ? 0 : errno;
        if (ok && ::fsync(file) != 0) {
            ok = false;
            error = errno;
        }
        if (::close(file) != 0 && ok) {
            ok = false;
            error = errno;
        }
        if (!ok) {
            ::unlink(temporary.c_str());
            pProblem = "cannot write \"" + temporary + "\": " + ErrorText(error);
            return false;
        }
        if (!MoveWithoutReplacing(temporary, final)) {
            error = errno;
            ::unlink(temporary.c_str());
            if (error == EEXIST)
                continue;
            pProblem = "cannot move the message into \"" + pMaildir + "/new\": " + ErrorText(error);
            return false;
        }
        SyncFolder(pMaildir + "/new");
        pName = name;
        return true;
    }
    pProblem = "no free file name in \"" + pMaildir + "/tmp\"";
    return false;
}

bool ValidSmtpUrl(const std::string& pUrl) {
    std::size_t hostStart = 0;
    if (StartsWithNoCaseAscii(pUrl, "smtp://"))
        hostStart = 7;
    else if (StartsWithNoCaseAscii(pUrl, "smtps://"))
        hostStart = 8;
    else
        return false;
    return pUrl.size() > hostStart && pUrl[hostStart] != '/' && pUrl[hostStart] != ':' &&
           pUrl.find_first_of(" \t\r\n") == std::string::npos;
}

bool DeliverBySmtp(const SmtpSettings& pSettings, const std::string& pFrom,
                   const std::vector<std::string>& pRecipients, const std::string& pMessage,
                   std::string& pProblem, long& pReply) {
    pReply = 0;
    if (!ValidSmtpUrl(pSettings.url)) {
        pProblem = "the SMTP address \"" + pSettings.url + "\" is not smtp:// or smtps://";
        return false;
    }
    if (pRecipients.empty()) {
        pProblem = "the message has no recipient";
        return false;
    }
    std::unique_ptr<CURL, CurlDeleter> curl(curl_easy_init());
    if (!curl) {
        pProblem = "the SMTP transfer could not be prepared";
        return false;
    }
    curl_slist* list = nullptr;
    for (const auto& recipient : pRecipients)
        list = curl_slist_append(list, ("<" + recipient + ">").c_str());
    std::unique_ptr<curl_slist, ListDeleter> recipients(list);

    Upload upload;
    upload.message = &pMessage;
    char errorBuffer[CURL_ERROR_SIZE] = {};
    CURL* c = curl.get();
    curl_easy_setopt(c, CURLOPT_URL, pSettings.url.c_str());
#if LIBCURL_VERSION_NUM >= 0x075500
    curl_easy_setopt(c, CURLOPT_PROTOCOLS_STR, "smtp,smtps");
#else
    curl_easy_setopt(c, CURLOPT_PROTOCOLS, static_cast<long>(CURLPROTO_SMTP | CURLPROTO_SMTPS));
#endif
    curl_easy_setopt(c, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(c, CURLOPT_MAIL_FROM, ("<" + pFrom + ">").c_str());
    curl_easy_setopt(c, CURLOPT_MAIL_RCPT, recipients.get());
    curl_easy_setopt(c, CURLOPT_UPLOAD, 1L);
    curl_easy_setopt(c, CURLOPT_READFUNCTION, ReadUpload);
    curl_easy_setopt(c, CURLOPT_READDATA, &upload);
    curl_easy_setopt(c, CURLOPT_INFILESIZE_LARGE, static_cast<curl_off_t>(pMessage.size()));
    if (StartsWithNoCaseAscii(pSettings.url, "smtp://"))
        curl_easy_setopt(c, CURLOPT_USE_SSL, static_cast<long>(CURLUSESSL_TRY));
    if (!pSettings.user.empty()) {
        curl_easy_setopt(c, CURLOPT_USERNAME, pSettings.user.c_str());
        curl_easy_setopt(c, CURLOPT_PASSWORD, pSettings.password.c_str());
    }
    curl_easy_setopt(c, CURLOPT_CONNECTTIMEOUT, pSettings.connectTimeout);
    curl_easy_setopt(c, CURLOPT_LOW_SPEED_LIMIT, 1L);
    curl_easy_setopt(c, CURLOPT_LOW_SPEED_TIME, pSettings.stallTimeout);
    curl_easy_setopt(c, CURLOPT_TIMEOUT, pSettings.totalTimeout);
    curl_easy_setopt(c, CURLOPT_ERRORBUFFER, errorBuffer);

    const CURLcode result = curl_easy_perform(c);
    if (result != CURLE_OK) {
        long code = 0;
        curl_easy_getinfo(c, CURLINFO_RESPONSE_CODE, &code);
        pReply = code;
        pProblem = "the SMTP server did not take the message: ";
        pProblem += errorBuffer[0] ? errorBuffer : curl_easy_strerror(result);
        if (code > 0)
            pProblem += " (last reply " + std::to_string(code) + ")";
        return false;
    }
    curl_easy_getinfo(c, CURLINFO_RESPONSE_CODE, &pReply);
    return true;
}

bool SmtpRefusedForGood(long pReply) {
    return pReply >= 500 && pReply <= 599 && pReply != 530 && pReply != 534 && pReply != 535 &&
           pReply != 538;
}

std::string UrlWithoutCredentials(const std::string& pUrl) {
    const auto scheme = pUrl.find("://");
    if (scheme == std::string::npos)
        return pUrl;
    const auto hostStart = scheme + 3;
    const auto hostEnd = pUrl.find_first_of("/?#", hostStart);
    const auto at = pUrl.rfind('@', hostEnd == std::string::npos ? pUrl.size() : hostEnd);
    if (at == std::string::npos || at < hostStart)
        return pUrl;
    return pUrl.substr(0, hostStart) + pUrl.substr(at + 1);
}

} // namespace brisa
