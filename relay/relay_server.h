// brisa-relay: receives posts by HTTP and delivers them as e-mail.
//
// It listens on 127.0.0.1:8025 unless told otherwise and takes
// "POST /post" (and "POST /" for a ConnectTo address without a path) with a
// post's request header lines and body. A post that passes every check
// (post_reader.h, wave_archive.h) becomes an e-mail (mail_message.h) that
// is stored in a Maildir or handed to an SMTP server (mail_delivery.h).
//
// Answers, text/plain:
//   200  the message is safely stored, or the SMTP server took it
//   400  the request is no acceptable post; the text says why (sending it
//        again will not help)
//   503  the message could not be stored or the SMTP server did not take
//        it; the sender keeps the post and tries again later
// One line per request goes to the log: time, peer, request, status and
// reason.
//
// Command line:
//   brisa-relay [--listen ADDR] [--port N] [--maildir DIR] [--smtp URL]
// SMTP credentials come from BRISA_RELAY_SMTP_USER and
// BRISA_RELAY_SMTP_PASSWORD.
#pragma once

#include "relay/mail_delivery.h"

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace brisa {

inline constexpr int kRelayDefaultPort = 8025;

struct RelayOptions {
    std::string listen = "127.0.0.1";
    int port = kRelayDefaultPort; // 0: any free port (tests)
    std::string maildir;          // "" means DefaultMaildir()
    SmtpSettings smtp;            // smtp.url not empty: deliver by SMTP instead
    // Receives one line (without LF) per request; empty writes to stderr.
    std::function<void(const std::string&)> log;
    // Seconds a client may stay silent while sending its request.
    int readTimeout = 30;
};

struct RelayAnswer {
    int status = 200;
    std::string text;   // the answer's body
    std::string detail; // for the log
};

// The work on one request body whose head passed CheckPostHead: reads the
// post, checks the recording, composes the message and delivers it.
RelayAnswer ProcessPost(const RelayOptions& pOptions, std::string_view pBoundary,
                        std::string_view pBody);

class RelayServer {
public:
    explicit RelayServer(RelayOptions pOptions);
    ~RelayServer();
    RelayServer(const RelayServer&) = delete;
    RelayServer& operator=(const RelayServer&) = delete;

    // Binds the address and starts serving on a thread of its own. False
    // (pProblem says why) when the address cannot be used.
    bool Start(std::string& pProblem);
    // The port it listens on (after Start).
    int Port() const;
    // Stops serving and waits for the thread.
    void Stop();

private:
    struct Impl;
    std::unique_ptr<Impl> m_Impl;
};

// Reads the command line (without the program name) and the SMTP
// credentials from the environment. False with pProblem for a bad command
// line; pHelp is set for --help.
bool ParseRelayArguments(const std::vector<std::string>& pArguments, RelayOptions& pOptions,
                         bool& pHelp, std::string& pProblem);

std::string RelayUsage();

} // namespace brisa
