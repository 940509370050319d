// Address-book files built byte by byte for the reader tests, and a settings
// store in memory for the tests that read AddressBook / KnownAddressBooks.
#pragma once

#include "addressbook/address_list.h"
#include "settings/registry.h"
#include "tests/fakes/fakes.h"

#include <algorithm>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

namespace brisa::test {

inline void PutLe(std::string& pBytes, size_t pOffset, uint64_t pValue, int pSize) {
    if (pBytes.size() < pOffset + static_cast<size_t>(pSize))
        pBytes.resize(pOffset + static_cast<size_t>(pSize), '\0');
    for (int i = 0; i < pSize; ++i)
        pBytes[pOffset + static_cast<size_t>(i)] = static_cast<char>((pValue >> (8 * i)) & 0xFF);
}

inline void PutText(std::string& pBytes, size_t pOffset, const std::string& pText,
                    bool pZero = true) {
    const size_t need = pOffset + pText.size() + (pZero ? 1 : 0);
    if (pBytes.size() < need)
        pBytes.resize(need, '\0');
    pBytes.replace(pOffset, pText.size(), pText);
    if (pZero)
        pBytes[pOffset + pText.size()] = '\0';
}

// One AddrBk.lst record of 1658 bytes.
inline std::string AddrBkRecord(const std::string& pName, const std::string& pAddress) {
    std::string record(1658, '\0');
    for (size_t i = 0; i < 26; ++i)
        record[i] = static_cast<char>('a' + i % 26); // filler
    PutText(record, 26, pName);
    PutText(record, 58, pAddress);
    return record;
}

inline std::string AddrBkFile(const std::string& pHeader,
                              const std::vector<std::string>& pRecords) {
    std::string file = pHeader;
    for (const std::string& r : pRecords)
        file += r;
    return file;
}

struct WabEntry {
    std::string text;
    uint8_t id;
};

// A .wab file: header of 100 bytes, then the name table, then the address
// table, unless the offsets are given.
inline std::string WabFile(uint32_t pCount, const std::vector<WabEntry>& pNames,
                           const std::vector<WabEntry>& pAddresses, int64_t pNameTable = -1,
                           int64_t pAddressTable = -1) {
    std::string file(100, '\x55');
    const size_t nameTable = 100;
    const size_t addressTable = nameTable + pNames.size() * 36;
    PutLe(file, 20, pCount, 4);
    PutLe(file, 48, pNameTable >= 0 ? static_cast<uint64_t>(pNameTable) : nameTable, 4);
    PutLe(file, 96, pAddressTable >= 0 ? static_cast<uint64_t>(pAddressTable) : addressTable, 4);
    auto table = [&](size_t pAt, const std::vector<WabEntry>& pEntries) {
        for (size_t j = 0; j < pEntries.size(); ++j) {
            std::string entry(36, '\0');
            entry.replace(0, std::min<size_t>(pEntries[j].text.size(), 32),
                          pEntries[j].text.substr(0, 32));
            entry[32] = static_cast<char>(pEntries[j].id);
            entry[33] = '\x7F';
            PutText(file, pAt + j * 36, entry, false);
        }
    };
    table(nameTable, pNames);
    table(addressTable, pAddresses);
    return file;
}

struct NabRecord {
    std::string address;
    std::string name;
};

// An abook.nab file with base offset pBase and the given record count byte.
inline std::string NabFile(uint16_t pBase, int pCount, const std::vector<NabRecord>& pRecords) {
    std::string file(std::max<size_t>(358, pBase + 8u), '\x11');
    PutLe(file, 356, pBase, 2);
    PutLe(file, pBase + 7u, static_cast<uint64_t>(pCount), 1);
    for (size_t k = 0; k < pRecords.size(); ++k) {
        std::string record(68, '\0');
        PutText(record, 4, pRecords[k].address);
        PutText(record, 36, pRecords[k].name);
        PutText(file, pBase + 8u + k * 68, record, false);
    }
    return file;
}

inline std::string RandomBytes(std::mt19937& pRandom, size_t pLength) {
    std::string bytes(pLength, '\0');
    for (char& c : bytes)
        c = static_cast<char>(pRandom() & 0xFF);
    return bytes;
}

// True when every row of pPart occurs in pWhole at least as often.
inline bool IsSubsetOf(const std::vector<std::string>& pPart, std::vector<std::string> pWhole) {
    for (const std::string& row : pPart) {
        auto it = std::find(pWhole.begin(), pWhole.end(), row);
        if (it == pWhole.end())
            return false;
        pWhole.erase(it);
    }
    return true;
}

// gRegistry over a registry in memory for the life of the object.
class SettingsInMemory {
public:
    SettingsInMemory() : m_Store(m_Memory, nullptr) {
        m_Store.VerifyRegistry();
        m_Previous = gRegistry;
        gRegistry = &m_Store;
    }
    ~SettingsInMemory() { gRegistry = m_Previous; }
    SettingsInMemory(const SettingsInMemory&) = delete;
    SettingsInMemory& operator=(const SettingsInMemory&) = delete;
    cRegistry& Store() { return m_Store; }

private:
    MemoryRegistry m_Memory;
    cRegistry m_Store;
    cRegistry* m_Previous = nullptr;
};

} // namespace brisa::test
