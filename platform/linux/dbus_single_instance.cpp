#include "platform/linux/dbus_single_instance.h"

#include "platform/file_registry.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDir>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
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

QString DesktopApplicationObject::Token(const QVariantMap& pPlatformData) {
    for (const char* key : {"activation-token", "desktop-startup-id"}) {
        const QString token = pPlatformData.value(QLatin1String(key)).toString();
        if (!token.isEmpty()) return token;
    }
    return {};
}

void DesktopApplicationObject::Activate(const QVariantMap& platform_data) {
    if (target) target->Activate(Token(platform_data).toStdString());
}

// The program opens no documents and offers no actions of its own: both
// bring it up like Activate.
void DesktopApplicationObject::Open(const QStringList&, const QVariantMap& platform_data) {
    Activate(platform_data);
}

void DesktopApplicationObject::ActivateAction(const QString&, const QVariantList&,
                                              const QVariantMap& platform_data) {
    Activate(platform_data);
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
        bus.unregisterObject(kDBusApplicationPath);
        bus.unregisterService(kDBusService);
    }
    if (m_LockFd >= 0) ::close(m_LockFd);
}

QString DBusSingleInstance::LockPath() {
    const QString settings = QString::fromStdString(FileRegistry::DefaultPath());
    return settings.left(settings.lastIndexOf('/')) + "/brisamail.lock";
}

bool DBusSingleInstance::ClaimLockFile() {
    const QString lock = LockPath();
    const QByteArray folder = QFile::encodeName(lock.left(lock.lastIndexOf('/')));
    if (::mkdir(folder.constData(), 0700) != 0 && errno == ENOENT) {
        QDir().mkpath(QFile::decodeName(folder));
        ::chmod(folder.constData(), 0700);
    }
    const QByteArray path = QFile::encodeName(lock);
    m_LockFd = ::open(path.constData(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (m_LockFd < 0) return true; // nowhere to lock: let this copy run
    if (::flock(m_LockFd, LOCK_EX | LOCK_NB) != 0) {
        ::close(m_LockFd);
        m_LockFd = -1;
        return false;
    }
    return true;
}

bool DBusSingleInstance::Claim() {
    if (!ClaimLockFile()) return false;
    QDBusConnection bus = Bus(m_Connection);
    // Without a bus the lock alone decides.
    if (!bus.isConnected()) return true;
    // The object is in place before the name is taken, so a call that comes
    // as soon as the name is visible finds it.
    const bool exported = bus.registerObject(kDBusPath, &m_Object, QDBusConnection::ExportAllSlots);
    const bool application =
        bus.registerObject(kDBusApplicationPath, &m_Application, QDBusConnection::ExportAllSlots);
    auto unexport = [&] {
        if (exported) bus.unregisterObject(kDBusPath);
        if (application) bus.unregisterObject(kDBusApplicationPath);
    };
    const auto reply = bus.interface()->registerService(
        kDBusService, QDBusConnectionInterface::DontQueueService,
        QDBusConnectionInterface::DontAllowReplacement);
    if (!reply.isValid()) {
        // The bus would not answer: the lock decides alone.
        unexport();
        return true;
    }
    if (reply.value() != QDBusConnectionInterface::ServiceRegistered) {
        // Another copy on other settings owns the name in this session.
        unexport();
        ::close(m_LockFd);
        m_LockFd = -1;
        return false;
    }
    m_OnBus = true;
    return true;
}

void DBusSingleInstance::SetTarget(IAutomationTarget* pTarget) {
    m_Object.target = pTarget;
    m_Application.target = pTarget;
}

} // namespace brisa
