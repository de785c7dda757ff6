#include "TalvexDelegate.h"

#include "platform/Logging.h"

#include <QMetaEnum>

namespace talvex {

TalvexDelegate::TalvexDelegate(ControllerServices services, LoginItems &loginItems, Updater *updater,
                               QObject *parent)
    : QObject(parent), m_controller(std::make_unique<DictationController>(std::move(services))),
      m_launchAtLogin(std::make_unique<LaunchAtLogin>(loginItems, std::make_unique<QSettings>())),
      m_updates(std::make_unique<TalvexUpdates>(updater))
{
    // Phase changes and readiness at debug and info level: the timeline of a dictation and the
    // moment it can start can be read from the log without any transcript text.
    connect(m_controller.get(), &DictationController::phaseChanged, this, &TalvexDelegate::logPhase);
    connect(m_controller.get(), &DictationController::speechStatusChanged, this,
            [this] { qCInfo(lcApp).noquote() << "Speech status:" << m_controller->speechStatus(); });
}

TalvexDelegate::~TalvexDelegate() = default;

void TalvexDelegate::applicationDidFinishLaunching()
{
    m_launchAtLogin->configureDefault();
    m_controller->activate();
    // Then the recorder panel connects to the controller (it does not exist yet, so a dictation
    // runs without visible feedback).
    m_updates->start(m_controller.get());
    // Then the onboarding window opens on first run or with "--onboarding" (not built yet).
}

void TalvexDelegate::logPhase()
{
    const char *name =
        QMetaEnum::fromType<DictationController::Phase>().valueToKey(static_cast<int>(m_controller->phase()));
    qCDebug(lcApp, "Phase %s", name ? name : "?");
}

} // namespace talvex
