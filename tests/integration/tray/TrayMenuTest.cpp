// Talvex's tray icon as a StatusNotifier host sees it: the item registers once a host exists, its
// menu read over dbusmenu follows the dictation, and its rows act when clicked.
#include "DictationHarness.h"
#include "StatusNotifierTestHost.h"
#include "TalvexWindows.h"
#include "shell/MissingTrayNotice.h"

#include <QClipboard>
#include <QDBusMessage>
#include <QDBusReply>
#include <QDBusVariant>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QTimer>
#include <gtest/gtest.h>

namespace talvex::test {
namespace {

using e2e::TalvexProcess;
using e2e::waitFor;
using namespace std::chrono_literals;

const QString control = QStringLiteral("com.quindlark.Talvex");
constexpr std::uint32_t escapeKey = 0xff1b;

/// The visible labels, disabled ones marked with a leading "(off) ".
QStringList labels(const std::vector<HostMenuEntry> &menu)
{
    QStringList shown;
    for (const HostMenuEntry &entry : menu)
        shown << (entry.enabled || entry.label == QLatin1String("-")
                      ? entry.label
                      : QStringLiteral("(off) ") + entry.label);
    return shown;
}

/// The rows every state shows around the dictation-specific middle part.
QStringList menuWith(const QStringList &middle)
{
    return QStringList{QStringLiteral("Talvex Onboarding…"), QStringLiteral("-"),
                       QStringLiteral("(off) Tap or hold Ctrl+Shift+Space to dictate")} +
           middle +
           QStringList{QStringLiteral("-"),
                       QStringLiteral("Settings…"),
                       QStringLiteral("(off) Check for Updates…"),
                       QStringLiteral("About Talvex"),
                       QStringLiteral("Get App Help"),
                       QStringLiteral("Send Feedback…"),
                       QStringLiteral("Quit Talvex")};
}

bool callControl(const QString &method)
{
    QDBusMessage call =
        QDBusMessage::createMethodCall(control, QStringLiteral("/com/quindlark/Talvex"), control, method);
    return QDBusConnection::sessionBus().call(call, QDBus::Block, 30000).type() == QDBusMessage::ReplyMessage;
}

QString phase()
{
    QDBusMessage call = QDBusMessage::createMethodCall(control, QStringLiteral("/com/quindlark/Talvex"),
                                                       QStringLiteral("org.freedesktop.DBus.Properties"),
                                                       QStringLiteral("Get"));
    call << control << QStringLiteral("Phase");
    const QDBusReply<QDBusVariant> reply = QDBusConnection::sessionBus().call(call, QDBus::Block, 5000);
    return reply.isValid() ? reply.value().variant().toString() : QString();
}

class TrayMenuTest : public ::testing::Test {
  protected:
    void startTalvex()
    {
        QString error;
        ASSERT_TRUE(talvex.start({}, &error)) << error.toStdString();
    }

    bool itemRegistered()
    {
        return waitFor([this] { return !host.item().isEmpty(); }, 20s);
    }

