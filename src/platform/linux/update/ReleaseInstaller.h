#pragma once

#include "Installation.h"
#include "ReleaseFeed.h"

#include <QCoro/QCoroTask>
#include <QNetworkAccessManager>
#include <QString>
#include <memory>

namespace talvex::update {

/// Installs a release into a user-folder installation: downloads the archive beside the versions,
/// checks its size and SHA-256, unpacks it, checks that its talvex runs and is that release, moves
/// it to versions/<version> and switches `current` to it in one rename. The previous version stays;
/// older ones go. Until the switch nothing the running version uses is touched, so an interrupted
/// or failed install leaves it as it was (leftovers are cleared by the next install).
class ReleaseInstaller final {
  public:
    /// Empty on success, else one sentence for the updater's dialog.
    static QCoro::Task<QString> install(std::shared_ptr<QNetworkAccessManager> network,
                                        Installation installation, ReleaseFeed release);

    /// Points `current` at `versionFolder` (a folder inside versions/) atomically.
    static bool switchCurrent(const Installation &installation, const QString &versionFolder, QString *error);
};

} // namespace talvex::update
