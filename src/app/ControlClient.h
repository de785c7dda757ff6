#pragma once

#include "ControlBus.h"

#include <QDBusConnection>
#include <QString>

namespace talvex {

/// Sends one request to the running Talvex and reports how it went.
namespace ControlClient {

struct Outcome {
    enum class Result {
        done,       ///< the instance carried it out
        notRunning, ///< no instance owns the name (or there is no session bus)
        failed,     ///< the instance exists but did not carry it out; `problem` says why
    };
    Result result = Result::done;
    QString problem;
};

/// Blocks until the instance answers (bounded). Never starts an instance through bus activation.
Outcome send(QDBusConnection bus, ControlBus::Command command);

/// The one sentence the command line prints when no Talvex runs.
QString notRunningSentence();

} // namespace ControlClient

} // namespace talvex
