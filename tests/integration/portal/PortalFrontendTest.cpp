// The GlobalShortcuts and RemoteDesktop clients through the real xdg-desktop-portal frontend, which
// forwards to our fake backend: what we ask for, press and release from Activated and Deactivated,
// consent given and refused. Run by with-portal.
#include "PortalControl.h"
#include "PortalRemoteDesktop.h"
#include "PortalShortcuts.h"

#include <QDir>
#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>
#include <xkbcommon/xkbcommon-keysyms.h>

using namespace talvex;
using namespace talvex::portal;
using talvex::test::PortalControl;

namespace {

constexpr int waitMs = 10000;
constexpr HotKeyID dictation{0x544C5658, 7};

QString settingsPath()
{
    return QDir(qEnvironmentVariable("TALVEX_TEST_TMP")).filePath(QStringLiteral("Talvex.conf"));
}

TEST(PortalShortcutsThroughTheFrontend, BindsOurCombinationAndReportsPressAndRelease)
{
    PortalShortcuts shortcuts;
    ASSERT_TRUE(shortcuts.isAvailable());
    std::vector<HotKeyEvent> events;
    ASSERT_TRUE(shortcuts.installHandler([&](const HotKeyEvent &event) {
        events.push_back(event);
        return true;
    }));

    struct Case {
        std::uint32_t code, modifiers;
        QString trigger;
    };
    const std::vector<Case> cases = {{49, 0x1200, QStringLiteral("CTRL+SHIFT+space")},
                                     {2, 0x0900, QStringLiteral("ALT+LOGO+d")},
                                     {101, 0, QStringLiteral("F9")}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.trigger.toStdString());
        events.clear();
        auto registration = shortcuts.registerHotKey(c.code, c.modifiers, dictation);
        ASSERT_TRUE(registration);
        const QJsonArray bound =
            PortalControl::callsOf(QStringLiteral("GlobalShortcuts"), QStringLiteral("BindShortcuts"));
        ASSERT_FALSE(bound.isEmpty());
        // BindShortcuts(handle, session, shortcuts, parent_window, options): one shortcut of ours.
        const QJsonArray asked = bound.last().toArray().at(2).toArray();
        ASSERT_EQ(asked.size(), 1);
        EXPECT_EQ(asked.at(0).toArray().at(0).toString(), QLatin1String(PortalShortcuts::shortcutId));
        EXPECT_EQ(asked.at(0).toArray().at(1).toObject().value(QLatin1String("preferred_trigger")).toString(),
                  c.trigger);

        ASSERT_TRUE(PortalControl::order(QStringLiteral("Activate"),
                                         {QString::fromLatin1(PortalShortcuts::shortcutId)}));
        ASSERT_TRUE(QTest::qWaitFor([&] { return events.size() == 1; }, waitMs));
        ASSERT_TRUE(PortalControl::order(QStringLiteral("Deactivate"),
                                         {QString::fromLatin1(PortalShortcuts::shortcutId)}));
        ASSERT_TRUE(QTest::qWaitFor([&] { return events.size() == 2; }, waitMs));
        EXPECT_TRUE(events[0].pressed);
        EXPECT_FALSE(events[1].pressed);
        EXPECT_EQ(events[0].identifier, dictation);
        EXPECT_LE(events[0].time, events[1].time);

        const qsizetype closed =
            PortalControl::callsOf(QStringLiteral("Session"), QStringLiteral("Close")).size();
        registration.reset();
        EXPECT_EQ(PortalControl::callsOf(QStringLiteral("Session"), QStringLiteral("Close")).size(),
                  closed + 1)
            << "the session goes with the registration";
    }
}

TEST(PortalShortcutsThroughTheFrontend, ABindingTheDesktopRefusesIsNoRegistration)
{
    PortalShortcuts shortcuts;
    ASSERT_TRUE(shortcuts.installHandler([](const HotKeyEvent &) { return true; }));
    ASSERT_TRUE(PortalControl::order(QStringLiteral("RefuseNextBinding")));
    const qsizetype closed =
        PortalControl::callsOf(QStringLiteral("Session"), QStringLiteral("Close")).size();
    EXPECT_FALSE(shortcuts.registerHotKey(49, 0x1200, dictation));
    EXPECT_EQ(PortalControl::callsOf(QStringLiteral("Session"), QStringLiteral("Close")).size(), closed + 1)
        << "the refused session is closed";
    EXPECT_FALSE(shortcuts.registerHotKey(49, 0x1000000, dictation)) << "Fn cannot be a portal trigger";
}

