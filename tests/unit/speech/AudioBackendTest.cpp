// The pure parts of the audio backends: WAV decoding and the libsoxr converter.
#include "SoxrConverter.h"
#include "WavFile.h"

#include <QByteArray>
#include <QFile>
#include <QTemporaryDir>
#include <cmath>
#include <cstring>
#include <limits>
#include <gtest/gtest.h>

#include <sys/resource.h>

using namespace talvex;

namespace {

void put16(QByteArray &bytes, std::uint16_t value)
{
    bytes.append(char(value & 0xFF));
    bytes.append(char(value >> 8));
}

void put32(QByteArray &bytes, std::uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        bytes.append(char((value >> (8 * i)) & 0xFF));
}

// A WAV file with `payload` as its data chunk; `declared` overrides the data size in the header.
QByteArray wav(std::uint16_t encoding, std::uint16_t channels, std::uint32_t rate, std::uint16_t bits,
               const QByteArray &payload, std::optional<std::uint32_t> declared = {}, bool extensible = false)
{
    QByteArray bytes("RIFF");
    put32(bytes, 0); // writers often leave this wrong; it is not relied on
    bytes.append("WAVE");
    bytes.append("LIST");
    put32(bytes, 3); // an odd-sized chunk before the format, padded to even
    bytes.append("abc\0", 4);
    bytes.append("fmt ");
    put32(bytes, extensible ? 40 : 16);
    put16(bytes, extensible ? 0xFFFE : encoding);
    put16(bytes, channels);
    put32(bytes, rate);
    put32(bytes, rate * channels * bits / 8);
    put16(bytes, std::uint16_t(channels * bits / 8));
    put16(bytes, bits);
    if (extensible) {
        put16(bytes, 22);
        put16(bytes, bits);
        put32(bytes, 0);
        put16(bytes, encoding); // the sub-format GUID starts with the plain code
        bytes.append(QByteArray(14, '\0'));
    }
    bytes.append("data");
    put32(bytes, declared.value_or(std::uint32_t(payload.size())));
    bytes.append(payload);
    return bytes;
}

QByteArray int16Samples(std::initializer_list<std::int16_t> samples)
{
    QByteArray bytes;
    for (auto s : samples)
        put16(bytes, std::uint16_t(s));
    return bytes;
}

const WavAudio &audioOf(const WavFile::Result &result)
{
    if (const auto *problem = std::get_if<QString>(&result))
        ADD_FAILURE() << problem->toStdString();
    return std::get<WavAudio>(result);
}

QString problemOf(const WavFile::Result &result)
{
    const auto *problem = std::get_if<QString>(&result);
    return problem ? *problem : QString();
}

} // namespace

