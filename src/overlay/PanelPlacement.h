#pragma once

#include "ScreenSource.h"

#include <QRect>
#include <QRectF>
#include <QSize>
#include <optional>

namespace talvex::PanelPlacement {

/// Gap between the panel and the bottom (and the sides) of the screen's free area.
inline constexpr int margin = 24;

/// Where the recorder panel of `size` goes: bottom centre of the screen holding the centre of
/// `recordingWindow` (else the pointer), 24 above the bottom of its free area and at most its free
/// width less 24 wide; the primary screen when no screen holds that point. Absent when there is no
/// screen at all.
std::optional<QRect> frame(const ScreenSource &screens, const std::optional<QRectF> &recordingWindow,
                           QSize size);

} // namespace talvex::PanelPlacement
