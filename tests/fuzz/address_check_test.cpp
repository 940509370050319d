// CheckAddressList, the recipient-list check of the send command, on the
// lists people type and on lists that smuggle in header lines.
#include "sending/address_check.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace brisa {
namespace {

TEST(AddressCheck, Lists) {
    const std::string at512 = std::string(500, 'a') + "@example.com", smuggled = "Bcc: spy@evil.example";
    std::string accented; // 500 two-byte letters: 500 characters
    for (int i = 0; i < 500; ++i) accented += "\xC3\xA9";
    struct Case {
        std::string list;
        int16_t result;
        std::string bad, normalised = "<unchanged>";
    };
    std::vector<Case> cases = {
        {"  ann@example.com,bob@example.org ,  carl@mail.example.net", kAddressListValid, "",
         "ann@example.com, bob@example.org, carl@mail.example.net"},
        {"ann@example.com,  ,no address at all", kAddressListValid, "", "ann@example.com"}, // the end
        {"   ", kAddressListValid, "", ""},
        {"ann@example.com,   bob   ,carl@example.org", kAddressNoAt, "bob"},
        {"first.last@localhost", kAddressNoDotAfterAt, "first.last@localhost"},
        {"a@b@c.d, a@.", kAddressListValid, ""},
        {"J\xc3\xb6rg@example.com, \xe2\x82\xac@example.com", kAddressListValid, ""},
        {at512, kAddressListValid, ""},
        {at512 + " ", kAddressListTooLong, ""},
        {accented + "@example.com", kAddressListValid, ""},
        {accented + "@example.comx", kAddressListTooLong, ""},
    };
    // Each C0 control, DEL and a C1 control, first, later, after the end;
    // shown as the replacement character.
    std::vector<std::string> controls = {"\x7f", "\xc2\x85"};
    for (char c = 1; c < 0x20; ++c) controls.emplace_back(1, c);
    for (const std::string& control : controls)
        for (const std::string& list :
             {"eve@example.com" + control + smuggled,
              "ann@example.com, eve@example.com" + control + smuggled + "  ,bob@x.org",
              "ann@example.com,, eve@example.com" + control + smuggled})
            cases.push_back({list, kAddressControlCharacter, "eve@example.com\xef\xbf\xbd" + smuggled});
    for (const Case& c : cases) {
        SCOPED_TRACE(c.list);
        std::string list = c.list, bad = "stale";
        int16_t result = -1;
        CheckAddressList(list, bad, result);
        EXPECT_EQ(result, c.result);
        EXPECT_EQ(bad, c.bad);
        EXPECT_EQ(list, c.normalised == "<unchanged>" ? c.list : c.normalised);
    }
}

} // namespace
} // namespace brisa
