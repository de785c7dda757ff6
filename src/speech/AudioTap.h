#pragma once

#include "MicrophoneWaveform.h"
#include "WaveformFrame.h"
#include "platform/AnalyzerInputStream.h"
#include "platform/AudioConverter.h"
#include "platform/AudioEngine.h"

#include <functional>
#include <memory>

namespace talvex {

/// Receives every microphone buffer on the engine's thread: meters channel 0 into the waveform, then
/// converts the buffer to the analyzer's format and queues it. It never blocks: a full queue ends the
/// stream with audioOverrun instead of waiting.
class AudioTap final {
  public:
    using Meter = std::function<void(const WaveformFrame &frame)>;
    /// Seconds on the host clock, for buffers that carry no capture time.
    using HostClock = std::function<double()>;

    AudioTap(std::unique_ptr<AudioConverter> converter, AudioFormat output,
             std::shared_ptr<AnalyzerInputStream> continuation, Meter meter, MicrophoneWaveform waveform,
             HostClock hostNow);

    /// The engine tap callback: convert(buffer).
    AudioEngine::TapBlock block();

    /// Meter, convert and queue one buffer. Failures end the stream.
    void convert(const AudioBuffer &buffer);

    /// The meter step alone.
    void updateMeter(const AudioBuffer &buffer);

    /// Frames the converter may produce for `frames` input frames, plus a margin for what a
    /// resampler held back from earlier buffers.
    static std::uint32_t outputCapacity(double outputRate, std::int64_t frames, double inputRate);

    const MicrophoneWaveform &waveform() const { return m_waveform; }

  private:
    const std::unique_ptr<AudioConverter> m_converter;
    const AudioFormat m_output;
    const std::shared_ptr<AnalyzerInputStream> m_continuation;
    const Meter m_meter;
    MicrophoneWaveform m_waveform;
    const HostClock m_hostNow;
};

} // namespace talvex
