#pragma once

#include <functional>

namespace talvex {

class Updater;

/// What the menu's "Check for Updates…" row needs of the update service: whether a check can be
/// asked for now, and asking for one. Either may be empty: no check is possible then.
struct UpdateChecks {
    std::function<bool()> canCheck;
    std::function<void()> check;

    /// Straight over the updater interface; null means a build without an updater.
    static UpdateChecks over(Updater *updater);
};

} // namespace talvex
