#include "relay/relay_server.h"

#include "relay/mail_message.h"
#include "relay/post_reader.h"
#include "relay/relay_accounts.h"
#include "relay/wave_archive.h"

#include <httplib.h>

#include <arpa/inet.h>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <deque>
#include <dirent.h>
#include <map>
#include <mutex>
#include <netdb.h>
#include <netinet/in.h>
#include <new>
#include <optional>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace brisa {

namespace {

constexpr const char* kTextPlain = "text/plain; charset=utf-8";
// Request bodies held in memory at once, over all connections.
constexpr std::uint64_t kBodyBudget = 256ull * 1024 * 1024;
// Failed logins from one client address before it is turned away for a
// while.
constexpr std::size_t kFailuresAllowed = 5;
constexpr auto kFailureWindow = std::chrono::seconds(60);
constexpr auto kHour = std::chrono::seconds(3600);

using Clock = std::chrono::steady_clock;

// What the pre-routing step took out of the request for the handler on the
// same thread.
struct RequestNotes {
    std::vector<std::string> contentTypes;
    std::string detail;  // the log's reason, when it is not the answer's text
    std::string account; // the account that sent the request, with accounts
    Clock::time_point since = Clock::now(); // when the connection was first seen
};
thread_local RequestNotes t_Notes;

std::string FirstLine(const std::string& pText) {
    const auto end = pText.find_first_of("\r\n");
    return end == std::string::npos ? pText : pText.substr(0, end);
}

std::string LogTime() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    ::localtime_r(&now, &local);
    char text[40];
    std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S %z", &local);
    return text;
}

std::vector<std::string> HeaderValues(const httplib::Request& pRequest, const char* pName) {
    std::vector<std::string> values;
    const auto range = pRequest.headers.equal_range(pName);
    for (auto it = range.first; it != range.second; ++it)
        values.push_back(it->second);
    return values;
}

std::string Only(const std::vector<std::string>& pValues) {
    return pValues.empty() ? std::string() : pValues.front();
}

void Answer(httplib::Response& pResponse, const RelayAnswer& pAnswer) {
    pResponse.status = pAnswer.status;
    pResponse.set_content(pAnswer.text + "\n", kTextPlain);
    if (pAnswer.status == 401)
        pResponse.set_header("WWW-Authenticate", "Basic realm=\"brisa-relay\"");
    if (pAnswer.retryAfter > 0)
        pResponse.set_header("Retry-After", std::to_string(pAnswer.retryAfter));
    t_Notes.detail = pAnswer.detail.empty() ? pAnswer.text : pAnswer.detail;
}

int SecondsUntil(Clock::time_point pWhen, Clock::time_point pNow) {
    const auto left = std::chrono::ceil<std::chrono::seconds>(pWhen - pNow).count();
    return left < 1 ? 1 : static_cast<int>(left);
}

// A connection as the log and the deadline watch name it: the peer's
// numeric address and port.
std::string PeerKey(const std::string& pAddress, int pPort) {
    return pAddress + ":" + std::to_string(pPort);
}

bool SocketPeer(const sockaddr_storage& pAddress, socklen_t pLength, std::string& pHost,
                int& pPort) {
    char host[NI_MAXHOST], port[NI_MAXSERV];
    if (::getnameinfo(reinterpret_cast<const sockaddr*>(&pAddress), pLength, host, sizeof host,
                      port, sizeof port, NI_NUMERICHOST | NI_NUMERICSERV) != 0)
        return false;
    pHost = host;
    pPort = std::atoi(port);
    return true;
}

// The head deadline of every request. The connections to the relay's port
// are found among the process's open files (the HTTP library does not hand
// out its sockets); one whose request line and header lines are not in
// after the deadline is closed without an answer, so that its client tries
// again later. The body's deadline is kept by the handler itself.
class ConnectionWatch {
public:
    using Log = std::function<void(const std::string&)>;

    void Start(int pPort, int pHeadDeadline, Log pLog) {
        m_Port = pPort;
        m_Head = std::chrono::seconds(pHeadDeadline);
        m_Log = std::move(pLog);
        m_Stop = false;
        m_Thread = std::thread([this] { Run(); });
    }
    void Stop() {
        {
            std::lock_guard<std::mutex> lock(m_Mutex);
            m_Stop = true;
        }
        m_Wake.notify_all();
        if (m_Thread.joinable())
            m_Thread.join();
    }
    ~ConnectionWatch() { Stop(); }

