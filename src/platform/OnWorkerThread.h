#pragma once

#include <QCoreApplication>
#include <QEvent>
#include <QObject>
#include <QCoro/QCoroTask>
#include <QMetaObject>
#include <atomic>
#include <coroutine>
#include <exception>
#include <functional>
#include <memory>
#include <optional>
#include <thread>
#include <type_traits>

namespace talvex {

namespace detail {

// `done` is stored (release) by the worker after it wrote the result and loaded (acquire) on the
// main thread before reading it: Qt's event queue orders the two as well, but with locks that
// ThreadSanitizer cannot see in an uninstrumented Qt.
template <typename R> struct WorkerOutcome {
    std::optional<R> value;
    std::exception_ptr error;
    std::atomic<bool> done = false;
};

template <> struct WorkerOutcome<void> {
    std::exception_ptr error;
    std::atomic<bool> done = false;
};

/// Made on the main thread and woken from the worker by a plain posted event. Nothing the worker
/// builds is read by our code on the main thread: a queued functor would be constructed on the
/// worker and read on the main thread, an ordering only Qt's own locks provide.
class WorkerWake final : public QObject {
  public:
    WorkerWake(std::coroutine_handle<> waiter, std::function<bool()> finished)
        : m_waiter(waiter), m_finished(std::move(finished))
    {
    }

    /// Called on the worker thread once the outcome is written.
    void post() { QCoreApplication::postEvent(this, new QEvent(QEvent::User)); }

    bool event(QEvent *event) override
    {
        // Our event is not looked at (it was made on the worker): the outcome says whether it came.
        // Everything else, the deferred delete among them, is QObject's.
        if (m_resumed || !m_finished())
            return QObject::event(event);
        m_resumed = true;
        deleteLater();
        m_waiter.resume();
        return true;
    }

  private:
    std::coroutine_handle<> m_waiter;
    std::function<bool()> m_finished;
    bool m_resumed = false;
};

template <typename R, typename F> struct WorkerAwaiter {
    F work;
    std::shared_ptr<WorkerOutcome<R>> outcome = std::make_shared<WorkerOutcome<R>>();

    bool await_ready() const { return false; }
    void await_suspend(std::coroutine_handle<> handle)
    {
        auto *wake = new WorkerWake(
            handle, [outcome = outcome] { return outcome->done.load(std::memory_order_acquire); });
        std::thread([work = std::move(work), outcome = outcome, wake]() mutable {
            try {
                if constexpr (std::is_void_v<R>)
                    work();
                else
                    outcome->value.emplace(work());
            } catch (...) {
                outcome->error = std::current_exception();
            }
            outcome->done.store(true, std::memory_order_release);
            wake->post();
        }).detach();
    }
    R await_resume()
    {
        if (outcome->error)
            std::rethrow_exception(outcome->error);
        if constexpr (!std::is_void_v<R>)
            return std::move(*outcome->value);
    }
};

} // namespace detail

/// Runs `work` on a thread of its own (it may block for long, e.g. waiting for audio) and resumes
/// the awaiting coroutine on the main thread with its result or exception. Keep the awaiter in a named
/// variable and co_await that: g++ 12 destroys temporaries of a co_await expression twice.
template <typename F> auto onWorkerThread(F work)
{
    using R = std::invoke_result_t<F &>;
    return detail::WorkerAwaiter<R, F>{std::move(work)};
}

} // namespace talvex
