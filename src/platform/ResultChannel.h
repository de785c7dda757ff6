#pragma once

#include "SpeechService.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <atomic>
#include <coroutine>
#include <deque>
#include <exception>
#include <memory>

namespace talvex {

/// Carries recogniser results from any thread to one reader on the main thread, in push order, and
/// ends once (normally or with an error). Backends and doubles use it behind Transcriber::nextResult.
class ResultChannel final : public std::enable_shared_from_this<ResultChannel> {
  public:
    static std::shared_ptr<ResultChannel> create()
    {
        return std::shared_ptr<ResultChannel>(new ResultChannel);
    }

    /// Any thread. Ignored once the channel has ended.
    void push(SpeechResult result)
    {
        post([result = std::move(result)](ResultChannel &self) {
            if (!self.m_ended && !self.m_abandoned)
                self.m_results.push_back(result);
        });
    }

    /// Any thread. Results pushed before still come first. Later calls do nothing.
    void finish(std::exception_ptr error = nullptr)
    {
        post([error](ResultChannel &self) {
            if (self.m_ended)
                return;
            self.m_ended = true;
            self.m_error = error;
        });
    }

    /// Any thread: ends at once, dropping results not yet read, also those pushed but still on
    /// their way to the main thread.
    void abandon()
    {
        m_abandoned = true;
        post([](ResultChannel &self) {
            self.m_results.clear();
            self.m_ended = true;
        });
    }

    /// Main thread, one reader at a time.
    QCoro::Task<std::optional<SpeechResult>> next()
    {
        auto self = shared_from_this();
        while (m_results.empty() && !m_ended && !m_abandoned)
            co_await Wait{this};
        if (!m_results.empty() && !m_abandoned) {
            SpeechResult result = std::move(m_results.front());
            m_results.pop_front();
            co_return result;
        }
        if (m_error && !m_abandoned)
            std::rethrow_exception(m_error);
        co_return std::nullopt;
    }

  private:
    ResultChannel() = default;

    struct Wait {
        ResultChannel *channel;
        bool await_ready() const { return false; }
        void await_suspend(std::coroutine_handle<> handle) { channel->m_waiter = handle; }
        void await_resume() const {}
    };

    template <typename F> void post(F change)
    {
        QMetaObject::invokeMethod(
            QCoreApplication::instance(),
            [self = shared_from_this(), change = std::move(change)]() mutable {
                change(*self);
                if (auto waiter = std::exchange(self->m_waiter, {}))
                    waiter.resume();
            },
            Qt::QueuedConnection);
    }

    std::deque<SpeechResult> m_results;
    bool m_ended = false;
    std::exception_ptr m_error;
    std::atomic<bool> m_abandoned = false;
    std::coroutine_handle<> m_waiter;
};

} // namespace talvex
