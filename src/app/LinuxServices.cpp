#include "LinuxServices.h"

#include "AtspiAccessibility.h"
#include "ChatCompletionsModel.h"
#include "PulseAudioEngine.h"
#include "QtClipboard.h"
#include "SphinxSpeechService.h"
#include "WidgetPrompts.h"
#include "X11EventConnection.h"
#include "X11HotKeyService.h"
#include "X11KeyboardPoster.h"
#include "X11ModifierWatcher.h"
#include "X11Workspace.h"
#include "platform/SteadyClock.h"

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
    services->m_languageModel = std::make_unique<ChatCompletionsModel>();
    services->m_prompts = std::make_unique<WidgetPrompts>();
    services->m_speech = new SphinxSpeechService(SphinxSpeechService::defaultModelRoot(),
                                                 SphinxSpeechService::Preload::dictation,
                                                 SphinxSpeechService::defaultMeanFolder());
    return services;
}

LinuxServices::~LinuxServices()
{
    // The grabs and the watcher's selection go before the connection they live on.
    m_modifierWatcher.reset();
    m_hotKeys.reset();
    if (m_events)
        m_events->sync();
}

ControllerServices LinuxServices::controllerServices(const QString &libraryPath) const
{
    ControllerServices services;
    services.clock = m_clock.get();
    services.languageModel = m_languageModel.get();
    services.speech = m_speech;
    services.makeAudioEngine = [] { return std::make_unique<PulseAudioEngine>(); };
    services.hotKeys = m_hotKeys.get();
    services.modifierWatcher = m_modifierWatcher.get();
    services.delivery = {m_workspace.get(), m_accessibility.get(), m_keyboard.get(), m_clipboard.get(),
                         m_clock.get()};
    services.prompts = m_prompts.get();
    services.libraryPath = libraryPath;
    return services;
}

} // namespace talvex
