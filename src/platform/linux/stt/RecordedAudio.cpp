#include "RecordedAudio.h"

#include <QtEndian>
#include <algorithm>
#include <cmath>
#include <cstring>

namespace talvex {

namespace {

std::int16_t toPcm16(float sample)
{
    if (std::isnan(sample))
        return 0;
    const float scaled = std::nearbyint(sample * 32767.0f);
    return static_cast<std::int16_t>(std::clamp(scaled, -32768.0f, 32767.0f));
}

void put32(char *at, std::uint32_t value)
{
    qToLittleEndian(value, at);
}

void put16(char *at, std::uint16_t value)
{
    qToLittleEndian(value, at);
}

} // namespace

void RecordedAudio::append(const PcmBuffer &buffer)
{
    if (m_unusable || buffer.frameLength <= 0)
        return;
    if (m_samples.empty() && m_format.channelCount == 0)
        m_format = buffer.format;
    if (!(buffer.format == m_format) || m_format.channelCount <= 0 || !(m_format.sampleRate > 0)) {
        m_unusable = "the audio format changed during the dictation";
        m_samples = {};
        return;
    }
    const auto count =
        static_cast<std::size_t>(buffer.frameLength) * static_cast<std::size_t>(m_format.channelCount);
    const double seconds =
        double(m_samples.size() + count) / double(m_format.channelCount) / m_format.sampleRate;
    if (count > buffer.samples.size() || seconds > m_maximumSeconds) {
        m_unusable = count > buffer.samples.size()
                         ? "a buffer claimed more audio than it held"
                         : "the dictation is longer than a transcription request takes";
        m_samples = {};
        return;
    }
    m_samples.reserve(m_samples.size() + count);
    std::transform(buffer.samples.begin(), buffer.samples.begin() + std::ptrdiff_t(count),
                   std::back_inserter(m_samples), toPcm16);
}

std::int64_t RecordedAudio::frames() const
{
    return m_format.channelCount > 0 ? std::int64_t(m_samples.size()) / m_format.channelCount : 0;
}

QByteArray RecordedAudio::wav() const
{
    constexpr int headerSize = 44;
    const auto channels = static_cast<std::uint16_t>(std::max(1, m_format.channelCount));
    const auto rate =
        static_cast<std::uint32_t>(std::lround(m_format.sampleRate > 0 ? m_format.sampleRate : 16000));
    const auto dataSize = static_cast<std::uint32_t>(m_samples.size() * sizeof(std::int16_t));

    QByteArray file(qsizetype(headerSize + dataSize), Qt::Uninitialized);
    char *at = file.data();
    std::memcpy(at, "RIFF", 4);
    put32(at + 4, 36 + dataSize);
    std::memcpy(at + 8, "WAVEfmt ", 8);
    put32(at + 16, 16); // size of the fmt chunk
    put16(at + 20, 1);  // PCM
    put16(at + 22, channels);
    put32(at + 24, rate);
    put32(at + 28, rate * channels * 2); // bytes per second
    put16(at + 32, std::uint16_t(channels * 2));
    put16(at + 34, 16); // bits per sample
    std::memcpy(at + 36, "data", 4);
    put32(at + 40, dataSize);
    char *data = at + headerSize;
    if constexpr (Q_BYTE_ORDER == Q_LITTLE_ENDIAN) {
        if (dataSize > 0)
            std::memcpy(data, m_samples.data(), dataSize);
    } else {
        for (std::size_t i = 0; i < m_samples.size(); ++i)
            qToLittleEndian(m_samples[i], data + 2 * i);
    }
    return file;
}

} // namespace talvex
