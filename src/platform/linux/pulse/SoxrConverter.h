#pragma once

#include "platform/AudioConverter.h"

#include <memory>
#include <vector>

struct soxr;

namespace talvex {

/// Resamples captured float audio to the recogniser's rate with libsoxr, mixing channels down to
/// mono first when the target has one channel. Keeps filter state across buffers of one session.
class SoxrConverter final : public AudioConverter {
  public:
    /// Null when the formats cannot be converted (no channels, zero rate, or more than one target
    /// channel from a different channel count).
    static std::unique_ptr<SoxrConverter> create(const AudioFormat &from, const AudioFormat &to);
    ~SoxrConverter() override;

    ConverterOutputStatus convert(PcmBuffer &output, const InputBlock &input,
                                  std::optional<QString> &error) override;

  private:
    struct Deleter {
        void operator()(soxr *handle) const;
    };
    SoxrConverter(AudioFormat from, AudioFormat to, std::unique_ptr<soxr, Deleter> handle);

    AudioFormat m_from;
    AudioFormat m_to;
    std::unique_ptr<soxr, Deleter> m_soxr;
    std::vector<float> m_mono;    // scratch for the down-mix; grows once to the tap buffer size
    std::vector<float> m_pending; // resampled frames that did not fit the last output buffer
    std::vector<float> m_scratch; // what one soxr call produced
};

} // namespace talvex
