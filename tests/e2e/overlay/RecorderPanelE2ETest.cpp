// The whole application with the recorder panel, dictating into zenity's GTK entry: the panel is
// found the way a screen reader finds it, sits where it should above the target, and a real pointer
// click on its stop button ends the dictation while the target keeps the keyboard throughout.
#include "AccessibleTree.h"
#include "AtspiAccessibility.h"
#include "DictationHarness.h"
#include "WordErrorRate.h"

#include <gtest/gtest.h>
#include <xcb/xtest.h>

inline void PrintTo(const QString &text, std::ostream *os)
{
    *os << '"' << text.toStdString() << '"';
}
inline void PrintTo(const QRect &rect, std::ostream *os)
{
    *os << rect.x() << "," << rect.y() << " " << rect.width() << "x" << rect.height();
}

namespace talvex {
inline void PrintTo(const AccessibleElement &element, std::ostream *os)
{
    *os << element.busName.toStdString() << element.objectPath.toStdString();
}
} // namespace talvex

namespace talvex::e2e {
namespace {

constexpr std::uint32_t controlKey = 0xffe3, shiftKey = 0xffe1, spaceKey = 0x20;
const QString sentence = QStringLiteral("The weather is nice today. I will send the report to my manager.");
// AT-SPI roles (atspi-constants.h).
constexpr unsigned roleImage = 27, roleLabel = 29, rolePushButton = 43;
// Painted behind everything, so a pixel the panel leaves out can be told from one it paints black.
constexpr std::uint32_t rootColour = 0x3366aa;

// The X server as a window manager test sees it: windows, their order, pixels, the pointer, and
// the events that would betray a change of focus.
class XDesktop final {
  public:
    XDesktop() : m_connection(x11::connectToDisplay())
    {
        if (!m_connection)
            return;
        m_root = x11::rootWindow(c());
        m_activeWindow = atom("_NET_ACTIVE_WINDOW");
    }

    bool isReady() const { return m_connection != nullptr; }
    xcb_connection_t *c() const { return m_connection.get(); }

    xcb_window_t activeWindow()
    {
        x11::XcbReply<xcb_get_property_reply_t> reply(xcb_get_property_reply(
            c(), xcb_get_property(c(), 0, m_root, m_activeWindow, XCB_ATOM_WINDOW, 0, 1), nullptr));
        if (!reply || xcb_get_property_value_length(reply.get()) < 4)
            return XCB_NONE;
        return *static_cast<xcb_window_t *>(xcb_get_property_value(reply.get()));
    }

    /// From now on, records what would show a change of the active window or of `window`'s focus.
    void watch(xcb_window_t window)
    {
        const std::uint32_t rootMask = XCB_EVENT_MASK_PROPERTY_CHANGE;
        xcb_change_window_attributes(c(), m_root, XCB_CW_EVENT_MASK, &rootMask);
        const std::uint32_t focusMask = XCB_EVENT_MASK_FOCUS_CHANGE;
        xcb_change_window_attributes(c(), window, XCB_CW_EVENT_MASK, &focusMask);
        sync();
    }

    /// What the watched windows went through since `watch`: changes of the active window and losses
    /// of focus that were not the momentary ones of a key grab.
    QStringList focusChanges()
    {
        QStringList changes;
        while (x11::XcbReply<xcb_generic_event_t> event{xcb_poll_for_event(c())}) {
            const int type = event->response_type & 0x7f;
            if (type == XCB_PROPERTY_NOTIFY &&
                reinterpret_cast<xcb_property_notify_event_t *>(event.get())->atom == m_activeWindow)
                changes << QStringLiteral("_NET_ACTIVE_WINDOW set");
            if (type == XCB_FOCUS_OUT) {
                auto *focus = reinterpret_cast<xcb_focus_out_event_t *>(event.get());
                if (focus->mode == XCB_NOTIFY_MODE_NORMAL && focus->detail != XCB_NOTIFY_DETAIL_INFERIOR &&
                    focus->detail != XCB_NOTIFY_DETAIL_POINTER)
                    changes << QStringLiteral("focus out, detail %1").arg(focus->detail);
            }
        }
        return changes;
    }

