#pragma once

#include "Shortcut.h"
#include "platform/CancellationToken.h"
#include "platform/Clock.h"
#include "platform/HotKeyService.h"
#include "platform/ModifierWatcher.h"

#include <QCoro/QCoroTask>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

namespace talvex {

/// Makes the user's shortcut work system-wide and turns the system's notifications into one clean
/// stream of presses and releases with their times. An ordinary shortcut is a hot key; a
/// modifier-only chord is recognised by watching modifier changes, its press reported only after
/// it has been held for chordPressDelay so that ordinary Ctrl/Alt/Super combinations typed by the
/// user are not mistaken for it. Main thread only. The services and the clock must outlive it.
class GlobalShortcut final {
  public:
    /// How long a chord must be held before its press is reported.
    static constexpr double chordPressDelay = 0.120;
    /// "TLVX": the signature of our hot-key identifiers.
    static constexpr std::uint32_t signature = (std::uint32_t('T') << 24) | (std::uint32_t('L') << 16) |
                                               (std::uint32_t('V') << 8) | std::uint32_t('X');

    GlobalShortcut(HotKeyService &hotKeys, ModifierWatcher &modifierWatcher, Clock &clock);
    ~GlobalShortcut();
    GlobalShortcut(const GlobalShortcut &) = delete;
    GlobalShortcut &operator=(const GlobalShortcut &) = delete;

    /// Receives every press and release: (pressed, time in seconds). A chord's press carries the
    /// time its keys went down, even when it is reported later.
    void setOnEvent(std::function<void(bool pressed, double time)> callback);
    /// Receives the interruption of a chord press that was already reported (no release follows).
    void setOnInterrupted(std::function<void()> callback);

    /// Makes `shortcut` the live one; true on success. On failure the previous shortcut stays live.
    /// Editing commands are always refused. Registering the same key and modifiers again is a
    /// success that changes nothing (the label is not compared).
    bool registerShortcut(const Shortcut &shortcut);
    /// Makes no shortcut live and forgets a press in progress without reporting anything.
    void suspend();

    /// A modifier watch event on the main thread: `chordMask` is Shortcut::chordModifiers of the
    /// event's flags.
    void receiveModifierEvent(ModifierEvent::Type type, std::uint32_t chordMask, double time);
    /// A hot-key event on the main thread; false when the event is not one of ours.
    bool receiveHotKeyEvent(const HotKeyEvent &event);

    /// What is live now, hot key or chord.
    const std::optional<Shortcut> &registration() const { return m_registration; }
    /// The last hot-key id issued; advances with every hot-key attempt, failed ones too.
    std::uint32_t lastIssuedID() const { return m_lastIssuedID; }
    /// Id of the live hot key; events of any other id are ignored.
    std::optional<std::uint32_t> activeID() const { return m_activeID; }
    /// A press was reported and its release not yet.
    bool isDown() const { return m_down; }

  private:
    bool registerModifierChord(const Shortcut &shortcut);
    void interruptModifierPress();
    void cancelModifierDelay();
    QCoro::Task<> reportChordPressAfterDelay(double pressTime, CancellationToken token);

    HotKeyService &m_hotKeys;
    ModifierWatcher &m_modifierWatcher;
    Clock &m_clock;
    // Handlers handed to the services check this, so a service that outlives us calls nothing.
    std::shared_ptr<GlobalShortcut *> m_self;

    std::function<void(bool, double)> m_onEvent;
    std::function<void()> m_onInterrupted;
    bool m_handlerInstalled = false;
    std::unique_ptr<HotKeyService::Registration> m_hotkey;
    std::optional<Shortcut> m_registration;
    std::uint32_t m_lastIssuedID = 0;
    std::optional<std::uint32_t> m_activeID;
    bool m_down = false;
    std::unique_ptr<ModifierWatcher::Tap> m_modifierTap;
    std::uint32_t m_lastModifiers = 0;
    std::optional<double> m_modifierPressTime;
    std::optional<CancellationToken> m_modifierDelay;
};

} // namespace talvex
