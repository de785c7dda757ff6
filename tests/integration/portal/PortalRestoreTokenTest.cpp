// The RemoteDesktop client against a version 2 portal (our backend playing the portal): consent is
// asked once with persistence, its restore token stored in Talvex's settings, and the next start
// reuses it without asking, storing the new token the portal hands back. Run by with-portal
// --frontend-v2.
#include "PortalControl.h"
#include "PortalRemoteDesktop.h"

#include <QDir>
#include <QSignalSpy>
#include <gtest/gtest.h>

using namespace talvex;
using namespace talvex::portal;
using talvex::test::PortalControl;

namespace {

TEST(PortalRemoteDesktopVersion2, TheRestoreTokenIsStoredAndReusedOnTheNextStart)
{
    QSettings settings(QDir(qEnvironmentVariable("TALVEX_TEST_TMP")).filePath(QStringLiteral("Talvex.conf")),
                       QSettings::IniFormat);
    const QString key = QLatin1String(PortalRemoteDesktop::restoreTokenKey);
    {
        PortalRemoteDesktop first(settings);
        QSignalSpy started(&first, &PortalRemoteDesktop::sessionStarted);
        first.requestPostEventAccess();
        ASSERT_TRUE(started.wait(10000));
        ASSERT_TRUE(first.canPostEvents());
        EXPECT_EQ(settings.value(key).toString(), QStringLiteral("restore-1"));
    }
    {
        PortalRemoteDesktop second(settings);
        QSignalSpy started(&second, &PortalRemoteDesktop::sessionStarted);
        // Started by itself: a stored consent needs no request and no question.
        ASSERT_TRUE(started.wait(10000));
        EXPECT_TRUE(second.canPostEvents());
        EXPECT_EQ(settings.value(key).toString(), QStringLiteral("restore-2"))
            << "the new token replaces the used one";
    }
    // SelectDevices(session, options), in order: persistence asked both times, the token given back once.
    const QJsonArray selected =
        PortalControl::callsOf(QStringLiteral("RemoteDesktop"), QStringLiteral("SelectDevices"));
    ASSERT_EQ(selected.size(), 2);
    const QJsonObject firstOptions = selected.at(0).toArray().at(1).toObject();
    const QJsonObject secondOptions = selected.at(1).toArray().at(1).toObject();
    EXPECT_EQ(firstOptions.value(QLatin1String("persist_mode")).toInt(), 2);
    EXPECT_FALSE(firstOptions.contains(QLatin1String("restore_token")));
    EXPECT_EQ(secondOptions.value(QLatin1String("persist_mode")).toInt(), 2);
    EXPECT_EQ(secondOptions.value(QLatin1String("restore_token")).toString(), QStringLiteral("restore-1"));
    EXPECT_EQ(PortalControl::callsOf(QStringLiteral("Session"), QStringLiteral("Close")).size(), 2)
        << "each session is closed when its client goes";
}

} // namespace
