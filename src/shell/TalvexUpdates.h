#pragma once

#include "core/DictationController.h"
#include "platform/Updater.h"

#include <QMetaObject>
#include <QObject>
#include <QPointer>
#include <QString>
#include <functional>
#include <vector>

namespace talvex {

/// The application's side of the software updater: it starts the updater, publishes whether a check
/// can run now and whether updates install automatically, and keeps checks and relaunches from
/// interrupting a dictation. One per process, created by the application shell. Main thread only.
class TalvexUpdates final : public QObject, private UpdaterDelegate {
    Q_OBJECT
    /// The menu's and the settings window's "Check for Updates…" are enabled only while this is true
    /// (and the dictation is idle).
    Q_PROPERTY(bool canCheck READ canCheck NOTIFY canCheckChanged)
    /// The settings toggle "Automatically install updates".
    Q_PROPERTY(
        bool automaticUpdates READ automaticUpdates WRITE setAutomaticUpdates NOTIFY automaticUpdatesChanged)
    /// Empty while the toggle can be used; otherwise it is disabled and this sentence says why.
    Q_PROPERTY(QString automaticUpdatesNote READ automaticUpdatesNote NOTIFY automaticUpdatesNoteChanged)

  public:
    /// `updater` may be null (a build with no updater); it outlives this object.
    explicit TalvexUpdates(Updater *updater, QObject *parent = nullptr);
    ~TalvexUpdates() override;

    /// The reason a check is refused while a dictation runs.
    static QString dictationRefusalText();
    /// For the About window: what leaves the computer.
    static QString networkNoticeText();

    bool canCheck() const { return m_canCheck; }
    bool automaticUpdates() const { return m_automaticUpdates; }
    const QString &automaticUpdatesNote() const { return m_automaticUpdatesNote; }

    /// Starts the updater with `dictation` as the source of the dictation phase; once per process.
    void start(DictationController *dictation);
    /// Checks now, when the dictation is idle and the updater can check; otherwise does nothing.
    void check();
    void setAutomaticUpdates(bool enabled);
    /// Copies the updater's state into the published properties.
    void refresh();

    /// A relaunch is waiting for the dictation to end.
    bool hasPendingInstall() const { return static_cast<bool>(m_pendingInstall); }

  signals:
    void canCheckChanged();
    void automaticUpdatesChanged();
    void automaticUpdatesNoteChanged();

  private:
    QString refusalBeforeCheck() override;
    bool postponeRelaunch(std::function<void()> proceed) override;
    void installWhenIdle();
    bool dictationIdle() const;
    bool dictationQuiet() const;

    Updater *m_updater = nullptr;
    QPointer<DictationController> m_dictation;
    bool m_started = false;
    bool m_canCheck = false;
    bool m_automaticUpdates = false;
    QString m_automaticUpdatesNote;
    std::function<void()> m_pendingInstall;
    std::vector<QMetaObject::Connection> m_watches; ///< the dictation's changes, while a relaunch waits
};

} // namespace talvex
