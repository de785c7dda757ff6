#include "PortalTrigger.h"

#include "X11KeyTranslation.h"

#include <memory>
#include <xkbcommon/xkbcommon.h>

namespace talvex::portal {

namespace {

constexpr std::uint32_t controlBit = 0x1000;
constexpr std::uint32_t altBit = 0x800;
constexpr std::uint32_t shiftBit = 0x200;
constexpr std::uint32_t superBit = 0x100;

// The symbol a key types on its first level in the "us" layout: the stored codes are positions,
// and the specification names keys by symbol.
std::optional<QString> keyName(std::uint8_t keycode)
{
    std::unique_ptr<xkb_context, void (*)(xkb_context *)> context(xkb_context_new(XKB_CONTEXT_NO_FLAGS),
                                                                  xkb_context_unref);
    if (!context)
        return std::nullopt;
    const xkb_rule_names names{"evdev", "pc105", "us", nullptr, nullptr};
    std::unique_ptr<xkb_keymap, void (*)(xkb_keymap *)> keymap(
        xkb_keymap_new_from_names(context.get(), &names, XKB_KEYMAP_COMPILE_NO_FLAGS), xkb_keymap_unref);
    if (!keymap)
        return std::nullopt;
    const xkb_keysym_t *symbols = nullptr;
    if (xkb_keymap_key_get_syms_by_level(keymap.get(), keycode, 0, 0, &symbols) < 1)
        return std::nullopt;
    char name[64];
    if (xkb_keysym_get_name(symbols[0], name, sizeof name) <= 0)
        return std::nullopt;
    return QString::fromLatin1(name);
}

} // namespace

std::optional<QString> portalTrigger(std::uint32_t code, std::uint32_t modifiers)
{
    if (modifiers & ~(controlBit | altBit | shiftBit | superBit))
        return std::nullopt;
    const auto keycode = x11::xKeycodeFor(code);
    if (!keycode)
        return std::nullopt;
    const auto key = keyName(*keycode);
    if (!key)
        return std::nullopt;
    QString trigger;
    if (modifiers & controlBit)
        trigger += QStringLiteral("CTRL+");
    if (modifiers & altBit)
        trigger += QStringLiteral("ALT+");
    if (modifiers & shiftBit)
        trigger += QStringLiteral("SHIFT+");
    if (modifiers & superBit)
        trigger += QStringLiteral("LOGO+");
    return trigger + *key;
}

} // namespace talvex::portal
