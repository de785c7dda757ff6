// Speech played into the private null sink arrives at a recording client of the default source (the
// sink's monitor) as real, non-silent audio; with nothing playing, that source is silent. Every
// microphone test relies on this path.
#include <QDir>
#include <QProcess>

#include <pulse/error.h>
#include <pulse/simple.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <memory>

namespace talvex::test {
namespace {

constexpr int kRate = 16000;
constexpr int kChunkFrames = kRate / 10; // 100 ms of mono audio per read

struct SimpleDeleter {
    void operator()(pa_simple *stream) const { pa_simple_free(stream); }
};

struct Level {
    float peak = 0;
    float rms = 0;
};

/// A mono float recording of the default source, read 100 ms at a time.
class Recorder final {
public:
    Recorder()
    {
        const pa_sample_spec sampleSpec{PA_SAMPLE_FLOAT32LE, kRate, 1};
        pa_buffer_attr attributes{};
        attributes.maxlength = static_cast<uint32_t>(-1);
        attributes.fragsize = kChunkFrames * sizeof(float);
        m_stream.reset(pa_simple_new(nullptr, "talvex-harness-test", PA_STREAM_RECORD, nullptr, "capture",
                                     &sampleSpec, nullptr, &attributes, &m_error));
    }

    bool ready() const { return m_stream != nullptr; }
    const char *error() const { return pa_strerror(m_error); }

    /// Blocks for the next 100 ms of audio; false when the stream broke.
    bool readChunk(Level &level)
    {
        std::array<float, kChunkFrames> samples{};
        if (pa_simple_read(m_stream.get(), samples.data(), sizeof samples, &m_error) < 0)
            return false;
        double sum = 0;
        level = {};
        for (float sample : samples) {
            level.peak = std::max(level.peak, std::fabs(sample));
            sum += double(sample) * sample;
        }
        level.rms = float(std::sqrt(sum / samples.size()));
        return true;
    }

private:
    std::unique_ptr<pa_simple, SimpleDeleter> m_stream;
    int m_error = 0;
};

QString speechFile()
{
    return QDir(qEnvironmentVariable("TALVEX_TEST_TMP")).filePath(QStringLiteral("speech.wav"));
}

/// Speaks `text` with the voice the recogniser understands best into a WAV file.
bool synthesize(const QString &text, const QString &path)
{
    QProcess flite;
    flite.start(QStringLiteral("flite"), {QStringLiteral("-voice"), QStringLiteral("kal16"), QStringLiteral("-t"),
                                          text, QStringLiteral("-o"), path});
    return flite.waitForFinished(60000) && flite.exitStatus() == QProcess::NormalExit && flite.exitCode() == 0;
}

TEST(SoundPath, DefaultSourceIsSilentWhileNothingPlays)
{
    Recorder recorder;
    ASSERT_TRUE(recorder.ready()) << recorder.error();
    for (int chunk = 0; chunk < 5; ++chunk) {
        Level level;
        ASSERT_TRUE(recorder.readChunk(level)) << recorder.error();
        EXPECT_LT(level.peak, 1e-4f) << "noise on the private source in chunk " << chunk;
    }
}

TEST(SoundPath, SpeechPlayedIntoTheNullSinkArrivesAtTheDefaultSource)
{
    const QString sink = qEnvironmentVariable("TALVEX_TEST_SINK");
    ASSERT_FALSE(sink.isEmpty()) << "TALVEX_TEST_SINK is not set";
    ASSERT_TRUE(synthesize(QStringLiteral("please type this sentence for me"), speechFile()));

    Recorder recorder; // recording before playback starts, so no speech is missed
    ASSERT_TRUE(recorder.ready()) << recorder.error();
    QProcess player;
    player.start(QStringLiteral("paplay"), {QStringLiteral("--device=") + sink, speechFile()});
    ASSERT_TRUE(player.waitForStarted(30000));

    // Read until a third of a second of speech has arrived; the bound is in audio read, i.e. the
    // stream's own clock, and only keeps a broken path from hanging the test.
    int loudChunks = 0;
    float loudest = 0;
    for (int chunk = 0; chunk < 300 && loudChunks < 3; ++chunk) {
        Level level;
        ASSERT_TRUE(recorder.readChunk(level)) << recorder.error();
        loudest = std::max(loudest, level.peak);
        if (level.rms > 0.01f)
            ++loudChunks;
    }
    EXPECT_GE(loudChunks, 3) << "loudest sample " << loudest;
    EXPECT_GT(loudest, 0.05f);

    ASSERT_TRUE(player.waitForFinished(60000));
    EXPECT_EQ(player.exitCode(), 0) << player.readAllStandardError().toStdString();
}

} // namespace
} // namespace talvex::test
