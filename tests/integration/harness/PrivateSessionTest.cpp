// The private desktop is what tests rely on: nothing points at the real home, session bus or display;
// accessibility is on before the application starts, so the application registers with AT-SPI; the
// window manager publishes the active window.
#include "XcbEvents.h"

#include <QApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusInterface>
#include <QDBusMetaType>
#include <QDBusReply>
#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QScreen>
#include <QTest>
#include <QWidget>

#include <gtest/gtest.h>

namespace talvex::test {
namespace {

// An AT-SPI object reference: (bus name, object path).
struct AccessibleReference {
    QString service;
    QDBusObjectPath path;
};

QDBusArgument &operator<<(QDBusArgument &argument, const AccessibleReference &reference)
{
    argument.beginStructure();
    argument << reference.service << reference.path;
    argument.endStructure();
    return argument;
}

const QDBusArgument &operator>>(const QDBusArgument &argument, AccessibleReference &reference)
{
    argument.beginStructure();
    argument >> reference.service >> reference.path;
    argument.endStructure();
    return argument;
}

} // namespace
} // namespace talvex::test

Q_DECLARE_METATYPE(talvex::test::AccessibleReference)
Q_DECLARE_METATYPE(QList<talvex::test::AccessibleReference>)

namespace talvex::test {
namespace {

QString sessionFolder()
{
    return QDir(qEnvironmentVariable("TALVEX_TEST_TMP")).canonicalPath();
}

bool insideSession(const char *variable)
{
    const QString path = QFileInfo(qEnvironmentVariable(variable)).canonicalFilePath();
    return !path.isEmpty() && path.startsWith(sessionFolder() + QLatin1Char('/'));
}

TEST(PrivateSession, HomeAndXdgFoldersLiveInTheSessionFolder)
{
    ASSERT_FALSE(sessionFolder().isEmpty());
    for (const char *variable :
         {"HOME", "XDG_RUNTIME_DIR", "XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_CACHE_HOME", "TMPDIR"})
        EXPECT_TRUE(insideSession(variable)) << variable << " = " << qgetenv(variable).constData();
    EXPECT_EQ(QFileInfo(qEnvironmentVariable("XDG_RUNTIME_DIR")).permissions() & 0x0077, 0)
        << "the runtime folder must be private (0700)";
    EXPECT_TRUE(QDir::homePath().startsWith(sessionFolder()));
}

TEST(PrivateSession, DisplayIsThePrivateScreen)
{
    ASSERT_EQ(QGuiApplication::platformName(), QStringLiteral("xcb"));
    const QScreen *screen = QGuiApplication::primaryScreen();
    ASSERT_NE(screen, nullptr);
    EXPECT_EQ(screen->geometry(), QRect(0, 0, 1280, 800));
}

TEST(PrivateSession, SessionBusIsPrivate)
{
    EXPECT_TRUE(qEnvironmentVariable("DBUS_SESSION_BUS_ADDRESS").contains(sessionFolder()));
    QDBusConnection bus = QDBusConnection::sessionBus();
    ASSERT_TRUE(bus.isConnected()) << bus.lastError().message().toStdString();
    EXPECT_TRUE(bus.interface()->isServiceRegistered(QStringLiteral("org.a11y.Bus")));
}

/// The accessibility bus of the session and the applications registered on it.
class AccessibilityBus final {
public:
    AccessibilityBus()
    {
        qDBusRegisterMetaType<AccessibleReference>();
        qDBusRegisterMetaType<QList<AccessibleReference>>();
        QDBusInterface launcher(QStringLiteral("org.a11y.Bus"), QStringLiteral("/org/a11y/bus"),
                                QStringLiteral("org.a11y.Bus"), QDBusConnection::sessionBus());
        const QDBusReply<QString> address = launcher.call(QStringLiteral("GetAddress"));
        if (address.isValid())
            m_connection = QDBusConnection::connectToBus(address.value(), QStringLiteral("harness-a11y"));
    }
    ~AccessibilityBus() { QDBusConnection::disconnectFromBus(QStringLiteral("harness-a11y")); }

    bool connected() const { return m_connection.isConnected(); }

