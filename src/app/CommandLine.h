#pragma once

#include <QString>
#include <QStringList>

namespace talvex {

/// What the arguments of the talvex executable ask for.
struct CommandLine {
    enum class Action {
        runApplication, ///< no arguments: the desktop application
        showHelp,       ///< --help or -h anywhere before a command
        showVersion,    ///< --version: "Talvex " and the version
        transcribe,     ///< "transcribe ...": the headless command, with `commandArguments`
        unusable,       ///< anything else; `problem` says what, in one sentence
    };

    Action action = Action::runApplication;
    QStringList commandArguments; ///< the arguments after the command's name
    QString problem;

    /// From the arguments without the program name.
    static CommandLine parse(const QStringList &arguments);
    /// The text of --help: every command and option that exists.
    static QString help();
    /// Exit status of a command line that could not be used.
    static constexpr int unusableExitCode = 2;
};

} // namespace talvex
