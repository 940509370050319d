// The program as it runs: the Linux services, the sending program and the
// main window, wired together in one place. main() builds one; scenario
// tests build one the same way, with only the world outside the program
// (folders, sound devices, the session bus, servers) set up around it
// through the environment.
#pragma once

#include "ads/house_ads.h"
#include "app/main_window.h"
#include "platform/file_registry.h"
#include "platform/linux/alsa_mixer.h"
#include "platform/linux/alsa_sound.h"
#include "platform/linux/dbus_single_instance.h"
#include "platform/linux/linux_services.h"
#include "platform/linux/session_signals.h"
#include "platform/linux/start_up_preload.h"
#include "platform/linux/vcard_contacts.h"
#include "platform/mci_interpreter.h"
#include "platform/drives.h"

#include <memory>
#include <string>

namespace brisa {

struct Program {
    // pCommandLine: the program's arguments joined by blanks ("1" starts
    // it hidden in the tray). The application object exists already.
    explicit Program(const std::string& pCommandLine);
    ~Program();
    Program(const Program&) = delete;
    Program& operator=(const Program&) = delete;

    // Runs start-up and from then on takes the end of the session (signals,
    // the session manager) as Exit. False when this copy ends at once:
    // another copy runs, or start-up already ended the program.
    bool Start();

    // First of all: the font configuration is read beside the rest.
    StartUpPreload preload;
    FileRegistry registry;
    XdgAutostart autostart;
    LinuxSystemInfo system;
    QtMessageBox messageBox;
    DesktopShell shell;
    AlsaSoundPlayer sound;
    MciInterpreter mci;
    AlsaMixer mixer;
    QtTrayIcon tray;
    DBusSingleInstance instance;
    EventLoopModalRunner modal;
    VCardContacts contacts;
    LinuxDriveList drives;
    HouseAds houseAds;
    Services services;
    // Start-up waits here, before the window's first text, for the font
    // configuration; the session bus and the skin are made ready meanwhile.
    struct BeforeWindow {
        explicit BeforeWindow(StartUpPreload& pPreload);
    } beforeWindow;
    frmMM window;
    std::unique_ptr<SessionSignals> sessionSignals;

private:
    Services Wire();
    // Sees the application's request to quit before the windows do.
    struct QuitWatch : QObject {
        explicit QuitWatch(Program& pProgram) : program(pProgram) {}
        bool eventFilter(QObject* pWatched, QEvent* pEvent) override;
        Program& program;
    } quitWatch;
};

// The program's arguments joined by blanks.
std::string CommandLine(int argc, char** argv);

} // namespace brisa
