#pragma once

#include "Installation.h"

#include <QFileSystemWatcher>
#include <QObject>
#include <QString>
#include <QTimer>
#include <chrono>
#include <optional>
#include <sys/types.h>

namespace talvex::update {

/// Notices when starting Talvex again would start a different program than the one running: the
/// executable at its path was replaced (another device or inode there, or the running image was
/// deleted), or a user folder's `current` link now selects another version. Reports each new state
/// once, after it has held for `settle` (a package manager replaces several files in a row).
class ReplacementWatch final : public QObject {
    Q_OBJECT
  public:
    ReplacementWatch(Installation installation, std::chrono::milliseconds settle, QObject *parent = nullptr);

    /// Whether a start now would run something else, and that something is there to be started.
    bool isReplaced() const;
    /// Looks now instead of waiting for the next change notice.
    void recheck();

  signals:
    void replaced();

  private:
    struct Identity {
        dev_t device = 0;
        ino_t inode = 0;
        QString selected; ///< user folder: the version `current` selects
        bool operator==(const Identity &) const = default;
    };
    std::optional<Identity> identityNow() const;
    bool runningImageDeleted() const;
    void settled();

    Installation m_installation;
    std::optional<Identity> m_original;
    std::optional<Identity> m_reported;
    QFileSystemWatcher m_watcher;
    QTimer m_settle;
    QTimer m_poll;
};

} // namespace talvex::update
