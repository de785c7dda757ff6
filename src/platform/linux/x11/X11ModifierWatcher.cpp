#include "X11ModifierWatcher.h"

#include <algorithm>
#include <xcb/xinput.h>

namespace talvex::x11 {

class X11ModifierWatcher::X11Tap final : public Tap {
  public:
    X11Tap(X11ModifierWatcher *watcher, std::shared_ptr<TapState> state)
        : m_watcher(watcher), m_state(std::move(state))
    {
    }
    ~X11Tap() override
    {
        std::erase(m_watcher->m_taps, m_state);
        if (m_watcher->m_taps.empty())
            m_watcher->select(false);
    }
    // X never stops a selection by itself; only a lost connection ends the watch.
    bool isEnabled() const override { return m_watcher->m_connection->isAlive(); }
    void enable() override {}

  private:
    X11ModifierWatcher *m_watcher;
    std::shared_ptr<TapState> m_state;
};

X11ModifierWatcher::X11ModifierWatcher(std::shared_ptr<X11EventConnection> connection)
    : m_connection(std::move(connection))
{
    if (m_connection)
        m_listener = m_connection->addListener([this](const xcb_generic_event_t *event) { receive(event); });
}

X11ModifierWatcher::~X11ModifierWatcher()
{
    if (!m_connection)
        return;
    m_connection->removeListener(m_listener);
    if (!m_taps.empty())
        select(false);
}

std::unique_ptr<ModifierWatcher::Tap> X11ModifierWatcher::createTap(Handler handler)
{
    if (!m_connection || !m_connection->isAlive() || !m_connection->xinputOpcode())
        return nullptr;
    if (m_taps.empty()) {
        select(true);
        // Start from what is held now; later changes come from the events.
        m_held = queryHeldModifiers();
    }
    auto state = std::make_shared<TapState>(TapState{std::move(handler)});
    m_taps.push_back(state);
    return std::make_unique<X11Tap>(this, state);
}

std::uint32_t X11ModifierWatcher::currentModifierFlags()
{
    if (!m_taps.empty())
        return trackedFlags();
    if (!m_connection || !m_connection->isAlive())
        return 0;
    std::uint32_t flags = 0;
    for (const auto &[keycode, key] : queryHeldModifiers())
        flags |= keyFlagOf(key);
    return flags;
}

void X11ModifierWatcher::select(bool on)
{
    struct {
        xcb_input_event_mask_t head;
        std::uint32_t mask;
    } selection{
        {XCB_INPUT_DEVICE_ALL_MASTER, 1},
        on ? std::uint32_t(XCB_INPUT_XI_EVENT_MASK_RAW_KEY_PRESS | XCB_INPUT_XI_EVENT_MASK_RAW_KEY_RELEASE)
           : 0u};
    const xcb_void_cookie_t cookie =
        xcb_input_xi_select_events(m_connection->connection(), m_connection->root(), 1, &selection.head);
    if (on)
        m_selectSequence = cookie.sequence;
    xcb_flush(m_connection->connection());
    if (!on)
        m_held.clear();
}

std::map<std::uint8_t, ModifierKey> X11ModifierWatcher::queryHeldModifiers()
{
    std::map<std::uint8_t, ModifierKey> held;
    xcb_connection_t *c = m_connection->connection();
    XcbReply<xcb_query_keymap_reply_t> keymap(xcb_query_keymap_reply(c, xcb_query_keymap(c), nullptr));
    m_connection->scheduleDrain();
    if (!keymap)
        return held;
    for (int keycode = 8; keycode < 256; ++keycode) {
        if (!(keymap->keys[keycode / 8] & (1u << (keycode % 8))))
            continue;
        const ModifierKey key = m_connection->keys().modifierKey(static_cast<std::uint8_t>(keycode));
        if (keyFlagOf(key))
            held.emplace(static_cast<std::uint8_t>(keycode), key);
    }
    return held;
}

std::uint32_t X11ModifierWatcher::trackedFlags() const
{
    std::uint32_t flags = 0;
    for (const auto &[keycode, key] : m_held)
        flags |= keyFlagOf(key);
    return flags;
}

void X11ModifierWatcher::receive(const xcb_generic_event_t *event)
{
    if (m_taps.empty() || (event->response_type & 0x7f) != XCB_GE_GENERIC)
        return;
    const auto *generic = reinterpret_cast<const xcb_ge_generic_event_t *>(event);
    if (generic->extension != m_connection->xinputOpcode())
        return;
    if (generic->event_type != XCB_INPUT_RAW_KEY_PRESS && generic->event_type != XCB_INPUT_RAW_KEY_RELEASE)
        return;
    const auto *raw = reinterpret_cast<const xcb_input_raw_key_press_event_t *>(event);
    if (static_cast<std::int32_t>(raw->full_sequence - m_selectSequence) < 0)
        return;
    const bool pressed = generic->event_type == XCB_INPUT_RAW_KEY_PRESS;
    const auto keycode = static_cast<std::uint8_t>(raw->detail);
    const double time = m_connection->seconds(raw->time);
    const ModifierKey key = m_connection->keys().modifierKey(keycode);

    if (key == ModifierKey::none) {
        if (pressed)
            send({ModifierEvent::Type::keyDown, trackedFlags(), time});
        return;
    }
    if (!keyFlagOf(key))
        return; // lock and level keys neither form a chord nor type
    const bool wasHeld = m_held.contains(keycode);
    if (pressed == wasHeld)
        return; // a repeated press or a duplicate release
    if (pressed)
        m_held.emplace(keycode, key);
    else
        m_held.erase(keycode);
    send({ModifierEvent::Type::flagsChanged, trackedFlags(), time});
}

void X11ModifierWatcher::send(const ModifierEvent &event)
{
    // A handler may end its own watch or start another.
    const auto taps = m_taps;
    for (const auto &tap : taps) {
        if (std::find(m_taps.begin(), m_taps.end(), tap) != m_taps.end())
            tap->handler(event);
    }
}

} // namespace talvex::x11
