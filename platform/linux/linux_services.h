// The Linux implementations of the platform services.
#pragma once

#include "platform/autostart.h"
#include "platform/message_box.h"
#include "platform/mci.h"
#include "platform/mixer.h"
#include "platform/modal.h"
#include "platform/shell.h"
#include "platform/sound.h"
#include "platform/system_info.h"
#include "platform/tray.h"

#include <QMetaObject>
#include <QString>
#include <QtGlobal>

#include <memory>

class QSystemTrayIcon;

namespace brisa {

class LinuxSystemInfo : public ISystemInfo {
public:
    uint16_t SystemLanguageId() override;
    int BitsPerPixel() override;
    int LogPixelsX() override;
    int LogPixelsY() override;
    int CaretBlinkTime() override;
    int ScreenWidth() override;
    int ScreenHeight() override;
    bool UserName(std::string& pName) override;
    bool TimeZoneBias(int& pBias) override;
};

class QtMessageBox : public IMessageBox {
public:
    int Show(const std::string& pText, const std::string& pTitle, int pStyle) override;
};

class DesktopShell : public IShell {
public:
    void Open(const std::string& pTarget, const std::string& pFolder) override;
};

// Runs a nested event loop until the window hides itself.
class EventLoopModalRunner : public IModalRunner {
public:
    void ShowModal(QWidget* pWindow, QWidget* pOwner) override;
};

// The XDG autostart entry ~/.config/autostart/brisamail.desktop.
class XdgAutostart : public IAutostart {
public:
    void SetCommand(const std::string& pCommand) override;
    static std::string EntryPath();
};

// The icon in the desktop's notification area. A click or a double click
// with the left button reports WM_LBUTTONDBLCLK once (desktops that speak the
// StatusNotifierItem protocol only report single clicks). The icon carries
// the owner's menu, which the desktop opens at the icon; WM_RBUTTONDOWN is
// reported just before it shows. Without a menu, the context-menu request
// reports WM_RBUTTONDOWN and the owner pops up its own.
class QtTrayIcon : public ITrayIcon {
public:
    QtTrayIcon();
    ~QtTrayIcon() override;
    bool Add(const std::string& pIconName, const std::string& pTip) override;
    bool Modify(const std::string& pIconName) override;
    void Remove() override;
    bool Available() override;
    void SetCallback(std::function<void(int)> pCallback) override;
    bool IconRect(TrayRect& pRect) override;
    bool SetMenu(QMenu* pMenu) override;
    // The tip the icon shows (empty without an icon).
    QString Tip() const;
    // The desktop's report of one activation (a QSystemTrayIcon reason),
    // turned into the owner's mouse message.
    void Activated(int pReason);

private:
    std::unique_ptr<QSystemTrayIcon> m_Icon;
    std::function<void(int)> m_Callback;
    QMenu* m_Menu = nullptr; // the owner's
    QMetaObject::Connection m_MenuShows;
    qint64 m_LastClick = -1; // when the last left click was reported (ms)
};

// Stand-ins for machines without the device: every call fails quietly.
class SilentSoundPlayer : public ISoundPlayer {
public:
    void Play(const std::string&, int) override {}
};

class NoMixer : public IMixer {
public:
    bool Open() override { return false; }
    bool HasVolume(MixerLine) override { return false; }
    bool SetVolume(MixerLine, uint32_t) override { return false; }
};

} // namespace brisa

namespace brisa {

// The wave-audio device of a machine without one: every command fails with
// a clear text.
class NoWaveDevice : public IMci {
public:
    uint32_t Send(const std::string&) override { return 263; }
    std::string ErrorText(uint32_t) override {
        return "The specified device is not open or is not recognized by MCI.";
    }
};

} // namespace brisa
