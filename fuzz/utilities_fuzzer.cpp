// NextToken, ReplaceText, LastIndexOf and IndexOf on arbitrary texts. The
// first two bytes give the lengths (0 to 15) of a delimiter and a
// replacement that follow; the rest is the text. Letter case is compared on
// UTF-8 texts only.
#include "common/utilities.h"
#include "fuzz/fuzz_support.h"

using namespace brisa;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pData, size_t pSize) {
    if (pSize < 2) return 0;
    std::string_view input = fuzz::Bytes(pData + 2, pSize - 2);
    const std::string delimiter(input.substr(0, pData[0] % 16));
    input.remove_prefix(delimiter.size());
    const std::string replacement(input.substr(0, pData[1] % 16));
    const std::string text(input.substr(replacement.size()));
    const bool utf8 = fuzz::IsUtf8(text) && fuzz::IsUtf8(delimiter);

    // Token, delimiter ("," when empty) and rest give the text back.
    std::string kept = text, rest = text;
    const std::string token = NextToken(kept, delimiter, false);
    FUZZ_CHECK(kept == text && NextToken(rest, delimiter, true) == token);
    const std::string used = delimiter.empty() ? std::string(",") : delimiter;
    if (token.size() == text.size()) {
        FUZZ_CHECK(token == text && rest.empty());
    } else {
        FUZZ_CHECK(token.size() + used.size() + rest.size() == text.size());
        FUZZ_CHECK(text.starts_with(token) && text.ends_with(rest));
        FUZZ_CHECK(!utf8 || EqualsNoCase(text.substr(token.size(), used.size()), used));
        FUZZ_CHECK(IndexOf(text, used) == static_cast<int>(token.size()) + 1);
    }

    // LastIndexOf finds a match with none after it.
    const int last = LastIndexOf(text, delimiter);
    FUZZ_CHECK(last >= 0 && static_cast<size_t>(last) <= text.size() + 1);
    if (!delimiter.empty()) {
        FUZZ_CHECK((last == 0) == (IndexOf(text, delimiter) == 0));
        if (last > 0) {
            FUZZ_CHECK(static_cast<size_t>(last) - 1 + delimiter.size() <= text.size());
            FUZZ_CHECK(IndexOf(text, delimiter, last) == last && IndexOf(text, delimiter, last + 1) == 0);
            FUZZ_CHECK(!utf8 || EqualsNoCase(text.substr(static_cast<size_t>(last) - 1, delimiter.size()), delimiter));
        }
    }

    // ReplaceText ends, changes nothing without a match, grows the text by at
    // most one replacement a byte, and replacing a text by itself changes at
    // most the letter case (matches ignore it).
    const std::string replaced = ReplaceText(text, delimiter, replacement);
    FUZZ_CHECK(replaced == text || (!delimiter.empty() && IndexOf(text, delimiter) != 0));
    FUZZ_CHECK(replaced.size() <= text.size() + text.size() * replacement.size());
    const std::string same = ReplaceText(text, delimiter, delimiter);
    FUZZ_CHECK(same.size() == text.size() && (!utf8 || EqualsNoCase(same, text)));
    return 0;
}
