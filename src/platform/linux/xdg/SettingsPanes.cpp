#include "SettingsPanes.h"

#include "Logging.h"

#include <QProcess>
#include <QStandardPaths>

namespace talvex::xdg {

std::optional<QStringList> SettingsPanes::command(const QString &desktops, SettingsPane pane)
{
    for (const QString &desktop : desktops.split(QLatin1Char(':'), Qt::SkipEmptyParts)) {
        const QString name = desktop.trimmed().toUpper();
        if (name == QLatin1String("GNOME") || name == QLatin1String("UNITY") || name == QLatin1String("BUDGIE")) {
            switch (pane) {
            case SettingsPane::microphone: return QStringList{"gnome-control-center", "privacy"};
            case SettingsPane::accessibility: return QStringList{"gnome-control-center", "universal-access"};
            case SettingsPane::sound: return QStringList{"gnome-control-center", "sound"};
            }
        }
        if (name == QLatin1String("KDE")) {
            switch (pane) {
            case SettingsPane::microphone:
            case SettingsPane::sound: return QStringList{"systemsettings", "kcm_pulseaudio"};
            case SettingsPane::accessibility: return QStringList{"systemsettings", "kcm_access"};
            }
        }
        if (name == QLatin1String("XFCE")) {
            switch (pane) {
            case SettingsPane::microphone:
            case SettingsPane::sound: return QStringList{"pavucontrol"};
            case SettingsPane::accessibility: return QStringList{"xfce4-accessibility-settings"};
            }
        }
    }
    return std::nullopt;
}

bool SettingsPanes::open(SettingsPane pane)
{
    const auto line = command(qEnvironmentVariable("XDG_CURRENT_DESKTOP"), pane);
    if (!line)
        return false;
    const QString program = QStandardPaths::findExecutable(line->first());
    if (program.isEmpty()) {
        qCInfo(lcApp) << "settings program not installed:" << line->first();
        return false;
    }
    return QProcess::startDetached(program, line->mid(1));
}

} // namespace talvex::xdg
