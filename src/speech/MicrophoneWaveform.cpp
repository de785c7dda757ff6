#include "MicrophoneWaveform.h"

#include <cmath>

namespace talvex {

const MicrophoneWaveform::Ring MicrophoneWaveform::silence{};

MicrophoneWaveform::MicrophoneWaveform(double sampleRate)
    : m_framesPerColumn(std::max<std::int64_t>(1, std::llround(sampleRate * columnWidth))),
      m_columnDuration(static_cast<double>(m_framesPerColumn) / sampleRate), m_columns(silence)
{
}

std::optional<WaveformFrame> MicrophoneWaveform::append(const float *samples, std::int64_t count,
                                                        std::int64_t stride, double bufferStart)
{
    if (!m_firstSampleTime)
        m_firstSampleTime = bufferStart;

    // Locals keep the hot loop in registers; the state is written back once.
    WaveformPeak peak = m_currentPeak;
    std::int64_t inColumn = m_framesInColumn;
    std::int64_t completed = 0;
    const float *sample = samples;
    for (std::int64_t i = 0; i < count; ++i, sample += stride) {
        const float s = *sample;
        // Written so that a NaN sample changes neither bound.
        if (s < peak.low)
            peak.low = s;
        if (peak.high <= s)
            peak.high = s;
        if (++inColumn == m_framesPerColumn) {
            m_columns[static_cast<std::size_t>(m_nextColumn)] = peak;
            m_nextColumn = (m_nextColumn + 1) % static_cast<std::int64_t>(waveformColumnCount);
            peak = WaveformPeak{};
            inColumn = 0;
            ++completed;
        }
    }
    m_currentPeak = peak;
    m_framesInColumn = inColumn;
    m_columnsSinceUpdate += completed;
    m_columnsWritten += completed;

    if (m_columnsSinceUpdate < columnsPerFrame)
        return std::nullopt;
    m_columnsSinceUpdate = 0;

    WaveformFrame frame;
    frame.peaks.reserve(waveformColumnCount);
    frame.peaks.insert(frame.peaks.end(), m_columns.begin() + m_nextColumn, m_columns.end());
    frame.peaks.insert(frame.peaks.end(), m_columns.begin(), m_columns.begin() + m_nextColumn);
    frame.newestTime = *m_firstSampleTime + m_columnDuration * (static_cast<double>(m_columnsWritten) - 0.5);
    frame.columnDuration = m_columnDuration;
    return frame;
}

} // namespace talvex
