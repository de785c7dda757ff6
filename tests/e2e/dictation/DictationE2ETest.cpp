// The talvex executable dictating into zenity's GTK entry: shortcut held or tapped through XTest,
// flite speech into the microphone, and everything a user would check afterwards.
#include "DictationHarness.h"
#include "WordErrorRate.h"
#include "desktop/Shortcut.h"

#include <QClipboard>
#include <QGuiApplication>
#include <csignal>
#include <gtest/gtest.h>

inline void PrintTo(const QString &text, std::ostream *os)
{
    *os << '"' << text.toStdString() << '"';
}

namespace talvex::e2e {
namespace {

constexpr std::uint32_t controlKey = 0xffe3; // Control_L
constexpr std::uint32_t shiftKey = 0xffe1;   // Shift_L
constexpr std::uint32_t altKey = 0xffe9;     // Alt_L
constexpr std::uint32_t spaceKey = 0x20;

const QString sentence =
    QStringLiteral("The weather is nice today. I will send the report to my manager tomorrow morning.");
const QString clipboardBefore = QStringLiteral("kept on the clipboard across the dictation");

Library libraryWith(const std::function<void(Preferences &)> &change)
{
    Library library;
    change(library.preferences);
    return library;
}

class DictationE2ETest : public ::testing::Test {
  protected:
    // One dictation from start to end, and every check that holds for any way of starting it.
    // Returns the transcript the library kept, for checks of its own.
    Transcript dictateAndCheck(const TalvexProcess::Options &options,
                               const std::vector<std::uint32_t> &shortcut, Gesture gesture,
                               WritingMode expectedMode)
    {
        Transcript kept;
        run(options, shortcut, gesture, expectedMode, &kept);
        return kept;
    }

    void run(const TalvexProcess::Options &options, const std::vector<std::uint32_t> &shortcut,
             Gesture gesture, WritingMode expectedMode, Transcript *keptOut)
    {
        const auto wav = speechFile(sentence);
        ASSERT_TRUE(wav) << "flite could not speak the sentence";
        QString error;
        ASSERT_TRUE(talvex.start(options, &error)) << error.toStdString();
        ASSERT_TRUE(target.start(&error)) << error.toStdString();
        QGuiApplication::clipboard()->setText(clipboardBefore);

        const auto stop = dictate(talvex, keys, shortcut, gesture, *wav, &error);
        ASSERT_TRUE(stop) << error.toStdString();
        const auto delivered =
            talvex.waitForLine(QStringLiteral("delivery"), QStringLiteral("Delivery to"), stop->firstLine);
        ASSERT_TRUE(delivered) << talvex.log().toStdString();
        EXPECT_EQ(delivered->message, QStringLiteral("Delivery to Zenity: Paste confirmed"));

        const std::optional<QString> field = target.text();
        ASSERT_TRUE(field);
        EXPECT_EQ(QGuiApplication::clipboard()->text(), clipboardBefore) << "the clipboard must come back";

        std::optional<Library> library;
        ASSERT_TRUE(waitFor([&] { return (library = talvex.readLibrary()) && !library->history.isEmpty(); },
                            std::chrono::seconds(10)))
            << "no transcript in " << talvex.libraryPath().toStdString();
        ASSERT_EQ(library->history.size(), 1);
        const Transcript &kept = library->history.constFirst();
        *keptOut = kept;
        EXPECT_LE(test::wordErrorRate(sentence, kept.original), 0.10)
            << "heard: " << kept.original.toStdString();
        EXPECT_EQ(kept.mode, expectedMode);
        EXPECT_EQ(kept.text, *field);
        EXPECT_EQ(kept.source, QStringLiteral("Zenity"));

        EXPECT_EQ(target.finish(keys), field) << "zenity returns what its field holds";
        EXPECT_EQ(XTestKeyboard::keysDown(), std::vector<int>{}) << "a key was left pressed";
        EXPECT_TRUE(talvex.stop()) << "SIGTERM should end talvex cleanly\n" << talvex.log().toStdString();
    }

