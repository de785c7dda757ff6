// The whole relaunch path with the real talvex: installed in a user folder, it registers its
// autostart entry on first launch; its `current` link is switched to the next release while a
// dictation records; the dictation is delivered, then the same process becomes the next release
// (execv) and its shortcut dictates again.
#include "DictationHarness.h"
#include "WordErrorRate.h"
#include "XdgLoginItems.h"

#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QProcess>
#include <gtest/gtest.h>

inline void PrintTo(const QString &text, std::ostream *os)
{
    *os << '"' << text.toStdString() << '"';
}

namespace talvex::e2e {
namespace {

constexpr std::uint32_t controlKey = 0xffe3;
constexpr std::uint32_t shiftKey = 0xffe1;
constexpr std::uint32_t spaceKey = 0x20;
const std::vector<std::uint32_t> shortcut{controlKey, shiftKey, spaceKey};

const QString firstSentence = QStringLiteral("The weather is nice today.");
const QString secondSentence = QStringLiteral("I will send the report to my manager tomorrow morning.");

QString testFolder()
{
    return qEnvironmentVariable("TALVEX_TEST_TMP", QDir::tempPath());
}

// The same length, another value: the version string is patched in place.
QString nextVersion(const QString &version)
{
    QString next = version;
    for (qsizetype i = next.size() - 1; i >= 0; --i) {
        if (next[i].isDigit() && next[i] != u'9') {
            next[i] = QChar(next[i].unicode() + 1);
            return next;
        }
    }
    return {};
}

/// The next release, forged from this build: talvex keeps its version in one string constant, so
/// a copy with that constant rewritten reports another version and is otherwise the same program.
bool forgeRelease(const QString &from, const QString &to, const QString &version, QString *error)
{
    QFile source(from);
    if (!source.open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("cannot read ") + from;
        return false;
    }
    QByteArray image = source.readAll();
    const QByteArray old = '\0' + QByteArray(TALVEX_VERSION) + '\0';
    const QByteArray fresh = '\0' + version.toLatin1() + '\0';
    const qsizetype at = image.indexOf(old);
    if (at < 0 || image.indexOf(old, at + 1) >= 0 || fresh.size() != old.size()) {
        *error = QStringLiteral("the version string is not in talvex exactly once");
        return false;
    }
    image.replace(at, old.size(), fresh);
    QDir().mkpath(QFileInfo(to).path());
    QFile target(to);
    if (!target.open(QIODevice::WriteOnly) || target.write(image) != image.size()) {
        *error = QStringLiteral("cannot write ") + to;
        return false;
    }
    target.setPermissions(source.permissions());
    return true;
}

QString runVersion(const QString &executable)
{
    QProcess process;
    process.start(executable, {QStringLiteral("--version")});
    process.waitForFinished(20000);
    return QString::fromUtf8(process.readAllStandardOutput()).trimmed();
}

// Points `current` at `version` in one rename, as the installer does.
bool switchCurrent(const QString &root, const QString &version)
{
    const QString fresh = root + QStringLiteral("/current.new");
    return QFile::link(QStringLiteral("versions/") + version, fresh) &&
           ::rename(QFile::encodeName(fresh).constData(),
                    QFile::encodeName(root + QStringLiteral("/current")).constData()) == 0;
}

class RelaunchE2ETest : public ::testing::Test {
  protected:
    // Holds the shortcut, speaks `wav`, runs `whileRecording`, releases, and returns the log index
    // where this dictation began once its delivery was confirmed.
    std::optional<std::size_t> dictate(const QString &wav, const std::function<void()> &whileRecording = {})
    {
        const std::size_t first = talvex.lines().size();
        for (const std::uint32_t key : shortcut)
            keys.press(key);
        if (!talvex.waitForLine(QStringLiteral("app"), QStringLiteral("Phase recording"), first)) {
            ADD_FAILURE() << "never recorded\n" << talvex.log().toStdString();
            return std::nullopt;
        }
        if (!play(wav)) {
            ADD_FAILURE() << "the speech did not play";
            return std::nullopt;
        }
        if (whileRecording)
            whileRecording();
        for (auto key = shortcut.rbegin(); key != shortcut.rend(); ++key)
            keys.release(*key);
        const auto delivered =
            talvex.waitForLine(QStringLiteral("delivery"), QStringLiteral("Delivery to"), first);
        if (!delivered || delivered->message != QLatin1String("Delivery to Zenity: Paste confirmed")) {
            ADD_FAILURE() << "not delivered\n" << talvex.log().toStdString();
            return std::nullopt;
        }
        return first;
    }

