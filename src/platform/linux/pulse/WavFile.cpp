#include "WavFile.h"

#include <QFile>
#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

namespace talvex {

namespace {

constexpr std::uint16_t formatPcm = 1;
constexpr std::uint16_t formatFloat = 3;
constexpr std::uint16_t formatExtensible = 0xFFFE;

std::uint32_t le32(const char *p)
{
    const auto *u = reinterpret_cast<const unsigned char *>(p);
    return std::uint32_t(u[0]) | std::uint32_t(u[1]) << 8 | std::uint32_t(u[2]) << 16 |
           std::uint32_t(u[3]) << 24;
}

std::uint16_t le16(const char *p)
{
    const auto *u = reinterpret_cast<const unsigned char *>(p);
    return static_cast<std::uint16_t>(u[0] | u[1] << 8);
}

float sampleAt(const char *p, std::uint16_t encoding, std::uint16_t bits)
{
    if (encoding == formatFloat) {
        // A damaged file can hold NaN or infinity, which would poison the meter and the recogniser;
        // they read as silence. Doubles beyond the float range are clamped, not converted blindly.
        if (bits == 32) {
            float value;
            const std::uint32_t raw = le32(p);
            std::memcpy(&value, &raw, sizeof value);
            return std::isfinite(value) ? value : 0.0f;
        }
        double value;
        const std::uint64_t raw = std::uint64_t(le32(p)) | std::uint64_t(le32(p + 4)) << 32;
        std::memcpy(&value, &raw, sizeof value);
        if (!std::isfinite(value))
            return 0.0f;
        constexpr double largest = std::numeric_limits<float>::max();
        return static_cast<float>(std::clamp(value, -largest, largest));
    }
    const auto *u = reinterpret_cast<const unsigned char *>(p);
    switch (bits) {
    case 8:
        return (static_cast<float>(u[0]) - 128.0f) / 128.0f; // 8-bit WAV is unsigned
    case 16:
        return static_cast<float>(static_cast<std::int16_t>(le16(p))) / 32768.0f;
    case 24: {
        const std::int32_t value =
            static_cast<std::int32_t>(std::uint32_t(u[0]) << 8 | std::uint32_t(u[1]) << 16 |
                                      std::uint32_t(u[2]) << 24) >>
            8;
        return static_cast<float>(value) / 8388608.0f;
    }
    default:
        return static_cast<float>(static_cast<double>(static_cast<std::int32_t>(le32(p))) / 2147483648.0);
    }
}

} // namespace

WavFile::Result WavFile::read(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QStringLiteral("cannot be read: %1.").arg(file.errorString());
    const qint64 size = file.size();
    if (size > maximumFileBytes)
        return QStringLiteral("is too large (%1 MiB; Talvex reads WAV files of up to %2 MiB).")
            .arg((size + (1 << 20) - 1) >> 20)
            .arg(maximumFileBytes >> 20);
    if (size == 0)
        return decode({});
    // Mapped rather than read: the header is judged before any memory is spent on the file.
    uchar *mapped = file.map(0, size);
    if (!mapped) {
        const QByteArray bytes = file.readAll();
        if (file.error() != QFileDevice::NoError)
            return QStringLiteral("cannot be read: %1.").arg(file.errorString());
        return decode(bytes);
    }
    Result result = decode(QByteArray::fromRawData(reinterpret_cast<const char *>(mapped), size));
    file.unmap(mapped);
    return result;
}

WavFile::Result WavFile::decode(const QByteArray &bytes)
{
    if (bytes.isEmpty())
        return QStringLiteral("is empty.");
    if (bytes.size() < 12 || std::memcmp(bytes.constData(), "RIFF", 4) != 0 ||
        std::memcmp(bytes.constData() + 8, "WAVE", 4) != 0)
        return QStringLiteral("is not a WAV audio file.");

    const char *data = bytes.constData();
    const auto size = static_cast<std::uint64_t>(bytes.size());
    std::uint64_t offset = 12;
    bool haveFormat = false;
    std::uint16_t encoding = 0, channels = 0, bits = 0, blockAlign = 0;
    std::uint32_t rate = 0;
    while (offset + 8 <= size) {
        const char *chunk = data + offset;
        const std::uint32_t chunkSize = le32(chunk + 4);
        const std::uint64_t body = offset + 8;
        if (std::memcmp(chunk, "fmt ", 4) == 0) {
            if (chunkSize < 16 || body + chunkSize > size)
                return QStringLiteral("is truncated (its format header is incomplete).");
            encoding = le16(data + body);
            channels = le16(data + body + 2);
            rate = le32(data + body + 4);
            blockAlign = le16(data + body + 12);
            bits = le16(data + body + 14);
            if (encoding == formatExtensible) {
                if (chunkSize < 40)
                    return QStringLiteral("is truncated (its format header is incomplete).");
                encoding = le16(data + body + 24); // the sub-format GUID starts with the plain code
            }
            haveFormat = true;
        } else if (std::memcmp(chunk, "data", 4) == 0) {
            if (!haveFormat)
                return QStringLiteral("is not a usable WAV file (audio data comes before its format).");
            const bool pcm = encoding == formatPcm && (bits == 8 || bits == 16 || bits == 24 || bits == 32);
            const bool floating = encoding == formatFloat && (bits == 32 || bits == 64);
            if (!pcm && !floating)
                return QStringLiteral(
                    "uses an audio encoding that is not supported (only PCM and float WAV).");
            if (channels == 0 || rate == 0 || blockAlign != channels * (bits / 8))
                return QStringLiteral("has an invalid audio format header.");
            if (rate < minimumSampleRate || rate > maximumSampleRate)
                return QStringLiteral("has an implausible sample rate (%1 Hz).").arg(rate);
            if (channels > maximumChannels)
                return QStringLiteral("has too many channels (%1; at most %2).").arg(channels).arg(maximumChannels);
            std::uint64_t length = chunkSize;
            // Streamed writers leave the size open; take what is there.
            if (chunkSize == 0xFFFFFFFFu || (chunkSize == 0 && size > body))
                length = size - body;
            else if (body + length > size)
                return QStringLiteral("is truncated (%1 of %2 bytes of audio present).")
                    .arg(size - body)
                    .arg(length);
            const std::uint64_t frames = length / blockAlign;
            if (frames == 0)
                return QStringLiteral("contains no audio.");
            if (frames * channels > maximumSamples)
                return QStringLiteral("holds more audio than Talvex transcribes at once (%1 minutes of this "
                                      "format).")
                    .arg(maximumSamples / channels / rate / 60);
            WavAudio audio;
            audio.format = AudioFormat{static_cast<double>(rate), channels};
            audio.samples.resize(static_cast<std::size_t>(frames * channels));
            const std::size_t width = bits / 8;
            const char *p = data + body;
            for (std::size_t i = 0; i < audio.samples.size(); ++i, p += width)
                audio.samples[i] = sampleAt(p, encoding, bits);
            return audio;
        }
        offset = body + chunkSize + (chunkSize & 1); // chunks are padded to even sizes
    }
    return haveFormat ? QStringLiteral("contains no audio.")
                      : QStringLiteral("is not a usable WAV file (no format header).");
}

} // namespace talvex
