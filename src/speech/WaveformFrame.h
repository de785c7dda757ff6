#pragma once

#include "WaveformPeak.h"

#include <cstddef>
#include <optional>
#include <vector>

namespace talvex {

/// Number of columns in every waveform picture.
inline constexpr std::size_t waveformColumnCount = 116;

/// One picture of the microphone signal: 116 columns, oldest first, with the host time (seconds,
/// CLOCK_MONOTONIC) of the newest column's centre so the view can scroll smoothly between frames.
struct WaveformFrame {
    std::vector<WaveformPeak> peaks;
    std::optional<double> newestTime;
    double columnDuration = 0.014;

    /// The empty picture: all columns (0, 0), no time, 14 ms columns.
    static const WaveformFrame &silence();
};

} // namespace talvex
