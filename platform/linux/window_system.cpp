#include "platform/window_system.h"

#include <QApplication>
#include <QWidget>
#include <QWindow>

namespace brisa {

bool WindowSystem::IsWayland() {
    return QGuiApplication::platformName().startsWith(QLatin1String("wayland"));
}

bool WindowSystem::CompositorMoves() { return IsWayland(); }

bool WindowSystem::StartMove(QWidget* pWindow) {
    if (!pWindow || !IsWayland()) return false;
    QWindow* handle = pWindow->window()->windowHandle();
    return handle && handle->startSystemMove();
}

void WindowSystem::PrepareShaped(QWidget* pWindow) {
    if (!pWindow) return;
    // X11 cuts the window to its mask; elsewhere the corners outside the
    // outline must be left unpainted and see-through.
    if (QGuiApplication::platformName() == QLatin1String("xcb")) return;
    pWindow->setAttribute(Qt::WA_TranslucentBackground);
}

void WindowSystem::BringUp(QWidget* pWindow, const QString& pToken) {
    if (!pWindow) return;
    // An open modal window stays in front of the window it blocks and takes
    // the activation.
    QWidget* modal = QApplication::activeModalWidget();
    if (modal == pWindow) modal = nullptr;
    if (IsWayland()) {
        // The compositor takes the token with the next activation request.
        if (!pToken.isEmpty()) qputenv("XDG_ACTIVATION_TOKEN", pToken.toUtf8());
        // A client can neither restore its minimised window nor learn that
        // it is minimised: the window is shown anew, which every compositor
        // puts in front (not over an open modal window, though).
        if (pWindow->isVisible() && !modal) pWindow->hide();
    }
    pWindow->showNormal();
    pWindow->raise();
    if (modal) modal->raise();
    (modal ? modal : pWindow)->activateWindow();
}

} // namespace brisa
