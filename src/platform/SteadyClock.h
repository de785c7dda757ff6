#pragma once

#include "Clock.h"

namespace talvex {

/// Clock on CLOCK_MONOTONIC with Qt timers for sleeps; needs a running Qt event loop.
class SteadyClock final : public Clock {
public:
    double now() const override;
    QCoro::Task<bool> sleep(double seconds, CancellationToken token = {}) override;

    /// CLOCK_MONOTONIC in seconds, for code that has no Clock at hand (the audio thread).
    static double monotonicSeconds();
};

} // namespace talvex