    /// Whether an application of process `pid` is a child of the registry's desktop root.
    bool registered(qint64 pid) const
    {
        QDBusInterface root(QStringLiteral("org.a11y.atspi.Registry"),
                            QStringLiteral("/org/a11y/atspi/accessible/root"),
                            QStringLiteral("org.a11y.atspi.Accessible"), m_connection);
        const QDBusReply<QList<AccessibleReference>> children = root.call(QStringLiteral("GetChildren"));
        if (!children.isValid())
            return false;
        for (const AccessibleReference &child : children.value()) {
            const QDBusReply<uint> owner = m_connection.interface()->servicePid(child.service);
            if (owner.isValid() && owner.value() == pid)
                return true;
        }
        return false;
    }

private:
    QDBusConnection m_connection{QString()};
};

TEST(PrivateSession, AccessibilityIsEnabledAndTheApplicationRegisters)
{
    QDBusInterface status(QStringLiteral("org.a11y.Bus"), QStringLiteral("/org/a11y/bus"),
                          QStringLiteral("org.a11y.Status"), QDBusConnection::sessionBus());
    EXPECT_TRUE(status.property("IsEnabled").toBool());

    AccessibilityBus a11y;
    ASSERT_TRUE(a11y.connected());
    // Qt connects to the accessibility bus when its first window needs it, and registers from the
    // event loop.
    QWidget window;
    window.setWindowTitle(QStringLiteral("accessible"));
    window.resize(200, 100);
    window.show();
    const qint64 ownPid = QCoreApplication::applicationPid();
    EXPECT_TRUE(QTest::qWaitFor([&] { return a11y.registered(ownPid); }, 30000))
        << "the application never appeared on the AT-SPI registry";
}

TEST(PrivateSession, GtkApplicationsRegisterWithAccessibility)
{
    AccessibilityBus a11y;
    ASSERT_TRUE(a11y.connected());
    QProcess gtkApp;
    gtkApp.start(QStringLiteral("zenity"), {QStringLiteral("--entry"), QStringLiteral("--title=harness")});
    ASSERT_TRUE(gtkApp.waitForStarted(30000)) << "zenity did not start";
    EXPECT_TRUE(QTest::qWaitFor([&] { return a11y.registered(gtkApp.processId()); }, 30000))
        << "a GTK application never appeared on the AT-SPI registry";
    gtkApp.kill();
    gtkApp.waitForFinished(30000);
}

xcb_window_t activeWindow(xcb_connection_t *connection)
{
    const x11::XcbReply<xcb_intern_atom_reply_t> atom(xcb_intern_atom_reply(
        connection, xcb_intern_atom(connection, 0, 18, "_NET_ACTIVE_WINDOW"), nullptr));
    if (!atom)
        return XCB_NONE;
    const x11::XcbReply<xcb_get_property_reply_t> property(xcb_get_property_reply(
        connection,
        xcb_get_property(connection, 0, x11::rootWindow(connection), atom->atom, XCB_ATOM_WINDOW, 0, 1),
        nullptr));
    if (!property || xcb_get_property_value_length(property.get()) < int(sizeof(xcb_window_t)))
        return XCB_NONE;
    return *static_cast<xcb_window_t *>(xcb_get_property_value(property.get()));
}

TEST(PrivateSession, WindowManagerPublishesTheActiveWindow)
{
    const x11::XcbConnection connection = x11::connectToDisplay();
    ASSERT_TRUE(connection);

    QWidget first;
    first.setWindowTitle(QStringLiteral("first"));
    first.resize(200, 100);
    first.show();
    const xcb_window_t firstId = xcb_window_t(first.winId());
    EXPECT_TRUE(QTest::qWaitFor([&] { return activeWindow(connection.get()) == firstId; }, 20000));

    QWidget second;
    second.setWindowTitle(QStringLiteral("second"));
    second.resize(200, 100);
    second.show();
    const xcb_window_t secondId = xcb_window_t(second.winId());
    EXPECT_TRUE(QTest::qWaitFor([&] { return activeWindow(connection.get()) == secondId; }, 20000))
        << "a newly shown window did not become active";
}

} // namespace
} // namespace talvex::test
