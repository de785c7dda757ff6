#pragma once

#include <QRect>

namespace talvex {

/// One attached display in desktop coordinates (origin at the top-left, Qt's convention).
struct ScreenArea {
    QRect frame;     ///< the whole screen
    QRect available; ///< what panels and docks leave free

    friend bool operator==(const ScreenArea &, const ScreenArea &) = default;
};

} // namespace talvex
