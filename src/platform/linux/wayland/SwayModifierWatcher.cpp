#include "SwayModifierWatcher.h"

#include "KeyEvent.h"
#include "WaylandLogging.h"

namespace talvex::wayland {

namespace {

// KeyFlags of the hot-key modifier bits.
std::uint32_t keyFlagsOf(std::uint32_t modifiers)
{
    std::uint32_t flags = 0;
    if (modifiers & SwayBindings::controlBit)
        flags |= KeyFlags::control;
    if (modifiers & SwayBindings::altBit)
        flags |= KeyFlags::option;
    if (modifiers & SwayBindings::shiftBit)
        flags |= KeyFlags::shift;
    if (modifiers & SwayBindings::superBit)
        flags |= KeyFlags::command;
    return flags;
}

} // namespace

class SwayModifierWatcher::SwayTap final : public Tap {
  public:
    SwayTap(SwayModifierWatcher *owner, std::uint32_t id, std::shared_ptr<Watch> watch)
        : m_owner(owner), m_id(id), m_watch(std::move(watch))
    {
    }
    ~SwayTap() override
    {
        m_owner->m_watches.erase(m_id);
        std::vector<SwayMarker> markers;
        for (const auto &entry : m_watch->entries)
            markers.push_back(entry.marker);
        m_owner->m_session->unbind(markers);
    }
    bool isEnabled() const override { return m_watch->enabled; }
    void enable() override
    {
        if (m_watch->enabled)
            return;
        // Bound again unless the user's configuration has taken the chord meanwhile.
        m_watch->enabled = m_owner->m_session->bind(m_watch->entries) == SwaySession::BindResult::bound;
        m_watch->held = false;
    }

  private:
    SwayModifierWatcher *m_owner;
    std::uint32_t m_id;
    std::shared_ptr<Watch> m_watch;
};

SwayModifierWatcher::SwayModifierWatcher(SwaySession *session) : m_session(session)
{
    if (!m_session)
        return;
    m_session->setListener(SwayMarker::Kind::chord,
                           [this](const SwayMarker &marker, double time) { receive(marker, time); });
    m_session->setOnLost([this](const std::vector<SwayMarker> &markers) { lost(markers); });
}

SwayModifierWatcher::~SwayModifierWatcher()
{
    if (!m_session)
        return;
    m_session->setListener(SwayMarker::Kind::chord, {});
    m_session->setOnLost({});
}

std::unique_ptr<ModifierWatcher::Tap> SwayModifierWatcher::createTap(Handler)
{
    return nullptr;
}

std::unique_ptr<ModifierWatcher::Tap> SwayModifierWatcher::createChordTap(std::uint32_t chordModifiers,
                                                                          Handler handler)
{
    if (!m_session)
        return nullptr;
    const std::vector<SwayBinding> presses = SwayBindings::chordBindings(chordModifiers, m_session->keymap());
    if (presses.empty())
        return nullptr;
    const std::uint32_t id = ++m_lastID;
    auto watch = std::make_shared<Watch>();
    watch->chordFlags = keyFlagsOf(chordModifiers);
    watch->handler = std::move(handler);
    for (const SwayBinding &press : presses) {
        watch->entries.push_back({press, SwaySession::marker(SwayMarker::Kind::chord, 0, id, true)});
        SwayBinding release = press;
        release.release = true;
        watch->entries.push_back({release, SwaySession::marker(SwayMarker::Kind::chord, 0, id, false)});
    }
    if (m_session->bind(watch->entries) != SwaySession::BindResult::bound)
        return nullptr;
    m_watches[id] = watch;
    return std::make_unique<SwayTap>(this, id, watch);
}

std::uint32_t SwayModifierWatcher::currentModifierFlags()
{
    return 0;
}

void SwayModifierWatcher::send(Watch &watch, const ModifierEvent &event)
{
    // Copy: the handler may end the watch.
    const Handler handler = watch.handler;
    if (handler)
        handler(event);
}

void SwayModifierWatcher::receive(const SwayMarker &marker, double time)
{
    const auto found = m_watches.find(marker.id);
    if (found == m_watches.end() || !found->second->enabled)
        return;
    const std::shared_ptr<Watch> watch = found->second;
    if (marker.press) {
        if (watch->held) {
            // No release came since the last completion: sway drops it when another key is
            // pressed while the chord is held. That key interrupted the chord.
            send(*watch, {ModifierEvent::Type::keyDown, watch->chordFlags, time});
            send(*watch, {ModifierEvent::Type::flagsChanged, 0, time});
        }
        watch->held = true;
        send(*watch, {ModifierEvent::Type::flagsChanged, watch->chordFlags, time});
    } else if (watch->held) {
        watch->held = false;
        send(*watch, {ModifierEvent::Type::flagsChanged, 0, time});
    }
}

void SwayModifierWatcher::lost(const std::vector<SwayMarker> &markers)
{
    for (const SwayMarker &marker : markers) {
        if (marker.kind != SwayMarker::Kind::chord)
            continue;
        const auto found = m_watches.find(marker.id);
        if (found == m_watches.end() || !found->second->enabled)
            continue;
        const std::shared_ptr<Watch> watch = found->second;
        // The rest of the chord's bindings go too; the watch is stopped until enabled again.
        std::vector<SwayMarker> all;
        for (const auto &entry : watch->entries)
            all.push_back(entry.marker);
        m_session->unbind(all);
        watch->enabled = false;
        watch->held = false;
        qCWarning(lcWayland) << "Sway's configuration now binds Talvex's chord";
        send(*watch, {ModifierEvent::Type::disabled, 0, 0});
    }
}

} // namespace talvex::wayland
