// The parts of the sending program's interface the main window uses itself:
// post file names and the report line. Kept apart from the transfer code so
// the main window does not load the HTTP library.
#include "sending/post_sender.h"

#include "language/translation.h"
#include "platform/program_folder.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <fstream>
#include <sstream>
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

std::string TextOr(const char* pId, const char* pEnglish) {
    return Tr(pId).value_or(pEnglish);
}

} // namespace

std::string WaitingCaption() {
    return TextOr("snd0001",
                  "Your message could not be sent yet \xE2\x80\x94 it waits in the outbox");
}

std::string RefusedCaption(const std::string& pReason) {
    return TextOr("snd0002", "The server refused your message and it was set aside:") + " " +
           pReason;
}

std::string DamagedCaption() {
    return TextOr("snd0003", "A damaged message was set aside and will not be sent");
}

void LoadSenderLanguage(const std::string& pLanguageId) {
    // Only a language id names a file: eight hexadecimal digits.
    const bool id =
        pLanguageId.size() == 8 && std::all_of(pLanguageId.begin(), pLanguageId.end(), [](char c) {
            return std::isxdigit(static_cast<unsigned char>(c));
        });
    std::ifstream file;
    if (id)
        file.open(ProgramPath("/lang/" + pLanguageId + ".txt"), std::ios::binary);
    if (!file)
        file.open(ProgramPath("/lang/00000409.txt"), std::ios::binary);
    if (!file)
        return;
    std::ostringstream bytes;
    bytes << file.rdbuf();
    Translation.Clear();
    ParseLanguageText(bytes.str(), Translation);
}

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
