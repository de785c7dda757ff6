#pragma once

#include "DesktopEntries.h"
#include "InstalledApplications.h"

#include <QStringList>
#include <optional>

namespace talvex::xdg {

/// The installed applications from the desktop entries of the user and the system: entries marked
/// NoDisplay are left out, a user entry overrides (or hides) the system one with the same ID.
class XdgInstalledApplications final : public InstalledApplications {
  public:
    /// Reads the standard applications folders, or `applicationFolders` when given (most
    /// important first).
    explicit XdgInstalledApplications(std::optional<QStringList> applicationFolders = std::nullopt);

    std::vector<InstalledApplication> applications() override;

  private:
    std::optional<QStringList> m_folders;
};

} // namespace talvex::xdg
