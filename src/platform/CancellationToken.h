#pragma once

#include <functional>
#include <memory>

namespace talvex {

/// Cooperative cancellation for one asynchronous task. Copies share one state, so the owner keeps a
/// copy to cancel and the task checks its own copy at its cancellation points. Main thread only: the
/// callbacks run on the thread that calls cancel().
class CancellationToken final {
public:
    CancellationToken();

    /// Marks the task cancelled and runs the registered callbacks once. Later calls do nothing.
    void cancel() const;
    bool isCancelled() const;

    /// Runs `callback` at cancellation, or at once when already cancelled. The returned id removes it.
    int onCancel(std::function<void()> callback) const;
    void removeCallback(int id) const;

private:
    struct State;
    std::shared_ptr<State> m_state;
};

} // namespace talvex
