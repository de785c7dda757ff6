#include "MenuCommands.h"

#include "ControllerHarness.h"
#include "UpdaterDouble.h"

#include <QSignalSpy>
#include <gtest/gtest.h>

namespace talvex::test {
namespace {

/// The menu over a real controller whose services are scripted, with every outside action recorded.
class MenuCommandsTest : public ::testing::Test {
  protected:
    MenuCommandsTest()
    {
        harness.make();
        MenuActions actions;
        actions.openOnboarding = [this] { calls << QStringLiteral("onboarding"); };
        actions.openAbout = [this] { calls << QStringLiteral("about"); };
        actions.openSettings = [this] { calls << QStringLiteral("settings"); };
        actions.quit = [this] { calls << QStringLiteral("quit"); };
        actions.openUrl = [this](const QUrl &url) { calls << url.toString(); };
        menu = std::make_unique<MenuCommands>(harness.controller(), harness.clipboard, actions);
        menu->setLinks(
            {QUrl(QStringLiteral("https://help.test/")), QUrl(QStringLiteral("https://feedback.test/"))});
        menu->setUpdateChecks(UpdateChecks::over(&updater));
    }

    /// A dictation whose target loses focus before the paste: the text stays on the clipboard.
    void dictateWithoutPaste(const QString &words)
    {
        harness.speak(words);
        ASSERT_TRUE(harness.startRecording());
        TargetProgram other;
        other.app.pid = 5151;
        other.app.name = QStringLiteral("Other");
        harness.focusTarget(other);
        ASSERT_TRUE(harness.finishRecording());
    }

    ControllerHarness harness;
    UpdaterDouble updater;
    QStringList calls;
    std::unique_ptr<MenuCommands> menu;
};

TEST_F(MenuCommandsTest, ReadsTheControllersState)
{
    MenuState state = menu->state();
    EXPECT_EQ(state.phase, Phase::idle);
    EXPECT_EQ(state.shortcutLabel, QStringLiteral("Ctrl+Shift+Space"));
    EXPECT_TRUE(state.shortcutReady);
    EXPECT_TRUE(state.accessibilityReady);
    EXPECT_TRUE(state.canCheckForUpdates);
    EXPECT_FALSE(state.hasRecentTranscript);
    EXPECT_FALSE(state.message);
    EXPECT_EQ(menu->icon(), TrayIconKind::ready);

    ASSERT_TRUE(harness.startRecording());
    EXPECT_EQ(menu->state().phase, Phase::recording);
    EXPECT_EQ(menu->icon(), TrayIconKind::recording);
    ASSERT_TRUE(harness.finishRecording());

    dictateWithoutPaste(QStringLiteral("kept on the clipboard"));
    state = menu->state();
    EXPECT_TRUE(state.pasteNeedsAttention);
    EXPECT_TRUE(state.hasRecentTranscript);
    EXPECT_EQ(state.message, harness.controller().message());
    EXPECT_TRUE(state.message);
    EXPECT_EQ(menu->icon(), TrayIconKind::attention);
}

TEST_F(MenuCommandsTest, AnnouncesEachNewStateOnce)
{
    QSignalSpy changed(menu.get(), &MenuCommands::changed);
    ASSERT_TRUE(harness.startRecording());
    // preparing, then recording; the live text and waveform that change meanwhile are not the menu's.
    EXPECT_EQ(changed.count(), 2);
    changed.clear();
    updater.canCheck = false;
    menu->updatesChanged();
    menu->updatesChanged();
    EXPECT_EQ(changed.count(), 1);
    EXPECT_FALSE(menu->state().canCheckForUpdates);
}

TEST_F(MenuCommandsTest, ButtonsCallTheirActionsAndTextRowsDoNothing)
{
    const std::vector<std::pair<MenuRowId, QStringList>> cases{
        {MenuRowId::onboarding, {QStringLiteral("onboarding")}},
        {MenuRowId::settings, {QStringLiteral("settings")}},
        {MenuRowId::about, {QStringLiteral("about")}},
        {MenuRowId::help, {QStringLiteral("https://help.test/")}},
        {MenuRowId::feedback, {QStringLiteral("https://feedback.test/")}},
        {MenuRowId::quit, {QStringLiteral("quit")}},
        {MenuRowId::shortcutHint, {}},
        {MenuRowId::topSeparator, {}},
        // Hidden now: nothing to cancel, no transcript, the paste did not fail, the shortcut is fine.
        {MenuRowId::cancelDictation, {}},
        {MenuRowId::copyLastTranscript, {}},
        {MenuRowId::enableAutomaticPaste, {}},
        {MenuRowId::chooseShortcut, {}},
    };
    for (const auto &[row, expected] : cases) {
        calls.clear();
        menu->trigger(row);
        EXPECT_EQ(calls, expected) << int(row);
    }
    EXPECT_EQ(updater.checks, 0);
    EXPECT_TRUE(harness.clipboard.contents.empty());
}

TEST_F(MenuCommandsTest, CheckForUpdatesAsksOnlyWhenIdleAndTheUpdaterCan)
{
    struct Case {
        bool canCheck;
        bool recording;
        int checks;
    };
    for (const Case c : {Case{true, false, 1}, Case{false, false, 0}, Case{true, true, 0}}) {
        updater.canCheck = c.canCheck;
        updater.checks = 0;
        menu->updatesChanged();
        if (c.recording) {
            ASSERT_TRUE(harness.startRecording());
        }
        menu->trigger(MenuRowId::checkForUpdates);
        EXPECT_EQ(updater.checks, c.checks) << c.canCheck << c.recording;
        if (c.recording) {
            ASSERT_TRUE(harness.finishRecording());
        }
    }
    // A build without an updater: the row stays disabled.
    menu->setUpdateChecks({});
    EXPECT_FALSE(menu->state().canCheckForUpdates);
}

TEST_F(MenuCommandsTest, CancelEndsTheDictationWithoutATranscript)
{
    ASSERT_TRUE(harness.startRecording());
    menu->trigger(MenuRowId::cancelDictation);
    EXPECT_TRUE(harness.settle([&] { return harness.controller().phase() == Phase::idle; }));
    EXPECT_FALSE(harness.controller().latest());
    EXPECT_FALSE(menu->state().hasRecentTranscript);
}

TEST_F(MenuCommandsTest, CopyLastTranscriptPutsOnlyItsPlainTextOnTheClipboard)
{
    dictateWithoutPaste(QStringLiteral("the words to copy"));
    const Transcript latest = *harness.controller().latest();
    harness.clipboard.externalWrite({{{QStringLiteral("text/html"), QByteArrayLiteral("<b>other</b>")},
                                      {QStringLiteral("text/plain"), QByteArrayLiteral("other")}}});
    menu->trigger(MenuRowId::copyLastTranscript);
    ASSERT_EQ(harness.clipboard.contents.size(), 1u);
    EXPECT_EQ(harness.clipboard.text(), latest.text);
    for (const auto &[type, data] : harness.clipboard.contents.front())
        EXPECT_TRUE(type.startsWith(QLatin1String("text/plain"))) << type.toStdString();
}

TEST_F(MenuCommandsTest, EnableAutomaticPasteAsksForAccessibility)
{
    harness.accessibility.trusted = false;
    harness.controller().refreshPermissions();
    dictateWithoutPaste(QStringLiteral("left on the clipboard"));
    ASSERT_TRUE(menu->state().pasteNeedsAttention);
    menu->trigger(MenuRowId::enableAutomaticPaste);
    EXPECT_EQ(harness.accessibility.trustRequests, 1);
}

} // namespace
} // namespace talvex::test
