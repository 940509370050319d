// The registry file parser and writer: whatever the parser makes of a text,
// writing it out and parsing that again gives the same content, without
// damage, and writing is stable from then on.
#include "fuzz/fuzz_support.h"
#include "platform/file_registry.h"

#include <string>

using namespace brisa;

namespace {

bool Same(const FileRegistry::Content& a, const FileRegistry::Content& b) {
    if (a.size() != b.size())
        return false;
    for (auto i = a.begin(), j = b.begin(); i != a.end(); ++i, ++j) {
        if (i->first != j->first || i->second.name != j->second.name ||
            i->second.values != j->second.values || i->second.types != j->second.types)
            return false;
    }
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pData, size_t pSize) {
    const std::string text(fuzz::Bytes(pData, pSize));
    bool damaged = false;
    const FileRegistry::Content first = FileRegistry::Parse(text, &damaged);
    const std::string written = FileRegistry::Format(first);

    bool damagedAgain = true;
    const FileRegistry::Content second = FileRegistry::Parse(written, &damagedAgain);
    if (!Same(first, second)) {
        std::fprintf(stderr, "written:\n%s\n", written.c_str());
        FUZZ_CHECK(Same(first, second));
    }
    FUZZ_CHECK(!damagedAgain);
    FUZZ_CHECK(FileRegistry::Format(second) == written);
    return 0;
}
