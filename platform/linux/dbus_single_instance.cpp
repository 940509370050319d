#include "platform/linux/dbus_single_instance.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusInterface>
#include <QDir>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace brisa {

void BrisaDBusObject::DoReply(const QString& pTo, const QString& pCc, const QString& pSubject,
                              int pHwnd) {
    if (target) target->DoReply(pTo.toStdString(), pCc.toStdString(), pSubject.toStdString(), pHwnd);
}

void BrisaDBusObject::ShowImmediately(int pHwnd) {
    if (target) target->ShowImmediately(pHwnd);
}

DBusSingleInstance::DBusSingleInstance() = default;

DBusSingleInstance::~DBusSingleInstance() {
    if (m_OnBus) {
        QDBusConnection bus = QDBusConnection::sessionBus();
        bus.unregisterObject(kDBusPath);
        bus.unregisterService(kDBusService);
    }
    if (m_LockFd >= 0) ::close(m_LockFd);
}

QString DBusSingleInstance::LockPath() {
    QString folder = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (folder.isEmpty() || !QDir(folder).exists()) folder = QDir::tempPath();
    return folder + QString("/brisamail-%1.lock").arg(::getuid());
}

bool DBusSingleInstance::ClaimLockFile() {
    const QByteArray path = QFile::encodeName(LockPath());
    m_LockFd = ::open(path.constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (m_LockFd < 0) return true; // nowhere to lock: let this copy run
    if (::flock(m_LockFd, LOCK_EX | LOCK_NB) != 0) {
        ::close(m_LockFd);
        m_LockFd = -1;
        return false;
    }
    return true;
}

bool DBusSingleInstance::Claim() {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) return ClaimLockFile();
    auto* control = bus.interface();
    const auto reply = control->registerService(kDBusService, QDBusConnectionInterface::DontQueueService,
                                                QDBusConnectionInterface::DontAllowReplacement);
    if (!reply.isValid() || reply.value() != QDBusConnectionInterface::ServiceRegistered) {
        // Another copy owns the name: ask it to come to the front.
        QDBusInterface running(kDBusService, kDBusPath, kDBusInterface, bus);
        running.setTimeout(3000);
        running.call(QDBus::Block, "ShowImmediately", 1);
        return false;
    }
    m_OnBus = true;
    bus.registerObject(kDBusPath, &m_Object, QDBusConnection::ExportAllSlots);
    return true;
}

void DBusSingleInstance::SetTarget(IAutomationTarget* pTarget) { m_Object.target = pTarget; }

} // namespace brisa
