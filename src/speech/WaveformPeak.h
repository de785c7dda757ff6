#pragma once

namespace talvex {

/// The lowest and highest sample of one waveform column. low <= 0 <= high.
struct WaveformPeak {
    float low = 0.0f;
    float high = 0.0f;

    friend bool operator==(const WaveformPeak &, const WaveformPeak &) = default;
};

} // namespace talvex
