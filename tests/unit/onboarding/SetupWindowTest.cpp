// The onboarding window over the real controller on the doubles: its steps and where each routes
// shortcut presses and dictations, finishing and closing, the practice field, the permission rows
// over the sound server, and the keyboard.
#include "SetupWindow.h"

#include "CaptureSourceWatchDouble.h"
#include "ControllerHarness.h"
#include "OnboardingSidebar.h"
#include "PermissionsPage.h"
#include "PracticePage.h"
#include "SettingsFixture.h"
#include "ShortcutPage.h"
#include "StatusRowView.h"
#include "TalvexOnboarding.h"
#include "WelcomePage.h"

#include <QAbstractButton>
#include <QApplication>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

namespace talvex::test {
namespace {

using Step = OnboardingStep;
using Phase = DictationController::Phase;

class SetupWindowTest : public ::testing::Test {
  protected:
    ~SetupWindowTest() override
    {
        setup.reset();
        h.drain();
    }

    /// Makes the controller and the window's owner, then opens the window in front.
    TalvexOnboarding &open()
    {
        if (!made) {
            h.make();
            made = true;
        }
        if (!setup)
            setup = std::make_unique<SetupWindow>(services());
        setup->show(h.controller());
        QApplication::setActiveWindow(window());
        h.drain();
        return *window();
    }

    OnboardingServices services()
    {
        OnboardingServices given;
        given.keys = &keyboard.translator;
        given.captureSources = &sources;
        given.clock = &h.clock;
        given.defaults = &defaults;
        given.desktop = QStringLiteral("KDE");
        return given;
    }

    TalvexOnboarding *window() const { return setup ? setup->window() : nullptr; }

    /// The visible button whose text, without its mnemonic, is `text`.
    QAbstractButton *button(const QString &text) const
    {
        for (QAbstractButton *candidate : window()->findChildren<QAbstractButton *>())
            if (QString(candidate->text()).remove(QLatin1Char('&')) == text &&
                candidate->isVisibleTo(window()))
                return candidate;
        return nullptr;
    }

    void click(const QString &text)
    {
        QAbstractButton *found = button(text);
        ASSERT_TRUE(found) << text.toStdString();
        found->click();
    }

    bool done() const { return defaults.value(QStringLiteral("didCompleteTalvexSetup")).toBool(); }

