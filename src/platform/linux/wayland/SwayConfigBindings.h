#pragma once

#include "SwayBindings.h"
#include "XkbKeymap.h"

#include <QString>
#include <QStringList>
#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

namespace talvex::wayland {

/// A key binding the user configured in sway's default mode.
struct ConfiguredBinding {
    /// Modifiers in the hot-key bits; `otherModifiers` is set when it also needs Mod2, Mod3, Mod5
    /// or Lock, which none of ours ever does.
    std::uint32_t modifiers = 0;
    bool otherModifiers = false;
    bool byKeycode = false; ///< bindcode: `keys` are key codes; bindsym: key symbol names
    QStringList keys;
    QString combination; ///< as written, for messages

    friend bool operator==(const ConfiguredBinding &, const ConfiguredBinding &) = default;
};

/// The key bindings of the default mode in a sway configuration, read the way sway reads them:
/// `set` variables, line continuations, `bindsym`/`bindcode` lines and blocks, `mode` blocks left
/// out, and `include` files. Used to refuse a shortcut the user already gave to the compositor.
class SwayConfigBindings final {
  public:
    /// Reads the text of an included file by its absolute path; absent when it cannot be read.
    using ReadFile = std::function<std::optional<QString>(const QString &path)>;
    /// Absolute paths an include pattern names, in order (globs and ~ expanded).
    using ExpandPattern = std::function<QStringList(const QString &pattern)>;

    /// Bindings of `text`, a configuration whose relative includes resolve against `folder`.
    static std::vector<ConfiguredBinding> parse(const QString &text, const QString &folder,
                                                const ReadFile &readFile, const ExpandPattern &expand);
    /// parse() with the file system: files are read as they are, patterns expanded like a shell.
    static std::vector<ConfiguredBinding> parse(const QString &text, const QString &folder);

    /// True when `configured` fires on the key and modifiers of `ours` in `keymap`: the same key
    /// code, or a symbol the key types on its first level with the same modifiers, or on a shifted
    /// level when Shift is ours and the user's binding names the shifted symbol without it.
    static bool conflicts(const ConfiguredBinding &configured, const SwayBinding &ours,
                          const XkbKeymap &keymap);
};

} // namespace talvex::wayland
