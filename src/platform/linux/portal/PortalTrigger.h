#pragma once

#include <QString>
#include <cstdint>
#include <optional>

namespace talvex::portal {

/// The preferred trigger of a hot key for the GlobalShortcuts portal, in the shortcut format of the
/// XDG shortcuts specification: modifiers CTRL, ALT, SHIFT, LOGO joined with "+", then the key's
/// symbol name in the "us" layout ("CTRL+SHIFT+space", "F9"). `code` is a stored key code and
/// `modifiers` the hot-key bits. Absent for keys without a name and for Fn, which no desktop binds.
std::optional<QString> portalTrigger(std::uint32_t code, std::uint32_t modifiers);

} // namespace talvex::portal
