// The recording kept for the server and the form it travels in.
#include "ReceivedForm.h"
#include "RecordedAudio.h"
#include "TranscriptionForm.h"

#include <cmath>
#include <gtest/gtest.h>

using namespace talvex;
using namespace talvex::test;

namespace {

PcmBuffer buffer(AudioFormat format, std::vector<float> samples, std::int64_t validFrames = -1)
{
    PcmBuffer made;
    made.format = format;
    made.frameCapacity = std::int64_t(samples.size()) / format.channelCount;
    made.frameLength = validFrames < 0 ? made.frameCapacity : validFrames;
    made.samples = std::move(samples);
    return made;
}

constexpr AudioFormat mono16k{16000, 1};

} // namespace

TEST(RecordingTest, KeepsTheValidFramesAsSixteenBitPcmInAPlainWavFile)
{
    RecordedAudio audio(60);
    audio.append(buffer(mono16k, {0.0f, 0.5f, -0.5f, 1.0f, -1.0f, 2.0f, -2.0f, NAN}));
    audio.append(buffer(mono16k, {0.25f, 0.75f, 0.9f}, 1)); // only the first frame is valid
    audio.append(buffer(mono16k, {}, 0));
    ASSERT_EQ(audio.unusableReason(), nullptr);
    EXPECT_EQ(audio.frames(), 9);

    const auto wav = readWav(audio.wav());
    ASSERT_TRUE(wav);
    EXPECT_EQ(wav->riff, "RIFF");
    EXPECT_EQ(wav->wave, "WAVE");
    EXPECT_EQ(wav->fmt, "fmt ");
    EXPECT_EQ(wav->data, "data");
    EXPECT_EQ(wav->fmtSize, 16u);
    EXPECT_EQ(wav->encoding, 1u);
    EXPECT_EQ(wav->channels, 1u);
    EXPECT_EQ(wav->rate, 16000u);
    EXPECT_EQ(wav->byteRate, 32000u);
    EXPECT_EQ(wav->blockAlign, 2u);
    EXPECT_EQ(wav->bits, 16u);
    EXPECT_EQ(wav->dataSize, 18u);
    EXPECT_EQ(wav->riffSize, 36u + 18u);
    EXPECT_EQ(wav->fileSize, 44 + 18);
    // Rounded to the nearest step, clipped at full scale, silence for a sample that is not a number.
    EXPECT_EQ(wav->samples,
              (std::vector<std::int16_t>{0, 16384, -16384, 32767, -32767, 32767, -32768, 0, 8192}));

    RecordedAudio stereo(60);
    stereo.append(buffer({44100, 2}, {0.5f, -0.5f, 0.25f, -0.25f}));
    const auto interleaved = readWav(stereo.wav());
    EXPECT_EQ(stereo.frames(), 2);
    EXPECT_EQ(interleaved->channels, 2u);
    EXPECT_EQ(interleaved->rate, 44100u);
    EXPECT_EQ(interleaved->byteRate, 44100u * 4u);
    EXPECT_EQ(interleaved->blockAlign, 4u);
    EXPECT_EQ(interleaved->samples, (std::vector<std::int16_t>{16384, -16384, 8192, -8192}));
}

TEST(RecordingTest, TooMuchAudioOrAChangedFormatIsNeverSentCutOrMixed)
{
    RecordedAudio tooLong(0.001); // 16 frames at 16 kHz
    tooLong.append(buffer(mono16k, std::vector<float>(16, 0.1f)));
    EXPECT_EQ(tooLong.unusableReason(), nullptr);
    tooLong.append(buffer(mono16k, {0.1f}));
    EXPECT_NE(tooLong.unusableReason(), nullptr);
    EXPECT_EQ(tooLong.frames(), 0) << "nothing is kept once it cannot be sent";

    RecordedAudio changed(60);
    changed.append(buffer(mono16k, {0.1f}));
    changed.append(buffer({8000, 1}, {0.1f}));
    EXPECT_NE(changed.unusableReason(), nullptr);
    changed.append(buffer(mono16k, {0.1f}));
    EXPECT_NE(changed.unusableReason(), nullptr) << "it stays unusable";
}

TEST(RecordingTest, LanguageIsTheLocalesTwoLetterCode)
{
    const std::pair<const char *, const char *> cases[] = {
        {"en-US", "en"}, {"en_GB.UTF-8", "en"}, {"de", "de"}, {"FR-ca", "fr"}, {"pt_BR@latin", "pt"},
        {"deu", "de"},   {"fil-PH", ""},        {"", ""},     {"C", ""},       {"zz-ZZ", ""},
    };
    for (const auto &[locale, code] : cases)
        EXPECT_EQ(TranscriptionForm::languageOf(QString::fromLatin1(locale)), QString::fromLatin1(code))
            << locale;
}

TEST(RecordingTest, PromptIsTheFirstHundredHintsWithoutBlanks)
{
    QStringList hints{QStringLiteral(" Talvex "), QString(), QStringLiteral("Quindlark  Ltd"),
                      QStringLiteral("  ")};
    for (int i = 0; i < 120; ++i)
        hints << QStringLiteral("w%1").arg(i);
    const QString prompt = TranscriptionForm::promptFor(hints);
    EXPECT_TRUE(prompt.startsWith(QStringLiteral("Talvex, Quindlark Ltd, w0, w1, ")));
    EXPECT_EQ(prompt.split(QStringLiteral(", ")).size(), 100);
    EXPECT_TRUE(TranscriptionForm::promptFor({}).isEmpty());
}
