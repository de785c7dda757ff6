#pragma once

#include "overlay/ScreenSource.h"

namespace talvex::test {

/// Screens and a pointer as a test sets them up.
class ScreenSourceDouble final : public ScreenSource {
  public:
    std::vector<ScreenArea> areas;
    std::optional<std::size_t> primaryIndex = 0;
    QPoint pointerAt;
    mutable int pointerReads = 0;

    std::vector<ScreenArea> screens() const override { return areas; }
    std::optional<std::size_t> primary() const override
    {
        return areas.empty() ? std::nullopt : primaryIndex;
    }
    QPoint pointer() const override
    {
        ++pointerReads;
        return pointerAt;
    }
};

} // namespace talvex::test
