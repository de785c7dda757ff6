// The autostart entry on disk, as a session and desktop-file-validate read it, driven through the
// same LaunchAtLogin the settings window uses.
#include "LaunchAtLogin.h"
#include "XdgLoginItems.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

inline void PrintTo(const QString &text, std::ostream *os)
{
    *os << '"' << text.toStdString() << '"';
}

namespace talvex::xdg {
namespace {

// desktop-file-validate's verdict; empty when the entry is valid.
QString validate(const QString &path)
{
    QProcess validator;
    validator.setProcessChannelMode(QProcess::MergedChannels);
    validator.start(QStringLiteral("desktop-file-validate"), {path});
    if (!validator.waitForFinished(20000))
        return QStringLiteral("desktop-file-validate did not run");
    const QString said = QString::fromUtf8(validator.readAll()).trimmed();
    // Hints are advice about optional keys; errors and warnings make an entry wrong.
    QStringList problems;
    for (const QString &line : said.split(u'\n', Qt::SkipEmptyParts)) {
        if (!line.contains(QLatin1String(": hint: ")))
            problems << line;
    }
    return validator.exitCode() == 0 && problems.isEmpty() ? QString() : said;
}

QString readEntry(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

class AutostartIntegrationTest : public ::testing::Test {
  protected:
    std::unique_ptr<LaunchAtLogin> launch(XdgLoginItems &items)
    {
        return std::make_unique<LaunchAtLogin>(
            items,
            std::make_unique<QSettings>(m_dir.filePath(QStringLiteral("Talvex.conf")), QSettings::IniFormat));
    }

    QTemporaryDir m_dir;
    QString m_folder = m_dir.filePath(QStringLiteral("config/autostart"));
};

TEST_F(AutostartIntegrationTest, TheFirstLaunchWritesAValidEntryAndTheToggleRemovesOnlyIt)
{
    const QString executable = QStringLiteral("/home/ann/.local/opt/talvex/current/bin/talvex");
    XdgLoginItems items(m_folder, executable);
    // Another program's entry in the same folder must survive everything below.
    QDir().mkpath(m_folder);
    const QString neighbour = QDir(m_folder).filePath(QStringLiteral("org.example.Other.desktop"));
    QFile other(neighbour);
    ASSERT_TRUE(other.open(QIODevice::WriteOnly));
    other.write("[Desktop Entry]\nType=Application\nName=Other\nExec=other\n");
    other.close();

    auto first = launch(items);
    first->configureDefault();
    ASSERT_TRUE(QFile::exists(items.entryPath()));
    EXPECT_EQ(validate(items.entryPath()), QString());
    EXPECT_TRUE(
        readEntry(items.entryPath()).contains(QStringLiteral("\nExec=") + executable + " --autostart\n"));
    EXPECT_TRUE(first->isEnabled());
    EXPECT_EQ(first->errorMessage(), std::nullopt);

    // Switched off in the settings: gone, and a later launch leaves it off.
    first->setEnabled(false);
    EXPECT_FALSE(QFile::exists(items.entryPath()));
    EXPECT_TRUE(QFile::exists(neighbour));
    auto second = launch(items);
    second->configureDefault();
    EXPECT_FALSE(QFile::exists(items.entryPath()));
    EXPECT_FALSE(second->isEnabled());
}

TEST_F(AutostartIntegrationTest, EntriesDisabledByHandReadAsOffAndSwitchingOnEnablesThemAgain)
{
    XdgLoginItems items(m_folder, QStringLiteral("/usr/bin/talvex"));
    for (const char *disabled : {"Hidden=true", "X-GNOME-Autostart-enabled=false"}) {
        SCOPED_TRACE(disabled);
        QDir().mkpath(m_folder);
        QFile file(items.entryPath());
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(XdgLoginItems::entryText(QStringLiteral("/usr/bin/talvex"))
                       .replace("X-GNOME-Autostart-enabled=true\n", "") +
                   disabled + "\n");
        file.close();

        auto settings = launch(items);
        settings->refresh();
        EXPECT_EQ(items.status(), LoginItemStatus::notRegistered);
        EXPECT_FALSE(settings->isEnabled());
        settings->setEnabled(true);
        EXPECT_TRUE(settings->isEnabled());
        EXPECT_EQ(validate(items.entryPath()), QString());
        EXPECT_FALSE(readEntry(items.entryPath()).contains(QLatin1String(disabled)));
    }
}

TEST_F(AutostartIntegrationTest, InstallationsInOddlyNamedFoldersGetValidEntries)
{
    for (const char *path : {"/home/ann/My Apps/talvex/bin/talvex", "/opt/100% sure/bin/talvex",
                             "/home/zoë/\"quoted\"/bin/talvex", "/home/x/$HOME/back\\slash/bin/talvex",
                             "/opt/it's (new)/bin/talvex"}) {
        const QString executable = QString::fromUtf8(path);
        SCOPED_TRACE(path);
        XdgLoginItems items(m_folder, executable);
        QString error;
        ASSERT_TRUE(items.registerItem(&error)) << error.toStdString();
        EXPECT_EQ(validate(items.entryPath()), QString());
        EXPECT_EQ(items.status(), LoginItemStatus::enabled);
        ASSERT_TRUE(items.unregisterItem(&error));
    }
}

TEST_F(AutostartIntegrationTest, AnUnwritableFolderIsReportedAndChangesNothing)
{
    // A file where the folder should be: no permissions trick, so it fails for root too.
    QDir().mkpath(m_dir.filePath(QStringLiteral("config")));
    QFile blocker(m_folder);
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    XdgLoginItems items(m_folder, QStringLiteral("/usr/bin/talvex"));
    auto settings = launch(items);
    settings->configureDefault();
    EXPECT_EQ(settings->errorMessage(), QStringLiteral("Talvex couldn’t enable Launch at Login."));
    EXPECT_FALSE(settings->isEnabled());
    EXPECT_FALSE(QSettings(m_dir.filePath(QStringLiteral("Talvex.conf")), QSettings::IniFormat)
                     .value(QStringLiteral("didConfigureLaunchAtLogin"))
                     .toBool());
}

} // namespace
} // namespace talvex::xdg
