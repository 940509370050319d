// Start-up work that need not wait its turn, done on helper threads while
// the main thread builds the program and its main window: reading the
// desktop's font configuration (the window's first text would wait for it),
// connecting to the session bus, and decoding the window's pictures.
// Nothing here changes the program's files or settings or takes a name on
// the bus; whatever start-up does not take is dropped. Without a thread
// (none could be made) each thing is done where it is needed, as before.
#pragma once

#include "platform/preloaded_pictures.h"

#include <map>
#include <string>
#include <thread>
#include <vector>

namespace brisa {

class StartUpPreload final : public IPreloadedPictures {
public:
    // Begins reading the font configuration at once. Made once the
    // application object exists: Qt changes the environment while it sets
    // itself up, and fontconfig reads it.
    StartUpPreload();
    ~StartUpPreload() override;
    StartUpPreload(const StartUpPreload&) = delete;
    StartUpPreload& operator=(const StartUpPreload&) = delete;

    // Connects to the session bus (the connection is then made on this
    // helper thread, which makes no difference to when calls are taken:
    // they reach the window through the main thread's event loop) and
    // decodes pPictures (paths as ProgramPath gives them; see
    // ReadPictureFile).
    void Begin(std::vector<std::string> pPictures);

    // Returns once the font configuration has been read.
    void WaitForFonts();

    // From the thread that called Begin.
    QImage Take(const std::string& pPath) override;

private:
    void WaitForPictures();

    std::thread m_Fonts;
    std::thread m_Early;
    // Filled by m_Early; read once it has been joined.
    std::map<std::string, QImage> m_Pictures;
};

} // namespace brisa
