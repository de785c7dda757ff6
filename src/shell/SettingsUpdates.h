#pragma once

#include <QObject>

namespace talvex {

/// What the settings window needs of the update service: whether a check is possible now, the
/// automatic-updates setting, and a check. The application's service plugs in through a small
/// adapter.
class SettingsUpdates : public QObject {
    Q_OBJECT

  public:
    using QObject::QObject;

    virtual bool canCheck() const = 0;
    virtual bool automaticUpdates() const = 0;
    /// "Automatically install updates" was switched; writes the updater's own setting.
    virtual void setAutomaticUpdates(bool enabled) = 0;
    /// "Check for Updates…": the updater shows its own interface.
    virtual void check() = 0;

  signals:
    /// canCheck or automaticUpdates changed.
    void changed();
};

} // namespace talvex
