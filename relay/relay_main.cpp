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
    // SIGINT and SIGTERM are taken by the main thread below; every thread
    // started from here on inherits the blocked mask.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    sigaddset(&stopSignals, SIGHUP);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

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
        destination = "the SMTP server " + options.smtp.url;
    }

    brisa::RelayServer server(options);
    if (!server.Start(problem)) {
        std::fprintf(stderr, "brisa-relay: %s\n", problem.c_str());
        curl_global_cleanup();
        return 1;
    }
    std::fprintf(stderr, "brisa-relay: listening on http://%s:%d/post, delivering to %s\n",
                 options.listen.c_str(), server.Port(), destination.c_str());
    std::fflush(stderr);

    int signal = 0;
    sigwait(&stopSignals, &signal);
    std::fprintf(stderr, "brisa-relay: stopping (signal %d)\n", signal);
    server.Stop();
    curl_global_cleanup();
    return 0;
}
