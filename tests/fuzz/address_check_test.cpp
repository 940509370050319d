// CheckAddressList, the recipient-list check the send command runs on the
// To and Cc texts (the window's own member only passes through to it).
#include "sending/address_check.h"

#include <gtest/gtest.h>

#include <string>

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
