#pragma once

#include "ControlBus.h"

#include <QString>
#include <QStringList>

namespace talvex {

/// What the arguments of the talvex executable ask for.
struct CommandLine {
    enum class Action {
        runApplication, ///< the desktop application, or a hand-over to the one already running
        showHelp,       ///< --help or -h first
        showVersion,    ///< --version first
        transcribe,     ///< "transcribe ...": the headless command, with `commandArguments`
        transcribeHelp, ///< "transcribe" with --help or -h among its options
        control,        ///< "toggle", "start", "stop" or "cancel": `control` to the running instance
        unusable,       ///< anything else; `problem` says what, in one sentence
    };

    Action action = Action::runApplication;
    QStringList commandArguments; ///< the arguments after the command's name
    ControlBus::Command control = ControlBus::Command::toggle;
    bool onboarding = false; ///< --onboarding: open the onboarding window
    bool autostart = false;  ///< --autostart: started at login; a second instance shows nothing
    bool settings = false;   ///< "settings": open the settings window, starting Talvex if needed
    QString problem;

    /// From the arguments without the program name.
    static CommandLine parse(const QStringList &arguments);
    /// The text of --help: every command and option that exists.
    static QString help();
    /// The line of --version.
    static QString version();
    /// Exit status of a command line that could not be used.
    static constexpr int unusableExitCode = 2;
};

} // namespace talvex
