#include "SettingsWindow.h"

#include "SettingsLaunchAtLogin.h"
#include "TalvexSettings.h"

#include <QGuiApplication>
#include <QScreen>

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
    if (!m_window) {
        m_window = std::make_unique<TalvexSettings>(m_controller, m_services);
        if (const QScreen *screen = QGuiApplication::primaryScreen()) {
            QRect frame(QPoint(), m_window->size());
            frame.moveCenter(screen->availableGeometry().center());
            m_window->move(frame.topLeft());
        }
    }
    m_window->show();
    m_window->raise();
    m_window->activateWindow();
}

} // namespace talvex
