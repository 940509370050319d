#include "platform/linux/display_check.h"

#include <QByteArray>
#include <QByteArrayList>
#include <QtGlobal>

#include <cstdio>
#include <cstdlib>

namespace brisa {
namespace {

void SayNoDisplay() {
    std::fputs("brisamail: no display found; start BrisaMail from a desktop session "
               "(for a headless check: QT_QPA_PLATFORM=offscreen brisamail)\n",
               stderr);
}

QtMessageHandler gPreviousHandler = nullptr;

// Qt's account of a display it cannot open (a warning, a note, then a fatal
// message) becomes the one line above.
void FatalToOneLine(QtMsgType pType, const QMessageLogContext& pContext, const QString& pText) {
    if (pType == QtFatalMsg && pText.contains(QLatin1String("no Qt platform plugin could be initialized"))) {
        SayNoDisplay();
        std::_Exit(1);
    }
    if (pText.contains(QLatin1String("could not connect to display")) ||
        pText.contains(QLatin1String("Could not load the Qt platform plugin")))
        return;
    if (gPreviousHandler) gPreviousHandler(pType, pContext, pText);
}

// Whether the platform plugins Qt will try need a display server: xcb and
// wayland do; offscreen, minimal, vnc, eglfs and the like do not.
bool NeedsDisplayServer(const QByteArray& pPlatforms) {
    if (pPlatforms.isEmpty()) return true;
    for (const QByteArray& entry : pPlatforms.split(';')) {
        const QByteArray name = entry.split(':').first().trimmed();
        if (name.isEmpty()) continue;
        if (name != "xcb" && !name.startsWith("wayland")) return false;
    }
    return true;
}

} // namespace

bool CheckDisplay(int pArgc, char** pArgv) {
    QByteArray platforms = qgetenv("QT_QPA_PLATFORM");
    for (int i = 1; i + 1 < pArgc; ++i)
        if (qstrcmp(pArgv[i], "-platform") == 0 || qstrcmp(pArgv[i], "--platform") == 0) platforms = pArgv[i + 1];
    if (NeedsDisplayServer(platforms) && qEnvironmentVariableIsEmpty("DISPLAY") &&
        qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY")) {
        SayNoDisplay();
        return false;
    }
    gPreviousHandler = qInstallMessageHandler(FatalToOneLine);
    return true;
}

} // namespace brisa
