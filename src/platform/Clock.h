#pragma once

#include "CancellationToken.h"

#include <QCoro/QCoroTask>

namespace talvex {

/// The one source of time for the logic, so tests can drive the watchdog, chord delay and paste waits.
class Clock {
public:
    virtual ~Clock() = default;

    /// Seconds on the monotonic host clock (CLOCK_MONOTONIC); the same clock as audio buffer times.
    virtual double now() const = 0;

    /// Resumes on the calling (main) thread after `seconds`, or soon after `token` is cancelled,
    /// never from inside cancel() itself. Yields true when the full time elapsed, false when cancelled.
    virtual QCoro::Task<bool> sleep(double seconds, CancellationToken token = {}) = 0;
};

} // namespace talvex