    // The request head is in: no deadline any more. When the connection
    // was first seen.
    Clock::time_point HeadDone(const std::string& pKey) {
        std::lock_guard<std::mutex> lock(m_Mutex);
        auto& connection = Entry(pKey);
        connection.headDone = true;
        return connection.since;
    }

private:
    struct Connection {
        Clock::time_point since;
        bool headDone = false;
    };

    Connection& Entry(const std::string& pKey) {
        auto [it, added] = m_Connections.try_emplace(pKey);
        if (added)
            it->second.since = Clock::now();
        return it->second;
    }

    void Run() {
        std::unique_lock<std::mutex> lock(m_Mutex);
        while (!m_Stop) {
            lock.unlock();
            Scan();
            lock.lock();
            m_Wake.wait_for(lock, std::chrono::milliseconds(200), [this] { return m_Stop; });
        }
    }

    void Scan() {
        const auto started = Clock::now();
        struct Found {
            int fd;
            std::string key;
        };
        std::vector<Found> found;
        if (DIR* folder = ::opendir("/proc/self/fd")) {
            const int own = ::dirfd(folder);
            while (const dirent* entry = ::readdir(folder)) {
                const int fd = std::atoi(entry->d_name);
                if (fd <= 2 || fd == own)
                    continue;
                std::string key;
                if (IsOurs(fd, key))
                    found.push_back({fd, key});
            }
            ::closedir(folder);
        }
        std::vector<std::string> lines;
        {
            std::lock_guard<std::mutex> lock(m_Mutex);
            const auto now = Clock::now();
            std::map<std::string, bool> open;
            for (const auto& f : found) {
                open[f.key] = true;
                Connection& connection = Entry(f.key);
                if (connection.headDone || now - connection.since <= m_Head)
                    continue;
                std::string key;
                if (!IsOurs(f.fd, key) || key != f.key)
                    continue; // closed meanwhile
                connection.headDone = true; // dealt with
                ::shutdown(f.fd, SHUT_RDWR);
                lines.push_back(f.key + " closed: the request head did not arrive within " +
                                std::to_string(m_Head.count()) + " s");
            }
            for (auto it = m_Connections.begin(); it != m_Connections.end();) {
                if (!open.count(it->first) && it->second.since < started)
                    it = m_Connections.erase(it);
                else
                    ++it;
            }
        }
        for (const auto& line : lines)
            m_Log(line);
    }

    // A connection accepted on the relay's port (not its listening socket).
    bool IsOurs(int pFd, std::string& pKey) const {
        sockaddr_storage local{}, peer{};
        socklen_t localLength = sizeof local, peerLength = sizeof peer;
        if (::getsockname(pFd, reinterpret_cast<sockaddr*>(&local), &localLength) != 0)
            return false;
        int port = 0;
        if (local.ss_family == AF_INET)
            port = ntohs(reinterpret_cast<const sockaddr_in*>(&local)->sin_port);
        else if (local.ss_family == AF_INET6)
            port = ntohs(reinterpret_cast<const sockaddr_in6*>(&local)->sin6_port);
        if (port != m_Port ||
            ::getpeername(pFd, reinterpret_cast<sockaddr*>(&peer), &peerLength) != 0)
            return false;
        std::string host;
        int peerPort = 0;
        if (!SocketPeer(peer, peerLength, host, peerPort))
            return false;
        pKey = PeerKey(host, peerPort);
        return true;
    }

    int m_Port = 0;
    std::chrono::seconds m_Head{10};
    Log m_Log;
    std::mutex m_Mutex;
    std::condition_variable m_Wake;
    bool m_Stop = false;
    std::map<std::string, Connection> m_Connections;
    std::thread m_Thread;
};

RelayAnswer Refuse(const std::string& pReason) {
    return {400, "Not a valid post: " + pReason, {}};
}

} // namespace

