#include "speech/AudioTap.h"

#include "AudioEngineDouble.h"
#include "PlatformError.h"
#include "speech/TalvexError.h"

#include <gtest/gtest.h>
#include <vector>

using namespace talvex;
using talvex::test::AudioConverterDouble;

namespace {

struct TapRig {
    explicit TapRig(bool withMeter = true, AudioFormat inputFormat = {48000, 1}, std::size_t queue = 128)
        : input(inputFormat), stream(std::make_shared<AnalyzerInputStream>(queue))
    {
        auto converterOwned = std::make_unique<AudioConverterDouble>(script);
        converter = converterOwned.get();
        AudioTap::Meter meter;
        if (withMeter)
            meter = [this](const WaveformFrame &frame) { frames.push_back(frame); };
        tap = std::make_unique<AudioTap>(std::move(converterOwned), AudioFormat{16000, 1}, stream, meter,
                                         MicrophoneWaveform(input.sampleRate), [] { return 50.0; });
    }

    void deliver(std::int64_t count, std::optional<double> hostTime = 1.0, bool floatLayout = true)
    {
        std::vector<float> samples(static_cast<std::size_t>(count * input.channelCount), 0.5f);
        tap->convert(AudioBuffer{input, count, floatLayout ? samples.data() : nullptr, hostTime});
    }

    // The error the stream ended with, read past any queued buffers.
    std::exception_ptr endError()
    {
        while (auto element = stream->tryPop()) {
            if (auto *error = std::get_if<std::exception_ptr>(&*element))
                return *error;
            if (std::holds_alternative<AnalyzerInputStream::End>(*element))
                return nullptr;
        }
        return nullptr;
    }

    AudioFormat input;
    std::shared_ptr<AudioConverterDouble::Script> script = std::make_shared<AudioConverterDouble::Script>();
    AudioConverterDouble *converter = nullptr;
    std::shared_ptr<AnalyzerInputStream> stream;
    std::vector<WaveformFrame> frames;
    std::unique_ptr<AudioTap> tap;
};

std::optional<TalvexError> talvexErrorOf(std::exception_ptr error)
{
    try {
        if (error)
            std::rethrow_exception(error);
    } catch (const TalvexException &e) {
        return e.error();
    } catch (...) {
    }
    return std::nullopt;
}

} // namespace

TEST(AudioTapTest, CapacityLeavesRoomForHeldBackFrames)
{
    EXPECT_EQ(AudioTap::outputCapacity(16000, 2048, 48000), 683u + 16u);
    EXPECT_EQ(AudioTap::outputCapacity(16000, 2048, 44100), 744u + 16u); // 743.04 rounds up
    EXPECT_EQ(AudioTap::outputCapacity(16000, 0, 48000), 16u);
}

TEST(AudioTapTest, EachBufferIsMeteredThenConvertedOnceAndQueued)
{
    TapRig rig;
    rig.deliver(2048, 2.0);
    EXPECT_EQ(rig.converter->calls, 1);
    EXPECT_EQ(rig.converter->buffersPulled, 1);
    EXPECT_EQ(rig.converter->lastInputStatus, ConverterInputStatus::noDataNow);
    ASSERT_EQ(rig.stream->pending(), 1u);
    auto element = rig.stream->tryPop();
    auto &queued = std::get<PcmBuffer>(*element);
    EXPECT_EQ(queued.frameCapacity, 699);
    EXPECT_EQ(queued.frameLength, 683);
    EXPECT_EQ(queued.format, (AudioFormat{16000, 1}));
    // 2048 samples complete three 672-sample columns: one frame, timed from the buffer's host time.
    ASSERT_EQ(rig.frames.size(), 1u);
    EXPECT_DOUBLE_EQ(*rig.frames[0].newestTime, 2.035);
}

