// The onboarding window at each step and in the states a user meets there, over the real
// controller on the unit tests' doubles.
#include "CaptureSourceWatchDouble.h"
#include "PermissionsPage.h"
#include "PracticePage.h"
#include "RenderSink.h"
#include "Scenes.h"
#include "SettingsFixture.h"
#include "SetupWindow.h"
#include "TalvexOnboarding.h"

#include <QAbstractButton>
#include <QApplication>
#include <QPlainTextEdit>
#include <QSettings>
#include <QTemporaryDir>

namespace talvex::render {

namespace {

using test::AnalyzerDouble;
using test::CaptureSourceWatchDouble;
using test::SettingsFixture;

const CaptureSource builtIn{CaptureSource::Server::reachable, QStringLiteral("Built-in Audio Analog Stereo")};

/// One onboarding window over a fresh controller; `arrange` scripts the doubles before the
/// controller is made.
class Scene {
  public:
    explicit Scene(const std::function<void(SettingsFixture &)> &arrange = {})
    {
        if (arrange)
            arrange(fixture);
        controller = &fixture.make();
        OnboardingServices services;
        services.keys = &fixture.keyboard.translator;
        services.captureSources = &sources;
        services.clock = &fixture.harness.clock;
        services.defaults = &defaults;
        services.desktop = QStringLiteral("GNOME");
        setup = std::make_unique<SetupWindow>(services);
        setup->show(*controller);
        window().setAttribute(Qt::WA_DeleteOnClose, false);
        QApplication::setActiveWindow(&window());
        sources.announce(builtIn);
    }
    ~Scene()
    {
        setup.reset();
        fixture.harness.drain();
    }

    TalvexOnboarding &window() { return *setup->window(); }
    test::ControllerHarness &harness() { return fixture.harness; }

    SettingsFixture fixture;
    CaptureSourceWatchDouble sources;
    QTemporaryDir folder;
    QSettings defaults{folder.filePath(QStringLiteral("Talvex.conf")), QSettings::IniFormat};
    DictationController *controller = nullptr;
    std::unique_ptr<SetupWindow> setup;
};

void save(RenderSink &sink, const QString &name, Scene &scene)
{
    if (sink.wants(name))
        sink.save(name, scene.window());
}

bool wantsAny(const RenderSink &sink, const QStringList &names)
{
    return std::any_of(names.begin(), names.end(), [&](const QString &name) { return sink.wants(name); });
}

void renderWelcome(RenderSink &sink)
{
    if (!wantsAny(sink, {QStringLiteral("onboarding-welcome"), QStringLiteral("onboarding-welcome-no-tray")}))
        return;
    Scene scene;
    save(sink, QStringLiteral("onboarding-welcome"), scene);
    scene.setup->setTrayPresence(TrayPresence::missing);
    save(sink, QStringLiteral("onboarding-welcome-no-tray"), scene);
}

void renderPermissions(RenderSink &sink)
{
    if (sink.wants(QStringLiteral("onboarding-permissions-ready"))) {
        Scene scene;
        scene.window().setStep(OnboardingStep::access);
        save(sink, QStringLiteral("onboarding-permissions-ready"), scene);
    }
    if (sink.wants(QStringLiteral("onboarding-permissions-not-ready"))) {
        // Access denied, the accessibility bus off, speech still loading, and no settings page to open.
        Scene scene([](SettingsFixture &f) {
            f.harness.engines.status = MicrophoneAuthorization::denied;
            f.harness.accessibility.trusted = false;
            f.harness.workspace.settingsOpen = false;
            f.harness.speech.holdNextPreparation();
        });
        scene.window().setStep(OnboardingStep::access);
        for (QAbstractButton *button : scene.window().findChildren<QAbstractButton *>())
            if (button->text() == QStringLiteral("&Open Settings"))
                button->click();
        save(sink, QStringLiteral("onboarding-permissions-not-ready"), scene);
    }
    if (sink.wants(QStringLiteral("onboarding-permissions-no-sound-server"))) {
        Scene scene(
            [](SettingsFixture &f) { f.harness.engines.status = MicrophoneAuthorization::restricted; });
        scene.window().setStep(OnboardingStep::access);
        scene.sources.announce(CaptureSource{CaptureSource::Server::unreachable, {}});
        save(sink, QStringLiteral("onboarding-permissions-no-sound-server"), scene);
    }
}

void renderShortcut(RenderSink &sink)
{
    const QStringList names{QStringLiteral("onboarding-shortcut-waiting"),
                            QStringLiteral("onboarding-shortcut-pressed"),
                            QStringLiteral("onboarding-shortcut-detected")};
    if (wantsAny(sink, names)) {
        Scene scene;
        scene.window().setStep(OnboardingStep::shortcut);
        save(sink, names[0], scene);
        scene.harness().press(5.0); // the window is key: the press only counts
        save(sink, names[1], scene);
        scene.harness().release(5.2);
        save(sink, names[2], scene);
    }
    if (sink.wants(QStringLiteral("onboarding-shortcut-unregistered"))) {
        Scene scene([](SettingsFixture &f) { f.harness.hotKeys.available = false; });
        scene.window().setStep(OnboardingStep::shortcut);
        save(sink, QStringLiteral("onboarding-shortcut-unregistered"), scene);
    }
}

void renderPractice(RenderSink &sink)
{
    const QStringList names{QStringLiteral("onboarding-practice-waiting"),
                            QStringLiteral("onboarding-practice-listening"),
                            QStringLiteral("onboarding-practice-confirmed")};
    if (!wantsAny(sink, names))
        return;
    Scene scene([](SettingsFixture &f) {
        test::ControllerHarness &h = f.harness;
        h.clipboard.mirrorToQt = true;
        h.pasteLands();
        h.model.clock = &h.clock;
        h.model.answerSeconds = 0.41;
        h.model.answer(QStringLiteral("Please send the report by Friday."));
        h.speechDouble.configureAnalyzer = [&h](AnalyzerDouble &analyzer) {
            analyzer.resultsAtFinalize = {SpeechResult{QStringLiteral("talvex is ready"), true}};
            analyzer.clock = &h.clock;
            analyzer.finalizeSeconds = 0.62;
        };
    });
    test::ControllerHarness &h = scene.harness();
    Preferences preferences = scene.controller->preferences();
    preferences.mode = WritingMode::clean;
    scene.controller->setPreferences(preferences);
    // First a dictation into another application, as the page reports it afterwards.
    h.startRecording(1.0);
    h.finishRecording(2.0);

    scene.window().setStep(OnboardingStep::practice);
    QApplication::setActiveWindow(&scene.window());
    scene.window().practicePage().field().setFocus();
    save(sink, names[0], scene);
    h.startRecording(10.0);
    save(sink, names[1], scene);
    h.finishRecording(11.0);
    save(sink, names[2], scene);
}

} // namespace

void renderOnboarding(RenderSink &sink)
{
    renderWelcome(sink);
    renderPermissions(sink);
    renderShortcut(sink);
    renderPractice(sink);
}

} // namespace talvex::render
