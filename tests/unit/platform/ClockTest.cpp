#include "ManualClock.h"
#include "SteadyClock.h"

#include <QCoro/QCoroTask>
#include <QCoreApplication>
#include <QEventLoop>

#include <gtest/gtest.h>

using namespace talvex;
using talvex::test::ManualClock;

namespace {

// Starts `task` and records its result once it finishes.
template<typename Task>
void collect(Task task, std::optional<bool> &result)
{
    [](Task t, std::optional<bool> &out) -> QCoro::Task<> { out = co_await std::move(t); }(std::move(task), result);
}

} // namespace

TEST(CancellationTokenTest, RunsCallbacksOnceAndImmediatelyWhenAlreadyCancelled)
{
    CancellationToken token;
    int calls = 0;
    const int removed = token.onCancel([&] { calls += 100; });
    token.onCancel([&] { ++calls; });
    token.removeCallback(removed);
    token.cancel();
    token.cancel();
    EXPECT_EQ(calls, 1);
    token.onCancel([&] { ++calls; });
    EXPECT_EQ(calls, 2);
    EXPECT_TRUE(CancellationToken(token).isCancelled()) << "copies share the state";
}

TEST(ManualClockTest, SleepersWakeInDeadlineOrderAtTheirDeadline)
{
    ManualClock clock(10.0);
    std::vector<std::pair<int, double>> woke;
    auto sleeper = [&](int id, double seconds) -> QCoro::Task<> {
        co_await clock.sleep(seconds);
        woke.emplace_back(id, clock.now());
    };
    sleeper(1, 0.3);
    sleeper(2, 0.1);
    clock.advance(0.05);
    EXPECT_TRUE(woke.empty());
    clock.advance(1.0);
    ASSERT_EQ(woke.size(), 2u);
    EXPECT_EQ(woke[0].first, 2);
    EXPECT_DOUBLE_EQ(woke[0].second, 10.1);
    EXPECT_DOUBLE_EQ(woke[1].second, 10.3);
    EXPECT_DOUBLE_EQ(clock.now(), 11.05);
}

TEST(ManualClockTest, CancelledSleepYieldsFalseLaterNotInsideCancel)
{
    ManualClock clock;
    CancellationToken token;
    std::optional<bool> result;
    collect(clock.sleep(12.0, token), result);
    token.cancel();
    EXPECT_FALSE(result.has_value()) << "resumption is posted, never inside cancel()";
    QCoreApplication::processEvents();
    ASSERT_TRUE(result.has_value());
    EXPECT_FALSE(*result);
    EXPECT_EQ(clock.pendingSleeps(), 0u);
}

TEST(SteadyClockTest, SleepElapsesAndCancelWakesEarly)
{
    SteadyClock clock;
    std::optional<bool> elapsed;
    collect(clock.sleep(0.01), elapsed);
    CancellationToken token;
    std::optional<bool> cancelled;
    collect(clock.sleep(60.0, token), cancelled);
    token.cancel();

    QEventLoop loop;
    while (!elapsed || !cancelled)
        loop.processEvents(QEventLoop::WaitForMoreEvents);
    EXPECT_TRUE(*elapsed);
    EXPECT_FALSE(*cancelled);
}
