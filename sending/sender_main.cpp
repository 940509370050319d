// brisa-sender: delivers post files from the outbox (see post_sender.h).
#include "sending/post_sender.h"

#include <curl/curl.h>

#include <cstdio>
#include <string>
#include <vector>

int main(int argc, char** argv) {
    curl_global_init(CURL_GLOBAL_DEFAULT);
    std::vector<std::string> arguments(argv + 1, argv + argc);
    std::string report;
    int code = 2;
    try {
        code = brisa::RunSender(arguments, report);
    } catch (...) {
        brisa::SenderDone done;
        done.status = "The sender failed unexpectedly";
        report = brisa::FormatDoneLine(done);
        code = 1;
    }
    std::fwrite(report.data(), 1, report.size(), stdout);
    std::fflush(stdout);
    curl_global_cleanup();
    return code;
}
