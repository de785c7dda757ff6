#include "TalvexDelegate.h"

#include "ControllerHarness.h"
#include "LoginItemsDouble.h"

#include <QSettings>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace talvex::test {
namespace {

using Window = TalvexDelegate::Window;

/// The delegate over the harness's scripted services, with the user defaults in a file of its own.
class TalvexDelegateTest : public ::testing::Test {
  protected:
    std::unique_ptr<TalvexDelegate> make(TalvexDelegate::Launch launch = {})
    {
        launch.defaults = &defaults;
        ControllerServices services;
        services.clock = &harness.clock;
        services.languageModel = &harness.model;
        services.speech = &harness.speech;
        services.makeAudioEngine = [] { return std::make_unique<AudioEngineDouble>(); };
        services.hotKeys = &harness.hotKeys;
        services.modifierWatcher = &harness.modifiers;
        services.delivery = DeliveryServices{&harness.workspace, &harness.accessibility, &harness.keyboard,
                                             &harness.clipboard, &harness.clock};
        services.prompts = &harness.prompts;
        services.libraryPath = harness.libraryPath();
        TalvexDelegate::ShellServices shell;
        shell.loginItems = &loginItems;
        return std::make_unique<TalvexDelegate>(services, shell, launch);
    }

    /// The windows opened once the event loop has run.
    static std::vector<Window> opened(QSignalSpy &spy)
    {
        QCoreApplication::processEvents();
        std::vector<Window> windows;
        for (const QList<QVariant> &signal : spy)
            windows.push_back(signal.at(0).value<Window>());
        return windows;
    }

    QTemporaryDir folder;
    QSettings defaults{folder.filePath(QStringLiteral("Talvex.conf")), QSettings::IniFormat};
    ControllerHarness harness;
    LoginItemsDouble loginItems;
};

TEST_F(TalvexDelegateTest, LaunchActivatesTheControllerAndOpensOnboardingOnFirstRunOrWhenAsked)
{
    struct Case {
        std::optional<bool> setupCompleted;
        bool onboardingArgument;
        bool settingsCommand;
        std::vector<Window> expected;
    };
    const std::vector<Case> cases{
        {std::nullopt, false, false, {Window::onboarding}},
        {false, false, false, {Window::onboarding}},
        {true, false, false, {}},
        {true, true, false, {Window::onboarding}},
        {true, false, true, {Window::settings}},
        {std::nullopt, false, true, {Window::onboarding, Window::settings}},
    };
    for (const Case &c : cases) {
        const std::string label = std::to_string(c.setupCompleted.value_or(-1)) + "/" +
                                  std::to_string(c.onboardingArgument) + "/" +
                                  std::to_string(c.settingsCommand);
        defaults.clear();
        if (c.setupCompleted)
            defaults.setValue(QStringLiteral("didCompleteTalvexSetup"), *c.setupCompleted);
        TalvexDelegate::Launch launch;
        launch.onboarding = c.onboardingArgument;
        launch.settings = c.settingsCommand;
        auto delegate = make(launch);
        QSignalSpy shown(delegate.get(), &TalvexDelegate::windowShown);
        EXPECT_TRUE(harness.hotKeys.live().empty()) << "nothing registers before launch";

        delegate->applicationDidFinishLaunching();
        EXPECT_EQ(shown.count(), 0) << "windows open on the next turn of the event loop, " << label;
        EXPECT_EQ(opened(shown), c.expected) << label;
        EXPECT_EQ(harness.hotKeys.live().size(), 1u) << "the shortcut is registered, " << label;
        EXPECT_TRUE(delegate->controller().shortcutReady()) << label;
        delegate.reset();
        harness.drain();
    }
}

TEST_F(TalvexDelegateTest, ALaunchWhileRunningShowsOnboarding)
{
    defaults.setValue(QStringLiteral("didCompleteTalvexSetup"), true);
    auto delegate = make();
    delegate->applicationDidFinishLaunching();
    QSignalSpy shown(delegate.get(), &TalvexDelegate::windowShown);
    EXPECT_TRUE(delegate->applicationShouldHandleReopen());
    EXPECT_EQ(opened(shown), std::vector<Window>{Window::onboarding});
    // Setup was completed before: the window opens at the shortcut step.
    ASSERT_TRUE(delegate->setup().window());
    EXPECT_EQ(delegate->setup().window()->step(), OnboardingStep::shortcut);
    EXPECT_EQ(delegate->controller().shortcutProbeWindow(), delegate->setup().window());
    delegate->setup().window()->close();
    harness.drain();
    EXPECT_FALSE(delegate->setup().window());
    EXPECT_EQ(delegate->controller().shortcutProbeWindow(), nullptr);
    EXPECT_TRUE(defaults.value(QStringLiteral("didCompleteTalvexSetup")).toBool());
}

TEST_F(TalvexDelegateTest, MenuRowsReachTheDelegatesWindowsAndItsQuit)
{
    defaults.setValue(QStringLiteral("didCompleteTalvexSetup"), true);
    auto delegate = make();
    int quits = 0;
    delegate->setQuit([&] { ++quits; });
    delegate->applicationDidFinishLaunching();
    QSignalSpy shown(delegate.get(), &TalvexDelegate::windowShown);
    for (const MenuRowId row :
         {MenuRowId::onboarding, MenuRowId::settings, MenuRowId::about, MenuRowId::quit})
        delegate->menu().trigger(row);
    EXPECT_EQ(opened(shown), (std::vector<Window>{Window::onboarding, Window::settings, Window::about}));
    EXPECT_EQ(quits, 1);
}

TEST_F(TalvexDelegateTest, OnWaylandTheMessageAndTheMenuPointToTheToggleCommand)
{
    defaults.setValue(QStringLiteral("didCompleteTalvexSetup"), true);
    TalvexDelegate::Launch launch;
    launch.waylandSession = true;
    auto delegate = make(launch);
    delegate->applicationDidFinishLaunching();
    EXPECT_EQ(delegate->controller().message(), TrayMenuModel::waylandMessage());
    EXPECT_TRUE(delegate->menu().state().waylandSession);
    delegate.reset();
    harness.drain();

    // A message from activation (here: a stored editing shortcut replaced) is not overwritten.
    Library library;
    library.preferences.shortcutKey = Shortcut(9, Shortcut::controlKey, QStringLiteral("V"));
    QDir().mkpath(QFileInfo(harness.libraryPath()).path());
    QString problem;
    ASSERT_TRUE(library.write(harness.libraryPath(), &problem)) << problem.toStdString();
    delegate = make(launch);
    delegate->applicationDidFinishLaunching();
    ASSERT_TRUE(delegate->controller().message());
    EXPECT_TRUE(delegate->controller().message()->startsWith(QStringLiteral("Talvex reset Ctrl+V")))
        << delegate->controller().message()->toStdString();
    EXPECT_TRUE(delegate->menu().state().waylandSession);
}

TEST_F(TalvexDelegateTest, BecomingActiveRefreshesThePermissions)
{
    auto delegate = make();
    delegate->applicationDidFinishLaunching();
    ASSERT_TRUE(delegate->controller().accessibilityReady());
    harness.accessibility.trusted = false;
    delegate->applicationDidBecomeActive();
    EXPECT_FALSE(delegate->controller().accessibilityReady());
}

} // namespace
} // namespace talvex::test
