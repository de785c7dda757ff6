#pragma once

#include "platform/AudioFormat.h"

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <variant>
#include <vector>

namespace talvex {

/// Decoded WAV audio: 32-bit float samples, interleaved, at the file's own rate and channel count.
struct WavAudio {
    AudioFormat format;
    std::vector<float> samples;

    std::int64_t frameCount() const
    {
        return format.channelCount > 0 ? static_cast<std::int64_t>(samples.size()) / format.channelCount : 0;
    }
    double duration() const
    {
        return format.sampleRate > 0 ? static_cast<double>(frameCount()) / format.sampleRate : 0;
    }
};

/// Reads RIFF/WAVE files: integer PCM of 8, 16, 24 or 32 bits and float of 32 or 64 bits, plain or
/// extensible. Anything else, and empty or truncated files, give a sentence saying what is wrong.
/// Header values are checked against the limits below before anything is allocated for them, so a
/// hostile or damaged header cannot make Talvex reserve gigabytes.
class WavFile final {
  public:
    using Result = std::variant<WavAudio, QString>;

    /// Larger files are refused before they are read.
    static constexpr std::int64_t maximumFileBytes = std::int64_t{1} << 30;
    /// Decoded samples (all channels) are at most this many floats: 1 GiB.
    static constexpr std::uint64_t maximumSamples = std::uint64_t{1} << 28;
    /// Sample rates outside this range are damaged headers, not recordings.
    static constexpr std::uint32_t minimumSampleRate = 4000;
    static constexpr std::uint32_t maximumSampleRate = 384000;
    static constexpr std::uint16_t maximumChannels = 32;

    static Result read(const QString &path);
    static Result decode(const QByteArray &bytes);
};

} // namespace talvex
