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

TalvexDelegate::TalvexDelegate(ControllerServices services, Launch launch, QObject *parent)
    : QObject(parent), m_launch(launch)
{
    Clipboard &clipboard = *services.delivery.clipboard;
    m_controller = std::make_unique<DictationController>(std::move(services));
    // Phase changes and readiness at debug and info level: the timeline of a dictation and the
    // moment it can start can be read from the log without any transcript text.
    connect(m_controller.get(), &DictationController::phaseChanged, this, &TalvexDelegate::logPhase);
    connect(m_controller.get(), &DictationController::speechStatusChanged, this,
            [this] { qCInfo(lcApp).noquote() << "Speech status:" << m_controller->speechStatus(); });

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
    // The update service binds "Check for Updates…" here (setUpdateChecks); without one the row
    // stays disabled.

    if (qGuiApp)
        connect(qGuiApp, &QGuiApplication::applicationStateChanged, this, [this](Qt::ApplicationState state) {
            if (state == Qt::ApplicationActive)
                applicationDidBecomeActive();
        });
}

TalvexDelegate::~TalvexDelegate() = default;

void TalvexDelegate::applicationDidFinishLaunching()
{
    configureLaunchAtLogin();
    m_controller->activate();
    // The recorder panel connects to the controller here, once it exists.
    startUpdater();

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
    refreshLaunchAtLogin();
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

bool TalvexDelegate::setupCompleted() const
{
    const QString key = QStringLiteral("didCompleteTalvexSetup");
    if (m_launch.defaults)
        return m_launch.defaults->value(key).toBool();
    return QSettings().value(key).toBool();
}

void TalvexDelegate::configureLaunchAtLogin()
{
    // LaunchAtLogin::configureDefault() runs here: the login item is turned on once, on first run.
}

void TalvexDelegate::refreshLaunchAtLogin()
{
    // LaunchAtLogin refreshes its status from the autostart entry here.
}

void TalvexDelegate::startUpdater()
{
    // TalvexUpdates starts here with the controller as its dictation source.
}

void TalvexDelegate::showOnboarding()
{
    // SetupWindow::show(controller) plugs in here.
    qCInfo(lcApp, "Opening the onboarding window");
    emit windowShown(Window::onboarding);
}

void TalvexDelegate::showAbout()
{
    // AboutWindow::show() plugs in here.
    qCInfo(lcApp, "Opening the about window");
    emit windowShown(Window::about);
}

void TalvexDelegate::showSettings()
{
    // The settings window (TalvexSettings) plugs in here: activate the application, then show it.
    qCInfo(lcApp, "Opening the settings window");
    emit windowShown(Window::settings);
}

void TalvexDelegate::logPhase()
{
    const char *name =
        QMetaEnum::fromType<DictationController::Phase>().valueToKey(static_cast<int>(m_controller->phase()));
    qCDebug(lcApp, "Phase %s", name ? name : "?");
}

} // namespace talvex
