// MicrophoneWaveform.append cost per sample, on 2048-frame buffers as the tap delivers them.
#include "speech/MicrophoneWaveform.h"

#include <benchmark/benchmark.h>
#include <cmath>
#include <vector>

using namespace talvex;

static void BM_WaveformAppend(benchmark::State &state)
{
    const auto channels = static_cast<std::int64_t>(state.range(0));
    std::vector<float> buffer(2048 * static_cast<std::size_t>(channels));
    for (std::size_t i = 0; i < buffer.size(); ++i)
        buffer[i] = 0.5f * std::sin(static_cast<float>(i) * 0.01f);
    MicrophoneWaveform waveform(48000);
    double time = 0.0;
    for (auto _ : state) {
        auto frame = waveform.append(buffer.data(), 2048, channels, time);
        benchmark::DoNotOptimize(frame);
        time += 2048.0 / 48000.0;
    }
    state.counters["ns/sample"] =
        benchmark::Counter(static_cast<double>(state.iterations()) * 2048,
                           benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_WaveformAppend)->Arg(1)->Arg(2);
