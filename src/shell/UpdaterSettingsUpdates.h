#pragma once

#include "SettingsUpdates.h"

namespace talvex {

class Updater;

/// The update rows straight over an updater, which someone else has started. No updater (a build
/// without one) means no check and no automatic updates.
class UpdaterSettingsUpdates final : public SettingsUpdates {
    Q_OBJECT

  public:
    /// `updater` may be null; when given it must outlive this object.
    explicit UpdaterSettingsUpdates(Updater *updater, QObject *parent = nullptr);

    bool canCheck() const override { return m_canCheck; }
    bool automaticUpdates() const override { return m_automatic; }
    void setAutomaticUpdates(bool enabled) override;
    void check() override;

    /// Reads the updater's two states again; the updater's change callback should call this.
    void refresh();

  private:
    Updater *m_updater;
    bool m_canCheck = false;
    bool m_automatic = false;
};

} // namespace talvex
