// Finding other mail programs' address books on a drive, remembering them in
// KnownAddressBooks, and the book list of the options window.
//
// KnownAddressBooks: the full paths found by the last search, in the order
// found, each followed by one tab. AddressBook: the chosen book list row,
// kind label + tab + path.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace brisa {

// The six kind labels, translated texts the main window takes from the
// language table at start-up (empty when the table has no text).
struct cKindLabels {
    std::string AddrBkList; // "opt0005"  AddrBk.lst
    std::string Wab;        // "opt0006"  .wab
    std::string Pst;        // "opt0007"  .pst (Outlook)
    std::string Nab;        // "opt0008"  abook.nab
    std::string Ldif;       // "opt0035"  .ldif
    std::string Nickname;   // "opt0009"  nndbase.txt
};

// The six labels from the loaded language table.
cKindLabels KindLabelsFromLanguage();

// True when a file name is one the search collects: AddrBk.lst, *.wab,
// *.pst, abook.nab, *.ldif or nndbase.txt, ignoring case.
bool IsAddressBookName(std::string_view pName);

// The kind label of a path. The file name is tested first with the search's
// name tests, in the order AddrBk.lst, .wab, .pst, abook.nab, .ldif,
// nndbase.txt; a path whose name passes none of them (a hand-edited
// setting) gets the label of the first of those six texts it contains
// anywhere, ignoring case, or "" when it contains none.
std::string KindLabelOf(std::string_view pPath, const cKindLabels& pKinds);

// Called every cSearchProgress::every directory entries with the number of
// entries seen so far; the options window lets pending events run there.
// Returning false ends the search early with what was found until then.
struct cSearchProgress {
    std::function<bool(uint64_t pEntriesSeen)> callback;
    uint32_t every = 4096;
};

// The KnownAddressBooks text for a drive-list entry ("/media/ann/USB [USB]":
// the text before the last "[", trimmed, is the folder searched). An entry
// that names no folder gives "".
std::string SearchAddressBooks(const std::string& pDrive, const cSearchProgress& pProgress = {});

// Appends the address-book files below pFolder (trailing "/" removed, so
// "/" and "" both mean the root) to pResult, each followed by a tab. The
// files of a folder come before those of its subfolders; subfolders are
// searched depth first in the order they were listed. Names beginning with
// "." are skipped, except Wine prefixes: a hidden folder holding the folder
// drive_c is searched, and so is the folder WINEPREFIX names when it lies
// below pFolder (after everything else, even when it lies below a hidden
// folder). Symbolic links to folders are not followed, folders of other
// file systems and folders already searched are not entered, and
// unreadable folders contribute nothing. Only regular files (or links to
// them) are collected; a path holding a tab cannot be stored and is left
// out.
void ScanFolder(const std::string& pFolder, std::string& pResult,
                const cSearchProgress& pProgress = {});

// The rows of the book list, sorted as the list keeps them, and the row to
// select (-1 for none).
struct cBookList {
    std::vector<std::string> rows;
    long selected = -1;
};

// Rebuilds the book list from KnownAddressBooks: one row per path, kind
// label + tab + path, taken until the first empty path; selects the first
// row that begins with the whole AddressBook text (ignoring case) when
// AddressBook names a path. Reads the settings through gRegistry.
cBookList FillBookList(const cKindLabels& pKinds);

} // namespace brisa
