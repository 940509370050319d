// Every fuzz target of fuzz/ on its pinned inputs (fuzz/seeds.h), with its
// own checks: the inputs that once broke a property keep it now, and the
// targets keep working in the plain build.
#include "fuzz/seeds.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <map>
#include <stdexcept>

#define BRISA_FUZZ_TARGETS(X)                                                                      \
    X(fuzz_addrbk_list) X(fuzz_wab) X(fuzz_nab) X(fuzz_ldif) X(fuzz_nickname) X(fuzz_vcard)       \
        X(fuzz_language) X(fuzz_registry) X(fuzz_utilities) X(fuzz_address_check) X(fuzz_mci)
#define BRISA_DECLARE(name) extern "C" int name##_input(const uint8_t*, size_t);
BRISA_FUZZ_TARGETS(BRISA_DECLARE)
extern "C" int fuzz_mci_init(int*, char***);

namespace brisa {
namespace {

TEST(FuzzTargets, PinnedInputsKeepEveryProperty) {
#define BRISA_ENTRY(name) {#name, name##_input},
    const std::map<std::string, int (*)(const uint8_t*, size_t)> targets = {
        BRISA_FUZZ_TARGETS(BRISA_ENTRY)};
    ASSERT_EQ(fuzz_mci_init(nullptr, nullptr), 0);
    const auto all = fuzz::AllSeeds();
    ASSERT_EQ(all.size(), targets.size());
    for (const auto& [name, seeds] : all) {
        for (size_t i = 0; i < seeds.size(); ++i) {
            try {
                targets.at(name)(reinterpret_cast<const uint8_t*>(seeds[i].data()), seeds[i].size());
            } catch (const std::exception& pError) {
                ADD_FAILURE() << name << " seed-" << i + 1 << ": " << pError.what();
            }
        }
    }
}

} // namespace
} // namespace brisa
