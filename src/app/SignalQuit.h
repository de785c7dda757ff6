#pragma once

#include <QObject>
#include <csignal>
#include <memory>

class QSocketNotifier;

namespace talvex {

/// Turns SIGINT and SIGTERM into a Qt signal on the main thread: the handler only writes the
/// signal number into a socket pair, and a socket notifier reads it in the event loop, so the
/// application can return from its loop and run every destructor (grabs released, audio stopped).
/// One instance at a time; the previous handlers come back when it goes, or once a signal has
/// arrived, so a second Ctrl+C during a slow shutdown still ends the process.
class SignalQuit final : public QObject {
    Q_OBJECT
  public:
    explicit SignalQuit(QObject *parent = nullptr);
    ~SignalQuit() override;

    /// True while our handlers are in place: false when the socket pair or the handlers could not
    /// be set up, and after the first signal (signals then act as before).
    bool isInstalled() const { return m_installed; }

  signals:
    /// SIGINT or SIGTERM arrived; `signalNumber` says which.
    void received(int signalNumber);

  private:
    void readSignal();
    void restorePreviousHandlers();

    int m_sockets[2] = {-1, -1};
    std::unique_ptr<QSocketNotifier> m_notifier;
    struct sigaction m_previousInt {};
    struct sigaction m_previousTerm {};
    bool m_installed = false;
};

} // namespace talvex
