#pragma once

#include "AudioFormat.h"

#include <QString>
#include <functional>
#include <optional>

namespace talvex {

/// What the converter's input callback answers.
enum class ConverterInputStatus {
    haveData,   ///< the returned buffer is the next input
    noDataNow,  ///< nothing more for this call; more may come later
    endOfStream ///< no more input ever
};

/// What one conversion call reports.
enum class ConverterOutputStatus { haveData, inputRanDry, endOfStream, error };

/// Converts captured audio into the recogniser's format (rate and channel count). One converter serves
/// every buffer of a session, so state (filter history) carries across calls. Used on the audio thread.
class AudioConverter {
  public:
    /// Returns the next input buffer (borrowed until the callback is called again) and sets the status.
    using InputBlock = std::function<const AudioBuffer *(ConverterInputStatus &status)>;

    virtual ~AudioConverter() = default;

    /// Pulls input through `input` until it has no data now, fills `output` up to its capacity and sets
    /// its frameLength (possibly 0: resamplers hold some frames back). Sets `error` when the conversion
    /// failed with a describable reason.
    virtual ConverterOutputStatus convert(PcmBuffer &output, const InputBlock &input,
                                          std::optional<QString> &error) = 0;
};

} // namespace talvex
