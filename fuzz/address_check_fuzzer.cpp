// The recipient-list check of the send command on arbitrary lists.
#include "common/utilities.h"
#include "fuzz/fuzz_support.h"
#include "sending/address_check.h"

using namespace brisa;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pData, size_t pSize) {
    const std::string input(fuzz::Bytes(pData, pSize));
    std::string list = input, bad = "stale";
    int16_t result = -1;
    CheckAddressList(list, bad, result);
    if (result == kAddressListValid) {
        // Trimmed valid entries: a list short enough passes again unchanged.
        FUZZ_CHECK(bad.empty() && !HoldsControlCharacter(list));
        FUZZ_CHECK(list.empty() || (list.front() != ' ' && list.back() != ' '));
        if (list.size() <= static_cast<size_t>(kMaxAddressListLength)) {
            std::string again = list, againBad;
            CheckAddressList(again, againBad, result);
            FUZZ_CHECK(result == kAddressListValid && again == list);
        }
        return 0;
    }
    FUZZ_CHECK(list == input); // a refused list stays as typed
    const int at = IndexOf(bad, "@");
    switch (result) {
    case kAddressNoDotAfterAt:
    case kAddressNoAt: // the entry, trimmed, as it stands in the list
        FUZZ_CHECK(!bad.empty() && bad.front() != ' ' && bad.back() != ' ');
        FUZZ_CHECK(bad.find(',') == std::string::npos && input.find(bad) != std::string::npos);
        FUZZ_CHECK(result == kAddressNoAt ? at == 0 : at > 0 && IndexOf(bad, ".", at + 1) == 0);
        break;
    case kAddressControlCharacter: // shown with the control made visible
        FUZZ_CHECK(HoldsControlCharacter(input) && !HoldsControlCharacter(bad));
        FUZZ_CHECK(bad.find(',') == std::string::npos);
        break;
    case kAddressListTooLong:
        FUZZ_CHECK(bad.empty() && input.size() > static_cast<size_t>(kMaxAddressListLength));
        break;
    default:
        FUZZ_CHECK(!"an unknown result");
    }
    return 0;
}
