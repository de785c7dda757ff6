#include "XkbKeymap.h"

#include <algorithm>
#include <cstdlib>
#include <xkbcommon/xkbcommon.h>

namespace talvex::wayland {

namespace {

struct ContextDeleter {
    void operator()(xkb_context *context) const { xkb_context_unref(context); }
};
using Context = std::unique_ptr<xkb_context, ContextDeleter>;

Context newContext()
{
    return Context(xkb_context_new(XKB_CONTEXT_NO_FLAGS));
}

std::shared_ptr<xkb_keymap> own(xkb_keymap *keymap)
{
    return std::shared_ptr<xkb_keymap>(keymap, xkb_keymap_unref);
}

// Calls `visit(keysym, level)` for every symbol of `keycode` in every layout and level.
template <typename Visit> void forEachSymbol(xkb_keymap *keymap, std::uint32_t keycode, Visit visit)
{
    const xkb_layout_index_t layouts = xkb_keymap_num_layouts_for_key(keymap, keycode);
    for (xkb_layout_index_t layout = 0; layout < layouts; ++layout) {
        const xkb_level_index_t levels = xkb_keymap_num_levels_for_key(keymap, keycode, layout);
        for (xkb_level_index_t level = 0; level < levels; ++level) {
            const xkb_keysym_t *symbols = nullptr;
            const int count = xkb_keymap_key_get_syms_by_level(keymap, keycode, layout, level, &symbols);
            for (int i = 0; i < count; ++i)
                visit(symbols[i], level);
        }
    }
}

} // namespace

std::optional<XkbKeymap> XkbKeymap::fromText(const std::string &text)
{
    Context context = newContext();
    if (!context || text.empty())
        return std::nullopt;
    xkb_keymap *keymap = xkb_keymap_new_from_buffer(context.get(), text.data(), text.size(),
                                                    XKB_KEYMAP_FORMAT_TEXT_V1, XKB_KEYMAP_COMPILE_NO_FLAGS);
    if (!keymap)
        return std::nullopt;
    return XkbKeymap(own(keymap));
}

std::optional<XkbKeymap> XkbKeymap::fromNames(const QString &layout, const QString &variant,
                                              const QString &options)
{
    Context context = newContext();
    if (!context)
        return std::nullopt;
    QByteArray layoutName = layout.toUtf8();
    if (layoutName.isEmpty())
        layoutName = qgetenv("XKB_DEFAULT_LAYOUT");
    if (layoutName.isEmpty())
        layoutName = "us";
    const QByteArray variantName = variant.toUtf8();
    const QByteArray optionNames = options.toUtf8();
    xkb_rule_names names{};
    names.rules = "evdev";
    names.model = "pc105";
    names.layout = layoutName.constData();
    names.variant = variantName.isEmpty() ? nullptr : variantName.constData();
    names.options = optionNames.isEmpty() ? nullptr : optionNames.constData();
    xkb_keymap *keymap = xkb_keymap_new_from_names(context.get(), &names, XKB_KEYMAP_COMPILE_NO_FLAGS);
    if (!keymap)
        return std::nullopt;
    return XkbKeymap(own(keymap));
}

std::string XkbKeymap::text() const
{
    char *text = xkb_keymap_get_as_string(m_keymap.get(), XKB_KEYMAP_FORMAT_TEXT_V1);
    if (!text)
        return {};
    std::string result(text);
    std::free(text);
    return result;
}

std::vector<std::uint32_t> XkbKeymap::keycodesFor(std::uint32_t keysym, bool anyLevel) const
{
    std::vector<std::uint32_t> keycodes;
    xkb_keymap *keymap = m_keymap.get();
    for (xkb_keycode_t keycode = xkb_keymap_min_keycode(keymap); keycode <= xkb_keymap_max_keycode(keymap);
         ++keycode) {
        bool found = false;
        forEachSymbol(keymap, keycode, [&](xkb_keysym_t symbol, xkb_level_index_t level) {
            if (symbol == keysym && (anyLevel || level == 0))
                found = true;
        });
        if (found)
            keycodes.push_back(keycode);
    }
    return keycodes;
}

std::vector<std::uint32_t> XkbKeymap::keysymsOf(std::uint32_t keycode) const
{
    std::vector<std::uint32_t> symbols;
    forEachSymbol(m_keymap.get(), keycode, [&](xkb_keysym_t symbol, xkb_level_index_t) {
        if (std::find(symbols.begin(), symbols.end(), symbol) == symbols.end())
            symbols.push_back(symbol);
    });
    return symbols;
}

std::uint32_t XkbKeymap::baseKeysym(std::uint32_t keycode) const
{
    const xkb_keysym_t *symbols = nullptr;
    const int count = xkb_keymap_key_get_syms_by_level(m_keymap.get(), keycode, 0, 0, &symbols);
    return count > 0 ? symbols[0] : 0;
}

KeyRole XkbKeymap::roleOf(std::uint32_t keycode) const
{
    return keyRoleOf(baseKeysym(keycode));
}

KeyRole keyRoleOf(std::uint32_t keysym)
{
    switch (keysym) {
    case XKB_KEY_Control_L:
    case XKB_KEY_Control_R:
        return KeyRole::control;
    case XKB_KEY_Shift_L:
    case XKB_KEY_Shift_R:
        return KeyRole::shift;
    case XKB_KEY_Alt_L:
    case XKB_KEY_Alt_R:
    case XKB_KEY_Meta_L:
    case XKB_KEY_Meta_R:
        return KeyRole::alt;
    case XKB_KEY_Super_L:
    case XKB_KEY_Super_R:
    case XKB_KEY_Hyper_L:
    case XKB_KEY_Hyper_R:
        return KeyRole::super;
    case XKB_KEY_ISO_Level3_Shift:
    case XKB_KEY_ISO_Level5_Shift:
    case XKB_KEY_Mode_switch:
        return KeyRole::otherModifier;
    default:
        return KeyRole::other;
    }
}

} // namespace talvex::wayland