    /// Top-level windows bottom to top.
    std::vector<xcb_window_t> stacking()
    {
        x11::XcbReply<xcb_query_tree_reply_t> tree(
            xcb_query_tree_reply(c(), xcb_query_tree(c(), m_root), nullptr));
        if (!tree)
            return {};
        const xcb_window_t *children = xcb_query_tree_children(tree.get());
        return {children, children + xcb_query_tree_children_length(tree.get())};
    }

    /// The top-level window holding `window` (its frame, for a managed window).
    xcb_window_t topLevel(xcb_window_t window)
    {
        for (;;) {
            x11::XcbReply<xcb_query_tree_reply_t> tree(
                xcb_query_tree_reply(c(), xcb_query_tree(c(), window), nullptr));
            if (!tree || tree->parent == m_root || tree->parent == XCB_NONE)
                return window;
            window = tree->parent;
        }
    }

    /// The first window titled `title`: a top-level one, or the client inside a window manager's frame.
    xcb_window_t windowTitled(const QByteArray &title)
    {
        for (const xcb_window_t top : stacking()) {
            std::vector<xcb_window_t> candidates{top};
            x11::XcbReply<xcb_query_tree_reply_t> tree(
                xcb_query_tree_reply(c(), xcb_query_tree(c(), top), nullptr));
            if (tree) {
                const xcb_window_t *children = xcb_query_tree_children(tree.get());
                candidates.insert(candidates.end(), children,
                                  children + xcb_query_tree_children_length(tree.get()));
            }
            for (const xcb_window_t window : candidates) {
                x11::XcbReply<xcb_get_property_reply_t> name(xcb_get_property_reply(
                    c(),
                    xcb_get_property(c(), 0, window, XCB_ATOM_WM_NAME, XCB_GET_PROPERTY_TYPE_ANY, 0, 256),
                    nullptr));
                if (name && QByteArray(static_cast<const char *>(xcb_get_property_value(name.get())),
                                       xcb_get_property_value_length(name.get())) == title)
                    return window;
            }
        }
        return XCB_NONE;
    }

    bool isViewable(xcb_window_t window)
    {
        x11::XcbReply<xcb_get_window_attributes_reply_t> attributes(
            xcb_get_window_attributes_reply(c(), xcb_get_window_attributes(c(), window), nullptr));
        return attributes && attributes->map_state == XCB_MAP_STATE_VIEWABLE;
    }

    /// Where `window` is on the screen.
    QRect geometry(xcb_window_t window)
    {
        x11::XcbReply<xcb_get_geometry_reply_t> geometry(
            xcb_get_geometry_reply(c(), xcb_get_geometry(c(), window), nullptr));
        x11::XcbReply<xcb_translate_coordinates_reply_t> origin(xcb_translate_coordinates_reply(
            c(), xcb_translate_coordinates(c(), window, m_root, 0, 0), nullptr));
        if (!geometry || !origin)
            return QRect();
        return QRect(origin->dst_x, origin->dst_y, geometry->width, geometry->height);
    }

    QSize screenSize()
    {
        const xcb_screen_t *screen = xcb_setup_roots_iterator(xcb_get_setup(c())).data;
        return QSize(screen->width_in_pixels, screen->height_in_pixels);
    }

    void paintRoot(std::uint32_t colour)
    {
        xcb_change_window_attributes(c(), m_root, XCB_CW_BACK_PIXEL, &colour);
        xcb_clear_area(c(), 0, m_root, 0, 0, 0, 0);
        sync();
    }

    /// The colour on screen at `point`, as 0xRRGGBB.
    std::uint32_t pixel(QPoint point)
    {
        x11::XcbReply<xcb_get_image_reply_t> image(
            xcb_get_image_reply(c(),
                                xcb_get_image(c(), XCB_IMAGE_FORMAT_Z_PIXMAP, m_root, std::int16_t(point.x()),
                                              std::int16_t(point.y()), 1, 1, ~0u),
                                nullptr));
        if (!image || xcb_get_image_data_length(image.get()) < 4)
            return 0xffffffff;
        return *reinterpret_cast<const std::uint32_t *>(xcb_get_image_data(image.get())) & 0xffffff;
    }

