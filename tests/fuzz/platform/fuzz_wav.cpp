// WAV reader: any bytes either fail with a sentence or decode within the limits, to finite samples,
// and never to more samples than the bytes can hold.
#include "WavFile.h"

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <variant>

using namespace talvex;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char *>(data), qsizetype(size));
    const WavFile::Result result = WavFile::decode(bytes);
    if (const auto *problem = std::get_if<QString>(&result)) {
        if (problem->isEmpty() || !problem->endsWith(QLatin1Char('.')))
            std::abort(); // every refusal is a sentence
        return 0;
    }
    const WavAudio &audio = std::get<WavAudio>(result);
    const auto channels = audio.format.channelCount;
    if (channels < 1 || channels > WavFile::maximumChannels)
        std::abort();
    if (audio.format.sampleRate < WavFile::minimumSampleRate ||
        audio.format.sampleRate > WavFile::maximumSampleRate)
        std::abort();
    if (audio.samples.empty() || audio.samples.size() % std::size_t(channels) != 0)
        std::abort();                // whole frames only
    if (audio.samples.size() > size) // at least one byte per sample in the file
        std::abort();
    // Float files may hold any value a float can, but never one that is not a number.
    for (const float sample : audio.samples) {
        if (!std::isfinite(sample))
            std::abort();
    }
    return 0;
}
