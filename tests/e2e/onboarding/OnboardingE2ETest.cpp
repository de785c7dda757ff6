// The whole application's first run on the private desktop: onboarding opens at its welcome step,
// is worked by keyboard alone through XTest, its shortcut test hears the real global shortcut, a
// flite sentence dictated into its practice field arrives with the paste confirmed and its timing,
// and "Done" is remembered across launches while `talvex --onboarding` still opens it.
#include "AccessibleTree.h"
#include "DictationHarness.h"
#include "WordErrorRate.h"

#include <QDBusMessage>
#include <QDBusReply>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <xkbcommon/xkbcommon-keysyms.h>

namespace talvex::e2e {
namespace {

using namespace std::chrono_literals;

const std::vector<std::uint32_t> ctrlShiftSpace{XKB_KEY_Control_L, XKB_KEY_Shift_L, XKB_KEY_space};
const QString sentence = QStringLiteral("The weather is nice today.");
const QString opening = QStringLiteral("Opening the onboarding window");

std::size_t count(TalvexProcess &talvex, const QString &prefix)
{
    std::size_t found = 0;
    for (const LogLine &line : talvex.lines())
        found += line.message.startsWith(prefix) ? 1 : 0;
    return found;
}

class OnboardingE2ETest : public ::testing::Test {
  protected:
    /// The user defaults of this test alone, marked as a first run or read as talvex left them.
    TalvexProcess::Options options(TalvexProcess::Options::Setup setup) const
    {
        TalvexProcess::Options made;
        made.environment << QStringLiteral("XDG_CONFIG_HOME=") + m_config.path();
        made.setup = setup;
        return made;
    }

    QString defaultsFile() const
    {
        return QDir(m_config.path()).filePath(QStringLiteral("Talvex/Talvex.conf"));
    }

    /// The first showing element of talvex's windows that `wanted` accepts, waited for.
    std::optional<AccessibleElement> showing(TalvexProcess &talvex,
                                             const std::function<bool(const AccessibleElement &)> &wanted,
                                             std::chrono::milliseconds timeout = 20s)
    {
        std::optional<AccessibleElement> found;
        waitFor(
            [&] {
                for (const AccessibleElement &application : tree.applications(talvex.pid())) {
                    found = tree.find(
                        application,
                        [&](const AccessibleElement &element) {
                            return tree.isShowing(element) && wanted(element);
                        },
                        16);
                    if (found)
                        return true;
                }
                return false;
            },
            timeout, 100ms);
        return found;
    }

    std::optional<AccessibleElement> named(TalvexProcess &talvex, const QString &name,
                                           std::chrono::milliseconds timeout = 20s)
    {
        return showing(
            talvex, [&](const AccessibleElement &element) { return tree.name(element) == name; }, timeout);
    }

    /// Waits until the status row `title` reads `detail`, as a screen reader hears it.
    bool rowReads(TalvexProcess &talvex, const QString &title, const QString &detail,
                  std::chrono::milliseconds timeout = 20s)
    {
        return waitFor(
            [&] {
                const auto row = named(talvex, title, 1s);
                return row && tree.description(*row) == detail;
            },
            timeout, 100ms);
    }

    QString rowDetail(TalvexProcess &talvex, const QString &title)
    {
        const auto row = named(talvex, title);
        return row ? tree.description(*row) : QStringLiteral("(no row named %1)").arg(title);
    }

    /// The text of an editable element over AT-SPI.
    static std::optional<QString> text(const AccessibleElement &element)
    {
        QDBusMessage ask =
            QDBusMessage::createMethodCall(QStringLiteral("org.a11y.Bus"), QStringLiteral("/org/a11y/bus"),
                                           QStringLiteral("org.a11y.Bus"), QStringLiteral("GetAddress"));
        const QDBusReply<QString> address = QDBusConnection::sessionBus().call(ask);
        if (!address.isValid())
            return std::nullopt;
        QDBusConnection bus =
            QDBusConnection::connectToBus(address.value(), QStringLiteral("talvex-e2e-text"));
        QDBusMessage call =
            QDBusMessage::createMethodCall(element.busName, element.objectPath,
                                           QStringLiteral("org.a11y.atspi.Text"), QStringLiteral("GetText"));
        call << 0 << -1;
        const QDBusReply<QString> reply = bus.call(call, QDBus::Block, 2000);
        return reply.isValid() ? std::optional(reply.value()) : std::nullopt;
    }

    void tap(std::initializer_list<std::uint32_t> chord)
    {
        for (const std::uint32_t key : chord)
            keys.press(key);
        for (auto key = std::rbegin(chord); key != std::rend(chord); ++key)
            keys.release(*key);
    }

    AccessibleTree tree;
    XTestKeyboard keys;

