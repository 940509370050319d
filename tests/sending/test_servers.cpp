#include "tests/sending/test_servers.h"

#include <httplib.h>

#include <algorithm>
#include <arpa/inet.h>
#include <atomic>
#include <deque>
#include <functional>
#include <mutex>
#include <netinet/in.h>
#include <poll.h>
#include <strings.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace brisa::test {

namespace {

bool SameName(const std::string& pA, const std::string& pB) {
    return ::strcasecmp(pA.c_str(), pB.c_str()) == 0;
}

std::string LoopbackUrl(int pPort, const std::string& pPath) {
    return "http://127.0.0.1:" + std::to_string(pPort) + pPath;
}

} // namespace

std::string ReceivedRequest::Header(const std::string& pName) const {
    for (const auto& [name, value] : headers)
        if (SameName(name, pName))
            return value;
    return {};
}

int ReceivedRequest::HeaderCount(const std::string& pName) const {
    return static_cast<int>(std::count_if(headers.begin(), headers.end(), [&](const auto& pHeader) {
        return SameName(pHeader.first, pName);
    }));
}

// ---- HttpServer ----------------------------------------------------------------

struct HttpServer::Impl {
    httplib::Server server;
    int port = 0;
    std::thread thread;
    mutable std::mutex mutex;
    std::deque<ServerAnswer> answers;
    std::vector<ReceivedRequest> requests;
};

HttpServer::HttpServer() : m_Impl(std::make_unique<Impl>()) {
    Impl* impl = m_Impl.get();
    impl->server.Post(
        R"(.*)", [impl](const httplib::Request& pRequest, httplib::Response& pResponse) {
            ReceivedRequest received{pRequest.method, pRequest.target, pRequest.body, {}, {}};
            for (const auto& [name, file] : pRequest.files)
                received.parts.push_back({name, file.filename, file.content_type, file.content});
            received.headers.assign(pRequest.headers.begin(), pRequest.headers.end());
            ServerAnswer answer;
            {
                std::lock_guard<std::mutex> lock(impl->mutex);
                impl->requests.push_back(std::move(received));
                if (!impl->answers.empty()) {
                    answer = impl->answers.front();
                    impl->answers.pop_front();
                }
            }
            pResponse.status = answer.status;
            for (const auto& [name, value] : answer.headers)
                pResponse.set_header(name, value);
            pResponse.set_content(answer.body, "text/plain");
        });
    // The socket listens from here on; connections wait in its backlog until
    // the thread takes them. stop() only reaches a server that is running.
    impl->port = impl->server.bind_to_any_port("127.0.0.1");
    impl->thread = std::thread([impl] { impl->server.listen_after_bind(); });
    while (!impl->server.is_running())
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
}

HttpServer::~HttpServer() {
    m_Impl->server.stop();
    m_Impl->thread.join();
}

int HttpServer::Port() const {
    return m_Impl->port;
}

std::string HttpServer::Url(const std::string& pPath) const {
    return LoopbackUrl(m_Impl->port, pPath);
}

void HttpServer::Queue(ServerAnswer pAnswer) {
    std::lock_guard<std::mutex> lock(m_Impl->mutex);
    m_Impl->answers.push_back(std::move(pAnswer));
}

std::vector<ReceivedRequest> HttpServer::Requests() const {
    std::lock_guard<std::mutex> lock(m_Impl->mutex);
    return m_Impl->requests;
}

// ---- RawServer -----------------------------------------------------------------

namespace {

int Listen(int& pPort) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    ::bind(fd, reinterpret_cast<sockaddr*>(&address), length);
    ::listen(fd, 16);
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
    pPort = ntohs(address.sin_port);
    return fd;
}

