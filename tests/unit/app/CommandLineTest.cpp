#include "CommandLine.h"

#include "TranscribeCommand.h"

#include <gtest/gtest.h>

namespace talvex {
namespace {

using Action = CommandLine::Action;

TEST(CommandLineTest, NoArgumentsRunTheApplicationAndHelpWinsAnywhereFirst)
{
    EXPECT_EQ(CommandLine::parse({}).action, Action::runApplication);
    EXPECT_EQ(CommandLine::parse({QStringLiteral("--help")}).action, Action::showHelp);
    EXPECT_EQ(CommandLine::parse({QStringLiteral("-h"), QStringLiteral("transcribe")}).action,
              Action::showHelp);
}

TEST(CommandLineTest, TheAutostartEntryRunsTheApplicationAndVersionIsItsOwnAction)
{
    EXPECT_EQ(CommandLine::parse({QStringLiteral("--autostart")}).action, Action::runApplication);
    EXPECT_EQ(CommandLine::parse({QStringLiteral("--version")}).action, Action::showVersion);
    EXPECT_EQ(CommandLine::parse({QStringLiteral("--autostart"), QStringLiteral("--verbose")}).action,
              Action::unusable);
    EXPECT_TRUE(CommandLine::help().contains(QStringLiteral("--version")));
}

TEST(CommandLineTest, TranscribeGetsEverythingAfterItsNameUntouched)
{
    const CommandLine line = CommandLine::parse({QStringLiteral("transcribe"), QStringLiteral("--help"),
                                                 QStringLiteral("--realtime"), QStringLiteral("a.wav")});
    EXPECT_EQ(line.action, Action::transcribe);
    EXPECT_EQ(line.commandArguments,
              (QStringList{QStringLiteral("--help"), QStringLiteral("--realtime"), QStringLiteral("a.wav")}));
    EXPECT_EQ(CommandLine::parse({QStringLiteral("transcribe")}).commandArguments, QStringList{});
}

TEST(CommandLineTest, UnknownOptionsAndCommandsAreNamedNotIgnored)
{
    const CommandLine option = CommandLine::parse({QStringLiteral("--verbose")});
    EXPECT_EQ(option.action, Action::unusable);
    EXPECT_EQ(option.problem, QStringLiteral("talvex: unknown option \"--verbose\"."));

    const CommandLine command = CommandLine::parse({QStringLiteral("dictate"), QStringLiteral("now")});
    EXPECT_EQ(command.action, Action::unusable);
    EXPECT_EQ(command.problem, QStringLiteral("talvex: unknown command \"dictate\"."));
    // Options of the application are not options of a command given after them.
    EXPECT_EQ(CommandLine::parse({QStringLiteral("--partials"), QStringLiteral("transcribe")}).action,
              Action::unusable);
}

TEST(CommandLineTest, HelpListsEveryCommandWithItsUsage)
{
    const QString help = CommandLine::help();
    EXPECT_TRUE(help.contains(QStringLiteral("talvex transcribe")));
    EXPECT_TRUE(help.contains(TranscribeCommand::usage()));
    EXPECT_TRUE(help.contains(QStringLiteral("--help")));
    EXPECT_TRUE(help.contains(QStringLiteral("Ctrl+Shift+Space")));
    EXPECT_FALSE(help.contains(QStringLiteral("--onboarding"))) << "no onboarding window exists yet";
}

} // namespace
} // namespace talvex
