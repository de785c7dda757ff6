#include "LinuxTestServices.h"

#include "AtspiAccessibility.h"
#include "ChatCompletionsModel.h"
#include "PulseAudioEngine.h"
#include "QtClipboard.h"
#include "SphinxSpeechService.h"
#include "X11EventConnection.h"
#include "X11HotKeyService.h"
#include "X11KeyTranslator.h"
#include "X11KeyboardPoster.h"
#include "X11ModifierWatcher.h"
#include "X11Workspace.h"
#include "platform/SteadyClock.h"
#include "platform/UserPrompts.h"

namespace talvex::test {

namespace {

// One per process, never deleted, as in the application: a model load may still run on its
// worker thread when the process ends.
SphinxSpeechService &speech()
{
    static auto *service = new SphinxSpeechService;
    return *service;
}

/// Every panel cancelled, every alert dismissed: no test here answers one.
class NoPrompts final : public UserPrompts {
  public:
    std::optional<QString> chooseSaveLocation(const FilePanelRequest &) override { return std::nullopt; }
    std::optional<QString> chooseOpenLocation(const FilePanelRequest &) override { return std::nullopt; }
    int alert(const AlertRequest &) override { return -1; }
};

} // namespace

std::unique_ptr<LinuxTestServices> LinuxTestServices::open()
{
    auto events = x11::X11EventConnection::open();
    if (!events)
        return nullptr;
    std::unique_ptr<LinuxTestServices> services(new LinuxTestServices);
    services->m_clock = std::make_unique<SteadyClock>();
    services->m_events = events;
    services->m_hotKeys = std::make_unique<x11::X11HotKeyService>(events);
    services->m_modifierWatcher = std::make_unique<x11::X11ModifierWatcher>(events);
    services->m_keys = std::make_unique<x11::X11KeyTranslator>(events);
    services->m_workspace = std::make_unique<x11::X11Workspace>();
    services->m_accessibility = std::make_unique<atspi::AtspiAccessibility>();
    services->m_keyboard = std::make_unique<x11::X11KeyboardPoster>();
    services->m_clipboard = std::make_unique<x11::QtClipboard>();
    services->m_languageModel = std::make_unique<ChatCompletionsModel>();
    services->m_prompts = std::make_unique<NoPrompts>();
    return services;
}

LinuxTestServices::~LinuxTestServices()
{
    // The grabs and the watcher's selection go before the connection they live on.
    m_modifierWatcher.reset();
    m_hotKeys.reset();
    if (m_events)
        m_events->sync();
}

ControllerServices LinuxTestServices::controllerServices(const QString &libraryPath)
{
    ControllerServices services;
    services.clock = m_clock.get();
    services.languageModel = m_languageModel.get();
    services.speech = &speech();
    services.makeAudioEngine = [] { return std::make_unique<PulseAudioEngine>(); };
    services.hotKeys = m_hotKeys.get();
    services.modifierWatcher = m_modifierWatcher.get();
    services.delivery = {m_workspace.get(), m_accessibility.get(), m_keyboard.get(), m_clipboard.get(),
                         m_clock.get()};
    services.prompts = m_prompts.get();
    services.libraryPath = libraryPath;
    return services;
}

const KeyTranslator &LinuxTestServices::keys() const
{
    return *m_keys;
}

} // namespace talvex::test
