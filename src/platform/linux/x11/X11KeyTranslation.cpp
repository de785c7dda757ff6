#include "X11KeyTranslation.h"

#include <array>
#include <linux/input-event-codes.h>
#include <utility>
#include <xkbcommon/xkbcommon.h>

namespace talvex::x11 {

namespace {

// X keycodes are evdev codes plus 8 on every evdev-based server.
constexpr int evdevOffset = 8;

struct Position {
    int evdev;
    std::uint32_t stored;
};

// Key positions and their stored codes (the numbering the stored shortcuts use).
constexpr Position positions[] = {
    {KEY_A, 0},           {KEY_S, 1},          {KEY_D, 2},           {KEY_F, 3},
    {KEY_H, 4},           {KEY_G, 5},          {KEY_Z, 6},           {KEY_X, 7},
    {KEY_C, 8},           {KEY_V, 9},          {KEY_102ND, 10},      {KEY_B, 11},
    {KEY_Q, 12},          {KEY_W, 13},         {KEY_E, 14},          {KEY_R, 15},
    {KEY_Y, 16},          {KEY_T, 17},         {KEY_1, 18},          {KEY_2, 19},
    {KEY_3, 20},          {KEY_4, 21},         {KEY_6, 22},          {KEY_5, 23},
    {KEY_EQUAL, 24},      {KEY_9, 25},         {KEY_7, 26},          {KEY_MINUS, 27},
    {KEY_8, 28},          {KEY_0, 29},         {KEY_RIGHTBRACE, 30}, {KEY_O, 31},
    {KEY_U, 32},          {KEY_LEFTBRACE, 33}, {KEY_I, 34},          {KEY_P, 35},
    {KEY_ENTER, 36},      {KEY_L, 37},         {KEY_J, 38},          {KEY_APOSTROPHE, 39},
    {KEY_K, 40},          {KEY_SEMICOLON, 41}, {KEY_BACKSLASH, 42},  {KEY_COMMA, 43},
    {KEY_SLASH, 44},      {KEY_N, 45},         {KEY_M, 46},          {KEY_DOT, 47},
    {KEY_TAB, 48},        {KEY_SPACE, 49},     {KEY_GRAVE, 50},      {KEY_BACKSPACE, 51},
    {KEY_ESC, 53},        {KEY_RIGHTMETA, 54}, {KEY_LEFTMETA, 55},   {KEY_LEFTSHIFT, 56},
    {KEY_CAPSLOCK, 57},   {KEY_LEFTALT, 58},   {KEY_LEFTCTRL, 59},   {KEY_RIGHTSHIFT, 60},
    {KEY_RIGHTALT, 61},   {KEY_RIGHTCTRL, 62}, {KEY_F17, 64},        {KEY_KPDOT, 65},
    {KEY_KPASTERISK, 67}, {KEY_KPPLUS, 69},    {KEY_NUMLOCK, 71},    {KEY_VOLUMEUP, 72},
    {KEY_VOLUMEDOWN, 73}, {KEY_MUTE, 74},      {KEY_KPSLASH, 75},    {KEY_KPENTER, 76},
    {KEY_KPMINUS, 78},    {KEY_F18, 79},       {KEY_F19, 80},        {KEY_KPEQUAL, 81},
    {KEY_KP0, 82},        {KEY_KP1, 83},       {KEY_KP2, 84},        {KEY_KP3, 85},
    {KEY_KP4, 86},        {KEY_KP5, 87},       {KEY_KP6, 88},        {KEY_KP7, 89},
    {KEY_F20, 90},        {KEY_KP8, 91},       {KEY_KP9, 92},        {KEY_YEN, 93},
    {KEY_RO, 94},         {KEY_KPJPCOMMA, 95}, {KEY_F5, 96},         {KEY_F6, 97},
    {KEY_F7, 98},         {KEY_F3, 99},        {KEY_F8, 100},        {KEY_F9, 101},
    {KEY_MUHENKAN, 102},  {KEY_F11, 103},      {KEY_HENKAN, 104},    {KEY_F13, 105},
    {KEY_F16, 106},       {KEY_F14, 107},      {KEY_F10, 109},       {KEY_F12, 111},
    {KEY_F15, 113},       {KEY_INSERT, 114}, // the Help key sits where Insert is
    {KEY_HOME, 115},      {KEY_PAGEUP, 116},   {KEY_DELETE, 117},    {KEY_F4, 118},
    {KEY_END, 119},       {KEY_F2, 120},       {KEY_PAGEDOWN, 121},  {KEY_F1, 122},
    {KEY_LEFT, 123},      {KEY_RIGHT, 124},    {KEY_DOWN, 125},      {KEY_UP, 126},
};

constexpr std::uint32_t unmappedBase = 0x10000;

constexpr auto buildStoredByKeycode()
{
    std::array<std::uint32_t, 256> table{};
    for (int keycode = 0; keycode < 256; ++keycode)
        table[keycode] = unmappedBase + keycode;
    for (const Position &position : positions)
        table[position.evdev + evdevOffset] = position.stored;
    return table;
}

constexpr auto storedByKeycode = buildStoredByKeycode();

ModifierKey modifierKeyOf(xcb_keysym_t keysym)
{
    switch (keysym) {
    case XKB_KEY_Control_L:
    case XKB_KEY_Control_R:
        return ModifierKey::control;
    case XKB_KEY_Shift_L:
    case XKB_KEY_Shift_R:
        return ModifierKey::shift;
    case XKB_KEY_Alt_L:
    case XKB_KEY_Alt_R:
    case XKB_KEY_Meta_L:
    case XKB_KEY_Meta_R:
        return ModifierKey::alt;
    case XKB_KEY_Super_L:
    case XKB_KEY_Super_R:
    case XKB_KEY_Hyper_L:
    case XKB_KEY_Hyper_R:
        return ModifierKey::super;
    case XKB_KEY_Caps_Lock:
    case XKB_KEY_Shift_Lock:
    case XKB_KEY_Num_Lock:
    case XKB_KEY_ISO_Level3_Shift:
    case XKB_KEY_ISO_Level3_Latch:
    case XKB_KEY_ISO_Level3_Lock:
    case XKB_KEY_ISO_Level5_Shift:
    case XKB_KEY_ISO_Level5_Latch:
    case XKB_KEY_ISO_Level5_Lock:
    case XKB_KEY_ISO_Group_Shift:
    case XKB_KEY_ISO_Next_Group:
    case XKB_KEY_ISO_Prev_Group:
    case XKB_KEY_ISO_First_Group:
    case XKB_KEY_ISO_Last_Group:
        return ModifierKey::lock;
    default:
        return ModifierKey::none;
    }
}

} // namespace

std::uint32_t storedKeyCode(std::uint8_t xKeycode)
{
    return storedByKeycode[xKeycode];
}

std::optional<std::uint8_t> xKeycodeFor(std::uint32_t storedCode)
{
    if (storedCode >= unmappedBase) {
        const std::uint32_t keycode = storedCode - unmappedBase;
        // Only keys the table leaves unmapped come back this way; X keycodes start at 8.
        if (keycode >= 8 && keycode < 256 && storedByKeycode[keycode] == storedCode)
            return static_cast<std::uint8_t>(keycode);
        return std::nullopt;
    }
    for (const Position &position : positions) {
        if (position.stored == storedCode)
            return static_cast<std::uint8_t>(position.evdev + evdevOffset);
    }
    return std::nullopt;
}

std::uint32_t keyFlagOf(ModifierKey key)
{
    switch (key) {
    case ModifierKey::control:
        return KeyFlags::control;
    case ModifierKey::shift:
        return KeyFlags::shift;
    case ModifierKey::alt:
        return KeyFlags::option;
    case ModifierKey::super:
        return KeyFlags::command;
    case ModifierKey::none:
    case ModifierKey::lock:
        return 0;
    }
    return 0;
}

X11KeyTranslation::X11KeyTranslation(xcb_connection_t *connection) : m_connection(connection)
{
    refresh();
}

void X11KeyTranslation::refresh()
{
    m_symbols.reset(xcb_key_symbols_alloc(m_connection));
    m_altMask = m_superMask = m_numLockMask = 0;
    if (!m_symbols)
        return;

    XcbReply<xcb_get_modifier_mapping_reply_t> mapping(
        xcb_get_modifier_mapping_reply(m_connection, xcb_get_modifier_mapping(m_connection), nullptr));
    if (!mapping)
        return;
    const xcb_keycode_t *keycodes = xcb_get_modifier_mapping_keycodes(mapping.get());
    const int perModifier = mapping->keycodes_per_modifier;
    // Shift, Lock and Control have fixed bits; Alt, Super and Num Lock live on whichever of
    // Mod1..Mod5 the server put them.
    for (int modifier = 3; modifier < 8; ++modifier) {
        const auto bit = static_cast<std::uint16_t>(1u << modifier);
        for (int i = 0; i < perModifier; ++i) {
            const xcb_keycode_t keycode = keycodes[modifier * perModifier + i];
            if (keycode == 0)
                continue;
            for (int column = 0; column < 2; ++column) {
                const xcb_keysym_t keysym = xcb_key_symbols_get_keysym(m_symbols.get(), keycode, column);
                const ModifierKey key = modifierKeyOf(keysym);
                if (key == ModifierKey::alt)
                    m_altMask |= bit;
                else if (key == ModifierKey::super)
                    m_superMask |= bit;
                else if (keysym == XKB_KEY_Num_Lock)
                    m_numLockMask |= bit;
            }
        }
    }
    // A modifier both Alt and Super are on cannot tell them apart; leave it to Alt.
    m_superMask &= ~m_altMask;
}

ModifierKey X11KeyTranslation::modifierKey(std::uint8_t xKeycode) const
{
    if (!m_symbols)
        return ModifierKey::none;
    return modifierKeyOf(xcb_key_symbols_get_keysym(m_symbols.get(), xKeycode, 0));
}

std::uint32_t X11KeyTranslation::keyFlags(std::uint16_t state) const
{
    std::uint32_t flags = 0;
    if (state & XCB_MOD_MASK_SHIFT)
        flags |= KeyFlags::shift;
    if (state & XCB_MOD_MASK_LOCK)
        flags |= KeyFlags::capsLock;
    if (state & XCB_MOD_MASK_CONTROL)
        flags |= KeyFlags::control;
    if (m_altMask && (state & m_altMask))
        flags |= KeyFlags::option;
    if (m_superMask && (state & m_superMask))
        flags |= KeyFlags::command;
    return flags;
}

std::optional<std::uint16_t> X11KeyTranslation::xModifiers(std::uint32_t shortcutModifiers) const
{
    constexpr std::uint32_t control = 0x1000, option = 0x800, shift = 0x200, command = 0x100, fn = 0x1000000;
    if (shortcutModifiers & fn)
        return std::nullopt;
    std::uint16_t mask = 0;
    if (shortcutModifiers & control)
        mask |= XCB_MOD_MASK_CONTROL;
    if (shortcutModifiers & shift)
        mask |= XCB_MOD_MASK_SHIFT;
    if (shortcutModifiers & option) {
        if (!m_altMask)
            return std::nullopt;
        mask |= m_altMask;
    }
    if (shortcutModifiers & command) {
        if (!m_superMask)
            return std::nullopt;
        mask |= m_superMask;
    }
    return mask;
}

std::optional<QString> X11KeyTranslation::characters(std::uint8_t xKeycode) const
{
    if (!m_symbols)
        return std::nullopt;
    const xcb_keysym_t keysym = xcb_key_symbols_get_keysym(m_symbols.get(), xKeycode, 0);
    if (keysym == XCB_NO_SYMBOL)
        return std::nullopt;
    char buffer[16];
    const int written = xkb_keysym_to_utf8(keysym, buffer, sizeof buffer);
    if (written <= 1) // 0: no text; 1: just the terminator
        return std::nullopt;
    return QString::fromUtf8(buffer, written - 1);
}

KeyEvent X11KeyTranslation::keyEvent(KeyEvent::Type type, std::uint8_t xKeycode, std::uint16_t state,
                                     double time) const
{
    KeyEvent event;
    event.type = type;
    event.keyCode = storedKeyCode(xKeycode);
    event.modifierFlags = keyFlags(state);
    event.charactersIgnoringModifiers = characters(xKeycode);
    event.time = time;
    return event;
}

} // namespace talvex::x11
