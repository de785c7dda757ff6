#pragma once

#include "AudioFormat.h"

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <exception>
#include <mutex>
#include <optional>
#include <variant>

namespace talvex {

/// The hand-off of converted audio from the audio thread to the speech analyzer: a bounded queue that
/// keeps the oldest buffers and drops a new one when full, and that ends once, normally or with an
/// error. The writer never waits; the reader (a worker thread) may block.
class AnalyzerInputStream final {
  public:
    enum class YieldResult { enqueued, dropped, terminated };

    /// What the reader gets: a buffer, the end, or the error the stream ended with.
    struct End {};
    using Element = std::variant<PcmBuffer, End, std::exception_ptr>;

    explicit AnalyzerInputStream(std::size_t capacity) : m_capacity(capacity) {}

    /// Queues `buffer` unless the queue is full (dropped) or the stream has ended (terminated).
    YieldResult yield(PcmBuffer buffer)
    {
        {
            std::lock_guard lock(m_mutex);
            if (m_ended)
                return YieldResult::terminated;
            if (m_queue.size() >= m_capacity)
                return YieldResult::dropped;
            m_queue.push_back(std::move(buffer));
        }
        m_ready.notify_one();
        return YieldResult::enqueued;
    }

    /// Ends the stream, with `error` when present. Buffers already queued are still read before the
    /// end. Ending an ended stream does nothing.
    void finish(std::exception_ptr error = nullptr)
    {
        {
            std::lock_guard lock(m_mutex);
            if (m_ended)
                return;
            m_ended = true;
            m_error = error;
        }
        m_ready.notify_all();
    }

    /// Blocks until there is a buffer or the stream has ended.
    Element pop()
    {
        std::unique_lock lock(m_mutex);
        m_ready.wait(lock, [this] { return !m_queue.empty() || m_ended; });
        return takeLocked();
    }

    /// A buffer or the end if either is there now, else nothing.
    std::optional<Element> tryPop()
    {
        std::lock_guard lock(m_mutex);
        if (m_queue.empty() && !m_ended)
            return std::nullopt;
        return takeLocked();
    }

    /// Blocks until the stream has ended, without reading it.
    void waitForEnd()
    {
        std::unique_lock lock(m_mutex);
        m_ready.wait(lock, [this] { return m_ended; });
    }

    bool hasEnded() const
    {
        std::lock_guard lock(m_mutex);
        return m_ended;
    }

    std::size_t pending() const
    {
        std::lock_guard lock(m_mutex);
        return m_queue.size();
    }

  private:
    Element takeLocked()
    {
        if (!m_queue.empty()) {
            PcmBuffer buffer = std::move(m_queue.front());
            m_queue.pop_front();
            return buffer;
        }
        if (m_error)
            return m_error;
        return End{};
    }

    const std::size_t m_capacity;
    mutable std::mutex m_mutex;
    std::condition_variable m_ready;
    std::deque<PcmBuffer> m_queue;
    bool m_ended = false;
    std::exception_ptr m_error;
};

} // namespace talvex
