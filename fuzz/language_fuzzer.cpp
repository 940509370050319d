// The language-file parser on arbitrary bytes: every line that is neither
// empty nor a comment gives an entry found by its id in any letter case,
// and every text is valid UTF-8 of one line.
#include "common/utilities.h"
#include "fuzz/fuzz_support.h"
#include "language/translation.h"
#include "platform/codepage.h"

using namespace brisa;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pData, size_t pSize) {
    const std::string bytes(fuzz::Bytes(pData, pSize));
    cTranslation table;
    ParseLanguageText(bytes, table);
    FUZZ_CHECK(table.Count() <= 1 + static_cast<size_t>(std::count(bytes.begin(), bytes.end(), '\n')));

    const std::string text = Cp1252ToUtf8(bytes);
    for (size_t start = 0, end = 0; start < text.size(); start = end + 1) {
        end = std::min(text.find('\n', start), text.size());
        std::string line = text.substr(start, end - start);
        if (line.ends_with('\r')) line.pop_back();
        line = TrimBlanks(line);
        if (line.empty() || line.front() == '\'') continue;
        const std::string id = TrimBlanks(line.substr(0, line.find('\t')));
        std::string upper = id;
        for (char& c : upper) c = c >= 'a' && c <= 'z' ? static_cast<char>(c - 32) : c;
        const cString* entry = table.Find(id);
        FUZZ_CHECK(entry != nullptr && table.Find(upper) == entry);
        FUZZ_CHECK(fuzz::IsUtf8(entry->Id) && fuzz::IsUtf8(entry->Translation));
        FUZZ_CHECK(entry->Translation.find_first_of("\t\n") == std::string::npos);
    }
    return 0;
}
