#pragma once

#include "Updater.h"

namespace talvex::test {

/// An updater the test drives: it can simulate scheduled checks and relaunch requests.
class UpdaterDouble final : public Updater {
public:
    UpdaterDelegate *delegate = nullptr;
    std::function<void()> changed;
    bool canCheck = true;
    bool automatic = false;
    QString note;
    int checks = 0;
    int starts = 0;

    void start(UpdaterDelegate *updaterDelegate, std::function<void()> onChange) override
    {
        ++starts;
        delegate = updaterDelegate;
        changed = std::move(onChange);
    }
    bool canCheckForUpdates() const override { return canCheck; }
    bool automaticallyDownloadsUpdates() const override { return automatic; }
    void setAutomaticallyDownloadsUpdates(bool enabled) override
    {
        automatic = enabled;
        if (changed)
            changed();
    }
    QString automaticUpdatesNote() const override { return note; }
    void checkForUpdates() override { ++checks; }
};

} // namespace talvex::test
