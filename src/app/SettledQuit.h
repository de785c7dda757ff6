#pragma once

#include <QObject>
#include <QTimer>
#include <chrono>
#include <functional>

namespace talvex {

/// Ends the application without cutting a delivery short: a paste in flight holds modifier keys
/// down and the user's clipboard aside, and gives both back only when it completes. A quit request
/// therefore waits while `busy` says so, up to a limit, and then quits.
class SettledQuit final : public QObject {
    Q_OBJECT
  public:
    /// `busy` tells whether quitting now would cut work short; `quit` ends the application.
    SettledQuit(std::function<bool()> busy, std::function<void()> quit, std::chrono::milliseconds limit,
                QObject *parent = nullptr);

    /// Quits at once when not busy, else as soon as a recheck finds it idle, or when the limit has
    /// passed. Quits once, however often it is asked.
    void request();
    /// Asks `busy` again; connect the change signal of whatever it reads to this.
    void recheck();

    /// A request waits for the work to settle.
    bool isWaiting() const { return m_waiting; }

  private:
    void finish();

    std::function<bool()> m_busy;
    std::function<void()> m_quit;
    QTimer m_limit;
    bool m_waiting = false;
    bool m_done = false;
};

} // namespace talvex
