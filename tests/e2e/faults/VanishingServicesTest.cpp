// Services that vanish under a running talvex dictating into zenity: the language-model server dies
// mid-answer, the target freezes during delivery, the sound server is killed while recording, the
// accessibility bus goes away, and the X server ends. Each gets a clear outcome; where the desktop
// survives, the next dictation works in the same talvex.
//
// The tests share one private desktop and run in the order written: the accessibility bus does not
// come back as it was, so that case comes after every case that needs it.
#include "DictationHarness.h"
#include "WordErrorRate.h"

#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QProcess>
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
constexpr std::uint32_t spaceKey = 0x20;
const std::vector<std::uint32_t> shortcut{controlKey, shiftKey, spaceKey};

const QString sentence =
    QStringLiteral("The weather is nice today. I will send the report tomorrow morning.");
const QString clipboardBefore = QStringLiteral("kept on the clipboard across the dictation");
const QString confirmed = QStringLiteral("Delivery to Zenity: Paste confirmed");

/// A process of this private desktop session (it carries our TALVEX_TEST_TMP), with its arguments.
struct SessionProcess {
    pid_t pid = 0;
    QStringList arguments;
};

/// The session's processes whose command name starts with `name` and whose arguments contain
/// `argument` (when given).
std::vector<SessionProcess> sessionProcesses(const QString &name, const QString &argument = {})
{
    const QByteArray marker = "TALVEX_TEST_TMP=" + qgetenv("TALVEX_TEST_TMP");
    std::vector<SessionProcess> found;
    const QStringList entries = QDir(QStringLiteral("/proc")).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QString &entry : entries) {
        bool numeric = false;
        const pid_t pid = entry.toInt(&numeric);
        if (!numeric || pid == ::getpid())
            continue;
        const auto read = [&](const char *file) {
            QFile f(QStringLiteral("/proc/%1/%2").arg(pid).arg(QLatin1String(file)));
            return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
        };
        if (!QString::fromUtf8(read("comm")).trimmed().startsWith(name) ||
            !read("environ").split('\0').contains(marker))
            continue;
        SessionProcess process{pid, {}};
        for (const QByteArray &part : read("cmdline").split('\0'))
            if (!part.isEmpty())
                process.arguments << QString::fromLocal8Bit(part);
        if (argument.isEmpty() || process.arguments.join(QLatin1Char(' ')).contains(argument))
            found.push_back(process);
    }
    return found;
}

/// Runs a short command to its end; true when it exited with 0.
bool succeeds(const QString &program, const QStringList &arguments)
{
    QProcess process;
    process.start(program, arguments);
    return process.waitForFinished(10000) && process.exitStatus() == QProcess::NormalExit &&
           process.exitCode() == 0;
}

class VanishingServicesTest : public ::testing::Test {
  protected:
    void SetUp() override
    {
        const auto spoken = speechFile(sentence);
        ASSERT_TRUE(spoken) << "flite could not speak the sentence";
        wav = *spoken;
    }

    void start(const TalvexProcess::Options &options = {})
    {
        QString error;
        ASSERT_TRUE(talvex.start(options, &error)) << error.toStdString();
        ASSERT_TRUE(target.start(&error)) << error.toStdString();
        QGuiApplication::clipboard()->setText(clipboardBefore);
    }

    /// One spoken dictation; returns the delivery line, or absent when none came.
    std::optional<LogLine> dictateOnce(std::size_t *first = nullptr)
    {
        QString error;
        const auto stop = dictate(talvex, keys, shortcut, Gesture::hold, wav, &error);
        EXPECT_TRUE(stop) << error.toStdString();
        if (!stop)
            return std::nullopt;
        if (first)
            *first = stop->firstLine;
        return talvex.waitForLine(QStringLiteral("delivery"), QStringLiteral("Delivery to"), stop->firstLine);
    }

    /// The message talvex showed after log index `from` (waits for it).
    std::optional<QString> messageAfter(std::size_t from)
    {
        const auto line = talvex.waitForLine(QStringLiteral("app"), QStringLiteral("Message: "), from);
        return line ? std::optional(line->message.mid(9)) : std::nullopt;
    }

    /// A confirmed paste gives the user's clipboard back; any other outcome leaves the text there
    /// for a manual paste.
    void expectClipboardFor(const QString &delivery, const QString &text)
    {
        const QString clipboard = QGuiApplication::clipboard()->text();
        if (delivery == confirmed)
            EXPECT_EQ(clipboard, clipboardBefore) << "the clipboard must come back";
        else
            EXPECT_EQ(clipboard, text) << "the dictation must wait on the clipboard";
    }

    QString wav;
    XTestKeyboard keys;
    TalvexProcess talvex;
    EntryTarget target;
};

