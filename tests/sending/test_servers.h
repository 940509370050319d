// Servers on 127.0.0.1 for the sending tests: a real HTTP server that
// records what it receives, and raw sockets that misbehave.
#pragma once

#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace brisa::test {

// One part of a multipart/form-data body as the server parsed it.
struct ReceivedPart {
    std::string name, filename, contentType, content;
};

struct ReceivedRequest {
    std::string method;
    std::string target;              // the request target as sent (absolute through a proxy)
    std::string body;                // a body that is no multipart form
    std::vector<ReceivedPart> parts; // the parts of a multipart form, by name
    std::vector<std::pair<std::string, std::string>> headers;
    // The value of a header (names compare without regard to case); "" when absent.
    std::string Header(const std::string& pName) const;
    int HeaderCount(const std::string& pName) const;
};

struct ServerAnswer {
    int status = 200;
    std::vector<std::pair<std::string, std::string>> headers;
    std::string body = "ok";
};

// An HTTP server (cpp-httplib) on a free port; answers every POST with the
// next queued answer (200 when the queue is empty). It parses multipart
// forms as a real server would; RawMode::Capture shows the raw bytes.
class HttpServer {
public:
    HttpServer();
    ~HttpServer();

    int Port() const;
    std::string Url(const std::string& pPath = "/post") const;
    void Queue(ServerAnswer pAnswer);
    std::vector<ReceivedRequest> Requests() const;

private:
    struct Impl;
    std::unique_ptr<Impl> m_Impl;
};

// A listening socket that talks no proper HTTP.
enum class RawMode {
    Hold,    // accepts and reads, never answers
    Drop,    // accepts, reads a little, then closes the connection
    Garbage, // accepts, reads the request, answers with a line that is no HTTP
    Capture  // reads one request (head and Content-Length body), answers 200
};

class RawServer {
public:
    explicit RawServer(RawMode pMode);
    ~RawServer();

    int Port() const;
    std::string Url(const std::string& pPath = "/post") const;
    int Connections() const;
    // The raw bytes of every request read in Capture mode.
    std::vector<std::string> Captured() const;

private:
    struct Impl;
    std::unique_ptr<Impl> m_Impl;
};

// A port on 127.0.0.1 where nothing listens.
int ClosedPort();

// A socket listening on 127.0.0.1 on a free port, which goes to pPort.
int ListenOnLoopback(int& pPort, int pBacklog = 16);

} // namespace brisa::test