    XTestKeyboard keys;
    TalvexProcess talvex;
    EntryTarget target;
};

TEST_F(DictationE2ETest, HoldingTheDefaultShortcutPastesTheSentence)
{
    dictateAndCheck({}, {controlKey, shiftKey, spaceKey}, Gesture::hold, WritingMode::verbatim);
}

TEST_F(DictationE2ETest, TappingToStartAndTappingToStopPastesTheSentence)
{
    dictateAndCheck({}, {controlKey, shiftKey, spaceKey}, Gesture::tapTwice, WritingMode::verbatim);
}

TEST_F(DictationE2ETest, StoredControlAltChordPastesTheSentence)
{
    const Library library = libraryWith([](Preferences &preferences) {
        preferences.shortcutKey = Shortcut::chord(Shortcut::controlKey | Shortcut::optionKey);
    });
    dictateAndCheck({library, {}}, {controlKey, altKey}, Gesture::hold, WritingMode::verbatim);
}

TEST_F(DictationE2ETest, CleanUpWithoutALanguageModelKeepsTheOriginalText)
{
    const Library library =
        libraryWith([](Preferences &preferences) { preferences.mode = WritingMode::clean; });
    const QString url = QStringLiteral("TALVEX_LLM_URL=http://127.0.0.1:%1/v1").arg(closedLoopbackPort());
    const Transcript kept = dictateAndCheck({library, {url}}, {controlKey, shiftKey, spaceKey}, Gesture::hold,
                                            WritingMode::clean);
    EXPECT_EQ(kept.text, kept.original) << "nothing rewrote the text";
}

TEST_F(DictationE2ETest, CleanUpWithALanguageModelPastesItsRewrite)
{
    LoopbackModelServer model(
        [](const QString &dictation) { return QStringLiteral("Cleaned: ") + dictation; });
    ASSERT_TRUE(model.isListening());
    const Library library =
        libraryWith([](Preferences &preferences) { preferences.mode = WritingMode::clean; });
    TalvexProcess::Options options{
        library,
        {QStringLiteral("TALVEX_LLM_URL=") + model.url(),
         QStringLiteral("TALVEX_LLM_MODEL=") + QLatin1String(LoopbackModelServer::modelName)},
        true};
    const Transcript kept =
        dictateAndCheck(options, {controlKey, shiftKey, spaceKey}, Gesture::hold, WritingMode::clean);
    EXPECT_EQ(model.completions(), 1);
    EXPECT_EQ(kept.text, QStringLiteral("Cleaned: ") + kept.original) << "the field got the rewrite";
}

TEST_F(DictationE2ETest, SigintWhileRecordingEndsTalvexCleanlyAndTypesNothing)
{
    QString error;
    ASSERT_TRUE(talvex.start({}, &error)) << error.toStdString();
    ASSERT_TRUE(target.start(&error)) << error.toStdString();
    const std::size_t first = talvex.lines().size();
    for (const std::uint32_t key : {controlKey, shiftKey, spaceKey})
        keys.press(key);
    ASSERT_TRUE(talvex.waitForLine(QStringLiteral("app"), QStringLiteral("Phase recording"), first))
        << talvex.log().toStdString();

    ::kill(pid_t(talvex.pid()), SIGINT);
    EXPECT_TRUE(talvex.waitForExit()) << "the live session and the grabs must be torn down on the way out\n"
                                      << talvex.log().toStdString();
    EXPECT_TRUE(talvex.waitForLine(QStringLiteral("app"), QStringLiteral("Ended"), first));
    keys.releaseAll();
    EXPECT_EQ(target.finish(keys), QString()) << "nothing was dictated";
    EXPECT_EQ(XTestKeyboard::keysDown(), std::vector<int>{});
}

TEST_F(DictationE2ETest, SigtermWhileThePasteIsUnderwayStillDeliversWholeBeforeEnding)
{
    const auto wav = speechFile(sentence);
    ASSERT_TRUE(wav);
    QString error;
    ASSERT_TRUE(talvex.start({}, &error)) << error.toStdString();
    ASSERT_TRUE(target.start(&error)) << error.toStdString();
    QClipboard *clipboard = QGuiApplication::clipboard();
    clipboard->setText(clipboardBefore);
    ASSERT_TRUE(clipboard->ownsClipboard());

    // The logout case at its worst: the session ends talvex just as it has put the text on the
    // clipboard and is about to press the paste keys. Ending it at that moment, rather than at the
    // release, leaves talvex only the paste itself to finish, so how fast this machine transcribes
    // has no say in the outcome.
    bool ended = false;
    QObject watch;
    QObject::connect(clipboard, &QClipboard::changed, &watch, [&](QClipboard::Mode mode) {
        if (mode == QClipboard::Clipboard && !ended && !clipboard->ownsClipboard()) {
            ended = true;
            ::kill(pid_t(talvex.pid()), SIGTERM);
        }
    });
    const auto stop = dictate(talvex, keys, {controlKey, shiftKey, spaceKey}, Gesture::hold, *wav, &error);
    ASSERT_TRUE(stop) << error.toStdString();
    ASSERT_TRUE(waitFor([&] { return ended; }, std::chrono::seconds(60)))
        << "talvex never put the text on the clipboard\n"
        << talvex.log().toStdString();
    EXPECT_TRUE(talvex.waitForExit()) << talvex.log().toStdString();

    // The signal arrived while the dictation was being delivered, and talvex ended only after it.
    const auto index = [&](const QString &prefix) {
        const auto &lines = talvex.lines();
        for (std::size_t i = stop->firstLine; i < lines.size(); ++i)
            if (lines[i].message.startsWith(prefix))
                return std::optional(i);
        return std::optional<std::size_t>();
    };
    const auto waiting = index(QStringLiteral("Quitting once the dictation in progress is delivered"));
    const auto delivered = index(QStringLiteral("Delivery to"));
    ASSERT_TRUE(waiting) << "the signal did not find a dictation being finished\n"
                         << talvex.log().toStdString();
    ASSERT_TRUE(delivered) << "the dictation was cut off\n" << talvex.log().toStdString();
    EXPECT_LT(*waiting, *delivered);
    EXPECT_EQ(talvex.lines()[*delivered].message, QStringLiteral("Delivery to Zenity: Paste confirmed"));
    EXPECT_FALSE(index(QStringLiteral("Quitting while a dictation is still being finished")));
    EXPECT_EQ(XTestKeyboard::keysDown(), std::vector<int>{}) << "a paste key was left pressed";
    const auto field = target.finish(keys);
    ASSERT_TRUE(field);
    EXPECT_LE(test::wordErrorRate(sentence, *field), 0.10) << "heard: " << field->toStdString();
    const auto library = talvex.readLibrary();
    ASSERT_TRUE(library);
    EXPECT_EQ(library->history.size(), 1);
}

TEST(TalvexExecutable, WithoutADisplayItSaysSoAndFails)
{
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove(QStringLiteral("DISPLAY"));
    process.setProcessEnvironment(environment);
    process.start(QStringLiteral(TALVEX_EXECUTABLE), {});
    ASSERT_TRUE(process.waitForFinished(20000));
    EXPECT_NE(process.exitCode(), 0);
    const QString said = QString::fromUtf8(process.readAllStandardError()).trimmed();
    EXPECT_EQ(said, QStringLiteral(
                        "Talvex needs an X11 desktop session, and no display is set (DISPLAY is empty)."));
}

} // namespace
} // namespace talvex::e2e
