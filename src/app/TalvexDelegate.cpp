#include "TalvexDelegate.h"

#include "platform/Logging.h"
#include "shell/TrayMenuModel.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QGuiApplication>
#include <QMetaEnum>
#include <QSettings>
#include <QTimer>

namespace talvex {

namespace {

/// The user-defaults store: the launch's own when given (tests), else the application's.
std::unique_ptr<QSettings> userDefaults(const TalvexDelegate::Launch &launch)
{
    if (launch.defaults)
        return std::make_unique<QSettings>(launch.defaults->fileName(), launch.defaults->format());
    return std::make_unique<QSettings>();
}

} // namespace

TalvexDelegate::TalvexDelegate(ControllerServices services, ShellServices shell, Launch launch,
                               QObject *parent)
    : QObject(parent), m_launch(launch),
      m_launchAtLogin(std::make_unique<LaunchAtLogin>(*shell.loginItems, userDefaults(launch))),
      m_updates(std::make_unique<TalvexUpdates>(shell.updater)), m_recorder(std::make_unique<RecorderPanel>())
{
    Clipboard &clipboard = *services.delivery.clipboard;
    OnboardingServices onboarding;
    onboarding.keys = shell.keys;
    onboarding.captureSources = shell.captureSources;
    onboarding.clock = services.clock;
    m_controller = std::make_unique<DictationController>(std::move(services));
    // Phase changes and readiness at debug and info level: the timeline of a dictation and the
    // moment it can start can be read from the log without any transcript text.
    connect(m_controller.get(), &DictationController::phaseChanged, this, &TalvexDelegate::logPhase);
    connect(m_controller.get(), &DictationController::speechStatusChanged, this,
            [this] { qCInfo(lcApp).noquote() << "Speech status:" << m_controller->speechStatus(); });
    // The message is the system's own sentence or note, never dictated text.
    connect(m_controller.get(), &DictationController::messageChanged, this, [this] {
        qCDebug(lcApp).noquote() << "Message:" << m_controller->message().value_or(QStringLiteral("none"));
    });

    MenuActions actions;
    actions.openOnboarding = [this] { openOnboarding(); };
    actions.openAbout = [this] { openAbout(); };
    actions.openSettings = [this] { openSettings(); };
    actions.quit = [this] {
        if (m_quit)
            m_quit();
        else
            QCoreApplication::quit();
    };
    actions.openUrl = [](const QUrl &url) { QDesktopServices::openUrl(url); };
    m_menu = std::make_unique<MenuCommands>(*m_controller, clipboard, std::move(actions));
    m_menu->setWaylandSession(m_launch.waylandSession);
    UpdateChecks checks;
    checks.canCheck = [this] { return m_updates->canCheck(); };
    checks.check = [this] { m_updates->check(); };
    m_menu->setUpdateChecks(std::move(checks));
    connect(m_updates.get(), &TalvexUpdates::canCheckChanged, m_menu.get(), &MenuCommands::updatesChanged);

    SettingsServices windows;
    windows.keys = shell.keys;
    windows.applications = shell.applications;
    windows.launchAtLogin = m_launchAtLogin.get();
    windows.updates = m_updates.get();
    windows.finalText = shell.finalText;
    windows.openOnboarding = [this] { openOnboarding(); };
    windows.openAbout = [this] { openAbout(); };
    m_settings = std::make_unique<SettingsWindow>(*m_controller, std::move(windows));
    m_about = std::make_unique<AboutWindow>();
    m_defaults = userDefaults(m_launch);
    onboarding.defaults = m_defaults.get();
    onboarding.bindToggle = m_launch.waylandSession;
    m_setup = std::make_unique<SetupWindow>(std::move(onboarding));

    if (qGuiApp)
        connect(qGuiApp, &QGuiApplication::applicationStateChanged, this, [this](Qt::ApplicationState state) {
            if (state == Qt::ApplicationActive)
                applicationDidBecomeActive();
        });
}

TalvexDelegate::~TalvexDelegate() = default;

void TalvexDelegate::applicationDidFinishLaunching()
{
    m_launchAtLogin->configureDefault();
    m_controller->activate();
    m_recorder->connect(*m_controller);
    m_updates->start(m_controller.get());

    if (m_launch.onboarding || !setupCompleted())
        openOnboarding();
    if (m_launch.settings)
        openSettings();
    if (m_launch.waylandSession) {
        qCInfo(lcApp, "Wayland session: the shortcut sees keys only while an X11 window has focus");
        // Said once, unless activation had something more pressing to say.
        if (!m_controller->message())
            m_controller->setMessage(TrayMenuModel::waylandMessage());
    }
}

void TalvexDelegate::applicationDidBecomeActive()
{
    m_launchAtLogin->refresh();
    m_controller->refreshPermissions();
}

bool TalvexDelegate::applicationShouldHandleReopen()
{
    openOnboarding();
    return true;
}

void TalvexDelegate::openOnboarding()
{
    QTimer::singleShot(0, this, &TalvexDelegate::showOnboarding);
}

void TalvexDelegate::openAbout()
{
    QTimer::singleShot(0, this, &TalvexDelegate::showAbout);
}

void TalvexDelegate::openSettings()
{
    QTimer::singleShot(0, this, &TalvexDelegate::showSettings);
}

void TalvexDelegate::setTrayPresence(TrayPresence tray)
{
    m_setup->setTrayPresence(tray);
}

bool TalvexDelegate::setupCompleted() const
{
    return m_defaults->value(SetupWindow::setupCompletedKey()).toBool();
}

void TalvexDelegate::showOnboarding()
{
    qCInfo(lcApp, "Opening the onboarding window");
    m_setup->show(*m_controller);
    emit windowShown(Window::onboarding);
}

void TalvexDelegate::showAbout()
{
    qCInfo(lcApp, "Opening the about window");
    m_about->show();
    emit windowShown(Window::about);
}

void TalvexDelegate::showSettings()
{
    qCInfo(lcApp, "Opening the settings window");
    m_settings->show();
    emit windowShown(Window::settings);
}

void TalvexDelegate::logPhase()
{
    const char *name =
        QMetaEnum::fromType<DictationController::Phase>().valueToKey(static_cast<int>(m_controller->phase()));
    qCDebug(lcApp, "Phase %s", name ? name : "?");
}

} // namespace talvex
