#pragma once

#include <QString>

namespace talvex {

/// Status of this application's start-at-login entry.
enum class LoginItemStatus { notRegistered, enabled, requiresApproval, notFound };

/// The desktop's start-at-login facility for this application (an XDG autostart entry on Linux).
class LoginItems {
public:
    virtual ~LoginItems() = default;

    /// The entry's current status, read fresh on every call.
    virtual LoginItemStatus status() const = 0;
    /// Registers the entry so the application starts at login. False with `error` set on failure.
    virtual bool registerItem(QString *error) = 0;
    /// Removes the entry. False with `error` set on failure.
    virtual bool unregisterItem(QString *error) = 0;
};

} // namespace talvex
