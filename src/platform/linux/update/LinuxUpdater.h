#pragma once

#include "FeedSignature.h"
#include "Installation.h"
#include "ReleaseFeed.h"
#include "ReleaseVersion.h"
#include "ReplacementWatch.h"
#include "UpdateDialog.h"
#include "Updater.h"

#include <QCoro/QCoroTask>
#include <QNetworkAccessManager>
#include <QObject>
#include <QPointer>
#include <QSettings>
#include <QTimer>
#include <QUrl>
#include <chrono>
#include <functional>
#include <memory>
#include <optional>

namespace talvex::update {

/// What an updater is configured with.
struct UpdaterSettings {
    QUrl feedUrl;         ///< empty: this build never checks (replacements are still noticed)
    QByteArray publicKey; ///< base64 Ed25519 key the feed must be signed with
    QString runningVersion;
    std::chrono::milliseconds checkInterval = std::chrono::hours(24);
    /// The first scheduled check after start, so a login is not slowed by it.
    std::chrono::milliseconds firstCheckDelay = std::chrono::minutes(2);
    /// A scheduled check refused because of a dictation is tried again after this.
    std::chrono::milliseconds retryAfterRefusal = std::chrono::hours(1);
    std::chrono::milliseconds relaunchSettle = std::chrono::seconds(2);
    /// Asked whether a path belongs to an installed package ("dpkg-query -S PATH").
    QString packageQuery = QStringLiteral("dpkg-query");

    /// The build's feed and key, with TALVEX_UPDATE_FEED overriding the feed ("off" = none).
    static UpdaterSettings fromBuild(const QString &runningVersion);
};

/// The updater on Linux: checks a signed release feed, installs releases into a user-folder
/// installation, points a package-managed (or hand-placed) installation's user at the release page,
/// and relaunches Talvex in place once the installation it runs from has been replaced. The
/// decisions about dictations are its delegate's. Main thread only.
class LinuxUpdater final : public QObject, public Updater {
    Q_OBJECT
  public:
    enum class Kind {
        unknown,        ///< still asking the package manager
        userFolder,     ///< updated by this updater
        packageManaged, ///< updated by the system's package manager only
        placedByHand,   ///< in a system folder but no package's: never modified either
    };

    /// Null for a development build, which has no updater. `defaults` keeps the automatic-updates
    /// setting and the time of the last scheduled check.
    static std::unique_ptr<LinuxUpdater> create(const Installation &installation, UpdaterSettings settings,
                                                std::unique_ptr<QSettings> defaults);
    ~LinuxUpdater() override;

    // Updater
    void start(UpdaterDelegate *delegate, std::function<void()> changed) override;
    bool canCheckForUpdates() const override;
    bool automaticallyDownloadsUpdates() const override;
    void setAutomaticallyDownloadsUpdates(bool enabled) override;
    QString automaticUpdatesNote() const override;
    void checkForUpdates() override;

    Kind kind() const { return m_kind; }
    const UpdatePrompt &prompt() const { return m_prompt; }
    /// The dialog, once a check by the user has opened it.
    UpdateDialog *dialog() const { return m_dialog.get(); }

    /// A check as the schedule runs it: no dialog, and an automatic install when allowed.
    void runScheduledCheck();
    /// The dialog's action: install the offered release, or open its page.
    void choose(UpdatePrompt::Action action);

    /// What replaces the process image; tests record instead. Returns only on failure, with why.
    void
    setRelauncher(std::function<QString(const QString &executable, const QStringList &arguments)> relauncher);

    static QString packageManagedNote();
    static QString placedByHandNote();
    static QString noFeedNote();

    static constexpr auto automaticKey = "automaticallyDownloadsUpdates";
    static constexpr auto lastCheckKey = "lastUpdateCheck";

  signals:
    void promptChanged();
    /// A check or install ended (its outcome is in `prompt`).
    void finished();

  private:
    LinuxUpdater(Installation installation, UpdaterSettings settings, std::unique_ptr<QSettings> defaults);

    QCoro::Task<> check(bool byUser);
    QCoro::Task<> install(ReleaseFeed release);
    void learnKind();
    void setKind(Kind kind);
    void setPrompt(UpdatePrompt prompt);
    void setBusy(bool busy);
    void showDialog();
    void schedule();
    void onReplaced();
    void relaunchNow();
    void notify();

    Installation m_installation;
    UpdaterSettings m_settings;
    std::unique_ptr<QSettings> m_defaults;
    FeedSignature m_key;
    std::optional<ReleaseVersion> m_running;
    std::shared_ptr<QNetworkAccessManager> m_network;
    UpdaterDelegate *m_delegate = nullptr;
    std::function<void()> m_changed;
    std::function<QString(const QString &, const QStringList &)> m_relauncher;
    QStringList m_arguments;
    Kind m_kind = Kind::unknown;
    bool m_started = false;
    bool m_busy = false;
    std::optional<ReleaseFeed> m_offered;
    UpdatePrompt m_prompt;
    std::unique_ptr<UpdateDialog> m_dialog;
    std::unique_ptr<ReplacementWatch> m_watch;
    QTimer m_schedule;
};

} // namespace talvex::update
