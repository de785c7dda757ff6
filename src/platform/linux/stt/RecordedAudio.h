#pragma once

#include "platform/AudioFormat.h"

#include <QByteArray>
#include <cstdint>
#include <vector>

namespace talvex {

/// The audio of one dictation as the recogniser received it, kept as 16-bit PCM so that the whole
/// dictation can be sent as one WAV file when it ends. Filled by one thread; read once it is done.
class RecordedAudio final {
  public:
    /// Keeps at most `maximumSeconds` of audio; more marks the recording as unusable rather than
    /// sending a cut-off dictation.
    explicit RecordedAudio(double maximumSeconds) : m_maximumSeconds(maximumSeconds) {}

    /// Adds the buffer's valid frames. The first buffer fixes the format; a buffer in another
    /// format, or audio beyond the maximum, makes the recording unusable (and stops keeping it).
    void append(const PcmBuffer &buffer);

    const AudioFormat &format() const { return m_format; }
    /// Frames kept (samples per channel).
    std::int64_t frames() const;
    /// Why the recording cannot be sent, or empty when it can.
    const char *unusableReason() const { return m_unusable; }

    /// A RIFF/WAVE file: 16-bit little-endian PCM in the recorded format.
    QByteArray wav() const;

  private:
    double m_maximumSeconds;
    AudioFormat m_format;
    std::vector<std::int16_t> m_samples;
    const char *m_unusable = nullptr;
};

} // namespace talvex
