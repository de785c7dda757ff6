#pragma once

#include "CaptureSourceWatch.h"

namespace talvex::test {

/// A sound server the test describes: announce() plays an answer or a change.
class CaptureSourceWatchDouble final : public CaptureSourceWatch {
  public:
    int watches = 0;
    int stops = 0;

    bool isWatching() const { return bool(m_changed); }

    void watch(Changed changed) override
    {
        ++watches;
        m_changed = std::move(changed);
    }
    void stop() override
    {
        ++stops;
        m_changed = nullptr;
    }

    /// What the server says now, delivered at once while someone watches.
    void announce(const CaptureSource &source)
    {
        if (m_changed)
            m_changed(source);
    }

  private:
    Changed m_changed;
};

} // namespace talvex::test