    ControllerHarness h;
    TestKeyboard keyboard;
    CaptureSourceWatchDouble sources;
    QTemporaryDir folder;
    QSettings defaults{folder.filePath(QStringLiteral("Talvex.conf")), QSettings::IniFormat};
    std::unique_ptr<SetupWindow> setup;
    bool made = false;
};

TEST_F(SetupWindowTest, OpensAtWelcomeOnFirstRunAndAtTheShortcutStepOnceSetupIsDone)
{
    struct Case {
        std::optional<bool> completed;
        Step first;
    };
    for (const Case &c :
         std::vector<Case>{{std::nullopt, Step::welcome}, {false, Step::welcome}, {true, Step::shortcut}}) {
        defaults.remove(QStringLiteral("didCompleteTalvexSetup"));
        if (c.completed)
            defaults.setValue(QStringLiteral("didCompleteTalvexSetup"), *c.completed);
        TalvexOnboarding &shown = open();
        EXPECT_EQ(shown.step(), c.first);
        EXPECT_EQ(shown.windowTitle(), QStringLiteral("Talvex Onboarding"));
        EXPECT_EQ(shown.size(), QSize(680, 450));
        EXPECT_TRUE(shown.isVisible());
        EXPECT_EQ(h.controller().shortcutProbeWindow(), c.first == Step::shortcut ? &shown : nullptr)
            << "the first step is selected as soon as the window shows";
        shown.close();
        h.drain();
        EXPECT_FALSE(window());
    }
}

TEST_F(SetupWindowTest, EachStepRoutesShortcutTestsAndDictationsAndDoneFinishesSetup)
{
    TalvexOnboarding &shown = open();
    // Permissions are read again whenever the window opens.
    h.accessibility.trusted = false;
    struct Expect {
        Step step;
        QString title;
        QString forward;
        bool back;
    };
    const std::vector<Expect> walk{
        {Step::welcome, QStringLiteral("Welcome to Talvex"), QStringLiteral("Get Started"), false},
        {Step::access, QStringLiteral("Permissions"), QStringLiteral("Continue"), true},
        {Step::shortcut, QStringLiteral("Keyboard shortcut"), QStringLiteral("Continue"), true},
        {Step::practice, QStringLiteral("Practice dictation"), QStringLiteral("Done"), true},
    };
    for (const Expect &e : walk) {
        SCOPED_TRACE(e.title.toStdString());
        EXPECT_EQ(shown.step(), e.step);
        EXPECT_EQ(shown.findChild<OnboardingSidebar *>()->current(), e.step);
        EXPECT_EQ(OnboardingTexts::title(shown.step()), e.title);
        EXPECT_EQ(bool(button(QStringLiteral("Back"))), e.back);
        EXPECT_EQ(h.controller().shortcutProbeWindow(), e.step == Step::shortcut ? &shown : nullptr);
        EXPECT_EQ(h.controller().practiceWindow(), e.step == Step::practice ? &shown : nullptr);
        if (e.step == Step::access) {
            EXPECT_FALSE(h.controller().accessibilityReady()) << "the permissions step reads them again";
        }
        if (e.step != Step::practice)
            click(e.forward);
    }
    for (const Step back : {Step::shortcut, Step::access, Step::welcome}) {
        click(QStringLiteral("Back"));
        EXPECT_EQ(shown.step(), back);
    }
    EXPECT_FALSE(done());

    // Closing with the close button finishes nothing; a new window starts afresh.
    shown.setStep(Step::practice);
    shown.practicePage().field().setPlainText(QStringLiteral("typed earlier"));
    shown.close();
    h.drain();
    EXPECT_FALSE(done());
    EXPECT_EQ(h.controller().practiceWindow(), nullptr);
    TalvexOnboarding &again = open();
    EXPECT_EQ(again.step(), Step::welcome);
    EXPECT_TRUE(again.practiceText().isEmpty());

    again.setStep(Step::practice);
    click(QStringLiteral("Done"));
    h.drain();
    EXPECT_TRUE(done());
    EXPECT_FALSE(window());
    EXPECT_EQ(h.controller().practiceWindow(), nullptr);
    EXPECT_EQ(h.controller().shortcutProbeWindow(), nullptr);
    EXPECT_EQ(open().step(), Step::shortcut);
}

TEST_F(SetupWindowTest, ShowingTheOpenWindowAgainKeepsItsStepAndText)
{
    TalvexOnboarding &shown = open();
    shown.setStep(Step::practice);
    shown.practicePage().field().setPlainText(QStringLiteral("kept"));
    shown.showMinimized();
    EXPECT_EQ(&open(), &shown);
    EXPECT_FALSE(shown.isMinimized());
    EXPECT_EQ(shown.step(), Step::practice);
    EXPECT_EQ(shown.practiceText(), QStringLiteral("kept"));
}

TEST_F(SetupWindowTest, ShortcutTestTurnsReadyOnlyForPressesSinceTheStepOrTheLastShortcutChange)
{
    TalvexOnboarding &shown = open();
    shown.setStep(Step::shortcut);
    const StatusRowView &row = shown.shortcutPage().testRow();
    auto detail = [&] { return row.row().detail; };
    EXPECT_EQ(detail(), QStringLiteral("Waiting for your shortcut"));

    h.press(1.0);
    EXPECT_EQ(detail(), QStringLiteral("Pressed"));
    EXPECT_TRUE(row.row().ready);
    h.release(1.2);
    EXPECT_EQ(detail(), QStringLiteral("Press and release detected"));
    EXPECT_EQ(h.controller().phase(), Phase::idle) << "presses on this step start nothing";

    // Leaving and coming back: earlier presses no longer count.
    click(QStringLiteral("Back"));
    click(QStringLiteral("Continue"));
    EXPECT_EQ(detail(), QStringLiteral("Waiting for your shortcut"));
    h.press(2.0);
    h.release(2.2);
    EXPECT_TRUE(row.row().ready);

    // A new shortcut has to be tried anew.
    ASSERT_TRUE(h.controller().saveRecordedShortcut(Shortcut(2, 0x1800, QStringLiteral("D"))));
    EXPECT_EQ(detail(), QStringLiteral("Waiting for your shortcut"));
    EXPECT_EQ(shown.startingPresses(), h.controller().shortcutPresses());

    // Not registered (another program took the key meanwhile): the warning with its retry.
    EXPECT_FALSE(shown.shortcutPage().warningShown());
    h.controller().beginShortcutRecording(); // lets the key go, as recording does
    h.hotKeys.refuseNext = true;
    h.controller().retryShortcut();
    EXPECT_TRUE(shown.shortcutPage().warningShown());
    click(QStringLiteral("Retry Shortcut"));
    EXPECT_FALSE(shown.shortcutPage().warningShown());
}

TEST_F(SetupWindowTest, ClosingDuringAPracticeDictationCancelsItButNotADictationIntoAnotherApp)
{
    for (const bool practice : {true, false}) {
        SCOPED_TRACE(practice ? "practice" : "another app");
        h.clipboard.mirrorToQt = true;
        h.pasteLands();
        TalvexOnboarding &shown = open();
        shown.setStep(Step::practice);
        QWidget elsewhere; // stands for the other application's window being active
        if (practice) {
            shown.practicePage().field().setFocus();
        } else {
            elsewhere.show();
            QApplication::setActiveWindow(&elsewhere);
        }
        ASSERT_TRUE(h.startRecording(practice ? 1.0 : 10.0));
        ASSERT_EQ(h.controller().phase(), Phase::recording)
            << h.controller().message().value_or(QString()).toStdString();
        EXPECT_EQ(h.controller().isDictatingInto(&shown), practice);

        shown.close();
        if (practice) {
            EXPECT_EQ(h.controller().phase(), Phase::idle);
            h.release(1.5);
            h.drain();
            EXPECT_EQ(h.controller().phase(), Phase::idle);
            EXPECT_TRUE(h.controller().library().history.isEmpty());
            EXPECT_FALSE(h.controller().lastPracticePasteStatus());
        } else {
            EXPECT_EQ(h.controller().phase(), Phase::recording);
            ASSERT_TRUE(h.finishRecording(11.0));
            EXPECT_EQ(h.controller().lastPasteStatus(), QStringLiteral("Text Editor: Paste confirmed"));
        }
        h.drain();
    }
}

TEST_F(SetupWindowTest, PracticeStepPastesTheTestSentenceAndShowsWhereEachDictationsTimeWent)
{
    h.clipboard.mirrorToQt = true;
    h.pasteLands();
    h.speechDouble.configureAnalyzer = [this](AnalyzerDouble &analyzer) {
        analyzer.resultsAtFinalize = {SpeechResult{QStringLiteral("talvex is ready"), true}};
        analyzer.clock = &h.clock;
        analyzer.finalizeSeconds = 0.5;
    };
    TalvexOnboarding &shown = open();
    PracticePage &page = shown.practicePage();
    shown.setStep(Step::practice);
    EXPECT_TRUE(page.field().hasFocus()) << "the practice step starts in its field";
    EXPECT_EQ(page.testRow().row().detail, QStringLiteral("Waiting for dictation"));
    EXPECT_TRUE(page.timingLines().isEmpty());
    EXPECT_TRUE(page.lastPasteLine().isEmpty());

    // Test Paste focuses the field, then waits a moment before pasting.
    page.testPasteButton().setFocus();
    page.testPasteButton().click();
    EXPECT_TRUE(page.field().hasFocus());
    EXPECT_FALSE(h.controller().testingPracticePaste());
    h.clock.advance(0.1);
    EXPECT_TRUE(h.controller().testingPracticePaste());
    EXPECT_FALSE(page.testPasteButton().isEnabled());
    EXPECT_EQ(page.testRow().row().detail, QStringLiteral("Testing paste…"));
    ASSERT_TRUE(h.settle([&] { return !h.controller().testingPracticePaste(); }, true));
    EXPECT_EQ(shown.practiceText(), QStringLiteral("Talvex paste test."));
    EXPECT_EQ(page.testRow().row(), (OnboardingTexts::StatusRow{QStringLiteral("This test"),
                                                                QStringLiteral("Paste confirmed"), true}));
    EXPECT_TRUE(page.timingLines().isEmpty()) << "a paste test is not a dictation";
    click(QStringLiteral("Clear"));
    EXPECT_TRUE(shown.practiceText().isEmpty());

    // A dictation into the field, then one into another application.
    ASSERT_TRUE(h.startRecording(1.0));
    EXPECT_EQ(page.testRow().row().detail, QStringLiteral("Listening…"));
    EXPECT_FALSE(page.testPasteButton().isEnabled());
    ASSERT_TRUE(h.finishRecording(2.0));
    EXPECT_EQ(shown.practiceText(), QStringLiteral("talvex is ready"));
    ASSERT_EQ(page.timingLines().size(), 1);
    EXPECT_TRUE(page.timingLines()[0].startsWith(QStringLiteral("This dictation: ")));
    EXPECT_TRUE(page.timingLines()[0].contains(QStringLiteral("recognition 0.50 s, no rewrite")))
        << page.timingLines()[0].toStdString();

    QWidget elsewhere;
    elsewhere.show();
    QApplication::setActiveWindow(&elsewhere);
    ASSERT_TRUE(h.startRecording(10.0));
    ASSERT_TRUE(h.finishRecording(11.0));
    EXPECT_EQ(page.lastPasteLine(),
              QStringLiteral("Last paste in another app: Text Editor: Paste confirmed"));
    ASSERT_EQ(page.timingLines().size(), 2);
    EXPECT_TRUE(page.timingLines()[1].startsWith(QStringLiteral("Last dictation in another app: ")));
    EXPECT_EQ(shown.practiceText(), QStringLiteral("talvex is ready")) << "the field keeps its own text";
}

TEST_F(SetupWindowTest, PermissionRowsFollowTheSoundServerAndSayWhatToCheckWithoutASettingsPage)
{
    h.accessibility.trusted = false;
    h.workspace.settingsOpen = false;
    TalvexOnboarding &shown = open();
    shown.setStep(Step::access);
    PermissionsPage &page = shown.permissionsPage();
    EXPECT_EQ(sources.watches, 1);

    sources.announce(CaptureSource{CaptureSource::Server::reachable, QStringLiteral("USB Headset Mono")});
    EXPECT_EQ(page.microphoneRow().row().detail, QStringLiteral("Allowed · Recording from USB Headset Mono"));
    EXPECT_FALSE(button(QStringLiteral("Allow Microphone")));

    // The server goes away: the row says so at once, and the flag is read again.
    h.firstEngine()->status = MicrophoneAuthorization::restricted;
    sources.announce(CaptureSource{CaptureSource::Server::unreachable, {}});
    EXPECT_FALSE(h.controller().microphoneReady());
    EXPECT_EQ(page.microphoneRow().row().detail, OnboardingTexts::noSoundServer());
    EXPECT_TRUE(button(QStringLiteral("Allow Microphone")));

    // No settings page on this desktop and the request does not help: say what to check.
    EXPECT_TRUE(page.settingsHint().isEmpty());
    click(QStringLiteral("Open Settings"));
    EXPECT_EQ(h.accessibility.trustRequests, 1);
    EXPECT_EQ(page.settingsHint(), OnboardingTexts::settingsUnavailable(true, true));

    // Where the request turns the accessibility bus on, the row turns ready at once.
    h.accessibility.grantOnRequest = true;
    click(QStringLiteral("Open Settings"));
    EXPECT_TRUE(page.pasteRow().row().ready);
    EXPECT_FALSE(button(QStringLiteral("Open Settings")));
    EXPECT_EQ(page.settingsHint(), OnboardingTexts::settingsUnavailable(true, false));

    h.firstEngine()->status = MicrophoneAuthorization::authorized;
    sources.announce(CaptureSource{CaptureSource::Server::reachable, QStringLiteral("USB Headset Mono")});
    EXPECT_TRUE(page.microphoneRow().row().ready);
    EXPECT_TRUE(page.settingsHint().isEmpty()) << "nothing left to check";

    shown.close();
    h.drain();
    EXPECT_EQ(sources.stops, 1);
    EXPECT_FALSE(sources.isWatching());
}

TEST_F(SetupWindowTest, WelcomeStepSaysHowToReachTalvexWhenNoTrayShowsTheIcon)
{
    auto hintShown = [this] {
        for (const QFrame *box : window()->welcomePage().findChildren<QFrame *>())
            if (box->accessibleName() == QStringLiteral("No system tray"))
                return box->isVisibleTo(window());
        return false;
    };
    open();
    EXPECT_FALSE(hintShown());
    setup->setTrayPresence(TrayPresence::missing);
    EXPECT_TRUE(hintShown());
    setup->setTrayPresence(TrayPresence::shown);
    EXPECT_FALSE(hintShown());
    setup->setTrayPresence(TrayPresence::missing);
    window()->close();
    h.drain();
    open();
    EXPECT_TRUE(hintShown()) << "a window opened later knows it too";
}

TEST_F(SetupWindowTest, EveryControlIsNamedAndReachableByKeyboard)
{
    TalvexOnboarding &shown = open();
    for (const Step step : {Step::welcome, Step::access, Step::shortcut, Step::practice}) {
        shown.setStep(step);
        for (QWidget *control : shown.findChildren<QWidget *>()) {
            if (!control->isVisibleTo(&shown))
                continue;
            if (auto *pressable = qobject_cast<QAbstractButton *>(control)) {
                EXPECT_FALSE(pressable->text().isEmpty() && pressable->accessibleName().isEmpty());
                EXPECT_TRUE(pressable->focusPolicy() & Qt::TabFocus) << pressable->text().toStdString();
            }
        }
    }
    EXPECT_EQ(shown.practicePage().field().accessibleName(), QStringLiteral("Practice text field"));
    // Tab walks out of the practice field rather than typing a tab into it.
    shown.practicePage().field().setFocus();
    QTest::keyClick(&shown.practicePage().field(), Qt::Key_Tab);
    EXPECT_FALSE(shown.practicePage().field().hasFocus());
    EXPECT_TRUE(shown.practiceText().isEmpty());
    // Escape closes the window, as its close button does.
    QTest::keyClick(&shown, Qt::Key_Escape);
    h.drain();
    EXPECT_FALSE(window());
    EXPECT_FALSE(done());
}

} // namespace
} // namespace talvex::test
