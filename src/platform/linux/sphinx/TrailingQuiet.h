#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace talvex {

/// Tells how much of the audio left when a dictation ends is worth decoding: the quiet after the last
/// word costs the search more than speech does, and only its start helps it close the last word.
/// Loudness is relative to the loudest 10 ms frame so far, so a noisy room, where nothing is quiet by
/// that measure, keeps everything.
class TrailingQuiet final {
  public:
    /// 10 ms of 16 kHz audio.
    static constexpr std::size_t frameSamples = 160;

    /// `keptSamples`: how much quiet after the last loud frame is still decoded; `quietDecibels`: how
    /// far below the loudest frame a frame counts as quiet.
    TrailingQuiet(std::size_t keptSamples, double quietDecibels);

    /// Audio the decoder has been given, in order.
    void fed(std::span<const std::int16_t> samples);

    /// How many leading samples of `rest`, the audio not yet decoded when the feed ended, to decode.
    std::size_t worthDecoding(std::span<const std::int16_t> rest) const;

  private:
    bool loud(double meanSquare, double loudest) const;

    std::size_t m_kept;
    double m_quietRatio;
    double m_loudest = 0;        // mean square of the loudest frame fed
    std::size_t m_sinceLoud = 0; // samples fed after the last loud frame
};

} // namespace talvex
