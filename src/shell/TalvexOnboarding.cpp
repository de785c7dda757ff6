#include "TalvexOnboarding.h"

#include "OnboardingLayout.h"
#include "OnboardingSidebar.h"
#include "PermissionsPage.h"
#include "PracticePage.h"
#include "SettingsIcons.h"
#include "SettingsLayout.h"
#include "ShortcutPage.h"
#include "WelcomePage.h"
#include "core/DictationController.h"

#include <QBoxLayout>
#include <QCloseEvent>
#include <QFrame>
#include <QKeySequence>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QShortcut>
#include <QStackedWidget>

namespace talvex {

TalvexOnboarding::TalvexOnboarding(DictationController &controller, const OnboardingServices &services,
                                   Step initial, Actions actions, QWidget *parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint),
      m_controller(controller), m_services(services), m_actions(std::move(actions)), m_step(initial)
{
    if (m_services.desktop.isEmpty())
        m_services.desktop = qEnvironmentVariable("XDG_CURRENT_DESKTOP");
    setWindowTitle(QStringLiteral("Talvex Onboarding"));
    setWindowIcon(SettingsIcons::applicationIcon());
    setFixedSize(contentSize);

    m_sidebar = new OnboardingSidebar(this);
    m_pages = new QStackedWidget(this);
    m_welcome = new WelcomePage(m_pages);
    m_permissions = new PermissionsPage(controller, m_services.captureSources, m_pages);
    m_shortcut = new ShortcutPage(controller, m_services.keys, m_actions.windowForRecording, m_pages);
    m_practice = new PracticePage(controller, m_services.clock, m_pages);
    for (QWidget *page : {static_cast<QWidget *>(m_welcome), static_cast<QWidget *>(m_permissions),
                          static_cast<QWidget *>(m_shortcut), static_cast<QWidget *>(m_practice)})
        m_pages->addWidget(page);

    auto *rule = new QFrame(this);
    rule->setFrameShape(QFrame::HLine);
    rule->setFrameShadow(QFrame::Sunken);
    m_message = SettingsLayout::secondaryText(QString(), this);
    m_message->setAccessibleDescription(QStringLiteral("Status"));
    m_back = OnboardingLayout::button(QStringLiteral("&Back"), this);
    m_forward = OnboardingLayout::button(QString(), this);
    QBoxLayout *footer = SettingsLayout::row();
    footer->setContentsMargins(24, 10, 16, 12);
    footer->setSpacing(8);
    footer->addWidget(m_message, 1);
    footer->addWidget(m_back);
    footer->addWidget(m_forward);

    auto *main = new QVBoxLayout;
    main->setContentsMargins(0, 0, 0, 0);
    main->setSpacing(0);
    main->addWidget(m_pages, 1);
    main->addWidget(rule);
    main->addLayout(footer);
    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(m_sidebar);
    layout->addLayout(main, 1);

    connect(m_back, &QPushButton::clicked, this, &TalvexOnboarding::back);
    connect(m_forward, &QPushButton::clicked, this, &TalvexOnboarding::forward);
    for (const QKeySequence &close : {QKeySequence(Qt::Key_Escape), QKeySequence(QKeySequence::Close)})
        connect(new QShortcut(close, this), &QShortcut::activated, this, &QWidget::close);
    connect(&m_controller, &DictationController::messageChanged, this, &TalvexOnboarding::refreshMessage);
    connect(&m_controller, &DictationController::libraryChanged, this, &TalvexOnboarding::refreshTrayHint);

    // The page shows at once; the step is entered (and selected) when the window first shows.
    m_pages->setCurrentIndex(static_cast<int>(m_step));
    m_sidebar->setCurrent(m_step);
    m_back->setVisible(OnboardingTexts::previous(m_step).has_value());
    m_forward->setText(QLatin1Char('&') + OnboardingTexts::forwardButton(m_step));
    refreshMessage();
    refreshTrayHint();
}

qint64 TalvexOnboarding::startingPresses() const
{
    return m_shortcut->startingPresses();
}

QString TalvexOnboarding::practiceText() const
{
    return m_practice->practiceText();
}

void TalvexOnboarding::setStep(Step step)
{
    if (step == m_step && m_entered)
        return;
    enter(step);
}

void TalvexOnboarding::setTrayPresence(TrayPresence tray)
{
    m_tray = tray;
    refreshTrayHint();
}

void TalvexOnboarding::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    if (!m_entered)
        enter(m_step);
}

void TalvexOnboarding::closeEvent(QCloseEvent *event)
{
    emit closing();
    QWidget::closeEvent(event);
}

void TalvexOnboarding::enter(Step step)
{
    m_entered = true;
    m_step = step;
    m_shortcut->setStartingPresses(m_controller.shortcutPresses());
    if (m_actions.select)
        m_actions.select(step);
    if (step == Step::access)
        m_controller.refreshPermissions();

    m_pages->setCurrentIndex(static_cast<int>(step));
    m_sidebar->setCurrent(step);
    m_back->setVisible(OnboardingTexts::previous(step).has_value());
    m_forward->setText(QLatin1Char('&') + OnboardingTexts::forwardButton(step));
    // Keyboard focus where the step is worked: the practice field, else the way on.
    if (step == Step::practice)
        m_practice->field().setFocus(Qt::OtherFocusReason);
    else
        m_forward->setFocus(Qt::OtherFocusReason);
}

void TalvexOnboarding::forward()
{
    if (const auto next = OnboardingTexts::next(m_step)) {
        enter(*next);
        return;
    }
    if (m_actions.finish)
        m_actions.finish();
}

void TalvexOnboarding::back()
{
    if (const auto previous = OnboardingTexts::previous(m_step))
        enter(*previous);
}

void TalvexOnboarding::refreshMessage()
{
    const QString message = m_controller.message().value_or(QString());
    m_message->setText(message);
    m_message->setToolTip(message);
}

void TalvexOnboarding::refreshTrayHint()
{
    m_welcome->setTrayHint(OnboardingTexts::trayHint(m_tray, m_services.desktop, m_services.bindToggle,
                                                     m_controller.preferences().shortcutKey.displayText()));
}

} // namespace talvex
