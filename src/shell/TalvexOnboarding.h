#pragma once

#include "OnboardingServices.h"
#include "OnboardingTexts.h"

#include <QWidget>
#include <functional>

class QLabel;
class QPushButton;
class QStackedWidget;

namespace talvex {

class DictationController;
class OnboardingSidebar;
class PermissionsPage;
class PracticePage;
class ShortcutPage;
class WelcomePage;

/// The onboarding window's content, which is also the window: 680 x 450, the sidebar beside the
/// page of the current step, and a footer with "Back" and "Get Started", "Continue" or "Done".
/// Reads the controller's state and calls its operations; the window's own decisions (where
/// dictations and shortcut tests go, finishing) are the actions its owner gives it.
class TalvexOnboarding final : public QWidget {
    Q_OBJECT

  public:
    using Step = OnboardingStep;
    static constexpr QSize contentSize{680, 450};

    struct Actions {
        /// The window the shortcut recorder records in.
        std::function<QWidget *()> windowForRecording;
        /// Called on every step change, and once for the first step when the window first shows.
        std::function<void(Step)> select;
        /// "Done".
        std::function<void()> finish;
    };

    TalvexOnboarding(DictationController &controller, const OnboardingServices &services, Step initial,
                     Actions actions, QWidget *parent = nullptr);

    Step step() const { return m_step; }
    /// Shows `step`: the shortcut test starts counting from now, then `select` is called.
    void setStep(Step step);
    /// The press count the shortcut test compares against.
    qint64 startingPresses() const;
    QString practiceText() const;

    void setTrayPresence(TrayPresence tray);

    WelcomePage &welcomePage() const { return *m_welcome; }
    PermissionsPage &permissionsPage() const { return *m_permissions; }
    ShortcutPage &shortcutPage() const { return *m_shortcut; }
    PracticePage &practicePage() const { return *m_practice; }
    QPushButton &backButton() const { return *m_back; }
    QPushButton &forwardButton() const { return *m_forward; }

  signals:
    /// The window is closing (its close button, Escape, or "Done").
    void closing();

  protected:
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

  private:
    void enter(Step step);
    void forward();
    void back();
    void refreshMessage();
    void refreshTrayHint();

    DictationController &m_controller;
    OnboardingServices m_services;
    Actions m_actions;
    Step m_step;
    bool m_entered = false;
    TrayPresence m_tray = TrayPresence::unknown;

    OnboardingSidebar *m_sidebar = nullptr;
    QStackedWidget *m_pages = nullptr;
    WelcomePage *m_welcome = nullptr;
    PermissionsPage *m_permissions = nullptr;
    ShortcutPage *m_shortcut = nullptr;
    PracticePage *m_practice = nullptr;
    QLabel *m_message = nullptr;
    QPushButton *m_back = nullptr;
    QPushButton *m_forward = nullptr;
};

} // namespace talvex
