// The parts of the sending program's interface the main window uses itself:
// post file names and the report line. Kept apart from the transfer code so
// the main window does not load the HTTP library.
#include "sending/post_sender.h"

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

namespace brisa {

namespace {

std::string Blanked(std::string pText) {
    for (auto& c : pText)
        if (c == '\t' || c == '\r' || c == '\n')
            c = ' ';
    return pText;
}

} // namespace

bool IsPostFileName(std::string_view pName) {
    if (pName.size() != 16 || pName.substr(12) != ".txt")
        return false;
    return std::all_of(pName.begin(), pName.begin() + 12,
                       [](char c) { return c >= '0' && c <= '9'; });
}

std::string FormatDoneLine(const SenderDone& pDone) {
    return "DONE\t" + Blanked(pDone.status) + "\t" + std::to_string(pDone.notifyTime) + "\t" +
           Blanked(pDone.specialCaption) + "\t" + Blanked(pDone.specialTarget) + "\n";
}

bool ParseDoneLine(std::string_view pLine, SenderDone& pDone) {
    while (!pLine.empty() && (pLine.back() == '\n' || pLine.back() == '\r'))
        pLine.remove_suffix(1);
    std::vector<std::string> fields;
    size_t start = 0;
    for (;;) {
        const auto tab = pLine.find('\t', start);
        fields.emplace_back(pLine.substr(
            start, tab == std::string_view::npos ? std::string_view::npos : tab - start));
        if (tab == std::string_view::npos)
            break;
        start = tab + 1;
    }
    if (fields.size() != 5 || fields[0] != "DONE")
        return false;
    SenderDone done;
    done.status = fields[1];
    char* end = nullptr;
    const long time = std::strtol(fields[2].c_str(), &end, 10);
    done.notifyTime = (!fields[2].empty() && end && *end == '\0')
                          ? static_cast<int>(std::clamp(time, 0L, 32767L))
                          : 0;
    done.specialCaption = fields[3];
    done.specialTarget = fields[4];
    pDone = done;
    return true;
}

} // namespace brisa
