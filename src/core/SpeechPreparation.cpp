#include "SpeechPreparation.h"

#include <QTimer>
#include <utility>

namespace talvex {

struct SpeechPreparation::State {
    bool replaced = false;
    std::optional<QString> locale;
    std::exception_ptr error;
    // Each waiter's flag says whether it still expects a resume; whoever clears it resumes.
    std::vector<std::pair<std::shared_ptr<bool>, std::coroutine_handle<>>> waiters;

    bool settled() const { return locale.has_value() || error; }

    void wake()
    {
        auto waiting = std::move(waiters);
        waiters.clear();
        for (auto &[flag, handle] : waiting) {
            if (!*flag)
                continue;
            *flag = false;
            handle.resume();
        }
    }
};

SpeechPreparation::SpeechPreparation() : m_state(std::make_shared<State>())
{
}

void SpeechPreparation::succeed(QString locale)
{
    if (m_state->settled())
        return;
    m_state->locale = std::move(locale);
    m_state->wake();
}

void SpeechPreparation::fail(std::exception_ptr error)
{
    if (m_state->settled() || !error)
        return;
    m_state->error = std::move(error);
    m_state->wake();
}

bool SpeechPreparation::isSettled() const
{
    return m_state->settled();
}

void SpeechPreparation::markReplaced()
{
    m_state->replaced = true;
}

bool SpeechPreparation::isReplaced() const
{
    return m_state->replaced;
}

SpeechPreparation::Awaiter SpeechPreparation::result(CancellationToken waiter) const
{
    return Awaiter(m_state, std::move(waiter));
}

SpeechPreparation::Awaiter::Awaiter(std::shared_ptr<State> state, CancellationToken token)
    : m_state(std::move(state)), m_token(std::move(token)), m_waiting(std::make_shared<bool>(false))
{
}

SpeechPreparation::Awaiter::~Awaiter()
{
    if (m_callback >= 0)
        m_token.removeCallback(m_callback);
}

bool SpeechPreparation::Awaiter::await_ready() const
{
    return m_state->settled() || m_token.isCancelled();
}

void SpeechPreparation::Awaiter::await_suspend(std::coroutine_handle<> handle)
{
    *m_waiting = true;
    m_state->waiters.emplace_back(m_waiting, handle);
    auto waiting = m_waiting;
    m_callback = m_token.onCancel([waiting, handle] {
        // Never resume from inside cancel(): the canceller is still running.
        QTimer::singleShot(0, [waiting, handle] {
            if (!*waiting)
                return;
            *waiting = false;
            handle.resume();
        });
    });
}

QString SpeechPreparation::Awaiter::await_resume()
{
    if (m_callback >= 0) {
        m_token.removeCallback(m_callback);
        m_callback = -1;
    }
    if (m_state->locale)
        return *m_state->locale;
    if (m_state->error)
        std::rethrow_exception(m_state->error);
    throw Abandoned();
}

} // namespace talvex
