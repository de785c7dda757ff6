#include "SetupWindow.h"

#include "SettingsLayout.h"
#include "TalvexOnboarding.h"
#include "core/DictationController.h"
#include "platform/Logging.h"

#include <QSettings>

namespace talvex {

SetupWindow::SetupWindow(OnboardingServices services, QObject *parent)
    : QObject(parent), m_services(std::move(services))
{
}

SetupWindow::~SetupWindow()
{
    // The window goes with its owner; a dictation into its field ends as when the user closes it.
    if (m_window) {
        windowWillClose();
        delete m_window.data();
    }
}

QString SetupWindow::setupCompletedKey()
{
    return QStringLiteral("didCompleteTalvexSetup");
}

void SetupWindow::show(DictationController &controller)
{
    if (m_window) {
        if (m_window->isMinimized())
            m_window->showNormal();
        SettingsLayout::showInFront(m_window.data(), false);
        return;
    }
    m_controller = &controller;
    controller.refreshPermissions();

    TalvexOnboarding::Actions actions;
    actions.windowForRecording = [this]() -> QWidget * { return m_window.data(); };
    actions.select = [this](OnboardingStep step) { select(step); };
    actions.finish = [this] { finish(); };
    const OnboardingStep initial = setupCompleted() ? OnboardingStep::shortcut : OnboardingStep::welcome;
    m_window = new TalvexOnboarding(controller, m_services, initial, std::move(actions));
    m_window->setAttribute(Qt::WA_DeleteOnClose);
    m_window->setTrayPresence(m_tray);
    connect(m_window.data(), &TalvexOnboarding::closing, this, &SetupWindow::windowWillClose);
    // The window appears in the task list while open; no application mode to switch here.
    SettingsLayout::showInFront(m_window.data(), true);
}

void SetupWindow::setTrayPresence(TrayPresence tray)
{
    m_tray = tray;
    if (m_window)
        m_window->setTrayPresence(tray);
}

bool SetupWindow::setupCompleted() const
{
    if (m_services.defaults)
        return m_services.defaults->value(setupCompletedKey()).toBool();
    return QSettings().value(setupCompletedKey()).toBool();
}

void SetupWindow::select(OnboardingStep step)
{
    if (!m_controller || !m_window)
        return;
    m_controller->setShortcutProbeWindow(step == OnboardingStep::shortcut ? m_window.data() : nullptr);
    m_controller->setPracticeWindow(step == OnboardingStep::practice ? m_window.data() : nullptr);
}

void SetupWindow::finish()
{
    if (m_services.defaults) {
        m_services.defaults->setValue(setupCompletedKey(), true);
        m_services.defaults->sync();
    } else {
        QSettings defaults;
        defaults.setValue(setupCompletedKey(), true);
        defaults.sync();
    }
    qCInfo(lcApp, "Onboarding done");
    if (m_window)
        m_window->close();
}

void SetupWindow::windowWillClose()
{
    TalvexOnboarding *window = m_window.data();
    if (!window)
        return;
    if (m_controller) {
        // Only our own windows are cleared: a newer window may have taken the controller's slots.
        if (m_controller->practiceWindow() == window)
            m_controller->setPracticeWindow(nullptr);
        if (m_controller->shortcutProbeWindow() == window)
            m_controller->setShortcutProbeWindow(nullptr);
        m_controller->cancelPracticeDictation(window);
    }
    disconnect(window, nullptr, this, nullptr);
    m_window = nullptr;
    emit closed();
}

} // namespace talvex
