#include "relay/relay_server.h"

#include "relay/mail_message.h"
#include "relay/post_reader.h"
#include "relay/wave_archive.h"

#include <httplib.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <mutex>
#include <new>
#include <sys/socket.h>
#include <thread>

namespace brisa {

namespace {

constexpr const char* kTextPlain = "text/plain; charset=utf-8";

// What the pre-routing step took out of the request for the handler on the
// same thread.
struct RequestNotes {
    std::vector<std::string> contentTypes;
    std::string detail; // the log's reason, when it is not the answer's text
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
    t_Notes.detail = pAnswer.detail.empty() ? pAnswer.text : pAnswer.detail;
}

RelayAnswer Refuse(const std::string& pReason) {
    return {400, "Not a valid post: " + pReason, {}};
}

} // namespace

RelayAnswer ProcessPost(const RelayOptions& pOptions, std::string_view pBoundary,
                        std::string_view pBody) {
    try {
        ReceivedPost post;
        std::string problem;
        if (!ReadPostBody(pBody, pBoundary, post, problem))
            return Refuse(problem);
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
            if (!DeliverBySmtp(pOptions.smtp, post.from.address, recipients, message, problem))
                return {503, "The message could not be delivered now; try again later: " + problem,
                        {}};
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

// ---- the server ------------------------------------------------------------------

struct RelayServer::Impl {
    RelayOptions options;
    httplib::Server server;
    std::thread thread;
    int port = 0;
    std::mutex work; // one post at a time is read, composed and delivered
    std::mutex logMutex;

    void Log(const std::string& pLine) {
        if (options.log) {
            options.log(pLine);
            return;
        }
        std::lock_guard<std::mutex> lock(logMutex);
        std::fprintf(stderr, "%s\n", pLine.c_str());
        std::fflush(stderr);
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
        std::string body;
        try {
            body.reserve(static_cast<std::size_t>(length));
        } catch (const std::bad_alloc&) {
            Answer(pResponse, {503, "The relay is short of memory; try again later", {}});
            return;
        }
        const bool complete = pReader([&](const char* pData, std::size_t pSize) {
            if (body.size() + pSize > length)
                return false;
            body.append(pData, pSize);
            return true;
        });
        if (!complete || body.size() != length) {
            Answer(pResponse, Refuse("the body does not match its Content-Length (" +
                                     std::to_string(body.size()) + " of " +
                                     std::to_string(length) + " bytes arrived)"));
            return;
        }
        std::lock_guard<std::mutex> lock(work);
        Answer(pResponse, ProcessPost(options, boundary, body));
    }
};

RelayServer::RelayServer(RelayOptions pOptions) : m_Impl(std::make_unique<Impl>()) {
    m_Impl->options = std::move(pOptions);
    Impl* impl = m_Impl.get();
    httplib::Server& server = impl->server;

    // A few workers: each request may hold up to 64 MB of body.
    server.new_task_queue = [] { return new httplib::ThreadPool(4); };
    server.set_read_timeout(impl->options.readTimeout, 0);
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

    // The library would take a multipart/form-data body apart itself; the
    // relay reads the raw body and parses it strictly, so the Content-Type
    // is moved out of the request's header lines before routing (the
    // request object is the library's own, not a constant one).
    server.set_pre_routing_handler([](const httplib::Request& pRequest, httplib::Response&) {
        t_Notes = RequestNotes();
        auto& headers = const_cast<httplib::Request&>(pRequest).headers;
        const auto range = headers.equal_range("Content-Type");
        for (auto it = range.first; it != range.second; ++it)
            t_Notes.contentTypes.push_back(it->second);
        headers.erase("Content-Type");
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
    server.set_logger([impl](const httplib::Request& pRequest, const httplib::Response& pResponse) {
        std::string reason = t_Notes.detail.empty() ? FirstLine(pResponse.body) : t_Notes.detail;
        t_Notes.detail.clear();
        const std::string peer = pRequest.remote_addr.empty()
                                     ? std::string("-")
                                     : pRequest.remote_addr + ":" + std::to_string(pRequest.remote_port);
        std::string target = pRequest.method.empty() ? std::string("-")
                                                     : pRequest.method + " " + pRequest.path;
        for (char& c : target)
            if (static_cast<unsigned char>(c) < 0x20 || static_cast<unsigned char>(c) >= 0x7F)
                c = '?';
        if (target.size() > 200)
            target = target.substr(0, 200) + "...";
        impl->Log(LogTime() + " " + peer + " \"" + target + "\" " +
                  std::to_string(pResponse.status) + " " + reason);
    });
}

RelayServer::~RelayServer() {
    Stop();
}

bool RelayServer::Start(std::string& pProblem) {
    Impl* impl = m_Impl.get();
    const RelayOptions& options = impl->options;
    if (options.port < 0 || options.port > 65535) {
        pProblem = "the port " + std::to_string(options.port) + " is not a port number";
        return false;
    }
    errno = 0;
    if (options.port == 0) {
        impl->port = impl->server.bind_to_any_port(options.listen);
        if (impl->port < 0)
            impl->port = 0;
    } else if (impl->server.bind_to_port(options.listen, options.port)) {
        impl->port = options.port;
    }
    if (impl->port == 0) {
        pProblem = "cannot listen on " + options.listen + ":" + std::to_string(options.port);
        if (errno != 0)
            pProblem += ": " + std::string(std::strerror(errno));
        return false;
    }
    impl->thread = std::thread([impl] { impl->server.listen_after_bind(); });
    // stop() only reaches a server that is already running.
    for (int i = 0; i < 2000 && !impl->server.is_running(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    return true;
}

int RelayServer::Port() const {
    return m_Impl->port;
}

void RelayServer::Stop() {
    if (m_Impl->thread.joinable()) {
        m_Impl->server.stop();
        m_Impl->thread.join();
    }
}

// ---- command line ----------------------------------------------------------------

std::string RelayUsage() {
    return "Usage: brisa-relay [--listen ADDR] [--port N] [--maildir DIR] [--smtp URL]\n"
           "\n"
           "Receives BrisaMail posts by HTTP (POST /post) and delivers them as e-mail.\n"
           "  --listen ADDR   address to listen on (default 127.0.0.1; 0.0.0.0 for all)\n"
           "  --port N        port to listen on (default 8025)\n"
           "  --maildir DIR   Maildir to store messages in (default\n"
           "                  $XDG_DATA_HOME/brisamail/relay/Maildir)\n"
           "  --smtp URL      hand messages to this SMTP server instead\n"
           "                  (smtp://host:port or smtps://host:port; credentials from\n"
           "                  BRISA_RELAY_SMTP_USER and BRISA_RELAY_SMTP_PASSWORD)\n";
}

bool ParseRelayArguments(const std::vector<std::string>& pArguments, RelayOptions& pOptions,
                         bool& pHelp, std::string& pProblem) {
    pHelp = false;
    for (std::size_t i = 0; i < pArguments.size(); ++i) {
        std::string name = pArguments[i], value;
        bool haveValue = false;
        if (name == "--help" || name == "-h") {
            pHelp = true;
            return true;
        }
        if (const auto equals = name.find('='); name.rfind("--", 0) == 0 && equals != std::string::npos) {
            value = name.substr(equals + 1);
            name = name.substr(0, equals);
            haveValue = true;
        }
        if (name != "--listen" && name != "--port" && name != "--maildir" && name != "--smtp") {
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
        if (name == "--listen") {
            if (value.empty()) {
                pProblem = "--listen needs an address";
                return false;
            }
            pOptions.listen = value;
        } else if (name == "--port") {
            char* end = nullptr;
            errno = 0;
            const long port = std::strtol(value.c_str(), &end, 10);
            if (value.empty() || *end != '\0' || errno != 0 || port < 1 || port > 65535) {
                pProblem = "--port needs a number from 1 to 65535, not \"" + value + "\"";
                return false;
            }
            pOptions.port = static_cast<int>(port);
        } else if (name == "--maildir") {
            if (value.empty()) {
                pProblem = "--maildir needs a folder";
                return false;
            }
            pOptions.maildir = value;
        } else {
            if (!ValidSmtpUrl(value)) {
                pProblem = "--smtp needs an smtp:// or smtps:// address, not \"" + value + "\"";
                return false;
            }
            pOptions.smtp.url = value;
        }
    }
    if (const char* user = std::getenv("BRISA_RELAY_SMTP_USER"))
        pOptions.smtp.user = user;
    if (const char* password = std::getenv("BRISA_RELAY_SMTP_PASSWORD"))
        pOptions.smtp.password = password;
    return true;
}

} // namespace brisa
