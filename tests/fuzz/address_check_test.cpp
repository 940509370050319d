// CheckAddressList, the recipient-list check the send command runs on the
// To and Cc texts (the window's own member only passes through to it).
#include "sending/address_check.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace brisa {
namespace {

struct Checked {
    std::string list, bad;
    int16_t result = -1;
};

Checked Check(const std::string& pList) {
    Checked c{pList, "stale", -1};
    CheckAddressList(c.list, c.bad, c.result);
    return c;
}

TEST(AddressCheck, ValidListsComeBackNormalised) {
    const Checked c = Check("  ann@example.com,bob@example.org ,  carl@mail.example.net");
    EXPECT_EQ(c.result, kAddressListValid);
    EXPECT_EQ(c.bad, "");
    EXPECT_EQ(c.list, "ann@example.com, bob@example.org, carl@mail.example.net");
    // The normalised list passes again unchanged.
    EXPECT_EQ(Check(c.list).list, c.list);
    EXPECT_EQ(Check(c.list).result, kAddressListValid);
}

TEST(AddressCheck, TheFirstEmptyEntryEndsTheCheck) {
    const Checked c = Check("ann@example.com,  ,no address at all");
    EXPECT_EQ(c.result, kAddressListValid);
    EXPECT_EQ(c.list, "ann@example.com");
    const Checked empty = Check("   ");
    EXPECT_EQ(empty.result, kAddressListValid);
    EXPECT_EQ(empty.list, "");
}

TEST(AddressCheck, BadEntriesAreReportedTrimmedAndTheListStays) {
    const Checked noAt = Check("ann@example.com,   bob   ,carl@example.org");
    EXPECT_EQ(noAt.result, kAddressNoAt);
    EXPECT_EQ(noAt.bad, "bob");
    EXPECT_EQ(noAt.list, "ann@example.com,   bob   ,carl@example.org");

    // The dot must come after the first "@".
    const Checked noDot = Check("first.last@localhost");
    EXPECT_EQ(noDot.result, kAddressNoDotAfterAt);
    EXPECT_EQ(noDot.bad, "first.last@localhost");
    EXPECT_EQ(Check("a@b@c.d").result, kAddressListValid);
    EXPECT_EQ(Check("a@.").result, kAddressListValid);
}

TEST(AddressCheck, AnyControlCharacterAnywhereIsRefused) {
    // Each C0 control, DEL and a C1 control; in the first entry, in a later
    // one, and after an empty entry that ends the ordinary check.
    std::vector<std::string> controls;
    for (int c = 1; c < 0x20; ++c)
        controls.push_back(std::string(1, static_cast<char>(c)));
    controls.push_back("\x7f");
    controls.push_back("\xc2\x85");
    for (const std::string& c : controls) {
        const int code = c.size() == 1 ? c[0] : 0x85;
        for (const std::string& list :
             {"eve@example.com" + c + "Bcc: spy@evil.example",
              "ann@example.com, eve@example.com" + c + "Bcc: spy@evil.example  ,bob@x.org",
              "ann@example.com,, eve@example.com" + c + "Bcc: spy@evil.example"}) {
            const Checked checked = Check(list);
            EXPECT_EQ(checked.result, kAddressControlCharacter) << code;
            EXPECT_EQ(checked.list, list);
            // The entry as the message shows it: the control made visible.
            EXPECT_EQ(checked.bad, "eve@example.com\xef\xbf\xbd"
                                   "Bcc: spy@evil.example")
                << code;
        }
    }
    // Blanks and letters beyond ASCII are no controls.
    EXPECT_EQ(Check("J\xc3\xb6rg@example.com, \xe2\x82\xac@example.com").result, kAddressListValid);
}

TEST(AddressCheck, LengthCountsCharactersNotBytes) {
    const std::string at512 = std::string(500, 'a') + "@example.com";
    EXPECT_EQ(Check(at512).result, kAddressListValid);
    const Checked tooLong = Check(at512 + " ");
    EXPECT_EQ(tooLong.result, kAddressListTooLong);
    EXPECT_EQ(tooLong.bad, "");
    EXPECT_EQ(tooLong.list, at512 + " ");

    // 500 two-byte letters are 500 characters (1000 bytes): checked, valid.
    std::string accented;
    for (int i = 0; i < 500; ++i)
        accented += "\xC3\xA9";
    EXPECT_EQ(Check(accented + "@example.com").result, kAddressListValid);
    EXPECT_EQ(Check(accented + "@example.com" + "x").result, kAddressListTooLong);
}

} // namespace
} // namespace brisa
