#include "PasteChord.h"

#include <QStringList>

#include <algorithm>

namespace talvex {

PasteChord::PasteChord(KeyboardPoster &keyboard, bool withShift) : m_keyboard(keyboard), m_withShift(withShift)
{
    const auto control = keyboard.keyFor(ChordKey::control);
    const auto v = keyboard.keyFor(ChordKey::v);
    const auto shift = withShift ? keyboard.keyFor(ChordKey::shift) : std::optional<KeyboardKey>();
    m_valid = control && v && (!withShift || shift);
    if (control)
        m_control = *control;
    if (v)
        m_v = *v;
    if (shift)
        m_shift = *shift;
}

PasteChord::~PasteChord() { finish(); }

bool PasteChord::isTerminal(const QString &windowClass, const QString &windowInstance)
{
    // Window classes and instances of terminal emulators that paste with Ctrl+Shift+V.
    static const QStringList terminals = {
        QStringLiteral("gnome-terminal"), QStringLiteral("gnome-terminal-server"),
        QStringLiteral("kgx"),            QStringLiteral("org.gnome.console"),
        QStringLiteral("konsole"),        QStringLiteral("org.kde.konsole"),
        QStringLiteral("xfce4-terminal"), QStringLiteral("mate-terminal"),
        QStringLiteral("lxterminal"),     QStringLiteral("qterminal"),
        QStringLiteral("terminator"),     QStringLiteral("tilix"),
        QStringLiteral("guake"),          QStringLiteral("tilda"),
        QStringLiteral("terminology"),    QStringLiteral("alacritty"),
        QStringLiteral("kitty"),          QStringLiteral("org.wezfurlong.wezterm"),
        QStringLiteral("wezterm"),        QStringLiteral("foot"),
        QStringLiteral("st-256color"),    QStringLiteral("sakura"),
        QStringLiteral("deepin-terminal"), QStringLiteral("cool-retro-term"),
        QStringLiteral("io.elementary.terminal"), QStringLiteral("com.gexperts.tilix"),
    };
    return terminals.contains(windowClass, Qt::CaseInsensitive)
           || terminals.contains(windowInstance, Qt::CaseInsensitive);
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
            controlHeld = true;
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
            // A V still held would turn our press into a repeat; let it go (never given back).
            if (key == m_v)
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
    if (!controlHeld)
        press(m_control);
    if (m_withShift && !shiftHeld)
        press(m_shift);
    return sent;
}

bool PasteChord::pressKey()
{
    if (!m_valid)
        return false;
    m_vDown = m_keyboard.post(m_v, true);
    return m_vDown;
}

void PasteChord::finish()
{
    if (m_vDown) {
        m_keyboard.post(m_v, false);
        m_vDown = false;
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
