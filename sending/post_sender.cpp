#include "sending/post_sender.h"

#include "common/utilities.h"
#include "platform/codepage.h"

#include <curl/curl.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <memory>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace brisa {

namespace {

std::string FolderOf(const std::string& pPath) {
    const auto slash = pPath.find_last_of('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? std::string("/") : pPath.substr(0, slash);
}

bool ValidUtf8(std::string_view pText) {
    size_t i = 0;
    while (i < pText.size()) {
        const auto c = static_cast<unsigned char>(pText[i]);
        size_t more = 0;
        if (c < 0x80)
            more = 0;
        else if (c >= 0xC2 && c <= 0xDF)
            more = 1;
        else if (c >= 0xE0 && c <= 0xEF)
            more = 2;
        else if (c >= 0xF0 && c <= 0xF4)
            more = 3;
        else
            return false;
        if (i + more >= pText.size() && more > 0)
            return false;
        for (size_t k = 1; k <= more; ++k)
            if ((static_cast<unsigned char>(pText[i + k]) & 0xC0) != 0x80)
                return false;
        i += more + 1;
    }
    return true;
}

// A header value as the program's UTF-8 text.
std::string HeaderText(std::string_view pValue) {
    const std::string value = TrimSpace(pValue);
    return ValidUtf8(value) ? value : Cp1252ToUtf8(value);
}

std::string ErrorText(int pError) {
    return std::strerror(pError);
}

// The notification of a post left waiting in pOutbox.
void MarkWaiting(SenderDone& pDone, const std::string& pOutbox) {
    pDone.notifyTime = kWaitingNotifyTime;
    pDone.specialCaption = kWaitingCaption;
    pDone.specialTarget = pOutbox;
}

struct Notification {
    bool present = false;
    std::string caption, target;
    int time = 0;
};

struct Transfer {
    Notification notification;
};

size_t DiscardBody(char*, size_t pSize, size_t pCount, void*) {
    return pSize * pCount;
}

size_t ReadHeader(char* pData, size_t pSize, size_t pCount, void* pUser) {
    auto* transfer = static_cast<Transfer*>(pUser);
    const size_t length = pSize * pCount;
    const std::string_view line(pData, length);
    // Each answer (an interim "100 Continue" included) starts afresh.
    if (StartsWithNoCase(line, "HTTP/")) {
        transfer->notification = Notification();
        return length;
    }
    const auto colon = line.find(':');
    if (colon == std::string_view::npos)
        return length;
    const std::string name = TrimSpace(line.substr(0, colon));
    const std::string_view value = line.substr(colon + 1);
    Notification& note = transfer->notification;
    if (EqualsNoCase(name, "X-Brisa-Notify-Caption")) {
        note.caption = HeaderText(value);
        note.present = !note.caption.empty();
    } else if (EqualsNoCase(name, "X-Brisa-Notify-Target")) {
        note.target = HeaderText(value);
    } else if (EqualsNoCase(name, "X-Brisa-Notify-Time")) {
        const std::string text = TrimSpace(value);
        char* end = nullptr;
        const long time = std::strtol(text.c_str(), &end, 10);
        note.time = (!text.empty() && end && *end == '\0')
                        ? static_cast<int>(std::clamp(time, 0L, 32767L))
                        : 0;
    }
    return length;
}

struct CurlDeleter {
    void operator()(CURL* p) const { curl_easy_cleanup(p); }
};
struct HeaderListDeleter {
    void operator()(curl_slist* p) const { curl_slist_free_all(p); }
};

// An open, locked post file; the lock keeps a second sender off it.
class PostLock {
public:
    ~PostLock() {
        if (m_Fd >= 0)
            ::close(m_Fd);
    }
    // 0 when the post is open and locked; otherwise an errno value
    // (EWOULDBLOCK: another sender holds it; ENOENT: it is gone).
    int Open(const std::string& pPath) {
        m_Fd = ::open(pPath.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
        if (m_Fd < 0)
            return errno;
        if (::flock(m_Fd, LOCK_EX | LOCK_NB) != 0)
            return errno == EWOULDBLOCK ? EWOULDBLOCK : errno;
        // The post may have been sent and removed between opening and locking.
        struct stat opened {
        }, named{};
        if (::fstat(m_Fd, &opened) != 0)
            return errno;
        if (::stat(pPath.c_str(), &named) != 0)
            return errno;
        if (opened.st_dev != named.st_dev || opened.st_ino != named.st_ino)
            return ENOENT;
        if (!S_ISREG(opened.st_mode))
            return EISDIR;
        return 0;
    }
    int Read(std::string& pBytes) {
        // Room for the whole file at once: growing step by step would copy
        // a large post over and over.
        struct stat info {};
        if (::fstat(m_Fd, &info) == 0 && info.st_size > 0)
            pBytes.reserve(static_cast<size_t>(info.st_size));
        char buffer[65536];
        for (;;) {
            const ssize_t n = ::read(m_Fd, buffer, sizeof buffer);
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0)
                return errno;
            if (n == 0)
                return 0;
            pBytes.append(buffer, static_cast<size_t>(n));
        }
    }

private:
    int m_Fd = -1;
};

bool ConnectionFailure(CURLcode pCode) {
    return pCode == CURLE_COULDNT_CONNECT || pCode == CURLE_COULDNT_RESOLVE_HOST ||
           pCode == CURLE_COULDNT_RESOLVE_PROXY;
}

long EnvironmentSeconds(const char* pName, long pDefault) {
    const char* text = std::getenv(pName);
    if (!text || !*text)
        return pDefault;
    char* end = nullptr;
    const long value = std::strtol(text, &end, 10);
    return (end && *end == '\0' && value > 0) ? value : pDefault;
}

} // namespace

void ApplyTimeoutEnvironment(SenderOptions& pOptions) {
    pOptions.connectTimeout =
        EnvironmentSeconds("BRISA_SENDER_CONNECT_TIMEOUT", pOptions.connectTimeout);
    pOptions.stallTimeout = EnvironmentSeconds("BRISA_SENDER_STALL_TIMEOUT", pOptions.stallTimeout);
    pOptions.totalTimeout = EnvironmentSeconds("BRISA_SENDER_TOTAL_TIMEOUT", pOptions.totalTimeout);
}

namespace {

// SplitPost without copying the body: pBodyStart receives where it begins.
bool SplitPostAt(std::string_view pBytes, std::vector<std::string>& pHeaders, size_t& pBodyStart,
                 std::string& pProblem) {
    pHeaders.clear();
    pBodyStart = 0;
    size_t position = 0;
    for (;;) {
        const auto end = pBytes.find('\n', position);
        if (end == std::string::npos) {
            pProblem = "it has no empty line before its body";
            return false;
        }
        std::string line(pBytes.substr(position, end - position));
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        position = end + 1;
        if (line.empty())
            break;
        const auto colon = line.find(':');
        const bool control = std::any_of(line.begin(), line.end(), [](char c) {
            return static_cast<unsigned char>(c) < 0x20 && c != '\t';
        });
        if (colon == std::string::npos || colon == 0 || control) {
            pProblem = "a request header line is not valid";
            return false;
        }
        pHeaders.push_back(line);
    }
    const size_t bodyLength = pBytes.size() - position;
    for (const auto& header : pHeaders) {
        if (!StartsWithNoCase(header, "Content-Length:"))
            continue;
        const std::string text = TrimSpace(std::string_view(header).substr(15));
        const bool digits = !text.empty() && std::all_of(text.begin(), text.end(), [](char c) {
            return c >= '0' && c <= '9';
        });
        if (!digits || text.size() > 18 || std::stoull(text) != bodyLength) {
            pProblem = "its body is " + std::to_string(bodyLength) +
                       " bytes long, its Content-Length says " + text;
            return false;
        }
    }
    pBodyStart = position;
    return true;
}

} // namespace

bool SplitPost(const std::string& pBytes, std::vector<std::string>& pHeaders, std::string& pBody,
               std::string& pProblem) {
    pBody.clear();
    size_t start = 0;
    if (!SplitPostAt(pBytes, pHeaders, start, pProblem))
        return false;
    pBody = pBytes.substr(start);
    return true;
}

DeliveryResult DeliverPost(const std::string& pPostFile, const SenderOptions& pOptions) {
    DeliveryResult result;
    SenderDone& done = result.done;
    const std::string outbox = FolderOf(pPostFile);

    PostLock post;
    std::string bytes;
    int error = pPostFile.empty() ? ENOENT : post.Open(pPostFile);
    if (error == EWOULDBLOCK) {
        result.outcome = Delivery::Busy;
        done.status = "The message is already being sent by another sender: " + pPostFile;
        return result;
    }
    if (error == 0)
        error = post.Read(bytes);
    if (error != 0) {
        done.status = "The message file could not be read: " + pPostFile + ": " + ErrorText(error);
        // A post that is still there waits for the next attempt.
        struct stat info {};
        if (!pPostFile.empty() && ::stat(pPostFile.c_str(), &info) == 0) {
            result.outcome = Delivery::Unreadable;
            MarkWaiting(done, outbox);
        } else {
            result.outcome = Delivery::Missing;
        }
        return result;
    }

    // The body is sent from where it lies in the file's bytes, not copied.
    std::vector<std::string> headers;
    std::string problem;
    size_t bodyStart = 0;
    if (!SplitPostAt(bytes, headers, bodyStart, problem)) {
        result.outcome = Delivery::Damaged;
        done.status = "The message file is damaged (" + problem + "): " + pPostFile;
        MarkWaiting(done, outbox);
        return result;
    }
    if (TrimSpace(pOptions.connectTo).empty()) {
        result.outcome = Delivery::Unreachable;
        done.status = "Could not reach the server: no server address is set";
        MarkWaiting(done, outbox);
        return result;
    }

    std::unique_ptr<CURL, CurlDeleter> curl(curl_easy_init());
    if (!curl) {
        result.outcome = Delivery::Unreachable;
        done.status = "Could not reach the server: the transfer could not be prepared";
        MarkWaiting(done, outbox);
        return result;
    }
    curl_slist* list = nullptr;
    for (const auto& header : headers)
        list = curl_slist_append(list, header.c_str());
    // No waiting for "100 Continue": the server reads the body straight away.
    list = curl_slist_append(list, "Expect:");
    std::unique_ptr<curl_slist, HeaderListDeleter> headerList(list);

    Transfer transfer;
    char errorBuffer[CURL_ERROR_SIZE] = {};
    CURL* c = curl.get();
    curl_easy_setopt(c, CURLOPT_URL, pOptions.connectTo.c_str());
#if LIBCURL_VERSION_NUM >= 0x075500
    curl_easy_setopt(c, CURLOPT_PROTOCOLS_STR, "http,https");
#else
    curl_easy_setopt(c, CURLOPT_PROTOCOLS, static_cast<long>(CURLPROTO_HTTP | CURLPROTO_HTTPS));
#endif
    curl_easy_setopt(c, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(c, CURLOPT_POST, 1L);
    const std::string_view body = std::string_view(bytes).substr(bodyStart);
    curl_easy_setopt(c, CURLOPT_POSTFIELDS, body.data());
    curl_easy_setopt(c, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(body.size()));
    curl_easy_setopt(c, CURLOPT_HTTPHEADER, headerList.get());
    if (pOptions.proxy == "XXX")
        curl_easy_setopt(c, CURLOPT_PROXY, "");
    else if (!pOptions.proxy.empty())
        curl_easy_setopt(c, CURLOPT_PROXY, pOptions.proxy.c_str());
    curl_easy_setopt(c, CURLOPT_CONNECTTIMEOUT, pOptions.connectTimeout);
    curl_easy_setopt(c, CURLOPT_LOW_SPEED_LIMIT, 1L);
    curl_easy_setopt(c, CURLOPT_LOW_SPEED_TIME, pOptions.stallTimeout);
    curl_easy_setopt(c, CURLOPT_TIMEOUT, pOptions.totalTimeout);
    curl_easy_setopt(c, CURLOPT_WRITEFUNCTION, DiscardBody);
    curl_easy_setopt(c, CURLOPT_HEADERFUNCTION, ReadHeader);
    curl_easy_setopt(c, CURLOPT_HEADERDATA, &transfer);
    curl_easy_setopt(c, CURLOPT_ERRORBUFFER, errorBuffer);

    const CURLcode code = curl_easy_perform(c);
    long status = 0;
    curl_easy_getinfo(c, CURLINFO_RESPONSE_CODE, &status);
    curl_off_t uploaded = 0;
    curl_easy_getinfo(c, CURLINFO_SIZE_UPLOAD_T, &uploaded);
    const std::string curlText = errorBuffer[0] ? errorBuffer : curl_easy_strerror(code);

    // A 2xx answer after the whole body went out means the server has the
    // post, even when the rest of its answer is lost.
    const bool accepted = status >= 200 && status <= 299 &&
                          (code == CURLE_OK || uploaded == static_cast<curl_off_t>(body.size()));
    if (accepted) {
        result.outcome = Delivery::Sent;
        done.status = "Sent to " + pOptions.connectTo;
        if (::unlink(pPostFile.c_str()) != 0 && errno != ENOENT)
            done.status +=
                " (the message file could not be removed from the outbox: " + ErrorText(errno) +
                ")";
    } else if (status > 0) {
        result.outcome = Delivery::Refused;
        done.status = "The server refused the message: HTTP " + std::to_string(status);
        MarkWaiting(done, outbox);
    } else {
        result.outcome = Delivery::Unreachable;
        curl_off_t connected = 0; // microseconds until the connection stood; 0 if never
        curl_easy_getinfo(c, CURLINFO_CONNECT_TIME_T, &connected);
        done.status = (ConnectionFailure(code) || connected == 0)
                          ? "Could not reach the server: " + curlText
                          : "The connection to the server broke off: " + curlText;
        MarkWaiting(done, outbox);
    }
    if (transfer.notification.present) {
        done.specialCaption = transfer.notification.caption;
        done.specialTarget = transfer.notification.target;
        done.notifyTime = transfer.notification.time;
    }
    return result;
}

SenderDone DeliverOutbox(const std::string& pOutbox, const SenderOptions& pOptions,
                         bool* pAllSent) {
    SenderDone done;
    if (pAllSent)
        *pAllSent = false;
    std::vector<std::string> names;
    if (DIR* folder = ::opendir(pOutbox.c_str())) {
        while (const dirent* entry = ::readdir(folder))
            if (IsPostFileName(entry->d_name))
                names.emplace_back(entry->d_name);
        ::closedir(folder);
    } else {
        done.status = "The outbox could not be read: " + pOutbox + ": " + ErrorText(errno);
        return done;
    }
    std::sort(names.begin(), names.end());

    int waiting = 0, sent = 0;
    std::string stopped;
    bool anyKept = false;
    SenderDone serverNote;
    for (size_t i = 0; i < names.size(); ++i) {
        const std::string path = pOutbox + "/" + names[i];
        const DeliveryResult result = DeliverPost(path, pOptions);
        // Posts another sender is busy with, or that vanished meanwhile, are
        // not this run's business.
        if (result.outcome == Delivery::Busy || result.outcome == Delivery::Missing)
            continue;
        ++waiting;
        if (result.outcome == Delivery::Sent)
            ++sent;
        else
            anyKept = true;
        if (!result.done.specialCaption.empty() && result.done.specialCaption != kWaitingCaption)
            serverNote = result.done;
        if (result.outcome == Delivery::Unreachable) {
            stopped = result.done.status;
            // The posts not tried count as waiting.
            for (size_t k = i + 1; k < names.size(); ++k) {
                struct stat info {};
                if (::stat((pOutbox + "/" + names[k]).c_str(), &info) == 0)
                    ++waiting;
            }
            break;
        }
    }
    done.status =
        std::to_string(sent) + " of " + std::to_string(waiting) + " waiting messages sent";
    if (pAllSent)
        *pAllSent = sent == waiting;
    if (!stopped.empty())
        done.status += " (" + stopped + ")";
    if (!serverNote.specialCaption.empty()) {
        done.notifyTime = serverNote.notifyTime;
        done.specialCaption = serverNote.specialCaption;
        done.specialTarget = serverNote.specialTarget;
    } else if (anyKept) {
        MarkWaiting(done, pOutbox);
    }
    return done;
}

int RunSender(const std::vector<std::string>& pArguments, std::string& pReport) {
    static const char* kUsage =
        "Usage: brisa-sender (--post FILE | --outbox DIR) --connect-to URL [--proxy P] "
        "[--language ID] [--sounds N]";
    SenderOptions options;
    std::string post, outbox;
    bool havePost = false, haveOutbox = false;
    std::string bad;
    for (size_t i = 0; i < pArguments.size() && bad.empty(); ++i) {
        std::string name = pArguments[i], value;
        if (const auto equals = name.find('=');
            name.rfind("--", 0) == 0 && equals != std::string::npos) {
            value = name.substr(equals + 1);
            name.resize(equals);
        } else if (i + 1 < pArguments.size()) {
            value = pArguments[++i];
        } else {
            bad = "a value is missing after " + name;
            break;
        }
        if (name == "--post") {
            post = value;
            havePost = true;
        } else if (name == "--outbox") {
            outbox = value;
            haveOutbox = true;
        } else if (name == "--connect-to") {
            options.connectTo = value;
        } else if (name == "--proxy") {
            options.proxy = value;
        } else if (name == "--language" || name == "--sounds") {
            // accepted; see the header
        } else {
            bad = "unknown argument " + name;
        }
    }
    if (bad.empty() && havePost == haveOutbox)
        bad = "give either --post or --outbox";
    if (!bad.empty()) {
        SenderDone done;
        done.status = std::string("The sender was started wrongly (") + bad + "). " + kUsage;
        pReport = FormatDoneLine(done);
        return 2;
    }
    ApplyTimeoutEnvironment(options);
    if (havePost) {
        const DeliveryResult result = DeliverPost(post, options);
        pReport = FormatDoneLine(result.done);
        return result.outcome == Delivery::Sent ? 0 : 1;
    }
    bool allSent = false;
    const SenderDone done = DeliverOutbox(outbox, options, &allSent);
    pReport = FormatDoneLine(done);
    return allSent ? 0 : 1;
}

} // namespace brisa
