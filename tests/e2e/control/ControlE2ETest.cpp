// The talvex command line against a running Talvex, as a desktop's own keyboard settings use it.
#include "DictationHarness.h"
#include "WordErrorRate.h"

#include <QClipboard>
#include <QGuiApplication>
#include <gtest/gtest.h>

namespace talvex::e2e {
namespace {

using namespace std::chrono_literals;

struct CommandRun {
    int exitCode = -1;
    QString out;
    QString err;
};

/// Runs the talvex executable to its end.
CommandRun talvexCommand(const QStringList &arguments)
{
    QProcess process;
    process.start(QStringLiteral(TALVEX_EXECUTABLE), arguments);
    CommandRun run;
    if (!process.waitForStarted(10000) ||
        !waitFor([&] { return process.state() == QProcess::NotRunning; }, 60s)) {
        process.kill();
        process.waitForFinished(5000);
        run.err = QStringLiteral("did not end");
        return run;
    }
    run.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    run.out = QString::fromUtf8(process.readAllStandardOutput());
    run.err = QString::fromUtf8(process.readAllStandardError());
    return run;
}

std::size_t count(TalvexProcess &talvex, const QString &message)
{
    std::size_t found = 0;
    for (const LogLine &line : talvex.lines())
        found += line.message == message;
    return found;
}

TEST(ControlE2ETest, ToggleTwiceAroundTheSpeechPastesTheSentenceLikeTheShortcut)
{
    const QString sentence =
        QStringLiteral("The weather is nice today. I will send the report tomorrow morning.");
    const auto wav = speechFile(sentence);
    ASSERT_TRUE(wav);
    XTestKeyboard keys;
    TalvexProcess talvex;
    EntryTarget target;
    QString error;
    ASSERT_TRUE(talvex.start({}, &error)) << error.toStdString();
    ASSERT_TRUE(target.start(&error)) << error.toStdString();
    const QString clipboardBefore = QStringLiteral("kept across the dictation");
    QGuiApplication::clipboard()->setText(clipboardBefore);

    const std::size_t first = talvex.lines().size();
    const CommandRun start = talvexCommand({QStringLiteral("toggle")});
    ASSERT_EQ(start.exitCode, 0) << start.err.toStdString();
    ASSERT_TRUE(talvex.waitForLine(QStringLiteral("app"), QStringLiteral("Phase recording"), first))
        << talvex.log().toStdString();
    ASSERT_TRUE(play(*wav));
    const CommandRun stop = talvexCommand({QStringLiteral("toggle")});
    ASSERT_EQ(stop.exitCode, 0) << stop.err.toStdString();
    EXPECT_TRUE(start.out.isEmpty() && start.err.isEmpty() && stop.out.isEmpty() && stop.err.isEmpty());

    const auto delivered =
        talvex.waitForLine(QStringLiteral("delivery"), QStringLiteral("Delivery to"), first);
    ASSERT_TRUE(delivered) << talvex.log().toStdString();
    EXPECT_EQ(delivered->message, QStringLiteral("Delivery to Zenity: Paste confirmed"));
    const auto field = target.text();
    ASSERT_TRUE(field);
    EXPECT_LE(test::wordErrorRate(sentence, *field), 0.10) << "heard: " << field->toStdString();
    EXPECT_EQ(QGuiApplication::clipboard()->text(), clipboardBefore) << "the clipboard must come back";
    for (std::size_t i = first; i < talvex.lines().size(); ++i)
        EXPECT_FALSE(talvex.lines()[i].message.startsWith(QStringLiteral("Shortcut ")))
            << "the commands do not go through the shortcut";
    EXPECT_EQ(target.finish(keys), field);
    EXPECT_EQ(XTestKeyboard::keysDown(), std::vector<int>{}) << "a key was left pressed";
    EXPECT_TRUE(talvex.stop()) << talvex.log().toStdString();
}

TEST(ControlE2ETest, ASecondLaunchHandsOverAndTheFirstKeepsRunning)
{
    TalvexProcess talvex;
    QString error;
    TalvexProcess::Options firstRun;
    firstRun.setup = TalvexProcess::Options::Setup::firstRun;
    ASSERT_TRUE(talvex.start(firstRun, &error)) << error.toStdString();
    const QString onboarding = QStringLiteral("Opening the onboarding window");
    const QString settings = QStringLiteral("Opening the settings window");
    // A first run opens onboarding by itself.
    ASSERT_TRUE(talvex.waitForLine(QStringLiteral("app"), onboarding, 0));
    ASSERT_EQ(count(talvex, onboarding), 1u);

    const CommandRun again = talvexCommand({});
    EXPECT_EQ(again.exitCode, 0) << again.err.toStdString();
    EXPECT_TRUE(again.out.isEmpty() && again.err.isEmpty()) << again.err.toStdString();
    ASSERT_TRUE(waitFor([&] { return count(talvex, onboarding) == 2; }, 20s)) << talvex.log().toStdString();

    // Started at login while running: nothing shows. The settings request after it arrives after
    // anything the login start might have asked for, so its line proves there was nothing.
    const CommandRun atLogin = talvexCommand({QStringLiteral("--autostart")});
    EXPECT_EQ(atLogin.exitCode, 0) << atLogin.err.toStdString();
    const CommandRun openSettings = talvexCommand({QStringLiteral("settings")});
    EXPECT_EQ(openSettings.exitCode, 0) << openSettings.err.toStdString();
    ASSERT_TRUE(talvex.waitForLine(QStringLiteral("app"), settings, 0)) << talvex.log().toStdString();
    EXPECT_EQ(count(talvex, onboarding), 2u);

    const CommandRun stop = talvexCommand({QStringLiteral("stop")});
    EXPECT_EQ(stop.exitCode, 0) << "the first instance still answers: " << stop.err.toStdString();
    EXPECT_TRUE(talvex.stop()) << talvex.log().toStdString();
}

TEST(ControlE2ETest, CommandsWithoutARunningTalvexSayOneSentenceAndFail)
{
    for (const char *command : {"toggle", "start", "stop", "cancel"}) {
        const CommandRun run = talvexCommand({QString::fromLatin1(command)});
        EXPECT_EQ(run.exitCode, 1) << command;
        EXPECT_EQ(run.err.toStdString(), "Talvex is not running; start it with \"talvex\" first.\n")
            << command;
        EXPECT_TRUE(run.out.isEmpty()) << command << ": " << run.out.toStdString();
    }
}

} // namespace
} // namespace talvex::e2e
