// Start-up work that need not wait its turn, done on helper threads while
// the main thread builds the application object and the main window:
// reading the desktop's font configuration (the window's first text would
// wait for it), connecting to the session bus, and decoding the window's
// pictures. Nothing here writes a file, touches a setting or takes a name
// on the bus; whatever start-up does not take is dropped.
#pragma once

#include "platform/preloaded_pictures.h"

#include <map>
#include <string>
#include <thread>
#include <vector>

namespace brisa {

class StartUpPreload final : public IPreloadedPictures {
public:
    // Begins reading the font configuration at once; it needs no
    // application object, so the program creates this first of all.
    StartUpPreload();
    ~StartUpPreload() override;
    StartUpPreload(const StartUpPreload&) = delete;
    StartUpPreload& operator=(const StartUpPreload&) = delete;

    // Once the application object exists: connects to the session bus and
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
