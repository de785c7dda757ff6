#include "CommandLine.h"

#include "TranscribeCommand.h"

namespace talvex {

CommandLine CommandLine::parse(const QStringList &arguments)
{
    CommandLine line;
    if (arguments.isEmpty())
        return line;
    const QString &first = arguments.constFirst();
    if (first == QLatin1String("--help") || first == QLatin1String("-h")) {
        line.action = Action::showHelp;
    } else if (first == QLatin1String("--version")) {
        line.action = Action::showVersion;
    } else if (first == QLatin1String("--autostart") && arguments.size() == 1) {
        // The autostart entry's way of starting the application; nothing else differs.
        line.action = Action::runApplication;
    } else if (first == QLatin1String("transcribe")) {
        // The command parses its own options, including its own usage errors.
        line.action = Action::transcribe;
        line.commandArguments = arguments.mid(1);
    } else {
        line.action = Action::unusable;
        line.problem = first.startsWith(QLatin1Char('-'))
                           ? QStringLiteral("talvex: unknown option \"%1\".").arg(first)
                           : QStringLiteral("talvex: unknown command \"%1\".").arg(first);
    }
    return line;
}

QString CommandLine::help()
{
    return QStringLiteral(
               "Usage: talvex\n"
               "       talvex transcribe [options] FILE...\n"
               "       talvex --help\n"
               "\n"
               "Private dictation for Linux. Speak wherever you type, with transcription on your device.\n"
               "\n"
               "Without a command, Talvex runs on the X11 desktop until it is ended (Ctrl+C or SIGTERM).\n"
               "Hold the dictation shortcut (Ctrl+Shift+Space unless the library stores another) while\n"
               "you speak and release it to paste at the cursor, or tap it to start and tap again to stop.\n"
               "Settings and history live in Talvex/Library.json under $XDG_DATA_HOME (~/.local/share).\n"
               "\n"
               "Commands:\n"
               "  transcribe   Transcribe WAV files with the on-device recogniser and print the text.\n"
               "               %1\n"
               "\n"
               "Options:\n"
               "  -h, --help   Show this text.\n"
               "  --version    Show the version.\n"
               "  --autostart  Start as the login session does (the autostart entry passes it).\n"
               "\n"
               "Environment:\n"
               "  TALVEX_LLM_URL        The local chat-completions server for rewriting (default\n"
               "                        http://127.0.0.1:11434/v1; \"off\" turns rewriting off).\n"
               "  TALVEX_LLM_MODEL      The model the server should use.\n"
               "  TALVEX_SPHINX_MODELS  The folder of PocketSphinx models (default\n"
               "                        /usr/share/pocketsphinx/model).\n"
               "  TALVEX_UPDATE_FEED    The release feed update checks read (\"off\": no checks).\n")
        .arg(TranscribeCommand::usage());
}

} // namespace talvex
