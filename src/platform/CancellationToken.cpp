#include "CancellationToken.h"

#include <map>

namespace talvex {

struct CancellationToken::State {
    bool cancelled = false;
    int nextId = 0;
    std::map<int, std::function<void()>> callbacks;
};

CancellationToken::CancellationToken() : m_state(std::make_shared<State>()) {}

void CancellationToken::cancel() const
{
    if (m_state->cancelled)
        return;
    m_state->cancelled = true;
    // A callback may remove others or register new ones, so take the list first.
    auto callbacks = std::move(m_state->callbacks);
    m_state->callbacks.clear();
    for (auto &[id, callback] : callbacks)
        callback();
}

bool CancellationToken::isCancelled() const { return m_state->cancelled; }

int CancellationToken::onCancel(std::function<void()> callback) const
{
    if (m_state->cancelled) {
        callback();
        return -1;
    }
    const int id = m_state->nextId++;
    m_state->callbacks.emplace(id, std::move(callback));
    return id;
}

void CancellationToken::removeCallback(int id) const { m_state->callbacks.erase(id); }

} // namespace talvex