TEST_F(VanishingServicesTest, ModelServerDyingMidAnswerPastesTheOriginalWithANoteAndTheNextRewriteWorks)
{
    LoopbackModelServer model(
        [](const QString &dictation) { return QStringLiteral("Cleaned: ") + dictation; });
    ASSERT_TRUE(model.isListening());
    Library stored;
    stored.preferences.mode = WritingMode::clean;
    start({stored,
           {QStringLiteral("TALVEX_LLM_URL=") + model.url(),
            QStringLiteral("TALVEX_LLM_MODEL=") + QLatin1String(LoopbackModelServer::modelName)},
           true});

    model.cutAnswers(1);
    std::size_t first = 0;
    const auto delivered = dictateOnce(&first);
    ASSERT_TRUE(delivered) << talvex.log().toStdString();
    EXPECT_EQ(delivered->message, confirmed);
    EXPECT_EQ(
        messageAfter(first),
        QStringLiteral("The local language model couldn\u2019t finish cleanup. Kept the original text."));
    auto library = talvex.waitForHistory(1);
    ASSERT_TRUE(library);
    const Transcript kept = library->history.constFirst();
    EXPECT_EQ(kept.text, kept.original) << "the original text is what was pasted";
    EXPECT_LE(test::wordErrorRate(sentence, kept.original), 0.15) << kept.original.toStdString();
    EXPECT_EQ(target.text(), kept.text);
    expectClipboardFor(delivered->message, kept.text);

    // The server answers again: the same talvex rewrites the next dictation.
    const auto next = dictateOnce();
    ASSERT_TRUE(next) << talvex.log().toStdString();
    EXPECT_EQ(next->message, confirmed);
    library = talvex.waitForHistory(2);
    ASSERT_TRUE(library);
    const Transcript rewritten = library->history.constFirst();
    EXPECT_EQ(rewritten.text, QStringLiteral("Cleaned: ") + rewritten.original);
    EXPECT_EQ(model.completions(), 2);
    EXPECT_EQ(XTestKeyboard::keysDown(), std::vector<int>{});
    EXPECT_TRUE(talvex.stop()) << talvex.log().toStdString();
}

TEST_F(VanishingServicesTest, TargetFrozenDuringDeliveryGetsABoundedHonestOutcomeAndNoKeyDown)
{
    start();
    QClipboard *clipboard = QGuiApplication::clipboard();
    ASSERT_TRUE(clipboard->ownsClipboard());
    // Frozen the moment talvex puts the text on the clipboard, just before it looks at the field
    // and types the paste keys.
    bool frozen = false;
    QObject watch;
    QObject::connect(clipboard, &QClipboard::changed, &watch, [&](QClipboard::Mode mode) {
        if (mode == QClipboard::Clipboard && !frozen && !clipboard->ownsClipboard()) {
            frozen = true;
            ::kill(pid_t(target.pid()), SIGSTOP);
        }
    });
    const auto delivered = dictateOnce();
    QObject::disconnect(clipboard, nullptr, &watch, nullptr);
    const auto thaw = qScopeGuard([&] { ::kill(pid_t(target.pid()), SIGCONT); });
    ASSERT_TRUE(frozen) << "talvex never put the text on the clipboard\n" << talvex.log().toStdString();
    ASSERT_TRUE(delivered) << "delivery into a frozen program must end\n" << talvex.log().toStdString();
    EXPECT_NE(delivered->message, confirmed) << "a frozen field cannot confirm anything";
    EXPECT_EQ(XTestKeyboard::keysDown(), std::vector<int>{}) << "a paste key was left pressed";
    auto library = talvex.waitForHistory(1);
    ASSERT_TRUE(library);
    expectClipboardFor(delivered->message, library->history.constFirst().text);

    // Thawed, the same program takes the next dictation.
    ::kill(pid_t(target.pid()), SIGCONT);
    QGuiApplication::clipboard()->setText(clipboardBefore);
    const auto next = dictateOnce();
    ASSERT_TRUE(next) << talvex.log().toStdString();
    EXPECT_EQ(next->message, confirmed);
    library = talvex.waitForHistory(2);
    ASSERT_TRUE(library);
    expectClipboardFor(next->message, library->history.constFirst().text);
    const auto field = target.text();
    ASSERT_TRUE(field);
    EXPECT_TRUE(field->endsWith(library->history.constFirst().text)) << field->toStdString();
    EXPECT_EQ(XTestKeyboard::keysDown(), std::vector<int>{});
    EXPECT_TRUE(talvex.stop()) << talvex.log().toStdString();
}

