#pragma once

#include <QString>

#include <functional>

namespace talvex {

/// Decisions the update logic takes for the software updater; set by the application's updater wrapper.
class UpdaterDelegate {
public:
    virtual ~UpdaterDelegate() = default;
    /// Asked before any check, scheduled or by the user. Empty = allow; otherwise the refusal's reason,
    /// which the updater treats as a cancelled check with that description.
    virtual QString refusalBeforeCheck() = 0;
    /// Asked before installing and relaunching. True = postponed: the updater waits until `proceed` runs.
    virtual bool postponeRelaunch(std::function<void()> proceed) = 0;
};

/// A software-update facility. Builds installed from distribution packages have none that can check.
class Updater {
public:
    virtual ~Updater() = default;

    /// Starts the updater with `delegate` (not owned; outlives the updater). `changed` runs on the main
    /// thread whenever canCheckForUpdates, automaticallyDownloadsUpdates or automaticUpdatesNote changes.
    virtual void start(UpdaterDelegate *delegate, std::function<void()> changed) = 0;
    virtual bool canCheckForUpdates() const = 0;
    virtual bool automaticallyDownloadsUpdates() const = 0;
    virtual void setAutomaticallyDownloadsUpdates(bool enabled) = 0;
    /// Empty while automatic updates can be switched on; otherwise one sentence saying why they cannot
    /// (for example, that the system's package manager updates this installation).
    virtual QString automaticUpdatesNote() const = 0;
    /// Checks now; the updater shows its own interface.
    virtual void checkForUpdates() = 0;
};

} // namespace talvex
