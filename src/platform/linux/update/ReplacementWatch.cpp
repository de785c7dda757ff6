#include "ReplacementWatch.h"

#include "platform/Logging.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <sys/stat.h>
#include <unistd.h>

namespace talvex::update {

namespace {

// Change notices can be missed (network file systems); a slow look now and then catches those.
constexpr auto pollInterval = std::chrono::minutes(5);

} // namespace

ReplacementWatch::ReplacementWatch(Installation installation, std::chrono::milliseconds settle,
                                   QObject *parent)
    : QObject(parent), m_installation(std::move(installation))
{
    m_original = identityNow();
    m_reported = m_original;
    m_settle.setSingleShot(true);
    m_settle.setInterval(settle);
    connect(&m_settle, &QTimer::timeout, this, &ReplacementWatch::settled);
    m_poll.setInterval(pollInterval);
    connect(&m_poll, &QTimer::timeout, this, &ReplacementWatch::recheck);
    m_poll.start();
    // Watching the folder sees a file or link renamed over the old one, which a watch on the file
    // itself would lose with the old inode.
    const QString folder = m_installation.kind == Installation::Kind::userFolder
                               ? m_installation.root
                               : QFileInfo(m_installation.executable).path();
    if (!m_watcher.addPath(folder))
        qCWarning(lcApp).noquote() << "Cannot watch" << folder << "for updates; looking every few minutes";
    connect(&m_watcher, &QFileSystemWatcher::directoryChanged, this, &ReplacementWatch::recheck);
}

std::optional<ReplacementWatch::Identity> ReplacementWatch::identityNow() const
{
    Identity identity;
    if (m_installation.kind == Installation::Kind::userFolder) {
        identity.selected = m_installation.selectedVersionFolder();
        if (identity.selected.isEmpty())
            return std::nullopt;
        return identity;
    }
    struct stat status {};
    if (::stat(QFile::encodeName(m_installation.executable).constData(), &status) != 0)
        return std::nullopt;
    identity.device = status.st_dev;
    identity.inode = status.st_ino;
    return identity;
}

bool ReplacementWatch::runningImageDeleted() const
{
    return QFile::symLinkTarget(QStringLiteral("/proc/self/exe")).endsWith(QLatin1String(" (deleted)"));
}

bool ReplacementWatch::isReplaced() const
{
    const std::optional<Identity> now = identityNow();
    // Nothing there (a package being removed, a broken link): nothing to start instead.
    if (!now || ::access(QFile::encodeName(m_installation.launchPath).constData(), X_OK) != 0)
        return false;
    return now != m_original ||
           (m_installation.kind != Installation::Kind::userFolder && runningImageDeleted());
}

void ReplacementWatch::recheck()
{
    // A folder that was removed and made again is no longer watched.
    if (m_watcher.directories().isEmpty()) {
        const QString folder = m_installation.kind == Installation::Kind::userFolder
                                   ? m_installation.root
                                   : QFileInfo(m_installation.executable).path();
        m_watcher.addPath(folder);
    }
    if (isReplaced() && identityNow() != m_reported)
        m_settle.start();
}

void ReplacementWatch::settled()
{
    const std::optional<Identity> now = identityNow();
    if (!isReplaced() || now == m_reported)
        return;
    m_reported = now;
    qCInfo(lcApp).noquote() << "Talvex was replaced on disk:" << m_installation.launchPath;
    emit replaced();
}

} // namespace talvex::update