RelayAnswer ProcessPost(const RelayOptions& pOptions, std::string_view pBoundary,
                        std::string_view pBody, const std::string& pAccount) {
    try {
        ReceivedPost post;
        std::string problem;
        if (!ReadPostBody(pBody, pBoundary, post, problem))
            return Refuse(problem);
        if (!pAccount.empty() && !SameText(post.from.address, pAccount))
            return {403,
                    "The post's From address " + post.from.address +
                        " is not the address of the account " + pAccount +
                        "; an account sends only as its own address",
                    {}};
        std::string wave, entry;
        if (!ExtractWave(post.archive, wave, entry, problem))
            return Refuse(problem);
        post.archive.clear();
        post.archive.shrink_to_fit();

        const MailStamp stamp = NewMailStamp(std::time(nullptr), RelayHostName());
        const std::string message = ComposeMail(post, wave, stamp);
        wave.clear();
        wave.shrink_to_fit();

        const std::size_t count = post.to.size() + post.cc.size();
        const std::string summary = "from " + post.from.address + " to " + std::to_string(count) +
                                    (count == 1 ? " recipient" : " recipients") + ", " +
                                    std::to_string(message.size()) + " bytes";
        if (!pOptions.smtp.url.empty()) {
            std::vector<std::string> recipients;
            for (const auto& address : post.to)
                recipients.push_back(address.address);
            for (const auto& address : post.cc)
                recipients.push_back(address.address);
            long reply = 0;
            const std::string& sender = pAccount.empty() ? post.from.address : pAccount;
            if (!DeliverBySmtp(pOptions.smtp, sender, recipients, message, problem, reply)) {
                if (SmtpRefusedForGood(reply))
                    return {422, "The mail server refused the message: " + problem, {}};
                return {503, "The message could not be delivered now; try again later: " + problem,
                        {}};
            }
            return {200, "Delivered: the mail server took the message",
                    "delivered by SMTP " + stamp.messageId + " " + summary};
        }
        const std::string maildir = pOptions.maildir.empty() ? DefaultMaildir() : pOptions.maildir;
        std::string name;
        if (!DeliverToMaildir(maildir, message, name, problem))
            return {503, "The message could not be stored now; try again later: " + problem, {}};
        return {200, "Delivered: the message is stored", "stored new/" + name + " " + summary};
    } catch (const std::bad_alloc&) {
        return {503, "The relay is short of memory; try again later", {}};
    } catch (const std::exception& e) {
        return {503, std::string("The relay failed; try again later: ") + e.what(), {}};
    }
}

// ---- the exposure rule ----------------------------------------------------------

bool IsLoopbackAddress(std::string_view pHost) {
    std::string host(pHost);
    if (host.size() >= 2 && host.front() == '[' && host.back() == ']')
        host = host.substr(1, host.size() - 2);
    if (SameText(host, "localhost"))
        return true;
    in_addr v4{};
    if (::inet_pton(AF_INET, host.c_str(), &v4) == 1)
        return (ntohl(v4.s_addr) >> 24) == 127;
    in6_addr v6{};
    if (::inet_pton(AF_INET6, host.c_str(), &v6) == 1)
        return IN6_IS_ADDR_LOOPBACK(&v6) || (IN6_IS_ADDR_V4MAPPED(&v6) && v6.s6_addr[12] == 127);
    return false;
}

std::string ExposureProblem(const RelayOptions& pOptions) {
    if (IsLoopbackAddress(pOptions.listen) || !pOptions.accountsFile.empty() || pOptions.noAuth)
        return {};
    return "refusing to listen on " + pOptions.listen +
           " without --accounts FILE: anyone who reaches it could send mail through it "
           "(--no-auth opens it to everyone on purpose)";
}

std::vector<std::string> ExposureWarnings(const RelayOptions& pOptions) {
    std::vector<std::string> warnings;
    if (IsLoopbackAddress(pOptions.listen))
        return warnings;
    if (pOptions.noAuth && pOptions.accountsFile.empty())
        warnings.push_back("no accounts: anyone who reaches " + pOptions.listen + ":" +
                           std::to_string(pOptions.port) + " can send mail through this relay");
    else if (pOptions.tlsCert.empty())
        warnings.push_back("passwords travel as plain text over HTTP on " + pOptions.listen +
                           "; give --tls-cert and --tls-key to serve HTTPS");
    return warnings;
}

// ---- the server ------------------------------------------------------------------

