#include "platform/linux/dbus_single_instance.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
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

namespace {
QDBusConnection Bus(const QString& pName) {
    return pName.isEmpty() ? QDBusConnection::sessionBus() : QDBusConnection(pName);
}
} // namespace

DBusSingleInstance::DBusSingleInstance(QString pConnection) : m_Connection(std::move(pConnection)) {}

DBusSingleInstance::~DBusSingleInstance() {
    if (m_OnBus) {
        QDBusConnection bus = Bus(m_Connection);
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
    QDBusConnection bus = Bus(m_Connection);
    if (!bus.isConnected()) return ClaimLockFile();
    // The object is in place before the name is taken, so a call that comes
    // as soon as the name is visible finds it.
    const bool exported = bus.registerObject(kDBusPath, &m_Object, QDBusConnection::ExportAllSlots);
    const auto reply = bus.interface()->registerService(
        kDBusService, QDBusConnectionInterface::DontQueueService,
        QDBusConnectionInterface::DontAllowReplacement);
    if (!reply.isValid()) {
        // The bus would not answer: the lock file decides instead.
        if (exported) bus.unregisterObject(kDBusPath);
        return ClaimLockFile();
    }
    if (reply.value() != QDBusConnectionInterface::ServiceRegistered) {
        if (exported) bus.unregisterObject(kDBusPath);
        // Another copy owns the name: ask it to come to the front, waiting a
        // few seconds at most for its answer (a plain call, no introspection).
        QDBusMessage call =
            QDBusMessage::createMethodCall(kDBusService, kDBusPath, kDBusInterface, "ShowImmediately");
        call << 1;
        bus.call(call, QDBus::BlockWithGui, 3000);
        return false;
    }
    m_OnBus = true;
    return true;
}

void DBusSingleInstance::SetTarget(IAutomationTarget* pTarget) { m_Object.target = pTarget; }

} // namespace brisa
