// The talvex executable in a headless sway session dictating into zenity's GTK entry, a native
// Wayland window: the shortcut held (let go key first, then modifiers first), tapped, and a Ctrl+Alt
// chord, all through sway's bindings, with flite speech played into the microphone; then what a
// user would check: the recorder panel over zenity without taking its keyboard, the text in the
// field, "Paste confirmed", the clipboard as it was, no key held, the bindings gone with talvex, and
// the user's own binding refused and left working.
#include "AtspiAccessibility.h"
#include "DictationHarness.h"
#include "SwayIpc.h"
#include "SwaySession.h"
#include "SwayWorkspace.h"
#include "WaylandTestKeyboard.h"
#include "WordErrorRate.h"
#include "desktop/Shortcut.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusReply>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <gtest/gtest.h>

namespace talvex::e2e {
namespace {

using namespace std::chrono_literals;

const QString sentence = QStringLiteral("The weather is nice today. I will send the report to my manager.");
const QByteArray clipboardBefore = "kept on the clipboard across the dictation";

test::WaylandTestKeyboard &keyboard()
{
    static test::WaylandTestKeyboard instance;
    return instance;
}

/// A session of the test's own, with a state file of its own, only to read sway's tree.
wayland::SwaySession &swaySession()
{
    static auto session = wayland::SwaySession::open(
        *wayland::XkbKeymap::fromNames(QStringLiteral("us")), wayland::SwayIpc::socketPath(),
        QDir(qEnvironmentVariable("TALVEX_TEST_TMP")).filePath(QStringLiteral("test-sway-bindings.json")));
    return *session;
}

/// Runs a wl-clipboard tool with our event loop going (talvex may be the one serving the data).
QByteArray clipboardTool(const QString &program, const QStringList &arguments, const QByteArray &input = {})
{
    QProcess process;
    process.start(program, arguments);
    if (!input.isNull()) {
        process.write(input);
        process.closeWriteChannel();
    }
    if (!waitFor([&] { return process.state() == QProcess::NotRunning; }, 10s))
        return "(" + program.toUtf8() + " did not finish)";
    return process.readAllStandardOutput();
}

QByteArray pasteClipboard()
{
    return clipboardTool(QStringLiteral("wl-paste"), {QStringLiteral("--no-newline")});
}

/// Whether talvex's recorder panel is on screen: a mapped top-level window of that title on Xwayland.
bool recorderShown()
{
    const x11::XcbConnection connection = x11::connectToDisplay();
    if (!connection)
        return false;
    xcb_connection_t *c = connection.get();
    const x11::XcbReply<xcb_query_tree_reply_t> tree(
        xcb_query_tree_reply(c, xcb_query_tree(c, x11::rootWindow(c)), nullptr));
    if (!tree)
        return false;
    const xcb_window_t *windows = xcb_query_tree_children(tree.get());
    for (int i = 0; i < xcb_query_tree_children_length(tree.get()); ++i) {
        const x11::XcbReply<xcb_get_property_reply_t> name(xcb_get_property_reply(
            c, xcb_get_property(c, 0, windows[i], XCB_ATOM_WM_NAME, XCB_GET_PROPERTY_TYPE_ANY, 0, 64),
            nullptr));
        const x11::XcbReply<xcb_get_window_attributes_reply_t> attributes(
            xcb_get_window_attributes_reply(c, xcb_get_window_attributes(c, windows[i]), nullptr));
        if (name && attributes && attributes->map_state == XCB_MAP_STATE_VIEWABLE &&
            QByteArray(static_cast<const char *>(xcb_get_property_value(name.get())),
                       xcb_get_property_value_length(name.get())) == "Talvex Recorder")
            return true;
    }
    return false;
}

/// Whether sway has a press binding on `combination`: removing it is the only way to ask, so one
/// that was there is put back as a plain no-op.
bool swayBinds(const QString &combination)
{
    auto ipc = wayland::SwayIpc::connect(wayland::SwayIpc::socketPath());
    const auto removed = ipc ? ipc->runCommand(QStringLiteral("unbindcode ") + combination)
                             : std::vector<std::pair<bool, QString>>{};
    const bool bound = !removed.empty() && removed.front().first;
    if (bound)
        ipc->runCommand(QStringLiteral("bindcode --no-warn %1 nop put back by the test").arg(combination));
    return bound;
}

/// zenity's entry as a native Wayland window, its text read over AT-SPI.
class WaylandEntry final {
  public:
    ~WaylandEntry()
    {
        if (m_process.state() != QProcess::NotRunning) {
            m_process.kill();
            m_process.waitForFinished(5000);
        }
    }

