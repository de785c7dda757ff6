#include "XdgInstalledApplications.h"

#include <utility>

namespace talvex::xdg {

XdgInstalledApplications::XdgInstalledApplications(std::optional<QStringList> applicationFolders)
    : m_folders(std::move(applicationFolders))
{
}

std::vector<InstalledApplication> XdgInstalledApplications::applications()
{
    // Read afresh: the chooser should offer what was installed since Talvex started.
    const DesktopEntries entries(m_folders);
    std::vector<InstalledApplication> applications;
    for (const DesktopEntries::Entry &entry : entries.entries()) {
        if (!entry.noDisplay)
            applications.push_back({entry.id, entry.name, entry.icon});
    }
    return applications;
}

} // namespace talvex::xdg
