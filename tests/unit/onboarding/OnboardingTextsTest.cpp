// What the onboarding's rows say for each state of the controller, the sound server and the tray.
#include "OnboardingTexts.h"

#include <gtest/gtest.h>

inline void PrintTo(const QString &text, std::ostream *os)
{
    *os << '"' << text.toStdString() << '"';
}

namespace talvex::test {
namespace {

using Phase = DictationController::Phase;
using OnboardingTexts::StatusRow;

TEST(OnboardingTextsTest, PracticeRowShowsThePasteTestThenThePhaseThenTheLastOutcome)
{
    const QString confirmed = QStringLiteral("Paste confirmed");
    const QString focusMoved = QStringLiteral("Focus moved before paste");
    struct Case {
        bool testing;
        Phase phase;
        std::optional<QString> last;
        QString detail;
        bool ready;
    };
    const std::vector<Case> cases{
        {false, Phase::idle, std::nullopt, QStringLiteral("Waiting for dictation"), false},
        {false, Phase::idle, confirmed, confirmed, true},
        {false, Phase::idle, focusMoved, focusMoved, false},
        {true, Phase::idle, confirmed, QStringLiteral("Testing paste…"), true},
        {false, Phase::preparing, confirmed, QStringLiteral("Getting the microphone ready…"), true},
        {false, Phase::recording, std::nullopt, QStringLiteral("Listening…"), false},
        {false, Phase::transcribing, focusMoved, QStringLiteral("Transcribing…"), false},
        {false, Phase::refining, std::nullopt, QStringLiteral("Polishing with the local model…"), false},
    };
    for (const Case &c : cases) {
        const StatusRow row = OnboardingTexts::practiceTest(c.testing, c.phase, c.last);
        EXPECT_EQ(row, (StatusRow{QStringLiteral("This test"), c.detail, c.ready})) << c.detail.toStdString();
    }
}

TEST(OnboardingTextsTest, ShortcutTestCountsOnlyPressesAfterItsStart)
{
    struct Case {
        qint64 presses, starting;
        bool pressed;
        QString detail;
        bool ready;
    };
    const std::vector<Case> cases{
        {4, 4, false, QStringLiteral("Waiting for your shortcut"), false},
        {4, 4, true, QStringLiteral("Pressed"), false}, // held since before the step: not a new press
        {5, 4, true, QStringLiteral("Pressed"), true},
        {5, 4, false, QStringLiteral("Press and release detected"), true},
        {3, 4, false, QStringLiteral("Waiting for your shortcut"), false},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(OnboardingTexts::shortcutTest(c.presses, c.starting, c.pressed),
                  (StatusRow{QStringLiteral("Shortcut test"), c.detail, c.ready}))
            << c.presses << "/" << c.starting << "/" << c.pressed;
    }
}

TEST(OnboardingTextsTest, MicrophoneRowNamesTheSourceAndSaysWhenNoSoundServerAnswers)
{
    using Server = CaptureSource::Server;
    const QString noServer = QStringLiteral(
        "Talvex couldn’t reach the sound server. Start PulseAudio or PipeWire, then try again.");
    struct Case {
        bool ready;
        CaptureSource source;
        QString detail;
        bool rowReady;
    };
    const std::vector<Case> cases{
        {true,
         {Server::reachable, QStringLiteral("USB Headset Mono")},
         QStringLiteral("Allowed · Recording from USB Headset Mono"),
         true},
        {true, {Server::unknown, {}}, QStringLiteral("Allowed"), true},
        {true, {Server::reachable, {}}, QStringLiteral("Allowed"), true},
        {false,
         {Server::reachable, QStringLiteral("USB Headset Mono")},
         QStringLiteral("Permission required"),
         false},
        {false, {Server::unknown, {}}, QStringLiteral("Permission required"), false},
        // The server went away before the flag was refreshed: the row follows the server.
        {true, {Server::unreachable, {}}, noServer, false},
        {false, {Server::unreachable, {}}, noServer, false},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(OnboardingTexts::microphone(c.ready, c.source),
                  (StatusRow{QStringLiteral("Microphone"), c.detail, c.rowReady}))
            << c.detail.toStdString();
    }
}

TEST(OnboardingTextsTest, SpeechRowIsReadyOnlyForTheReadyText)
{
    for (const QString &status :
         {QStringLiteral("Checking model…"), QStringLiteral("Preparing model…"), QStringLiteral("Ready"),
          QStringLiteral("Ready on this computer."),
          QStringLiteral("On-device speech recognition is unavailable on this computer.")})
        EXPECT_FALSE(OnboardingTexts::speech(status).ready) << status.toStdString();
    EXPECT_EQ(
        OnboardingTexts::speech(QStringLiteral("Ready on this computer")),
        (StatusRow{QStringLiteral("Speech recognition"), QStringLiteral("Ready on this computer"), true}));
}

TEST(OnboardingTextsTest, TrayHintSaysHowToReachTalvexAndWhereATrayComesFrom)
{
    struct Case {
        TrayPresence tray;
        QString desktop;
        bool bindToggle;
        std::vector<QString> contains; ///< empty: no hint at all
    };
    const QString again = QStringLiteral("run “talvex” again to open this window");
    const std::vector<Case> cases{
        {TrayPresence::unknown, QStringLiteral("GNOME"), false, {}},
        {TrayPresence::shown, QStringLiteral("GNOME"), false, {}},
        {TrayPresence::missing,
         QStringLiteral("ubuntu:GNOME"),
         false,
         {QStringLiteral("dictate with Ctrl+Alt"), again,
          QStringLiteral("gnome-shell-extension-appindicator")}},
        {TrayPresence::missing,
         QStringLiteral("GNOME"),
         true,
         {QStringLiteral("bind the command “talvex toggle”"), again, QStringLiteral("AppIndicator")}},
        {TrayPresence::missing, QStringLiteral("KDE"), false, {QStringLiteral("System Tray widget")}},
        {TrayPresence::missing, QStringLiteral("XFCE"), false, {QStringLiteral("Status Tray plugin")}},
        {TrayPresence::missing, QStringLiteral("sway"), false, {QStringLiteral("waybar")}},
        {TrayPresence::missing, QString(), false, {again, QStringLiteral("trayer")}},
    };
    for (const Case &c : cases) {
        const auto hint =
            OnboardingTexts::trayHint(c.tray, c.desktop, c.bindToggle, QStringLiteral("Ctrl+Alt"));
        SCOPED_TRACE(c.desktop.toStdString() + (c.bindToggle ? " bind" : ""));
        ASSERT_EQ(hint.has_value(), !c.contains.empty());
        for (const QString &part : c.contains)
            EXPECT_TRUE(hint->contains(part)) << hint->toStdString();
        if (hint && c.bindToggle) {
            EXPECT_FALSE(hint->contains(QStringLiteral("Ctrl+Alt"))) << "the shortcut does not reach there";
        }
    }
}

TEST(OnboardingTextsTest, SettingsHintNamesOnlyWhatIsMissing)
{
    const QString bus = QStringLiteral("accessibility bus");
    const QString sound = QStringLiteral("PulseAudio or PipeWire");
    struct Case {
        bool microphoneMissing, pasteMissing, namesBus, namesSound;
    };
    for (const Case &c : std::vector<Case>{
             {true, false, false, true}, {false, true, true, false}, {true, true, true, true}}) {
        const QString hint = OnboardingTexts::settingsUnavailable(c.microphoneMissing, c.pasteMissing);
        EXPECT_EQ(hint.contains(bus), c.namesBus) << hint.toStdString();
        EXPECT_EQ(hint.contains(sound), c.namesSound) << hint.toStdString();
        EXPECT_TRUE(hint.endsWith(QStringLiteral("then choose Check Permissions Again.")))
            << hint.toStdString();
    }
}

TEST(OnboardingTextsTest, TimingLinesSplitTheTotalIntoItsSegments)
{
    EXPECT_FALSE(OnboardingTexts::practiceTiming(std::nullopt));
    EXPECT_FALSE(OnboardingTexts::anotherAppTiming(std::nullopt));
    const DictationTiming verbatim = DictationTiming::between(10.0, 10.804, std::nullopt, 11.5);
    EXPECT_EQ(
        OnboardingTexts::practiceTiming(verbatim),
        QStringLiteral(
            "This dictation: 1.50 s from release to text (recognition 0.80 s, no rewrite, paste 0.70 s)"));
    const DictationTiming rewritten = DictationTiming::between(10.0, 10.9, 12.15, 12.8);
    EXPECT_EQ(
        OnboardingTexts::anotherAppTiming(rewritten),
        QStringLiteral("Last dictation in another app: 2.80 s from release to text (recognition 0.90 s, "
                       "rewrite 1.25 s, paste 0.65 s)"));
}

} // namespace
} // namespace talvex::test
