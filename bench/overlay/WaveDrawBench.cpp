// The recorder's drawing work, offscreen: smoothing and drawing one frame (about 24 times a second while
// recording) and drawing the wave or the whole panel once (at most 60 times a second).
//   build/release/bench/overlay/bench_overlay_draw
#include "overlay/NonactivatingRecorder.h"
#include "overlay/RecorderView.h"
#include "overlay/WaveGeometry.h"

#include <QApplication>
#include <QImage>
#include <QPainter>
#include <benchmark/benchmark.h>
#include <cmath>

using namespace talvex;

namespace {

constexpr double now = 500.0;

WaveformFrame speechFrame()
{
    WaveformFrame frame = WaveformFrame::silence();
    for (std::size_t k = 0; k < frame.peaks.size(); ++k) {
        const float level = float(0.3 * std::abs(std::sin(double(k) * 0.37)));
        frame.peaks[k] = WaveformPeak{-level, level};
    }
    frame.newestTime = now - 0.05;
    return frame;
}

void smoothFrame(benchmark::State &state)
{
    const WaveformFrame frame = speechFrame();
    for (auto _ : state)
        benchmark::DoNotOptimize(WaveGeometry::smooth(frame.peaks));
}
BENCHMARK(smoothFrame);

void drawWave(benchmark::State &state)
{
    RecorderWave wave(nullptr, [] { return now; });
    wave.setFrame(speechFrame());
    const qreal ratio = qreal(state.range(0));
    double moment = now;
    for (auto _ : state) {
        moment += 1.0 / 60; // each tick slides the picture a little
        benchmark::DoNotOptimize(wave.picture(QSize(220, 60), ratio, moment));
    }
}
BENCHMARK(drawWave)->Arg(1)->Arg(2)->Unit(benchmark::kMicrosecond);

// The first tick after a frame arrives also draws the frame's shape: its new end when it continues
// the frame before (as frames do while recording), the whole shape otherwise (range 1).
void drawNewFrame(benchmark::State &state)
{
    const bool whole = state.range(1) != 0;
    const qreal ratio = qreal(state.range(0));
    RecorderWave wave(nullptr, [] { return now; });
    WaveformFrame frame = speechFrame();
    long column = 0;
    for (auto _ : state) {
        if (!whole) {
            // Three new columns, as the tap hands them out.
            frame.peaks.erase(frame.peaks.begin(), frame.peaks.begin() + 3);
            for (int i = 0; i < 3; ++i) {
                const float level = float(0.3 * std::abs(std::sin(double(column++) * 0.37)));
                frame.peaks.push_back(WaveformPeak{-level, level});
            }
            *frame.newestTime += 3 * frame.columnDuration;
        }
        wave.setFrame(frame);
        benchmark::DoNotOptimize(wave.picture(QSize(220, 60), ratio, *frame.newestTime + 0.05));
    }
}
BENCHMARK(drawNewFrame)
    ->Args({1, 0})
    ->Args({2, 0})
    ->Args({1, 1})
    ->Args({2, 1})
    ->Unit(benchmark::kMicrosecond);

// A tick repaints the wave's rectangle of the panel: the card behind it, then the wave.
void repaintWaveArea(benchmark::State &state)
{
    NonactivatingRecorder window(nullptr, [] { return now; });
    window.setTranslucent(state.range(0) != 0);
    RecorderView &view = *window.view();
    view.setPhase(Phase::recording);
    view.setLiveText(QStringLiteral("The weather is nice today. I will send the report to my manager"));
    view.setWaveform(speechFrame());
    window.setAttribute(Qt::WA_DontShowOnScreen);
    window.show();
    QApplication::processEvents();
    const QRect area = view.wave()->geometry();
    QImage target(window.size(), QImage::Format_ARGB32_Premultiplied);
    for (auto _ : state) {
        QPainter painter(&target);
        window.render(&painter, area.topLeft(), QRegion(area));
    }
}
BENCHMARK(repaintWaveArea)->Arg(1)->Arg(0)->Unit(benchmark::kMicrosecond);

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
