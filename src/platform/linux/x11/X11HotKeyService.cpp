#include "X11HotKeyService.h"

#include "Logging.h"

#include <algorithm>

namespace talvex::x11 {

namespace {

constexpr std::uint8_t badAccess = 10; // another client holds the grab

// Sequence numbers wrap at 32 bits; compare them by their difference.
bool isEarlier(std::uint32_t sequence, std::uint32_t than)
{
    return static_cast<std::int32_t>(sequence - than) < 0;
}

} // namespace

class X11HotKeyService::X11Registration final : public Registration {
  public:
    X11Registration(X11HotKeyService *service, HotKeyID identifier)
        : m_service(service), m_identifier(identifier)
    {
    }
    ~X11Registration() override
    {
        auto &grabs = m_service->m_grabs;
        const auto it = std::find_if(grabs.begin(), grabs.end(),
                                     [this](const Grab &grab) { return grab.identifier == m_identifier; });
        if (it == grabs.end())
            return;
        m_service->ungrab(*it);
        if (m_service->m_pressed && m_service->m_pressed->identifier == m_identifier)
            m_service->m_pressed.reset();
        grabs.erase(it);
    }

  private:
    X11HotKeyService *m_service;
    HotKeyID m_identifier;
};

X11HotKeyService::X11HotKeyService(std::shared_ptr<X11EventConnection> connection)
    : m_connection(std::move(connection))
{
    if (m_connection)
        m_listener = m_connection->addListener([this](const xcb_generic_event_t *event) { receive(event); });
}

X11HotKeyService::~X11HotKeyService()
{
    if (!m_connection)
        return;
    m_connection->removeListener(m_listener);
    for (const Grab &grab : m_grabs)
        ungrab(grab);
}

bool X11HotKeyService::isAvailable()
{
    return m_connection && m_connection->isAlive();
}

bool X11HotKeyService::installHandler(Handler handler)
{
    if (!isAvailable())
        return false;
    m_handler = std::move(handler);
    return true;
}

std::vector<std::uint16_t> X11HotKeyService::lockCombinations() const
{
    const std::uint16_t numLock = m_connection->keys().numLockMask();
    std::vector<std::uint16_t> combinations{0, XCB_MOD_MASK_LOCK};
    if (numLock) {
        combinations.push_back(numLock);
        combinations.push_back(numLock | XCB_MOD_MASK_LOCK);
    }
    return combinations;
}

void X11HotKeyService::ungrab(const Grab &grab)
{
    for (const std::uint16_t locks : lockCombinations())
        xcb_ungrab_key(m_connection->connection(), grab.keycode, m_connection->root(),
                       grab.modifiers | locks);
    // Released means released for everyone: another program may take the key right after.
    m_connection->sync();
}

std::unique_ptr<HotKeyService::Registration>
X11HotKeyService::registerHotKey(std::uint32_t code, std::uint32_t modifiers, HotKeyID identifier)
{
    if (!isAvailable())
        return nullptr;
    const auto keycode = xKeycodeFor(code);
    const auto xModifiers = m_connection->keys().xModifiers(modifiers);
    if (!keycode || !xModifiers)
        return nullptr;
    // The server does not refuse our own grab twice; two registrations of one key cannot coexist.
    for (const Grab &grab : m_grabs) {
        if (grab.keycode == *keycode && grab.modifiers == *xModifiers)
            return nullptr;
    }

    xcb_connection_t *c = m_connection->connection();
    const std::vector<std::uint16_t> combinations = lockCombinations();
    std::vector<xcb_void_cookie_t> cookies;
    for (const std::uint16_t locks : combinations) {
        cookies.push_back(xcb_grab_key_checked(c, 1, m_connection->root(), *xModifiers | locks, *keycode,
                                               XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC));
    }
    // Each check waits for the server's answer (a round trip), so the result is the real one.
    bool refused = false;
    std::vector<std::uint16_t> granted;
    for (std::size_t i = 0; i < cookies.size(); ++i) {
        XcbReply<xcb_generic_error_t> error(xcb_request_check(c, cookies[i]));
        if (error) {
            refused = true;
            if (error->error_code != badAccess)
                qCWarning(lcX11) << "Key grab failed with X error" << error->error_code;
        } else {
            granted.push_back(combinations[i]);
        }
    }
    m_connection->scheduleDrain();
    if (refused) {
        for (const std::uint16_t locks : granted)
            xcb_ungrab_key(c, *keycode, m_connection->root(), *xModifiers | locks);
        m_connection->sync();
        return nullptr;
    }

    m_grabs.push_back(Grab{*keycode, *xModifiers, identifier, cookies.front().sequence});
    return std::make_unique<X11Registration>(this, identifier);
}

void X11HotKeyService::receive(const xcb_generic_event_t *event)
{
    const std::uint8_t type = event->response_type & 0x7f;
    if (type != XCB_KEY_PRESS && type != XCB_KEY_RELEASE)
        return;
    const auto *key = reinterpret_cast<const xcb_key_press_event_t *>(event);
    const bool pressed = type == XCB_KEY_PRESS;

    std::optional<Grab> grab;
    if (pressed) {
        const std::uint16_t numLock = m_connection->keys().numLockMask();
        const std::uint16_t modifiers = key->state & ~(XCB_MOD_MASK_LOCK | numLock) & 0xff;
        for (const Grab &candidate : m_grabs) {
            if (candidate.keycode == key->detail && candidate.modifiers == modifiers &&
                !isEarlier(event->full_sequence, candidate.sequence))
                grab = candidate;
        }
        if (grab)
            m_pressed = grab;
    } else if (m_pressed && m_pressed->keycode == key->detail) {
        // Modifiers let go before the key do not make its release someone else's.
        grab = m_pressed;
        m_pressed.reset();
    }
    if (!grab || !m_handler)
        return;
    m_handler(HotKeyEvent{grab->identifier, pressed, m_connection->seconds(key->time)});
}

} // namespace talvex::x11
