#pragma once

#include "AudioEngine.h"
#include "PlatformError.h"

#include <QString>
#include <QStringList>
#include <cmath>
#include <memory>
#include <optional>

namespace talvex::test {

/// A converter that resamples by dropping or repeating frames of channel 0, or fails as scripted.
class AudioConverterDouble final : public AudioConverter {
  public:
    struct Script {
        ConverterOutputStatus status = ConverterOutputStatus::haveData;
        std::optional<QString> error;
        bool produceNothing = false;
    };
    explicit AudioConverterDouble(std::shared_ptr<Script> script) : m_script(std::move(script)) {}

    ConverterOutputStatus convert(PcmBuffer &output, const InputBlock &input,
                                  std::optional<QString> &error) override
    {
        ++calls;
        ConverterInputStatus status{};
        while (const AudioBuffer *buffer = input(status)) {
            ++buffersPulled;
            if (m_script->produceNothing || !buffer->floatData)
                continue;
            const double ratio = output.format.sampleRate / buffer->format.sampleRate;
            const auto frames = std::min<std::int64_t>(
                output.frameCapacity - output.frameLength,
                static_cast<std::int64_t>(std::ceil(static_cast<double>(buffer->frameLength) * ratio)));
            for (std::int64_t i = 0; i < frames; ++i) {
                const auto from =
                    std::min<std::int64_t>(buffer->frameLength - 1, static_cast<std::int64_t>(i / ratio));
                output.samples[static_cast<std::size_t>(output.frameLength + i)] =
                    buffer->floatData[from * buffer->stride()];
            }
            output.frameLength += frames;
        }
        ++pullsAfterData; // the last pull, which must answer "no data now"
        lastInputStatus = status;
        error = m_script->error;
        return m_script->status;
    }

    int calls = 0;
    int buffersPulled = 0;
    int pullsAfterData = 0;
    ConverterInputStatus lastInputStatus = ConverterInputStatus::haveData;

  private:
    std::shared_ptr<Script> m_script;
};

/// A scriptable audio engine: the test delivers buffers to the installed tap by hand.
class AudioEngineDouble final : public AudioEngine {
  public:
    MicrophoneAuthorization status = MicrophoneAuthorization::authorized;
    /// Unset: follows `status` as the audio server backend does (restricted = no server).
    std::optional<MicrophoneProblem> problem;
    bool accessAnswer = true;
    AudioFormat format{48000, 1};
    bool converterAvailable = true;
    std::shared_ptr<AudioConverterDouble::Script> converterScript =
        std::make_shared<AudioConverterDouble::Script>();
    std::optional<QString> startError;
    QStringList calls;
    bool running = false;
    /// Set by a test to make the capture end by itself, as when the sound server goes away.
    MicrophoneProblem lost = MicrophoneProblem::none;

    MicrophoneAuthorization authorizationStatus() override
    {
        calls << "authorizationStatus";
        return status;
    }
    MicrophoneProblem microphoneProblem() override
    {
        calls << "microphoneProblem";
        if (problem)
            return *problem;
        switch (status) {
        case MicrophoneAuthorization::authorized:
            return MicrophoneProblem::none;
        case MicrophoneAuthorization::notDetermined: // asked, and not granted
        case MicrophoneAuthorization::denied:
            return MicrophoneProblem::refused;
        case MicrophoneAuthorization::restricted:
            break;
        }
        return MicrophoneProblem::noSoundServer;
    }
    QCoro::Task<bool> requestAccess() override
    {
        calls << "requestAccess";
        co_return accessAnswer;
    }
    QCoro::Task<AudioFormat> inputFormat() override
    {
        calls << "inputFormat";
        co_return format;
    }
    std::unique_ptr<AudioConverter> makeConverter(const AudioFormat &, const AudioFormat &) override
    {
        calls << "makeConverter";
        if (!converterAvailable)
            return nullptr;
        return std::make_unique<AudioConverterDouble>(converterScript);
    }
    void installTap(std::int64_t bufferSize, TapBlock block) override
    {
        calls << QStringLiteral("installTap %1").arg(bufferSize);
        m_tap = std::move(block);
    }
    void removeTap() override
    {
        calls << "removeTap";
        m_tap = nullptr;
    }
    QCoro::Task<> start() override
    {
        calls << "start";
        if (startError)
            throw PlatformError(*startError);
        running = true;
        co_return;
    }
    void stop() override
    {
        calls << "stop";
        running = false;
    }

    MicrophoneProblem captureLost() const override { return lost; }
    void setCaptureLostHandler(std::function<void()> handler) override { m_lostHandler = std::move(handler); }
    /// The capture ends by itself, as the engine thread would report it.
    void loseCapture(MicrophoneProblem reason)
    {
        lost = reason;
        if (m_lostHandler)
            m_lostHandler();
    }

    bool hasTap() const { return static_cast<bool>(m_tap); }

    /// Hands one buffer of `frames` frames of `value` to the tap, as the engine thread would.
    void deliver(std::int64_t frames, float value = 0.25f, std::optional<double> hostTime = std::nullopt)
    {
        std::vector<float> samples(static_cast<std::size_t>(frames * format.channelCount), value);
        AudioBuffer buffer{format, frames, samples.data(), hostTime};
        if (m_tap)
            m_tap(buffer);
    }

  private:
    TapBlock m_tap;
    std::function<void()> m_lostHandler;
};

} // namespace talvex::test
