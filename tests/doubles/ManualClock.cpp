#include "ManualClock.h"

#include <QTimer>

#include <algorithm>

namespace talvex::test {

class ManualSleep {
public:
    ManualSleep(ManualClock &clock, double seconds, CancellationToken token)
        : m_clock(clock), m_deadline(clock.m_now + seconds), m_token(std::move(token)) {}

    bool await_ready() const { return m_token.isCancelled(); }

    void await_suspend(std::coroutine_handle<> handle)
    {
        auto &sleepers = m_clock.m_sleepers;
        auto it = sleepers.insert(sleepers.end(), {m_deadline, handle, &m_elapsed, m_token, -1});
        ManualClock *clock = &m_clock;
        it->callback = m_token.onCancel([clock, it, handle] {
            clock->m_sleepers.erase(it);
            // Like the real clock: resume later, never from inside cancel().
            QTimer::singleShot(0, [handle] { handle.resume(); });
        });
    }

    bool await_resume() const { return m_elapsed; }

private:
    ManualClock &m_clock;
    double m_deadline;
    CancellationToken m_token;
    bool m_elapsed = false;
};

QCoro::Task<bool> ManualClock::sleep(double seconds, CancellationToken token)
{
    m_requests.push_back(seconds);
    co_return co_await ManualSleep(*this, seconds, std::move(token));
}

void ManualClock::advance(double seconds)
{
    const double target = m_now + seconds;
    for (;;) {
        auto next = std::min_element(m_sleepers.begin(), m_sleepers.end(),
                                     [](const Sleeper &a, const Sleeper &b) { return a.deadline < b.deadline; });
        if (next == m_sleepers.end() || next->deadline > target + 1e-12)
            break;
        Sleeper sleeper = *next;
        m_sleepers.erase(next);
        m_now = std::max(m_now, sleeper.deadline);
        sleeper.token.removeCallback(sleeper.callback);
        *sleeper.elapsed = true;
        sleeper.handle.resume();
    }
    m_now = target;
}

} // namespace talvex::test
