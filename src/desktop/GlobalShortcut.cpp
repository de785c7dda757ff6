#include "GlobalShortcut.h"

#include <utility>

namespace talvex {

GlobalShortcut::GlobalShortcut(HotKeyService &hotKeys, ModifierWatcher &modifierWatcher, Clock &clock)
    : m_hotKeys(hotKeys), m_modifierWatcher(modifierWatcher), m_clock(clock),
      m_self(std::make_shared<GlobalShortcut *>(this))
{
}

GlobalShortcut::~GlobalShortcut()
{
    // A pending chord report resumes after we are gone; cancelled, it touches nothing.
    cancelModifierDelay();
}

void GlobalShortcut::setOnEvent(std::function<void(bool, double)> callback)
{
    m_onEvent = std::move(callback);
}

void GlobalShortcut::setOnInterrupted(std::function<void()> callback)
{
    m_onInterrupted = std::move(callback);
}

bool GlobalShortcut::registerShortcut(const Shortcut &shortcut)
{
    if (shortcut.reservedForEditing())
        return false;

    if (m_registration && m_registration->code() == shortcut.code() &&
        m_registration->modifiers() == shortcut.modifiers()) {
        // A chord whose watch the system stopped is started again; anything else is already live.
        if (shortcut.isChord() && (!m_modifierTap || !m_modifierTap->isEnabled()))
            return registerModifierChord(shortcut);
        return true;
    }

    if (shortcut.isChord())
        return registerModifierChord(shortcut);

    if (!m_hotKeys.isAvailable())
        return false;

    if (!m_handlerInstalled) {
        std::weak_ptr<GlobalShortcut *> self = m_self;
        m_handlerInstalled = m_hotKeys.installHandler([self](const HotKeyEvent &event) {
            const auto owner = self.lock();
            return owner && (*owner)->receiveHotKeyEvent(event);
        });
        if (!m_handlerInstalled)
            return false;
    }

    // The counter advances even when the attempt fails, so a late event of a refused attempt can
    // never match a later registration.
    const std::uint32_t id = ++m_lastIssuedID;
    auto hotkey = m_hotKeys.registerHotKey(shortcut.code(), shortcut.modifiers(), HotKeyID{signature, id});
    if (!hotkey)
        return false;

    // Only now let go of the previous shortcut, so a refusal above leaves it working.
    suspend();
    m_hotkey = std::move(hotkey);
    m_registration = shortcut;
    m_activeID = id;
    m_down = false;
    return true;
}

bool GlobalShortcut::registerModifierChord(const Shortcut &shortcut)
{
    std::weak_ptr<GlobalShortcut *> self = m_self;
    auto tap = m_modifierWatcher.createChordTap(shortcut.modifiers(), [self](const ModifierEvent &event) {
        if (const auto owner = self.lock())
            (*owner)->receiveModifierEvent(event.type, Shortcut::chordModifiers(event.modifierFlags),
                                           event.time);
    });
    if (!tap)
        return false;

    suspend();
    m_registration = shortcut;
    m_modifierTap = std::move(tap);
    // Modifiers already held now must not count as a fresh press of the chord.
    m_lastModifiers = Shortcut::chordModifiers(m_modifierWatcher.currentModifierFlags());
    return true;
}

void GlobalShortcut::suspend()
{
    m_hotkey.reset();
    m_registration.reset();
    m_activeID.reset();
    m_down = false;
    cancelModifierDelay();
    m_modifierPressTime.reset();
    m_lastModifiers = 0;
    m_modifierTap.reset();
}

bool GlobalShortcut::receiveHotKeyEvent(const HotKeyEvent &event)
{
    if (event.identifier.signature != signature)
        return false;
    // Duplicate presses or releases and events of an older registration are dropped.
    if (m_activeID && *m_activeID == event.identifier.id && event.pressed != m_down) {
        m_down = event.pressed;
        if (m_onEvent)
            m_onEvent(event.pressed, event.time);
    }
    return true;
}

void GlobalShortcut::receiveModifierEvent(ModifierEvent::Type type, std::uint32_t chordMask, double time)
{
    if (!m_modifierTap || !m_registration || !m_registration->isChord())
        return;
    const std::uint32_t chord = m_registration->modifiers();

    switch (type) {
    case ModifierEvent::Type::disabled:
        interruptModifierPress();
        if (!m_modifierTap)
            return; // the interruption's receiver let go of the shortcut: nothing to restart
        m_lastModifiers = Shortcut::chordModifiers(m_modifierWatcher.currentModifierFlags());
        m_modifierTap->enable();
        return;

    case ModifierEvent::Type::keyDown:
        // Any ordinary key while the chord is held means the user is typing a key combination.
        interruptModifierPress();
        return;

    case ModifierEvent::Type::flagsChanged:
        break;
    }

    const std::uint32_t previous = m_lastModifiers;
    m_lastModifiers = chordMask;

    if (chordMask == chord && (previous & chord) != chord) {
        // The chord has just been completed; report it once it has been held long enough.
        cancelModifierDelay();
        m_modifierPressTime = time;
        CancellationToken token;
        m_modifierDelay = token;
        reportChordPressAfterDelay(time, token);
    } else if ((chord & ~chordMask) != 0 && m_modifierPressTime) {
        // A key of the chord was let go: a quick tap reports its press now, with the key-down time.
        const double pressTime = *m_modifierPressTime;
        m_modifierPressTime.reset();
        cancelModifierDelay();
        if (!m_down && m_onEvent)
            m_onEvent(true, pressTime);
        m_down = false;
        if (m_onEvent)
            m_onEvent(false, time);
    } else if (chordMask == chord) {
        // Back to exactly the chord after extra modifiers were released: not a fresh press.
    } else {
        interruptModifierPress();
    }
}

void GlobalShortcut::interruptModifierPress()
{
    cancelModifierDelay();
    m_modifierPressTime.reset();
    if (m_down) {
        m_down = false;
        if (m_onInterrupted)
            m_onInterrupted();
    }
}

void GlobalShortcut::cancelModifierDelay()
{
    if (m_modifierDelay) {
        const CancellationToken token = *m_modifierDelay;
        m_modifierDelay.reset();
        token.cancel();
    }
}

QCoro::Task<> GlobalShortcut::reportChordPressAfterDelay(double pressTime, CancellationToken token)
{
    const bool elapsed = co_await m_clock.sleep(chordPressDelay, token);
    // Cancelled means released, interrupted, suspended or destroyed: touch nothing.
    if (!elapsed || token.isCancelled())
        co_return;
    if (m_modifierPressTime != pressTime)
        co_return;
    m_down = true;
    if (m_onEvent)
        m_onEvent(true, pressTime);
}

} // namespace talvex
