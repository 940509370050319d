// brisa-bench-sink: an HTTP server on the loopback interface that takes
// every POST whole and answers 200, for the upload measurement.
//
//   brisa-bench-sink [PORT] [SECONDS]
//       Listens on 127.0.0.1:PORT (0, the default, picks a free port), prints
//       "port N" once it listens, and stops by itself after SECONDS (600).
#include <httplib.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>

int main(int argc, char** argv) {
    const int port = argc > 1 ? std::atoi(argv[1]) : 0;
    const int seconds = argc > 2 ? std::atoi(argv[2]) : 600;
    httplib::Server server;
    server.Post(R"(/.*)", [](const httplib::Request& pRequest, httplib::Response& pResponse) {
        pResponse.set_content("received " + std::to_string(pRequest.body.size()) + " bytes\n",
                              "text/plain");
    });
    const int bound = port == 0 ? server.bind_to_any_port("127.0.0.1")
                                : (server.bind_to_port("127.0.0.1", port) ? port : -1);
    if (bound <= 0) {
        std::fprintf(stderr, "brisa-bench-sink: cannot listen on 127.0.0.1:%d\n", port);
        return 1;
    }
    std::printf("port %d\n", bound);
    std::fflush(stdout);
    std::thread limit([&server, seconds] {
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
        while (std::chrono::steady_clock::now() < end && !server.is_running())
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        while (std::chrono::steady_clock::now() < end && server.is_running())
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        server.stop();
    });
    server.listen_after_bind();
    limit.join();
    return 0;
}
