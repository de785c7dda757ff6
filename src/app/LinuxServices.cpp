#include "LinuxServices.h"

#include "AtspiAccessibility.h"
#include "ChatCompletionsModel.h"
#include "ClipboardCarry.h"
#include "Installation.h"
#include "LinuxUpdater.h"
#include "PulseAudioEngine.h"
#include "PulseSourceWatch.h"
#include "QtClipboard.h"
#include "ServerFinalSpeechService.h"
#include "SessionBackends.h"
#include "SphinxSpeechService.h"
#include "WidgetPrompts.h"
#include "X11EventConnection.h"
#include "X11HotKeyService.h"
#include "X11KeyTranslator.h"
#include "X11KeyboardPoster.h"
#include "X11ModifierWatcher.h"
#include "X11Workspace.h"
#include "XdgInstalledApplications.h"
#include "XdgLoginItems.h"
#include "platform/SteadyClock.h"
#include "platform/Version.h"

#include <QSettings>

namespace talvex {

std::unique_ptr<LinuxServices> LinuxServices::open(QString *problem)
{
    auto events = x11::X11EventConnection::open();
    if (!events) {
        if (problem)
            *problem = QStringLiteral("Talvex needs an X11 display, and the one named by DISPLAY (\"%1\") "
                                      "could not be opened.")
                           .arg(qEnvironmentVariable("DISPLAY"));
        return nullptr;
    }
    std::unique_ptr<LinuxServices> services(new LinuxServices);
    services->m_clock = std::make_unique<SteadyClock>();
    services->m_events = events;
    services->m_hotKeys = std::make_unique<x11::X11HotKeyService>(events);
    services->m_modifierWatcher = std::make_unique<x11::X11ModifierWatcher>(events);
    services->m_workspace = std::make_unique<x11::X11Workspace>();
    services->m_accessibility = std::make_unique<atspi::AtspiAccessibility>();
    services->m_keyboard = std::make_unique<x11::X11KeyboardPoster>();
    services->m_clipboard = std::make_unique<x11::QtClipboard>();
    services->m_keys = std::make_unique<x11::X11KeyTranslator>(events);
    services->m_applications = std::make_unique<xdg::XdgInstalledApplications>();
    // After a relaunch in place: the clipboard the previous image owned.
    update::ClipboardCarry::takeBack();
    services->m_languageModel = std::make_unique<ChatCompletionsModel>();
    services->m_prompts = std::make_unique<WidgetPrompts>();
    services->m_captureSources = std::make_unique<PulseSourceWatch>();
    services->m_speech = new SphinxSpeechService(SphinxSpeechService::defaultModelRoot(),
                                                 SphinxSpeechService::Preload::dictation,
                                                 SphinxSpeechService::defaultMeanFolder());
    services->m_finalSpeech =
        ServerFinalSpeechService::fromEnvironment(*services->m_speech, QStringLiteral("PocketSphinx"));
    // A development build registers no autostart entry and has no updater.
    const update::Installation installation = update::Installation::current();
    services->m_loginItems = std::make_unique<xdg::XdgLoginItems>(
        xdg::XdgLoginItems::defaultFolder(), installation.kind == update::Installation::Kind::developmentBuild
                                                 ? std::nullopt
                                                 : std::optional(installation.launchPath));
    services->m_updater = update::LinuxUpdater::create(
        installation, update::UpdaterSettings::fromBuild(QString::fromLatin1(talvexVersion)),
        std::make_unique<QSettings>());
    services->m_session = SessionBackends::open(*services->m_accessibility);
    return services;
}

LinuxServices::~LinuxServices()
{
    m_session.reset(); // compositor bindings are removed before anything else goes
    // The grabs and the watcher's selection go before the connection they live on.
    m_modifierWatcher.reset();
    m_hotKeys.reset();
    if (m_events)
        m_events->sync();
}

TalvexDelegate::ShellServices LinuxServices::shellServices() const
{
    TalvexDelegate::ShellServices shell;
    shell.loginItems = m_loginItems.get();
    shell.updater = m_updater.get();
    shell.keys = m_keys.get();
    shell.applications = m_applications.get();
    shell.finalText = m_finalSpeech.get();
    shell.captureSources = m_captureSources.get();
    return shell;
}

std::chrono::milliseconds LinuxServices::speechServerBound() const
{
    return m_finalSpeech->serverBound();
}

const SessionPlan &LinuxServices::sessionPlan() const
{
    return m_session->plan();
}

ControllerServices LinuxServices::controllerServices(const QString &libraryPath) const
{
    ControllerServices services;
    services.clock = m_clock.get();
    services.languageModel = m_languageModel.get();
    services.speech = m_finalSpeech.get();
    services.makeAudioEngine = [] { return std::make_unique<PulseAudioEngine>(); };
    services.hotKeys = m_session->hotKeys(m_hotKeys.get());
    services.modifierWatcher = m_session->modifierWatcher(m_modifierWatcher.get());
    services.delivery = {m_session->workspace(m_workspace.get()), m_accessibility.get(),
                         m_session->keyboard(m_keyboard.get()), m_session->clipboard(m_clipboard.get()),
                         m_clock.get()};
    services.prompts = m_prompts.get();
    services.libraryPath = libraryPath;
    return services;
}

} // namespace talvex
