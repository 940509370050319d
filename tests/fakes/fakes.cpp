#include "tests/fakes/fakes.h"

namespace brisa::test {

std::string MemoryRegistry::KeyOf(RootKey pRoot, const std::string& pPath) {
    std::string key = std::to_string(static_cast<uint32_t>(pRoot)) + "\\" + pPath;
    for (auto& c : key)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
    return key;
}

bool MemoryRegistry::OpenKey(RootKey pRoot, const std::string& pPath) {
    return m_Keys.count(KeyOf(pRoot, pPath)) != 0;
}

bool MemoryRegistry::CreateKey(RootKey pRoot, const std::string& pPath) {
    if (failWrites) return false;
    m_Keys[KeyOf(pRoot, pPath)];
    return true;
}

bool MemoryRegistry::QueryValue(RootKey pRoot, const std::string& pPath, const std::string& pName,
                                std::string& pData) {
    const auto key = m_Keys.find(KeyOf(pRoot, pPath));
    if (key == m_Keys.end()) return false;
    std::string name = pName;
    for (auto& c : name)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
    const auto value = key->second.find(name);
    if (value == key->second.end()) return false;
    pData = value->second;
    return true;
}

bool MemoryRegistry::SetValue(RootKey pRoot, const std::string& pPath, const std::string& pName,
                              const std::string& pData) {
    if (failWrites) return false;
    const auto key = m_Keys.find(KeyOf(pRoot, pPath));
    if (key == m_Keys.end()) return false;
    std::string name = pName;
    for (auto& c : name)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
    key->second[name] = pData;
    return true;
}

void MemoryRegistry::Put(RootKey pRoot, const std::string& pPath, const std::string& pName,
                         const std::string& pData) {
    m_Keys[KeyOf(pRoot, pPath)];
    SetValue(pRoot, pPath, pName, pData);
}

} // namespace brisa::test