    bool start(QString *error)
    {
        m_process.start(QStringLiteral("zenity"),
                        {QStringLiteral("--entry"), QStringLiteral("--text=Dictate here")});
        if (!m_process.waitForStarted(10000)) {
            *error = QStringLiteral("zenity did not start");
            return false;
        }
        wayland::SwayWorkspace workspace(&swaySession());
        const auto pid = static_cast<std::int32_t>(m_process.processId());
        const bool focused = waitFor(
            [&] {
                const auto front = workspace.frontmostApplication();
                if (!front || front->pid != pid)
                    return false;
                m_field = m_accessibility.focusedElement(pid);
                return m_field.has_value();
            },
            60s);
        if (!focused)
            *error = QStringLiteral("zenity's field never had focus in sway");
        return focused;
    }

    std::optional<QString> text()
    {
        if (!m_field)
            return std::nullopt;
        QDBusMessage call =
            QDBusMessage::createMethodCall(QStringLiteral("org.a11y.Bus"), QStringLiteral("/org/a11y/bus"),
                                           QStringLiteral("org.a11y.Bus"), QStringLiteral("GetAddress"));
        const QDBusReply<QString> address = QDBusConnection::sessionBus().call(call);
        QDBusConnection bus =
            QDBusConnection::connectToBus(address.value(), QStringLiteral("e2e-wayland-a11y"));
        QDBusMessage get =
            QDBusMessage::createMethodCall(m_field->busName, m_field->objectPath,
                                           QStringLiteral("org.a11y.atspi.Text"), QStringLiteral("GetText"));
        get << 0 << -1;
        const QDBusReply<QString> reply = bus.call(get, QDBus::Block, 2000);
        if (!reply.isValid())
            return std::nullopt;
        return reply.value();
    }

  private:
    QProcess m_process;
    atspi::AtspiAccessibility m_accessibility;
    std::optional<AccessibleElement> m_field;
};

struct Dictation {
    const char *name;
    std::vector<std::uint32_t> keys; ///< pressed in this order
    std::vector<std::uint32_t> releaseOrder;
    bool tapTwice;
};

class SwayDictationE2ETest : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(keyboard().isReady()) << "no virtual keyboard in sway"; }

    /// One dictation into a fresh zenity entry, and every check that holds for any gesture.
    void dictateAndCheck(TalvexProcess &talvex, const Dictation &dictation)
    {
        SCOPED_TRACE(dictation.name);
        const auto wav = speechFile(sentence);
        ASSERT_TRUE(wav) << "flite could not speak the sentence";
        QString error;
        WaylandEntry target;
        ASSERT_TRUE(target.start(&error)) << error.toStdString();
        clipboardTool(QStringLiteral("wl-copy"), {}, clipboardBefore);
        ASSERT_EQ(pasteClipboard(), clipboardBefore);

        const std::size_t first = talvex.lines().size();
        auto pressAll = [&] {
            for (const std::uint32_t key : dictation.keys)
                keyboard().press(key);
        };
        auto releaseAll = [&] {
            for (const std::uint32_t key : dictation.releaseOrder)
                keyboard().release(key);
        };
        pressAll();
        if (dictation.tapTwice)
            releaseAll();
        ASSERT_TRUE(talvex.waitForLine(QStringLiteral("app"), QStringLiteral("Phase recording"), first))
            << "the dictation never started recording\n"
            << talvex.log().toStdString();
        // The panel shows over zenity while the dictation runs; the paste below proves that zenity
        // kept the keyboard all along.
        EXPECT_TRUE(waitFor(recorderShown, 10s)) << "the recorder panel did not show";
        ASSERT_TRUE(play(*wav));
        if (dictation.tapTwice)
            pressAll();
        releaseAll();
        EXPECT_EQ(keyboard().held(), 0u);

        const auto delivered =
            talvex.waitForLine(QStringLiteral("delivery"), QStringLiteral("Delivery to"), first, 60s);
        ASSERT_TRUE(delivered) << talvex.log().toStdString();
        EXPECT_TRUE(delivered->message.endsWith(QStringLiteral(": Paste confirmed")))
            << delivered->message.toStdString();
        const auto field = target.text();
        ASSERT_TRUE(field);
        EXPECT_LE(test::wordErrorRate(sentence, *field), 0.15) << "heard: " << field->toStdString();
        EXPECT_EQ(pasteClipboard(), clipboardBefore) << "the clipboard must come back";
        // A paste key left down would repeat into the field; nothing more arrives.
        EXPECT_FALSE(waitFor([&] { return target.text() != field; }, 1s))
            << "the field changed after the paste";
    }
};

