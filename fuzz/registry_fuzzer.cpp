// The registry file parser and writer: whatever the parser makes of a text,
// writing it out and parsing that again gives the same content, without
// damage, and writing is stable from then on.
#include "fuzz/fuzz_support.h"
#include "platform/file_registry.h"

using namespace brisa;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pData, size_t pSize) {
    bool damaged = false, damagedAgain = true;
    const FileRegistry::Content first = FileRegistry::Parse(std::string(fuzz::Bytes(pData, pSize)), &damaged);
    const std::string written = FileRegistry::Format(first);
    const FileRegistry::Content second = FileRegistry::Parse(written, &damagedAgain);
    FUZZ_CHECK(std::equal(first.begin(), first.end(), second.begin(), second.end(), [](const auto& a, const auto& b) {
        return a.first == b.first && a.second.name == b.second.name && a.second.values == b.second.values &&
               a.second.types == b.second.types;
    }));
    FUZZ_CHECK(!damagedAgain && FileRegistry::Format(second) == written);
    return 0;
}
