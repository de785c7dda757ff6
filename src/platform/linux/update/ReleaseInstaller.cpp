#include "ReleaseInstaller.h"

#include "Transfer.h"
#include "platform/Logging.h"

#include <QCoro/QCoroProcess>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QUuid>
#include <cerrno>
#include <cstdio>
#include <cstring>

namespace talvex::update {

namespace {

constexpr auto stagingPrefix = ".staging-";
constexpr auto linkPrefix = ".current-";
constexpr auto unpackLimit = std::chrono::minutes(5);
constexpr auto versionCheckLimit = std::chrono::seconds(20);

// Leftovers of installs that were cut off (the process ended mid-way).
void clearLeftovers(const QDir &root)
{
    const QStringList names = root.entryList(
        {QLatin1String(stagingPrefix) + QLatin1Char('*'), QLatin1String(linkPrefix) + QLatin1Char('*')},
        QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    for (const QString &name : names) {
        const QString path = root.filePath(name);
        if (QFileInfo(path).isDir() && !QFileInfo(path).isSymLink())
            QDir(path).removeRecursively();
        else
            QFile::remove(path);
    }
}

QString firstLine(const QByteArray &output)
{
    return QString::fromLocal8Bit(output).trimmed().section(QLatin1Char('\n'), 0, 0);
}

QCoro::Task<QString> unpack(QString archive, QString into)
{
    QProcess tar;
    tar.setProgram(QStringLiteral("tar"));
    // GNU tar refuses member names that climb out with "..", and strips leading slashes.
    tar.setArguments({QStringLiteral("--extract"), QStringLiteral("--file"), archive,
                      QStringLiteral("--directory"), into, QStringLiteral("--no-same-owner")});
    co_await qCoro(tar).start();
    if (tar.state() == QProcess::NotRunning)
        co_return QStringLiteral("Talvex couldn’t unpack the update: tar did not start.");
    if (!co_await qCoro(tar).waitForFinished(unpackLimit)) {
        tar.kill();
        tar.waitForFinished();
        co_return QStringLiteral("Talvex couldn’t unpack the update: tar did not finish.");
    }
    if (tar.exitStatus() != QProcess::NormalExit || tar.exitCode() != 0)
        co_return QStringLiteral("Talvex couldn’t unpack the update: %1")
            .arg(firstLine(tar.readAllStandardError()));
    co_return QString();
}

// The unpacked release: the one folder at the top of the archive, or the top itself.
QString releaseTree(const QString &unpacked)
{
    const QDir top(unpacked);
    if (QFileInfo(top.filePath(QStringLiteral("bin/talvex"))).isFile())
        return unpacked;
    const QStringList entries =
        top.entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    if (entries.size() == 1 && QFileInfo(top.filePath(entries.first())).isDir() &&
        !QFileInfo(top.filePath(entries.first())).isSymLink() &&
        QFileInfo(top.filePath(entries.first() + QStringLiteral("/bin/talvex"))).isFile())
        return top.filePath(entries.first());
    return {};
}

// The new talvex must start on this machine and say which release it is before it replaces anything.
QCoro::Task<QString> checkRuns(QString executable, QString version)
{
    QProcess process;
    process.setProgram(executable);
    process.setArguments({QStringLiteral("--version")});
    co_await qCoro(process).start(QIODevice::ReadOnly);
    if (process.state() == QProcess::NotRunning)
        co_return QStringLiteral("The downloaded talvex does not start on this computer, so Talvex kept this "
                                 "version.");
    if (!co_await qCoro(process).waitForFinished(versionCheckLimit)) {
        process.kill();
        process.waitForFinished();
        co_return QStringLiteral("The downloaded talvex did not answer, so Talvex kept this version.");
    }
    const QString said = firstLine(process.readAllStandardOutput());
    if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0 ||
        said != QStringLiteral("Talvex ") + version)
        co_return QStringLiteral(
            "The downloaded talvex says “%1” instead of “Talvex %2”, so Talvex kept this "
            "version.")
            .arg(said, version);
    co_return QString();
}

// Removes every version but the ones named; a failure only costs disk space.
void pruneVersions(const QDir &versions, const QStringList &keep)
{
    for (const QFileInfo &entry : versions.entryInfoList(QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden)) {
        const QString path = entry.canonicalFilePath();
        if (entry.isSymLink() || keep.contains(path))
            continue;
        if (!QDir(path).removeRecursively())
            qCWarning(lcApp).noquote() << "Could not remove the old version" << path;
    }
}

} // namespace

bool ReleaseInstaller::switchCurrent(const Installation &installation, const QString &versionFolder,
                                     QString *error)
{
    const QDir root(installation.root);
    const QString target = root.relativeFilePath(versionFolder);
    // The new link is made aside and renamed over the old one: readers see one or the other.
    const QString fresh =
        root.filePath(QLatin1String(linkPrefix) + QUuid::createUuid().toString(QUuid::Id128));
    if (!QFile::link(target, fresh)) {
        *error = QStringLiteral("the link %1 could not be made").arg(fresh);
        return false;
    }
    if (std::rename(QFile::encodeName(fresh).constData(),
                    QFile::encodeName(installation.currentLink()).constData()) != 0) {
        *error = QString::fromLocal8Bit(std::strerror(errno));
        QFile::remove(fresh);
        return false;
    }
    return true;
}

QCoro::Task<QString> ReleaseInstaller::install(std::shared_ptr<QNetworkAccessManager> network,
                                               Installation installation, ReleaseFeed release)
{
    const QDir root(installation.root);
    const QString version = release.version.text();
    clearLeftovers(root);
    QTemporaryDir staging(root.filePath(QLatin1String(stagingPrefix) + QStringLiteral("XXXXXX")));
    if (!staging.isValid())
        co_return QStringLiteral("Talvex couldn’t make room for the update in %1.").arg(installation.root);

    // Download, counting and hashing what reaches the disk.
    const QString archivePath = staging.filePath(QStringLiteral("release-archive"));
    {
        QFile archive(archivePath);
        if (!archive.open(QIODevice::WriteOnly))
            co_return QStringLiteral("Talvex couldn’t save the update: %1.").arg(archive.errorString());
        const Transfer download =
            co_await fetchToFile(*network, release.archiveUrl, {release.archiveSize}, archive);
        archive.close();
        if (!download.failure.isEmpty())
            co_return download.failure;
    }
    QFile archive(archivePath);
    if (archive.size() != release.archiveSize)
        co_return QStringLiteral(
            "The downloaded update has %1 bytes, not the %2 the feed announced, so Talvex "
            "discarded it.")
            .arg(archive.size())
            .arg(release.archiveSize);
    QCryptographicHash sha256(QCryptographicHash::Sha256);
    if (!archive.open(QIODevice::ReadOnly) || !sha256.addData(&archive) ||
        sha256.result() != release.archiveSha256)
        co_return QStringLiteral(
            "The downloaded update does not match the feed’s SHA-256 checksum, so Talvex "
            "discarded it.");
    archive.close();

    const QString unpacked = staging.filePath(QStringLiteral("unpacked"));
    QDir().mkpath(unpacked);
    if (const QString failure = co_await unpack(archivePath, unpacked); !failure.isEmpty())
        co_return failure;
    const QString tree = releaseTree(unpacked);
    if (tree.isEmpty())
        co_return QStringLiteral("The update archive holds no bin/talvex, so Talvex discarded it.");
    if (const QString failure =
            co_await checkRuns(QDir(tree).filePath(QStringLiteral("bin/talvex")), version);
        !failure.isEmpty())
        co_return failure;

    // Into versions/, beside the running version.
    const QDir versions(root.filePath(QStringLiteral("versions")));
    const QString target = versions.filePath(version);
    const QString previous = installation.selectedVersionFolder();
    if (QFileInfo(target).canonicalFilePath() == previous && !previous.isEmpty())
        co_return QString(); // selected already; the relaunch into it is pending
    if (QFileInfo::exists(target) && !QDir().rename(target, staging.filePath(QStringLiteral("replaced"))))
        co_return QStringLiteral("Talvex couldn’t replace the earlier copy of %1 in %2.")
            .arg(version, versions.path());
    if (!QDir().rename(tree, target))
        co_return QStringLiteral("Talvex couldn’t move the update into %1.").arg(versions.path());

    QString error;
    if (!switchCurrent(installation, target, &error)) {
        QDir(target).removeRecursively();
        co_return QStringLiteral("Talvex couldn’t switch to the new version: %1.").arg(error);
    }
    qCInfo(lcApp).noquote() << "Installed Talvex" << version << "in" << target;
    pruneVersions(versions, {QFileInfo(target).canonicalFilePath(), previous, installation.versionFolder});
    co_return QString();
}

} // namespace talvex::update