TEST_F(SwayDictationE2ETest, HotKeyHeldAndTappedThenAChordDeliverIntoAWaylandWindow)
{
    const std::vector<Dictation> hotKey = {
        {"held, key let go first",
         {XKB_KEY_Control_L, XKB_KEY_Shift_L, XKB_KEY_space},
         {XKB_KEY_space, XKB_KEY_Shift_L, XKB_KEY_Control_L},
         false},
        {"held, modifiers let go first",
         {XKB_KEY_Control_L, XKB_KEY_Shift_L, XKB_KEY_space},
         {XKB_KEY_Control_L, XKB_KEY_Shift_L, XKB_KEY_space},
         false},
        {"tapped twice",
         {XKB_KEY_Control_L, XKB_KEY_Shift_L, XKB_KEY_space},
         {XKB_KEY_space, XKB_KEY_Shift_L, XKB_KEY_Control_L},
         true},
    };
    {
        TalvexProcess talvex;
        QString error;
        ASSERT_TRUE(talvex.start({}, &error)) << error.toStdString();
        ASSERT_TRUE(talvex.waitForLine(QStringLiteral("app"), QStringLiteral("Desktop path: sway"), 0))
            << talvex.log().toStdString();
        for (const Dictation &dictation : hotKey)
            dictateAndCheck(talvex, dictation);
        ASSERT_TRUE(talvex.stop()) << talvex.log().toStdString();
    }
    EXPECT_FALSE(swayBinds(QStringLiteral("Ctrl+Shift+65"))) << "talvex left its binding behind";

    Library chordLibrary;
    chordLibrary.preferences.shortcutKey = Shortcut::chord(Shortcut::controlKey | Shortcut::optionKey);
    TalvexProcess talvex;
    QString error;
    ASSERT_TRUE(talvex.start({chordLibrary, {}}, &error)) << error.toStdString();
    dictateAndCheck(talvex, {"Ctrl+Alt chord held",
                             {XKB_KEY_Control_L, XKB_KEY_Alt_L},
                             {XKB_KEY_Alt_L, XKB_KEY_Control_L},
                             false});
    ASSERT_TRUE(talvex.stop()) << talvex.log().toStdString();
    EXPECT_FALSE(swayBinds(QStringLiteral("Ctrl+64"))) << "talvex left its chord binding behind";
}

TEST_F(SwayDictationE2ETest, AShortcutTheUserBoundInSwayIsRefusedAndKeepsWorking)
{
    const QString mark = qEnvironmentVariable("TALVEX_SWAY_USER_MARK");
    ASSERT_FALSE(mark.isEmpty()) << "run under scripts/with-sway";
    Library library;
    library.preferences.shortcutKey =
        Shortcut(32, Shortcut::controlKey | Shortcut::optionKey, QStringLiteral("U")); // Ctrl+Alt+U
    TalvexProcess talvex;
    QString error;
    EXPECT_FALSE(talvex.start({library, {}}, &error)) << "talvex took the user's combination";
    EXPECT_TRUE(talvex.waitForLine(QStringLiteral("delivery"),
                                   QStringLiteral("Global shortcut registered: false"), 0));

    QFile::remove(mark);
    keyboard().press(XKB_KEY_Control_L);
    keyboard().press(XKB_KEY_Alt_L);
    keyboard().tap(XKB_KEY_u);
    keyboard().releaseAll();
    EXPECT_TRUE(waitFor([&] { return QFile::exists(mark); }, 15s)) << "the user's Ctrl+Alt+U no longer runs";
}

} // namespace
} // namespace talvex::e2e
