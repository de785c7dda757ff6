// The two hand-offs between threads: converted audio to the recogniser, results back to the main
// thread.
#include "AnalyzerInputStream.h"
#include "AwaitTask.h"
#include "ResultChannel.h"

#include <gtest/gtest.h>
#include <stdexcept>
#include <thread>

using namespace talvex;

TEST(ResultChannelTest, ResultsFromAnotherThreadArriveInOrderThenTheEnd)
{
    auto channel = ResultChannel::create();
    std::thread producer([channel] {
        for (int i = 0; i < 200; ++i)
            channel->push({QString::number(i), i % 2 == 0});
        channel->finish();
        channel->push({"late", true}); // after the end: ignored
    });
    int expected = 0;
    for (;;) {
        auto result = talvex::test::awaitTask(channel->next());
        if (!result)
            break;
        EXPECT_EQ(result->text, QString::number(expected));
        EXPECT_EQ(result->isFinal, expected % 2 == 0);
        ++expected;
    }
    producer.join();
    EXPECT_EQ(expected, 200);
}

TEST(ResultChannelTest, AnErrorComesAfterTheResultsAndAbandonDropsThem)
{
    auto failing = ResultChannel::create();
    failing->push({"kept", true});
    failing->finish(std::make_exception_ptr(std::runtime_error("decoder failed")));
    EXPECT_EQ(talvex::test::awaitTask(failing->next())->text, "kept");
    EXPECT_THROW(talvex::test::awaitTask(failing->next()), std::runtime_error);

    auto abandoned = ResultChannel::create();
    abandoned->push({"dropped", false});
    abandoned->abandon();
    abandoned->finish(std::make_exception_ptr(std::runtime_error("too late")));
    EXPECT_FALSE(talvex::test::awaitTask(abandoned->next()));
}

TEST(AnalyzerInputStreamTest, ReaderGetsQueuedBuffersBeforeTheEndAndItsError)
{
    AnalyzerInputStream stream(2);
    PcmBuffer buffer;
    buffer.frameLength = 1;
    EXPECT_EQ(stream.yield(buffer), AnalyzerInputStream::YieldResult::enqueued);
    EXPECT_EQ(stream.yield(buffer), AnalyzerInputStream::YieldResult::enqueued);
    EXPECT_EQ(stream.yield(buffer), AnalyzerInputStream::YieldResult::dropped);
    stream.finish(std::make_exception_ptr(std::runtime_error("overrun")));
    stream.finish(); // the first end stays
    EXPECT_EQ(stream.yield(buffer), AnalyzerInputStream::YieldResult::terminated);

    std::thread reader; // a blocked reader wakes for each element
    int buffers = 0;
    bool sawError = false;
    reader = std::thread([&] {
        for (;;) {
            auto element = stream.pop();
            if (std::holds_alternative<PcmBuffer>(element)) {
                ++buffers;
                continue;
            }
            sawError = std::holds_alternative<std::exception_ptr>(element);
            break;
        }
    });
    reader.join();
    EXPECT_EQ(buffers, 2);
    EXPECT_TRUE(sawError);
}

TEST(AnalyzerInputStreamTest, BlockedReaderWakesWhenTheWriterEnds)
{
    AnalyzerInputStream stream(128);
    std::thread reader([&] { EXPECT_TRUE(std::holds_alternative<AnalyzerInputStream::End>(stream.pop())); });
    stream.finish();
    reader.join();
    EXPECT_TRUE(stream.tryPop().has_value()); // the end stays readable
}