struct RelayServer::Impl {
    RelayOptions options;
    std::unique_ptr<httplib::Server> server;
    std::thread thread;
    int port = 0;
    std::mutex work; // one post at a time is read, composed and delivered
    std::mutex logMutex;
    std::atomic<std::uint64_t> bodyBytes{0};
    ConnectionWatch watch;

    // The accounts and what they did lately (under authMutex).
    std::mutex authMutex;
    bool useAccounts = false;
    std::vector<RelayAccount> accounts;
    std::map<std::string, std::deque<Clock::time_point>> failures; // by client address
    std::map<std::string, std::deque<Clock::time_point>> sent;     // by account, lower case

    void Log(const std::string& pLine) {
        if (options.log) {
            options.log(pLine);
            return;
        }
        std::lock_guard<std::mutex> lock(logMutex);
        std::fprintf(stderr, "%s\n", pLine.c_str());
        std::fflush(stderr);
    }

    static std::string AccountKey(const std::string& pAddress) {
        std::string key = pAddress;
        for (char& c : key)
            if (c >= 'A' && c <= 'Z')
                c = static_cast<char>(c - 'A' + 'a');
        return key;
    }

    // Past the hour's posts of the account: the answer (under authMutex).
    std::optional<RelayAnswer> HourFull(const std::string& pAccount, Clock::time_point pNow) {
        if (options.maxPerHour <= 0)
            return std::nullopt;
        auto& times = sent[AccountKey(pAccount)];
        while (!times.empty() && pNow - times.front() >= kHour)
            times.pop_front();
        if (times.size() < static_cast<std::size_t>(options.maxPerHour))
            return std::nullopt;
        const int wait = SecondsUntil(times.front() + kHour, pNow);
        return RelayAnswer{429,
                           "The account " + pAccount + " sent its " +
                               std::to_string(options.maxPerHour) +
                               " posts for this hour; try again in " + std::to_string(wait) +
                               " seconds",
                           {}, wait};
    }

    // With accounts: who sent the request, or why it is turned away.
    std::optional<RelayAnswer> CheckAccess(const httplib::Request& pRequest, std::string& pAccount) {
        pAccount.clear();
        const auto now = Clock::now();
        std::vector<RelayAccount> known;
        {
            std::lock_guard<std::mutex> lock(authMutex);
            if (!useAccounts)
                return std::nullopt;
            const auto it = failures.find(pRequest.remote_addr);
            auto* failed = it == failures.end() ? nullptr : &it->second;
            while (failed && !failed->empty() && now - failed->front() >= kFailureWindow)
                failed->pop_front();
            if (failed && failed->size() >= kFailuresAllowed) {
                const int wait = SecondsUntil((*failed)[failed->size() - kFailuresAllowed] +
                                                  kFailureWindow, now);
                return RelayAnswer{429,
                                   "Too many failed logins from this address; try again in " +
                                       std::to_string(wait) + " seconds",
                                   {}, wait};
            }
            known = accounts;
        }
        const auto values = HeaderValues(pRequest, "Authorization");
        std::string user, password;
        if (values.size() != 1 || !ReadBasicAuthorization(values.front(), user, password))
            return RelayAnswer{401, "This relay takes posts only with a user name and password",
                               "no credentials", 0};
        const RelayAccount* account = FindAccount(known, user);
        bool right = false;
        if (account)
            right = PasswordMatches(account->hash, password);
        else if (!known.empty())
            PasswordMatches(known.front().hash, password); // an unknown name costs as much time
        std::fill(password.begin(), password.end(), '\0');
        std::lock_guard<std::mutex> lock(authMutex);
        if (!right) {
            if (failures.size() >= 10000) // forget quiet addresses
                for (auto it = failures.begin(); it != failures.end();)
                    it = (it->second.empty() || now - it->second.back() >= kFailureWindow)
                             ? failures.erase(it)
                             : std::next(it);
            failures[pRequest.remote_addr].push_back(now);
            return RelayAnswer{401, "The user name or password is wrong",
                               "wrong user name or password", 0};
        }
        pAccount = account->address;
        return HourFull(pAccount, now);
    }

