#include "CommandLine.h"

#include "TranscribeCommand.h"
#include "platform/Version.h"

#include <gtest/gtest.h>

namespace talvex {
namespace {

using Action = CommandLine::Action;
using Command = ControlBus::Command;

QStringList words(const char *line)
{
    return QString::fromUtf8(line).split(QLatin1Char(' '), Qt::SkipEmptyParts);
}

struct Parsed {
    const char *line;
    Action action;
    QStringList commandArguments = {};
    std::optional<Command> control = {};
    bool onboarding = false;
    bool autostart = false;
    bool settings = false;
};

TEST(CommandLineTest, EachCommandLineAsksForOneThing)
{
    const std::vector<Parsed> cases{
        {"", Action::runApplication},
        {"--onboarding", Action::runApplication, {}, {}, true},
        {"--autostart", Action::runApplication, {}, {}, false, true},
        {"--autostart --onboarding", Action::runApplication, {}, {}, true, true},
        {"settings", Action::runApplication, {}, {}, false, false, true},
        {"toggle", Action::control, {}, Command::toggle},
        {"start", Action::control, {}, Command::start},
        {"stop", Action::control, {}, Command::stop},
        {"cancel", Action::control, {}, Command::cancel},
        {"--help", Action::showHelp},
        {"-h transcribe", Action::showHelp},
        {"--version", Action::showVersion},
        {"transcribe", Action::transcribe},
        {"transcribe --realtime a.wav", Action::transcribe, words("--realtime a.wav")},
        // The command's own help, unless it comes after "--", where it is a file name.
        {"transcribe --realtime --help", Action::transcribeHelp, words("--realtime --help")},
        {"transcribe -h", Action::transcribeHelp, words("-h")},
        {"transcribe -- --help", Action::transcribe, words("-- --help")},
    };
    for (const Parsed &c : cases) {
        const CommandLine line = CommandLine::parse(words(c.line));
        EXPECT_EQ(line.action, c.action) << c.line;
        EXPECT_EQ(line.commandArguments, c.commandArguments) << c.line;
        if (c.control) {
            EXPECT_EQ(line.control, *c.control) << c.line;
        }
        EXPECT_EQ(line.onboarding, c.onboarding) << c.line;
        EXPECT_EQ(line.autostart, c.autostart) << c.line;
        EXPECT_EQ(line.settings, c.settings) << c.line;
        EXPECT_TRUE(line.problem.isEmpty()) << c.line;
    }
}

TEST(CommandLineTest, UnusableLinesAreNamedNotIgnored)
{
    const std::vector<std::pair<const char *, const char *>> cases{
        {"--verbose", "talvex: unknown option \"--verbose\"."},
        {"dictate now", "talvex: unknown command \"dictate\"."},
        // Options of the application are not options of a command given after them.
        {"--partials transcribe", "talvex: unknown option \"--partials\"."},
        {"--onboarding transcribe", "talvex: unexpected argument \"transcribe\"."},
        {"--onboarding --version", "talvex: unknown option \"--version\"."},
        {"toggle now", "talvex: \"toggle\" takes no arguments."},
        {"stop --onboarding", "talvex: \"stop\" takes no arguments."},
        {"settings --autostart", "talvex: \"settings\" takes no arguments."},
    };
    for (const auto &[line, problem] : cases) {
        const CommandLine parsed = CommandLine::parse(words(line));
        EXPECT_EQ(parsed.action, Action::unusable) << line;
        EXPECT_EQ(parsed.problem, QString::fromUtf8(problem)) << line;
    }
}

TEST(CommandLineTest, HelpListsEveryCommandAndOptionAndVersionNamesTheRelease)
{
    const QString help = CommandLine::help();
    for (const char *entry : {"talvex transcribe", "toggle", "start", "stop", "cancel", "settings",
                              "--onboarding", "--autostart", "--help", "--version", "Ctrl+Shift+Space"})
        EXPECT_TRUE(help.contains(QString::fromUtf8(entry))) << entry;
    EXPECT_TRUE(help.contains(TranscribeCommand::usage()));
    EXPECT_EQ(CommandLine::version(), QStringLiteral("Talvex ") + QLatin1String(talvexVersion));
}

} // namespace
} // namespace talvex
