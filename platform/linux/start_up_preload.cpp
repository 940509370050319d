#include "platform/linux/start_up_preload.h"

#include "platform/picture_file.h"

#include <QDBusConnection>

#include <dlfcn.h>

#include <system_error>

namespace brisa {

namespace {

// Qt's font database starts by reading fontconfig's configuration, which
// costs more than anything else before the first text. fontconfig keeps
// one configuration per process and sets it up safely from any thread, so
// reading it here leaves Qt only the finished configuration to take.
// Looked up rather than linked: Qt builds without fontconfig have none.
void ReadFontConfiguration() {
    using Init = int (*)();
    if (auto init = reinterpret_cast<Init>(dlsym(RTLD_DEFAULT, "FcInit"))) init();
}

} // namespace

StartUpPreload::StartUpPreload() {
    try {
        m_Fonts = std::thread(ReadFontConfiguration);
    } catch (const std::system_error&) {
        // Qt reads the configuration with the first text.
    }
}

StartUpPreload::~StartUpPreload() {
    WaitForFonts();
    WaitForPictures();
}

void StartUpPreload::Begin(std::vector<std::string> pPictures) {
    if (m_Early.joinable()) return;
    try {
        m_Early = std::thread([this, pictures = std::move(pPictures)] {
            // The first call connects; the one that claims the name finds
            // the connection made.
            QDBusConnection::sessionBus();
            for (const std::string& path : pictures) {
                QImage picture = ReadPictureFile(path);
                if (!picture.isNull()) m_Pictures[path] = std::move(picture);
            }
        });
    } catch (const std::system_error&) {
        // The bus is connected where the name is claimed; the pictures are
        // read where they are shown.
    }
}

void StartUpPreload::WaitForFonts() {
    if (m_Fonts.joinable()) m_Fonts.join();
}

void StartUpPreload::WaitForPictures() {
    if (m_Early.joinable()) m_Early.join();
}

QImage StartUpPreload::Take(const std::string& pPath) {
    WaitForPictures();
    const auto found = m_Pictures.find(pPath);
    if (found == m_Pictures.end()) return {};
    QImage picture = std::move(found->second);
    m_Pictures.erase(found);
    return picture;
}

} // namespace brisa
