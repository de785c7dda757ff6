#include "SwayBindings.h"

#include <QStringList>
#include <algorithm>
#include <xkbcommon/xkbcommon-keysyms.h>

namespace talvex::wayland {

namespace {

const QString markerWord = QStringLiteral("talvex-shortcut");

using SwayBindings::altBit;
using SwayBindings::controlBit;
using SwayBindings::shiftBit;
using SwayBindings::superBit;

struct ModifierName {
    std::uint32_t bit;
    const char *sway;
    std::uint32_t keysyms[4];
};

// Shortcut bits in display order, sway's name for each, and the keys that are that modifier.
constexpr ModifierName modifierNames[] = {
    {controlBit, "Ctrl", {XKB_KEY_Control_L, XKB_KEY_Control_R, 0, 0}},
    {altBit, "Mod1", {XKB_KEY_Alt_L, XKB_KEY_Alt_R, XKB_KEY_Meta_L, XKB_KEY_Meta_R}},
    {shiftBit, "Shift", {XKB_KEY_Shift_L, XKB_KEY_Shift_R, 0, 0}},
    {superBit, "Mod4", {XKB_KEY_Super_L, XKB_KEY_Super_R, 0, 0}},
};

constexpr std::uint32_t bindableModifiers = controlBit | altBit | shiftBit | superBit;

} // namespace

namespace SwayBindings {

std::optional<QString> modifierPrefix(std::uint32_t modifiers)
{
    if (modifiers & ~bindableModifiers)
        return std::nullopt;
    QString prefix;
    for (const ModifierName &name : modifierNames) {
        if (modifiers & name.bit)
            prefix += QLatin1String(name.sway) + QLatin1Char('+');
    }
    return prefix;
}

QString combination(const SwayBinding &binding)
{
    return modifierPrefix(binding.modifiers).value_or(QString()) + QString::number(binding.keycode);
}

QString bindCommand(const SwayBinding &binding, const SwayMarker &marker)
{
    return QStringLiteral("bindcode --no-repeat --no-warn %1%2 nop %3")
        .arg(binding.release ? QStringLiteral("--release ") : QString(), combination(binding),
             markerText(marker));
}

QString unbindCommand(const SwayBinding &binding)
{
    return QStringLiteral("unbindcode %1%2")
        .arg(binding.release ? QStringLiteral("--release ") : QString(), combination(binding));
}

QString markerText(const SwayMarker &marker)
{
    const QString state = marker.press ? QStringLiteral("press") : QStringLiteral("release");
    if (marker.kind == SwayMarker::Kind::chord)
        return QStringLiteral("%1 %2 chord %3 %4").arg(markerWord).arg(marker.pid).arg(marker.id).arg(state);
    return QStringLiteral("%1 %2 hotkey %3 %4 %5")
        .arg(markerWord)
        .arg(marker.pid)
        .arg(marker.signature)
        .arg(marker.id)
        .arg(state);
}

std::optional<SwayMarker> parseMarker(const QString &command)
{
    const QStringList words = command.simplified().split(QLatin1Char(' '));
    if (words.size() < 6 || words[0] != QLatin1String("nop") || words[1] != markerWord)
        return std::nullopt;
    SwayMarker marker;
    bool ok = false;
    marker.pid = words[2].toLongLong(&ok);
    if (!ok || marker.pid <= 0)
        return std::nullopt;
    const QString &state = words.last();
    if (state != QLatin1String("press") && state != QLatin1String("release"))
        return std::nullopt;
    marker.press = state == QLatin1String("press");
    if (words[3] == QLatin1String("chord") && words.size() == 6) {
        marker.kind = SwayMarker::Kind::chord;
        marker.id = words[4].toUInt(&ok);
        return ok ? std::optional(marker) : std::nullopt;
    }
    if (words[3] == QLatin1String("hotkey") && words.size() == 7) {
        bool signatureOk = false;
        marker.kind = SwayMarker::Kind::hotKey;
        marker.signature = words[4].toUInt(&signatureOk);
        marker.id = words[5].toUInt(&ok);
        return ok && signatureOk ? std::optional(marker) : std::nullopt;
    }
    return std::nullopt;
}

std::vector<SwayBinding> chordBindings(std::uint32_t chord, const XkbKeymap &keymap)
{
    std::vector<SwayBinding> bindings;
    if (chord == 0 || (chord & ~bindableModifiers))
        return {};
    for (const ModifierName &name : modifierNames) {
        if (!(chord & name.bit))
            continue;
        std::vector<std::uint32_t> keys;
        for (const std::uint32_t keysym : name.keysyms) {
            if (keysym == 0)
                continue;
            for (const std::uint32_t keycode : keymap.keycodesFor(keysym)) {
                // Only keys whose own symbol is the modifier: a key that is Alt only when shifted
                // (or AltGr on some layouts) does not complete the chord.
                if (keymap.baseKeysym(keycode) == keysym &&
                    std::find(keys.begin(), keys.end(), keycode) == keys.end())
                    keys.push_back(keycode);
            }
        }
        if (keys.empty())
            return {};
        for (const std::uint32_t keycode : keys)
            bindings.push_back({chord & ~name.bit, keycode, false});
    }
    return bindings;
}

} // namespace SwayBindings

} // namespace talvex::wayland
