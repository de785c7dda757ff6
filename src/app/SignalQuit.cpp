#include "SignalQuit.h"

#include "platform/Logging.h"

#include <QSocketNotifier>
#include <cerrno>
#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace talvex {
namespace {

// The write end for the handler; a plain int is all an async-signal-safe handler may touch.
volatile std::sig_atomic_t s_writeEnd = -1;

void onSignal(int signalNumber)
{
    const int saved = errno;
    const char byte = static_cast<char>(signalNumber);
    // A full socket means a quit is already pending; dropping this one loses nothing.
    [[maybe_unused]] const ssize_t written = ::write(s_writeEnd, &byte, 1);
    errno = saved;
}

} // namespace

SignalQuit::SignalQuit(QObject *parent) : QObject(parent)
{
    if (s_writeEnd != -1 ||
        ::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0, m_sockets) != 0) {
        qCWarning(lcApp) << "SIGINT and SIGTERM cannot end Talvex cleanly: no socket pair";
        return;
    }
    s_writeEnd = m_sockets[0];
    m_notifier = std::make_unique<QSocketNotifier>(m_sockets[1], QSocketNotifier::Read);
    connect(m_notifier.get(), &QSocketNotifier::activated, this, &SignalQuit::readSignal);

    struct sigaction action {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    m_installed = ::sigaction(SIGINT, &action, &m_previousInt) == 0 &&
                  ::sigaction(SIGTERM, &action, &m_previousTerm) == 0;
}

SignalQuit::~SignalQuit()
{
    if (m_sockets[0] == -1)
        return;
    restorePreviousHandlers();
    s_writeEnd = -1;
    m_notifier.reset();
    ::close(m_sockets[0]);
    ::close(m_sockets[1]);
}

void SignalQuit::readSignal()
{
    char byte = 0;
    while (::read(m_sockets[1], &byte, 1) == 1) {
        // A second Ctrl+C while shutting down should act at once, as it would without us.
        restorePreviousHandlers();
        emit received(static_cast<unsigned char>(byte));
    }
}

void SignalQuit::restorePreviousHandlers()
{
    if (!m_installed)
        return;
    ::sigaction(SIGINT, &m_previousInt, nullptr);
    ::sigaction(SIGTERM, &m_previousTerm, nullptr);
    m_installed = false;
}

} // namespace talvex
