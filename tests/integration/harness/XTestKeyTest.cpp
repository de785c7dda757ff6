// Key events synthesized through XTest reach a focused X client, with the right key codes, in order,
// with modifier state, and leave no key held down. Paste and shortcut tests build on exactly this.
#include "XcbEvents.h"

#include <xcb/xcb_keysyms.h>
#include <xcb/xtest.h>

#include <X11/keysym.h>

#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace talvex::test {
namespace {

struct KeySymbolsDeleter {
    void operator()(xcb_key_symbols_t *symbols) const { xcb_key_symbols_free(symbols); }
};

/// One window of the test's own on its own connection, mapped and holding the input focus.
class FocusedWindow final {
public:
    FocusedWindow()
        : m_connection(x11::connectToDisplay())
    {
        if (!m_connection)
            return;
        xcb_connection_t *c = m_connection.get();
        const xcb_screen_t *screen = xcb_setup_roots_iterator(xcb_get_setup(c)).data;
        m_window = xcb_generate_id(c);
        const uint32_t events = XCB_EVENT_MASK_KEY_PRESS | XCB_EVENT_MASK_KEY_RELEASE
                                | XCB_EVENT_MASK_FOCUS_CHANGE | XCB_EVENT_MASK_STRUCTURE_NOTIFY;
        xcb_create_window(c, XCB_COPY_FROM_PARENT, m_window, screen->root, 100, 100, 300, 200, 0,
                          XCB_WINDOW_CLASS_INPUT_OUTPUT, screen->root_visual, XCB_CW_EVENT_MASK, &events);
        xcb_map_window(c, m_window);
        m_mapped = awaitEvent(c, [](const xcb_generic_event_t &e) { return eventType(e) == XCB_MAP_NOTIFY; })
                   != nullptr;
        if (!m_mapped)
            return;
        // The window manager focuses new windows too; asking explicitly makes the test not depend on it.
        xcb_set_input_focus(c, XCB_INPUT_FOCUS_POINTER_ROOT, m_window, XCB_CURRENT_TIME);
        m_focused = awaitFocus();
    }

    bool ready() const { return m_connection && m_mapped && m_focused; }
    xcb_connection_t *connection() const { return m_connection.get(); }
    xcb_window_t window() const { return m_window; }

    /// The next key press or release delivered to this window; null after the timeout.
    XcbEvent nextKeyEvent()
    {
        return awaitEvent(m_connection.get(), [this](const xcb_generic_event_t &e) {
            const int type = eventType(e);
            if (type != XCB_KEY_PRESS && type != XCB_KEY_RELEASE)
                return false;
            return reinterpret_cast<const xcb_key_press_event_t &>(e).event == m_window;
        });
    }

private:
    bool awaitFocus()
    {
        const auto focus = x11::XcbReply<xcb_get_input_focus_reply_t>(
            xcb_get_input_focus_reply(m_connection.get(), xcb_get_input_focus(m_connection.get()), nullptr));
        if (focus && focus->focus == m_window)
            return true;
        return awaitEvent(m_connection.get(), [this](const xcb_generic_event_t &e) {
                   return eventType(e) == XCB_FOCUS_IN
                          && reinterpret_cast<const xcb_focus_in_event_t &>(e).event == m_window;
               })
               != nullptr;
    }

    x11::XcbConnection m_connection;
    xcb_window_t m_window = XCB_NONE;
    bool m_mapped = false;
    bool m_focused = false;
};

/// A second client that types through XTest, every key of a sequence on this one connection.
class XTestTyper final {
public:
    XTestTyper()
        : m_connection(x11::connectToDisplay())
    {
        if (m_connection)
            m_symbols.reset(xcb_key_symbols_alloc(m_connection.get()));
    }

    bool ready() const
    {
        if (!m_connection || !m_symbols)
            return false;
        const xcb_query_extension_reply_t *xtest = xcb_get_extension_data(m_connection.get(), &xcb_test_id);
        return xtest && xtest->present;
    }

    xcb_keycode_t keycode(xcb_keysym_t symbol) const
    {
        std::unique_ptr<xcb_keycode_t, x11::FreeDeleter> codes(
            xcb_key_symbols_get_keycode(m_symbols.get(), symbol));
        return codes ? codes.get()[0] : XCB_NO_SYMBOL;
    }

