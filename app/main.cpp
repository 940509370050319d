// BrisaMail: records a voice message and sends it.
#include "app/main_window.h"

#include "ads/house_ads.h"
#include "platform/drives.h"
#include "platform/file_registry.h"
#include "platform/icons.h"
#include "platform/linux/alsa_mixer.h"
#include "platform/linux/alsa_sound.h"
#include "platform/linux/alsa_wave_backend.h"
#include "platform/linux/dbus_single_instance.h"
#include "platform/linux/display_check.h"
#include "platform/linux/linux_services.h"
#include "platform/linux/vcard_contacts.h"
#include "platform/mci_interpreter.h"
#include "sending/sender_process.h"

#include <QApplication>
#include <QTimer>

int main(int argc, char** argv) {
    // The windows follow the display's dpi themselves (large-font layout).
    if (qEnvironmentVariableIsEmpty("QT_ENABLE_HIGHDPI_SCALING"))
        qputenv("QT_ENABLE_HIGHDPI_SCALING", "0");
    if (!brisa::CheckDisplay(argc, argv)) return 1;
    QApplication app(argc, argv);
    QApplication::setApplicationName("brisamail");
    QApplication::setApplicationDisplayName("BrisaMail");
    QApplication::setQuitOnLastWindowClosed(false);
    QApplication::setWindowIcon(brisa::ProgramIcon("ID_NORMAL"));

    std::string commandLine;
    for (int i = 1; i < argc; ++i) {
        if (i > 1) commandLine += ' ';
        commandLine += argv[i];
    }

    brisa::FileRegistry registry(brisa::FileRegistry::DefaultPath());
    brisa::XdgAutostart autostart;
    brisa::LinuxSystemInfo system;
    brisa::QtMessageBox messageBox;
    brisa::DesktopShell shell;
    brisa::AlsaSoundPlayer sound;
    brisa::MciInterpreter mci([] { return std::make_unique<brisa::AlsaWaveBackend>(); });
    brisa::AlsaMixer mixer;
    brisa::QtTrayIcon tray;
    brisa::DBusSingleInstance instance;
    brisa::EventLoopModalRunner modal;

    brisa::Services services;
    services.registry = &registry;
    services.autostart = &autostart;
    services.system = &system;
    services.messageBox = &messageBox;
    services.shell = &shell;
    services.sound = &sound;
    services.mci = &mci;
    services.mixer = &mixer;
    services.tray = &tray;
    services.instance = &instance;
    services.modal = &modal;
    brisa::VCardContacts contacts;
    services.contacts = &contacts;
    brisa::LinuxDriveList drives;
    services.drives = &drives;
    brisa::HouseAds houseAds(&shell);
    services.ads = &houseAds;
    services.newSender = [] { return std::make_unique<brisa::SenderProcess>(); };

    brisa::frmMM window(services, commandLine);
    window.Form_Load();
    if (window.IsSecondCopy()) return 0;
    if (window.IsUnloaded()) return 0;
    // For start-up measurements: BRISAMAIL_EXIT_WHEN_SHOWN=1 ends the program
    // as soon as the event loop has shown the window; a larger number is how
    // many milliseconds it stays idle before it ends.
    if (const int exitAfter = qEnvironmentVariableIntValue("BRISAMAIL_EXIT_WHEN_SHOWN");
        exitAfter > 0)
        QTimer::singleShot(exitAfter == 1 ? 0 : exitAfter, &app, [] { QCoreApplication::exit(0); });
    return QApplication::exec();
}
