#pragma once

#include "core/DictationController.h"

#include <QString>

namespace talvex::RecorderStatus {

/// The sentence the recorder shows for `phase` while there is no live text yet.
QString sentence(Phase phase);

} // namespace talvex::RecorderStatus