TEST(PortalRemoteDesktopThroughTheFrontend, AskedOnceThenPastesByKeySymbol)
{
    QSettings settings(settingsPath(), QSettings::IniFormat);
    PortalRemoteDesktop keyboard(settings);
    EXPECT_FALSE(keyboard.canPostEvents()) << "no session before access is requested";
    EXPECT_TRUE(PortalControl::callsOf(QStringLiteral("RemoteDesktop"), QStringLiteral("Start")).isEmpty())
        << "without a stored consent nothing is asked at start";

    QSignalSpy started(&keyboard, &PortalRemoteDesktop::sessionStarted);
    EXPECT_FALSE(keyboard.requestPostEventAccess()) << "granted only once the user has answered";
    ASSERT_TRUE(started.wait(waitMs));
    EXPECT_TRUE(started.first().first().toBool());
    ASSERT_TRUE(keyboard.canPostEvents());

    // SelectDevices(handle, session, app_id, options): the keyboard only; version 1 keeps no consent.
    const QJsonObject selected =
        PortalControl::callsOf(QStringLiteral("RemoteDesktop"), QStringLiteral("SelectDevices"))
            .last()
            .toArray()
            .at(3)
            .toObject();
    EXPECT_EQ(selected.value(QLatin1String("types")).toInt(), 1);
    EXPECT_FALSE(selected.contains(QLatin1String("persist_mode")));

    const auto control = keyboard.keyFor(ChordKey::control);
    const auto v = keyboard.keyFor(ChordKey::v);
    ASSERT_TRUE(control && v);
    for (const auto &[key, down] : std::vector<std::pair<KeyboardKey, bool>>{
             {*control, true}, {*v, true}, {*v, false}, {*control, false}})
        ASSERT_TRUE(keyboard.post(key, down));
    EXPECT_TRUE(keyboard.heldKeys().empty());
    QStringList sent;
    for (const QJsonValue &call :
         PortalControl::callsOf(QStringLiteral("RemoteDesktop"), QStringLiteral("NotifyKeyboardKeysym"))) {
        const QJsonArray arguments = call.toArray();
        sent << QStringLiteral("%1 %2").arg(arguments.at(2).toInt(), 0, 16).arg(arguments.at(3).toInt());
    }
    EXPECT_EQ(sent, QStringList({"ffe3 1", "76 1", "76 0", "ffe3 0"}));
    // A terminal without accessibility gets Shift+Insert: each key is its own keysym, not a stand-in.
    EXPECT_EQ(keyboard.keyFor(ChordKey::shift), (KeyboardKey{XKB_KEY_Shift_L, KeyRole::shift}));
    EXPECT_EQ(keyboard.keyFor(ChordKey::insert), (KeyboardKey{XKB_KEY_Insert, KeyRole::other}));
    EXPECT_TRUE(settings.value(QLatin1String(PortalRemoteDesktop::restoreTokenKey)).toString().isEmpty());
}

TEST(PortalRemoteDesktopThroughTheFrontend, ARefusalLeavesKeysUnposted)
{
    QSettings settings(settingsPath(), QSettings::IniFormat);
    PortalRemoteDesktop keyboard(settings);
    ASSERT_TRUE(PortalControl::order(QStringLiteral("DenyNextStart")));
    QSignalSpy started(&keyboard, &PortalRemoteDesktop::sessionStarted);
    keyboard.requestPostEventAccess();
    ASSERT_TRUE(started.wait(waitMs));
    EXPECT_FALSE(started.first().first().toBool());
    EXPECT_FALSE(keyboard.canPostEvents());
    EXPECT_FALSE(keyboard.post(*keyboard.keyFor(ChordKey::v), true));
}

} // namespace
