#include "PanelPlacement.h"

#include <algorithm>
#include <cmath>

namespace talvex::PanelPlacement {

namespace {

// Half-open, so a point on the seam between two screens belongs to exactly one of them.
bool holds(const QRect &frame, QPointF point)
{
    return point.x() >= frame.x() && point.x() < frame.x() + frame.width() && point.y() >= frame.y() &&
           point.y() < frame.y() + frame.height();
}

} // namespace

std::optional<QRect> frame(const ScreenSource &screens, const std::optional<QRectF> &recordingWindow,
                           QSize size)
{
    const std::vector<ScreenArea> all = screens.screens();
    if (all.empty())
        return std::nullopt;
    const QPointF reference = recordingWindow ? recordingWindow->center() : QPointF(screens.pointer());
    const auto found = std::find_if(all.begin(), all.end(),
                                    [&](const ScreenArea &area) { return holds(area.frame, reference); });
    const std::size_t primary = std::min(screens.primary().value_or(0), all.size() - 1);
    const QRect available = found != all.end() ? found->available : all[primary].available;

    // A free area narrower than the margins still gets a panel one point wide rather than none.
    const int width = std::max(1, std::min(available.width() - margin, size.width()));
    // Centred on the free area's centre line, which for an odd width lies between two pixels.
    const double centre = available.x() + available.width() / 2.0;
    const int x = int(std::floor(centre - width / 2.0));
    const int bottom = available.y() + available.height();
    return QRect(x, bottom - margin - size.height(), width, size.height());
}

} // namespace talvex::PanelPlacement
