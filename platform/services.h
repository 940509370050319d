// The platform services a window needs, handed to it when it is created.
// The program passes the real Linux services; tests pass fakes.
#pragma once

#include <functional>
#include <memory>

namespace brisa {

class IRegistry;
class IAutostart;
class ISystemInfo;
class IMessageBox;
class IShell;
class ISoundPlayer;
class IMci;
class IMixer;
class ITrayIcon;
class ISingleInstance;
class ISender;
class IModalRunner;
class IContacts;
class IDriveList;
class IAdLibrary;
class IPreloadedPictures;

struct Services {
    IRegistry* registry = nullptr;
    IAutostart* autostart = nullptr;
    ISystemInfo* system = nullptr;
    IMessageBox* messageBox = nullptr;
    IShell* shell = nullptr;
    ISoundPlayer* sound = nullptr;
    IMci* mci = nullptr;
    IMixer* mixer = nullptr;
    ITrayIcon* tray = nullptr;
    ISingleInstance* instance = nullptr;
    IModalRunner* modal = nullptr;
    // The contact store the Outlook import window reads.
    IContacts* contacts = nullptr;
    // The places an address-book search can start from.
    IDriveList* drives = nullptr;
    // The advertising library behind the banner and the partner buttons;
    // without one the window runs without advertising.
    IAdLibrary* ads = nullptr;
    // Pictures start-up decoded ahead; without it each is read when needed.
    IPreloadedPictures* preloaded = nullptr;
    // Starts one sending program per post.
    std::function<std::unique_ptr<ISender>()> newSender;
};

} // namespace brisa
