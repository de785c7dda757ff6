#pragma once

#include "WaveformFrame.h"

#include <array>
#include <cstdint>
#include <optional>

namespace talvex {

/// Folds raw microphone samples into 14 ms (low, high) columns kept in a ring of 116, and hands out
/// a WaveformFrame every third completed column. Owned and fed by one AudioTap on the audio thread;
/// no locking, and no allocation except the frame's copy of the ring.
class MicrophoneWaveform final {
  public:
    static constexpr double columnWidth = 0.014;
    static constexpr std::int64_t columnsPerFrame = 3;
    using Ring = std::array<WaveformPeak, waveformColumnCount>;

    /// The ring of a fresh accumulator: every column (0, 0).
    static const Ring silence;

    /// `sampleRate` in samples per second, greater than 0.
    explicit MicrophoneWaveform(double sampleRate);

    /// Folds `count` samples read at `samples[0]`, `samples[stride]`, ...; `bufferStart` is the host
    /// time of the first one (only the very first call's time is used: the time axis assumes no
    /// gaps). Returns a frame when at least three columns completed since the last one.
    std::optional<WaveformFrame> append(const float *samples, std::int64_t count, std::int64_t stride,
                                        double bufferStart);

    std::int64_t framesPerColumn() const { return m_framesPerColumn; }
    double columnDuration() const { return m_columnDuration; }
    std::int64_t nextColumn() const { return m_nextColumn; }
    std::int64_t columnsWritten() const { return m_columnsWritten; }
    std::optional<double> firstSampleTime() const { return m_firstSampleTime; }

  private:
    std::int64_t m_framesPerColumn;
    double m_columnDuration;
    Ring m_columns;
    std::int64_t m_nextColumn = 0;
    WaveformPeak m_currentPeak;
    std::int64_t m_framesInColumn = 0;
    std::int64_t m_columnsSinceUpdate = 0;
    std::int64_t m_columnsWritten = 0;
    std::optional<double> m_firstSampleTime;
};

} // namespace talvex
