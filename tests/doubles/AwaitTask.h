#pragma once

#include <QCoro/QCoroTask>
#include <QEventLoop>
#include <exception>
#include <optional>
#include <type_traits>

namespace talvex::test {

// QCoro::waitFor never returns when the task throws, so tests wait through this, which rethrows.
template <typename T> T awaitTask(QCoro::Task<T> task)
{
    QEventLoop loop;
    bool done = false;
    std::exception_ptr error;
    std::conditional_t<std::is_void_v<T>, bool, std::optional<T>> value{};
    auto runner = [&]() -> QCoro::Task<> {
        try {
            if constexpr (std::is_void_v<T>)
                co_await task;
            else
                value = co_await task;
        } catch (...) {
            error = std::current_exception();
        }
        done = true;
        loop.quit();
    };
    auto running = runner();
    if (!done)
        loop.exec();
    if (error)
        std::rethrow_exception(error);
    if constexpr (!std::is_void_v<T>)
        return std::move(*value);
}

} // namespace talvex::test
