#pragma once

#include "InstalledApplications.h"

namespace talvex::test {

/// Installed applications the test lists; counts the reads.
class InstalledApplicationsDouble final : public InstalledApplications {
  public:
    std::vector<InstalledApplication> list;
    int reads = 0;

    std::vector<InstalledApplication> applications() override
    {
        ++reads;
        return list;
    }
};

} // namespace talvex::test