TEST(AudioTapTest, MeterUsesChannelZeroAndFallsBackToNowForUntimedBuffers)
{
    TapRig rig(true, {48000, 2});
    rig.deliver(2016, std::nullopt); // taken to have just ended at host time 50
    ASSERT_EQ(rig.frames.size(), 1u);
    EXPECT_DOUBLE_EQ(*rig.frames[0].newestTime, 50.0 - 2016.0 / 48000.0 + 0.035);
    EXPECT_EQ(rig.tap->waveform().columnsWritten(), 3); // stride 2: 2016 frames, not 4032 samples
}

TEST(AudioTapTest, WithoutMeterOrFloatDataOnlyTheMeterIsSkipped)
{
    TapRig silent(false);
    silent.deliver(4096);
    EXPECT_TRUE(silent.frames.empty());
    EXPECT_FALSE(silent.tap->waveform().firstSampleTime());
    EXPECT_EQ(silent.stream->pending(), 1u);

    TapRig noFloat;
    noFloat.deliver(4096, 1.0, false);
    EXPECT_TRUE(noFloat.frames.empty());
    EXPECT_FALSE(noFloat.tap->waveform().firstSampleTime());
    EXPECT_EQ(noFloat.converter->buffersPulled, 1); // still converted (the double yields nothing)
}

TEST(AudioTapTest, ConverterOutcomesDecideInOrder)
{
    { // an error object wins over the error status and passes through unchanged
        TapRig rig;
        rig.script->error = QStringLiteral("resampler broke");
        rig.script->status = ConverterOutputStatus::error;
        rig.deliver(2048);
        EXPECT_EQ(rig.frames.size(), 1u); // metered first, even though conversion failed
        try {
            std::rethrow_exception(rig.endError());
        } catch (const PlatformError &e) {
            EXPECT_EQ(e.description(), "resampler broke");
        } catch (...) {
            ADD_FAILURE() << "expected the converter's own error";
        }
    }
    { // the error status without an object is microphoneInput
        TapRig rig;
        rig.script->status = ConverterOutputStatus::error;
        rig.deliver(2048);
        EXPECT_EQ(talvexErrorOf(rig.endError()), TalvexError::microphoneInput);
    }
    { // zero frames: nothing queued, nothing raised
        TapRig rig;
        rig.script->produceNothing = true;
        rig.deliver(2048);
        EXPECT_EQ(rig.stream->pending(), 0u);
        EXPECT_FALSE(rig.stream->hasEnded());
    }
    { // input ran dry with data is a normal outcome
        TapRig rig;
        rig.script->status = ConverterOutputStatus::inputRanDry;
        rig.deliver(2048);
        EXPECT_EQ(rig.stream->pending(), 1u);
    }
}

TEST(AudioTapTest, FullQueueKeepsTheOldestAndEndsWithOverrun)
{
    TapRig rig(true, {48000, 1}, 128);
    for (int i = 0; i < 128; ++i)
        rig.deliver(2048);
    EXPECT_EQ(rig.stream->pending(), 128u);
    EXPECT_FALSE(rig.stream->hasEnded());

    rig.deliver(2048); // the 129th is dropped and ends the stream
    EXPECT_TRUE(rig.stream->hasEnded());
    EXPECT_EQ(rig.stream->pending(), 128u);

    const auto framesBefore = rig.frames.size();
    rig.deliver(2048); // the tap keeps running; the ended stream ignores its buffers
    EXPECT_GT(rig.frames.size(), framesBefore);
    EXPECT_EQ(rig.converter->calls, 130);
    EXPECT_EQ(rig.stream->pending(), 128u);

    int buffers = 0;
    std::exception_ptr error;
    while (auto element = rig.stream->tryPop()) {
        if (std::holds_alternative<PcmBuffer>(*element)) {
            ++buffers;
            continue;
        }
        error = std::get<std::exception_ptr>(*element);
        break;
    }
    EXPECT_EQ(buffers, 128);
    EXPECT_EQ(talvexErrorOf(error), TalvexError::audioOverrun);
}
