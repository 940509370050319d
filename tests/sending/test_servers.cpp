#include "tests/sending/test_servers.h"

#include <httplib.h>

#include <arpa/inet.h>
#include <atomic>
#include <cctype>
#include <deque>
#include <mutex>
#include <netinet/in.h>
#include <poll.h>
#include <strings.h>
#include <sys/socket.h>
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
    int count = 0;
    for (const auto& header : headers)
        if (::strcasecmp(header.first.c_str(), pName.c_str()) == 0)
            ++count;
    return count;
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
            ReceivedRequest received;
            received.method = pRequest.method;
            received.target = pRequest.target;
            received.body = pRequest.body;
            for (const auto& [name, file] : pRequest.files)
                received.parts.push_back({name, file.filename, file.content_type, file.content});
            for (const auto& header : pRequest.headers)
                received.headers.push_back(header);
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
    // the thread takes them.
    impl->port = impl->server.bind_to_any_port("127.0.0.1");
    impl->thread = std::thread([impl] { impl->server.listen_after_bind(); });
    // stop() only reaches a server that is already running.
    for (int i = 0; i < 1000 && !impl->server.is_running(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
}

HttpServer::~HttpServer() {
    m_Impl->server.stop();
    if (m_Impl->thread.joinable())
        m_Impl->thread.join();
}

int HttpServer::Port() const {
    return m_Impl->port;
}

std::string HttpServer::Url(const std::string& pPath) const {
    return "http://127.0.0.1:" + std::to_string(m_Impl->port) + pPath;
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
    address.sin_port = 0;
    ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
    ::listen(fd, 16);
    socklen_t length = sizeof address;
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
    pPort = ntohs(address.sin_port);
    return fd;
}

// Reads what arrives within pQuietMs of silence; false when the peer closed.
bool ReadFor(int pFd, int pQuietMs, const std::atomic<bool>& pStop) {
    char buffer[65536];
    while (!pStop) {
        pollfd poller{pFd, POLLIN, 0};
        const int ready = ::poll(&poller, 1, pQuietMs);
        if (ready <= 0)
            return true;
        const ssize_t n = ::read(pFd, buffer, sizeof buffer);
        if (n <= 0)
            return false;
    }
    return true;
}

// Reads one request: its head and as many body bytes as its Content-Length
// says (or what arrives before the peer goes quiet for a few seconds).
std::string ReadRequest(int pFd, const std::atomic<bool>& pStop) {
    std::string bytes;
    char buffer[65536];
    size_t wanted = std::string::npos;
    while (!pStop) {
        if (wanted == std::string::npos) {
            const auto end = bytes.find("\r\n\r\n");
            if (end != std::string::npos) {
                size_t length = 0;
                std::string head = bytes.substr(0, end);
                for (auto& c : head)
                    c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
                const auto at = head.find("\r\ncontent-length:");
                if (at != std::string::npos)
                    length = std::stoul(head.substr(at + 17));
                wanted = end + 4 + length;
            }
        }
        if (wanted != std::string::npos && bytes.size() >= wanted)
            break;
        pollfd poller{pFd, POLLIN, 0};
        if (::poll(&poller, 1, 5000) <= 0)
            break;
        const ssize_t n = ::read(pFd, buffer, sizeof buffer);
        if (n <= 0)
            break;
        bytes.append(buffer, static_cast<size_t>(n));
    }
    return bytes;
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

    void Run() {
        while (!stop) {
            pollfd poller{fd, POLLIN, 0};
            if (::poll(&poller, 1, 50) <= 0)
                continue;
            const int client = ::accept4(fd, nullptr, nullptr, SOCK_CLOEXEC);
            if (client < 0)
                continue;
            ++connections;
            switch (mode) {
            case RawMode::Hold:
                while (!stop && ReadFor(client, 50, stop)) {
                }
                break;
            case RawMode::Drop: {
                char buffer[16];
                (void)::read(client, buffer, sizeof buffer);
                break;
            }
            case RawMode::Garbage: {
                ReadFor(client, 300, stop);
                const char reply[] = "this is no answer at all\r\n\r\n";
                (void)::write(client, reply, sizeof reply - 1);
                break;
            }
            case RawMode::Capture: {
                std::string request = ReadRequest(client, stop);
                {
                    std::lock_guard<std::mutex> lock(mutex);
                    captured.push_back(std::move(request));
                }
                const char reply[] =
                    "HTTP/1.1 200 OK\r\nContent-Length: 0\r\nConnection: close\r\n\r\n";
                (void)::write(client, reply, sizeof reply - 1);
                break;
            }
            }
            ::close(client);
        }
    }
};

RawServer::RawServer(RawMode pMode) : m_Impl(std::make_unique<Impl>()) {
    m_Impl->mode = pMode;
    m_Impl->fd = Listen(m_Impl->port);
    Impl* impl = m_Impl.get();
    m_Impl->thread = std::thread([impl] { impl->Run(); });
}

RawServer::~RawServer() {
    m_Impl->stop = true;
    if (m_Impl->thread.joinable())
        m_Impl->thread.join();
    ::close(m_Impl->fd);
}

int RawServer::Port() const {
    return m_Impl->port;
}

std::string RawServer::Url(const std::string& pPath) const {
    return "http://127.0.0.1:" + std::to_string(m_Impl->port) + pPath;
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
    const int fd = Listen(port);
    ::close(fd);
    return port;
}

} // namespace brisa::test
