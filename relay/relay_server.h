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
//   401  with accounts: no or wrong credentials (WWW-Authenticate: Basic)
//   403  the post's From is not the account's address
//   408  the request took longer than its deadline, or its body stopped
//        short; send it again
//   422  the SMTP server refused the message for good (its reason follows)
//   429  too many failed logins from this address, or the account sent its
//        posts for this hour; Retry-After says when to try again
//   503  the message could not be stored, the SMTP server did not take it
//        now, or the relay is busy; the sender keeps the post and tries
//        again later
// One line per request goes to the log: time, peer, request, status and
// reason. No password and no Authorization value is ever written.
//
// Nothing that others can reach is left open: listening beyond the
// loopback addresses needs --accounts (or, deliberately, --no-auth).
//
// Command line: see RelayUsage(). SMTP credentials come from
// BRISA_RELAY_SMTP_USER and BRISA_RELAY_SMTP_PASSWORD.
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
    // Seconds for the request line and header lines, and for the whole
    // request: a client that trickles its request is cut off.
    int headDeadline = 10;
    int requestDeadline = 60;
    // Connections served at the same time (each waits for its own client).
    int workers = 64;

    std::string accountsFile; // "": no accounts (loopback only, or noAuth)
    bool noAuth = false;      // listen beyond loopback without accounts
    int maxPerHour = 60;      // posts per account and hour
    std::string tlsCert, tlsKey; // both set: HTTPS
};

// 127.0.0.0/8, ::1 (also as ::ffff:127.x.x.x) and "localhost".
bool IsLoopbackAddress(std::string_view pHost);

// Empty when the relay may listen as pOptions say; otherwise one line that
// says why not (listening beyond loopback without --accounts).
std::string ExposureProblem(const RelayOptions& pOptions);

// Warnings about a setup that works but is not safe (credentials over plain
// HTTP beyond loopback).
std::vector<std::string> ExposureWarnings(const RelayOptions& pOptions);

struct RelayAnswer {
    int status = 200;
    std::string text;   // the answer's body
    std::string detail; // for the log
    int retryAfter = 0; // seconds, for a Retry-After line
};

// The work on one request body whose head passed CheckPostHead: reads the
// post, checks the recording, composes the message and delivers it.
// pAccount: the address of the account that sent it ("" without accounts);
// the post's From must be that address, and it is the envelope sender.
RelayAnswer ProcessPost(const RelayOptions& pOptions, std::string_view pBoundary,
                        std::string_view pBody, const std::string& pAccount = {});

class RelayServer {
public:
    explicit RelayServer(RelayOptions pOptions);
    ~RelayServer();
    RelayServer(const RelayServer&) = delete;
    RelayServer& operator=(const RelayServer&) = delete;

    // Reads the accounts, binds the address and starts serving on a thread
    // of its own. False (pProblem says why) when the address cannot be
    // used, the accounts file or the TLS certificate cannot be read, or the
    // options would leave an open relay.
    bool Start(std::string& pProblem);
    // Reads the accounts file again (on SIGHUP). On failure the accounts
    // read before stay in force.
    bool ReloadAccounts(std::string& pProblem);
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
