#include "SettingsWindow.h"

#include "LaunchAtLogin.h"
#include "SettingsLayout.h"
#include "TalvexSettings.h"

namespace talvex {

SettingsWindow::SettingsWindow(DictationController &controller, SettingsServices services)
    : m_controller(controller), m_services(std::move(services))
{
}

SettingsWindow::~SettingsWindow() = default;

void SettingsWindow::show()
{
    // A window shown for the first time (or again) reads the login item in its show event; one
    // already open reads it here, so "Settings…" always shows the desktop's current state.
    if (m_window && m_window->isVisible() && m_services.launchAtLogin)
        m_services.launchAtLogin->refresh();
    const bool first = !m_window;
    if (first)
        m_window = std::make_unique<TalvexSettings>(m_controller, m_services);
    SettingsLayout::showInFront(m_window.get(), first);
}

} // namespace talvex
