#pragma once

#include "ScreenSource.h"

namespace talvex {

/// The screens as Qt sees them, and the pointer from QCursor.
class QtScreenSource final : public ScreenSource {
  public:
    std::vector<ScreenArea> screens() const override;
    std::optional<std::size_t> primary() const override;
    QPoint pointer() const override;
};

} // namespace talvex
