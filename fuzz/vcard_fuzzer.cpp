// The vCard reader on arbitrary bytes: the cards do not depend on how the
// input is cut into pieces (the first two bytes choose the sizes), and
// every text is valid UTF-8 without C0 controls or DEL.
#include "fuzz/fuzz_support.h"
#include "platform/vcard.h"

#include <algorithm>

using namespace brisa;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pData, size_t pSize) {
    if (pSize < 2) return 0;
    const std::string_view input = fuzz::Bytes(pData + 2, pSize - 2);
    const std::vector<cVCard> whole = ParseVCards(input);
    for (const cVCard& card : whole)
        for (const std::string& text : {card.Name, card.Email})
            FUZZ_CHECK(fuzz::IsUtf8(text) && std::none_of(text.begin(), text.end(), [](char c) {
                           return static_cast<unsigned char>(c) < 0x20 || c == 0x7F;
                       }));

    // In pieces of growing size, twice through one parser.
    std::vector<cVCard> pieces;
    cVCardParser parser([&](cVCard&& pCard) { pieces.push_back(std::move(pCard)); });
    for (int round = 0; round < 2; ++round) {
        pieces.clear();
        size_t size = 1 + pData[0] % 64;
        for (size_t at = 0; at < input.size(); at += size, size += pData[1] % 8)
            parser.Feed(input.substr(at, size));
        parser.Finish();
        FUZZ_CHECK(std::equal(whole.begin(), whole.end(), pieces.begin(), pieces.end(),
                              [](const cVCard& a, const cVCard& b) { return a.Name == b.Name && a.Email == b.Email; }));
    }
    FUZZ_CHECK(CleanContactText(input) == CleanContactText(CleanContactText(input)));
    return 0;
}
