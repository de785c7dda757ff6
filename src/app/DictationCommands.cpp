#include "DictationCommands.h"

#include "core/DictationController.h"

namespace talvex::DictationCommands {

void start(DictationController &controller)
{
    if (controller.phase() == Phase::idle)
        controller.start();
}

void stop(DictationController &controller)
{
    // As a shortcut release would: nothing has been heard while preparing, so there is nothing to
    // finish.
    switch (controller.phase()) {
    case Phase::recording:
        return controller.stopRecording();
    case Phase::preparing:
        return controller.cancel();
    case Phase::idle:
    case Phase::transcribing:
    case Phase::refining:
        return;
    }
}

void toggle(DictationController &controller)
{
    if (controller.phase() == Phase::idle)
        start(controller);
    else
        stop(controller);
}

void cancel(DictationController &controller)
{
    controller.cancel();
}

} // namespace talvex::DictationCommands
