#include "X11KeyboardPoster.h"

#include "Logging.h"

#include <X11/keysym.h>
#include <xcb/xinput.h>
#include <xcb/xtest.h>

#include <cstring>
#include <string_view>

namespace talvex::x11 {

namespace {

KeyRole roleOf(xcb_keysym_t symbol)
{
    switch (symbol) {
    case XK_Control_L:
    case XK_Control_R:
        return KeyRole::control;
    case XK_Shift_L:
    case XK_Shift_R:
        return KeyRole::shift;
    case XK_Alt_L:
    case XK_Alt_R:
    case XK_Meta_L:
    case XK_Meta_R:
        return KeyRole::alt;
    case XK_Super_L:
    case XK_Super_R:
    case XK_Hyper_L:
    case XK_Hyper_R:
        return KeyRole::super;
    case XK_ISO_Level3_Shift:
    case XK_ISO_Level5_Shift:
    case XK_Mode_switch:
        return KeyRole::otherModifier;
    default:
        return KeyRole::other;
    }
}

} // namespace

X11KeyboardPoster::X11KeyboardPoster(const char *display) : m_connection(connectToDisplay(display))
{
    if (!m_connection) {
        qCWarning(lcX11) << "key posting: no X server";
        return;
    }
    xcb_connection_t *c = m_connection.get();
    m_root = rootWindow(c);
    const xcb_query_extension_reply_t *xtest = xcb_get_extension_data(c, &xcb_test_id);
    m_hasXTest = xtest && xtest->present;
    const xcb_query_extension_reply_t *xinput = xcb_get_extension_data(c, &xcb_input_id);
    if (xinput && xinput->present) {
        XcbReply<xcb_input_xi_query_version_reply_t> version(
            xcb_input_xi_query_version_reply(c, xcb_input_xi_query_version(c, 2, 0), nullptr));
        m_hasXInput = version && version->major_version >= 2;
    }
}

X11KeyboardPoster::~X11KeyboardPoster()
{
    const std::set<std::uint8_t> pressed = m_pressed;
    for (const std::uint8_t keycode : pressed) {
        qCWarning(lcX11) << "key posting: releasing key" << keycode << "left down";
        post(KeyboardKey{keycode, KeyRole::other}, false);
    }
}

bool X11KeyboardPoster::canPostEvents() { return m_connection && m_hasXTest; }

bool X11KeyboardPoster::requestPostEventAccess() { return canPostEvents(); }

X11KeyboardPoster::KeySymbols X11KeyboardPoster::keySymbols() const
{
    return KeySymbols(m_connection ? xcb_key_symbols_alloc(m_connection.get()) : nullptr);
}

std::optional<KeyboardKey> X11KeyboardPoster::keyFor(ChordKey key)
{
    KeySymbols symbols = keySymbols();
    if (!symbols)
        return std::nullopt;
    xcb_keysym_t wanted = XK_v;
    switch (key) {
    case ChordKey::control: wanted = XK_Control_L; break;
    case ChordKey::shift: wanted = XK_Shift_L; break;
    case ChordKey::v: wanted = XK_v; break;
    case ChordKey::insert: wanted = XK_Insert; break;
    }
    XcbReply<xcb_keycode_t> codes(xcb_key_symbols_get_keycode(symbols.get(), wanted));
    if (!codes || codes.get()[0] == XCB_NO_SYMBOL)
        return std::nullopt;
    return describe(symbols.get(), codes.get()[0]);
}

KeyboardKey X11KeyboardPoster::describe(xcb_key_symbols_t *symbols, xcb_keycode_t keycode) const
{
    return {keycode, roleOf(xcb_key_symbols_get_keysym(symbols, keycode, 0))};
}

std::vector<KeyboardKey> X11KeyboardPoster::keysIn(xcb_key_symbols_t *symbols, const std::uint8_t *bitmap) const
{
    std::vector<KeyboardKey> keys;
    for (int keycode = 8; keycode < 256; ++keycode) {
        if (bitmap[keycode / 8] & (1u << (keycode % 8)))
            keys.push_back(describe(symbols, static_cast<xcb_keycode_t>(keycode)));
    }
    return keys;
}

std::vector<KeyboardKey> X11KeyboardPoster::heldKeys()
{
    KeySymbols symbols = keySymbols();
    if (!symbols)
        return {};
    xcb_connection_t *c = m_connection.get();
    XcbReply<xcb_query_keymap_reply_t> keymap(xcb_query_keymap_reply(c, xcb_query_keymap(c), nullptr));
    if (!keymap)
        return {};
    return keysIn(symbols.get(), keymap->keys);
}

std::optional<std::vector<KeyboardKey>> X11KeyboardPoster::physicallyHeldKeys()
{
    if (!m_hasXInput)
        return std::nullopt;
    KeySymbols symbols = keySymbols();
    if (!symbols)
        return std::nullopt;
    xcb_connection_t *c = m_connection.get();
    XcbReply<xcb_input_xi_query_device_reply_t> devices(
        xcb_input_xi_query_device_reply(c, xcb_input_xi_query_device(c, XCB_INPUT_DEVICE_ALL), nullptr));
    if (!devices)
        return std::nullopt;

    // The union of the real keyboards; the XTest device carries only what programs posted.
    std::uint8_t held[32] = {};
    for (auto it = xcb_input_xi_query_device_infos_iterator(devices.get()); it.rem; xcb_input_xi_device_info_next(&it)) {
        const xcb_input_xi_device_info_t *info = it.data;
        if (info->type != XCB_INPUT_DEVICE_TYPE_SLAVE_KEYBOARD || !info->enabled)
            continue;
        const std::string_view name(xcb_input_xi_device_info_name(info), info->name_len);
        if (name.find("XTEST") != std::string_view::npos)
            continue;
        XcbReply<xcb_input_query_device_state_reply_t> state(xcb_input_query_device_state_reply(
            c, xcb_input_query_device_state(c, static_cast<std::uint8_t>(info->deviceid)), nullptr));
        if (!state)
            return std::nullopt;
        for (auto cls = xcb_input_query_device_state_classes_iterator(state.get()); cls.rem;
             xcb_input_input_state_next(&cls)) {
            if (cls.data->class_id != XCB_INPUT_INPUT_CLASS_KEY)
                continue;
            // Key class on the wire: num_keys, pad, then a 32-byte bitmap.
            const auto *data = static_cast<const std::uint8_t *>(xcb_input_input_state_data(cls.data));
            for (int i = 0; i < 32; ++i)
                held[i] |= data[2 + i];
        }
    }
    return keysIn(symbols.get(), held);
}

bool X11KeyboardPoster::post(const KeyboardKey &key, bool down)
{
    if (!canPostEvents() || key.id < 8 || key.id > 255)
        return false;
    xcb_connection_t *c = m_connection.get();
    const auto cookie = xcb_test_fake_input_checked(c, down ? XCB_KEY_PRESS : XCB_KEY_RELEASE,
                                                    static_cast<std::uint8_t>(key.id), XCB_CURRENT_TIME, m_root, 0, 0, 0);
    // Checking waits for the server, so the key has reached it before the caller's next step.
    XcbReply<xcb_generic_error_t> error(xcb_request_check(c, cookie));
    if (error) {
        qCWarning(lcX11) << "XTest refused a key event, error" << error->error_code;
        return false;
    }
    if (down)
        m_pressed.insert(static_cast<std::uint8_t>(key.id));
    else
        m_pressed.erase(static_cast<std::uint8_t>(key.id));
    return true;
}

} // namespace talvex::x11
