#pragma once

#include "SettingsServices.h"

#include <memory>

namespace talvex {

class DictationController;
class TalvexSettings;

/// The settings window: made on the first show and kept when closed, so a later show finds the
/// tab the user left.
class SettingsWindow final {
  public:
    /// The controller and the services must outlive this object.
    SettingsWindow(DictationController &controller, SettingsServices services);
    ~SettingsWindow();
    SettingsWindow(const SettingsWindow &) = delete;
    SettingsWindow &operator=(const SettingsWindow &) = delete;

    /// Shows the window centred on first use, then brings it to the front with keyboard focus.
    void show();
    /// The window, once shown.
    TalvexSettings *window() const { return m_window.get(); }

  private:
    DictationController &m_controller;
    SettingsServices m_services;
    std::unique_ptr<TalvexSettings> m_window;
};

} // namespace talvex
