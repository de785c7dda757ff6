#include "Installation.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

#ifndef TALVEX_BUILD_FOLDER
#error "TALVEX_BUILD_FOLDER must name the build tree"
#endif

namespace talvex::update {

namespace {

bool isInside(const QString &path, const QString &folder)
{
    if (folder.isEmpty())
        return false;
    const QString prefix = folder.endsWith(QLatin1Char('/')) ? folder : folder + QLatin1Char('/');
    return path.startsWith(prefix);
}

} // namespace

Installation Installation::of(const QString &executable, const QString &buildFolder)
{
    Installation found;
    found.executable = executable;
    found.launchPath = executable;
    const QString build = QFileInfo(buildFolder).canonicalFilePath();
    if (isInside(executable, build)) {
        found.kind = Kind::developmentBuild;
        return found;
    }
    found.kind = Kind::system;

    // <root>/versions/<version>/bin/talvex
    const QFileInfo image(executable);
    const QDir bin = image.dir();
    QDir version = bin;
    QDir versions = bin;
    if (bin.dirName() != QLatin1String("bin") || !version.cdUp())
        return found;
    versions = version;
    if (!versions.cdUp() || versions.dirName() != QLatin1String("versions"))
        return found;
    QDir root = versions;
    if (!root.cdUp())
        return found;
    const QFileInfo link(root.filePath(QStringLiteral("current")));
    if (!link.isSymLink() || !QFileInfo(root.path()).isWritable())
        return found;

    found.kind = Kind::userFolder;
    found.root = root.path();
    found.versionFolder = version.path();
    // Through the link, so that whatever starts it later starts the selected version.
    found.launchPath = QDir(found.currentLink()).filePath(QStringLiteral("bin/") + image.fileName());
    return found;
}

Installation Installation::current()
{
    return of(QFileInfo(QCoreApplication::applicationFilePath()).canonicalFilePath(),
              QStringLiteral(TALVEX_BUILD_FOLDER));
}

QString Installation::currentLink() const
{
    return root.isEmpty() ? QString() : QDir(root).filePath(QStringLiteral("current"));
}

QString Installation::selectedVersionFolder() const
{
    return root.isEmpty() ? QString() : QFileInfo(currentLink()).canonicalFilePath();
}

} // namespace talvex::update
