#pragma once

#include <cstdint>

namespace talvex::x11 {

/// X server times (milliseconds, 32 bits, wrapping every 49.7 days) as seconds that keep
/// increasing across the wrap. Events may come a little out of order (raw and core events); such
/// an event simply lands a little earlier.
class X11ServerTime final {
  public:
    double seconds(std::uint32_t serverTime)
    {
        if (!m_started) {
            m_started = true;
            m_last = serverTime;
            m_lastMilliseconds = serverTime;
        }
        // The modular difference is right across the wrap.
        const auto delta = static_cast<std::int32_t>(serverTime - m_last);
        const std::int64_t milliseconds = m_lastMilliseconds + delta;
        if (delta > 0) {
            m_last = serverTime;
            m_lastMilliseconds = milliseconds;
        }
        return static_cast<double>(milliseconds) / 1000.0;
    }

  private:
    bool m_started = false;
    std::uint32_t m_last = 0;
    std::int64_t m_lastMilliseconds = 0;
};

} // namespace talvex::x11
