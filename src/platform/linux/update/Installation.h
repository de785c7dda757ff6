#pragma once

#include <QString>

namespace talvex::update {

/// Where the running talvex was installed, which decides what may update it and what starts it.
///
/// A user-folder installation is the release archive unpacked by its user:
///
///     <root>/versions/<version>/bin/talvex     one folder per unpacked release
///     <root>/current -> versions/<version>     the link that selects the one to run
///
/// where <root> is writable by the user. Everything else that is not a build folder is a system
/// installation: a distribution package, or files copied into place by hand (`cmake --install`).
struct Installation {
    enum class Kind {
        developmentBuild, ///< run from its build folder: no updater, no autostart entry
        userFolder,       ///< updated by Talvex itself, through the `current` link
        system,           ///< never modified by Talvex
    };

    Kind kind = Kind::developmentBuild;
    QString executable;    ///< the running image, all links resolved
    QString launchPath;    ///< what starts this installation, stable across updates
    QString root;          ///< user folder only: the folder holding versions/ and current
    QString versionFolder; ///< user folder only: <root>/versions/<version> of the running image

    /// The layout around `executable` (a canonical path); `buildFolder` is the build tree this
    /// program was compiled in.
    static Installation of(const QString &executable, const QString &buildFolder);
    /// The running process.
    static Installation current();

    /// `<root>/current`, the link an update switches.
    QString currentLink() const;
    /// The folder `current` selects now, resolved; empty when the link is broken.
    QString selectedVersionFolder() const;
};

} // namespace talvex::update
