#include "PasteChord.h"

#include "platform/Logging.h"

#include <QStringList>
#include <algorithm>

namespace talvex {

namespace {

bool listed(const QStringList &names, const QString &windowClass, const QString &windowInstance)
{
    return names.contains(windowClass, Qt::CaseInsensitive) ||
           names.contains(windowInstance, Qt::CaseInsensitive);
}

} // namespace

PasteChord::PasteChord(KeyboardPoster &keyboard, PasteKeys keys)
    : m_keyboard(keyboard), m_keys(keys), m_withControl(keys != PasteKeys::shiftInsert),
      m_withShift(keys != PasteKeys::controlV)
{
    const auto control = m_withControl ? keyboard.keyFor(ChordKey::control) : std::optional<KeyboardKey>();
    const auto shift = m_withShift ? keyboard.keyFor(ChordKey::shift) : std::optional<KeyboardKey>();
    const auto key = keyboard.keyFor(keys == PasteKeys::shiftInsert ? ChordKey::insert : ChordKey::v);
    m_valid = key && (!m_withControl || control) && (!m_withShift || shift);
    if (control)
        m_control = *control;
    if (shift)
        m_shift = *shift;
    if (key)
        m_key = *key;
}

PasteChord::~PasteChord()
{
    finish();
}

PasteKeys PasteChord::keysFor(const QString &windowClass, const QString &windowInstance, bool terminalElement)
{
    // X terminals whose Ctrl+Shift+V does nothing by default; Shift+Insert pastes the primary
    // selection. They have no accessibility, so only their class tells them apart.
    static const QStringList primaryTerminals = {
        QStringLiteral("xterm"), QStringLiteral("uxterm"),       QStringLiteral("urxvt"),
        QStringLiteral("rxvt"),  QStringLiteral("rxvt-unicode"), QStringLiteral("urxvt-unicode"),
    };
    // Window classes and instances of terminal emulators that paste with Ctrl+Shift+V, for those
    // whose screen does not say it is a terminal (no accessibility, or a plain widget role).
    static const QStringList terminals = {
        QStringLiteral("gnome-terminal"),
        QStringLiteral("gnome-terminal-server"),
        QStringLiteral("kgx"),
        QStringLiteral("org.gnome.console"),
        QStringLiteral("konsole"),
        QStringLiteral("org.kde.konsole"),
        QStringLiteral("xfce4-terminal"),
        QStringLiteral("mate-terminal"),
        QStringLiteral("lxterminal"),
        QStringLiteral("qterminal"),
        QStringLiteral("terminator"),
        QStringLiteral("tilix"),
        QStringLiteral("guake"),
        QStringLiteral("tilda"),
        QStringLiteral("terminology"),
        QStringLiteral("alacritty"),
        QStringLiteral("kitty"),
        QStringLiteral("org.wezfurlong.wezterm"),
        QStringLiteral("wezterm"),
        QStringLiteral("foot"),
        QStringLiteral("st-256color"),
        QStringLiteral("sakura"),
        QStringLiteral("deepin-terminal"),
        QStringLiteral("cool-retro-term"),
        QStringLiteral("io.elementary.terminal"),
        QStringLiteral("com.gexperts.tilix"),
    };
    if (listed(primaryTerminals, windowClass, windowInstance))
        return PasteKeys::shiftInsert;
    if (terminalElement || listed(terminals, windowClass, windowInstance))
        return PasteKeys::controlShiftV;
    return PasteKeys::controlV;
}

bool PasteChord::pressModifiers()
{
    if (!m_valid)
        return false;
    bool sent = true;
    bool controlHeld = false;
    bool shiftHeld = false;
    for (const KeyboardKey &key : m_keyboard.heldKeys()) {
        bool conflicting = false;
        switch (key.role) {
        case KeyRole::control:
            if (m_withControl)
                controlHeld = true;
            else
                conflicting = true;
            break;
        case KeyRole::shift:
            if (m_withShift)
                shiftHeld = true;
            else
                conflicting = true;
            break;
        case KeyRole::alt:
        case KeyRole::super:
        case KeyRole::otherModifier:
            conflicting = true;
            break;
        case KeyRole::other:
            // The chord's key still held would turn our press into a repeat; let it go (never
            // given back).
            if (key == m_key)
                sent = m_keyboard.post(key, false) && sent;
            break;
        }
        if (conflicting) {
            if (m_keyboard.post(key, false))
                m_released.push_back(key);
            else
                sent = false;
        }
    }
    auto press = [this, &sent](const KeyboardKey &key) {
        if (m_keyboard.post(key, true))
            m_pressed.push_back(key);
        else
            sent = false;
    };
    if (m_withControl && !controlHeld)
        press(m_control);
    if (m_withShift && !shiftHeld)
        press(m_shift);
    return sent;
}

bool PasteChord::pressKey()
{
    if (!m_valid)
        return false;
    m_keyDown = m_keyboard.post(m_key, true);
    if (m_keyDown)
        qCDebug(lcDelivery, "Paste key pressed"); // the latency benchmark times the paste from here
    return m_keyDown;
}

void PasteChord::finish()
{
    if (m_keyDown) {
        m_keyboard.post(m_key, false);
        m_keyDown = false;
    }
    for (auto it = m_pressed.rbegin(); it != m_pressed.rend(); ++it)
        m_keyboard.post(*it, false);
    m_pressed.clear();
    if (m_released.empty())
        return;
    // Give back only what the user still holds on a real keyboard; unknown means nothing is held.
    if (const auto physical = m_keyboard.physicallyHeldKeys()) {
        for (const KeyboardKey &key : m_released) {
            const bool held = std::any_of(physical->begin(), physical->end(),
                                          [&key](const KeyboardKey &k) { return k.id == key.id; });
            if (held)
                m_keyboard.post(key, true);
        }
    }
    m_released.clear();
}

} // namespace talvex
