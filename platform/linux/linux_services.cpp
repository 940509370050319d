#include "platform/linux/linux_services.h"

#include "platform/icons.h"

#include <QApplication>
#include <QDateTime>
#include <QDesktopServices>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QRegularExpression>
#include <QSaveFile>
#include <QScreen>
#include <QStyleHints>
#include <QSystemTrayIcon>
#include <QTimer>
#include <QUrl>
#include <QWidget>
#include <QWindow>
#include <QMenu>

#include <cstdlib>
#include <ctime>
#include <pwd.h>
#include <unistd.h>

namespace brisa {

// ---- system information ----------------------------------------------------

uint16_t LinuxSystemInfo::SystemLanguageId() {
    for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        const char* value = std::getenv(name);
        if (value && *value) return LanguageIdFromLocale(value);
    }
    return 0x0409;
}

namespace {
QScreen* Screen() { return QGuiApplication::primaryScreen(); }
} // namespace

int LinuxSystemInfo::BitsPerPixel() { return Screen() ? Screen()->depth() : 24; }

int LinuxSystemInfo::LogPixelsX() {
    return Screen() ? qRound(Screen()->logicalDotsPerInchX()) : 96;
}

int LinuxSystemInfo::LogPixelsY() {
    return Screen() ? qRound(Screen()->logicalDotsPerInchY()) : 96;
}

int LinuxSystemInfo::CaretBlinkTime() {
    // Qt gives the full on-off cycle; the caret blink time is one half of it.
    const int cycle = QGuiApplication::styleHints()->cursorFlashTime();
    return cycle <= 0 ? 0 : cycle / 2;
}

int LinuxSystemInfo::ScreenWidth() { return Screen() ? Screen()->geometry().width() : 1024; }

int LinuxSystemInfo::ScreenHeight() { return Screen() ? Screen()->geometry().height() : 768; }

bool LinuxSystemInfo::UserName(std::string& pName) {
    if (const passwd* entry = ::getpwuid(::geteuid()); entry && entry->pw_name && *entry->pw_name) {
        pName = entry->pw_name;
        return true;
    }
    return false;
}

bool LinuxSystemInfo::TimeZoneBias(int& pBias) {
    ::tzset();
    // timezone: seconds west of UTC of local standard time.
    pBias = static_cast<int>(::timezone / 60);
    return true;
}

// ---- message box -------------------------------------------------------------

int QtMessageBox::Show(const std::string& pText, const std::string& pTitle, int pStyle) {
    QMessageBox box(QApplication::activeWindow());
    box.setWindowTitle(QString::fromStdString(pTitle));
    box.setText(QString::fromStdString(pText));
    switch (pStyle & 0x70) {
    case vbCritical: box.setIcon(QMessageBox::Critical); break;
    case vbQuestion: box.setIcon(QMessageBox::Question); break;
    case vbExclamation: box.setIcon(QMessageBox::Warning); break;
    case vbInformation: box.setIcon(QMessageBox::Information); break;
    default: box.setIcon(QMessageBox::NoIcon); break;
    }
    switch (pStyle & 0x0F) {
    case vbOKCancel:
        box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel);
        break;
    case vbYesNo:
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        break;
    default:
        box.setStandardButtons(QMessageBox::Ok);
        break;
    }
    switch (box.exec()) {
    case QMessageBox::Cancel: return vbCancel;
    case QMessageBox::Yes: return vbYes;
    case QMessageBox::No: return vbNo;
    default: return vbOK;
    }
}

// ---- shell -------------------------------------------------------------------

void DesktopShell::Open(const std::string& pTarget, const std::string& pFolder) {
    if (pTarget.empty()) return;
    const QString target = QString::fromStdString(pTarget);
    // A scheme is a name and a colon; "host:8080" is a web address with a port.
    static const QRegularExpression scheme("^[A-Za-z][A-Za-z0-9+.-]*:(?![0-9])");
    QUrl url;
    if (target.startsWith('/')) {
        url = QUrl::fromLocalFile(target);
    } else if (scheme.match(target).hasMatch()) {
        url = QUrl(target);
    } else {
        // No scheme: a file of the working folder when one is there,
        // otherwise a web address ("www.example.com"), as the desktop's
        // shell takes it.
        const QFileInfo file(QDir(QString::fromStdString(pFolder)), target);
        url = file.exists() ? QUrl::fromLocalFile(file.absoluteFilePath()) : QUrl("http://" + target);
    }
    if (url.isValid()) QDesktopServices::openUrl(url);
}

// ---- modal windows -----------------------------------------------------------

void EventLoopModalRunner::ShowModal(QWidget* pWindow, QWidget* pOwner) {
    if (!pWindow) return;
    QPointer<QWidget> window(pWindow);
    // Modal to the owner's window, not to the whole program: the tray icon
    // must still offer its menu meanwhile.
    QWindow* owner = pOwner ? pOwner->window()->windowHandle() : nullptr;
    if (owner) {
        pWindow->setWindowModality(Qt::WindowModal);
        pWindow->winId();
        if (QWindow* handle = pWindow->windowHandle()) handle->setTransientParent(owner);
    } else {
        pWindow->setWindowModality(Qt::ApplicationModal);
    }
    pWindow->show();
    pWindow->raise();
    pWindow->activateWindow();
    QEventLoop loop;
    // Leave the loop once the window has hidden itself or is gone.
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        if (!window || !window->isVisible()) loop.quit();
    });
    poll.start(20);
    loop.exec();
}

