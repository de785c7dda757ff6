#pragma once

#include "ScreenArea.h"

#include <QPoint>
#include <optional>
#include <vector>

namespace talvex {

/// What the recorder panel needs to know about the displays to place itself.
class ScreenSource {
  public:
    virtual ~ScreenSource() = default;

    /// The attached screens in the desktop's order; empty when there is none.
    virtual std::vector<ScreenArea> screens() const = 0;
    /// Index into screens() of the primary screen; absent when there is no screen.
    virtual std::optional<std::size_t> primary() const = 0;
    /// Where the pointer is now, in the same coordinates.
    virtual QPoint pointer() const = 0;
};

} // namespace talvex
