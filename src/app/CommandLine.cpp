#include "CommandLine.h"

#include "TranscribeCommand.h"
#include "platform/Version.h"

#include <algorithm>
#include <map>

namespace talvex {

namespace {

bool isHelp(const QString &argument)
{
    return argument == QLatin1String("--help") || argument == QLatin1String("-h");
}

const std::map<QString, ControlBus::Command> &controlCommands()
{
    static const std::map<QString, ControlBus::Command> commands{
        {QStringLiteral("toggle"), ControlBus::Command::toggle},
        {QStringLiteral("start"), ControlBus::Command::start},
        {QStringLiteral("stop"), ControlBus::Command::stop},
        {QStringLiteral("cancel"), ControlBus::Command::cancel},
    };
    return commands;
}

CommandLine unusable(QString problem)
{
    CommandLine line;
    line.action = CommandLine::Action::unusable;
    line.problem = std::move(problem);
    return line;
}

} // namespace

CommandLine CommandLine::parse(const QStringList &arguments)
{
    CommandLine line;
    if (arguments.isEmpty())
        return line;
    const QString &first = arguments.constFirst();
    if (isHelp(first)) {
        line.action = Action::showHelp;
        return line;
    }
    if (first == QLatin1String("--version")) {
        line.action = Action::showVersion;
        return line;
    }
    if (first == QLatin1String("transcribe")) {
        // The command parses its own options, including its own usage errors.
        line.commandArguments = arguments.mid(1);
        const qsizetype end = line.commandArguments.indexOf(QStringLiteral("--"));
        const QStringList options = end < 0 ? line.commandArguments : line.commandArguments.mid(0, end);
        line.action =
            std::any_of(options.begin(), options.end(), isHelp) ? Action::transcribeHelp : Action::transcribe;
        return line;
    }
    const auto control = controlCommands().find(first);
    if (control != controlCommands().end() || first == QLatin1String("settings")) {
        if (arguments.size() > 1)
            return unusable(QStringLiteral("talvex: \"%1\" takes no arguments.").arg(first));
        if (control != controlCommands().end()) {
            line.action = Action::control;
            line.control = control->second;
        } else {
            line.settings = true;
        }
        return line;
    }
    // Otherwise only the application's own options, in any order.
    for (const QString &argument : arguments) {
        if (argument == QLatin1String("--onboarding"))
            line.onboarding = true;
        else if (argument == QLatin1String("--autostart"))
            line.autostart = true;
        else if (argument.startsWith(QLatin1Char('-')))
            return unusable(QStringLiteral("talvex: unknown option \"%1\".").arg(argument));
        else if (argument == first)
            return unusable(QStringLiteral("talvex: unknown command \"%1\".").arg(argument));
        else
            return unusable(QStringLiteral("talvex: unexpected argument \"%1\".").arg(argument));
    }
    return line;
}

QString CommandLine::version()
{
    return QStringLiteral("Talvex ") + QLatin1String(talvexVersion);
}

QString CommandLine::help()
{
    return QStringLiteral(
               "Usage: talvex [--onboarding] [--autostart]\n"
               "       talvex toggle | start | stop | cancel\n"
               "       talvex settings\n"
               "       talvex transcribe [options] FILE...\n"
               "       talvex --help | --version\n"
               "\n"
               "Private dictation for Linux. Speak wherever you type, with transcription on your device.\n"
               "\n"
               "Without a command, Talvex runs in the system tray of the X11 desktop until it is ended\n"
               "(Quit Talvex in its menu, Ctrl+C or SIGTERM). Hold the dictation shortcut\n"
               "(Ctrl+Shift+Space unless the library stores another) while you speak and release it to\n"
               "paste at the cursor, or tap it to start and tap again to stop. One Talvex runs per\n"
               "session: starting it again opens Talvex Onboarding in the running one.\n"
               "Settings and history live in Talvex/Library.json under $XDG_DATA_HOME (~/.local/share).\n"
               "\n"
               "Commands (to the running Talvex; they fail when none runs):\n"
               "  toggle       Start a dictation when none runs, else stop it. Bind \"talvex toggle\" to a\n"
               "               key in your desktop's keyboard settings to dictate with that key, also on\n"
               "               Wayland.\n"
               "  start        Start a dictation into the focused text field.\n"
               "  stop         Stop recording and paste (a dictation still starting is cancelled).\n"
               "  cancel       Abandon the dictation without pasting.\n"
               "  settings     Open the settings window (starts Talvex when it is not running).\n"
               "\n"
               "  transcribe   Transcribe WAV files with the on-device recogniser and print the text.\n"
               "               %1\n"
               "\n"
               "Options:\n"
               "  --onboarding Open Talvex Onboarding.\n"
               "  --autostart  Started at login: when Talvex already runs, do nothing.\n"
               "  -h, --help   Show this text.\n"
               "  --version    Show the version.\n"
               "\n"
               "Environment:\n"
               "  TALVEX_LLM_URL        The local chat-completions server for rewriting (default\n"
               "                        http://127.0.0.1:11434/v1; \"off\" turns rewriting off).\n"
               "  TALVEX_LLM_MODEL      The model the server should use.\n"
               "  TALVEX_SPHINX_MODELS  The folder of PocketSphinx models (default\n"
               "                        /usr/share/pocketsphinx/model).\n"
               "  TALVEX_SPHINX_SEARCH  PocketSphinx's search width: fast (default) or accurate\n"
               "                        (about twice the work for somewhat fewer errors).\n"
               "  TALVEX_STT_URL        A local transcription server for the final text (loopback\n"
               "                        only; unset or \"off\": PocketSphinx alone).\n"
               "  TALVEX_STT_MODEL      The model that server should use.\n"
               "  TALVEX_STT_TIMEOUT    Seconds a dictation waits for that server (default 10).\n"
               "  TALVEX_UPDATE_FEED    The release feed update checks read (\"off\": no checks).\n")
        .arg(TranscribeCommand::usage());
}

} // namespace talvex
