// NextToken, ReplaceText, LastIndexOf and IndexOf on arbitrary texts. The
// input is split into a delimiter, a replacement and a text: the first two
// bytes give the lengths of the first two parts (0 to 15 each).
#include "common/utilities.h"
#include "fuzz/fuzz_support.h"

#include <string>

using namespace brisa;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pData, size_t pSize) {
    if (pSize < 2)
        return 0;
    std::string_view input = fuzz::Bytes(pData, pSize);
    const size_t delimiterLength = std::min<size_t>(pData[0] % 16, pSize - 2);
    const size_t replacementLength = std::min<size_t>(pData[1] % 16, pSize - 2 - delimiterLength);
    input.remove_prefix(2);
    const std::string delimiter(input.substr(0, delimiterLength));
    const std::string replacement(input.substr(delimiterLength, replacementLength));
    const std::string text(input.substr(delimiterLength + replacementLength));
    // The comparisons below fold letters of UTF-8 text; on other bytes only
    // the absence of crashes is checked.
    const bool utf8 = fuzz::IsUtf8(text) && fuzz::IsUtf8(delimiter);

    // NextToken: token + delimiter + rest gives the text back.
    {
        std::string kept = text;
        const std::string token = NextToken(kept, delimiter, false);
        FUZZ_CHECK(kept == text);
        std::string rest = text;
        FUZZ_CHECK(NextToken(rest, delimiter, true) == token);
        const std::string used = delimiter.empty() ? std::string(",") : delimiter;
        if (token.size() == text.size()) {
            FUZZ_CHECK(token == text && rest.empty());
        } else {
            FUZZ_CHECK(token.size() + used.size() + rest.size() == text.size());
            FUZZ_CHECK(text.compare(0, token.size(), token) == 0);
            FUZZ_CHECK(text.compare(text.size() - rest.size(), rest.size(), rest) == 0);
            const std::string between = text.substr(token.size(), used.size());
            if (utf8)
                FUZZ_CHECK(EqualsNoCase(between, used));
            FUZZ_CHECK(IndexOf(text, used) == static_cast<int>(token.size()) + 1);
        }
    }

    // LastIndexOf agrees with IndexOf: a match, and none after it.
    {
        const int last = LastIndexOf(text, delimiter);
        FUZZ_CHECK(last >= 0 && static_cast<size_t>(last) <= text.size() + 1);
        if (!delimiter.empty()) {
            FUZZ_CHECK((last == 0) == (IndexOf(text, delimiter) == 0));
            if (last > 0) {
                FUZZ_CHECK(static_cast<size_t>(last) - 1 + delimiter.size() <= text.size());
                FUZZ_CHECK(IndexOf(text, delimiter, last) == last);
                FUZZ_CHECK(IndexOf(text, delimiter, last + 1) == 0);
                if (utf8)
                    FUZZ_CHECK(EqualsNoCase(text.substr(last - 1, delimiter.size()), delimiter));
            }
        }
    }

    // ReplaceText ends, changes nothing without a match, changes at most the
    // letter case when the replacement is the searched text itself, and
    // grows the text by at most one replacement per character.
    {
        const std::string replaced = ReplaceText(text, delimiter, replacement);
        if (delimiter.empty() || IndexOf(text, delimiter) == 0)
            FUZZ_CHECK(replaced == text);
        FUZZ_CHECK(replaced.size() <= text.size() + text.size() * replacement.size());
        // Matches ignore case, so only the letter case may change.
        const std::string same = ReplaceText(text, delimiter, delimiter);
        FUZZ_CHECK(same.size() == text.size());
        if (utf8)
            FUZZ_CHECK(EqualsNoCase(same, text));
    }
    return 0;
}
