#include "addressbook/readers.h"

#include "common/utilities.h"
#include "language/translation.h"
#include "platform/codepage.h"
#include "settings/registry.h"

#include <array>
#include <cstring>
#include <optional>
#include <unordered_map>

namespace brisa {

namespace {

constexpr size_t kAddrBkRecord = 1658;
constexpr size_t kWabEntry = 36;
constexpr size_t kWabText = 32;
constexpr size_t kNabRecord = 68;

uint32_t Le32(const char* p) {
    const auto* b = reinterpret_cast<const unsigned char*>(p);
    return static_cast<uint32_t>(b[0]) | (static_cast<uint32_t>(b[1]) << 8) |
           (static_cast<uint32_t>(b[2]) << 16) | (static_cast<uint32_t>(b[3]) << 24);
}

bool ReadLe32(const cByteSource& pFile, uint64_t pOffset, uint32_t& pValue) {
    char b[4];
    if (!pFile.Read(pOffset, 4, b))
        return false;
    pValue = Le32(b);
    return true;
}

// The text at pStart of a record, up to its first zero byte before pEnd;
// false when the field has no zero byte there.
bool TextField(const char* pRecord, size_t pStart, size_t pEnd, std::string& pText) {
    const void* zero = std::memchr(pRecord + pStart, 0, pEnd - pStart);
    if (zero == nullptr)
        return false;
    pText.assign(pRecord + pStart, static_cast<const char*>(zero));
    return true;
}

void RemoveTrailingCrLf(std::string& pText) {
    if (pText.size() >= 2 && pText.compare(pText.size() - 2, 2, "\r\n") == 0)
        pText.resize(pText.size() - 2);
}

// How many whole entries of pSize bytes fit between pOffset and the end.
uint64_t EntriesThatFit(const cByteSource& pFile, uint64_t pOffset, size_t pSize) {
    return pOffset <= pFile.Size() ? (pFile.Size() - pOffset) / pSize : 0;
}

// Calls pLine for every line of the file: a line ends at CR, LF or CR LF;
// a last line without an end counts when it is not empty. Lines longer than
// kMaxLineLength are cut there.
template <typename LineFn> void ForEachLine(const cByteSource& pFile, LineFn&& pLine) {
    std::string buffer(64u << 10, '\0');
    std::string line;
    bool afterCr = false;
    uint64_t offset = 0;
    for (;;) {
        const size_t got = pFile.ReadSome(offset, buffer.size(), buffer.data());
        if (got == 0)
            break;
        offset += got;
        size_t i = 0;
        while (i < got) {
            if (afterCr && buffer[i] == '\n') {
                afterCr = false;
                ++i;
                continue;
            }
            afterCr = false;
            size_t end = i;
            while (end < got && buffer[end] != '\r' && buffer[end] != '\n')
                ++end;
            if (line.size() < kMaxLineLength) {
                line.append(buffer.data() + i, std::min(end - i, kMaxLineLength - line.size()));
            }
            if (end == got)
                break; // the line goes on in the next chunk
            pLine(std::string_view(line));
            line.clear();
            afterCr = buffer[end] == '\r';
            i = end + 1;
        }
    }
    if (!line.empty())
        pLine(std::string_view(line));
}

bool IsValidUtf8(std::string_view s) {
    size_t i = 0;
    while (i < s.size()) {
        const auto c = static_cast<unsigned char>(s[i]);
        size_t extra;
        uint32_t cp;
        if (c < 0x80) {
            ++i;
            continue;
        } else if (c >= 0xC2 && c <= 0xDF) {
            extra = 1;
            cp = c & 0x1F;
        } else if (c >= 0xE0 && c <= 0xEF) {
            extra = 2;
            cp = c & 0x0F;
        } else if (c >= 0xF0 && c <= 0xF4) {
            extra = 3;
            cp = c & 0x07;
        } else {
            return false;
        }
        if (i + extra >= s.size())
            return false;
        for (size_t k = 1; k <= extra; ++k) {
            const auto d = static_cast<unsigned char>(s[i + k]);
            if ((d & 0xC0) != 0x80)
                return false;
            cp = (cp << 6) | (d & 0x3F);
        }
        if ((extra == 2 && cp < 0x800) || (extra == 3 && (cp < 0x10000 || cp > 0x10FFFF)) ||
            (cp >= 0xD800 && cp <= 0xDFFF)) {
            return false;
        }
        i += extra + 1;
    }
    return true;
}

// Decodes base-64 text (blanks ignored, "=" ends it); nothing when a
// character outside the alphabet occurs.
std::optional<std::string> DecodeBase64(std::string_view pText) {
    std::string out;
    out.reserve(pText.size() / 4 * 3 + 3);
    uint32_t bits = 0;
    int count = 0;
    for (char ch : pText) {
        int v;
        if (ch >= 'A' && ch <= 'Z')
            v = ch - 'A';
        else if (ch >= 'a' && ch <= 'z')
            v = ch - 'a' + 26;
        else if (ch >= '0' && ch <= '9')
            v = ch - '0' + 52;
        else if (ch == '+')
            v = 62;
        else if (ch == '/')
            v = 63;
        else if (ch == ' ' || ch == '\t')
            continue;
        else if (ch == '=')
            break;
        else
            return std::nullopt;
        bits = (bits << 6) | static_cast<uint32_t>(v);
        if (++count == 4) {
            out += static_cast<char>((bits >> 16) & 0xFF);
            out += static_cast<char>((bits >> 8) & 0xFF);
            out += static_cast<char>(bits & 0xFF);
            bits = 0;
            count = 0;
        }
    }
    if (count == 2) {
        out += static_cast<char>((bits >> 4) & 0xFF);
    } else if (count == 3) {
        out += static_cast<char>((bits >> 10) & 0xFF);
        out += static_cast<char>((bits >> 2) & 0xFF);
    } else if (count == 1) {
        return std::nullopt;
    }
    return out;
}

// LDIF text: valid UTF-8 is UTF-8 (what current programs write), anything
// else Windows-1252 (what older ones wrote).
std::string LdifText(std::string_view pBytes) {
    return IsValidUtf8(pBytes) ? std::string(pBytes) : Cp1252ToUtf8(pBytes);
}

// The value of an LDIF line after its "name:" prefix.
std::string LdifValue(std::string_view pRest) {
    if (!pRest.empty() && pRest.front() == ':') {
        const auto bytes = DecodeBase64(TrimBlanks(pRest.substr(1)));
        return bytes ? LdifText(*bytes) : std::string();
    }
    return LdifText(TrimBlanks(pRest));
}

// Adds a row whose name and address are free of control characters: a line
// end or tab inside either would split the row, shift the address column,
// or reach the post's header rows once the address is picked.
void AddCleanEntry(cAddressList& pList, std::string_view pName, std::string_view pAddress) {
    pList.AddEntry(ReplaceControlCharacters(pName), ReplaceControlCharacters(pAddress));
}

// Splits a row at its first tab.
void SplitRow(std::string_view pRow, std::string_view& pName, std::string_view& pAddress) {
    const size_t tab = pRow.find('\t');
    if (tab == std::string_view::npos) {
        pName = pRow;
        pAddress = {};
    } else {
        pName = pRow.substr(0, tab);
        pAddress = pRow.substr(tab + 1);
    }
}

} // namespace

void ReadAddrBkList(const std::string& pPath, cAddressList& pList) {
    pList.Clear();
    cFileSource file(pPath);
    if (file.IsOpen())
        ReadAddrBkList(file, pList);
}

void ReadAddrBkList(const cByteSource& pFile, cAddressList& pList) {
    pList.Clear();
    const uint64_t length = pFile.Size();
    const uint64_t records = length / kAddrBkRecord;
    const uint64_t header = length - records * kAddrBkRecord;
    std::array<char, kAddrBkRecord> record{};
    std::string name, address;
    for (uint64_t i = 0; i < records; ++i) {
        if (!pFile.Read(header + i * kAddrBkRecord, kAddrBkRecord, record.data()))
            continue;
        if (!TextField(record.data(), 26, kAddrBkRecord, name))
            continue;
        if (!TextField(record.data(), 58, kAddrBkRecord, address))
            continue;
        RemoveTrailingCrLf(name);
        RemoveTrailingCrLf(address);
        if (name.empty() || address.empty())
            continue;
        std::string text = ReplaceControlCharacters(Cp1252ToUtf8(address));
        if (text.find('@') == std::string::npos) {
            // A member name of the AOL service: its blanks go, its domain is added.
            std::erase(text, ' ');
            text += '@';
            text += kAolMailDomain;
        }
        AddCleanEntry(pList, Cp1252ToUtf8(name), text);
    }
}

void ReadWabFile(const std::string& pPath, cAddressList& pList) {
    pList.Clear();
    cFileSource file(pPath);
    if (file.IsOpen())
        ReadWabFile(file, pList);
}

void ReadWabFile(const cByteSource& pFile, cAddressList& pList) {
    pList.Clear();
    uint32_t count = 0, nameTable = 0, addressTable = 0;
    if (!ReadLe32(pFile, 20, count) || !ReadLe32(pFile, 48, nameTable) ||
        !ReadLe32(pFile, 96, addressTable)) {
        return;
    }
    // Only the id byte of an entry is used, so at most 255 contacts exist.
    using Texts = std::array<std::optional<std::string>, 256>;
    auto readTable = [&](uint32_t pTable, Texts& pTexts) {
        const uint64_t entries =
            std::min<uint64_t>(count, EntriesThatFit(pFile, pTable, kWabEntry));
        std::array<char, kWabEntry> entry{};
        std::string text;
        for (uint64_t j = 0; j < entries; ++j) {
            if (!pFile.Read(pTable + j * kWabEntry, kWabEntry, entry.data()))
                continue;
            if (!TextField(entry.data(), 0, kWabText, text) || text.empty())
                continue;
            auto& slot = pTexts[static_cast<unsigned char>(entry[32])];
            if (!slot)
                slot = text;
        }
    };
    Texts addresses, names;
    readTable(addressTable, addresses);
    readTable(nameTable, names);
    const uint32_t last = std::min<uint32_t>(count, 255);
    for (uint32_t id = 1; id <= last; ++id) {
        if (names[id] && addresses[id])
            AddCleanEntry(pList, Cp1252ToUtf8(*names[id]), Cp1252ToUtf8(*addresses[id]));
    }
}

void ReadNabFile(const std::string& pPath, cAddressList& pList) {
    pList.Clear();
    cFileSource file(pPath);
    if (file.IsOpen())
        ReadNabFile(file, pList);
}

void ReadNabFile(const cByteSource& pFile, cAddressList& pList) {
    pList.Clear();
    char b[2];
    if (!pFile.Read(356, 2, b))
        return;
    const uint64_t base = static_cast<unsigned char>(b[0]) |
                          (static_cast<unsigned>(static_cast<unsigned char>(b[1])) << 8);
    char countByte = 0;
    if (!pFile.Read(base + 7, 1, &countByte))
        return;
    const uint64_t records = std::min<uint64_t>(static_cast<unsigned char>(countByte),
                                                EntriesThatFit(pFile, base + 8, kNabRecord));
    std::array<char, kNabRecord> record{};
    std::string name, address;
    for (uint64_t k = 0; k < records; ++k) {
        if (!pFile.Read(base + 8 + k * kNabRecord, kNabRecord, record.data()))
            continue;
        if (!TextField(record.data(), 4, kNabRecord, address))
            continue;
        if (!TextField(record.data(), 36, kNabRecord, name))
            continue;
        if (!name.empty() && !address.empty())
            AddCleanEntry(pList, Cp1252ToUtf8(name), Cp1252ToUtf8(address));
    }
}

void ReadLdifFile(const std::string& pPath, cAddressList& pList) {
    pList.Clear();
    cFileSource file(pPath);
    if (file.IsOpen())
        ReadLdifFile(file, pList);
}

void ReadLdifFile(const cByteSource& pFile, cAddressList& pList) {
    pList.Clear();
    std::string name, address;
    auto flush = [&] {
        if (!name.empty() && !address.empty()) {
            AddCleanEntry(pList, name, address);
            name.clear();
            address.clear();
        }
    };
    auto entryLine = [&](std::string_view pLine) {
        if (StartsWithNoCase(pLine, "dn:")) {
            flush();
        } else if (StartsWithNoCase(pLine, "cn:")) {
            name = LdifValue(pLine.substr(3));
        } else if (StartsWithNoCase(pLine, "mail:")) {
            address = LdifValue(pLine.substr(5));
        }
    };
    // A line that begins with one blank continues the line before it.
    std::string logical;
    bool haveLine = false;
    ForEachLine(pFile, [&](std::string_view pLine) {
        if (haveLine && !pLine.empty() && pLine.front() == ' ') {
            if (logical.size() < kMaxLineLength) {
                logical.append(pLine.substr(1, kMaxLineLength - logical.size()));
            }
            return;
        }
        if (haveLine)
            entryLine(logical);
        logical.assign(pLine);
        haveLine = true;
    });
    if (haveLine)
        entryLine(logical);
    flush();
}

void ReadNicknameFile(const std::string& pPath, cAddressList& pList) {
    pList.Clear();
    cFileSource file(pPath);
    if (file.IsOpen())
        ReadNicknameFile(file, pList);
}

void ReadNicknameFile(const cByteSource& pFile, cAddressList& pList) {
    pList.Clear();
    ForEachLine(pFile, [&](std::string_view pLine) {
        if (!StartsWithNoCase(pLine, "alias "))
            return;
        std::string rest = Cp1252ToUtf8(pLine.substr(6));
        std::string nickname, addresses;
        if (!rest.empty() && rest.front() == '"') {
            const int last = LastIndexOf(rest, "\"");
            if (last >= 2)
                nickname = rest.substr(1, static_cast<size_t>(last - 2));
            addresses = TrimBlanks(std::string_view(rest).substr(static_cast<size_t>(last)));
        } else {
            nickname = NextToken(rest, " ", true);
            addresses = TrimBlanks(rest);
        }
        if (!addresses.empty() && addresses.back() == ',')
            addresses.pop_back();
        if (!nickname.empty() && !addresses.empty())
            AddCleanEntry(pList, nickname, addresses);
    });
    ExpandNicknames(pList);
}

void ReadOutlookContacts(const std::string& pPath, cAddressList& pList,
                         const OutlookContactSource& pOutlook) {
    (void)pPath;
    pList.Clear();
    if (!pOutlook)
        return;
    const cOutlookResult result = pOutlook();
    if (result.Cancel)
        return;
    for (const cContact& contact : result.Contacts)
        AddCleanEntry(pList, contact.Name, contact.Address);
}

void ExpandNicknames(cAddressList& pList) {
    const size_t count = pList.Count();
    // The first row of each name: a token without a tab names a row exactly
    // when the row's text up to its first tab equals the token. Names do not
    // change below, only addresses.
    std::unordered_map<std::string, size_t> firstRowOf;
    firstRowOf.reserve(count);
    for (size_t i = 0; i < count; ++i) {
        std::string_view name, address;
        SplitRow(pList.Row(i), name, address);
        if (pList.Row(i).find('\t') != std::string::npos)
            firstRowOf.emplace(FoldNoCase(name), i);
    }

    size_t added = 0;
    for (size_t i = 0; i < count; ++i) {
        const std::string row = pList.Row(i);
        std::string_view name, text;
        SplitRow(row, name, text);
        std::string expanded;
        size_t start = 0;
        while (start < text.size()) {
            size_t comma = text.find(',', start);
            if (comma == std::string_view::npos)
                comma = text.size();
            const std::string_view token = text.substr(start, comma - start);
            if (token.empty())
                break;
            start = comma + 1;

            long found = -1;
            if (token.find('\t') == std::string_view::npos) {
                const auto it = firstRowOf.find(FoldNoCase(token));
                if (it != firstRowOf.end())
                    found = static_cast<long>(it->second);
            } else {
                found = pList.FindPrefix(std::string(token) + '\t');
            }
            if (found >= 0) {
                std::string_view otherName, otherAddress;
                SplitRow(pList.Row(static_cast<size_t>(found)), otherName, otherAddress);
                if (expanded.size() + otherAddress.size() + 1 > kMaxExpandedRow ||
                    added + otherAddress.size() > kMaxExpansionTotal) {
                    continue; // the row or the whole list would grow too long
                }
                added += otherAddress.size();
                expanded.append(otherAddress).append(1, ',');
            } else if (token.find('@') != std::string_view::npos) {
                expanded.append(token).append(1, ',');
            }
        }
        if (!expanded.empty() && expanded.back() == ',')
            expanded.pop_back();
        std::string newRow;
        newRow.reserve(name.size() + 1 + expanded.size());
        newRow.append(name).append(1, '\t').append(expanded);
        pList.SetRow(i, std::move(newRow));
    }
}

void LoadAddressBook(cAddressList& pList, const cKindLabels& pKinds,
                     const OutlookContactSource& pOutlook) {
    if (gRegistry == nullptr)
        return;
    std::string value = gRegistry->AddressBook();
    const std::string label = NextToken(value, "\t", true);
    const std::string& path = value;
    auto is = [&](const std::string& pKind) {
        return !pKind.empty() && EqualsNoCase(label, pKind);
    };
    // The contacts kind also names the folder of vCard contact folders.
    if (path.empty() || !(FileExists(path) || (is(pKinds.Pst) && FolderExists(path))))
        return;

    if (is(pKinds.AddrBkList)) {
        ReadAddrBkList(path, pList);
    } else if (is(pKinds.Wab)) {
        ReadWabFile(path, pList);
    } else if (is(pKinds.Nab)) {
        ReadNabFile(path, pList);
    } else if (is(pKinds.Ldif)) {
        ReadLdifFile(path, pList);
    } else if (is(pKinds.Nickname)) {
        ReadNicknameFile(path, pList);
    } else if (is(pKinds.Pst)) {
        ReadOutlookContacts(path, pList, pOutlook);
    } else if (const auto notice = Tr("add0006")) {
        pList.AddEntry(*notice, "");
    }
}

} // namespace brisa
