#pragma once

#include "Clock.h"

#include <coroutine>
#include <list>

namespace talvex::test {

/// A clock that moves only when the test says so. Sleepers resume inside advance(), in deadline
/// order, each seeing now() equal to its own deadline.
class ManualClock final : public Clock {
public:
    explicit ManualClock(double start = 1000.0) : m_now(start) {}

    double now() const override { return m_now; }
    QCoro::Task<bool> sleep(double seconds, CancellationToken token = {}) override;

    /// Moves time forward by `seconds`, resuming every sleeper whose deadline is reached.
    void advance(double seconds);
    /// Seconds requested by every sleep call so far, in call order.
    const std::vector<double> &sleepRequests() const { return m_requests; }
    /// Sleepers still waiting.
    std::size_t pendingSleeps() const { return m_sleepers.size(); }

private:
    struct Sleeper {
        double deadline;
        std::coroutine_handle<> handle;
        bool *elapsed;
        CancellationToken token;
        int callback;
    };
    friend class ManualSleep;

    double m_now;
    std::list<Sleeper> m_sleepers;
    std::vector<double> m_requests;
};

} // namespace talvex::test