    /// A real click of the first button at `point`, through XTest.
    void click(QPoint point)
    {
        xcb_test_fake_input(c(), XCB_MOTION_NOTIFY, 0, XCB_CURRENT_TIME, m_root, std::int16_t(point.x()),
                            std::int16_t(point.y()), 0);
        xcb_test_fake_input(c(), XCB_BUTTON_PRESS, 1, XCB_CURRENT_TIME, XCB_NONE, 0, 0, 0);
        xcb_test_fake_input(c(), XCB_BUTTON_RELEASE, 1, XCB_CURRENT_TIME, XCB_NONE, 0, 0, 0);
        sync();
    }

  private:
    xcb_atom_t atom(const char *name)
    {
        x11::XcbReply<xcb_intern_atom_reply_t> reply(
            xcb_intern_atom_reply(c(), xcb_intern_atom(c(), 0, std::uint16_t(strlen(name)), name), nullptr));
        return reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
    }

    void sync()
    {
        x11::XcbReply<xcb_get_input_focus_reply_t> reply(
            xcb_get_input_focus_reply(c(), xcb_get_input_focus(c()), nullptr));
    }

    x11::XcbConnection m_connection;
    xcb_window_t m_root = XCB_NONE;
    xcb_atom_t m_activeWindow = XCB_ATOM_NONE;
};

TEST(RecorderPanelE2ETest, StopButtonClickDeliversIntoTheTargetThatKeepsTheKeyboard)
{
    const auto wav = speechFile(sentence);
    ASSERT_TRUE(wav) << "flite could not speak the sentence";
    XDesktop desktop;
    ASSERT_TRUE(desktop.isReady());
    desktop.paintRoot(rootColour);
    XTestKeyboard keys;
    TalvexProcess talvex;
    EntryTarget target;
    QString error;
    ASSERT_TRUE(talvex.start({}, &error)) << error.toStdString();
    ASSERT_TRUE(target.start(&error)) << error.toStdString();

    atspi::AtspiAccessibility accessibility;
    const auto field = accessibility.focusedElement(std::int32_t(target.pid()));
    ASSERT_TRUE(field);
    const xcb_window_t active = desktop.activeWindow();
    ASSERT_NE(active, xcb_window_t(XCB_NONE));
    desktop.watch(active);
    // The same field of the same program, focused, as at the start.
    auto targetKeepsTheKeyboard = [&](const char *when) {
        EXPECT_EQ(desktop.activeWindow(), active) << when;
        EXPECT_EQ(accessibility.focusedElement(std::int32_t(target.pid())), field) << when;
        EXPECT_EQ(desktop.focusChanges(), QStringList()) << when;
    };

    // Hands-free: a tap starts the dictation.
    const std::size_t first = talvex.lines().size();
    for (const std::uint32_t key : {controlKey, shiftKey, spaceKey})
        keys.press(key);
    for (const std::uint32_t key : {spaceKey, shiftKey, controlKey})
        keys.release(key);
    ASSERT_TRUE(talvex.waitForLine(QStringLiteral("app"), QStringLiteral("Phase recording"), first))
        << talvex.log().toStdString();

    // A screen reader finds the panel and its controls by name; the wave and spinner are not there.
    AccessibleTree tree;
    ASSERT_TRUE(tree.isConnected());
    std::optional<AccessibleElement> panel, stop;
    ASSERT_TRUE(waitFor(
        [&] {
            for (const AccessibleElement &application : tree.applications(talvex.pid())) {
                panel = tree.find(
                    application,
                    [&](const AccessibleElement &element) {
                        return tree.name(element) == QLatin1String("Talvex Recorder") &&
                               tree.isShowing(element);
                    },
                    1);
                if (panel)
                    return true;
            }
            return false;
        },
        std::chrono::seconds(20)))
        << "no showing window named \"Talvex Recorder\"";
    std::map<QString, std::optional<unsigned>> controls; // name -> role
    tree.find(*panel, [&](const AccessibleElement &element) {
        const QString name = tree.name(element);
        if (!name.isEmpty() && element != *panel)
            controls[name.startsWith(QLatin1String("Live transcript: "))
                         ? QStringLiteral("Live transcript: ...")
                         : name] = tree.role(element);
        if (name == QLatin1String("Stop recording"))
            stop = element;
        return false;
    });
    const QString listening = QStringLiteral("Listening\u2026");
    const QString transcriptName =
        controls.count(listening) ? listening : QStringLiteral("Live transcript: ...");
    const std::map<QString, std::optional<unsigned>> expectedControls = {
        {transcriptName, roleLabel},
        {QStringLiteral("Microphone recording"), roleImage},
        {QStringLiteral("Stop recording"), rolePushButton},
    };
    EXPECT_EQ(controls, expectedControls);
    ASSERT_TRUE(stop);
    EXPECT_EQ(tree.description(*stop), QStringLiteral("Stop recording and paste the transcript"));

    // Bottom centre of the screen holding the target, 24 above its bottom, above the target.
    const xcb_window_t window = desktop.windowTitled("Talvex Recorder");
    ASSERT_NE(window, xcb_window_t(XCB_NONE));
    ASSERT_TRUE(desktop.isViewable(window));
    const QSize screen = desktop.screenSize();
    const QRect expected((screen.width() - 386) / 2, screen.height() - 24 - 141, 386, 141);
    EXPECT_EQ(desktop.geometry(window), expected);
    EXPECT_EQ(tree.extents(*panel), expected);
    const std::vector<xcb_window_t> order = desktop.stacking();
    const auto panelLevel = std::find(order.begin(), order.end(), window);
    const auto targetLevel = std::find(order.begin(), order.end(), desktop.topLevel(active));
    ASSERT_NE(targetLevel, order.end());
    EXPECT_GT(panelLevel, targetLevel) << "the panel is stacked above the target";
    // No compositor here: the card is opaque and its corners are cut away, not painted black.
    EXPECT_EQ(desktop.pixel(expected.topLeft()), rootColour) << "a corner shows what lies beneath";
    EXPECT_EQ(desktop.pixel(expected.bottomRight()), rootColour);
    const std::uint32_t card = desktop.pixel(expected.topLeft() + QPoint(8, 70));
    EXPECT_NE(card, rootColour);
    EXPECT_NE(card, 0u) << "the card is dark grey, not black";
    targetKeepsTheKeyboard("while recording");

    ASSERT_TRUE(play(*wav));
    const auto button = tree.extents(*stop);
    ASSERT_TRUE(button);
    EXPECT_TRUE(expected.contains(*button)) << "the stop button lies inside the panel";
    desktop.click(button->center());

    const auto delivered = talvex.waitForLine(QStringLiteral("delivery"), QStringLiteral("Delivery to"),
                                              first, std::chrono::seconds(60));
    ASSERT_TRUE(delivered) << talvex.log().toStdString();
    EXPECT_EQ(delivered->message, QStringLiteral("Delivery to Zenity: Paste confirmed"));
    ASSERT_TRUE(talvex.waitForLine(QStringLiteral("app"), QStringLiteral("Phase idle"), first));
    EXPECT_TRUE(waitFor([&] { return !desktop.isViewable(window); }, std::chrono::seconds(10)))
        << "the panel hides when the dictation is over";
    targetKeepsTheKeyboard("after the click and the paste");

    const auto text = target.text();
    ASSERT_TRUE(text);
    EXPECT_LE(test::wordErrorRate(sentence, *text), 0.15) << "heard: " << text->toStdString();
    EXPECT_EQ(XTestKeyboard::keysDown(), std::vector<int>{}) << "a key was left pressed";
    EXPECT_TRUE(talvex.stop()) << talvex.log().toStdString();
}

} // namespace
} // namespace talvex::e2e
