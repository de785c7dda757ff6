#pragma once

#include "platform/AudioFormat.h"

#include <QByteArray>
#include <QString>
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
class WavFile final {
  public:
    using Result = std::variant<WavAudio, QString>;

    static Result read(const QString &path);
    static Result decode(const QByteArray &bytes);
};

} // namespace talvex
