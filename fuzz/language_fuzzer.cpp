// The language-file parser on arbitrary bytes: every line that is neither
// empty nor a comment gives an entry that is found by its id, in any letter
// case, and every text is valid UTF-8.
#include "common/utilities.h"
#include "fuzz/fuzz_support.h"
#include "language/translation.h"
#include "platform/codepage.h"

#include <string>

using namespace brisa;

namespace {

std::string Upper(std::string pText) {
    for (char& c : pText)
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    return pText;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pData, size_t pSize) {
    const std::string bytes(fuzz::Bytes(pData, pSize));
    cTranslation table;
    ParseLanguageText(bytes, table);

    size_t lines = 1;
    for (char c : bytes)
        lines += c == '\n';
    FUZZ_CHECK(table.Count() <= lines);

    const std::string text = Cp1252ToUtf8(bytes);
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        std::string line = text.substr(start, end - start);
        start = end + 1;
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        line = TrimBlanks(line);
        if (line.empty() || line.front() == '\'')
            continue;
        const std::string id = TrimBlanks(line.substr(0, line.find('\t')));
        const cString* entry = table.Find(id);
        FUZZ_CHECK(entry != nullptr);
        FUZZ_CHECK(table.Find(Upper(id)) == entry);
        FUZZ_CHECK(fuzz::IsUtf8(entry->Id));
        FUZZ_CHECK(fuzz::IsUtf8(entry->Translation));
        FUZZ_CHECK(entry->Translation.find('\t') == std::string::npos);
        FUZZ_CHECK(entry->Translation.find('\n') == std::string::npos);
    }
    return 0;
}
