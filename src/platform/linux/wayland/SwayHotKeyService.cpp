#include "SwayHotKeyService.h"

#include "X11KeyTranslation.h"

namespace talvex::wayland {

class SwayHotKeyService::SwayRegistration final : public Registration {
  public:
    SwayRegistration(SwaySession *session, std::vector<SwayMarker> markers, std::weak_ptr<bool> alive)
        : m_session(session), m_markers(std::move(markers)), m_alive(std::move(alive))
    {
    }
    ~SwayRegistration() override
    {
        if (!m_alive.expired())
            m_session->unbind(m_markers);
    }

  private:
    SwaySession *m_session;
    std::vector<SwayMarker> m_markers;
    std::weak_ptr<bool> m_alive;
};

SwayHotKeyService::SwayHotKeyService(SwaySession *session) : m_session(session)
{
    if (m_session)
        m_session->setListener(SwayMarker::Kind::hotKey,
                               [this](const SwayMarker &marker, double time) { receive(marker, time); });
}

SwayHotKeyService::~SwayHotKeyService()
{
    if (m_session)
        m_session->setListener(SwayMarker::Kind::hotKey, {});
}

bool SwayHotKeyService::isAvailable()
{
    return m_session != nullptr;
}

bool SwayHotKeyService::installHandler(Handler handler)
{
    if (!isAvailable())
        return false;
    m_handler = std::move(handler);
    return true;
}

std::unique_ptr<HotKeyService::Registration>
SwayHotKeyService::registerHotKey(std::uint32_t code, std::uint32_t modifiers, HotKeyID identifier)
{
    if (!isAvailable() || !SwayBindings::modifierPrefix(modifiers))
        return nullptr;
    const auto keycode = x11::xKeycodeFor(code);
    if (!keycode)
        return nullptr;
    const SwayMarker press =
        SwaySession::marker(SwayMarker::Kind::hotKey, identifier.signature, identifier.id, true);
    SwayMarker release = press;
    release.press = false;
    const std::vector<SwaySession::Entry> entries = {{{modifiers, *keycode, false}, press},
                                                     {{modifiers, *keycode, true}, release}};
    if (m_session->bind(entries) != SwaySession::BindResult::bound)
        return nullptr;
    return std::make_unique<SwayRegistration>(m_session, std::vector<SwayMarker>{press}, m_alive);
}

void SwayHotKeyService::receive(const SwayMarker &marker, double time)
{
    if (m_handler)
        m_handler(HotKeyEvent{{marker.signature, marker.id}, marker.press, time});
}

} // namespace talvex::wayland
