#include "XdgLoginItems.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace talvex::xdg {
namespace {

using Status = LoginItemStatus;

TEST(AutostartEntryTest, HiddenOrGnomeDisabledEntriesReadAsOff)
{
    const std::vector<std::pair<const char *, Status>> cases = {
        {"[Desktop Entry]\nType=Application\nExec=/usr/bin/talvex --autostart\n", Status::enabled},
        {"[Desktop Entry]\nHidden=true\n", Status::notRegistered},
        {"[Desktop Entry]\nHidden = TRUE \n", Status::notRegistered},
        {"[Desktop Entry]\nHidden=false\n", Status::enabled},
        {"[Desktop Entry]\nX-GNOME-Autostart-enabled=false\n", Status::notRegistered},
        {"[Desktop Entry]\nX-GNOME-Autostart-enabled=0\n", Status::notRegistered},
        {"[Desktop Entry]\nX-GNOME-Autostart-enabled=true\n", Status::enabled},
        {"# Hidden=true\n[Desktop Entry]\nName=Talvex\n", Status::enabled},
        {"[Desktop Entry]\nName=Talvex\n[Desktop Action settings]\nHidden=true\n", Status::enabled},
        {"[Desktop Entry]\r\nHidden=true\r\n", Status::notRegistered},
        {"", Status::notRegistered},
        {"not a desktop entry at all", Status::notRegistered},
    };
    for (const auto &[text, status] : cases)
        EXPECT_EQ(XdgLoginItems::statusOf(QByteArray(text)), status) << text;
}

TEST(AutostartEntryTest, ExecArgumentsAreQuotedOnlyWhenNeededAndEscapedInsideQuotes)
{
    const std::vector<std::pair<const char *, const char *>> cases = {
        {"/usr/bin/talvex", "/usr/bin/talvex"},
        {"/home/ann/My Apps/talvex", "\"/home/ann/My Apps/talvex\""},
        {"/opt/100%/talvex", "/opt/100%%/talvex"},
        {"/opt/a$b/talvex", "\"/opt/a\\$b/talvex\""},
        {"/opt/\"q\"/talvex", "\"/opt/\\\"q\\\"/talvex\""},
        {"/opt/back\\slash/talvex", "\"/opt/back\\\\slash/talvex\""},
        {"/opt/`tick`/talvex", "\"/opt/\\`tick\\`/talvex\""},
        {"/opt/it's/talvex", "\"/opt/it's/talvex\""},
        {"/home/zoë/talvex", "/home/zoë/talvex"},
    };
    for (const auto &[path, quoted] : cases)
        EXPECT_EQ(XdgLoginItems::execArgument(QString::fromUtf8(path)), QString::fromUtf8(quoted)) << path;

    // The Exec line escapes the backslashes of quoting once more, as a string value.
    const QByteArray entry = XdgLoginItems::entryText(QStringLiteral("/opt/back\\slash/talvex"));
    EXPECT_TRUE(entry.contains("\nExec=\"/opt/back\\\\\\\\slash/talvex\" --autostart\n"))
        << entry.constData();
}

TEST(AutostartEntryTest, ADevelopmentBuildNeverWritesOrRemovesAnEntry)
{
    QTemporaryDir dir;
    const QString folder = dir.filePath(QStringLiteral("autostart"));
    QDir().mkpath(folder);
    const QString path = QDir(folder).filePath(QLatin1String(XdgLoginItems::entryName));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(XdgLoginItems::entryText(QStringLiteral("/usr/bin/talvex")));
    file.close();

    XdgLoginItems development(folder, std::nullopt);
    QString error;
    EXPECT_EQ(development.status(), Status::notFound);
    EXPECT_FALSE(development.registerItem(&error));
    EXPECT_FALSE(error.isEmpty());
    EXPECT_FALSE(development.unregisterItem(&error));
    EXPECT_TRUE(QFile::exists(path)) << "the installed copy's entry stays";
}

} // namespace
} // namespace talvex::xdg
