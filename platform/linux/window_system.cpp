#include "platform/window_system.h"

#include <QGuiApplication>
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
    if (IsWayland()) {
        // The compositor takes the token with the next activation request.
        if (!pToken.isEmpty()) qputenv("XDG_ACTIVATION_TOKEN", pToken.toUtf8());
        // A client can neither restore its minimised window nor learn that
        // it is minimised: the window is shown anew, which every compositor
        // puts in front.
        if (pWindow->isVisible()) pWindow->hide();
    }
    pWindow->showNormal();
    pWindow->raise();
    pWindow->activateWindow();
}

} // namespace brisa
