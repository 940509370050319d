// The check of a recipient list typed or picked into the To and Cc boxes.
#pragma once

#include <cstdint>
#include <string>

namespace brisa {

// Result codes of CheckAddressList.
enum AddressCheckResult : int16_t {
    kAddressListValid = 0,       // every entry passed; the list is normalised
    kAddressNoDotAfterAt = 2,    // an entry has no "." after its "@"
    kAddressNoAt = 3,            // an entry has no "@"
    kAddressListTooLong = 4,     // the list is longer than kMaxAddressListLength
    kAddressControlCharacter = 5 // an entry holds a control character
};

// Longest list, in characters (UTF-16 code units), that is checked at all.
inline constexpr int kMaxAddressListLength = 512;

// Checks a comma-separated address list. Each entry is trimmed of blanks;
// the first empty entry ends the check (the entries after two commas in a
// row are not looked at). pResult: 0 when the list passed (pList then holds
// the checked entries joined by ", "), 2 for an entry without "." after its
// first "@", 3 for an entry without "@" (pBadEntry then holds the entry),
// 4 for a list longer than 512 characters (pBadEntry stays empty), 5 when
// any part of the list, even one after an empty entry, holds a control
// character (a line end, tab and the like; see HoldsControlCharacter): such
// a recipient could add rows to the post. pBadEntry then holds the entry
// that holds it, trimmed, with each control character shown as U+FFFD so
// the message can point at it. pList is changed only when the list passed.
void CheckAddressList(std::string& pList, std::string& pBadEntry, int16_t& pResult);

} // namespace brisa