    void press(xcb_keycode_t code) { fake(XCB_KEY_PRESS, code); }
    void release(xcb_keycode_t code) { fake(XCB_KEY_RELEASE, code); }

    /// Key codes the server reports as held down right now.
    std::vector<xcb_keycode_t> keysDown() const
    {
        std::vector<xcb_keycode_t> down;
        const x11::XcbReply<xcb_query_keymap_reply_t> map(
            xcb_query_keymap_reply(m_connection.get(), xcb_query_keymap(m_connection.get()), nullptr));
        if (!map)
            return down;
        for (int code = 8; code < 256; ++code) {
            if (map->keys[code / 8] & (1 << (code % 8)))
                down.push_back(static_cast<xcb_keycode_t>(code));
        }
        return down;
    }

private:
    void fake(uint8_t type, xcb_keycode_t code)
    {
        xcb_test_fake_input(m_connection.get(), type, code, XCB_CURRENT_TIME, XCB_NONE, 0, 0, 0);
        // A round trip makes the server process the key before the test looks for it.
        free(xcb_get_input_focus_reply(m_connection.get(), xcb_get_input_focus(m_connection.get()), nullptr));
    }

    x11::XcbConnection m_connection;
    std::unique_ptr<xcb_key_symbols_t, KeySymbolsDeleter> m_symbols;
};

const xcb_key_press_event_t &asKey(const XcbEvent &event)
{
    return *reinterpret_cast<const xcb_key_press_event_t *>(event.get());
}

class XTestKeys : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_window.ready()) << "the test window was not mapped and focused";
        ASSERT_TRUE(m_typer.ready()) << "no XTest on the private display";
    }

    FocusedWindow m_window;
    XTestTyper m_typer;
};

TEST_F(XTestKeys, PressAndReleaseArriveInOrderWithTheSentKeyCode)
{
    const xcb_keycode_t a = m_typer.keycode(XK_a);
    ASSERT_NE(a, XCB_NO_SYMBOL);

    m_typer.press(a);
    m_typer.release(a);

    const XcbEvent pressed = m_window.nextKeyEvent();
    ASSERT_TRUE(pressed) << "no key press arrived";
    EXPECT_EQ(eventType(*pressed), XCB_KEY_PRESS);
    EXPECT_EQ(asKey(pressed).detail, a);
    EXPECT_EQ(asKey(pressed).state & XCB_MOD_MASK_CONTROL, 0);

    const XcbEvent released = m_window.nextKeyEvent();
    ASSERT_TRUE(released) << "no key release arrived";
    EXPECT_EQ(eventType(*released), XCB_KEY_RELEASE);
    EXPECT_EQ(asKey(released).detail, a);
}

TEST_F(XTestKeys, ModifierHeldOnTheSameConnectionShowsInTheKeyStateAndIsReleasedAfter)
{
    const xcb_keycode_t control = m_typer.keycode(XK_Control_L);
    const xcb_keycode_t v = m_typer.keycode(XK_v);
    ASSERT_NE(control, XCB_NO_SYMBOL);
    ASSERT_NE(v, XCB_NO_SYMBOL);

    m_typer.press(control);
    m_typer.press(v);
    m_typer.release(v);
    m_typer.release(control);

    const std::vector<std::pair<int, xcb_keycode_t>> expected = {
        {XCB_KEY_PRESS, control}, {XCB_KEY_PRESS, v}, {XCB_KEY_RELEASE, v}, {XCB_KEY_RELEASE, control}};
    for (const auto &[type, code] : expected) {
        const XcbEvent event = m_window.nextKeyEvent();
        ASSERT_TRUE(event) << "missing key event for key code " << int(code);
        EXPECT_EQ(eventType(*event), type);
        EXPECT_EQ(asKey(event).detail, code);
        if (code == v) {
            EXPECT_NE(asKey(event).state & XCB_MOD_MASK_CONTROL, 0) << "Control was not held for V";
        }
    }
    EXPECT_TRUE(m_typer.keysDown().empty()) << "a key stayed pressed";
}

} // namespace
} // namespace talvex::test
