// What the focus checks and the clipboard snapshot cost against real programs: these run on the
// main thread between the waits of a delivery, so they add directly to its latency.
#include "AtspiAccessibility.h"
#include "Destination.h"
#include "QtClipboard.h"
#include "SteadyClock.h"
#include "X11KeyboardPoster.h"
#include "X11Workspace.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QProcess>

#include <benchmark/benchmark.h>

#include <cstdio>
#include <memory>

namespace {

using namespace talvex;

struct Desktop {
    x11::X11Workspace workspace;
    atspi::AtspiAccessibility accessibility;
    x11::X11KeyboardPoster keyboard;
    x11::QtClipboard clipboard;
    SteadyClock clock;
    std::int32_t pid = 0;

    DeliveryServices services() { return {&workspace, &accessibility, &keyboard, &clipboard, &clock}; }
};
Desktop *desktop = nullptr;

void BM_CaptureDestination(benchmark::State &state)
{
    for (auto _ : state) {
        Destination destination(desktop->services(), nullptr, false);
        benchmark::DoNotOptimize(destination.focusedElement());
    }
}
BENCHMARK(BM_CaptureDestination)->Unit(benchmark::kMillisecond);

void BM_FocusedElementAndCaret(benchmark::State &state)
{
    for (auto _ : state) {
        const auto element = desktop->accessibility.focusedElement(desktop->pid);
        if (element)
            benchmark::DoNotOptimize(desktop->accessibility.selectedRange(*element));
    }
}
BENCHMARK(BM_FocusedElementAndCaret)->Unit(benchmark::kMillisecond);

// The accessibility half of the focus test a delivery runs twice before its keystroke and again after.
void BM_FocusTest(benchmark::State &state)
{
    for (auto _ : state) {
        benchmark::DoNotOptimize(desktop->accessibility.isTrusted());
        benchmark::DoNotOptimize(desktop->accessibility.focusedWindow(desktop->pid));
        if (const auto element = desktop->accessibility.focusedElement(desktop->pid))
            benchmark::DoNotOptimize(desktop->accessibility.isSecureTextField(*element));
    }
}
BENCHMARK(BM_FocusTest)->Unit(benchmark::kMillisecond);

// Listening for caret announcements starts in a delivery's first steps, before the clipboard is written.
void BM_CaretWatchStartAndStop(benchmark::State &state)
{
    for (auto _ : state) {
        desktop->accessibility.beginCaretWatch();
        desktop->accessibility.endCaretWatch();
    }
}
BENCHMARK(BM_CaretWatchStartAndStop)->Unit(benchmark::kMillisecond);

void BM_FrontmostApplication(benchmark::State &state)
{
    for (auto _ : state)
        benchmark::DoNotOptimize(desktop->workspace.frontmostApplication());
}
BENCHMARK(BM_FrontmostApplication)->Unit(benchmark::kMicrosecond);

void BM_ClipboardSnapshotOfAnotherProgram(benchmark::State &state)
{
    for (auto _ : state)
        benchmark::DoNotOptimize(desktop->clipboard.snapshot(ClipboardSelection::clipboard));
}
BENCHMARK(BM_ClipboardSnapshotOfAnotherProgram)->Unit(benchmark::kMillisecond);

void BM_KeyPressAndRelease(benchmark::State &state)
{
    const auto shift = desktop->keyboard.keyFor(ChordKey::shift);
    for (auto _ : state) {
        desktop->keyboard.post(*shift, true);
        desktop->keyboard.post(*shift, false);
    }
}
BENCHMARK(BM_KeyPressAndRelease)->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("TALVEX_TEST_TMP")) {
        std::fprintf(stderr, "Run inside the private desktop: scripts/with-desktop %s\n", argv[0]);
        return 2;
    }
    QApplication app(argc, argv);
    // A Qt program with a focused field that also owns the clipboard (an image and HTML).
    QProcess target;
    target.start(QStringLiteral(TALVEX_DELIVERY_TARGET), {QStringLiteral("Bench"), QStringLiteral("--seed-clipboard")});
    Desktop world;
    desktop = &world;
    world.pid = static_cast<std::int32_t>(target.processId());
    QElapsedTimer started;
    started.start();
    while (started.elapsed() < 20000) {
        app.processEvents(QEventLoop::AllEvents, 50);
        const auto front = world.workspace.frontmostApplication();
        if (front && front->pid == world.pid && world.accessibility.focusedElement(world.pid))
            break;
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    target.kill();
    target.waitForFinished();
    return 0;
}
