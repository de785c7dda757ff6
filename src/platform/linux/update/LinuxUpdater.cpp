#include "LinuxUpdater.h"

#include "FeedCheck.h"
#include "Relaunch.h"
#include "ReleaseInstaller.h"
#include "UpdateConfig.h"
#include "platform/Logging.h"

#include <QCoro/QCoroTask>
#include <QDateTime>
#include <QDesktopServices>
#include <QProcess>

namespace talvex::update {

namespace {

const char *kindName(LinuxUpdater::Kind kind)
{
    switch (kind) {
    case LinuxUpdater::Kind::userFolder:
        return "user folder";
    case LinuxUpdater::Kind::packageManaged:
        return "package";
    case LinuxUpdater::Kind::placedByHand:
        return "system folder";
    case LinuxUpdater::Kind::unknown:
        break;
    }
    return "unknown";
}

} // namespace

UpdaterSettings UpdaterSettings::fromBuild(const QString &runningVersion)
{
    UpdaterSettings settings;
    settings.runningVersion = runningVersion;
    settings.publicKey = QByteArray(updatePublicKey);
    QString feed = QString::fromUtf8(updateFeedUrl);
    if (qEnvironmentVariableIsSet("TALVEX_UPDATE_FEED"))
        feed = qEnvironmentVariable("TALVEX_UPDATE_FEED");
    if (feed.isEmpty() || feed == QLatin1String("off"))
        return settings;
    const QUrl url(feed, QUrl::StrictMode);
    if (!url.isValid() || !isAllowedUpdateUrl(url)) {
        qCWarning(lcApp).noquote() << "Update checks are off: the feed" << feed
                                   << "is not an HTTPS address (plain HTTP only on loopback)";
        return settings;
    }
    settings.feedUrl = url;
    return settings;
}

std::unique_ptr<LinuxUpdater> LinuxUpdater::create(const Installation &installation, UpdaterSettings settings,
                                                   std::unique_ptr<QSettings> defaults)
{
    if (installation.kind == Installation::Kind::developmentBuild) {
        qCInfo(lcApp, "A development build run from its build folder has no updater");
        return nullptr;
    }
    return std::unique_ptr<LinuxUpdater>(
        new LinuxUpdater(installation, std::move(settings), std::move(defaults)));
}

LinuxUpdater::LinuxUpdater(Installation installation, UpdaterSettings settings,
                           std::unique_ptr<QSettings> defaults)
    : m_installation(std::move(installation)), m_settings(std::move(settings)),
      m_defaults(std::move(defaults)), m_key(m_settings.publicKey),
      m_running(ReleaseVersion::parse(m_settings.runningVersion)),
      m_network(std::make_shared<QNetworkAccessManager>()), m_relauncher(&relaunchInPlace),
      m_arguments(processArguments())
{
    if (!m_settings.feedUrl.isEmpty() && (!m_key.isValid() || !m_running)) {
        qCWarning(lcApp, "Update checks are off: this build has no release key to check feeds with");
        m_settings.feedUrl.clear();
    }
    m_schedule.setSingleShot(true);
    connect(&m_schedule, &QTimer::timeout, this, &LinuxUpdater::runScheduledCheck);
}

LinuxUpdater::~LinuxUpdater() = default;

QString LinuxUpdater::packageManagedNote()
{
    return QStringLiteral("Your system’s package manager updates Talvex.");
}

QString LinuxUpdater::placedByHandNote()
{
    return QStringLiteral(
        "Talvex can’t update itself in the folder it was installed to; install new versions "
        "the way you installed this one.");
}

QString LinuxUpdater::noFeedNote()
{
    return QStringLiteral("This build of Talvex does not check for updates.");
}

void LinuxUpdater::start(UpdaterDelegate *delegate, std::function<void()> changed)
{
    if (m_started)
        return;
    m_started = true;
    m_delegate = delegate;
    m_changed = std::move(changed);
    m_watch = std::make_unique<ReplacementWatch>(m_installation, m_settings.relaunchSettle);
    connect(m_watch.get(), &ReplacementWatch::replaced, this, &LinuxUpdater::onReplaced);
    learnKind();
}

void LinuxUpdater::learnKind()
{
    if (m_installation.kind == Installation::Kind::userFolder) {
        setKind(Kind::userFolder);
        return;
    }
    // Asking the package database can take a moment: it answers while Talvex goes on starting.
    auto *query = new QProcess(this);
    query->setProgram(m_settings.packageQuery);
    query->setArguments({QStringLiteral("-S"), m_installation.executable});
    query->setStandardOutputFile(QProcess::nullDevice());
    query->setStandardErrorFile(QProcess::nullDevice());
    auto answer = [this, query](bool owned) {
        if (m_kind == Kind::unknown)
            setKind(owned ? Kind::packageManaged : Kind::placedByHand);
        query->deleteLater();
    };
    connect(query, &QProcess::finished, this, [answer](int code, QProcess::ExitStatus status) {
        answer(status == QProcess::NormalExit && code == 0);
    });
    connect(query, &QProcess::errorOccurred, this, [answer](QProcess::ProcessError error) {
        if (error == QProcess::FailedToStart)
            answer(false); // no package database of that kind: nothing owns the file
    });
    query->start();
}

void LinuxUpdater::setKind(Kind kind)
{
    m_kind = kind;
    qCInfo(lcApp, "Installation: %s; update checks %s", kindName(kind),
           m_settings.feedUrl.isEmpty() ? "off" : "on");
    schedule();
    notify();
}

bool LinuxUpdater::canCheckForUpdates() const
{
    return m_started && !m_settings.feedUrl.isEmpty() && m_kind != Kind::unknown && !m_busy;
}

bool LinuxUpdater::automaticallyDownloadsUpdates() const
{
    return m_kind == Kind::userFolder && !m_settings.feedUrl.isEmpty() &&
           m_defaults->value(QLatin1String(automaticKey), false).toBool();
}

void LinuxUpdater::setAutomaticallyDownloadsUpdates(bool enabled)
{
    if (m_kind == Kind::userFolder && !m_settings.feedUrl.isEmpty()) {
        m_defaults->setValue(QLatin1String(automaticKey), enabled);
        m_defaults->sync();
        schedule();
    }
    notify();
}

QString LinuxUpdater::automaticUpdatesNote() const
{
    if (m_settings.feedUrl.isEmpty())
        return noFeedNote();
    if (m_kind == Kind::packageManaged)
        return packageManagedNote();
    if (m_kind == Kind::placedByHand)
        return placedByHandNote();
    return {};
}

void LinuxUpdater::checkForUpdates()
{
    check(true);
}

void LinuxUpdater::runScheduledCheck()
{
    if (automaticallyDownloadsUpdates())
        check(false);
}

void LinuxUpdater::setRelauncher(std::function<QString(const QString &, const QStringList &)> relauncher)
{
    m_relauncher = std::move(relauncher);
}

QCoro::Task<> LinuxUpdater::check(bool byUser)
{
    if (!canCheckForUpdates()) {
        if (byUser && m_busy)
            showDialog();
        co_return;
    }
    const QString refusal = m_delegate ? m_delegate->refusalBeforeCheck() : QString();
    if (!refusal.isEmpty()) {
        qCInfo(lcApp).noquote() << "Update check cancelled:" << refusal;
        if (byUser) {
            setPrompt({refusal});
            showDialog();
        } else {
            m_schedule.start(m_settings.retryAfterRefusal);
        }
        emit finished();
        co_return;
    }

    setBusy(true);
    setPrompt({QStringLiteral("Checking for updates…"), UpdatePrompt::Action::none, true});
    if (byUser)
        showDialog();
    QPointer<LinuxUpdater> self(this);
    const FeedVerdict verdict = co_await checkFeed(m_network, m_settings.feedUrl, m_key, *m_running);
    if (!self)
        co_return;
    setBusy(false);
    if (verdict.kind != FeedVerdict::Kind::refused) {
        m_defaults->setValue(QLatin1String(lastCheckKey), QDateTime::currentDateTimeUtc());
        m_defaults->sync();
    }
    qCInfo(lcApp).noquote() << "Update check:" << verdict.message;

    if (verdict.kind == FeedVerdict::Kind::newer) {
        m_offered = verdict.feed;
        if (m_kind == Kind::userFolder) {
            if (!byUser) {
                // Automatic updates: install without asking; the relaunch waits for a quiet moment.
                co_await install(*m_offered);
                if (self)
                    schedule();
                co_return;
            }
            setPrompt({verdict.message, UpdatePrompt::Action::install});
        } else {
            const QString where = m_kind == Kind::packageManaged
                                      ? QStringLiteral(" Your system’s package manager installs it.")
                                      : QString();
            setPrompt({verdict.message + where, UpdatePrompt::Action::openPage});
        }
    } else {
        setPrompt({verdict.message});
    }
    if (!byUser)
        schedule();
    emit finished();
}

void LinuxUpdater::choose(UpdatePrompt::Action action)
{
    if (!m_offered || m_busy)
        return;
    if (action == UpdatePrompt::Action::install) {
        install(*m_offered);
    } else if (action == UpdatePrompt::Action::openPage) {
        QDesktopServices::openUrl(m_offered->releasePage);
        if (m_dialog)
            m_dialog->accept();
    }
}

QCoro::Task<> LinuxUpdater::install(ReleaseFeed release)
{
    if (m_kind != Kind::userFolder || m_busy)
        co_return;
    setBusy(true);
    const QString version = release.version.text();
    setPrompt({QStringLiteral("Installing Talvex %1…").arg(version), UpdatePrompt::Action::none, true});
    QPointer<LinuxUpdater> self(this);
    const QString failure = co_await ReleaseInstaller::install(m_network, m_installation, std::move(release));
    if (!self)
        co_return;
    setBusy(false);
    if (!failure.isEmpty()) {
        qCWarning(lcApp).noquote() << "Update not installed:" << failure;
        setPrompt({failure});
    } else {
        m_offered.reset();
        setPrompt(
            {QStringLiteral("Talvex %1 is installed. Talvex relaunches into it when you are not dictating.")
                 .arg(version)});
        m_watch->recheck();
    }
    emit finished();
}

void LinuxUpdater::onReplaced()
{
    QPointer<LinuxUpdater> self(this);
    auto proceed = [self] {
        if (self)
            self->relaunchNow();
    };
    if (m_delegate && m_delegate->postponeRelaunch(proceed))
        return;
    relaunchNow();
}

void LinuxUpdater::relaunchNow()
{
    if (!m_watch || !m_watch->isReplaced()) {
        qCInfo(lcApp, "No relaunch: the installation runs this version again");
        return;
    }
    qCInfo(lcApp).noquote() << "Relaunching into" << m_installation.launchPath;
    const QString failure = m_relauncher(m_installation.launchPath, m_arguments);
    if (failure.isEmpty())
        return;
    qCWarning(lcApp).noquote() << "Relaunch failed:" << failure;
    setPrompt({QStringLiteral("Talvex couldn’t relaunch into the new version: %1.").arg(failure)});
}

void LinuxUpdater::schedule()
{
    m_schedule.stop();
    if (!m_started || !automaticallyDownloadsUpdates())
        return;
    const QDateTime last = m_defaults->value(QLatin1String(lastCheckKey)).toDateTime();
    const QDateTime now = QDateTime::currentDateTimeUtc();
    const auto interval = std::chrono::duration_cast<std::chrono::milliseconds>(m_settings.checkInterval);
    std::chrono::milliseconds due(0);
    if (last.isValid() && last <= now)
        due = std::chrono::milliseconds(std::max<qint64>(0, now.msecsTo(last.addMSecs(interval.count()))));
    m_schedule.start(std::max(due, m_settings.firstCheckDelay));
}

void LinuxUpdater::setPrompt(UpdatePrompt prompt)
{
    if (prompt == m_prompt)
        return;
    m_prompt = std::move(prompt);
    if (m_dialog)
        m_dialog->showPrompt(m_prompt);
    emit promptChanged();
}

void LinuxUpdater::setBusy(bool busy)
{
    if (busy == m_busy)
        return;
    m_busy = busy;
    notify();
}

void LinuxUpdater::showDialog()
{
    if (!m_dialog) {
        m_dialog = std::make_unique<UpdateDialog>();
        connect(m_dialog.get(), &UpdateDialog::actionChosen, this, &LinuxUpdater::choose);
    }
    m_dialog->showPrompt(m_prompt);
    m_dialog->show();
    m_dialog->raise();
    m_dialog->activateWindow();
}

void LinuxUpdater::notify()
{
    if (m_changed)
        m_changed();
}

} // namespace talvex::update