    void HandlePost(const httplib::Request& pRequest, httplib::Response& pResponse,
                    const httplib::ContentReader& pReader) {
        std::string boundary, problem;
        std::uint64_t length = 0;
        if (t_Notes.contentTypes.size() > 1) {
            Answer(pResponse, Refuse("the request has more than one Content-Type"));
            return;
        }
        // The head is checked before a byte of the body is read.
        if (!CheckPostHead(Only(t_Notes.contentTypes), HeaderValues(pRequest, "Content-Length"),
                           Only(HeaderValues(pRequest, "Transfer-Encoding")),
                           Only(HeaderValues(pRequest, "Content-Encoding")), boundary, length,
                           problem)) {
            Answer(pResponse, Refuse(problem));
            return;
        }
        // Many slow clients at once must not take all the memory.
        struct Budget {
            std::atomic<std::uint64_t>& used;
            std::uint64_t mine;
            ~Budget() { used -= mine; }
        } budget{bodyBytes, length};
        if (bodyBytes.fetch_add(length) + length > kBodyBudget) {
            Answer(pResponse, {503, "The relay is busy; try again later", {}});
            return;
        }
        std::string body;
        try {
            body.reserve(static_cast<std::size_t>(length));
        } catch (const std::bad_alloc&) {
            Answer(pResponse, {503, "The relay is short of memory; try again later", {}});
            return;
        }
        // A client that keeps sending a little now and then is cut off at
        // the request deadline; one that falls silent, by the read timeout.
        const auto deadline = t_Notes.since + std::chrono::seconds(options.requestDeadline);
        bool late = false;
        const bool complete = pReader([&](const char* pData, std::size_t pSize) {
            if (Clock::now() > deadline) {
                late = true;
                return false;
            }
            if (body.size() + pSize > length)
                return false;
            body.append(pData, pSize);
            return true;
        });
        // A body that stopped short may be a slow or broken connection:
        // worth sending again, unlike a post that is wrong.
        if (late) {
            Answer(pResponse, {408,
                               "The request took longer than " +
                                   std::to_string(options.requestDeadline) +
                                   " seconds; send it again",
                               {}});
            return;
        }
        if (!complete || body.size() != length) {
            Answer(pResponse, {408,
                               "The body stopped short of its Content-Length (" +
                                   std::to_string(body.size()) + " of " + std::to_string(length) +
                                   " bytes arrived); send it again",
                               {}});
            return;
        }
        std::lock_guard<std::mutex> lock(work);
        const std::string account = t_Notes.account;
        if (!account.empty()) {
            std::lock_guard<std::mutex> authLock(authMutex);
            if (auto full = HourFull(account, Clock::now())) {
                Answer(pResponse, *full);
                return;
            }
        }
        const RelayAnswer answer = ProcessPost(options, boundary, body, account);
        if (!account.empty() && answer.status == 200) {
            std::lock_guard<std::mutex> authLock(authMutex);
            sent[AccountKey(account)].push_back(Clock::now());
        }
        Answer(pResponse, answer);
    }

    void Configure(httplib::Server& pServer);
};

