#include "sending/post_sender.h"

#include "common/server_address.h"
#include "common/utilities.h"
#include "platform/codepage.h"

#include <curl/curl.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <iostream>
#include <memory>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace brisa {

namespace {

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
    pDone.specialCaption = WaitingCaption();
    pDone.specialTarget = pOutbox;
}

std::string RefusedFolderOf(const std::string& pOutbox) {
    return pOutbox + "/" + kRefusedFolder;
}

// Moves a post that must not be sent again into the folder of set-aside
// posts (made owner-only), never replacing a post set aside before. The
// folder's path, or "" when the post could not be moved.
std::string SetAside(const std::string& pPostFile, const std::string& pOutbox) {
    const std::string folder = RefusedFolderOf(pOutbox);
    if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST)
        return {};
    std::string name = pPostFile.substr(pPostFile.find_last_of('/') + 1);
    const std::string stem = name.size() > 4 ? name.substr(0, name.size() - 4) : name;
    for (int attempt = 1; attempt < 1000; ++attempt) {
        if (attempt > 1)
            name = stem + "-" + std::to_string(attempt) + ".txt";
        const std::string target = folder + "/" + name;
        if (::renameat2(AT_FDCWD, pPostFile.c_str(), AT_FDCWD, target.c_str(), RENAME_NOREPLACE) ==
            0)
            return folder;
        if (errno == EINVAL || errno == ENOSYS || errno == EOPNOTSUPP) {
            // A file system without the exclusive rename.
            if (::link(pPostFile.c_str(), target.c_str()) == 0) {
                ::unlink(pPostFile.c_str());
                return folder;
            }
        }
        if (errno != EEXIST)
            return {};
    }
    return {};
}

// Sets a post aside and announces it with pCaption; when it cannot be
// moved it waits in the outbox as any other.
void SetAsideAndAnnounce(SenderDone& pDone, const std::string& pPostFile,
                         const std::string& pOutbox, const std::string& pCaption) {
    const std::string folder = SetAside(pPostFile, pOutbox);
    if (folder.empty()) {
        pDone.status += " (it could not be set aside: " + std::string(std::strerror(errno)) +
                        "; it stays in the outbox)";
        MarkWaiting(pDone, pOutbox);
        return;
    }
    pDone.status += "; it was set aside in " + folder + " and will not be sent again";
    pDone.notifyTime = kWaitingNotifyTime;
    pDone.specialCaption = pCaption;
    pDone.specialTarget = folder;
}

// The first line of an answer body as the program's text, control
// characters blanked, cut to 200 characters.
std::string FirstLine(std::string_view pBody) {
    const auto end = pBody.find_first_of("\r\n");
    std::string line = HeaderText(pBody.substr(0, end));
    for (auto& c : line)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F)
            c = ' ';
    size_t characters = 0, i = 0;
    for (; i < line.size(); ++i) {
        if ((static_cast<unsigned char>(line[i]) & 0xC0) == 0x80)
            continue; // inside a character
        if (characters == 200)
            break;
        ++characters;
    }
    line.resize(i);
    return line;
}

struct Notification {
    bool present = false;
    std::string caption, target;
    int time = 0;
};

struct Transfer {
    Notification notification;
    std::string body; // the beginning of the answer's body
};

// Keeps the beginning of the answer body: its first line is the reason of
// a refusal.
size_t KeepBody(char* pData, size_t pSize, size_t pCount, void* pUser) {
    auto* transfer = static_cast<Transfer*>(pUser);
    const size_t length = pSize * pCount;
    constexpr size_t kKept = 4096;
    if (transfer->body.size() < kKept)
        transfer->body.append(pData, std::min(length, kKept - transfer->body.size()));
    return length;
}

