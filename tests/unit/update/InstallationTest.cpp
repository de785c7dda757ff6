#include "Installation.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <unistd.h>

inline void PrintTo(const QString &text, std::ostream *os)
{
    *os << '"' << text.toStdString() << '"';
}

namespace talvex::update {
namespace {

using Kind = Installation::Kind;

class InstallationTest : public ::testing::Test {
  public:
    QString make(const QString &relative)
    {
        const QString path = m_dir.filePath(relative);
        QDir().mkpath(QFileInfo(path).path());
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        return QFileInfo(path).canonicalFilePath();
    }
    void link(const QString &target, const QString &relative)
    {
        ASSERT_TRUE(QFile::link(target, m_dir.filePath(relative)));
    }
    QString path(const QString &relative) const
    {
        return QDir(m_dir.path()).canonicalPath() + u'/' + relative;
    }

    QTemporaryDir m_dir;
};

TEST_F(InstallationTest, TheLayoutAroundTheExecutableDecidesTheKind)
{
    struct Case {
        const char *name;
        const char *executable;
        std::function<void(InstallationTest &)> arrange;
        Kind kind;
    };
    const std::vector<Case> cases = {
        {"inside the build folder", "build/src/app/talvex", {}, Kind::developmentBuild},
        {"a user folder", "a/versions/0.1.0/bin/talvex",
         [](InstallationTest &t) { t.link(QStringLiteral("versions/0.1.0"), QStringLiteral("a/current")); },
         Kind::userFolder},
        {"a user folder whose link selects another version", "b/versions/0.1.0/bin/talvex",
         [](InstallationTest &t) {
             t.make(QStringLiteral("b/versions/0.2.0/bin/talvex"));
             t.link(QStringLiteral("versions/0.2.0"), QStringLiteral("b/current"));
         },
         Kind::userFolder},
        {"versions without the link", "c/versions/0.1.0/bin/talvex", {}, Kind::system},
        {"a folder named current, not a link", "d/versions/0.1.0/bin/talvex",
         [](InstallationTest &t) { QDir().mkpath(t.m_dir.filePath(QStringLiteral("d/current"))); },
         Kind::system},
        {"not under bin", "e/versions/0.1.0/libexec/talvex",
         [](InstallationTest &t) { t.link(QStringLiteral("versions/0.1.0"), QStringLiteral("e/current")); },
         Kind::system},
        {"a prefix installation", "usr/local/bin/talvex", {}, Kind::system},
        {"beside the build folder, not in it", "build-other/talvex", {}, Kind::system},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const QString executable = make(QString::fromLatin1(c.executable));
        if (c.arrange)
            c.arrange(*this);
        const Installation found = Installation::of(executable, m_dir.filePath(QStringLiteral("build")));
        EXPECT_EQ(found.kind, c.kind);
        EXPECT_EQ(found.executable, executable);
        if (c.kind == Kind::userFolder) {
            // <root>/versions/<version>/bin/talvex
            const QString version = QString::fromLatin1(c.executable).section(u'/', 0, 2);
            const QString root = version.section(u'/', 0, 0);
            EXPECT_EQ(found.root, path(root));
            EXPECT_EQ(found.versionFolder, path(version));
            EXPECT_EQ(found.launchPath, path(root + QStringLiteral("/current/bin/talvex")));
        } else {
            EXPECT_EQ(found.launchPath, executable) << "a system installation starts the same path again";
            EXPECT_TRUE(found.root.isEmpty());
        }
    }
}

TEST_F(InstallationTest, TheSelectedVersionFollowsTheLinkAndAReadOnlyFolderIsNotTalvexsToUpdate)
{
    const QString executable = make(QStringLiteral("opt/versions/0.1.0/bin/talvex"));
    make(QStringLiteral("opt/versions/0.2.0/bin/talvex"));
    link(QStringLiteral("versions/0.1.0"), QStringLiteral("opt/current"));
    const Installation found = Installation::of(executable, QStringLiteral("/nonexistent/build"));
    ASSERT_EQ(found.kind, Kind::userFolder);
    EXPECT_EQ(found.selectedVersionFolder(), path(QStringLiteral("opt/versions/0.1.0")));

    QFile::remove(found.currentLink());
    link(QStringLiteral("versions/0.2.0"), QStringLiteral("opt/current"));
    EXPECT_EQ(found.selectedVersionFolder(), path(QStringLiteral("opt/versions/0.2.0")));
    QFile::remove(found.currentLink());
    link(QStringLiteral("versions/0.3.0"), QStringLiteral("opt/current"));
    EXPECT_EQ(found.selectedVersionFolder(), QString()) << "a broken link selects nothing";

    // Root writes everywhere, so only an ordinary user sees a folder that is not Talvex's to change.
    if (::geteuid() != 0) {
        const QString opt = m_dir.filePath(QStringLiteral("opt"));
        QFile(opt).setPermissions(QFile::ReadOwner | QFile::ExeOwner);
        EXPECT_EQ(Installation::of(executable, QString()).kind, Kind::system);
        QFile(opt).setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }
}

} // namespace
} // namespace talvex::update
