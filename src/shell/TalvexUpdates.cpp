#include "TalvexUpdates.h"

#include "platform/Logging.h"

namespace talvex {

TalvexUpdates::TalvexUpdates(Updater *updater, QObject *parent) : QObject(parent), m_updater(updater)
{
}

TalvexUpdates::~TalvexUpdates() = default;

QString TalvexUpdates::dictationRefusalText()
{
    return QStringLiteral("Finish dictating before checking for updates.");
}

QString TalvexUpdates::networkNoticeText()
{
    return QStringLiteral("Update checks are the only network traffic Talvex makes.");
}

void TalvexUpdates::start(DictationController *dictation)
{
    if (m_started)
        return;
    m_started = true;
    m_dictation = dictation;
    if (!m_updater)
        return;
    // The updater may report from other threads; the published state changes on the main thread.
    QPointer<TalvexUpdates> self(this);
    m_updater->start(this, [self] {
        if (self)
            QMetaObject::invokeMethod(self.data(), &TalvexUpdates::refresh, Qt::QueuedConnection);
    });
    refresh();
}

void TalvexUpdates::check()
{
    if (!m_dictation || m_dictation->phase() != Phase::idle)
        return;
    if (!m_started || !m_updater || !m_updater->canCheckForUpdates())
        return;
    m_updater->checkForUpdates();
}

void TalvexUpdates::setAutomaticUpdates(bool enabled)
{
    if (m_started && m_updater)
        m_updater->setAutomaticallyDownloadsUpdates(enabled);
    refresh();
}

void TalvexUpdates::refresh()
{
    const bool running = m_started && m_updater;
    const bool canCheck = running && m_updater->canCheckForUpdates();
    const bool automatic = running && m_updater->automaticallyDownloadsUpdates();
    const QString note = running ? m_updater->automaticUpdatesNote() : QString();
    if (canCheck != m_canCheck) {
        m_canCheck = canCheck;
        emit canCheckChanged();
    }
    if (automatic != m_automaticUpdates) {
        m_automaticUpdates = automatic;
        emit automaticUpdatesChanged();
    }
    if (note != m_automaticUpdatesNote) {
        m_automaticUpdatesNote = note;
        emit automaticUpdatesNoteChanged();
    }
}

QString TalvexUpdates::refusalBeforeCheck()
{
    if (!dictationIdle())
        return dictationRefusalText();
    return {};
}

bool TalvexUpdates::postponeRelaunch(std::function<void()> proceed)
{
    if (dictationQuiet())
        return false;
    // Only the newest request matters: it describes what is on disk now.
    m_pendingInstall = std::move(proceed);
    qCInfo(lcApp, "Relaunch postponed until the dictation ends");
    installWhenIdle();
    return true;
}

void TalvexUpdates::installWhenIdle()
{
    if (!dictationQuiet()) {
        if (m_watches.empty()) {
            auto again = [this] {
                for (const QMetaObject::Connection &watch : std::exchange(m_watches, {}))
                    disconnect(watch);
                QMetaObject::invokeMethod(this, &TalvexUpdates::installWhenIdle, Qt::QueuedConnection);
            };
            m_watches = {
                connect(m_dictation, &DictationController::phaseChanged, this, again),
                // A practice paste holds a paste key and the clipboard while the phase stays idle.
                connect(m_dictation, &DictationController::testingPracticePasteChanged, this, again),
                connect(m_dictation, &QObject::destroyed, this, again),
            };
        }
        return;
    }
    std::function<void()> install = std::exchange(m_pendingInstall, nullptr);
    if (install)
        install();
}

bool TalvexUpdates::dictationIdle() const
{
    return !m_dictation || m_dictation->phase() == Phase::idle;
}

bool TalvexUpdates::dictationQuiet() const
{
    // A relaunch also waits for a practice paste: it holds a paste key and the user's clipboard
    // while the phase stays idle, and a new process image would drop both.
    return !m_dictation || (m_dictation->phase() == Phase::idle && !m_dictation->testingPracticePaste());
}

} // namespace talvex
