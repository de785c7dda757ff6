#include "TrayIcons.h"

namespace talvex::TrayIcons {

QStringList themeNames(TrayIconKind kind)
{
    switch (kind) {
    case TrayIconKind::recording:
        return {QStringLiteral("audio-input-microphone-symbolic"), QStringLiteral("audio-input-microphone")};
    case TrayIconKind::attention:
        return {QStringLiteral("emblem-important-symbolic"), QStringLiteral("dialog-warning-symbolic"),
                QStringLiteral("dialog-warning")};
    case TrayIconKind::ready:
        return {QStringLiteral("com.quindlark.Talvex-symbolic")};
    }
    return {};
}

QString bundledFile(TrayIconKind kind)
{
    switch (kind) {
    case TrayIconKind::recording:
        return QStringLiteral(":/talvex/tray/recording.svg");
    case TrayIconKind::attention:
        return QStringLiteral(":/talvex/tray/attention.svg");
    case TrayIconKind::ready:
        return QStringLiteral(":/talvex/tray/ready.svg");
    }
    return {};
}

QIcon icon(TrayIconKind kind)
{
    // A themed icon keeps its name, so a StatusNotifier host draws it in its own style and colour.
    for (const QString &name : themeNames(kind)) {
        if (QIcon::hasThemeIcon(name))
            return QIcon::fromTheme(name);
    }
    // Filled, coloured shapes: legible on light and dark panels alike.
    return QIcon(bundledFile(kind));
}

} // namespace talvex::TrayIcons
