#include "app/composition.h"

#include "platform/linux/alsa_wave_backend.h"
#include "platform/program_folder.h"
#include "sending/sender_process.h"

#include <QCoreApplication>
#include <QEvent>

namespace brisa {

Program::Program(const std::string& pCommandLine)
    : registry(FileRegistry::DefaultPath()),
      mci([] { return std::make_unique<AlsaWaveBackend>(); }),
      houseAds(&shell),
      services(Wire()),
      beforeWindow(preload),
      window(services, pCommandLine),
      quitWatch(*this) {}

Program::~Program() {
    if (QCoreApplication* app = QCoreApplication::instance()) app->removeEventFilter(&quitWatch);
}

bool Program::QuitWatch::eventFilter(QObject* pWatched, QEvent* pEvent) {
    if (pEvent->type() == QEvent::Quit && pWatched == QCoreApplication::instance()) program.window.EndSession();
    return false;
}

Services Program::Wire() {
    Services s;
    s.registry = &registry;
    s.autostart = &autostart;
    s.system = &system;
    s.messageBox = &messageBox;
    s.shell = &shell;
    s.sound = &sound;
    s.mci = &mci;
    s.mixer = &mixer;
    s.tray = &tray;
    s.instance = &instance;
    s.modal = &modal;
    s.contacts = &contacts;
    s.drives = &drives;
    s.ads = &houseAds;
    s.preloaded = &preload;
    s.newSender = [] { return std::make_unique<SenderProcess>(); };
    return s;
}

Program::BeforeWindow::BeforeWindow(StartUpPreload& pPreload) {
    pPreload.Begin({ProgramPath(frmMM::kSkinFile)});
    // Qt would read the configuration itself, a second time beside the
    // helper, if the first text came before the helper is done.
    pPreload.WaitForFonts();
}

bool Program::Start() {
    sessionSignals = std::make_unique<SessionSignals>();
    QObject::connect(sessionSignals.get(), &SessionSignals::sessionEnding, &window,
                     [this] { window.EndSession(); });
    // The session manager ends the session by asking the application to
    // quit; the window would only hide to the tray, so it is taken down
    // first. Leaving the event loop in any other way does the same.
    QCoreApplication::instance()->installEventFilter(&quitWatch);
    QObject::connect(QCoreApplication::instance(), &QCoreApplication::aboutToQuit, &window,
                     [this] { window.EndSession(); });
    window.Form_Load();
    return !window.IsSecondCopy() && !window.IsUnloaded();
}

std::string CommandLine(int argc, char** argv) {
    std::string line;
    for (int i = 1; i < argc; ++i) {
        if (i > 1) line += ' ';
        line += argv[i];
    }
    return line;
}

} // namespace brisa
