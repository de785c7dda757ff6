#pragma once

#include <cstdint>
#include <optional>
#include <vector>

namespace talvex {

/// A PCM format of 32-bit float samples, interleaved when there is more than one channel.
struct AudioFormat {
    double sampleRate = 0.0;
    int channelCount = 0;

    friend bool operator==(const AudioFormat &, const AudioFormat &) = default;
};

/// One captured buffer as the engine hands it to its tap. It only borrows the samples, which stay
/// valid for the duration of the tap callback.
struct AudioBuffer {
    AudioFormat format;
    std::int64_t frameLength = 0;
    /// Interleaved 32-bit float samples (channel c of frame i at [i * channelCount + c]), or null when
    /// the buffer is not in float layout.
    const float *floatData = nullptr;
    /// Start of the first frame on the host clock (CLOCK_MONOTONIC seconds), when known.
    std::optional<double> hostTime;

    /// Distance in samples between consecutive frames of one channel.
    std::int64_t stride() const { return format.channelCount; }
};

/// An owned buffer of converted audio, as queued to the speech analyzer.
struct PcmBuffer {
    AudioFormat format;
    std::int64_t frameCapacity = 0;
    std::int64_t frameLength = 0; ///< valid frames, set by the converter
    std::vector<float> samples;   ///< frameCapacity * channelCount, interleaved

    /// An empty buffer with room for `capacity` frames, or nothing when memory is short.
    static std::optional<PcmBuffer> make(const AudioFormat &format, std::int64_t capacity)
    {
        try {
            PcmBuffer buffer;
            buffer.format = format;
            buffer.frameCapacity = capacity;
            buffer.samples.resize(static_cast<std::size_t>(capacity) *
                                  static_cast<std::size_t>(format.channelCount));
            return buffer;
        } catch (...) {
            return std::nullopt;
        }
    }
};

} // namespace talvex
