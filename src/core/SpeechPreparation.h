#pragma once

#include "platform/CancellationToken.h"

#include <QString>
#include <coroutine>
#include <exception>
#include <memory>
#include <optional>
#include <vector>

namespace talvex {

/// The outcome of one speech-model preparation, shared by every dictation that waits for it: a
/// locale identifier, or the failure the preparation threw. Main thread only.
class SpeechPreparation final {
  public:
    SpeechPreparation();

    /// Settles the preparation and resumes every waiter in order. Only the first call counts.
    void succeed(QString locale);
    void fail(std::exception_ptr error);

    bool isSettled() const;
    /// True when both handles name the same preparation.
    bool isSameAs(const SpeechPreparation &other) const { return m_state == other.m_state; }

    /// Marks the preparation as replaced by a newer one. It still settles: dictations that already
    /// wait for it finish with the locale they were started for.
    void markReplaced();
    bool isReplaced() const;

    /// Awaits the outcome: yields the locale or rethrows the failure. When `waiter` is cancelled
    /// first, resumes soon after (posted) and throws SpeechPreparation::Abandoned.
    class Awaiter;
    Awaiter result(CancellationToken waiter) const;

    /// Thrown to a waiter whose own task was cancelled before the preparation settled.
    struct Abandoned : std::exception {
        const char *what() const noexcept override { return "speech preparation abandoned"; }
    };

  private:
    struct State;
    std::shared_ptr<State> m_state;
};

class SpeechPreparation::Awaiter {
  public:
    Awaiter(std::shared_ptr<State> state, CancellationToken token);
    Awaiter(Awaiter &&) = default;
    ~Awaiter();

    bool await_ready() const;
    void await_suspend(std::coroutine_handle<> handle);
    QString await_resume();

  private:
    std::shared_ptr<State> m_state;
    CancellationToken m_token;
    std::shared_ptr<bool> m_waiting; ///< shared with the queued entries, so exactly one resume happens
    int m_callback = -1;
};

} // namespace talvex
