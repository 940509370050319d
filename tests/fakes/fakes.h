// Stand-ins for the settings store and the system facts, for the tests of
// parts that read them but are not the program as a whole.
#pragma once

#include "platform/registry.h"
#include "platform/system_info.h"

#include <map>
#include <string>

namespace brisa::test {

// Keys and values in memory; key paths compare case-insensitively.
class MemoryRegistry : public IRegistry {
public:
    bool OpenKey(RootKey pRoot, const std::string& pPath) override;
    bool CreateKey(RootKey pRoot, const std::string& pPath) override;
    bool QueryValue(RootKey pRoot, const std::string& pPath, const std::string& pName,
                    std::string& pData) override;
    bool SetValue(RootKey pRoot, const std::string& pPath, const std::string& pName,
                  const std::string& pData) override;
    // Direct access for tests: creates the key when needed.
    void Put(RootKey pRoot, const std::string& pPath, const std::string& pName,
             const std::string& pData);
    bool failWrites = false;

private:
    static std::string KeyOf(RootKey pRoot, const std::string& pPath);
    std::map<std::string, std::map<std::string, std::string>> m_Keys;
};

class FakeSystemInfo : public ISystemInfo {
public:
    uint16_t languageId = 0x0409;
    int bitsPerPixel = 24;
    int dpiX = 96, dpiY = 96;
    int caretBlink = 530;
    int screenWidth = 1280, screenHeight = 1024;
    bool hasUser = true;
    std::string userName = "ann";
    bool hasBias = true;
    int bias = 0;

    uint16_t SystemLanguageId() override { return languageId; }
    int BitsPerPixel() override { return bitsPerPixel; }
    int LogPixelsX() override { return dpiX; }
    int LogPixelsY() override { return dpiY; }
    int CaretBlinkTime() override { return caretBlink; }
    int ScreenWidth() override { return screenWidth; }
    int ScreenHeight() override { return screenHeight; }
    bool UserName(std::string& pName) override {
        if (hasUser) pName = userName;
        return hasUser;
    }
    bool TimeZoneBias(int& pBias) override {
        if (hasBias) pBias = bias;
        return hasBias;
    }
};

} // namespace brisa::test
