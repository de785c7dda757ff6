#include "CepstralMeanEstimate.h"

#include <pocketsphinx.h>
#include <sphinxbase/fe.h>

namespace talvex {

void CepstralMeanEstimate::FrontEndDeleter::operator()(fe_s *frontEnd) const
{
    fe_free(frontEnd);
}

CepstralMeanEstimate::CepstralMeanEstimate(ps_decoder_s *decoder)
{
    if (!decoder)
        return;
    m_frontEnd.reset(fe_init_auto_r(ps_get_config(decoder)));
    if (!m_frontEnd)
        return;
    const int size = fe_get_output_size(m_frontEnd.get());
    m_sum.assign(std::size_t(size), 0.0);
    m_frame.assign(std::size_t(size), 0.0f);
    fe_start_utt(m_frontEnd.get());
}

CepstralMeanEstimate::~CepstralMeanEstimate() = default;

void CepstralMeanEstimate::add(const std::int16_t *samples, std::size_t count)
{
    if (!m_frontEnd)
        return;
    mfcc_t *frame = m_frame.data();
    while (count > 0) {
        // One frame at a time: the front end keeps what does not fill a frame for the next call.
        std::int32_t frames = 1;
        const std::size_t before = count;
        if (fe_process_frames(m_frontEnd.get(), &samples, &count, &frame, &frames, nullptr) < 0)
            return;
        // A frame of zero energy or less is digital silence; the decoder's normalisation skips it too.
        if (frames > 0 && m_frame[0] >= 0) {
            for (std::size_t i = 0; i < m_sum.size(); ++i)
                m_sum[i] += m_frame[i];
            ++m_frames;
        }
        if (frames == 0 && count == before)
            return; // nothing consumed and nothing made: wait for more samples
    }
}

std::vector<float> CepstralMeanEstimate::mean() const
{
    std::vector<float> mean;
    if (m_frames == 0)
        return mean;
    for (const double sum : m_sum)
        mean.push_back(float(sum / m_frames));
    return mean;
}

} // namespace talvex
