#include "QtScreenSource.h"

#include <QCursor>
#include <QGuiApplication>
#include <QScreen>

namespace talvex {

std::vector<ScreenArea> QtScreenSource::screens() const
{
    std::vector<ScreenArea> areas;
    for (const QScreen *screen : QGuiApplication::screens())
        areas.push_back(ScreenArea{screen->geometry(), screen->availableGeometry()});
    return areas;
}

std::optional<std::size_t> QtScreenSource::primary() const
{
    const QList<QScreen *> all = QGuiApplication::screens();
    const qsizetype index = all.indexOf(QGuiApplication::primaryScreen());
    if (index < 0)
        return all.isEmpty() ? std::nullopt : std::optional<std::size_t>(0);
    return std::size_t(index);
}

QPoint QtScreenSource::pointer() const
{
    return QCursor::pos();
}

} // namespace talvex