    XTestKeyboard keys;
    TalvexProcess talvex;
    EntryTarget target;
};

TEST_F(RelaunchE2ETest, AReplacedInstallationFinishesTheDictationThenRelaunchesIntoTheNewReleaseInPlace)
{
    const QString version = QStringLiteral(TALVEX_VERSION);
    const QString next = nextVersion(version);
    ASSERT_FALSE(next.isEmpty());
    const QString root = testFolder() + QStringLiteral("/relaunch/opt/talvex");
    const QString configHome = testFolder() + QStringLiteral("/relaunch/config");
    QString error;
    ASSERT_TRUE(forgeRelease(QStringLiteral(TALVEX_EXECUTABLE), root + "/versions/" + version + "/bin/talvex",
                             version, &error))
        << error.toStdString();
    ASSERT_TRUE(forgeRelease(QStringLiteral(TALVEX_EXECUTABLE), root + "/versions/" + next + "/bin/talvex",
                             next, &error))
        << error.toStdString();
    ASSERT_TRUE(QFile::link(QStringLiteral("versions/") + version, root + QStringLiteral("/current")));
    const QString launcher = root + QStringLiteral("/current/bin/talvex");
    ASSERT_EQ(runVersion(root + "/versions/" + next + "/bin/talvex"), QStringLiteral("Talvex ") + next);

    const auto first = speechFile(firstSentence);
    const auto second = speechFile(secondSentence);
    ASSERT_TRUE(first && second) << "flite could not speak";
    TalvexProcess::Options options;
    options.executable = launcher;
    options.environment = {QStringLiteral("XDG_CONFIG_HOME=") + configHome,
                           QStringLiteral("TALVEX_UPDATE_FEED=off")};
    ASSERT_TRUE(talvex.start(options, &error)) << error.toStdString();
    const qint64 pid = talvex.pid();

    // Its first launch as an installed program registered it to start at login, through the link.
    const QString entry =
        configHome + QStringLiteral("/autostart/") + QLatin1String(xdg::XdgLoginItems::entryName);
    QFile entryFile(entry);
    ASSERT_TRUE(entryFile.open(QIODevice::ReadOnly)) << talvex.log().toStdString();
    EXPECT_TRUE(entryFile.readAll().contains(("\nExec=" + launcher + " --autostart\n").toUtf8()));
    QProcess validator;
    validator.start(QStringLiteral("desktop-file-validate"), {entry});
    ASSERT_TRUE(validator.waitForFinished(20000));
    EXPECT_EQ(validator.exitCode(), 0) << validator.readAllStandardOutput().toStdString();

    ASSERT_TRUE(target.start(&error)) << error.toStdString();
    const QString clipboardBefore = QStringLiteral("kept on the clipboard across the relaunch");
    QGuiApplication::clipboard()->setText(clipboardBefore);

    // The upgrade lands while the user is speaking: the relaunch waits for the delivery.
    std::size_t recordedFrom = 0;
    const auto dictated = dictate(*first, [&] {
        recordedFrom = talvex.lines().size();
        ASSERT_TRUE(switchCurrent(root, next));
        ASSERT_TRUE(
            talvex.waitForLine(QStringLiteral("app"), QStringLiteral("Relaunch postponed"), recordedFrom))
            << talvex.log().toStdString();
    });
    ASSERT_TRUE(dictated);
    const auto relaunched =
        talvex.waitForLine(QStringLiteral("app"), QStringLiteral("Relaunching into"), *dictated);
    ASSERT_TRUE(relaunched) << talvex.log().toStdString();
    std::size_t relaunchLine = 0;
    while (talvex.lines()[relaunchLine].message != relaunched->message)
        ++relaunchLine;
    ASSERT_TRUE(talvex.waitUntilReady(relaunchLine, &error)) << error.toStdString();
    // How long the shortcut was away: a figure for the record, not a check.
    const auto registered = talvex.waitForLine(QStringLiteral("delivery"),
                                               QStringLiteral("Global shortcut registered"), relaunchLine);
    RecordProperty("shortcutAwaySeconds",
                   QString::number(registered->time - relaunched->time, 'f', 3).toStdString());

    // The same process, now running the next release.
    EXPECT_EQ(talvex.pid(), pid);
    const QString image = QFile::symLinkTarget(QStringLiteral("/proc/%1/exe").arg(pid));
    EXPECT_EQ(image, QFileInfo(root + "/versions/" + next + "/bin/talvex").canonicalFilePath());
    EXPECT_EQ(runVersion(image), QStringLiteral("Talvex ") + next);
    EXPECT_EQ(XTestKeyboard::keysDown(), std::vector<int>{}) << "a key was left pressed";

    // The user's clipboard came through the relaunch: the old release had put it back after
    // pasting, and its owner then went away.
    EXPECT_EQ(QGuiApplication::clipboard()->text(), clipboardBefore);

    // The shortcut works again in the new release.
    ASSERT_TRUE(dictate(*second));
    const std::optional<QString> field = target.text();
    ASSERT_TRUE(field);
    const auto library = talvex.waitForHistory(2);
    ASSERT_TRUE(library) << "the first release saved its dictation before it went";
    EXPECT_LE(test::wordErrorRate(firstSentence, library->history[1].original), 0.3);
    EXPECT_LE(test::wordErrorRate(secondSentence, library->history[0].original), 0.3);
    EXPECT_EQ(*field, library->history[1].text + library->history[0].text)
        << "both dictations are in the field";
    EXPECT_EQ(QGuiApplication::clipboard()->text(), clipboardBefore);
    EXPECT_TRUE(talvex.stop()) << talvex.log().toStdString();
}

} // namespace
} // namespace talvex::e2e
