// Sorted lists of text rows: the contact rows of the address window
// (name, tab, address) and the book rows of the options window (kind label,
// tab, path). Rows are kept in ascending order of their whole text compared
// without regard to case; a row added beside equal rows goes after them.
// The window shows Rows() in exactly this order (it does not sort itself),
// because nickname expansion and row selection depend on it.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace brisa {

// A contact handed over by the Outlook window.
class cContact {
public:
    std::string Name;
    std::string Address;
};

// Compares two texts as the sorted lists do: byte by byte after folding
// ASCII letters and the Latin-1 letters (as UTF-8) to lower case.
// Negative, zero or positive.
int CompareNoCase(std::string_view a, std::string_view b);

// The folded form CompareNoCase compares (for lookups by text).
std::string FoldNoCase(std::string_view pText);

class cAddressList {
public:
    void Clear();
    // Adds the row pName + tab + pAddress at its sorted place. Checks nothing.
    void AddEntry(std::string_view pName, std::string_view pAddress);
    // Adds a whole row at its sorted place.
    void AddRow(std::string pRow);

    size_t Count() const;
    // The row at pIndex (0-based, below Count()).
    const std::string& Row(size_t pIndex) const;
    // Replaces the row at pIndex, leaving it at that position.
    void SetRow(size_t pIndex, std::string pRow);
    // The index of the first row that begins with pPrefix (ignoring case),
    // or -1.
    long FindPrefix(std::string_view pPrefix) const;
    // All rows in list order.
    const std::vector<std::string>& Rows() const;

private:
    // Rows are appended unsorted and merged into the sorted part before
    // the list is looked at, so reading a large file stays n log n.
    void Settle() const;
    mutable std::vector<std::string> m_Rows;
    mutable size_t m_Sorted = 0;
    bool m_Disordered = false; // SetRow put a row out of order
};

} // namespace brisa
