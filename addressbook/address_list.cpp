#include "addressbook/address_list.h"

#include <algorithm>

namespace brisa {

namespace {

// Folds one text byte by byte: ASCII capitals become small letters, and the
// byte after a 0xC3 lead byte (the Latin-1 capitals U+00C0..U+00DE, except
// U+00D7) becomes its small form. The rule is the one EqualsNoCase uses.
class FoldCursor {
public:
    unsigned char Next(unsigned char c) {
        if (m_AfterLead) {
            m_AfterLead = false;
            return (c >= 0x80 && c <= 0x9E && c != 0x97) ? static_cast<unsigned char>(c + 0x20) : c;
        }
        if (c >= 'A' && c <= 'Z')
            return static_cast<unsigned char>(c + 32);
        if (c == 0xC3)
            m_AfterLead = true;
        return c;
    }

private:
    bool m_AfterLead = false;
};

struct LessNoCase {
    bool operator()(const std::string& a, const std::string& b) const {
        return CompareNoCase(a, b) < 0;
    }
};

} // namespace

int CompareNoCase(std::string_view a, std::string_view b) {
    FoldCursor fa, fb;
    const size_t n = std::min(a.size(), b.size());
    for (size_t i = 0; i < n; ++i) {
        const unsigned char ca = fa.Next(static_cast<unsigned char>(a[i]));
        const unsigned char cb = fb.Next(static_cast<unsigned char>(b[i]));
        if (ca != cb)
            return ca < cb ? -1 : 1;
    }
    if (a.size() == b.size())
        return 0;
    return a.size() < b.size() ? -1 : 1;
}

std::string FoldNoCase(std::string_view pText) {
    std::string out(pText);
    FoldCursor cursor;
    for (char& c : out)
        c = static_cast<char>(cursor.Next(static_cast<unsigned char>(c)));
    return out;
}

void cAddressList::Clear() {
    m_Rows.clear();
    m_Sorted = 0;
    m_Disordered = false;
}

void cAddressList::AddEntry(std::string_view pName, std::string_view pAddress) {
    std::string row;
    row.reserve(pName.size() + 1 + pAddress.size());
    row.append(pName);
    row += '\t';
    row.append(pAddress);
    m_Rows.push_back(std::move(row));
}

void cAddressList::AddRow(std::string pRow) {
    m_Rows.push_back(std::move(pRow));
}

void cAddressList::Settle() const {
    if (m_Sorted == m_Rows.size())
        return;
    const auto middle = m_Rows.begin() + static_cast<std::ptrdiff_t>(m_Sorted);
    std::stable_sort(middle, m_Rows.end(), LessNoCase{});
    if (!m_Disordered) {
        std::inplace_merge(m_Rows.begin(), middle, m_Rows.end(), LessNoCase{});
    } else {
        // Rows replaced in place may stand out of order; each new row then
        // goes before the first row that sorts after it.
        std::vector<std::string> added(std::make_move_iterator(middle),
                                       std::make_move_iterator(m_Rows.end()));
        m_Rows.erase(middle, m_Rows.end());
        for (std::string& row : added) {
            auto at = std::find_if(m_Rows.begin(), m_Rows.end(), [&](const std::string& existing) {
                return CompareNoCase(existing, row) > 0;
            });
            m_Rows.insert(at, std::move(row));
        }
    }
    m_Sorted = m_Rows.size();
}

size_t cAddressList::Count() const {
    return m_Rows.size();
}

const std::string& cAddressList::Row(size_t pIndex) const {
    Settle();
    return m_Rows.at(pIndex);
}

void cAddressList::SetRow(size_t pIndex, std::string pRow) {
    Settle();
    m_Rows.at(pIndex) = std::move(pRow);
    const bool afterPrevious =
        pIndex == 0 || CompareNoCase(m_Rows[pIndex - 1], m_Rows[pIndex]) <= 0;
    const bool beforeNext =
        pIndex + 1 >= m_Rows.size() || CompareNoCase(m_Rows[pIndex], m_Rows[pIndex + 1]) <= 0;
    if (!afterPrevious || !beforeNext)
        m_Disordered = true;
}

long cAddressList::FindPrefix(std::string_view pPrefix) const {
    Settle();
    for (size_t i = 0; i < m_Rows.size(); ++i) {
        const std::string& row = m_Rows[i];
        if (row.size() >= pPrefix.size() &&
            CompareNoCase(std::string_view(row).substr(0, pPrefix.size()), pPrefix) == 0) {
            return static_cast<long>(i);
        }
    }
    return -1;
}

const std::vector<std::string>& cAddressList::Rows() const {
    Settle();
    return m_Rows;
}

} // namespace brisa
