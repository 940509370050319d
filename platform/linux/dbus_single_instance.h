// One copy per session: a lock file beside the settings, always, and the
// D-Bus name com.brisamail.BrisaMail when a session bus answers. So a copy
// on the bus and one without a bus cannot run on the same settings. The
// object /Brisa offers the automation interface com.brisamail.Brisa to
// other programs:
//   DoReply(s pTo, s pCc, s pSubject, i pHwnd)
//   ShowImmediately(i pHwnd)
// (pHwnd 0: only fill in the fields; any other value: bring the window up).
// Beside it, the object /com/brisamail/BrisaMail offers the desktop's own
// interface org.freedesktop.Application, through which a desktop entry with
// DBusActivatable=true starts and activates the program (choosing it in the
// menu while it runs brings its window up):
//   Activate(a{sv} platform_data)
//   Open(as uris, a{sv} platform_data)
//   ActivateAction(s action, av parameter, a{sv} platform_data)
// Each brings the window up, using the "activation-token" (Wayland) or
// "desktop-startup-id" (X11) of the platform data to take the focus.
// A second copy hands nothing to the first: it only learns that it must end.
#pragma once

#include "platform/single_instance.h"

#include <QObject>
#include <QString>
#include <QStringList>
#include <QVariantMap>

namespace brisa {

inline constexpr const char* kDBusService = "com.brisamail.BrisaMail";
inline constexpr const char* kDBusPath = "/Brisa";
inline constexpr const char* kDBusInterface = "com.brisamail.Brisa";
inline constexpr const char* kDBusApplicationPath = "/com/brisamail/BrisaMail";
inline constexpr const char* kDBusApplicationInterface = "org.freedesktop.Application";

class BrisaDBusObject : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "com.brisamail.Brisa")
public:
    explicit BrisaDBusObject(QObject* parent = nullptr) : QObject(parent) {}
    IAutomationTarget* target = nullptr;

public Q_SLOTS:
    void DoReply(const QString& pTo, const QString& pCc, const QString& pSubject, int pHwnd);
    void ShowImmediately(int pHwnd);
};

class DesktopApplicationObject : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Application")
public:
    explicit DesktopApplicationObject(QObject* parent = nullptr) : QObject(parent) {}
    IAutomationTarget* target = nullptr;
    // The token the platform data carries, empty when there is none.
    static QString Token(const QVariantMap& pPlatformData);

public Q_SLOTS:
    void Activate(const QVariantMap& platform_data);
    void Open(const QStringList& uris, const QVariantMap& platform_data);
    void ActivateAction(const QString& action_name, const QVariantList& parameter,
                        const QVariantMap& platform_data);
};

class DBusSingleInstance : public ISingleInstance {
public:
    // pConnection: the name of an open QDBusConnection to use instead of the
    // session bus (tests run two copies in one process this way).
    explicit DBusSingleInstance(QString pConnection = {});
    ~DBusSingleInstance() override;
    bool Claim() override;
    void SetTarget(IAutomationTarget* pTarget) override;
    // The lock file: brisamail.lock in the settings folder.
    static QString LockPath();

private:
    bool ClaimLockFile();
    QString m_Connection;
    BrisaDBusObject m_Object;
    DesktopApplicationObject m_Application;
    int m_LockFd = -1;
    bool m_OnBus = false;
};

} // namespace brisa