void RelayServer::Impl::Configure(httplib::Server& server) {
    Impl* impl = this;
    // Each connection has a worker of its own; slow clients are cut off by
    // the deadlines, so a few of them cannot hold up everyone else.
    const int workers = options.workers > 0 ? options.workers : 1;
    server.new_task_queue = [workers] {
        return new httplib::ThreadPool(static_cast<std::size_t>(workers));
    };
    server.set_read_timeout(options.readTimeout, 0);
    server.set_write_timeout(30, 0);
    server.set_payload_max_length(static_cast<std::size_t>(kMaxPostBytes));
    // One request per connection: a refused request's unread body is never
    // taken for the next request, and the connection ends with the answer.
    server.set_keep_alive_max_count(1);
    // SO_REUSEADDR only: the library's default SO_REUSEPORT would let a
    // second relay share the port unnoticed.
    server.set_socket_options([](socket_t pSocket) {
        int yes = 1;
        ::setsockopt(pSocket, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    });

    // A client that waits for "100 Continue" before its body is turned
    // away before it sends it.
    server.set_expect_100_continue_handler(
        [impl](const httplib::Request& pRequest, httplib::Response& pResponse) {
            t_Notes = RequestNotes();
            std::string account;
            if (auto refusal = impl->CheckAccess(pRequest, account)) {
                Answer(pResponse, *refusal);
                return refusal->status;
            }
            return 100;
        });

    // The library would take a multipart/form-data body apart itself; the
    // relay reads the raw body and parses it strictly, so the Content-Type
    // is moved out of the request's header lines before routing (the
    // request object is the library's own, not a constant one). With
    // accounts, the credentials are checked here, before the body is read.
    server.set_pre_routing_handler([impl](const httplib::Request& pRequest,
                                          httplib::Response& pResponse) {
        t_Notes = RequestNotes();
        t_Notes.since = impl->watch.HeadDone(PeerKey(pRequest.remote_addr, pRequest.remote_port));
        auto& headers = const_cast<httplib::Request&>(pRequest).headers;
        const auto range = headers.equal_range("Content-Type");
        for (auto it = range.first; it != range.second; ++it)
            t_Notes.contentTypes.push_back(it->second);
        headers.erase("Content-Type");
        if (auto refusal = impl->CheckAccess(pRequest, t_Notes.account)) {
            Answer(pResponse, *refusal);
            return httplib::Server::HandlerResponse::Handled;
        }
        return httplib::Server::HandlerResponse::Unhandled;
    });

    auto post = [impl](const httplib::Request& pRequest, httplib::Response& pResponse,
                       const httplib::ContentReader& pReader) {
        impl->HandlePost(pRequest, pResponse, pReader);
    };
    server.Post("/post", post);
    server.Post("/", post);
    // Anything else is answered without reading its body.
    auto elsewhere = [](const httplib::Request& pRequest, httplib::Response& pResponse,
                        const httplib::ContentReader&) {
        if (pRequest.path == "/post" || pRequest.path == "/")
            Answer(pResponse, {405, "Only POST is taken here", {}});
        else
            Answer(pResponse, {404, "Posts go to /post", {}});
    };
    server.Post(".*", elsewhere);
    server.Put(".*", elsewhere);
    server.Patch(".*", elsewhere);
    server.Delete(".*", elsewhere);
    server.Get(".*", [](const httplib::Request& pRequest, httplib::Response& pResponse) {
        if (pRequest.path == "/post" || pRequest.path == "/")
            Answer(pResponse, {405, "Only POST is taken here", {}});
        else
            Answer(pResponse, {404, "Posts go to /post", {}});
    });

    server.set_error_handler(httplib::Server::HandlerWithResponse(
        [](const httplib::Request&, httplib::Response& pResponse) {
        if (pResponse.body.empty()) {
            pResponse.set_content(
                "HTTP " + std::to_string(pResponse.status) + ": the request was not taken\n",
                kTextPlain);
        }
        return httplib::Server::HandlerResponse::Handled;
    }));
    server.set_exception_handler(
        [](const httplib::Request&, httplib::Response& pResponse, std::exception_ptr) {
            Answer(pResponse, {503, "The relay failed; try again later", {}});
        });
    // Method and path only: no header line (Authorization) and no query
    // ever reaches the log.
    server.set_logger([impl](const httplib::Request& pRequest, const httplib::Response& pResponse) {
        std::string reason = t_Notes.detail.empty() ? FirstLine(pResponse.body) : t_Notes.detail;
        t_Notes.detail.clear();
        const std::string peer = pRequest.remote_addr.empty()
                                     ? std::string("-")
                                     : PeerKey(pRequest.remote_addr, pRequest.remote_port);
        std::string target = pRequest.method.empty() ? std::string("-")
                                                     : pRequest.method + " " + pRequest.path;
        for (char& c : target)
            if (static_cast<unsigned char>(c) < 0x20 || static_cast<unsigned char>(c) >= 0x7F)
                c = '?';
        if (target.size() > 200)
            target = target.substr(0, 200) + "...";
        if (!t_Notes.account.empty())
            reason += " [" + t_Notes.account + "]";
        impl->Log(LogTime() + " " + peer + " \"" + target + "\" " +
                  std::to_string(pResponse.status) + " " + reason);
    });
}

RelayServer::RelayServer(RelayOptions pOptions) : m_Impl(std::make_unique<Impl>()) {
    m_Impl->options = std::move(pOptions);
}

RelayServer::~RelayServer() {
    Stop();
}

bool RelayServer::ReloadAccounts(std::string& pProblem) {
    Impl* impl = m_Impl.get();
    if (impl->options.accountsFile.empty()) {
        pProblem = "no accounts file was given";
        return false;
    }
    std::vector<RelayAccount> accounts;
    std::string warning;
    if (!ReadAccountsFile(impl->options.accountsFile, accounts, pProblem, warning))
        return false;
    if (!warning.empty())
        impl->Log("brisa-relay: warning: " + warning);
    std::lock_guard<std::mutex> lock(impl->authMutex);
    impl->accounts = std::move(accounts);
    impl->useAccounts = true;
    return true;
}

bool RelayServer::Start(std::string& pProblem) {
    Impl* impl = m_Impl.get();
    const RelayOptions& options = impl->options;
    if (options.port < 0 || options.port > 65535) {
        pProblem = "the port " + std::to_string(options.port) + " is not a port number";
        return false;
    }
    if (pProblem = ExposureProblem(options); !pProblem.empty())
        return false;
    if (!options.accountsFile.empty() && !ReloadAccounts(pProblem))
        return false;
    if (options.tlsCert.empty() != options.tlsKey.empty()) {
        pProblem = "HTTPS needs both --tls-cert and --tls-key";
        return false;
    }
    if (!options.tlsCert.empty()) {
        for (const std::string* file : {&options.tlsCert, &options.tlsKey}) {
            if (::access(file->c_str(), R_OK) != 0) {
                pProblem = "cannot read \"" + *file + "\": " + std::strerror(errno);
                return false;
            }
        }
        auto secure = std::make_unique<httplib::SSLServer>(options.tlsCert.c_str(),
                                                           options.tlsKey.c_str());
        if (!secure->is_valid()) {
            pProblem = "the TLS certificate \"" + options.tlsCert + "\" and key \"" +
                       options.tlsKey + "\" cannot be used (not PEM, or not a pair)";
            return false;
        }
        impl->server = std::move(secure);
    } else {
        impl->server = std::make_unique<httplib::Server>();
    }
    impl->Configure(*impl->server);

    errno = 0;
    if (options.port == 0) {
        impl->port = impl->server->bind_to_any_port(options.listen);
        if (impl->port < 0)
            impl->port = 0;
    } else if (impl->server->bind_to_port(options.listen, options.port)) {
        impl->port = options.port;
    }
    if (impl->port == 0) {
        pProblem = "cannot listen on " + options.listen + ":" + std::to_string(options.port);
        if (errno != 0)
            pProblem += ": " + std::string(std::strerror(errno));
        return false;
    }
    impl->watch.Start(impl->port, options.headDeadline, [impl](const std::string& pLine) { impl->Log(LogTime() + " " + pLine); });
    impl->thread = std::thread([impl] { impl->server->listen_after_bind(); });
    // stop() only reaches a server that is already running.
    for (int i = 0; i < 2000 && !impl->server->is_running(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    return true;
}

int RelayServer::Port() const {
    return m_Impl->port;
}

void RelayServer::Stop() {
    if (m_Impl->thread.joinable()) {
        m_Impl->server->stop();
        m_Impl->thread.join();
    }
    m_Impl->watch.Stop();
}

// ---- command line ----------------------------------------------------------------

std::string RelayUsage() {
    return "Usage: brisa-relay [--listen ADDR] [--port N] [--maildir DIR] [--smtp URL]\n"
           "                   [--accounts FILE] [--max-per-hour N] [--no-auth]\n"
           "                   [--tls-cert FILE --tls-key FILE]\n"
           "\n"
           "Receives BrisaMail posts by HTTP (POST /post) and delivers them as e-mail.\n"
           "  --listen ADDR      address to listen on (default 127.0.0.1; 0.0.0.0 for all,\n"
           "                     which needs --accounts)\n"
           "  --port N           port to listen on (default 8025)\n"
           "  --maildir DIR      Maildir to store messages in (default\n"
           "                     $XDG_DATA_HOME/brisamail/relay/Maildir)\n"
           "  --smtp URL         hand messages to this SMTP server instead\n"
           "                     (smtp://host:port or smtps://host:port; credentials from\n"
           "                     BRISA_RELAY_SMTP_USER and BRISA_RELAY_SMTP_PASSWORD)\n"
           "  --accounts FILE    take posts only with a user name and password from FILE\n"
           "                     (made with: htpasswd -B FILE ann@example.com); each\n"
           "                     account sends only as its own address; SIGHUP reads it again\n"
           "  --max-per-hour N   posts per account and hour (default 60; 0: no limit)\n"
           "  --no-auth          listen beyond loopback without accounts: an open relay,\n"
           "                     for closed networks only\n"
           "  --tls-cert FILE    serve HTTPS with this PEM certificate (chain)...\n"
           "  --tls-key FILE     ...and this PEM private key\n"
           "\n"
           "Exit status: 0 after SIGINT or SIGTERM, 1 when it cannot start, 2 for a bad\n"
           "command line or one that would leave an open relay.\n";
}

bool ParseRelayArguments(const std::vector<std::string>& pArguments, RelayOptions& pOptions,
                         bool& pHelp, std::string& pProblem) {
    pHelp = false;
    static const char* const kWithValue[] = {"--listen",   "--port",         "--maildir",
                                             "--smtp",     "--accounts",     "--max-per-hour",
                                             "--tls-cert", "--tls-key"};
    for (std::size_t i = 0; i < pArguments.size(); ++i) {
        std::string name = pArguments[i], value;
        bool haveValue = false;
        if (name == "--help" || name == "-h") {
            pHelp = true;
            return true;
        }
        if (name == "--no-auth") {
            pOptions.noAuth = true;
            continue;
        }
        if (const auto equals = name.find('='); name.rfind("--", 0) == 0 && equals != std::string::npos) {
            value = name.substr(equals + 1);
            name = name.substr(0, equals);
            haveValue = true;
        }
        if (std::none_of(std::begin(kWithValue), std::end(kWithValue),
                         [&](const char* pKnown) { return name == pKnown; })) {
            pProblem = "unknown argument \"" + pArguments[i] + "\"";
            return false;
        }
        if (!haveValue) {
            if (i + 1 >= pArguments.size()) {
                pProblem = name + " needs a value";
                return false;
            }
            value = pArguments[++i];
        }
        auto number = [&](long pLowest, long pHighest, int& pOut) {
            char* end = nullptr;
            errno = 0;
            const long n = std::strtol(value.c_str(), &end, 10);
            if (value.empty() || *end != '\0' || errno != 0 || n < pLowest || n > pHighest) {
                pProblem = name + " needs a number from " + std::to_string(pLowest) + " to " +
                           std::to_string(pHighest) + ", not \"" + value + "\"";
                return false;
            }
            pOut = static_cast<int>(n);
            return true;
        };
        if (value.empty() && name != "--port" && name != "--max-per-hour") {
            pProblem = name + " needs a value";
            return false;
        }
        if (name == "--listen") {
            pOptions.listen = value;
        } else if (name == "--port") {
            if (!number(1, 65535, pOptions.port))
                return false;
        } else if (name == "--max-per-hour") {
            if (!number(0, 1000000, pOptions.maxPerHour))
                return false;
        } else if (name == "--maildir") {
            pOptions.maildir = value;
        } else if (name == "--accounts") {
            pOptions.accountsFile = value;
        } else if (name == "--tls-cert") {
            pOptions.tlsCert = value;
        } else if (name == "--tls-key") {
            pOptions.tlsKey = value;
        } else {
            if (!ValidSmtpUrl(value)) {
                pProblem = "--smtp needs an smtp:// or smtps:// address, not \"" +
                           UrlWithoutCredentials(value) + "\"";
                return false;
            }
            pOptions.smtp.url = value;
        }
    }
    if (pOptions.noAuth && !pOptions.accountsFile.empty()) {
        pProblem = "--no-auth and --accounts exclude each other";
        return false;
    }
    if (pOptions.tlsCert.empty() != pOptions.tlsKey.empty()) {
        pProblem = "HTTPS needs both --tls-cert and --tls-key";
        return false;
    }
    if (const char* user = std::getenv("BRISA_RELAY_SMTP_USER"))
        pOptions.smtp.user = user;
    if (const char* password = std::getenv("BRISA_RELAY_SMTP_PASSWORD"))
        pOptions.smtp.password = password;
    return true;
}

} // namespace brisa
