#include "AudioTap.h"

#include "TalvexError.h"
#include "platform/Logging.h"
#include "platform/PlatformError.h"

#include <cmath>

namespace talvex {

namespace {

std::exception_ptr talvexError(TalvexError error)
{
    return std::make_exception_ptr(TalvexException(error));
}

} // namespace

AudioTap::AudioTap(std::unique_ptr<AudioConverter> converter, AudioFormat output,
                   std::shared_ptr<AnalyzerInputStream> continuation, Meter meter,
                   MicrophoneWaveform waveform, HostClock hostNow)
    : m_converter(std::move(converter)), m_output(output), m_continuation(std::move(continuation)),
      m_meter(std::move(meter)), m_waveform(waveform), m_hostNow(std::move(hostNow))
{
}

AudioEngine::TapBlock AudioTap::block()
{
    return [this](const AudioBuffer &buffer) { convert(buffer); };
}

std::uint32_t AudioTap::outputCapacity(double outputRate, std::int64_t frames, double inputRate)
{
    return static_cast<std::uint32_t>(std::ceil(outputRate * static_cast<double>(frames) / inputRate)) + 16;
}

void AudioTap::convert(const AudioBuffer &buffer)
{
    updateMeter(buffer);

    const auto capacity = outputCapacity(m_output.sampleRate, buffer.frameLength, buffer.format.sampleRate);
    auto output = PcmBuffer::make(m_output, capacity);
    if (!output) {
        m_continuation->finish(talvexError(TalvexError::microphoneInput));
        return;
    }

    // Each conversion consumes exactly this one tap buffer; later pulls get "no data now".
    const AudioBuffer *held = &buffer;
    const AudioConverter::InputBlock input = [&held](ConverterInputStatus &status) -> const AudioBuffer * {
        if (!held) {
            status = ConverterInputStatus::noDataNow;
            return nullptr;
        }
        status = ConverterInputStatus::haveData;
        return std::exchange(held, nullptr);
    };

    std::optional<QString> error;
    const auto status = m_converter->convert(*output, input, error);
    if (error) {
        m_continuation->finish(std::make_exception_ptr(PlatformError(*error)));
    } else if (status == ConverterOutputStatus::error) {
        m_continuation->finish(talvexError(TalvexError::microphoneInput));
    } else if (output->frameLength > 0) {
        if (m_continuation->yield(std::move(*output)) == AnalyzerInputStream::YieldResult::dropped) {
            qCWarning(lcAudio) << "Analyzer queue full; ending the dictation";
            m_continuation->finish(talvexError(TalvexError::audioOverrun));
        }
    }
}

void AudioTap::updateMeter(const AudioBuffer &buffer)
{
    if (!m_meter || !buffer.floatData)
        return;
    const double start =
        buffer.hostTime ? *buffer.hostTime
                        : m_hostNow() - static_cast<double>(buffer.frameLength) / buffer.format.sampleRate;
    if (auto frame = m_waveform.append(buffer.floatData, buffer.frameLength, buffer.stride(), start))
        m_meter(*frame);
}

} // namespace talvex
