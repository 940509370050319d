// brisa-relay: receives posts by HTTP and delivers them as e-mail (see
// relay/relay_server.h).
#include "relay/relay_server.h"

#include <curl/curl.h>

#include <csignal>
#include <cstdio>
#include <pthread.h>
#include <string>
#include <vector>

int main(int argc, char** argv) {
    curl_global_init(CURL_GLOBAL_DEFAULT);
    // SIGINT, SIGTERM and SIGHUP are taken by the main thread below; every
    // thread started from here on inherits the blocked mask.
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    sigaddset(&signals, SIGHUP);
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);
    // A client that goes away while it is answered must not end the relay.
    std::signal(SIGPIPE, SIG_IGN);

    brisa::RelayOptions options;
    bool help = false;
    std::string problem;
    const std::vector<std::string> arguments(argv + 1, argv + argc);
    if (!brisa::ParseRelayArguments(arguments, options, help, problem)) {
        std::fprintf(stderr, "brisa-relay: %s\n\n%s", problem.c_str(), brisa::RelayUsage().c_str());
        return 2;
    }
    if (help) {
        std::fputs(brisa::RelayUsage().c_str(), stdout);
        return 0;
    }
    // No open relay by accident: one line, and the status of a bad command line.
    if (const std::string exposure = brisa::ExposureProblem(options); !exposure.empty()) {
        std::fprintf(stderr, "brisa-relay: %s\n", exposure.c_str());
        return 2;
    }
    if (options.maildir.empty())
        options.maildir = brisa::DefaultMaildir();

    std::string destination;
    if (options.smtp.url.empty()) {
        destination = "the Maildir " + options.maildir;
        if (!brisa::PrepareMaildir(options.maildir, problem))
            std::fprintf(stderr,
                         "brisa-relay: warning: %s; posts are refused with 503 until it can be "
                         "created\n",
                         problem.c_str());
    } else {
        destination = "the SMTP server " + brisa::UrlWithoutCredentials(options.smtp.url);
    }
    for (const auto& warning : brisa::ExposureWarnings(options))
        std::fprintf(stderr, "brisa-relay: warning: %s\n", warning.c_str());

    brisa::RelayServer server(options);
    if (!server.Start(problem)) {
        std::fprintf(stderr, "brisa-relay: %s\n", problem.c_str());
        curl_global_cleanup();
        return 1;
    }
    const char* scheme = options.tlsCert.empty() ? "http" : "https";
    const bool v6 = options.listen.find(':') != std::string::npos;
    std::fprintf(stderr, "brisa-relay: listening on %s://%s%s%s:%d/post, delivering to %s%s\n",
                 scheme, v6 ? "[" : "", options.listen.c_str(), v6 ? "]" : "", server.Port(),
                 destination.c_str(),
                 options.accountsFile.empty() ? "" : ", posts need an account");
    std::fflush(stderr);

    for (;;) {
        int signal = 0;
        sigwait(&signals, &signal);
        if (signal == SIGHUP && !options.accountsFile.empty()) {
            if (server.ReloadAccounts(problem))
                std::fprintf(stderr, "brisa-relay: read the accounts again\n");
            else
                std::fprintf(stderr, "brisa-relay: %s; the accounts read before stay in force\n",
                             problem.c_str());
            std::fflush(stderr);
            continue;
        }
        if (signal == SIGHUP)
            continue;
        std::fprintf(stderr, "brisa-relay: stopping (signal %d)\n", signal);
        break;
    }
    server.Stop();
    curl_global_cleanup();
    return 0;
}
