#include "speech/MicrophoneWaveform.h"

#include <cmath>
#include <gtest/gtest.h>
#include <limits>
#include <vector>

using namespace talvex;

namespace {

std::vector<float> ramp(std::size_t count, float start, float step)
{
    std::vector<float> samples(count);
    for (std::size_t i = 0; i < count; ++i)
        samples[i] = start + step * static_cast<float>(i);
    return samples;
}

} // namespace

TEST(MicrophoneWaveformTest, ColumnWidthFollowsTheSampleRate)
{
    MicrophoneWaveform at48k(48000);
    EXPECT_EQ(at48k.framesPerColumn(), 672);
    EXPECT_DOUBLE_EQ(at48k.columnDuration(), 0.014);

    MicrophoneWaveform at44k(44100); // 617.4 rounds to 617; the duration is that of the rounded column
    EXPECT_EQ(at44k.framesPerColumn(), 617);
    EXPECT_DOUBLE_EQ(at44k.columnDuration(), 617.0 / 44100.0);

    MicrophoneWaveform half(250); // 3.5 rounds away from zero
    EXPECT_EQ(half.framesPerColumn(), 4);

    for (double rate : {1.0, 50.0, 100.0}) { // 0.014, 0.7 and 1.4 all give one sample per column
        MicrophoneWaveform tiny(rate);
        EXPECT_EQ(tiny.framesPerColumn(), 1) << rate;
        EXPECT_DOUBLE_EQ(tiny.columnDuration(), 1.0 / rate);
    }
}

TEST(MicrophoneWaveformTest, FrameEveryThirdColumnWithCentredNewestTime)
{
    MicrophoneWaveform waveform(48000);
    std::vector<float> samples(2016, 0.5f);

    auto frame = waveform.append(samples.data(), 671, 1, 10.0);
    EXPECT_FALSE(frame);
    EXPECT_EQ(waveform.columnsWritten(), 0);
    frame = waveform.append(samples.data(), 1, 1, 99.0); // later buffer times are ignored
    EXPECT_FALSE(frame);
    EXPECT_EQ(waveform.columnsWritten(), 1);
    frame = waveform.append(samples.data(), 1344, 1, 99.0);
    ASSERT_TRUE(frame);
    EXPECT_EQ(frame->peaks.size(), waveformColumnCount);
    ASSERT_TRUE(frame->newestTime);
    EXPECT_DOUBLE_EQ(*frame->newestTime, 10.0 + 0.014 * 2.5);
    EXPECT_DOUBLE_EQ(frame->columnDuration, 0.014);
    // Oldest first: the three written columns are the last three.
    EXPECT_EQ(frame->peaks[112], WaveformPeak{});
    EXPECT_EQ(frame->peaks[113], (WaveformPeak{0.0f, 0.5f}));
    EXPECT_EQ(frame->peaks[115], (WaveformPeak{0.0f, 0.5f}));

    MicrophoneWaveform oneShot(48000);
    frame = oneShot.append(samples.data(), 2016, 1, 3.0);
    ASSERT_TRUE(frame);
    EXPECT_DOUBLE_EQ(*frame->newestTime, 3.035);
}

TEST(MicrophoneWaveformTest, LargeAppendGivesOneFrameAndResetsTheCount)
{
    MicrophoneWaveform waveform(100); // one sample per column
    std::vector<float> samples(7, 0.25f);
    ASSERT_TRUE(waveform.append(samples.data(), 7, 1, 0.0));  // 7 columns: one frame, count reset
    EXPECT_FALSE(waveform.append(samples.data(), 2, 1, 0.0)); // 2 more: not 3 since the reset
    EXPECT_TRUE(waveform.append(samples.data(), 1, 1, 0.0));
}

TEST(MicrophoneWaveformTest, RingWrapsIntoChronologicalOrder)
{
    MicrophoneWaveform waveform(100);
    const auto first = ramp(116, 1.0f, 1.0f); // column i has high = i + 1
    auto frame = waveform.append(first.data(), 116, 1, 0.0);
    ASSERT_TRUE(frame);
    EXPECT_EQ(waveform.nextColumn(), 0);
    for (std::size_t i = 0; i < waveformColumnCount; ++i)
        EXPECT_EQ(frame->peaks[i].high, static_cast<float>(i + 1));

    const auto more = ramp(3, -1.0f, -1.0f); // overwrites the three oldest columns
    frame = waveform.append(more.data(), 3, 1, 0.0);
    ASSERT_TRUE(frame);
    EXPECT_EQ(frame->peaks[0].high, 4.0f);
    EXPECT_EQ(frame->peaks[112].high, 116.0f);
    EXPECT_EQ(frame->peaks[113], (WaveformPeak{-1.0f, 0.0f}));
    EXPECT_EQ(frame->peaks[115], (WaveformPeak{-3.0f, 0.0f}));
    EXPECT_DOUBLE_EQ(*frame->newestTime, 0.01 * (119 - 0.5));
}

TEST(MicrophoneWaveformTest, PeaksKeepZeroInsideAndIgnoreNaN)
{
    MicrophoneWaveform waveform(100);
    const float nan = std::numeric_limits<float>::quiet_NaN();
    // Interleaved stereo: channel 0 is at even positions; the odd ones must never be read.
    const std::vector<float> interleaved{0.3f, 9.0f, -0.7f, 9.0f, nan, 9.0f};
    auto frame = waveform.append(interleaved.data(), 3, 2, 0.0);
    ASSERT_TRUE(frame);
    EXPECT_EQ(frame->peaks[113], (WaveformPeak{0.0f, 0.3f}));
    EXPECT_EQ(frame->peaks[114], (WaveformPeak{-0.7f, 0.0f}));
    EXPECT_EQ(frame->peaks[115], WaveformPeak{});
}

TEST(MicrophoneWaveformTest, ColumnSpansBuffersAndEmptyAppendOnlySetsTime)
{
    MicrophoneWaveform waveform(48000);
    EXPECT_FALSE(waveform.append(nullptr, 0, 1, 7.0));
    EXPECT_EQ(waveform.firstSampleTime(), 7.0);

    std::vector<float> low(1000, -0.2f), high(1016, 0.9f);
    EXPECT_FALSE(waveform.append(low.data(), 1000, 1, 8.0));
    auto frame = waveform.append(high.data(), 1016, 1, 9.0);
    ASSERT_TRUE(frame);
    EXPECT_EQ(frame->peaks[113], (WaveformPeak{-0.2f, 0.0f})); // 672 low samples
    EXPECT_EQ(frame->peaks[114], (WaveformPeak{-0.2f, 0.9f})); // 328 low + 344 high
    EXPECT_EQ(frame->peaks[115], (WaveformPeak{0.0f, 0.9f}));
    EXPECT_DOUBLE_EQ(*frame->newestTime, 7.035);
}

TEST(WaveformFrameTest, SilenceIsTheEmptyPicture)
{
    const auto &silence = WaveformFrame::silence();
    EXPECT_EQ(silence.peaks, std::vector<WaveformPeak>(116));
    EXPECT_FALSE(silence.newestTime);
    EXPECT_DOUBLE_EQ(silence.columnDuration, 0.014);
    for (const auto &peak : MicrophoneWaveform::silence)
        EXPECT_EQ(peak, WaveformPeak{});
}