TEST(WavFileTest, DecodesEveryCommonEncodingToFloat)
{
    const auto pcm16 = WavFile::decode(wav(1, 2, 44100, 16, int16Samples({0, 16384, -32768, 32767})));
    const auto &audio = audioOf(pcm16);
    EXPECT_EQ(audio.format, (AudioFormat{44100, 2}));
    EXPECT_EQ(audio.frameCount(), 2);
    EXPECT_FLOAT_EQ(audio.samples[1], 0.5f);
    EXPECT_FLOAT_EQ(audio.samples[2], -1.0f);

    const auto pcm8 = WavFile::decode(wav(1, 1, 8000, 8, QByteArray("\x80\xC0\x00", 3)));
    EXPECT_FLOAT_EQ(audioOf(pcm8).samples[0], 0.0f); // 8-bit is unsigned, centred on 128
    EXPECT_FLOAT_EQ(audioOf(pcm8).samples[1], 0.5f);
    EXPECT_FLOAT_EQ(audioOf(pcm8).samples[2], -1.0f);

    const auto pcm24 = WavFile::decode(wav(1, 1, 48000, 24, QByteArray("\x00\x00\xC0\xFF\xFF\x7F", 6)));
    EXPECT_FLOAT_EQ(audioOf(pcm24).samples[0], -0.5f);
    EXPECT_NEAR(audioOf(pcm24).samples[1], 1.0f, 1e-6);

    QByteArray floats;
    const float values[] = {0.25f, -0.75f};
    floats.append(reinterpret_cast<const char *>(values), sizeof values);
    const auto float32 = WavFile::decode(wav(3, 1, 16000, 32, floats, {}, true));
    EXPECT_FLOAT_EQ(audioOf(float32).samples[1], -0.75f);

    const auto streamed = WavFile::decode(wav(1, 1, 16000, 16, int16Samples({1, 2, 3}), 0xFFFFFFFFu));
    EXPECT_EQ(audioOf(streamed).frameCount(), 3);

    // Values that are not numbers read as silence; doubles beyond the float range are clamped.
    const float odd[] = {std::numeric_limits<float>::quiet_NaN(), -std::numeric_limits<float>::infinity(), 2.5f};
    const auto oddFloats =
        WavFile::decode(wav(3, 1, 16000, 32, QByteArray(reinterpret_cast<const char *>(odd), sizeof odd)));
    EXPECT_EQ(audioOf(oddFloats).samples, (std::vector<float>{0.0f, 0.0f, 2.5f}));
    const double wide[] = {1e300, std::numeric_limits<double>::quiet_NaN()};
    const auto wideDoubles =
        WavFile::decode(wav(3, 1, 16000, 64, QByteArray(reinterpret_cast<const char *>(wide), sizeof wide)));
    EXPECT_EQ(audioOf(wideDoubles).samples, (std::vector<float>{std::numeric_limits<float>::max(), 0.0f}));
}

TEST(WavFileTest, BadFilesSayWhatIsWrong)
{
    EXPECT_EQ(problemOf(WavFile::decode({})), "is empty.");
    EXPECT_EQ(problemOf(WavFile::decode("hello, this is text, not audio")), "is not a WAV audio file.");
    EXPECT_EQ(problemOf(WavFile::decode(wav(1, 1, 16000, 16, int16Samples({1, 2}), 4000))),
              "is truncated (4 of 4000 bytes of audio present).");
    EXPECT_EQ(problemOf(WavFile::decode(wav(1, 1, 16000, 16, {}))), "contains no audio.");
    EXPECT_TRUE(
        problemOf(WavFile::decode(wav(2, 1, 16000, 4, QByteArray(8, 'x')))).contains("not supported"));
    EXPECT_EQ(problemOf(WavFile::decode(wav(1, 0, 16000, 16, QByteArray(8, 'x')))),
              "has an invalid audio format header.");
    QByteArray cut = wav(1, 1, 16000, 16, int16Samples({1, 2}));
    cut.truncate(40); // inside the format chunk
    EXPECT_TRUE(problemOf(WavFile::decode(cut)).startsWith("is truncated"));
    EXPECT_TRUE(problemOf(WavFile::read("/nonexistent/talvex.wav")).startsWith("cannot be read"));
}

TEST(WavFileTest, AbsurdHeadersAreRefusedBeforeAnythingIsAllocated)
{
    const struct {
        QByteArray file;
        QString problem;
    } cases[] = {
        {wav(1, 1, 1, 16, int16Samples({1, 2})), "has an implausible sample rate (1 Hz)."},
        {wav(1, 1, 3999, 16, int16Samples({1, 2})), "has an implausible sample rate (3999 Hz)."},
        {wav(3, 1, 4000000000u, 32, QByteArray(8, '\0')), "has an implausible sample rate (4000000000 Hz)."},
        {wav(1, 64, 16000, 16, QByteArray(256, '\0')), "has too many channels (64; at most 32)."},
        // A block size that disagrees with channels and bits, as a wrapped 16-bit product would.
        {wav(1, 40000, 16000, 16, QByteArray(8, '\0')), "has an invalid audio format header."},
    };
    for (const auto &c : cases)
        EXPECT_EQ(problemOf(WavFile::decode(c.file)), c.problem) << c.problem.toStdString();

    // The extremes that are still recordings decode.
    EXPECT_EQ(audioOf(WavFile::decode(wav(1, 32, 384000, 16, QByteArray(64, '\0')))).frameCount(), 1);
    EXPECT_EQ(audioOf(WavFile::decode(wav(1, 1, 4000, 8, QByteArray(3, '\x80')))).frameCount(), 3);
}

