// What opening the onboarding window and keeping its practice page current cost, offscreen.
//   build/release/bench/onboarding/bench_onboarding
#include "ControllerHarness.h"
#include "SetupWindow.h"
#include "TalvexOnboarding.h"

#include <QApplication>
#include <QSettings>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

using namespace talvex;

namespace {

/// The controller and the window's owner, as the application has them.
struct Fixture {
    Fixture()
    {
        harness.make();
        OnboardingServices services;
        services.clock = &harness.clock;
        services.defaults = &defaults;
        setup = std::make_unique<SetupWindow>(services);
    }
    ~Fixture()
    {
        setup.reset();
        harness.drain();
    }

    test::ControllerHarness harness;
    QTemporaryDir folder;
    QSettings defaults{folder.filePath(QStringLiteral("Talvex.conf")), QSettings::IniFormat};
    std::unique_ptr<SetupWindow> setup;
};

// From "Talvex Onboarding…" to a laid-out, painted window, then closed again.
void openWindow(benchmark::State &state)
{
    Fixture fixture;
    for (auto _ : state) {
        fixture.setup->show(fixture.harness.controller());
        TalvexOnboarding *window = fixture.setup->window();
        QApplication::processEvents();
        benchmark::DoNotOptimize(window->grab());
        window->close();
        QApplication::processEvents();
        QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
}
BENCHMARK(openWindow)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
