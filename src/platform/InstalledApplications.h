#pragma once

#include <QString>
#include <vector>

namespace talvex {

/// One application the user can start, as the desktop lists it.
struct InstalledApplication {
    /// The application ID (e.g. "org.gnome.TextEditor"): what per-application rules are keyed by.
    QString id;
    /// The name the desktop shows, in the user's language when the entry has it.
    QString name;
    /// An icon theme name, or an absolute path to an image; empty when the entry names none.
    QString icon;

    friend bool operator==(const InstalledApplication &, const InstalledApplication &) = default;
};

/// The applications installed for this user and system-wide (desktop entries on Linux).
class InstalledApplications {
  public:
    virtual ~InstalledApplications() = default;

    /// Every visible application, read fresh on each call, in no particular order.
    virtual std::vector<InstalledApplication> applications() = 0;
};

} // namespace talvex