    StatusNotifierTestHost host;
    TalvexProcess talvex;
};

TEST_F(TrayMenuTest, MenuFollowsTheDictationAndItsRowsActWhenClicked)
{
    ASSERT_TRUE(host.start(true));
    startTalvex();
    ASSERT_TRUE(itemRegistered()) << talvex.log().toStdString();
    EXPECT_EQ(host.itemProperty(QStringLiteral("Title")).toString(), QStringLiteral("Talvex"));

    const auto idle = host.visibleMenu();
    ASSERT_TRUE(idle);
    EXPECT_EQ(labels(*idle), menuWith({}));
    const QByteArray idleIcon = host.iconFingerprint();

    // Recording, started over the control interface as a desktop key binding would.
    const auto wav = e2e::speechFile(QStringLiteral("The weather is nice today."));
    ASSERT_TRUE(wav);
    ASSERT_TRUE(callControl(QStringLiteral("Start")));
    ASSERT_TRUE(waitFor([] { return phase() == QLatin1String("recording"); }, 30s))
        << talvex.log().toStdString();
    EXPECT_TRUE(waitFor(
        [&] { return labels(*host.visibleMenu()) == menuWith({QStringLiteral("Cancel Dictation")}); }, 5s))
        << labels(*host.visibleMenu()).join(QLatin1Char('|')).toStdString();
    const QByteArray recordingIcon = host.iconFingerprint();
    EXPECT_NE(recordingIcon, idleIcon);

    // Nothing has focus on this desktop, so the text stays on the clipboard: the paste needs attention.
    const std::size_t before = talvex.lines().size();
    ASSERT_TRUE(e2e::play(*wav));
    ASSERT_TRUE(callControl(QStringLiteral("Stop")));
    ASSERT_TRUE(talvex.waitForLine(QStringLiteral("delivery"), QStringLiteral("Delivery to"), before))
        << talvex.log().toStdString();
    ASSERT_TRUE(waitFor([] { return phase() == QLatin1String("idle"); }, 10s));
    const auto attention = host.visibleMenu();
    ASSERT_TRUE(attention);
    const QStringList shown = labels(*attention);
    ASSERT_EQ(shown.size(), menuWith({}).size() + 2) << shown.join(QLatin1Char('|')).toStdString();
    EXPECT_EQ(shown[3], QStringLiteral("Copy Last Transcript"));
    EXPECT_TRUE(shown[4].startsWith(QStringLiteral("(off) Transcript copied"))) << shown[4].toStdString();
    EXPECT_NE(host.iconFingerprint(), idleIcon);
    EXPECT_NE(host.iconFingerprint(), recordingIcon);

    // The transcript goes onto the clipboard as plain text.
    QGuiApplication::clipboard()->setText(QStringLiteral("something else"));
    std::optional<Library> library;
    ASSERT_TRUE(
        waitFor([&] { return (library = talvex.readLibrary()) && !library->history.isEmpty(); }, 10s));
    ASSERT_TRUE(host.click(QStringLiteral("Copy Last Transcript")));
    EXPECT_TRUE(waitFor(
        [&] { return QGuiApplication::clipboard()->text() == library->history.constFirst().text; }, 10s))
        << QGuiApplication::clipboard()->text().toStdString();

    // A left click on the icon opens the same menu, drawn by Talvex; Escape closes it.
    ASSERT_TRUE(host.activate());
    std::optional<XWindow> menu;
    ASSERT_TRUE(waitFor([&] { return (menu = openMenu(talvex.pid())).has_value(); }, 10s));
    EXPECT_GE(menu->geometry.height(), 12 * 16) << "the menu has all its rows";
    e2e::XTestKeyboard keys;
    keys.press(escapeKey);
    keys.release(escapeKey);
    EXPECT_TRUE(waitFor([&] { return !openMenu(talvex.pid()); }, 10s));

    ASSERT_TRUE(host.click(QStringLiteral("Quit Talvex")));
    EXPECT_TRUE(talvex.waitForExit()) << talvex.log().toStdString();
    EXPECT_TRUE(talvex.waitForLine(QStringLiteral("app"), QStringLiteral("Ended"), before));
}

TEST_F(TrayMenuTest, IconWaitsForAHostThatRegistersAfterTheWatcherAppearsLate)
{
    QElapsedTimer sinceLaunch;
    sinceLaunch.start();
    startTalvex();
    // A panel starting after Talvex at login: its watcher comes 3 s after launch, its host later still.
    const qint64 late = std::max<qint64>(0, 3000 - sinceLaunch.elapsed());
    bool watcherUp = false;
    QTimer::singleShot(late, [&] { watcherUp = host.start(false); });
    ASSERT_TRUE(waitFor([&] { return watcherUp; }, 10s));
    ASSERT_TRUE(talvex.waitForLine(QStringLiteral("app"),
                                   QStringLiteral("StatusNotifier watcher present, host not registered"), 0))
        << talvex.log().toStdString();
    EXPECT_TRUE(host.item().isEmpty()) << "without a host the item must not be created yet";

    host.registerHost();
    ASSERT_TRUE(itemRegistered()) << talvex.log().toStdString();
    ASSERT_TRUE(host.visibleMenu());
    EXPECT_EQ(labels(*host.visibleMenu()), menuWith({}));
    EXPECT_TRUE(talvex.stop());
}

TEST_F(TrayMenuTest, WithoutATrayItSaysSoOnceAndShowsTheIconWhenATrayArrives)
{
    NotificationTestServer notices;
    ASSERT_TRUE(notices.start());
    startTalvex();
    ASSERT_TRUE(waitFor([&] { return !notices.notices.empty(); }, 40s)) << talvex.log().toStdString();
    ASSERT_EQ(notices.notices.size(), 1u);
    EXPECT_EQ(notices.notices[0].application, QStringLiteral("Talvex"));
    EXPECT_EQ(notices.notices[0].summary, MissingTrayNotice::summary());
    EXPECT_EQ(notices.notices[0].body, MissingTrayNotice::body(QStringLiteral("Ctrl+Shift+Space")));

    ASSERT_TRUE(host.start(true));
    ASSERT_TRUE(itemRegistered()) << talvex.log().toStdString();
    EXPECT_EQ(notices.notices.size(), 1u) << "the notice is shown once";
    ASSERT_TRUE(host.click(QStringLiteral("Quit Talvex")));
    EXPECT_TRUE(talvex.waitForExit()) << talvex.log().toStdString();
}

} // namespace
} // namespace talvex::test