// ---- autostart ---------------------------------------------------------------

std::string XdgAutostart::EntryPath() {
    QString config = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (config.isEmpty()) config = QDir::homePath() + "/.config";
    return (config + "/autostart/brisamail.desktop").toStdString();
}

void XdgAutostart::SetCommand(const std::string& pCommand) {
    const QString path = QString::fromStdString(EntryPath());
    if (pCommand.empty()) {
        QFile::remove(path);
        return;
    }
    // The command is the program's path, a blank and its argument; the path
    // is quoted for the Exec key so folders with blanks survive.
    std::string program = pCommand, argument;
    if (const auto blank = pCommand.rfind(' ');
        blank != std::string::npos && pCommand.find('/') == 0 && pCommand.find('/', blank) == std::string::npos) {
        program = pCommand.substr(0, blank);
        argument = pCommand.substr(blank);
    }
    std::string exec = "\"";
    for (char c : program) {
        if (c == '"' || c == '`' || c == '$' || c == '\\') exec += '\\';
        exec += c;
    }
    exec += "\"" + argument;
    QDir().mkpath(QFileInfo(path).absolutePath());
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) return;
    const QByteArray entry = "[Desktop Entry]\n"
                             "Type=Application\n"
                             "Name=BrisaMail\n"
                             "Comment=Record and send voice messages\n"
                             "Exec=" + QByteArray::fromStdString(exec) + "\n"
                             "Icon=brisamail\n"
                             "Terminal=false\n"
                             "X-GNOME-Autostart-enabled=true\n";
    file.write(entry);
    file.commit();
}

// ---- tray icon ---------------------------------------------------------------

QtTrayIcon::QtTrayIcon() = default;
QtTrayIcon::~QtTrayIcon() = default;

bool QtTrayIcon::Available() { return QSystemTrayIcon::isSystemTrayAvailable(); }

bool QtTrayIcon::Add(const std::string& pIconName, const std::string& pTip) {
    if (!m_Icon) {
        m_Icon = std::make_unique<QSystemTrayIcon>();
        QObject::connect(m_Icon.get(), &QSystemTrayIcon::activated,
                         [this](QSystemTrayIcon::ActivationReason reason) { Activated(reason); });
    }
    m_Icon->setIcon(ProgramIcon(pIconName));
    m_Icon->setToolTip(QString::fromStdString(pTip));
    if (m_Menu) m_Icon->setContextMenu(m_Menu);
    m_Icon->show();
    return Available();
}

void QtTrayIcon::Activated(int pReason) {
    if (!m_Callback) return;
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    switch (pReason) {
    case QSystemTrayIcon::Trigger:
        m_LastClick = now;
        m_Callback(WM_LBUTTONDBLCLK);
        break;
    case QSystemTrayIcon::DoubleClick:
        // The click that began this double click was reported already.
        if (m_LastClick >= 0 && now - m_LastClick <= QApplication::doubleClickInterval() + 100) {
            m_LastClick = -1;
            break;
        }
        m_Callback(WM_LBUTTONDBLCLK);
        break;
    case QSystemTrayIcon::Context:
        // With a menu of its own the icon reports the right click as the
        // menu is about to show (see SetMenu).
        if (!m_Menu) m_Callback(WM_RBUTTONDOWN);
        break;
    default:
        break;
    }
}

bool QtTrayIcon::IconRect(TrayRect& pRect) {
    if (!m_Icon) return false;
    const QRect r = m_Icon->geometry();
    if (!r.isValid() || r.isEmpty()) return false;
    pRect = TrayRect{r.x(), r.y(), r.width(), r.height()};
    return true;
}

QString QtTrayIcon::Tip() const { return m_Icon ? m_Icon->toolTip() : QString(); }

bool QtTrayIcon::Modify(const std::string& pIconName) {
    if (!m_Icon) return false;
    m_Icon->setIcon(ProgramIcon(pIconName));
    return true;
}

void QtTrayIcon::Remove() {
    if (m_Icon) m_Icon->hide();
    m_Icon.reset();
}

bool QtTrayIcon::SetMenu(QMenu* pMenu) {
    QObject::disconnect(m_MenuShows);
    m_Menu = pMenu;
    if (m_Icon) m_Icon->setContextMenu(pMenu);
    if (!pMenu) return false;
    m_MenuShows = QObject::connect(pMenu, &QMenu::aboutToShow, pMenu, [this] {
        if (m_Callback) m_Callback(WM_RBUTTONDOWN);
    });
    return true;
}

void QtTrayIcon::SetCallback(std::function<void(int)> pCallback) { m_Callback = std::move(pCallback); }

} // namespace brisa
