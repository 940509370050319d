// Fakes of the platform services, shared by the tests.
#pragma once

#include "platform/autostart.h"
#include "platform/message_box.h"
#include "platform/mci.h"
#include "platform/mixer.h"
#include "platform/modal.h"
#include "platform/registry.h"
#include "platform/services.h"
#include "platform/shell.h"
#include "platform/single_instance.h"
#include "platform/sound.h"
#include "platform/system_info.h"
#include "platform/tray.h"

#include <deque>
#include <functional>
#include <map>
#include <string>
#include <vector>

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

// Records every box and answers from a queue (vbOK when it is empty).
class FakeMessageBox : public IMessageBox {
public:
    struct Shown {
        std::string text, title;
        int style;
    };
    std::vector<Shown> shown;
    std::deque<int> answers;
    int Show(const std::string& pText, const std::string& pTitle, int pStyle) override {
        shown.push_back({pText, pTitle, pStyle});
        if (answers.empty()) return vbOK;
        const int answer = answers.front();
        answers.pop_front();
        return answer;
    }
};

class FakeShell : public IShell {
public:
    std::vector<std::string> opened;
    void Open(const std::string& pTarget, const std::string&) override { opened.push_back(pTarget); }
};

class FakeSoundPlayer : public ISoundPlayer {
public:
    struct Played {
        std::string path;
        int mode;
    };
    std::vector<Played> played;
    void Play(const std::string& pPath, int pMode) override { played.push_back({pPath, pMode}); }
    // The file names (after the last '/') of the sounds played, in order.
    std::vector<std::string> Names() const;
};

// Records commands; answers from a per-verb table (0 by default).
class FakeMci : public IMci {
public:
    std::vector<std::string> commands;
    std::map<std::string, uint32_t> failVerb; // first word -> error code
    uint32_t Send(const std::string& pCommand) override;
    std::string ErrorText(uint32_t pCode) override { return "MCI error " + std::to_string(pCode); }
};

class FakeMixer : public IMixer {
public:
    bool present = true;
    bool micVolume = true, speakerVolume = true;
    std::vector<std::pair<MixerLine, uint32_t>> writes;
    bool Open() override { return present; }
    bool HasVolume(MixerLine pLine) override {
        return present && (pLine == MixerLine::Microphone ? micVolume : speakerVolume);
    }
    bool SetVolume(MixerLine pLine, uint32_t pValue) override {
        if (!HasVolume(pLine)) return false;
        writes.emplace_back(pLine, pValue);
        return true;
    }
};

class FakeTray : public ITrayIcon {
public:
    bool available = true;
    bool added = false;
    std::string icon, tip;
    std::vector<std::string> modifications;
    std::function<void(int)> callback;
    bool Add(const std::string& pIconName, const std::string& pTip) override {
        added = true;
        icon = pIconName;
        tip = pTip;
        return available;
    }
    bool Modify(const std::string& pIconName) override {
        icon = pIconName;
        modifications.push_back(pIconName);
        return added;
    }
    void Remove() override { added = false; }
    bool Available() override { return available; }
    void SetCallback(std::function<void(int)> pCallback) override { callback = std::move(pCallback); }
};

class FakeAutostart : public IAutostart {
public:
    std::vector<std::string> commands;
    void SetCommand(const std::string& pCommand) override { commands.push_back(pCommand); }
};

class FakeSingleInstance : public ISingleInstance {
public:
    bool firstCopy = true;
    IAutomationTarget* target = nullptr;
    bool Claim() override { return firstCopy; }
    void SetTarget(IAutomationTarget* pTarget) override { target = pTarget; }
};

// Runs a script instead of showing the window modally; the script acts as
// the user and must hide the window (the default just hides it).
class FakeModalRunner : public IModalRunner {
public:
    std::function<void(QWidget*)> script;
    int shown = 0;
    void ShowModal(QWidget* pWindow, QWidget* pOwner) override;
};

// All fakes together, wired into a Services record.
struct FakeServices {
    MemoryRegistry registry;
    FakeAutostart autostart;
    FakeSystemInfo system;
    FakeMessageBox messageBox;
    FakeShell shell;
    FakeSoundPlayer sound;
    FakeMci mci;
    FakeMixer mixer;
    FakeTray tray;
    FakeSingleInstance instance;
    FakeModalRunner modal;
    Services Wire();
};

} // namespace brisa::test