TEST(WavFileTest, HugeFilesAreJudgedBeforeTheyAreRead)
{
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    // Sparse files: their size is real to the reader but costs no disk.
    const QString tooBig = folder.filePath(QStringLiteral("too-big.wav"));
    {
        QFile file(tooBig);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(wav(1, 1, 16000, 16, int16Samples({1}), 0xFFFFFFFFu));
        ASSERT_TRUE(file.resize(WavFile::maximumFileBytes + 1));
    }
    // 8-bit mono, size left open: more samples than are decoded at once, in a file under the size
    // limit. Only the header is touched.
    const QString tooLong = folder.filePath(QStringLiteral("too-long.wav"));
    {
        QFile file(tooLong);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        const QByteArray header = wav(1, 1, 16000, 8, {}, 0xFFFFFFFFu);
        file.write(header);
        ASSERT_TRUE(file.resize(header.size() + qint64(WavFile::maximumSamples) + 1));
    }

    rusage before{};
    ::getrusage(RUSAGE_SELF, &before);
    EXPECT_EQ(problemOf(WavFile::read(tooBig)),
              "is too large (1025 MiB; Talvex reads WAV files of up to 1024 MiB).");
    EXPECT_EQ(problemOf(WavFile::read(tooLong)),
              "holds more audio than Talvex transcribes at once (279 minutes of this format).");
    rusage after{};
    ::getrusage(RUSAGE_SELF, &after);
    EXPECT_LT(after.ru_maxrss - before.ru_maxrss, 64 * 1024) << "kilobytes of peak memory spent on refusing";
}

TEST(SoxrConverterTest, ResamplesToMonoAcrossBuffersAndRejectsImpossibleFormats)
{
    EXPECT_FALSE(SoxrConverter::create({0, 1}, {16000, 1}));
    EXPECT_FALSE(SoxrConverter::create({48000, 2}, {16000, 3}));
    auto converter = SoxrConverter::create({48000, 2}, {16000, 1});
    ASSERT_TRUE(converter);

    // A 1 kHz tone on the left only: the mono mix keeps it at half amplitude.
    std::int64_t produced = 0;
    double energy = 0;
    std::vector<float> stereo(2048 * 2);
    for (int block = 0; block < 8; ++block) {
        for (int i = 0; i < 2048; ++i) {
            const double t = double(block * 2048 + i) / 48000.0;
            stereo[2 * i] = float(std::sin(2 * M_PI * 1000 * t));
            stereo[2 * i + 1] = 0.0f;
        }
        AudioBuffer buffer{{48000, 2}, 2048, stereo.data(), 0.0};
        auto output = PcmBuffer::make({16000, 1}, 683 + 16);
        ASSERT_TRUE(output);
        const AudioBuffer *held = &buffer;
        std::optional<QString> error;
        int pulls = 0;
        const auto status = converter->convert(
            *output,
            [&](ConverterInputStatus &s) -> const AudioBuffer * {
                ++pulls;
                s = held ? ConverterInputStatus::haveData : ConverterInputStatus::noDataNow;
                return std::exchange(held, nullptr);
            },
            error);
        EXPECT_FALSE(error);
        EXPECT_EQ(status, ConverterOutputStatus::haveData);
        EXPECT_EQ(pulls, 2);
        EXPECT_LE(output->frameLength, output->frameCapacity);
        for (std::int64_t i = 0; i < output->frameLength; ++i)
            if (produced + i > 2000) // past the filter's start-up
                energy += double(output->samples[std::size_t(i)]) * output->samples[std::size_t(i)];
        produced += output->frameLength;
    }
    // 8 x 2048 frames at 48 kHz are 5461 frames at 16 kHz; the filter holds a little back.
    EXPECT_GT(produced, 5461 - 400);
    EXPECT_LE(produced, 5462);
    const double rms = std::sqrt(energy / double(produced - 2001));
    EXPECT_NEAR(rms, 0.5 / std::sqrt(2.0), 0.02);
}
