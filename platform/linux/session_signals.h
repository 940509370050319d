// The end of the desktop session as the system reports it to a process:
// SIGTERM (log-out, shutdown, kill), SIGINT (Ctrl+C in a terminal) and SIGHUP
// (the terminal went away). The handler only writes the signal's number into
// a pipe; the event loop reads it and reports sessionEnding(), so the
// take-down runs as ordinary program code, never inside the handler.
#pragma once

#include <QObject>

#include <csignal>
#include <memory>

class QSocketNotifier;

namespace brisa {

class SessionSignals : public QObject {
    Q_OBJECT
public:
    // Takes over the three signals until destroyed, then gives them back.
    explicit SessionSignals(QObject* pParent = nullptr);
    ~SessionSignals() override;

Q_SIGNALS:
    void sessionEnding(int pSignal);

private:
    static void Handler(int pSignal);
    void Read();

    int m_Pipe[2] = {-1, -1};
    QSocketNotifier* m_Notifier = nullptr;
    struct sigaction m_Old[3] = {};
};

} // namespace brisa
