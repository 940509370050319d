#include "sending/address_check.h"

#include "common/utilities.h"

#include <QString>

namespace brisa {

namespace {

// pEntry with each control character replaced by its symbol of the Control
// Pictures block (U+2400 + code, U+2421 for DEL); the C1 controls, which
// have no symbol there, become U+FFFD.
std::string ShowControlCharacters(std::string_view pEntry) {
    std::string out;
    for (size_t i = 0; i < pEntry.size();) {
        const size_t n = ControlCharacterAt(pEntry, i);
        if (n == 0) {
            out += pEntry[i++];
            continue;
        }
        const auto c = static_cast<unsigned char>(pEntry[i]);
        if (n == 2)
            out += "\xEF\xBF\xBD";
        else if (c == 0x7F)
            out += "\xE2\x90\xA1";
        else
            out += {'\xE2', '\x90', static_cast<char>(0x80 + c)};
        i += n;
    }
    return out;
}

} // namespace

void CheckAddressList(std::string& pList, std::string& pBadEntry, int16_t& pResult) {
    pBadEntry.clear();
    if (QString::fromStdString(pList).size() > kMaxAddressListLength) {
        pResult = kAddressListTooLong;
        return;
    }
    if (HoldsControlCharacter(pList)) {
        std::string rest = pList;
        for (;;) {
            const std::string entry = NextToken(rest, ",", true);
            if (HoldsControlCharacter(entry) || rest.empty()) {
                pBadEntry = ShowControlCharacters(TrimBlanks(entry));
                break;
            }
        }
        pResult = kAddressControlCharacter;
        return;
    }
    std::string rest = pList;
    std::string normalised;
    for (;;) {
        const std::string entry = TrimBlanks(NextToken(rest, ",", true));
        if (entry.empty()) {
            pList = normalised;
            pResult = kAddressListValid;
            return;
        }
        const int at = IndexOf(entry, "@");
        if (at == 0) {
            pBadEntry = entry;
            pResult = kAddressNoAt;
            return;
        }
        if (IndexOf(entry, ".", at + 1) == 0) {
            pBadEntry = entry;
            pResult = kAddressNoDotAfterAt;
            return;
        }
        if (!normalised.empty())
            normalised += ", ";
        normalised += entry;
    }
}

} // namespace brisa
