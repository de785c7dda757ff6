// AudioTap cost per 2048-frame buffer: meter, libsoxr conversion to 16 kHz mono and queueing, as on
// the audio thread during a dictation.
#include "SoxrConverter.h"
#include "platform/SteadyClock.h"
#include "speech/AudioTap.h"

#include <benchmark/benchmark.h>
#include <cmath>
#include <vector>

using namespace talvex;

static void BM_AudioTapConvert(benchmark::State &state)
{
    const AudioFormat input{double(state.range(0)), int(state.range(1))};
    const AudioFormat output{16000, 1};
    auto stream = std::make_shared<AnalyzerInputStream>(128);
    int frames = 0;
    AudioTap tap(
        SoxrConverter::create(input, output), output, stream, [&frames](const WaveformFrame &) { ++frames; },
        MicrophoneWaveform(input.sampleRate), &SteadyClock::monotonicSeconds);
    std::vector<float> samples(std::size_t(2048 * input.channelCount));
    for (std::size_t i = 0; i < samples.size(); ++i)
        samples[i] = 0.3f * std::sin(float(i) * 0.05f);
    double time = 0;
    for (auto _ : state) {
        tap.convert(AudioBuffer{input, 2048, samples.data(), time});
        time += 2048.0 / input.sampleRate;
        state.PauseTiming();
        while (stream->tryPop()) {
        }
        state.ResumeTiming();
    }
    benchmark::DoNotOptimize(frames);
    state.counters["buffer_ms_budget"] = 2048.0 / input.sampleRate * 1000.0;
}
BENCHMARK(BM_AudioTapConvert)
    ->Args({48000, 2})
    ->Args({48000, 1})
    ->Args({44100, 2})
    ->Args({16000, 1})
    ->Unit(benchmark::kMicrosecond);
