#include "platform/linux/session_signals.h"

#include <QSocketNotifier>

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace brisa {

namespace {
constexpr int kSignals[3] = {SIGTERM, SIGINT, SIGHUP};
// The write end the handler uses; one set of handlers per process.
volatile sig_atomic_t g_WriteEnd = -1;
} // namespace

void SessionSignals::Handler(int pSignal) {
    const int saved = errno;
    const unsigned char number = static_cast<unsigned char>(pSignal);
    if (g_WriteEnd >= 0) {
        const ssize_t written = ::write(g_WriteEnd, &number, 1);
        (void)written; // a full pipe already holds a signal to act on
    }
    errno = saved;
}

SessionSignals::SessionSignals(QObject* pParent) : QObject(pParent) {
    if (::pipe2(m_Pipe, O_CLOEXEC | O_NONBLOCK) != 0) {
        m_Pipe[0] = m_Pipe[1] = -1;
        return;
    }
    g_WriteEnd = m_Pipe[1];
    m_Notifier = new QSocketNotifier(m_Pipe[0], QSocketNotifier::Read, this);
    connect(m_Notifier, &QSocketNotifier::activated, this, [this] { Read(); });
    struct sigaction action {};
    action.sa_handler = &SessionSignals::Handler;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int i = 0; i < 3; ++i) ::sigaction(kSignals[i], &action, &m_Old[i]);
}

SessionSignals::~SessionSignals() {
    if (m_Pipe[1] < 0) return;
    for (int i = 0; i < 3; ++i) ::sigaction(kSignals[i], &m_Old[i], nullptr);
    g_WriteEnd = -1;
    ::close(m_Pipe[0]);
    ::close(m_Pipe[1]);
}

void SessionSignals::Read() {
    unsigned char numbers[16];
    const ssize_t n = ::read(m_Pipe[0], numbers, sizeof numbers);
    for (ssize_t i = 0; i < n; ++i) Q_EMIT sessionEnding(numbers[i]);
}

} // namespace brisa
