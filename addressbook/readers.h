// The address-book readers of the address window. Each reader clears the
// list and adds one row per contact, name + tab + address; the list keeps
// the rows sorted (address_list.h). Nothing is reported: a file that cannot
// be opened gives an empty list, a damaged record is skipped, and no read
// ever reaches outside the file, whatever its counts and offsets claim.
//
// Text in the files is Windows-1252 (LDIF: UTF-8 when valid) and becomes
// UTF-8; text files end their lines at CR, CR LF or LF. Every control
// character (line ends and tabs among them) inside a name or address
// becomes a blank, so a row is always one line of name, tab, address.
#pragma once

#include "addressbook/address_list.h"
#include "addressbook/byte_source.h"
#include "addressbook/discovery.h"

#include <functional>
#include <string>
#include <vector>

namespace brisa {

// Mail domain of the AOL service: an AddrBk.lst address without "@" is a
// member name of that service.
inline constexpr const char* kAolMailDomain = "aol.com";

// Longest text line a reader keeps; the rest of a longer line is dropped.
inline constexpr size_t kMaxLineLength = 1u << 20;
// Longest address text nickname expansion builds for one row, and the most
// text it adds over all rows; references beyond these are dropped.
inline constexpr size_t kMaxExpandedRow = 64u << 10;
inline constexpr size_t kMaxExpansionTotal = 64u << 20;

// What the Outlook contact window hands back when it closes.
struct cOutlookResult {
    bool Cancel = true;
    std::vector<cContact> Contacts; // in the window's order
};
// Shows the Outlook contact window modally and returns its result. Until
// that window exists the reader has no source and yields no rows.
using OutlookContactSource = std::function<cOutlookResult()>;

// AddrBk.lst: records of 1658 bytes running to the end of the file, after a
// header of whatever length is left over; name at 26, address at 58.
void ReadAddrBkList(const std::string& pPath, cAddressList& pList);
void ReadAddrBkList(const cByteSource& pFile, cAddressList& pList);

// .wab: entry count at 20, name table offset at 48, address table offset at
// 96; tables of 36-byte entries (text of up to 31 bytes and a zero, id byte
// at 32). Names and addresses pair by id, for the ids 1 to the count.
void ReadWabFile(const std::string& pPath, cAddressList& pList);
void ReadWabFile(const cByteSource& pFile, cAddressList& pList);

// abook.nab: base offset B (16 bits) at 356, record count at B + 7, records
// of 68 bytes from B + 8 with the address at 4 and the name at 36.
void ReadNabFile(const std::string& pPath, cAddressList& pList);
void ReadNabFile(const cByteSource& pFile, cAddressList& pList);

// LDIF: "dn:" starts an entry, "cn:" gives the name, "mail:" the address
// (prefixes ignore case, values are trimmed of blanks). A value written as
// "attribute:: base64" is decoded; a line that begins with a blank continues
// the line before it. Values, plain or decoded, are UTF-8 when they are
// valid UTF-8 and Windows-1252 otherwise.
void ReadLdifFile(const std::string& pPath, cAddressList& pList);
void ReadLdifFile(const cByteSource& pFile, cAddressList& pList);

// nndbase.txt: lines "alias nickname addresses" or "alias "quoted
// nickname" addresses"; the rows' addresses are then expanded.
void ReadNicknameFile(const std::string& pPath, cAddressList& pList);
void ReadNicknameFile(const cByteSource& pFile, cAddressList& pList);

// Clears the list and, unless the Outlook window was cancelled, adds its
// contacts. pPath is not used.
void ReadOutlookContacts(const std::string& pPath, cAddressList& pList,
                         const OutlookContactSource& pOutlook);

// Appends the row pName + tab + pAddress. Checks nothing.
inline void AddEntry(cAddressList& pList, const std::string& pName, const std::string& pAddress) {
    pList.AddEntry(pName, pAddress);
}

// Replaces each row's comma-separated address text, in list order: a token
// that names a row of the list (row text begins with token + tab, ignoring
// case) becomes that row's address text, a token holding "@" stays, any
// other token is dropped.
void ExpandNicknames(cAddressList& pList);

// Reads the book named by the AddressBook setting (kind label, tab, path)
// into pList, choosing the reader by the label. A missing path or file
// leaves the list as it is; a label that is none of the six (for example
// one saved under another language) appends the notice row "add0006" + tab.
// An empty label never matches.
void LoadAddressBook(cAddressList& pList, const cKindLabels& pKinds,
                     const OutlookContactSource& pOutlook = {});

} // namespace brisa
