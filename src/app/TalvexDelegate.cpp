#include "TalvexDelegate.h"

#include "platform/Logging.h"

#include <QMetaEnum>

namespace talvex {

TalvexDelegate::TalvexDelegate(ControllerServices services, QObject *parent)
    : QObject(parent), m_controller(std::make_unique<DictationController>(std::move(services))),
      m_recorder(std::make_unique<RecorderPanel>())
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
    // The login item's first-run default is configured here once it exists.
    m_controller->activate();
    m_recorder->connect(*m_controller);
    // Then: the updater starts with the controller as its dictation source, and the onboarding
    // window opens on first run or with "--onboarding".
}

void TalvexDelegate::logPhase()
{
    const char *name =
        QMetaEnum::fromType<DictationController::Phase>().valueToKey(static_cast<int>(m_controller->phase()));
    qCDebug(lcApp, "Phase %s", name ? name : "?");
}

} // namespace talvex