size_t ReadHeader(char* pData, size_t pSize, size_t pCount, void* pUser) {
    auto* transfer = static_cast<Transfer*>(pUser);
    const size_t length = pSize * pCount;
    const std::string_view line(pData, length);
    // Each answer (an interim "100 Continue" included) starts afresh.
    if (StartsWithNoCase(line, "HTTP/")) {
        transfer->notification = Notification();
        transfer->body.clear();
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

bool RefusedForGood(long pStatus) {
    return pStatus >= 400 && pStatus <= 499 && pStatus != 408 && pStatus != 429;
}

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
    const std::string server = AddressWithoutPassword(pOptions.connectTo);
    // Texts from elsewhere (the transfer library, the server) are shown
    // only without the password.
    auto clean = [&pOptions](const std::string& pText) {
        return HidePassword(pText, pOptions.connectTo);
    };

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
        // A post that is still there but cannot be read would fail the same
        // way at every attempt.
        struct stat info {};
        if (!pPostFile.empty() && ::stat(pPostFile.c_str(), &info) == 0) {
            result.outcome = Delivery::Unreadable;
            SetAsideAndAnnounce(done, pPostFile, outbox, DamagedCaption());
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
        SetAsideAndAnnounce(done, pPostFile, outbox, DamagedCaption());
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
    // Credentials in the address go as Basic authentication.
    curl_easy_setopt(c, CURLOPT_URL, pOptions.connectTo.c_str());
    curl_easy_setopt(c, CURLOPT_HTTPAUTH, static_cast<long>(CURLAUTH_BASIC));
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
    curl_easy_setopt(c, CURLOPT_WRITEFUNCTION, KeepBody);
    curl_easy_setopt(c, CURLOPT_WRITEDATA, &transfer);
    curl_easy_setopt(c, CURLOPT_HEADERFUNCTION, ReadHeader);
    curl_easy_setopt(c, CURLOPT_HEADERDATA, &transfer);
    curl_easy_setopt(c, CURLOPT_ERRORBUFFER, errorBuffer);

    const CURLcode code = curl_easy_perform(c);
    long status = 0;
    curl_easy_getinfo(c, CURLINFO_RESPONSE_CODE, &status);
    result.httpStatus = status;
    curl_off_t uploaded = 0;
    curl_easy_getinfo(c, CURLINFO_SIZE_UPLOAD_T, &uploaded);
    const std::string curlText = clean(errorBuffer[0] ? errorBuffer : curl_easy_strerror(code));
    const bool wholeAnswer = code == CURLE_OK;

    // A 2xx answer after the whole body went out means the server has the
    // post, even when the rest of its answer is lost.
    const bool accepted = status >= 200 && status <= 299 &&
                          (wholeAnswer || uploaded == static_cast<curl_off_t>(body.size()));
    // Cleaned before it is cut, so no piece of the password can remain.
    const std::string reason = FirstLine(clean(transfer.body));
    const std::string answer =
        "HTTP " + std::to_string(status) + (reason.empty() ? "" : " (" + reason + ")");
    if (accepted) {
        result.outcome = Delivery::Sent;
        done.status = "Sent to " + server;
        if (::unlink(pPostFile.c_str()) != 0 && errno != ENOENT)
            done.status +=
                " (the message file could not be removed from the outbox: " + ErrorText(errno) +
                ")";
    } else if (status > 0 && RefusedForGood(status)) {
        result.outcome = Delivery::Refused;
        done.status = "The server refused the message: " + answer;
        SetAsideAndAnnounce(
            done, pPostFile, outbox,
            RefusedCaption(reason.empty() ? "HTTP " + std::to_string(status) : reason));
    } else if (status > 0) {
        result.outcome = Delivery::Deferred;
        done.status = "The server could not take the message now: " + answer;
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
    if (transfer.notification.present && result.outcome != Delivery::Refused) {
        done.specialCaption = clean(transfer.notification.caption);
        done.specialTarget = clean(transfer.notification.target);
        done.notifyTime = transfer.notification.time;
    }
    return result;
}

SenderDone DeliverOutbox(const std::string& pOutbox, const SenderOptions& pOptions, bool* pAllSent,
                         int* pTried) {
    SenderDone done;
    if (pAllSent)
        *pAllSent = false;
    if (pTried)
        *pTried = 0;
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
    SenderDone serverNote, setAside;
    for (size_t i = 0; i < names.size(); ++i) {
        const std::string path = pOutbox + "/" + names[i];
        const DeliveryResult result = DeliverPost(path, pOptions);
        // Posts another sender is busy with, or that vanished meanwhile, are
        // not this run's business.
        if (result.outcome == Delivery::Busy || result.outcome == Delivery::Missing)
            continue;
        ++waiting;
        const bool aside = result.done.specialTarget == RefusedFolderOf(pOutbox);
        if (result.outcome == Delivery::Sent)
            ++sent;
        else if (aside)
            setAside = result.done;
        else
            anyKept = true;
        if (!aside && !result.done.specialCaption.empty() &&
            result.done.specialCaption != WaitingCaption())
            serverNote = result.done;
        // Nothing more goes out while the server cannot be reached or says
        // it is busy.
        const bool busy = result.outcome == Delivery::Deferred &&
                          (result.httpStatus == 429 || result.httpStatus == 503);
        if (result.outcome == Delivery::Unreachable || busy) {
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
    if (pTried)
        *pTried = waiting;
    if (!stopped.empty())
        done.status += " (" + stopped + ")";
    // What the user must hear of first: a post set aside, then the server's
    // own word, then posts still waiting.
    const SenderDone* note = !setAside.specialCaption.empty()     ? &setAside
                             : !serverNote.specialCaption.empty() ? &serverNote
                                                                  : nullptr;
    if (note) {
        done.notifyTime = note->notifyTime;
        done.specialCaption = note->specialCaption;
        done.specialTarget = note->specialTarget;
    } else if (anyKept) {
        MarkWaiting(done, pOutbox);
    }
    return done;
}

namespace {

// The values of "--connect-to -" and "--proxy -": lines of standard input.
std::vector<std::string> InputLines() {
    std::vector<std::string> lines;
    std::string line;
    while (lines.size() < 2 && std::getline(std::cin, line)) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        lines.push_back(line);
    }
    return lines;
}

} // namespace

int RunSender(const std::vector<std::string>& pArguments, std::string& pReport) {
    static const char* kUsage =
        "Usage: brisa-sender (--post FILE | --outbox DIR) --connect-to URL [--proxy P] "
        "[--language ID] [--sounds N]";
    SenderOptions options;
    std::string post, outbox, language;
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
        } else if (name == "--language") {
            language = value;
        } else if (name == "--sounds") {
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
    if (options.connectTo == "-" || options.proxy == "-") {
        const std::vector<std::string> lines = InputLines();
        if (options.connectTo == "-")
            options.connectTo = lines.size() > 0 ? lines[0] : std::string();
        if (options.proxy == "-")
            options.proxy = lines.size() > 1 ? lines[1] : std::string();
    }
    if (!language.empty())
        LoadSenderLanguage(language);
    ApplyTimeoutEnvironment(options);
    if (havePost) {
        const DeliveryResult result = DeliverPost(post, options);
        SenderDone done = result.done;
        bool allSent = result.outcome == Delivery::Sent;
        // The server takes posts again: those still waiting go out now.
        if (allSent) {
            int tried = 0;
            const SenderDone rest = DeliverOutbox(FolderOf(post), options, &allSent, &tried);
            if (tried > 0) {
                done.status += "; then " + rest.status;
                if (done.specialCaption.empty()) {
                    done.notifyTime = rest.notifyTime;
                    done.specialCaption = rest.specialCaption;
                    done.specialTarget = rest.specialTarget;
                }
            }
        }
        pReport = FormatDoneLine(done);
        return allSent ? 0 : 1;
    }
    bool allSent = false;
    const SenderDone done = DeliverOutbox(outbox, options, &allSent);
    pReport = FormatDoneLine(done);
    return allSent ? 0 : 1;
}

} // namespace brisa
