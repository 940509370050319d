#include "sending/address_check.h"

#include "common/utilities.h"

#include <QString>

namespace brisa {

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
                // Each control character shown as U+FFFD, the replacement
                // character: the usual fonts have a glyph for it, which they
                // lack for the control pictures (U+2400 and on).
                pBadEntry = ReplaceControlCharacters(TrimBlanks(entry), "\xEF\xBF\xBD");
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
