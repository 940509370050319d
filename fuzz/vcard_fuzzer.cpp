// The vCard reader on arbitrary bytes: the cards do not depend on how the
// input is cut into pieces, and every text is clean UTF-8. The first two
// bytes choose the piece sizes.
#include "fuzz/fuzz_support.h"
#include "platform/vcard.h"

#include <string>
#include <vector>

using namespace brisa;

namespace {

bool Same(const std::vector<cVCard>& a, const std::vector<cVCard>& b) {
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (a[i].Name != b[i].Name || a[i].Email != b[i].Email)
            return false;
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pData, size_t pSize) {
    if (pSize < 2)
        return 0;
    const size_t step = 1 + pData[0] % 64;
    const size_t growth = pData[1] % 8;
    const std::string_view input = fuzz::Bytes(pData + 2, pSize - 2);

    const std::vector<cVCard> whole = ParseVCards(input);
    for (const cVCard& card : whole) {
        FUZZ_CHECK(fuzz::IsUtf8(card.Name) && fuzz::HasNoControls(card.Name));
        FUZZ_CHECK(fuzz::IsUtf8(card.Email) && fuzz::HasNoControls(card.Email));
    }

    // The same input in pieces of growing size, twice through one parser.
    std::vector<cVCard> pieces;
    cVCardParser parser([&](cVCard&& pCard) { pieces.push_back(std::move(pCard)); });
    for (int round = 0; round < 2; ++round) {
        pieces.clear();
        size_t size = step;
        for (size_t at = 0; at < input.size(); at += size, size += growth)
            parser.Feed(input.substr(at, size));
        parser.Finish();
        FUZZ_CHECK(Same(whole, pieces));
    }

    FUZZ_CHECK(CleanContactText(input) == CleanContactText(CleanContactText(input)));
    return 0;
}