TEST_F(VanishingServicesTest, SoundServerKilledWhileRecordingEndsWithItsSentenceAndTheNextDictationWorks)
{
    start();
    const auto servers = sessionProcesses(QStringLiteral("pulseaudio"));
    ASSERT_EQ(servers.size(), 1u) << "the private desktop runs one sound server";
    const SessionProcess server = servers.front();

    const std::size_t first = talvex.lines().size();
    for (const std::uint32_t key : shortcut)
        keys.press(key);
    ASSERT_TRUE(talvex.waitForLine(QStringLiteral("app"), QStringLiteral("Phase recording"), first))
        << talvex.log().toStdString();
    ::kill(server.pid, SIGKILL);
    EXPECT_TRUE(
        talvex.waitForLine(QStringLiteral("audio"), QStringLiteral("The recording stream failed"), first))
        << talvex.log().toStdString();
    keys.releaseAll();
    EXPECT_EQ(
        messageAfter(first),
        QStringLiteral(
            "Talvex couldn\u2019t reach the sound server. Start PulseAudio or PipeWire, then try again."))
        << talvex.log().toStdString();
    ASSERT_TRUE(talvex.waitForLine(QStringLiteral("app"), QStringLiteral("Phase idle"), first));
    for (const LogLine &line : talvex.lines())
        EXPECT_FALSE(line.message.startsWith(QStringLiteral("Delivery to"))) << "nothing may be pasted";
    EXPECT_EQ(QGuiApplication::clipboard()->text(), clipboardBefore);

    // The same server comes back (it outlives this test, as the desktop's own did).
    ASSERT_TRUE(QProcess::startDetached(server.arguments.first(), server.arguments.mid(1)));
    ASSERT_TRUE(waitFor([] { return succeeds(QStringLiteral("pactl"), {QStringLiteral("info")}); },
                        std::chrono::seconds(30)))
        << "the sound server did not come back";
    const auto delivered = dictateOnce();
    ASSERT_TRUE(delivered) << talvex.log().toStdString();
    EXPECT_EQ(delivered->message, confirmed);
    const auto library = talvex.waitForHistory(1);
    ASSERT_TRUE(library);
    EXPECT_LE(test::wordErrorRate(sentence, library->history.constFirst().original), 0.15);
    EXPECT_EQ(XTestKeyboard::keysDown(), std::vector<int>{});
    EXPECT_TRUE(talvex.stop()) << talvex.log().toStdString();
}

TEST_F(VanishingServicesTest, XServerEndingEndsTalvexWithOneSentenceAndAFailureStatus)
{
    // A display of its own, so the rest of the desktop survives; the server picks a free number
    // and writes it to its standard output.
    QProcess xserver;
    xserver.start(QStringLiteral("Xvfb"),
                  {QStringLiteral("-displayfd"), QStringLiteral("1"), QStringLiteral("-nolisten"),
                   QStringLiteral("tcp"), QStringLiteral("-screen"), QStringLiteral("0"),
                   QStringLiteral("1024x768x24")});
    ASSERT_TRUE(xserver.waitForStarted());
    QByteArray number;
    ASSERT_TRUE(waitFor(
        [&] {
            number += xserver.readAllStandardOutput();
            return number.contains('\n');
        },
        std::chrono::seconds(30)))
        << "Xvfb never said which display it took";
    const QString display = QLatin1Char(':') + QString::fromLatin1(number.trimmed());
    QString error;
    ASSERT_TRUE(talvex.start({std::nullopt, {QStringLiteral("DISPLAY=") + display}}, &error))
        << error.toStdString();

    ::kill(pid_t(xserver.processId()), SIGKILL);
    xserver.waitForFinished();
    talvex.waitForExit(); // false either way: it ends with a failure status
    ASSERT_FALSE(talvex.isRunning()) << "talvex must not hang without its display\n"
                                     << talvex.log().toStdString();
    EXPECT_TRUE(talvex.exitedNormally()) << "it must end by itself, not crash\n"
                                         << talvex.log().toStdString();
    EXPECT_NE(talvex.exitCode(), 0);
    const QString farewell =
        QStringLiteral("Talvex lost its connection to the X display, so it has to quit. Start it again in a "
                       "running desktop session.");
    EXPECT_EQ(talvex.log().count(farewell), 1) << talvex.log().toStdString();
    EXPECT_FALSE(talvex.log().contains(QStringLiteral("X11 connection broke"))) << "one sentence, not two";
}

// Last: the accessibility bus does not come back as the desktop started it.
TEST_F(VanishingServicesTest, AccessibilityBusGoneStillDeliversWithABoundedHonestOutcome)
{
    start();
    const auto bus = sessionProcesses(QStringLiteral("dbus-daemon"), QStringLiteral("accessibility.conf"));
    const auto launcher = sessionProcesses(QStringLiteral("at-spi-bus-laun"));
    const auto registry = sessionProcesses(QStringLiteral("at-spi2-registr"));
    ASSERT_EQ(bus.size(), 1u);
    for (const auto *group : {&registry, &bus, &launcher})
        for (const SessionProcess &process : *group)
            ::kill(process.pid, SIGKILL);

    const auto delivered = dictateOnce();
    ASSERT_TRUE(delivered) << "delivery without the accessibility bus must end\n"
                           << talvex.log().toStdString();
    EXPECT_NE(delivered->message, confirmed) << "nothing can confirm the paste without the bus";
    const auto library = talvex.waitForHistory(1);
    ASSERT_TRUE(library);
    expectClipboardFor(delivered->message, library->history.constFirst().text);
    EXPECT_EQ(XTestKeyboard::keysDown(), std::vector<int>{});
    EXPECT_TRUE(talvex.stop()) << talvex.log().toStdString();
}

} // namespace
} // namespace talvex::e2e
