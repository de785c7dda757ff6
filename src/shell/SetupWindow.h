#pragma once

#include "OnboardingServices.h"
#include "OnboardingTexts.h"
#include "TalvexOnboarding.h"

#include <QObject>
#include <QPointer>

namespace talvex {

class DictationController;

/// Owns the onboarding window: made on show, forgotten when closed (a later show starts afresh with
/// an empty practice field). While it shows its shortcut step it is the controller's shortcut-probe
/// window, and while it shows its practice step the practice window.
class SetupWindow final : public QObject {
    Q_OBJECT

  public:
    /// The services must outlive this object.
    explicit SetupWindow(OnboardingServices services, QObject *parent = nullptr);
    ~SetupWindow() override;

    /// Brings the open window to the front, or makes a new one at the first step (the shortcut step
    /// once setup was completed) and shows it centred, in front, with keyboard focus.
    void show(DictationController &controller);

    /// The window while it is open.
    TalvexOnboarding *window() const { return m_window.data(); }

    /// Whether a tray shows the icon; the welcome step says how to reach Talvex without one.
    void setTrayPresence(TrayPresence tray);

    /// The user default that "Done" sets.
    static QString setupCompletedKey();

  signals:
    /// The window closed (by the user or by "Done").
    void closed();

  private:
    bool setupCompleted() const;
    void select(OnboardingStep step);
    void finish();
    void windowWillClose();

    OnboardingServices m_services;
    TrayPresence m_tray = TrayPresence::unknown;
    QPointer<DictationController> m_controller;
    QPointer<TalvexOnboarding> m_window;
};

} // namespace talvex
