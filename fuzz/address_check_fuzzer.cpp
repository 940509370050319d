// The recipient-list check of the send command on arbitrary lists.
#include "common/utilities.h"
#include "fuzz/fuzz_support.h"
#include "sending/address_check.h"

#include <string>

using namespace brisa;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pData, size_t pSize) {
    const std::string input(fuzz::Bytes(pData, pSize));
    std::string list = input;
    std::string bad = "stale";
    int16_t result = -1;
    CheckAddressList(list, bad, result);

    switch (result) {
    case kAddressListValid: {
        FUZZ_CHECK(bad.empty());
        FUZZ_CHECK(!HoldsControlCharacter(list));
        // Every entry of the normalised list is trimmed and valid, so a list
        // short enough is checked again unchanged.
        if (list.size() <= static_cast<size_t>(kMaxAddressListLength)) {
            std::string again = list;
            std::string againBad;
            int16_t againResult = -1;
            CheckAddressList(again, againBad, againResult);
            FUZZ_CHECK(againResult == kAddressListValid);
            FUZZ_CHECK(again == list);
        }
        FUZZ_CHECK(list.empty() || (list.front() != ' ' && list.back() != ' '));
        break;
    }
    case kAddressNoDotAfterAt:
    case kAddressNoAt: {
        FUZZ_CHECK(list == input);
        FUZZ_CHECK(!bad.empty());
        FUZZ_CHECK(bad.front() != ' ' && bad.back() != ' ');
        FUZZ_CHECK(bad.find(',') == std::string::npos);
        FUZZ_CHECK(input.find(bad) != std::string::npos);
        const int at = IndexOf(bad, "@");
        if (result == kAddressNoAt) {
            FUZZ_CHECK(at == 0);
        } else {
            FUZZ_CHECK(at > 0);
            FUZZ_CHECK(IndexOf(bad, ".", at + 1) == 0);
        }
        break;
    }
    case kAddressControlCharacter:
        FUZZ_CHECK(list == input);
        FUZZ_CHECK(HoldsControlCharacter(input));
        FUZZ_CHECK(!HoldsControlCharacter(bad));
        FUZZ_CHECK(bad.find(',') == std::string::npos);
        break;
    case kAddressListTooLong:
        FUZZ_CHECK(list == input);
        FUZZ_CHECK(bad.empty());
        FUZZ_CHECK(input.size() > static_cast<size_t>(kMaxAddressListLength));
        break;
    default:
        FUZZ_CHECK(!"an unknown result");
    }
    return 0;
}
