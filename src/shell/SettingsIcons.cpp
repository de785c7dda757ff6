#include "SettingsIcons.h"

#include <QGuiApplication>

namespace talvex::SettingsIcons {

namespace {

QIcon bundled(const QString &symbol)
{
    return QIcon(QStringLiteral(":/talvex/settings/icons/%1.svg").arg(symbol));
}

} // namespace

QIcon icon(const QString &themeName, const QString &symbol)
{
    if (!themeName.isEmpty() && QIcon::hasThemeIcon(themeName))
        return QIcon::fromTheme(themeName);
    return bundled(symbol);
}

QIcon applicationIcon()
{
    const QIcon window = QGuiApplication::windowIcon();
    if (!window.isNull() && !window.availableSizes().isEmpty())
        return window;
    return icon(QStringLiteral("com.quindlark.Talvex"), QStringLiteral("talvex"));
}

} // namespace talvex::SettingsIcons
