#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

struct ps_decoder_s;
struct fe_s;

namespace talvex {

/// The mean of the cepstra of the speech in some audio, computed as the decoder's own front end
/// computes them (same frames, silence left out). Tells a decoder that has no carried mean yet
/// what to normalise by, from the start of a dictation.
class CepstralMeanEstimate final {
  public:
    /// A front end configured as `decoder`'s. Null `decoder`, or a front end that cannot be made,
    /// gives an estimate that never counts a frame.
    explicit CepstralMeanEstimate(ps_decoder_s *decoder);
    ~CepstralMeanEstimate();
    CepstralMeanEstimate(const CepstralMeanEstimate &) = delete;
    CepstralMeanEstimate &operator=(const CepstralMeanEstimate &) = delete;

    /// Adds 16 kHz mono samples.
    void add(const std::int16_t *samples, std::size_t count);

    /// Speech frames counted so far (100 per second of speech).
    int frames() const { return m_frames; }

    /// Their mean; empty before the first frame.
    std::vector<float> mean() const;

  private:
    struct FrontEndDeleter {
        void operator()(fe_s *frontEnd) const;
    };
    std::unique_ptr<fe_s, FrontEndDeleter> m_frontEnd;
    std::vector<double> m_sum;
    std::vector<float> m_frame;
    int m_frames = 0;
};

} // namespace talvex
