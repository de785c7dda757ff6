#pragma once

#include <QCoreApplication>
#include <QCoro/QCoroTask>
#include <QMetaObject>
#include <coroutine>
#include <exception>
#include <memory>
#include <optional>
#include <thread>
#include <type_traits>

namespace talvex {

namespace detail {

template <typename R> struct WorkerOutcome {
    std::optional<R> value;
    std::exception_ptr error;
    std::coroutine_handle<> waiter;
};

template <> struct WorkerOutcome<void> {
    std::exception_ptr error;
    std::coroutine_handle<> waiter;
};

template <typename R, typename F> struct WorkerAwaiter {
    F work;
    std::shared_ptr<WorkerOutcome<R>> outcome = std::make_shared<WorkerOutcome<R>>();

    bool await_ready() const { return false; }
    void await_suspend(std::coroutine_handle<> handle)
    {
        outcome->waiter = handle;
        std::thread([work = std::move(work), outcome = outcome]() mutable {
            try {
                if constexpr (std::is_void_v<R>)
                    work();
                else
                    outcome->value.emplace(work());
            } catch (...) {
                outcome->error = std::current_exception();
            }
            QMetaObject::invokeMethod(
                QCoreApplication::instance(), [outcome] { outcome->waiter.resume(); }, Qt::QueuedConnection);
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
