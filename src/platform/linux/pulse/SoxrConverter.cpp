#include "SoxrConverter.h"

#include <soxr.h>

namespace talvex {

void SoxrConverter::Deleter::operator()(soxr *handle) const
{
    soxr_delete(handle);
}

std::unique_ptr<SoxrConverter> SoxrConverter::create(const AudioFormat &from, const AudioFormat &to)
{
    if (!(from.sampleRate > 0) || !(to.sampleRate > 0) || from.channelCount <= 0 || to.channelCount <= 0)
        return nullptr;
    if (to.channelCount != 1 && to.channelCount != from.channelCount)
        return nullptr;
    soxr_error_t error = nullptr;
    const soxr_io_spec_t io = soxr_io_spec(SOXR_FLOAT32_I, SOXR_FLOAT32_I);
    // Medium quality: a 16 kHz recogniser gains nothing from a sharper filter. Minimum phase keeps
    // the delay short, so little of the last word is still inside the filter when a dictation ends.
    const soxr_quality_spec_t quality = soxr_quality_spec(SOXR_MQ, SOXR_MINIMUM_PHASE);
    soxr_t handle = soxr_create(from.sampleRate, to.sampleRate, static_cast<unsigned>(to.channelCount),
                                &error, &io, &quality, nullptr);
    if (error || !handle)
        return nullptr;
    return std::unique_ptr<SoxrConverter>(
        new SoxrConverter(from, to, std::unique_ptr<soxr, Deleter>(handle)));
}

SoxrConverter::SoxrConverter(AudioFormat from, AudioFormat to, std::unique_ptr<soxr, Deleter> handle)
    : m_from(from), m_to(to), m_soxr(std::move(handle))
{
}

SoxrConverter::~SoxrConverter() = default;

ConverterOutputStatus SoxrConverter::convert(PcmBuffer &output, const InputBlock &input,
                                             std::optional<QString> &error)
{
    ConverterInputStatus status{};
    bool tookInput = false;
    while (const AudioBuffer *buffer = input(status)) {
        tookInput = true;
        if (!buffer->floatData || buffer->format != m_from) {
            error = QStringLiteral("The audio converter received a buffer in an unexpected format.");
            return ConverterOutputStatus::error;
        }
        const float *samples = buffer->floatData;
        const auto frames = static_cast<std::size_t>(buffer->frameLength);
        if (m_to.channelCount == 1 && m_from.channelCount > 1) {
            m_mono.resize(frames);
            const auto channels = static_cast<std::size_t>(m_from.channelCount);
            for (std::size_t i = 0; i < frames; ++i) {
                float sum = 0.0f;
                for (std::size_t c = 0; c < channels; ++c)
                    sum += samples[i * channels + c];
                m_mono[i] = sum / static_cast<float>(channels);
            }
            samples = m_mono.data();
        }
        // soxr takes all input; what it gives out in bursts beyond the output's room waits for the
        // next call, so no frame is ever dropped.
        const auto channels = static_cast<std::size_t>(m_to.channelCount);
        std::size_t consumed = 0;
        while (consumed < frames) {
            const std::size_t room = std::max<std::size_t>(frames, 1024);
            m_scratch.resize(room * channels);
            std::size_t used = 0;
            std::size_t produced = 0;
            if (soxr_error_t failure =
                    soxr_process(m_soxr.get(), samples + consumed * channels, frames - consumed, &used,
                                 m_scratch.data(), room, &produced)) {
                error = QString::fromUtf8(failure);
                return ConverterOutputStatus::error;
            }
            consumed += used;
            m_pending.insert(m_pending.end(), m_scratch.begin(),
                             m_scratch.begin() + std::ptrdiff_t(produced * channels));
            if (used == 0 && produced == 0)
                break;
        }
    }
    const auto channels = static_cast<std::size_t>(m_to.channelCount);
    const std::size_t available = m_pending.size() / channels;
    const std::size_t room = static_cast<std::size_t>(output.frameCapacity - output.frameLength);
    const std::size_t take = std::min(available, room);
    std::copy_n(m_pending.begin(), take * channels,
                output.samples.begin() + std::ptrdiff_t(output.frameLength * std::int64_t(channels)));
    m_pending.erase(m_pending.begin(), m_pending.begin() + std::ptrdiff_t(take * channels));
    output.frameLength += static_cast<std::int64_t>(take);
    if (status == ConverterInputStatus::endOfStream)
        return ConverterOutputStatus::endOfStream;
    return tookInput || output.frameLength > 0 ? ConverterOutputStatus::haveData
                                               : ConverterOutputStatus::inputRanDry;
}

} // namespace talvex
