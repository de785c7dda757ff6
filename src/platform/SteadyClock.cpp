#include "SteadyClock.h"

#include <QPointer>
#include <QTimer>

#include <cmath>
#include <coroutine>
#include <ctime>
#include <memory>

namespace talvex {

namespace {

// Resumes the sleeping coroutine from the timer or, posted, from a cancellation.
class TimerAwaiter {
public:
    TimerAwaiter(double seconds, CancellationToken token) : m_seconds(seconds), m_token(std::move(token)) {}

    bool await_ready() const { return m_token.isCancelled(); }

    void await_suspend(std::coroutine_handle<> handle)
    {
        m_timer = std::make_unique<QTimer>();
        m_timer->setSingleShot(true);
        m_timer->setTimerType(Qt::PreciseTimer);
        QObject::connect(m_timer.get(), &QTimer::timeout, [this, handle] {
            m_token.removeCallback(m_callback);
            m_elapsed = true;
            handle.resume();
        });
        m_callback = m_token.onCancel([this, handle] {
            m_timer->stop();
            QTimer::singleShot(0, [handle] { handle.resume(); });
        });
        const double ms = std::max(0.0, std::ceil(m_seconds * 1000.0));
        m_timer->start(static_cast<int>(std::min(ms, 2.0e9)));
    }

    bool await_resume() const { return m_elapsed; }

private:
    double m_seconds;
    CancellationToken m_token;
    std::unique_ptr<QTimer> m_timer;
    int m_callback = -1;
    bool m_elapsed = false;
};

} // namespace

double SteadyClock::monotonicSeconds()
{
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

double SteadyClock::now() const { return monotonicSeconds(); }

QCoro::Task<bool> SteadyClock::sleep(double seconds, CancellationToken token)
{
    co_return co_await TimerAwaiter(seconds, std::move(token));
}

} // namespace talvex