    QTemporaryDir m_config{QDir(qEnvironmentVariable("TALVEX_TEST_TMP", QDir::tempPath()))
                               .filePath(QStringLiteral("talvex-config-XXXXXX"))};
};

TEST_F(OnboardingE2ETest, FirstRunWalksTheStepsByKeyboardPracticesAndIsRememberedOnceDone)
{
    ASSERT_TRUE(tree.isConnected());
    ASSERT_TRUE(keys.isReady());
    const auto wav = speechFile(sentence);
    ASSERT_TRUE(wav) << "flite could not speak the sentence";
    QString error;
    TalvexProcess talvex;
    ASSERT_TRUE(talvex.start(options(TalvexProcess::Options::Setup::firstRun), &error))
        << error.toStdString();
    ASSERT_TRUE(talvex.waitForLine(QStringLiteral("app"), opening, 0));
    ASSERT_TRUE(named(talvex, QStringLiteral("Welcome to Talvex"))) << talvex.log().toStdString();

    // By keyboard alone: on each step the way on has the focus, Space presses it.
    tap({XKB_KEY_space});
    EXPECT_TRUE(waitFor(
        [&] {
            return rowDetail(talvex, QStringLiteral("Microphone"))
                .startsWith(QStringLiteral("Allowed · Recording from "));
        },
        20s, 100ms))
        << rowDetail(talvex, QStringLiteral("Microphone")).toStdString();
    tap({XKB_KEY_space});
    ASSERT_TRUE(
        rowReads(talvex, QStringLiteral("Shortcut test"), QStringLiteral("Waiting for your shortcut")));

    // The real global shortcut, pressed while the step shows: counted, and nothing dictates.
    const std::size_t beforePress = talvex.lines().size();
    for (const std::uint32_t key : ctrlShiftSpace)
        keys.press(key);
    EXPECT_TRUE(rowReads(talvex, QStringLiteral("Shortcut test"), QStringLiteral("Pressed")));
    for (auto key = ctrlShiftSpace.rbegin(); key != ctrlShiftSpace.rend(); ++key)
        keys.release(*key);
    EXPECT_TRUE(
        rowReads(talvex, QStringLiteral("Shortcut test"), QStringLiteral("Press and release detected")));
    // Back (Alt+B) and on again: that press no longer counts.
    tap({XKB_KEY_Alt_L, XKB_KEY_b});
    ASSERT_TRUE(named(talvex, QStringLiteral("Microphone")));
    tap({XKB_KEY_space});
    EXPECT_TRUE(
        rowReads(talvex, QStringLiteral("Shortcut test"), QStringLiteral("Waiting for your shortcut")));
    for (std::size_t i = beforePress; i < talvex.lines().size(); ++i)
        EXPECT_FALSE(talvex.lines()[i].message.startsWith(QStringLiteral("Phase preparing")))
            << "a press on the shortcut step started a dictation";

    // Practice: the step starts in its field; hold the shortcut and speak.
    tap({XKB_KEY_space});
    const auto field = named(talvex, QStringLiteral("Practice text field"));
    ASSERT_TRUE(field);
    const auto stop = dictate(talvex, keys, ctrlShiftSpace, Gesture::hold, *wav, &error);
    ASSERT_TRUE(stop) << error.toStdString();
    EXPECT_TRUE(rowReads(talvex, QStringLiteral("This test"), QStringLiteral("Paste confirmed"), 60s))
        << rowDetail(talvex, QStringLiteral("This test")).toStdString() << "\n"
        << talvex.log().toStdString();
    const std::optional<QString> typed = text(*field);
    ASSERT_TRUE(typed);
    EXPECT_LE(test::wordErrorRate(sentence, *typed), 0.25) << "heard: " << typed->toStdString();
    const auto timing = showing(talvex, [&](const AccessibleElement &element) {
        return tree.name(element).startsWith(QStringLiteral("This dictation: "));
    });
    ASSERT_TRUE(timing) << "no timing line";
    const auto logged =
        talvex.waitForLine(QStringLiteral("delivery"), QStringLiteral("Dictation timing"), stop->firstLine);
    ASSERT_TRUE(logged);
    EXPECT_TRUE(logged->message.endsWith(QStringLiteral("(practice field)")));
    std::cout << "[ figures  ] " << tree.name(*timing).toStdString() << std::endl;

    // Done (Alt+D) remembers that setup is complete and closes the window.
    tap({XKB_KEY_Alt_L, XKB_KEY_d});
    ASSERT_TRUE(talvex.waitForLine(QStringLiteral("app"), QStringLiteral("Onboarding done"), 0));
    EXPECT_TRUE(waitFor([&] { return !named(talvex, QStringLiteral("Practice text field"), 200ms); }, 10s));
    QFile stored(defaultsFile());
    ASSERT_TRUE(stored.open(QIODevice::ReadOnly)) << defaultsFile().toStdString();
    EXPECT_TRUE(stored.readAll().contains("didCompleteTalvexSetup=true"));
    ASSERT_TRUE(talvex.stop());

    // The next launch opens nothing by itself (onboarding would open before speech is ready) ...
    TalvexProcess again;
    ASSERT_TRUE(again.start(options(TalvexProcess::Options::Setup::asStored), &error)) << error.toStdString();
    EXPECT_EQ(count(again, opening), 0u) << again.log().toStdString();

    // ... but asking for it opens it at the shortcut step.
    QProcess reopen;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), m_config.path());
    reopen.setProcessEnvironment(environment);
    reopen.start(QStringLiteral(TALVEX_EXECUTABLE), {QStringLiteral("--onboarding")});
    ASSERT_TRUE(waitFor([&] { return reopen.state() == QProcess::NotRunning; }, 20s));
    EXPECT_EQ(reopen.exitCode(), 0) << reopen.readAll().toStdString();
    ASSERT_TRUE(again.waitForLine(QStringLiteral("app"), opening, 0));
    EXPECT_TRUE(rowReads(again, QStringLiteral("Shortcut test"), QStringLiteral("Waiting for your shortcut")))
        << again.log().toStdString();
}

} // namespace
} // namespace talvex::e2e