// Reads into pBytes until pEnough says so, the peer closes, the server
// stops, or nothing arrives for pQuietMs (never, when negative).
void ReadFrom(int pFd, std::string& pBytes, int pQuietMs, const std::atomic<bool>& pStop,
              const std::function<bool(const std::string&)>& pEnough = {}) {
    char buffer[65536];
    int quiet = 0;
    while (!pStop && !(pEnough && pEnough(pBytes))) {
        pollfd poller{pFd, POLLIN, 0};
        if (::poll(&poller, 1, 50) <= 0) {
            if (pQuietMs >= 0 && (quiet += 50) >= pQuietMs)
                return;
            continue;
        }
        const ssize_t n = ::read(pFd, buffer, sizeof buffer);
        if (n <= 0)
            return;
        pBytes.append(buffer, static_cast<size_t>(n));
        quiet = 0;
    }
}

// True once pBytes hold a request head and as many body bytes as its
// Content-Length says.
bool WholeRequest(const std::string& pBytes) {
    const auto end = pBytes.find("\r\n\r\n");
    if (end == std::string::npos)
        return false;
    std::string head = pBytes.substr(0, end);
    std::transform(head.begin(), head.end(), head.begin(), ::tolower);
    const auto at = head.find("\r\ncontent-length:");
    return pBytes.size() >=
           end + 4 + (at == std::string::npos ? 0 : std::stoul(head.substr(at + 17)));
}

void Answer(int pFd, const std::string& pText) {
    [[maybe_unused]] const ssize_t n = ::write(pFd, pText.data(), pText.size());
}

} // namespace

struct RawServer::Impl {
    RawMode mode;
    mutable std::mutex mutex;
    std::vector<std::string> captured;
    int fd = -1;
    int port = 0;
    std::atomic<bool> stop{false};
    std::atomic<int> connections{0};
    std::thread thread;

    void Serve(int pClient) {
        std::string bytes;
        switch (mode) {
        case RawMode::Hold:
            ReadFrom(pClient, bytes, -1, stop);
            break;
        case RawMode::Drop: // reads a little, then goes
            bytes.resize(16);
            bytes.resize(
                static_cast<size_t>(std::max<ssize_t>(0, ::read(pClient, bytes.data(), 16))));
            break;
        case RawMode::Garbage:
            ReadFrom(pClient, bytes, 300, stop);
            Answer(pClient, "this is no answer at all\r\n\r\n");
            break;
        case RawMode::Capture:
            ReadFrom(pClient, bytes, 5000, stop, WholeRequest);
            {
                std::lock_guard<std::mutex> lock(mutex);
                captured.push_back(bytes);
            }
            Answer(pClient, "HTTP/1.1 200 OK\r\nContent-Length: 0\r\nConnection: close\r\n\r\n");
            break;
        }
    }

    void Run() {
        while (!stop) {
            pollfd poller{fd, POLLIN, 0};
            if (::poll(&poller, 1, 50) <= 0)
                continue;
            const int client = ::accept4(fd, nullptr, nullptr, SOCK_CLOEXEC);
            if (client < 0)
                continue;
            ++connections;
            Serve(client);
            ::close(client);
        }
    }
};

RawServer::RawServer(RawMode pMode) : m_Impl(std::make_unique<Impl>()) {
    m_Impl->mode = pMode;
    m_Impl->fd = Listen(m_Impl->port);
    m_Impl->thread = std::thread([impl = m_Impl.get()] { impl->Run(); });
}

RawServer::~RawServer() {
    m_Impl->stop = true;
    m_Impl->thread.join();
    ::close(m_Impl->fd);
}

int RawServer::Port() const {
    return m_Impl->port;
}

std::string RawServer::Url(const std::string& pPath) const {
    return LoopbackUrl(m_Impl->port, pPath);
}

int RawServer::Connections() const {
    return m_Impl->connections;
}

std::vector<std::string> RawServer::Captured() const {
    std::lock_guard<std::mutex> lock(m_Impl->mutex);
    return m_Impl->captured;
}

int ClosedPort() {
    int port = 0;
    ::close(Listen(port));
    return port;
}

} // namespace brisa::test
