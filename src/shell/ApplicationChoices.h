#pragma once

#include "platform/InstalledApplications.h"

#include <QString>
#include <vector>

namespace talvex::ApplicationChoices {

/// The applications as the chooser lists them: by name as people sort (case and accents
/// secondary), then by ID; each ID once.
std::vector<InstalledApplication> sorted(std::vector<InstalledApplication> applications);

/// Those whose name or ID contains every word of `query`, ignoring case; all for a blank query.
std::vector<InstalledApplication> matching(const std::vector<InstalledApplication> &applications,
                                           const QString &query);

} // namespace talvex::ApplicationChoices
