#include "tests/sending/test_servers.h"

#include <httplib.h>

#include <algorithm>
#include <arpa/inet.h>
#include <atomic>
#include <deque>
#include <mutex>
#include <netinet/in.h>
#include <poll.h>
#include <strings.h>
#include <thread>
#include <unistd.h>

namespace brisa::test {

std::string ReceivedRequest::Header(const std::string& pName) const {
    for (const auto& [name, value] : headers)
        if (::strcasecmp(name.c_str(), pName.c_str()) == 0)
            return value;
    return {};
}

int ReceivedRequest::HeaderCount(const std::string& pName) const {
    return static_cast<int>(std::count_if(headers.begin(), headers.end(), [&](const auto& pHeader) {
        return ::strcasecmp(pHeader.first.c_str(), pName.c_str()) == 0;
    }));
}

struct HttpServer::Impl {
    httplib::Server server;
    int port = 0;
    std::thread thread;
    mutable std::mutex mutex;
    std::deque<ServerAnswer> answers;
    std::vector<ReceivedRequest> requests;

    void Take(const httplib::Request& pRequest, httplib::Response& pResponse) {
        ReceivedRequest received{pRequest.method, pRequest.target, pRequest.body, {}, {}};
        for (const auto& [name, file] : pRequest.files)
            received.parts.push_back({name, file.filename, file.content_type, file.content});
        received.headers.assign(pRequest.headers.begin(), pRequest.headers.end());
        std::lock_guard<std::mutex> lock(mutex);
        requests.push_back(std::move(received));
        const ServerAnswer answer = answers.empty() ? ServerAnswer() : answers.front();
        if (!answers.empty())
            answers.pop_front();
        pResponse.status = answer.status;
        for (const auto& [name, value] : answer.headers)
            pResponse.set_header(name, value);
        pResponse.set_content(answer.body, "text/plain");
    }
};

HttpServer::HttpServer() : m_Impl(std::make_unique<Impl>()) {
    Impl* impl = m_Impl.get();
    impl->server.Post(
        ".*", [impl](const auto& pRequest, auto& pResponse) { impl->Take(pRequest, pResponse); });
    // Connections wait in the socket's backlog until the thread takes them;
    // stop() only reaches a server that is running.
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
    return "http://127.0.0.1:" + std::to_string(Port()) + pPath;
}

void HttpServer::Queue(ServerAnswer pAnswer) {
    std::lock_guard<std::mutex> lock(m_Impl->mutex);
    m_Impl->answers.push_back(std::move(pAnswer));
}

std::vector<ReceivedRequest> HttpServer::Requests() const {
    std::lock_guard<std::mutex> lock(m_Impl->mutex);
    return m_Impl->requests;
}

int ListenOnLoopback(int& pPort, int pBacklog) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{AF_INET, 0, {htonl(INADDR_LOOPBACK)}, {}};
    socklen_t length = sizeof address;
    ::bind(fd, reinterpret_cast<sockaddr*>(&address), length);
    ::listen(fd, pBacklog);
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
    pPort = ntohs(address.sin_port);
    return fd;
}

struct RawServer::Impl {
    explicit Impl(RawMode pMode) : mode(pMode) {}
    RawMode mode;
    int port = 0, fd = ListenOnLoopback(port);
    std::atomic<bool> stop{false};
    std::atomic<int> connections{0};
    mutable std::mutex mutex;
    std::vector<std::string> captured;
    std::thread thread{[this] { Run(); }};

    // What arrives until the peer closes or goes quiet (Hold: until the
    // server stops); Drop takes one piece.
    std::string Read(int pClient) {
        std::string bytes;
        char buffer[65536];
        for (int quiet = 0; !stop && (mode == RawMode::Hold || quiet < 300);) {
            pollfd poller{pClient, POLLIN, 0};
            if (::poll(&poller, 1, 50) <= 0) {
                quiet += 50;
                continue;
            }
            const ssize_t n = ::read(pClient, buffer, sizeof buffer);
            if (n <= 0 || mode == RawMode::Drop)
                break;
            bytes.append(buffer, static_cast<size_t>(n));
            quiet = 0;
        }
        return bytes;
    }

    void Run() {
        // The answers of Hold, Drop, Garbage and Capture.
        const std::string answers[] = {
            "", "", "this is no answer at all\r\n\r\n",
            "HTTP/1.1 200 OK\r\nContent-Length: 0\r\nConnection: close\r\n\r\n"};
        for (pollfd poller{fd, POLLIN, 0}; !stop;) {
            const int client =
                ::poll(&poller, 1, 50) > 0 ? ::accept4(fd, nullptr, nullptr, SOCK_CLOEXEC) : -1;
            if (client < 0)
                continue;
            ++connections;
            const std::string request = Read(client);
            if (mode == RawMode::Capture) {
                std::lock_guard<std::mutex> lock(mutex);
                captured.push_back(request);
            }
            const std::string& answer = answers[static_cast<int>(mode)];
            [[maybe_unused]] const ssize_t written = ::write(client, answer.data(), answer.size());
            ::close(client);
        }
    }
};

RawServer::RawServer(RawMode pMode) : m_Impl(std::make_unique<Impl>(pMode)) {}

RawServer::~RawServer() {
    m_Impl->stop = true;
    m_Impl->thread.join();
    ::close(m_Impl->fd);
}

int RawServer::Port() const {
    return m_Impl->port;
}

std::string RawServer::Url(const std::string& pPath) const {
    return "http://127.0.0.1:" + std::to_string(Port()) + pPath;
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
    ::close(ListenOnLoopback(port));
    return port;
}

} // namespace brisa::test
